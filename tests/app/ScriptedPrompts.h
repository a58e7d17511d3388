#pragma once

#include "Prompts.h"

// Answers the window's questions as a test scripted them, and keeps what was asked.
class ScriptedPrompts : public Prompts {
public:
    bool answerYes = true;
    QString savePath;
    QStringList openPaths;

    QStringList questions;
    QStringList messages;

    bool AskYesNo(QWidget*, const QString& text) override {
        questions << text;
        return answerYes;
    }
    void ShowMessage(QWidget*, const QString& text) override { messages << text; }
    QString SaveFileName(QWidget*) override { return savePath; }
    QStringList OpenFileNames(QWidget*) override { return openPaths; }
};
