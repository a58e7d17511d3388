#pragma once

#include "Prompts.h"

#include <functional>

// Answers the window's questions as a test scripted them, at once, and keeps
// what was asked.
class ScriptedPrompts : public Prompts {
public:
    bool answerYes = true;
    QString savePath;
    // Empty: the user cancels; openFails: the dialog confirms without a file.
    QStringList openPaths;
    bool openFails = false;

    QStringList questions;
    QStringList messages;
    // Runs while a message is "open", as the user reads it.
    std::function<void()> whileShowing;

    void AskYesNo(QWidget*, const QString& text, std::function<void(bool)> answered) override {
        questions << text;
        if (answered)
            answered(answerYes);
    }
    void ShowMessage(QWidget*, const QString& text, std::function<void()> closed) override {
        messages << text;
        if (whileShowing)
            whileShowing();
        if (closed)
            closed();
    }
    void SaveFileName(QWidget*, std::function<void(const QString&)> chosen) override {
        chosen(savePath);
    }
    void OpenFileNames(QWidget*, ChosenFiles chosen) override {
        if (openFails)
            chosen(QStringList());
        else
            chosen(openPaths.isEmpty() ? std::nullopt : std::optional<QStringList>(openPaths));
    }
};
