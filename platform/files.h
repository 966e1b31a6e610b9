// File dialogs and numeric text files of the run-time contract.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

enum FileButton : int { VAL_OK_BUTTON = 0, VAL_LOAD_BUTTON = 1 };

// A file dialog opening in `directory`. Returns 1 and sets `path` when a file was chosen
// (an existing file or a new name), 0 when cancelled, negative on error.
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

// Writes one value per line, right-aligned in a field `width` wide. The file is written
// beside the target and renamed over it, so it is replaced whole or not at all.
// Returns 0, or a negative value when it could not be written.
int ArrayToFile(const std::string& path, const std::uint32_t* values, int count, int width);
int ArrayToFile(const std::string& path, const std::uint16_t* values, int count, int width);

// Reads up to `count` whitespace-separated unsigned numbers (LF or CR LF). Returns how many
// were read; reading stops at the first item that is not a number. Negative when the file
// cannot be opened.
int FileToArray(const std::string& path, std::uint32_t* values, int count);
