#include "textfiles.h"

#include <QRandomGenerator>
#include <QString>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// A path that is a symbolic link stands for the file it points to: that file is replaced,
// the link stays.
fs::path Resolved(fs::path path) {
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(path, ec); ++hops) {
        const fs::path to = fs::read_symlink(path, ec);
        if (ec) break;
        path = to.is_absolute() ? to : path.parent_path() / to;
    }
    return path;
}

// Written beside the target and renamed over it: a failed or interrupted write leaves the old
// file whole. The size is checked before the rename, since a write cut short (disk full, file
// size limit) can still report success while buffered. A file replaced keeps its permissions,
// given to the new one before anything is written into it.
bool WriteWhole(const std::string& path, const std::string& text) {
    const fs::path target = Resolved(fs::path(QString::fromStdString(path).toStdU16String()));
    std::error_code statusError;
    const fs::file_status old = fs::status(target, statusError);
    const bool replacing = !statusError && fs::is_regular_file(old);
    std::error_code ec;
    fs::path temp = target;
    temp += ".tmp-" + std::to_string(QRandomGenerator::global()->generate());
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    if (replacing) fs::permissions(temp, old.permissions(), fs::perm_options::replace, ec);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    bool ok = out.good() && !ec;
    out.close();
    ok = ok && !out.fail();
    ok = ok && fs::file_size(temp, ec) == text.size() && !ec;
    if (ok) fs::rename(temp, target, ec);
    if (!ok || ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

template <typename T>
int WriteColumn(const std::string& path, const T* values, int count, int width) {
    if (count < 1 || path.empty()) return -1;
    std::string text;
    text.reserve(static_cast<size_t>(count) * (width + 2));
    char field[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(field, sizeof field, "%*lu\n", width, static_cast<unsigned long>(values[i]));
        text += field;
    }
    return WriteWhole(path, text) ? 0 : -1;
}

}  // namespace

int ArrayToFile(const std::string& path, const std::uint32_t* values, int count, int width) {
    return WriteColumn(path, values, count, width);
}

int ArrayToFile(const std::string& path, const std::uint16_t* values, int count, int width) {
    return WriteColumn(path, values, count, width);
}

int FileToArray(const std::string& path, std::uint32_t* values, int count) {
    std::ifstream in(fs::path(QString::fromStdString(path).toStdU16String()), std::ios::binary);
    if (!in) return -1;
    int read = 0;
    std::string token;
    while (read < count && in >> token) {
        // Whitespace (spaces, CR, LF) separates numbers; anything else ends the reading.
        std::uint64_t v = 0;
        for (char c : token) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return read;
            v = (v * 10 + static_cast<std::uint64_t>(c - '0')) & 0xFFFFFFFFull;
        }
        values[read++] = static_cast<std::uint32_t>(v);
    }
    return read;
}
