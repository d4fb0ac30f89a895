#include "support/ui/WidgetUserInterface.h"

#include "support/ui/AccessibleNames.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

namespace ui {

QMessageBox *WidgetUserInterface::CreateMessage(QWidget *parent, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("ZARUN"), text, QMessageBox::NoButton, parent);
    box->setTextFormat(Qt::PlainText);
    QPushButton *ok = box->addButton(OkText(), QMessageBox::AcceptRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    return box;
}

QMessageBox *WidgetUserInterface::CreateConfirm(QWidget *parent, const QString &text, const QString &title)
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::NoButton, parent);
    box->setTextFormat(Qt::PlainText);
    QPushButton *ok = box->addButton(OkText(), QMessageBox::AcceptRole);
    QPushButton *cancel = box->addButton(CancelText(), QMessageBox::RejectRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(cancel);
    return box;
}

QMessageBox *WidgetUserInterface::CreateQuestion(QWidget *parent, const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("ZARUN"), text, QMessageBox::NoButton, parent);
    box->setTextFormat(Qt::PlainText);
    QPushButton *yes = box->addButton(YesText(), QMessageBox::YesRole);
    QPushButton *no = box->addButton(NoText(), QMessageBox::NoRole);
    box->setDefaultButton(yes);
    box->setEscapeButton(no);
    return box;
}

QInputDialog *WidgetUserInterface::CreateInputBox(QWidget *parent, const QString &prompt, const QString &title,
                                                  const QString &defaultText)
{
    auto *dialog = new QInputDialog(parent);
    dialog->setWindowTitle(title);
    dialog->setInputMode(QInputDialog::TextInput);
    dialog->setLabelText(prompt);
    dialog->setTextValue(defaultText);
    dialog->setOkButtonText(OkText());
    dialog->setCancelButtonText(CancelText());
    // The text box is named by the prompt above it.
    for (QLineEdit *box : dialog->findChildren<QLineEdit *>())
        box->setAccessibleName(prompt);
    support::NameControls(dialog);
    return dialog;
}

void WidgetUserInterface::Message(const QString &text)
{
    std::unique_ptr<QMessageBox> box(CreateMessage(parent_, text));
    box->exec();
}

bool WidgetUserInterface::Confirm(const QString &text, const QString &title)
{
    std::unique_ptr<QMessageBox> box(CreateConfirm(parent_, text, title));
    box->exec();
    return box->clickedButton() == box->defaultButton();
}

bool WidgetUserInterface::Ask(const QString &text)
{
    std::unique_ptr<QMessageBox> box(CreateQuestion(parent_, text));
    box->exec();
    return box->clickedButton() == box->defaultButton();
}

QString WidgetUserInterface::InputBox(const QString &prompt, const QString &title, const QString &defaultText)
{
    std::unique_ptr<QInputDialog> dialog(CreateInputBox(parent_, prompt, title, defaultText));
    if (dialog->exec() != QDialog::Accepted)
        return QString();
    const QString text = dialog->textValue();
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace ui
