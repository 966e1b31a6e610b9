#include "maintenance_key.h"

#include <sodium.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "system_files.h"

namespace fs = std::filesystem;

KeyFiles DefaultKeyFiles(const std::string& settingsFolder) {
#ifdef _WIN32
    const char* data = std::getenv("ProgramData");
    const std::string system =
        std::string(data ? data : "C:\\ProgramData") + "\\qtor\\maintenance-key";
#else
    const std::string system = "/etc/qtor/maintenance-key";
#endif
    return {system, (fs::path(settingsFolder) / "maintenance-key").string()};
}

namespace {

std::optional<KeyFiles> g_testFiles;

}  // namespace

KeyFiles KeyFilesInForce() {
    return g_testFiles ? *g_testFiles : DefaultKeyFiles(SettingsFolder());
}

void SetKeyFilesForTest(const KeyFiles* files) {
    if (files)
        g_testFiles = *files;
    else
        g_testFiles.reset();
}

namespace {

std::string FirstLine(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

StoredKey LoadKey(const KeyFiles& files) {
    std::error_code ec;
    StoredKey k;
    if (!files.system.empty() && fs::exists(files.system, ec)) {
        k.file = files.system;
        // A system-wide key anybody may rewrite guards nothing: refuse it, and stay locked.
        if (!WritableOnlyByAdministrator(files.system)) {
            k.problem = files.system + ": writable by others than the administrator";
            return k;
        }
    } else if (!files.user.empty() && fs::exists(files.user, ec)) {
        k.file = files.user;
    } else {
        return k;
    }
    k.hash = FirstLine(k.file);
    if (k.hash.rfind("$argon2id$", 0) != 0) {
        k.hash.clear();
        k.problem = k.file + ": holds no key hash";
    }
    return k;
}

std::string HashKey(const std::string& key) {
    if (sodium_init() < 0) return {};
    char hash[crypto_pwhash_STRBYTES];
    // The interactive limits: a tenth of a second a try, on a PC an operator waits at.
    if (crypto_pwhash_str(hash, key.data(), key.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return {};
    return hash;
}

bool KeyMatches(const StoredKey& stored, const std::string& key) {
    if (stored.hash.empty() || sodium_init() < 0) return false;
    return crypto_pwhash_str_verify(stored.hash.c_str(), key.data(), key.size()) == 0;
}

bool StoreKey(const std::string& file, const std::string& key, std::string* error) {
    const std::string hash = HashKey(key);
    if (hash.empty()) {
        *error = "the key could not be hashed";
        return false;
    }
    std::error_code ec;
    const fs::path p(file);
    if (p.has_parent_path()) fs::create_directories(p.parent_path(), ec);
    // Written beside it and renamed over it: a key file is never half written.
    const std::string temporary = file + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << hash << "\n";
        out.flush();
        if (!out) {
            *error = file + ": cannot be written";
            return false;
        }
    }
    fs::rename(temporary, file, ec);
    if (ec) {
        fs::remove(temporary, ec);
        *error = file + ": cannot be written";
        return false;
    }
    return true;
}

bool ReadKeyFile(const std::string& file, std::string* key, std::string* error) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        *error = file + ": no key file";
        return false;
    }
    if (!OnlyOwnerMayAccess(file)) {
        *error = file + ": others may read it (chmod 600)";
        return false;
    }
    *key = FirstLine(file);
    return true;
}
