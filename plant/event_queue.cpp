#include "event_queue.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "line_reader.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string StatePath(const std::string& path) { return path + ".state"; }

// The number after `key` in `text`, or `fallback`.
long long NumberAfter(const std::string& text, const std::string& key, long long fallback) {
    const std::size_t at = text.find(key);
    if (at == std::string::npos) return fallback;
    long long n = fallback;
    const char* begin = text.data() + at + key.size();
    std::from_chars(begin, text.data() + text.size(), n);
    return n;
}

// Appends `line` and its line end, on the disk before it returns.
bool AppendSynced(const std::string& path, const std::string& line) {
#ifndef _WIN32
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const std::string text = line + "\n";
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && written && synced;
#else
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << line << "\n";
    out.flush();
    return static_cast<bool>(out);
#endif
}

}  // namespace

bool EventQueue::Open(const std::string& path, std::string* why) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    std::string state;
    {
        std::ifstream in(StatePath(path), std::ios::binary);
        std::getline(in, state);
    }
    delivered_ = NumberAfter(state, "delivered ", 0);
    nextSeq_ = NumberAfter(state, "next ", 1);
    lines_.clear();
    const auto size = fs::exists(path, ec) ? static_cast<long long>(fs::file_size(path, ec)) : 0;
    // The file was emptied after the state was written: nothing is pending.
    if (delivered_ < 0 || delivered_ > size) delivered_ = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in && size > 0) {
        *why = path + ": cannot be read";
        return false;
    }
    in.seekg(delivered_);
    LineReader reader(in, 1 << 20);
    std::string_view view;
    // A line cut short by a crash while it was written is not an event: only whole lines count.
    LineReader::Got got;
    while ((got = reader.Next(&view)) == LineReader::Got::kLine) {
        if (view.empty()) continue;
        std::string line(view);
        nextSeq_ = std::max(nextSeq_, NumberAfter(line, "{\"seq\":", 0) + 1);
        lines_.push_back(std::move(line));
    }
    in.close();
    // Cut off, or the next event would be appended to the broken one.
    if (got == LineReader::Got::kLast)
        fs::resize_file(path, delivered_ + static_cast<long long>(reader.Offset()), ec);
    path_ = path;
    return true;
}

bool EventQueue::Push(const std::string& members, std::string* why) {
    const std::string line = "{\"seq\":" + std::to_string(nextSeq_) + "," + members + "}";
    if (!AppendSynced(path_, line)) {
        *why = path_ + ": cannot be written";
        return false;
    }
    ++nextSeq_;
    lines_.push_back(line);
    if (lines_.size() > capacity_) {
        Pop();
        ++dropped_;
    }
    return true;
}

void EventQueue::Pop() {
    if (lines_.empty()) return;
    delivered_ += static_cast<long long>(lines_.front().size()) + 1;
    lines_.pop_front();
    if (lines_.empty()) {
        // All delivered: the file starts afresh. Emptied first: a state file left behind
        // then names more than the file holds, which reads as nothing pending.
        std::error_code ec;
        fs::resize_file(path_, 0, ec);
        if (!ec) delivered_ = 0;
    }
    WriteState();
}

long long EventQueue::TakeDropped() {
    const long long n = dropped_;
    dropped_ = 0;
    return n;
}

void EventQueue::WriteState() const {
    // Renamed into place whole; a state lost on a power cut delivers an event twice, never none.
    const std::string tmp = StatePath(path_) + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << "delivered " << delivered_ << " next " << nextSeq_ << "\n";
        if (!out) return;
    }
    std::error_code ec;
    fs::rename(tmp, StatePath(path_), ec);
}
