#include "files.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>

namespace {

FileDialogHook dialogHook;
std::function<int(const std::string&, const std::string&, std::string*)> passwordHook;
std::function<int(const std::string&, std::vector<FormField>*)> formHook;

}  // namespace

void SetFileDialogHook(FileDialogHook hook) { dialogHook = std::move(hook); }

int FileSelectPopup(const std::string& directory, const std::string& defaultName,
                    const std::string& filter, const std::string& title, FileButton button,
                    std::string* path) {
    if (dialogHook) {
        return dialogHook(FileDialogRequest{directory, defaultName, filter, title, button}, path);
    }
    // "*.png;*.pdf": any of these extensions; the first is given to a name without one.
    QStringList suffixes;
    for (const QString& pattern : QString::fromStdString(filter).split(';', Qt::SkipEmptyParts)) {
        const QString suffix = pattern.trimmed().section('.', -1);
        if (!suffix.isEmpty() && suffix != "*") suffixes << suffix;
    }
    QFileDialog dialog(nullptr, QString::fromStdString(title), QString::fromStdString(directory),
                       QString::fromStdString(filter).replace(';', ' '));
    dialog.setAcceptMode(button == VAL_LOAD_BUTTON ? QFileDialog::AcceptOpen
                                                   : QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);  // an existing file or a new name
    dialog.setLabelText(QFileDialog::Accept, button == VAL_LOAD_BUTTON ? "Load" : "OK");
    if (!suffixes.isEmpty()) dialog.setDefaultSuffix(suffixes.first());
    dialog.selectFile(QString::fromStdString(defaultName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return 0;
    QString chosen = dialog.selectedFiles().first();
    // Only names with the filter's extensions can be chosen: another one gets the first.
    if (!suffixes.isEmpty() &&
        !suffixes.contains(QFileInfo(chosen).suffix(), Qt::CaseInsensitive)) {
        chosen += "." + suffixes.first();
        // The dialog asked about the name as typed, not this one.
        if (button == VAL_OK_BUTTON && QFileInfo::exists(chosen) &&
            QMessageBox::question(
                nullptr, QString::fromStdString(title),
                QFileInfo(chosen).fileName() + " already exists.\nDo you want to replace it?") !=
                QMessageBox::Yes)
            return 0;
    }
    *path = chosen.toStdString();
    return 1;
}

int PasswordPopup(const std::string& title, const std::string& prompt, std::string* text) {
    if (passwordHook) return passwordHook(title, prompt, text);
    bool ok = false;
    const QString typed =
        QInputDialog::getText(nullptr, QString::fromStdString(title),
                              QString::fromStdString(prompt), QLineEdit::Password, {}, &ok);
    if (!ok) return 0;
    *text = typed.toStdString();
    return 1;
}

void SetPasswordDialogHook(
    std::function<int(const std::string&, const std::string&, std::string*)> hook) {
    passwordHook = std::move(hook);
}

int FormPopup(const std::string& title, const std::string& note, std::vector<FormField>* fields) {
    if (formHook) return formHook(title, fields);
    QDialog dialog;
    dialog.setWindowTitle(QString::fromStdString(title));
    auto* form = new QFormLayout(&dialog);
    if (!note.empty()) {
        auto* text = new QLabel(QString::fromStdString(note));
        text->setWordWrap(true);
        form->addRow(text);
    }
    std::vector<QLineEdit*> edits;
    for (const FormField& f : *fields) {
        auto* edit = new QLineEdit(QString::fromStdString(f.value));
        edit->setPlaceholderText(QString::fromStdString(f.hint));
        edit->setMinimumWidth(320);
        if (f.secret) edit->setEchoMode(QLineEdit::Password);
        form->addRow(QString::fromStdString(f.label), edit);
        edits.push_back(edit);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted) return 0;
    for (std::size_t i = 0; i < edits.size(); ++i)
        (*fields)[i].value =
            ((*fields)[i].secret ? edits[i]->text() : edits[i]->text().trimmed()).toStdString();
    return 1;
}

void SetFormDialogHook(std::function<int(const std::string&, std::vector<FormField>*)> hook) {
    formHook = std::move(hook);
}
