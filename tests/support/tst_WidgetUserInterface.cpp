#include "support/ui/WidgetUserInterface.h"

#include "common/AccessibleNames.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

QStringList ButtonTexts(const QMessageBox &box)
{
    QStringList texts;
    for (QAbstractButton *button : box.buttons())
        texts.append(button->text());
    texts.sort();
    return texts;
}

QPushButton *ButtonWithText(QWidget *dialog, const QString &text)
{
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

// Acts on the modal dialog once it is up; a far-off timer closes anything
// left open so that a failing test cannot hang.
class ModalDriver {
public:
    explicit ModalDriver(std::function<void(QWidget *)> action)
    {
        QTimer::singleShot(0, [action] {
            if (QWidget *dialog = QApplication::activeModalWidget())
                action(dialog);
        });
        guard_.setSingleShot(true);
        QObject::connect(&guard_, &QTimer::timeout, [] {
            if (QWidget *dialog = QApplication::activeModalWidget())
                dialog->close();
        });
        guard_.start(10000);
    }

private:
    QTimer guard_;
};

} // namespace

class tst_WidgetUserInterface : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dialogsAsBuilt();
    void messageAnswered();
    void confirmAnswered_data();
    void confirmAnswered();
    void inputAnswered_data();
    void inputAnswered();

private:
    QWidget window_;
};

void tst_WidgetUserInterface::dialogsAsBuilt()
{
    std::unique_ptr<QMessageBox> message(
        ui::WidgetUserInterface::CreateMessage(&window_, QStringLiteral("C:\\a.zrd が存在しません。")));
    QCOMPARE(message->windowTitle(), QStringLiteral("ZARUN"));
    QCOMPARE(message->icon(), QMessageBox::NoIcon);
    QCOMPARE(ButtonTexts(*message), QStringList{QStringLiteral("OK")});
    QCOMPARE(message->textFormat(), Qt::PlainText);
    QCOMPARE(message->parentWidget(), &window_);

    std::unique_ptr<QMessageBox> confirm(ui::WidgetUserInterface::CreateConfirm(
        &window_, QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ　[Calc]　を削除しますか?"), QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ削除")));
    QCOMPARE(confirm->windowTitle(), QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ削除"));
    QCOMPARE(confirm->text(), QStringLiteral("ﾌﾟﾛｼﾞｪｸﾄ　[Calc]　を削除しますか?"));
    QCOMPARE(confirm->icon(), QMessageBox::NoIcon);
    QCOMPARE(ButtonTexts(*confirm), (QStringList{QStringLiteral("OK"), QStringLiteral("キャンセル")}));

    std::unique_ptr<QMessageBox> question(ui::WidgetUserInterface::CreateQuestion(&window_, QStringLiteral("先に作成しますか?")));
    QCOMPARE(question->icon(), QMessageBox::NoIcon);
    QCOMPARE(ButtonTexts(*question), (QStringList{QStringLiteral("いいえ"), QStringLiteral("はい")}));
    QCOMPARE(question->textFormat(), Qt::PlainText);

    std::unique_ptr<QInputDialog> input(ui::WidgetUserInterface::CreateInputBox(
        &window_, QStringLiteral("ｶﾃｺﾞﾘ名を入力してください。"), QStringLiteral("ｶﾃｺﾞﾘ追加"), QStringLiteral("Tools")));
    QCOMPARE(input->windowTitle(), QStringLiteral("ｶﾃｺﾞﾘ追加"));
    QCOMPARE(input->labelText(), QStringLiteral("ｶﾃｺﾞﾘ名を入力してください。"));
    QCOMPARE(input->textValue(), QStringLiteral("Tools"));
    QCOMPARE(input->okButtonText(), QStringLiteral("OK"));
    QCOMPARE(input->cancelButtonText(), QStringLiteral("キャンセル"));
    QCOMPARE(UnnamedControls(input.get()), QStringList());
    QCOMPARE(input->findChild<QLineEdit *>()->accessibleName(), QStringLiteral("ｶﾃｺﾞﾘ名を入力してください。"));
}

void tst_WidgetUserInterface::messageAnswered()
{
    ui::WidgetUserInterface ui(&window_);
    QString seen;
    ModalDriver driver([&seen](QWidget *dialog) {
        seen = dialog->windowTitle() + u'|' + qobject_cast<QMessageBox *>(dialog)->text();
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    ui.Message(QStringLiteral("中身がありません。"));
    QCOMPARE(seen, QStringLiteral("ZARUN|中身がありません。"));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

void tst_WidgetUserInterface::confirmAnswered_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("question"); // はい/いいえ, not OK/Cancel
    QTest::newRow("OK button") << QStringLiteral("OK") << true << false;
    QTest::newRow("cancel button") << QStringLiteral("キャンセル") << false << false;
    QTest::newRow("Enter takes OK") << QStringLiteral("enter") << true << false;
    QTest::newRow("Escape cancels") << QStringLiteral("escape") << false << false;
    QTest::newRow("close box cancels") << QStringLiteral("close") << false << false;
    QTest::newRow("question: yes button") << QStringLiteral("はい") << true << true;
    QTest::newRow("question: no button") << QStringLiteral("いいえ") << false << true;
    QTest::newRow("question: Enter takes yes") << QStringLiteral("enter") << true << true;
    QTest::newRow("question: Escape says no") << QStringLiteral("escape") << false << true;
    QTest::newRow("question: close box says no") << QStringLiteral("close") << false << true;
}

void tst_WidgetUserInterface::confirmAnswered()
{
    QFETCH(QString, how);
    QFETCH(bool, answer);
    QFETCH(bool, question);
    ui::WidgetUserInterface ui(&window_);
    QString title;
    ModalDriver driver([how, &title](QWidget *dialog) {
        title = dialog->windowTitle();
        if (how == u"enter")
            QTest::keyClick(dialog, Qt::Key_Return);
        else if (how == u"escape")
            QTest::keyClick(dialog, Qt::Key_Escape);
        else if (how == u"close")
            dialog->close();
        else if (QPushButton *button = ButtonWithText(dialog, how))
            button->click();
    });
    if (question) {
        QCOMPARE(ui.Ask(QStringLiteral("先に作成しますか?")), answer);
        QCOMPARE(title, QStringLiteral("ZARUN"));
    } else {
        QCOMPARE(ui.Confirm(QStringLiteral("削除しますか?"), QStringLiteral("ｶﾃｺﾞﾘ削除")), answer);
    }
}

void tst_WidgetUserInterface::inputAnswered_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("result");
    QTest::addColumn<bool>("isNull");
    QTest::newRow("default kept") << QStringLiteral("<default>") << true << QStringLiteral("Tools") << false;
    QTest::newRow("typed") << QStringLiteral("ｹﾞｰﾑ") << true << QStringLiteral("ｹﾞｰﾑ") << false;
    QTest::newRow("cleared") << QString() << true << QString() << false;
    QTest::newRow("cancelled") << QStringLiteral("ignored") << false << QString() << true;
}

void tst_WidgetUserInterface::inputAnswered()
{
    QFETCH(QString, typed);
    QFETCH(bool, ok);
    QFETCH(QString, result);
    QFETCH(bool, isNull);
    ui::WidgetUserInterface ui(&window_);
    ModalDriver driver([typed, ok](QWidget *dialog) {
        auto *input = qobject_cast<QInputDialog *>(dialog);
        if (!input)
            return;
        if (typed != u"<default>") {
            auto *edit = input->findChild<QLineEdit *>();
            edit->selectAll();
            edit->del();
            edit->insert(typed);
        }
        if (QPushButton *button = ButtonWithText(dialog, ok ? QStringLiteral("OK") : QStringLiteral("キャンセル")))
            button->click();
    });
    const QString text = ui.InputBox(QStringLiteral("名前"), QStringLiteral("ｶﾃｺﾞﾘ名の変更"), QStringLiteral("Tools"));
    QCOMPARE(text, result);
    QCOMPARE(text.isNull(), isNull);
}

QTEST_MAIN(tst_WidgetUserInterface)
#include "tst_WidgetUserInterface.moc"
