#include "files.h"

#include <QFileDialog>
#include <QFileInfo>

namespace {

FileDialogHook dialogHook;

}  // namespace

void SetFileDialogHook(FileDialogHook hook) { dialogHook = std::move(hook); }

int FileSelectPopup(const std::string& directory, const std::string& defaultName,
                    const std::string& filter, const std::string& title, FileButton button,
                    std::string* path) {
    if (dialogHook) {
        return dialogHook(FileDialogRequest{directory, defaultName, filter, title, button}, path);
    }
    QFileDialog dialog(nullptr, QString::fromStdString(title), QString::fromStdString(directory),
                       QString::fromStdString(filter));
    dialog.setAcceptMode(button == VAL_LOAD_BUTTON ? QFileDialog::AcceptOpen
                                                   : QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);  // an existing file or a new name
    dialog.setLabelText(QFileDialog::Accept, button == VAL_LOAD_BUTTON ? "Load" : "OK");
    const QString suffix = QString::fromStdString(filter).section('.', -1);
    if (!suffix.isEmpty() && suffix != "*") dialog.setDefaultSuffix(suffix);
    dialog.selectFile(QString::fromStdString(defaultName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return 0;
    QString chosen = dialog.selectedFiles().first();
    // Only names with the filter's extension can be chosen: another one gets it appended.
    if (!suffix.isEmpty() && suffix != "*" &&
        QFileInfo(chosen).suffix().compare(suffix, Qt::CaseInsensitive) != 0) {
        chosen += "." + suffix;
    }
    *path = chosen.toStdString();
    return 1;
}
