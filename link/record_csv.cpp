#include "record_csv.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "recording_file.h"

namespace {

std::tm LocalTime(std::time_t t) {
    std::tm tm{};
#if defined(_WIN32)
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    return tm;
}

}  // namespace

std::string RecordCsvHeader() { return RecordingHeader() + "\n"; }

std::string RecordCsvRow(std::chrono::system_clock::time_point when, long long index,
                         const std::uint16_t* words) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count() % 1000;
    const std::tm tm = LocalTime(system_clock::to_time_t(when));
    char stamp[40];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &tm);
    char row[256];
    int n = std::snprintf(row, sizeof row, "%s.%03d,%lld", stamp, static_cast<int>(ms), index);
    for (int k = 0; k < 16; ++k)
        n += std::snprintf(row + n, sizeof row - static_cast<std::size_t>(n), ",%u",
                           static_cast<unsigned>(words[k]));
    return std::string(row, static_cast<std::size_t>(n)) + "\n";
}

RecordWriter::~RecordWriter() { Close(); }

bool RecordWriter::Open(const std::string& path, bool refuseExisting, std::string* error) {
    Close();
    std::error_code ec;
    if (refuseExisting && std::filesystem::exists(path, ec)) {
        *error = path + " exists; not overwritten";
        return false;
    }
    // Exclusive creation: a file made meanwhile by someone else is not replaced either.
    file_ = std::fopen(path.c_str(), refuseExisting ? "wbx" : "wb");
    if (!file_) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    path_ = path;
    index_ = 0;
    failed_ = false;
    const std::string header = RecordCsvHeader();
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size() || !Flush()) {
        *error = path + ": " + std::strerror(errno);
        Close();
        return false;
    }
    return true;
}

bool RecordWriter::Add(const std::uint16_t* words) {
    if (!file_ || failed_) return false;
    const std::string row = RecordCsvRow(std::chrono::system_clock::now(), index_, words);
    if (std::fwrite(row.data(), 1, row.size(), file_) != row.size()) {
        failed_ = true;
        return false;
    }
    ++index_;
    if (std::chrono::steady_clock::now() - lastFlush_ >= std::chrono::seconds(1)) return Flush();
    return true;
}

bool RecordWriter::Flush() {
    if (!file_) return false;
    lastFlush_ = std::chrono::steady_clock::now();
    if (std::fflush(file_) != 0) failed_ = true;
    return !failed_;
}

bool RecordWriter::Close() {
    if (!file_) return true;  // nothing open: a failure was said when it came
    Flush();
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}
