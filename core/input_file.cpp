#include "input_file.h"

#include <filesystem>

std::string OpenRegularFile(const std::string& path, std::ifstream* in) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) return "cannot be opened";
    if (std::filesystem::is_directory(status)) return "is a directory";
    if (!std::filesystem::is_regular_file(status)) return "is not a regular file";
    in->open(path, std::ios::binary);
    return in->is_open() ? "" : "cannot be opened";
}
