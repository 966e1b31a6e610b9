// The maintenance key: kept only as a salted, slow hash (Argon2id) in a key file. A
// system-wide key file, which only the administrator can write, wins over the one in the
// user's settings folder; without either, no key is set and nothing is locked.
#pragma once

#include <string>

struct KeyFiles {
    std::string system;  // "/etc/qtor/maintenance-key"
    std::string user;    // "<settings folder>/maintenance-key"
};
// Where the key files are on this system.
KeyFiles DefaultKeyFiles(const std::string& settingsFolder);

struct StoredKey {
    std::string hash;     // empty: no key set
    std::string file;     // where it came from
    std::string problem;  // a key file that cannot be trusted; everything stays locked
    bool Set() const { return !hash.empty() || !problem.empty(); }
};
// The default files, or those a test put in their place (nullptr: the defaults again).
KeyFiles KeyFilesInForce();
void SetKeyFilesForTest(const KeyFiles* files);

// The key in force: the system-wide file when it exists, else the user's.
StoredKey LoadKey(const KeyFiles& files);

// The hash of `key` to store; empty when the library failed.
std::string HashKey(const std::string& key);
bool KeyMatches(const StoredKey& stored, const std::string& key);
// Writes the hash of `key` into `file` (its folder made when missing); false with *error.
bool StoreKey(const std::string& file, const std::string& key, std::string* error);
// The first line of a key file given by hand, which only its owner may read; false with *error.
bool ReadKeyFile(const std::string& file, std::string* key, std::string* error);
