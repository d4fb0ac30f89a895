#include "tooling/UserInterface.h"

namespace ui {

namespace {

class Silent final : public UserInterface {
public:
    void Message(const QString &) override {}
    bool Confirm(const QString &, const QString &) override { return false; }
    QString InputBox(const QString &, const QString &, const QString &) override { return QString(); }
    void ShowProgress(const QString &) override {}
    void HideProgress() override {}
};

Silent silent;
UserInterface *current = &silent;

} // namespace

UserInterface &Current() { return *current; }

void SetCurrent(UserInterface *userInterface) { current = userInterface ? userInterface : &silent; }

} // namespace ui
