#include "Prompts.h"

#include <QFileDialog>
#include <QMessageBox>

QStringList DialogPrompts::FileFilters() {
    return {QStringLiteral("Video Debug File (*.kvx)"), QStringLiteral("All Files (*.*)")};
}

bool DialogPrompts::AskYesNo(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, kMessageTitle, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

void DialogPrompts::ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, kMessageTitle, text);
}

QString DialogPrompts::SaveFileName(QWidget* parent) {
    QFileDialog dialog(parent, kSaveTitle);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(FileFilters());
    dialog.setDefaultSuffix(kDefaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QStringList DialogPrompts::OpenFileNames(QWidget* parent) {
    QFileDialog dialog(parent, kOpenTitle);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters(FileFilters());
    dialog.setDefaultSuffix(kDefaultSuffix);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}
