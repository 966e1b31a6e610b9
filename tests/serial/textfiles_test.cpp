// The numeric text files: layout, reading, and a write that fails or replaces a file.
#include "textfiles.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "read_file.h"

namespace fs = std::filesystem;

namespace {

class TextFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("qtor-files-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir);
    }
    fs::path dir;
};

TEST_F(TextFiles, OneRightAlignedValuePerLineReadingBackWideValues) {
    const std::uint32_t values[] = {200, 0, 1023, 65535, 7};
    const std::string path = (dir / "p.cfg").string();
    ASSERT_EQ(ArrayToFile(path, values, 5, 4), 0);
    EXPECT_EQ(ReadFile(path), " 200\n   0\n1023\n65535\n   7\n");
    std::uint32_t back[5] = {};
    EXPECT_EQ(FileToArray(path, back, 5), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(back[i], values[i]);
}

TEST_F(TextFiles, ReadingAcceptsCrLfSpacesAndStopsAtText) {
    const fs::path p = dir / "in.cfg";
    std::ofstream(p, std::ios::binary) << "  600 \r\n12\r\n\r\n 4294967296\r\nabc\r\n9\r\n";
    std::uint32_t v[6] = {};
    EXPECT_EQ(FileToArray(p.string(), v, 6), 3);
    EXPECT_EQ(v[0], 600u);
    EXPECT_EQ(v[1], 12u);
    EXPECT_EQ(v[2], 0u);  // 2^32 keeps its low 32 bits
    EXPECT_EQ(FileToArray((dir / "missing.cfg").string(), v, 6), -1);
}

TEST_F(TextFiles, FullDiskLeavesTheOldFileWhole) {
    const fs::path p = dir / "keep.dat";
    const std::uint16_t first[] = {1, 2, 3};
    ASSERT_EQ(ArrayToFile(p.string(), first, 3, 4), 0);
    // A file-size limit fails the write part-way, as a full disk does, even for root.
    std::uint16_t second[128];
    for (auto& v : second) v = 9999;
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &small);
    const int result = ArrayToFile(p.string(), second, 128, 4);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_LT(result, 0);
    EXPECT_EQ(ReadFile(p), "   1\n   2\n   3\n");
    for (const auto& entry : fs::directory_iterator(dir)) {
        EXPECT_EQ(entry.path().filename(), "keep.dat") << "temporary file left behind";
    }
}

TEST_F(TextFiles, AFileReplacedKeepsItsPermissionsAndALinkKeepsPointingAtIt) {
    const fs::path p = dir / "private.cfg";
    const std::uint32_t first[] = {1};
    ASSERT_EQ(ArrayToFile(p.string(), first, 1, 4), 0);
    fs::permissions(p, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
    const std::uint32_t second[] = {2};
    ASSERT_EQ(ArrayToFile(p.string(), second, 1, 4), 0);
    EXPECT_EQ(fs::status(p).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(ReadFile(p), "   2\n");

    // Saving through a symbolic link writes the file it points to, in another folder too.
    fs::create_directories(dir / "store");
    fs::rename(p, dir / "store" / "real.cfg");
    fs::create_symlink(fs::path("store") / "real.cfg", p);
    const std::uint32_t third[] = {3};
    ASSERT_EQ(ArrayToFile(p.string(), third, 1, 4), 0);
    EXPECT_TRUE(fs::is_symlink(p));
    EXPECT_EQ(ReadFile(dir / "store" / "real.cfg"), "   3\n");
    EXPECT_EQ(fs::status(p).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

// The file written beside the old one cannot be made: its name, the old one's and a suffix, is
// longer than a folder allows, for every user (root included).
TEST_F(TextFiles, AWriteThatCannotBeMadeBesideTheOldFileLeavesItWhole) {
    const fs::path p = dir / (std::string(250, 'k') + ".cfg");
    std::ofstream(p) << "   5\n";
    ASSERT_EQ(ReadFile(p), "   5\n");
    const std::uint32_t second[] = {6};
    EXPECT_LT(ArrayToFile(p.string(), second, 1, 4), 0);
    EXPECT_EQ(ReadFile(p), "   5\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1)
        << "nothing left beside it";
}

}  // namespace
