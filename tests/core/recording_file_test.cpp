// Reading recordings back: the rows of a good file, a row still being written, and the line
// named for each way a file can fail to be a recording, through both the text and the stream
// reader.
#include "recording_file.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

const std::string kHeader =
    "time,index,Avalue,Bvalue,Mvalue,tTol,tValA,tValB,tVal,edcntA,edcntB,leftA,rightA,rightB,"
    "leftB,anaMax,anaMin,sIndex\n";
const std::string kWords = "500,510,0,100,512,512,505,2,2,300,700,710,310,900,100,7";

// What both readers make of `text`: the error, or each row's time, index, first and last word.
std::string Read(const std::string& text) {
    std::istringstream in(text);
    std::string said[2];
    int i = 0;
    for (const Recording& r : {ParseRecording(text), ReadRecording(in)}) {
        said[i] = r.Ok() ? "" : r.Error();
        for (const RecordingRow& row : r.rows) {
            said[i] += row.time + " " + std::to_string(row.index) + " " +
                       std::to_string(row.words[0]) + " " + std::to_string(row.words[15]) + ";";
        }
        ++i;
    }
    EXPECT_EQ(said[0], said[1]) << "the text and the stream reader differ";
    return said[0];
}

TEST(RecordingFile, ReadsEveryFinishedRow) {
    EXPECT_EQ(Read(kHeader + "2026-12-07T19:35:31.123,0," + kWords + "\n" +
                   "t1,1,65535,0,0,0,0,0,0,0,0,0,0,0,0,0,0,65535\n" + "t2,2," + kWords +
                   "\r\n" +        // edited on another system
                   "t3,3,501,5"),  // still being written
              "2026-12-07T19:35:31.123 0 500 7;t1 1 65535 65535;t2 2 500 7;");
    EXPECT_EQ(Read(kHeader), "");
    EXPECT_EQ(Read(kHeader.substr(0, kHeader.size() - 1)), "") << "a header is written whole";
}

TEST(RecordingFile, NamesTheFirstLineThatIsNoRecordingsLine) {
    const std::string good = "t,0," + kWords + "\n";
    const std::pair<std::string, std::string> cases[] = {
        {"", "line 1: empty file, expected a recording's header"},
        {"time,index,Avalue\n" + good, "line 1: not a recording's header"},
        {kHeader + good + "t,1,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15\n" + good,
         "line 3: 17 values, expected 18"},
        {kHeader + good + good + "t,3," + kWords + ",0\n", "line 4: 19 values, expected 18"},
        {kHeader + good + "\n" + good, "line 3: empty line"},
        {kHeader + ",0," + kWords + "\n", "line 2: no time"},
        {kHeader + "t,-1," + kWords + "\n", "line 2: index \"-1\" is not a whole number from 0"},
        {kHeader + "t," + std::string(40, '7') + "," + kWords + "\n",
         "line 2: index \"777777777777777777777777...\" is not a whole number from 0"},
        {kHeader + "t,0,65536,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\n",
         "line 2: Avalue \"65536\" is not a word 0..65535"},
        {kHeader + "t,0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16x\n",
         "line 2: sIndex \"16x\" is not a word 0..65535"},
        {kHeader + "t,0,1,2,3,4\r4,5,6,7,8,9,10,11,12,13,14,15,16\n",
         "line 2: tTol \"4?4\" is not a word 0..65535"},
    };
    for (const auto& [text, error] : cases) EXPECT_EQ(Read(text), error);
}

}  // namespace

namespace {

// Rows and what was left out, read as qtor-ctl stats (`takeLast`) or a replay does.
std::string Stream(const std::string& text, bool takeLast) {
    std::istringstream in(text);
    RecordingReader reader(in, takeLast);
    RecordingRow row;
    std::string said;
    while (reader.Next(&row)) said += std::to_string(row.index) + ";";
    if (!reader.Refusal().Ok()) said += reader.Refusal().Error();
    if (reader.LeftOut()) said += "left out " + std::to_string(reader.LeftOut());
    return said;
}

TEST(RecordingReader, TakesAWholeLastRowOnRequestAndRefusesEndlessLines) {
    const std::string rows = kHeader + "t,0," + kWords + "\nt,1," + kWords;
    EXPECT_EQ(Stream(rows, true), "0;1;") << "a writer that stopped after its last row";
    EXPECT_EQ(Stream(rows, false), "0;left out 3") << "a row that may still grow";
    EXPECT_EQ(Stream(kHeader + "t,0," + kWords + "\nt,1,501,5", true), "0;left out 3");

    const std::string line(kLongestRecordingLine, 'x');
    EXPECT_EQ(Stream(kHeader + line + "\r\n", true), "line 2: 1 values, expected 18");
    EXPECT_EQ(Stream(kHeader + line + "x\n", true),
              "line 2: longer than 4096 characters, no recording's line is");
    EXPECT_EQ(Stream(kHeader + line + "xx", true),
              "line 2: longer than 4096 characters, no recording's line is")
        << "without a line break either";
}

// Lines that cross the reader's chunks come out whole, each row where the text has it.
TEST(RecordingReader, ReadsAcrossItsBufferAndSaysWhereEachRowStarts) {
    std::string text = kHeader;
    std::vector<std::size_t> starts;
    for (int i = 0; i < 5000; ++i) {
        starts.push_back(text.size());
        text += "t" + std::string(static_cast<std::size_t>(i % 97), 'x') + "," + std::to_string(i) +
                "," + kWords + "\n";
    }
    std::istringstream in(text);
    RecordingReader reader(in, false);
    RecordingRow row;
    std::size_t n = 0;
    while (reader.Next(&row)) {
        ASSERT_LT(n, starts.size());
        ASSERT_EQ(row.index, static_cast<long long>(n));
        ASSERT_EQ(row.time.size(), 1 + n % 97);
        ASSERT_EQ(reader.RowOffset(), starts[n]);
        ++n;
    }
    EXPECT_EQ(n, starts.size());
    EXPECT_TRUE(reader.Refusal().Ok()) << reader.Refusal().Error();
}

}  // namespace
