// Reading recordings back: the rows of a good file, a row still being written, and the line
// named for each way a file can fail to be a recording. Every case runs through both the text
// and the stream reader.
#include "recording_file.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

const std::string kHeader =
    "time,index,Avalue,Bvalue,Mvalue,tTol,tValA,tValB,tVal,edcntA,edcntB,leftA,rightA,rightB,"
    "leftB,anaMax,anaMin,sIndex\n";

std::string Row(const std::string& time, const std::string& index, const std::string& words) {
    return time + "," + index + "," + words + "\n";
}

const std::string kWords = "500,510,0,100,512,512,505,2,2,300,700,710,310,900,100,7";

template <typename Check>
void BothReaders(const std::string& text, Check check) {
    check(ParseRecording(text), "text");
    std::istringstream in(text);
    check(ReadRecording(in), "stream");
}

TEST(RecordingFile, ReadsEveryFinishedRow) {
    const std::string text =
        kHeader + Row("2026-12-07T19:35:31.123", "0", kWords) +
        Row("2026-12-07T19:35:31.160", "1", "65535,0,0,0,0,0,0,0,0,0,0,0,0,0,0,65535") +
        "2026-12-07T19:35:31.197,2," + kWords + "\r\n" +  // edited on another system
        "2026-12-07T19:35:31.234,3,501,5";                // still being written
    BothReaders(text, [](const Recording& r, const char* how) {
        ASSERT_TRUE(r.Ok()) << how << ": " << r.Error();
        ASSERT_EQ(r.rows.size(), 3u) << how;
        EXPECT_EQ(r.rows[0].time, "2026-12-07T19:35:31.123") << how;
        EXPECT_EQ(r.rows[0].index, 0) << how;
        EXPECT_EQ(r.rows[0].words[0], 500) << how;
        EXPECT_EQ(r.rows[0].words[15], 7) << how;
        EXPECT_EQ(r.rows[1].words[0], 65535) << how;
        EXPECT_EQ(r.rows[1].words[15], 65535) << how;
        EXPECT_EQ(r.rows[2].index, 2) << how;
        EXPECT_EQ(r.rows[2].words[15], 7) << how << ": the \\r is not part of the last word";
    });
    for (const std::string& headerOnly : {kHeader, kHeader.substr(0, kHeader.size() - 1)}) {
        BothReaders(headerOnly, [](const Recording& r, const char* how) {
            EXPECT_TRUE(r.Ok()) << how << ": " << r.Error();
            EXPECT_TRUE(r.rows.empty()) << how;
        });
    }
}

TEST(RecordingFile, NamesTheFirstLineThatIsNoRecordingsLine) {
    const std::string good = Row("t", "0", kWords);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "line 1: empty file, expected a recording's header"},
        {"time,index,Avalue\n" + good, "line 1: not a recording's header"},
        {"\n" + kHeader + good, "line 1: not a recording's header"},
        {kHeader + good + Row("t", "1", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15") + good,
         "line 3: 17 values, expected 18"},
        {kHeader + good + good + "t,3," + kWords + ",0\n", "line 4: 19 values, expected 18"},
        {kHeader + good + "\n" + good, "line 3: empty line"},
        {kHeader + Row("", "0", kWords), "line 2: no time"},
        {kHeader + Row("t", "-1", kWords), "line 2: index \"-1\" is not a whole number from 0"},
        {kHeader + Row("t", "", kWords), "line 2: index \"\" is not a whole number from 0"},
        {kHeader + Row("t", "0", "65536,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0"),
         "line 2: Avalue \"65536\" is not a word 0..65535"},
        {kHeader + Row("t", "0", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16x"),
         "line 2: sIndex \"16x\" is not a word 0..65535"},
        {kHeader + Row("t", "0", "1,+2,3,4,5,6,7,8,9,10,11,12,13,14,15,16"),
         "line 2: Bvalue \"+2\" is not a word 0..65535"},
        {kHeader + Row("t", "0", "1,2, 3,4,5,6,7,8,9,10,11,12,13,14,15,16"),
         "line 2: Mvalue \" 3\" is not a word 0..65535"},
        // The message stays one short line whatever the file holds.
        {kHeader + Row("t", "0", "1,2,3,4\r4,5,6,7,8,9,10,11,12,13,14,15,16"),
         "line 2: tTol \"4?4\" is not a word 0..65535"},
        {kHeader + Row("t", std::string(40, '7'), kWords),
         "line 2: index \"777777777777777777777777...\" is not a whole number from 0"},
    };
    for (const auto& [text, error] : cases) {
        BothReaders(text, [&](const Recording& r, const char* how) {
            EXPECT_FALSE(r.Ok()) << how << ": " << error;
            EXPECT_EQ(r.Error(), error) << how;
            EXPECT_TRUE(r.rows.empty()) << how;
        });
    }
}

}  // namespace
