#pragma once

#include <QString>

// The narrow way the core reaches the screen. The forms implement it; tests
// use a scripted implementation, so no modal window ever blocks a test.
namespace ui {

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // Information and errors: OK button only, no icon, caption "ZARUN".
    virtual void Message(const QString &text) = 0;
    // OK and Cancel, no icon, a caption naming the action; true for OK.
    virtual bool Confirm(const QString &text, const QString &title) = 0;
    // A question: はい and いいえ, no icon, caption "ZARUN"; true for はい.
    virtual bool Ask(const QString &text) = 0;
    // A prompt and a title; the empty string when cancelled, as an input box returns.
    virtual QString InputBox(const QString &prompt, const QString &title, const QString &defaultText) = 0;
    // The caption-only progress window, centred on the main window while shown.
    virtual void ShowProgress(const QString &caption) = 0;
    virtual void HideProgress() = 0;
    // The save dialog for a catalogue file; empty when cancelled (as without a window).
    virtual QString AskCatalogueFileToSave() { return QString(); }
};

// The implementation in use. Until one is set, every question is cancelled and every message and
// question is logged as a warning: nothing the user should have seen is dropped without a trace.
UserInterface &Current();
// Sets the implementation (nullptr restores the logging one). The caller keeps ownership.
void SetCurrent(UserInterface *userInterface);

} // namespace ui
