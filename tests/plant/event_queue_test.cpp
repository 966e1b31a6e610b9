// The events waiting for the broker on disk: what a restart, a crash while writing and a full
// queue do to them.
#include "event_queue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "read_file.h"

namespace fs = std::filesystem;

namespace {

long long Seq(const std::string& line) { return std::stoll(line.substr(7)); }

TEST(EventQueue, KeepsOrderAndNumbersAcrossARestartAndDropsTheOldestWhenFull) {
    const fs::path dir = fs::temp_directory_path() / ("qtor-queue-" + std::to_string(getpid()));
    fs::remove_all(dir);
    const std::string path = (dir / "settings" / "events-s.jsonl").string();
    std::string why;
    {
        EventQueue q(4);
        ASSERT_TRUE(q.Open(path, &why)) << why;
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(q.Push("\"n\":" + std::to_string(i), &why));
        EXPECT_EQ(q.Front(), R"({"seq":1,"n":0})");
        q.Pop();  // delivered
    }
    EventQueue q(4);
    ASSERT_TRUE(q.Open(path, &why)) << why;
    ASSERT_EQ(q.Size(), 2u) << "the undelivered ones, after a restart";
    EXPECT_EQ(q.Front(), R"({"seq":2,"n":1})");
    // A crash in the middle of an append leaves half a line: it is no event, and the next one
    // does not join it.
    std::ofstream(path, std::ios::app) << R"({"seq":4,"n":)";
    EventQueue after(4);
    ASSERT_TRUE(after.Open(path, &why));
    EXPECT_EQ(after.Size(), 2u);
    for (int i = 3; i < 6; ++i) ASSERT_TRUE(after.Push("\"n\":" + std::to_string(i), &why));
    EXPECT_EQ(after.Size(), 4u) << "full: the oldest went";
    EXPECT_EQ(after.TakeDropped(), 1);
    EXPECT_EQ(after.TakeDropped(), 0);
    EventQueue reread(4);
    ASSERT_TRUE(reread.Open(path, &why));
    std::vector<long long> seqs;
    for (; !after.Empty(); after.Pop(), reread.Pop()) {
        seqs.push_back(Seq(after.Front()));
        EXPECT_EQ(reread.Front(), after.Front()) << "the file holds what the queue holds";
    }
    EXPECT_EQ(seqs, (std::vector<long long>{3, 4, 5, 6}));
    EXPECT_EQ(fs::file_size(path), 0u) << "all delivered: the file starts afresh";
    EventQueue empty(4);
    ASSERT_TRUE(empty.Open(path, &why));
    EXPECT_TRUE(empty.Empty());
    ASSERT_TRUE(empty.Push("\"n\":7", &why));
    EXPECT_EQ(Seq(empty.Front()), 7) << "numbers go on after the file was emptied";
    fs::remove_all(dir);
}

}  // namespace
