// The operator lock's rules with a clock of the test's own: the right key unlocks and leaves
// a line in the trail, five wrong keys refuse the sixth try for a minute, idle time relocks.
#include "operator_lock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

class Lock : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("qtor-oplock-" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::string error;
        ASSERT_TRUE(StoreKey((dir / "maintenance-key").string(), "line-42-key", &error)) << error;
        stored = LoadKey({"", (dir / "maintenance-key").string()});
        trail = (dir / "audit.jsonl").string();
    }
    void TearDown() override { fs::remove_all(dir); }
    OperatorLock Make(const std::string& trailPath) const {
        return OperatorLock(stored, AuditTrail(trailPath), [](const std::string& action) {
            AuditEntry e = AuditNow(action);
            e.program = "qtor-kmb test";
            return e;
        });
    }
    std::vector<std::string> Actions() const {
        std::ifstream in(trail);
        std::vector<std::string> actions;
        for (std::string l; std::getline(in, l);) {
            const std::size_t at = l.find("\"action\":\"") + 10;
            actions.push_back(l.substr(at, l.find('"', at) - at));
        }
        return actions;
    }
    fs::path dir;
    StoredKey stored;
    std::string trail;
};

TEST_F(Lock, FiveWrongKeysRefuseTheSixthTryForAMinute) {
    OperatorLock lock = Make(trail);
    ASSERT_TRUE(lock.Locked());
    EXPECT_EQ(lock.Level(), "Operator");
    double now = 100.0;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(lock.TryUnlock("guess", now += 1.0), OperatorLock::Unlock::kWrongKey) << i;
    EXPECT_EQ(lock.TryUnlock("line-42-key", now += 1.0), OperatorLock::Unlock::kRefused)
        << "even the right key, while refused";
    EXPECT_TRUE(lock.Locked());
    EXPECT_NEAR(lock.RefusedFor(now), 59.0, 1e-9);
    EXPECT_EQ(lock.TryUnlock("line-42-key", now += 58.5), OperatorLock::Unlock::kRefused);
    EXPECT_EQ(lock.TryUnlock("line-42-key", now += 1.0), OperatorLock::Unlock::kUnlocked);
    EXPECT_EQ(lock.Level(), "Maintenance");
    EXPECT_EQ(Actions(), (std::vector<std::string>{"wrong-key", "wrong-key", "wrong-key",
                                                   "wrong-key", "wrong-key", "unlock"}));
    EXPECT_TRUE(VerifyAuditTrail(trail).ok);

    // The count is of wrong keys in a row: a right key in between starts it again.
    lock.Lock("by hand", now);
    for (int i = 0; i < 4; ++i) lock.TryUnlock("guess", now += 1.0);
    EXPECT_EQ(lock.TryUnlock("line-42-key", now += 1.0), OperatorLock::Unlock::kUnlocked);
    lock.Lock("by hand", now);
    EXPECT_EQ(lock.TryUnlock("guess", now += 1.0), OperatorLock::Unlock::kWrongKey);
    EXPECT_EQ(lock.RefusedFor(now), 0.0);
}

TEST_F(Lock, TenMinutesWithoutInputRelock) {
    OperatorLock lock = Make(trail);
    ASSERT_EQ(lock.TryUnlock("line-42-key", 0.0), OperatorLock::Unlock::kUnlocked);
    lock.Input(500.0);
    EXPECT_FALSE(lock.RelockIfIdle(1099.0)) << "input at 500 s keeps it till 1100 s";
    EXPECT_FALSE(lock.Locked());
    EXPECT_TRUE(lock.RelockIfIdle(1100.0));
    EXPECT_TRUE(lock.Locked());
    const std::vector<std::string> actions = Actions();
    EXPECT_EQ(actions, (std::vector<std::string>{"unlock", "lock"}));
}

TEST_F(Lock, NoUnlockingTheTrailCannotHold) {
    OperatorLock lock = Make((dir / "missing" / "audit.jsonl").string());
    EXPECT_EQ(lock.TryUnlock("line-42-key", 0.0), OperatorLock::Unlock::kTrailUnwritable);
    EXPECT_TRUE(lock.Locked());
    OperatorLock free(StoredKey{}, AuditTrail(trail),
                      [](const std::string& a) { return AuditNow(a); });
    EXPECT_FALSE(free.Locked()) << "without a key nothing is locked";
    EXPECT_EQ(free.Level(), "");
}

}  // namespace
