#pragma once

#include "tooling/UserInterface.h"

#include <QQueue>
#include <QStringList>

// Records what the program shows and answers its questions from a script.
class ScriptedUserInterface final : public ui::UserInterface {
public:
    ScriptedUserInterface() { ui::SetCurrent(this); }
    ~ScriptedUserInterface() override { ui::SetCurrent(nullptr); }

    void Message(const QString &text) override { messages.append(text); }
    bool Confirm(const QString &text, const QString &title) override
    {
        confirmations.append(title + u'|' + text);
        return confirmAnswers.isEmpty() ? false : confirmAnswers.dequeue();
    }
    bool Ask(const QString &text) override
    {
        questions.append(text);
        return askAnswers.isEmpty() ? false : askAnswers.dequeue();
    }
    QString InputBox(const QString &prompt, const QString &title, const QString &defaultText) override
    {
        inputPrompts.append(title + u'|' + prompt + u'|' + defaultText);
        return inputAnswers.isEmpty() ? QString() : inputAnswers.dequeue();
    }
    void ShowProgress(const QString &caption) override
    {
        progress.append(caption);
        progressShown = true;
    }
    void HideProgress() override { progressShown = false; }
    QString AskCatalogueFileToSave() override
    {
        saveDialogs += 1;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
    }

    QStringList messages;
    QStringList confirmations;
    QStringList inputPrompts;
    QStringList questions;
    QQueue<bool> askAnswers;
    QStringList progress;
    bool progressShown = false;
    QQueue<bool> confirmAnswers;
    QQueue<QString> inputAnswers;
    int saveDialogs = 0;
    QQueue<QString> saveAnswers;
};
