#include "tooling/UserInterface.h"

#include <QDebug>

namespace ui {

namespace {

// Without a window nobody answers: every question is cancelled, and what the user would have been
// shown goes to the log, so that a message dropped by mistake is seen.
class Unattended final : public UserInterface {
public:
    void Message(const QString &text) override { qWarning().noquote() << "ZARUN (no window):" << text; }
    bool Confirm(const QString &text, const QString &title) override
    {
        qWarning().noquote() << "ZARUN (no window, cancelled):" << title << text;
        return false;
    }
    bool Ask(const QString &text) override
    {
        qWarning().noquote() << "ZARUN (no window, answered no):" << text;
        return false;
    }
    QString InputBox(const QString &prompt, const QString &title, const QString &) override
    {
        qWarning().noquote() << "ZARUN (no window, cancelled):" << title << prompt;
        return QString();
    }
    void ShowProgress(const QString &) override {}
    void HideProgress() override {}
};

Unattended unattended;
UserInterface *current = &unattended;

} // namespace

UserInterface &Current() { return *current; }

void SetCurrent(UserInterface *userInterface) { current = userInterface ? userInterface : &unattended; }

} // namespace ui
