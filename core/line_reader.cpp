#include "line_reader.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::size_t kChunk = 1 << 16;
}

LineReader::LineReader(std::istream& in, std::size_t longest)
    : in_(in), longest_(longest), buffer_(std::max(kChunk, 2 * (longest + 2))) {}

bool LineReader::Fill() {
    if (eof_) return false;
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    in_.read(buffer_.data() + end_, static_cast<std::streamsize>(buffer_.size() - end_));
    const auto got = static_cast<std::size_t>(in_.gcount());
    end_ += got;
    if (!in_) eof_ = true;
    return got > 0;
}

LineReader::Got LineReader::Next(std::string_view* line) {
    for (;;) {
        const char* from = buffer_.data() + begin_;
        const auto* brk = static_cast<const char*>(std::memchr(from, '\n', end_ - begin_));
        const std::size_t length = brk ? static_cast<std::size_t>(brk - from) : end_ - begin_;
        // A "\r" before the line break is not counted against the limit; without a break yet,
        // what has come is the least the line will hold.
        const std::size_t counted = length > 0 && from[length - 1] == '\r' ? length - 1 : length;
        if (counted > longest_) {
            ++number_;
            offset_ = consumed_;
            return Got::kTooLong;
        }
        if (brk || (eof_ && length > 0)) {
            ++number_;
            offset_ = consumed_;
            *line = std::string_view(from, length);
            const std::size_t used = brk ? length + 1 : length;
            begin_ += used;
            consumed_ += used;
            return brk ? Got::kLine : Got::kLast;
        }
        if (eof_) return in_.bad() ? Got::kReadError : Got::kEnd;
        Fill();
        if (in_.bad()) return Got::kReadError;
    }
}
