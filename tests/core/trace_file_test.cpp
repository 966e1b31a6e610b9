// Reading protocol traces back: a session's lines as the serial layer writes them, replies
// split over chunks, cut short, followed by stray or discarded bytes; and the line named for
// each way a file can fail to be a trace.
#include "trace_file.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using protocol::Words;

// A trace line in the format the serial layer writes.
std::string Line(const char* time, const char* direction, const std::vector<std::uint8_t>& bytes,
                 const char* note = nullptr) {
    std::string s = std::string(time) + " " + direction;
    for (const std::uint8_t b : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02x", b);
        s += hex;
    }
    return s + (note ? std::string(" ") + note : "") + "\n";
}

std::vector<std::uint8_t> Frame(std::uint16_t sync, int command, const Words& words) {
    const protocol::Frame f =
        protocol::EncodeFrame(sync, static_cast<std::uint16_t>(command), words);
    return {f.begin(), f.end()};
}

std::vector<std::uint8_t> Part(const std::vector<std::uint8_t>& bytes, int from, int to) {
    return {bytes.begin() + from, bytes.begin() + to};
}

const Words kParams = {200, 200, 512, 512, 1, 1, 1, 512, 512, 100, 1, 0, 1000, 0, 0, 0};
const Words kRecord = {521, 527, 524, 100, 512, 512, 512, 2, 2, 451, 592, 598, 457, 521, 521, 1};

// Connect (the firmware text followed by a stray character after its end), a video block
// split over two chunks around a discarded one, a write, a read that times out, a frame that
// is no command, a measurement whose last chunk carries a stray byte, a reset.
std::string Session() {
    std::vector<std::uint8_t> block;  // words counting up from 0x0367
    for (int i = 0; i < 64; ++i) block.insert(block.end(), {0x03, std::uint8_t(0x67 + i)});
    const std::vector<std::uint8_t> record = Frame(0x00AA, protocol::kMeasure, kRecord);
    return
        // A connect as the demo sensor's trace has it, with a character after the firmware
        // text's end.
        "0.000 TX 00 55 00 05 00 c8 00 c8 02 00 02 00 00 01 00 01 00 01 02 00 02 00 00 64 00 01 "
        "00 00 03 e8 00 00 00 00 00 00 echo\n"
        "0.038 RX 00 aa 00 05 00 c8 00 c8 02 00 02 00 00 01 00 01 00 01 02 00 02 00 00 64 00 01 "
        "00 00 03 e8 00 00 00 00 00 00\n"
        "0.075 TX 00 55 00 07 00 c8 00 c8 02 00 02 00 00 01 00 01 00 01 02 00 02 00 00 64 00 01 "
        "00 00 03 e8 00 00 00 00 00 00 firmware\n"
        "0.132 RX 00 51 00 2d 00 54 00 4f 00 52 00 20 00 53 00 49 00 4d 00 20 00 56 00 31 00 "
        "2e 00 30 00 00 00 58 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
        "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n" +
        Line("0.161", "TX", Frame(0x0055, protocol::kDataBlock, {64, 1}), "data block") +
        Line("0.200", "RX", Part(block, 0, 50)) +
        Line("0.201", "RX", {0x00, 0xaa, 0x00}, "(discarded)") +
        Line("0.247", "RX", Part(block, 50, 128)) +
        Line("0.250", "TX", Frame(0x0055, protocol::kWriteRam, kParams), "write RAM") +
        Line("0.251", "RX", {0x7f}) +
        Line("0.300", "TX", Frame(0x0055, protocol::kReadRam, kParams), "read RAM") +
        Line("0.310", "RX", Part(record, 0, 20)) +
        Line("2.300", "TX", {0x00, 0x55, 0x00, 0x05}) +  // a frame cut short: no command
        Line("2.301", "RX", Part(record, 0, 36)) +
        Line("2.310", "TX", Frame(0x0055, protocol::kMeasure, kParams), "measure") +
        Line("2.330", "RX", Part(record, 0, 30)) +
        Line("2.348", "RX",
             {record[30], record[31], record[32], record[33], record[34], record[35], 0xee}) +
        Line("12345.678", "TX", Frame(0x0055, protocol::kResetMaxMin, kParams), "reset max/min") +
        Line("12345.716", "RX", Frame(0x00AA, protocol::kResetMaxMin, kRecord));
}

std::string Words16(const std::vector<std::uint16_t>& w) {
    std::string s;
    for (const std::uint16_t v : w) s += std::to_string(v) + " ";
    return s;
}

TEST(TraceFile, ReadsEveryLineAndPairsCommandsWithReplies) {
    std::string crlf;  // as edited on another system
    for (const char c : Session()) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (const std::string& text : {Session(), crlf}) {
        SCOPED_TRACE(text == crlf ? "CR LF" : "LF");
        const Trace t = ParseTrace(text + "12345.720 RX 00 aa 00");  // the last still being written
        ASSERT_TRUE(t.Ok()) << t.Error();
        ASSERT_EQ(t.entries.size(), 19u);
        EXPECT_DOUBLE_EQ(t.entries[1].time, 0.038);
        EXPECT_EQ(t.entries[6].bytes, (std::vector<std::uint8_t>{0x00, 0xaa, 0x00}));
        EXPECT_TRUE(t.entries[6].discarded);
        EXPECT_FALSE(t.entries[7].discarded);
        EXPECT_DOUBLE_EQ(t.entries.back().time, 12345.716);

        const std::vector<TraceExchange> x = TraceExchanges(t.entries);
        ASSERT_EQ(x.size(), 7u);
        std::string commands;
        for (const TraceExchange& e : x)
            commands += std::to_string(e.command) + ":" + std::to_string(e.reply.size()) + "/" +
                        std::to_string(e.replyBytes) + (e.Whole() ? "" : " short") + " ";
        EXPECT_EQ(commands, "5:36/36 7:72/72 9:128/128 1:0/0 2:20/36 short 8:36/36 11:36/36 ");

        EXPECT_EQ(Words16(x[0].words), "200 200 512 512 1 1 1 512 512 100 1 0 1000 0 0 0 ");
        EXPECT_EQ(x[1].firmware, "Q-TOR SIM V1.0");
        EXPECT_EQ(x[1].words.size(), 36u);
        // The block is whole across its chunks, the discarded bytes left out.
        EXPECT_DOUBLE_EQ(x[2].time, 0.161);
        EXPECT_EQ(x[2].request[0], 64);
        EXPECT_EQ(x[2].request[1], 1);
        ASSERT_EQ(x[2].words.size(), 64u);
        EXPECT_EQ(x[2].words[0], 0x0367);
        EXPECT_EQ(x[2].words[24], 0x0367 + 24) << "the word across the chunks' seam";
        EXPECT_EQ(x[2].words[63], 0x0367 + 63);
        EXPECT_EQ(Words16(x[3].words), "") << "a write has no reply; the stray byte is no one's";
        EXPECT_EQ(Words16(x[4].words), "") << "a reply cut short is not decoded";
        EXPECT_EQ(Words16(x[5].words), "521 527 524 100 512 512 512 2 2 451 592 598 457 521 521 1 ")
            << "cut to its length: the stray byte is not the reply's";
        EXPECT_EQ(Words16(x[6].words), Words16(x[5].words)) << "the last reply is decoded too";
    }
}

TEST(TraceFile, NamesTheFirstLineThatIsNoTraceLine) {
    const std::string good = "0.038 RX 00 aa 00 05\n";
    const std::string echo = Line("0.1", "TX", Frame(0x0055, protocol::kEcho, kParams));
    const std::string body = echo.substr(0, echo.size() - 1);
    const std::pair<std::string, std::string> cases[] = {
        {"", "line 1: empty file, expected a trace"},
        {"0.000 TX 00 55 00 05 00 c8", ""},  // no line written whole yet
        {good + "\n" + good, "line 2: empty line"},
        {good + " RX 00\n", "line 2: no time"},
        {good + good + "1e3 RX 00\n", "line 3: time \"1e3\" is not seconds"},
        {"1. RX 00\n", "line 1: time \"1.\" is not seconds"},
        {"31622400.000 RX 00\n" + good + "9223372036854775.807 RX 00\n",
         "line 3: time \"9223372036854775.807\" is beyond any trace's"},
        {good + "0.5 RX" + std::string((1 << 20) - 6, ' ') + "\r\n",
         "line 2: byte \"\" is not two hex digits"},
        {good + "0.5 RX" + std::string(1 << 20, ' ') + "\n",
         "line 2: longer than 1048576 characters, no trace's line is"},
        {"1.5\n", "line 1: no direction, expected TX or RX"},
        {"1.5 rx 00\n", "line 1: unknown direction \"rx\", expected TX or RX"},
        {good + "1.5 RX\n", "line 2: no bytes"},
        {"1.5 RX 00 0g 11\n", "line 1: byte \"0g\" is not two hex digits"},
        {"1.5 RX 00 123\n", "line 1: byte \"123\" is not two hex digits"},
        {"1.5 RX 00 1\n", "line 1: byte \"1\" is not two hex digits"},
        {"1.5 RX 00 \n", "line 1: byte \"\" is not two hex digits"},
        {"1.5 RX 00\t11\n", "line 1: byte \"00?11\" is not two hex digits"},
        {"1.5 RX (discarded)\n", "line 1: byte \"(discarded)\" is not two hex digits"},
        {"1.5 TX 00 55 (discarded)\n", "line 1: byte \"(discarded)\" is not two hex digits"},
        {good + echo, "line 2: no note, expected the command's name \"echo\""},
        {body + " measure\n", "line 1: note \"measure\" is not the command's name \"echo\""},
        {"1.5 TX 00 55 00 05 echo\n", "line 1: byte \"echo\" is not two hex digits"},
    };
    for (const auto& [text, error] : cases) {
        const Trace t = ParseTrace(text);
        EXPECT_EQ(t.Ok() ? "" : t.Error(), error) << text;
        EXPECT_TRUE(t.entries.empty()) << text;
    }
}

}  // namespace
