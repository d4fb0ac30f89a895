#pragma once

#include "tooling/UserInterface.h"

#include <QPointer>
#include <QWidget>

class QInputDialog;
class QMessageBox;

namespace ui {

// The program's message boxes and input box as Qt dialogs, modal over a
// parent window. ShowProgress/HideProgress do nothing here: the main window
// overrides them to drive its progress window.
class WidgetUserInterface : public UserInterface {
public:
    explicit WidgetUserInterface(QWidget *parent = nullptr) : parent_(parent) {}

    QWidget *Parent() const { return parent_; }
    void SetParent(QWidget *parent) { parent_ = parent; }

    void Message(const QString &text) override;
    bool Confirm(const QString &text, const QString &title) override;
    bool Ask(const QString &text) override;
    // A null string on Cancel, else the text as typed (empty, not null, when cleared).
    QString InputBox(const QString &prompt, const QString &title, const QString &defaultText) override;
    void ShowProgress(const QString &) override {}
    void HideProgress() override {}

    // The dialogs as shown, for callers that need them unshown (tests).
    static QMessageBox *CreateMessage(QWidget *parent, const QString &text);
    static QMessageBox *CreateConfirm(QWidget *parent, const QString &text, const QString &title);
    static QMessageBox *CreateQuestion(QWidget *parent, const QString &text);
    static QInputDialog *CreateInputBox(QWidget *parent, const QString &prompt, const QString &title,
                                        const QString &defaultText);

    static QString OkText() { return QStringLiteral("OK"); }
    static QString CancelText() { return QStringLiteral("キャンセル"); }
    static QString YesText() { return QStringLiteral("はい"); }
    static QString NoText() { return QStringLiteral("いいえ"); }

private:
    QPointer<QWidget> parent_;
};

} // namespace ui
