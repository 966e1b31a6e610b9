// File dialogs of the run-time contract.
#pragma once

#include <functional>
#include <string>
#include <vector>

enum FileButton : int { VAL_OK_BUTTON = 0, VAL_LOAD_BUTTON = 1 };

// A file dialog opening in `directory`, for names with the extension of `filter` ("*.cfg", or
// several joined by ";"). Returns 1 and sets `path` when a file was chosen (an existing file or
// a new name; a save dialog asks before an existing file is replaced), 0 when cancelled,
// negative on error.
int FileSelectPopup(const std::string& directory, const std::string& defaultName,
                    const std::string& filter, const std::string& title, FileButton button,
                    std::string* path);

// Tests answer dialogs without a person: the hook gets the dialog's arguments and returns
// what the dialog would. An empty function restores the real dialog.
struct FileDialogRequest {
    std::string directory, defaultName, filter, title;
    FileButton button;
};
using FileDialogHook = std::function<int(const FileDialogRequest&, std::string* path)>;
void SetFileDialogHook(FileDialogHook hook);

// A list to pick one entry from: 1 and its index in *picked when one was picked, 0 when
// cancelled. Tests answer it with a hook, as they answer file dialogs.
int ListSelectPopup(const std::string& title, const std::vector<std::string>& entries, int* picked);
void SetListDialogHook(
    std::function<int(const std::string&, const std::vector<std::string>&, int*)> hook);

// A prompt for a secret (the maintenance key): what is typed is not shown. 1 and the text in
// *text when confirmed, 0 when cancelled. Tests answer it with a hook, as they answer file
// dialogs.
int PasswordPopup(const std::string& title, const std::string& prompt, std::string* text);
void SetPasswordDialogHook(
    std::function<int(const std::string& title, const std::string& prompt, std::string*)> hook);

// A form of labelled text fields (the plant link's settings): 1 with the fields' values as
// edited when confirmed, 0 when cancelled. A secret field shows no text; `hint` is shown in a
// field left empty. Tests answer it with a hook, as they answer file dialogs.
struct FormField {
    std::string label, value, hint;
    bool secret = false;
};
int FormPopup(const std::string& title, const std::string& note, std::vector<FormField>* fields);
void SetFormDialogHook(
    std::function<int(const std::string& title, std::vector<FormField>* fields)> hook);
