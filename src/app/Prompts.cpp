#include "Prompts.h"

#include <QFileDialog>
#include <QMessageBox>

#include <utility>

namespace {

QMessageBox* OpenedBox(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons) {
    auto* box = new QMessageBox(
        buttons == QMessageBox::Ok ? QMessageBox::Information : QMessageBox::Question,
        DialogPrompts::kMessageTitle, DialogPrompts::Shown(text), buttons, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

QFileDialog* FileDialog(QWidget* parent, const QString& title) {
    auto* dialog = new QFileDialog(parent, title);
    dialog->setNameFilters(DialogPrompts::FileFilters());
    dialog->setDefaultSuffix(DialogPrompts::kDefaultSuffix);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    return dialog;
}

}  // namespace

TrackedPrompts::TrackedPrompts(Prompts& prompts) : m_prompts(prompts) {}

void TrackedPrompts::AskYesNo(QWidget* parent, const QString& text,
                              std::function<void(bool yes)> answered) {
    m_prompts.AskYesNo(parent, text, std::move(answered));
}

void TrackedPrompts::ShowMessage(QWidget* parent, const QString& text,
                                 std::function<void()> closed) {
    ++m_open->count;
    m_prompts.ShowMessage(parent, text, [open = std::weak_ptr(m_open), closed = std::move(closed)] {
        if (closed)
            closed();
        const std::shared_ptr<OpenMessages> messages = open.lock();
        if (messages == nullptr || --messages->count > 0 || !messages->then)
            return;
        std::exchange(messages->then, {})();
    });
}

void TrackedPrompts::SaveFileName(QWidget* parent,
                                  std::function<void(const QString& path)> chosen) {
    m_prompts.SaveFileName(parent, std::move(chosen));
}

void TrackedPrompts::OpenFileNames(QWidget* parent, ChosenFiles chosen) {
    m_prompts.OpenFileNames(parent, std::move(chosen));
}

void TrackedPrompts::AfterMessagesClosed(std::function<void()> then) {
    if (m_open->count > 0)
        m_open->then = std::move(then);
    else
        then();
}

QString DialogPrompts::Shown(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        const bool control = code < 0x20 || (code >= 0x7f && code < 0xa0);
        if (control && code != u'\n' && code != u'\t') {
            shown += QStringLiteral("\\x") +
                     QString::number(code, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        } else {
            shown += c;
        }
    }
    return shown;
}

QStringList DialogPrompts::FileFilters() {
    return {QStringLiteral("Video Debug File (*.kvx)"), QStringLiteral("All Files (*.*)")};
}

void DialogPrompts::AskYesNo(QWidget* parent, const QString& text,
                             std::function<void(bool yes)> answered) {
    QMessageBox* box = OpenedBox(parent, text, QMessageBox::Yes | QMessageBox::No);
    QObject::connect(box, &QMessageBox::finished, box, [box, answered = std::move(answered)] {
        if (answered)
            answered(box->clickedButton() == box->button(QMessageBox::Yes));
    });
    box->open();
}

void DialogPrompts::ShowMessage(QWidget* parent, const QString& text,
                                std::function<void()> closed) {
    QMessageBox* box = OpenedBox(parent, text, QMessageBox::Ok);
    QObject::connect(box, &QMessageBox::finished, box, [closed = std::move(closed)] {
        if (closed)
            closed();
    });
    box->open();
}

void DialogPrompts::SaveFileName(QWidget* parent, std::function<void(const QString& path)> chosen) {
    QFileDialog* dialog = FileDialog(parent, kSaveTitle);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    QObject::connect(dialog, &QFileDialog::finished, dialog,
                     [dialog, chosen = std::move(chosen)](int result) {
                         const QStringList files = dialog->selectedFiles();
                         chosen(result == QDialog::Accepted && !files.isEmpty() ? files.constFirst()
                                                                                : QString());
                     });
    dialog->open();
}

void DialogPrompts::OpenFileNames(QWidget* parent, ChosenFiles chosen) {
    QFileDialog* dialog = FileDialog(parent, kOpenTitle);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFiles);
    QObject::connect(dialog, &QFileDialog::finished, dialog,
                     [dialog, chosen = std::move(chosen)](int result) {
                         if (result == QDialog::Accepted)
                             chosen(dialog->selectedFiles());
                         else
                             chosen(std::nullopt);
                     });
    dialog->open();
}
