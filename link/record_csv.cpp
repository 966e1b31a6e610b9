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

std::string RecordTimeText(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count() % 1000;
    // The local time of a second is looked up once: the lookup reads the zone's file, and
    // records come many times a second.
    static std::time_t lastSecond = -1;
    static char secondText[40];
    if (const std::time_t t = system_clock::to_time_t(when); t != lastSecond) {
        const std::tm tm = LocalTime(t);
        std::strftime(secondText, sizeof secondText, "%Y-%m-%dT%H:%M:%S", &tm);
        lastSecond = t;
    }
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%s.%03d", secondText, static_cast<int>(ms));
    return stamp;
}

std::string RecordCsvRow(std::chrono::system_clock::time_point when, long long index,
                         const std::uint16_t* words) {
    return RecordCsvRow(RecordTimeText(when), index, words);
}

std::string RecordCsvRow(const std::string& time, long long index, const std::uint16_t* words) {
    std::string row = time + "," + std::to_string(index);
    char word[8];
    for (int k = 0; k < 16; ++k) {
        std::snprintf(word, sizeof word, ",%u", static_cast<unsigned>(words[k]));
        row += word;
    }
    return row + "\n";
}

std::string EventsPathFor(const std::string& recordingPath) {
    return PathBeside(recordingPath, "-events.csv");
}

CsvAppender::~CsvAppender() { Close(); }

bool CsvAppender::Open(const std::string& path, const std::string& header, bool refuseExisting,
                       std::string* error) {
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
    failed_ = false;
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size() || !Flush()) {
        *error = path + ": " + std::strerror(errno);
        Close();
        return false;
    }
    return true;
}

bool CsvAppender::Add(const std::string& row) {
    if (!file_ || failed_) return false;
    if (std::fwrite(row.data(), 1, row.size(), file_) != row.size()) {
        failed_ = true;
        return false;
    }
    if (std::chrono::steady_clock::now() - lastFlush_ >= std::chrono::seconds(1)) return Flush();
    return true;
}

bool CsvAppender::Flush() {
    if (!file_) return false;
    lastFlush_ = std::chrono::steady_clock::now();
    if (std::fflush(file_) != 0) failed_ = true;
    return !failed_;
}

bool CsvAppender::Close() {
    if (!file_) return true;  // nothing open: a failure was said when it came
    Flush();
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

bool RecordWriter::Open(const std::string& path, bool refuseExisting, std::string* error) {
    index_ = 0;
    lastTime_.clear();
    return file_.Open(path, RecordCsvHeader(), refuseExisting, error);
}

bool RecordWriter::Add(const std::uint16_t* words) {
    return Add(RecordTimeText(std::chrono::system_clock::now()), words);
}

bool RecordWriter::Add(const std::string& time, const std::uint16_t* words) {
    if (!file_.Add(RecordCsvRow(time, index_, words))) return false;
    lastTime_ = time;
    ++index_;
    return true;
}
