#pragma once

#include "Prompts.h"

#include <functional>

// Answers the window's questions as a test scripted them, and keeps what was asked.
class ScriptedPrompts : public Prompts {
public:
    bool answerYes = true;
    QString savePath;
    QStringList openPaths;

    QStringList questions;
    QStringList messages;
    // Runs while a message is "open", as the user reads it; a real message box
    // runs its own event loop meanwhile.
    std::function<void()> whileShowing;

    bool AskYesNo(QWidget*, const QString& text) override {
        questions << text;
        return answerYes;
    }
    void ShowMessage(QWidget*, const QString& text) override {
        messages << text;
        if (whileShowing)
            whileShowing();
    }
    QString SaveFileName(QWidget*) override { return savePath; }
    QStringList OpenFileNames(QWidget*) override { return openPaths; }
};
