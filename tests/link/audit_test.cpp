// The audit trail's chain: every way of editing a kept trail is found at the right line, and
// appending never builds on a damaged end.
#include "audit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

class Audit : public ::testing::Test {
  protected:
    void SetUp() override {
        path = (fs::temp_directory_path() /
                ("qtor-audit-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())))
                   .string();
        fs::remove(path);
    }
    void TearDown() override { fs::remove(path); }
    // A trail of five entries, the third a parameter write.
    void MakeTrail() {
        const AuditTrail trail(path);
        for (const char* action : {"unlock", "teach", "send-ram", "reset", "lock"}) {
            AuditEntry e = AuditNow(action);
            e.program = "qtor-ctl 1.0";
            if (e.action == "send-ram") {
                e.changes = {{"powerA", 200, 250}};
                e.verified = true;
            }
            std::string error;
            ASSERT_TRUE(trail.Append(e, &error)) << error;
        }
    }
    std::vector<std::string> Lines() const {
        std::ifstream in(path);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    void Write(const std::vector<std::string>& lines) const {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (const std::string& l : lines) out << l << "\n";
    }
    std::string path;
};

TEST_F(Audit, AnUntouchedTrailVerifiesAndChainsFromTheEmptyString) {
    MakeTrail();
    const std::vector<std::string> lines = Lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[0].find("\"prev\":\"" + Sha256Hex("") + "\""), std::string::npos);
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_NE(lines[3].find("\"prev\":\"" + Sha256Hex(lines[2]) + "\""), std::string::npos);
    EXPECT_NE(lines[2].find("\"changes\":[{\"word\":\"powerA\",\"old\":200,\"new\":250}],"
                            "\"verified\":true"),
              std::string::npos)
        << lines[2];
    // Zone offset as ISO 8601 gives it: +hh:mm or -hh:mm after the milliseconds.
    const std::size_t t = lines[0].find("\"time\":\"") + 8;
    const std::string time = lines[0].substr(t, 29);
    EXPECT_TRUE(time[23] == '+' || time[23] == '-') << time;
    EXPECT_EQ(time[26], ':') << time;
    const AuditCheck c = VerifyAuditTrail(path);
    EXPECT_TRUE(c.ok) << c.brokenAt << " " << c.why;
    EXPECT_EQ(c.lines, 5);
    EXPECT_EQ(c.lastHash, Sha256Hex(lines[4]));
}

TEST_F(Audit, AChangedRemovedOrMovedLineIsNamed) {
    MakeTrail();
    const std::vector<std::string> lines = Lines();
    struct Case {
        const char* what;
        std::vector<std::string> edited;
        long long line;
    };
    std::vector<std::string> changed = lines;
    changed[2].replace(changed[2].find("250"), 3, "260");
    std::vector<std::string> removed = lines;
    removed.erase(removed.begin() + 1);
    std::vector<std::string> swapped = lines;
    std::swap(swapped[2], swapped[3]);
    std::vector<std::string> firstChanged = lines;
    firstChanged[0].replace(firstChanged[0].find("unlock"), 6, "lock  ");
    const Case cases[] = {{"changed third", changed, 3},
                          {"removed second", removed, 2},
                          {"swapped third and fourth", swapped, 3},
                          {"changed first", firstChanged, 1}};
    for (const Case& k : cases) {
        Write(k.edited);
        const AuditCheck c = VerifyAuditTrail(path);
        EXPECT_FALSE(c.ok) << k.what;
        EXPECT_EQ(c.brokenAt, k.line) << k.what << ": " << c.why;
    }
}

TEST_F(Audit, NothingIsAppendedAfterADamagedEnd) {
    MakeTrail();
    {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << "{\"seq\":6,\"time\"";  // a line cut short by a crash
    }
    const AuditTrail trail(path);
    std::string error;
    EXPECT_FALSE(trail.Ready(&error));
    EXPECT_NE(error.find("incomplete"), std::string::npos) << error;
    EXPECT_FALSE(trail.Append(AuditNow("teach"), &error));
    EXPECT_EQ(Lines().size(), 6u);
    const AuditCheck c = VerifyAuditTrail(path);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.brokenAt, 6);
}

TEST_F(Audit, ATrailInAFolderThatIsMissingCannotBeWritten) {
    const AuditTrail trail(path + "-missing/audit.jsonl");
    std::string error;
    EXPECT_FALSE(trail.Ready(&error));
    EXPECT_FALSE(trail.Append(AuditNow("teach"), &error));
    EXPECT_NE(error.find("audit.jsonl"), std::string::npos) << error;
}

}  // namespace
