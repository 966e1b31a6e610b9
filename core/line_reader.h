// A text stream line by line, in memory bounded by the longest line it accepts: a day's
// recording is read in one pass without being held, and an endless input without a line
// break is refused instead of filling memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string_view>
#include <vector>

class LineReader {
  public:
    // `longest`: the most characters a line may hold, its line break not counted.
    LineReader(std::istream& in, std::size_t longest);

    enum class Got {
        kLine,       // a line that ended with a line break
        kLast,       // the text after the last line break, which has none
        kEnd,        // nothing is left
        kTooLong,    // a line longer than `longest`
        kReadError,  // the stream failed
    };
    // The next line, without its line break, valid until the next call.
    Got Next(std::string_view* line);
    // The line just handed out: its 1-based number and the offset of its first byte.
    long long Number() const { return number_; }
    std::uint64_t Offset() const { return offset_; }

  private:
    bool Fill();
    std::istream& in_;
    std::size_t longest_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0, end_ = 0;  // the bytes read and not yet handed out
    std::uint64_t consumed_ = 0;       // bytes before begin_
    long long number_ = 0;
    std::uint64_t offset_ = 0;
    bool eof_ = false;
};
