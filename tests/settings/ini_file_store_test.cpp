#include "settings/ini_file_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "settings/ini_format.h"
#include "settings/key_table.h"

namespace larkspill {
namespace {

namespace fs = std::filesystem;

class IniFileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/larkspill-settings-XXXXXX";
    dir_ = mkdtemp(pattern);
    path_ = dir_ / "larkspill" / "settings.ini";
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string FileText(const fs::path& path) {
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
  }

  fs::path dir_;
  fs::path path_;
};

TEST_F(IniFileStoreTest, ValuesSurviveANewStoreOnTheSameFile) {
  {
    IniFileStore store(path_);
    EXPECT_EQ(store.GetSetting(kAppName, "two", "Message", "absent"), "absent");
    store.SaveSetting(kAppName, "Two", "Message", "  a = b ; \"c\"\n#d [e]  ");
    store.SaveSetting(kAppName, "One", "Waterfall1", "0");
  }
  IniFileStore again(path_);
  EXPECT_EQ(again.GetSetting(kAppName, "two", "message", ""), "  a = b ; \"c\"\n#d [e]  ");
  EXPECT_EQ(again.GetSetting(kAppName, "ONE", "waterfall1", ""), "0");
  // Another application's settings do not mix with ours.
  EXPECT_EQ(again.GetSetting("Other", "one", "waterfall1", "none"), "none");
  again.SaveSetting("Other", "one", "waterfall1", "7");
  EXPECT_EQ(again.GetSetting(kAppName, "one", "waterfall1", ""), "0");
}

TEST_F(IniFileStoreTest, CorruptFileIsReadAroundAndKeptAsBackup) {
  std::string junk = "[one]\nClock=0\n\x01\x02garbage without equals\n\xff\xfe\n[two\n";
  fs::create_directories(path_.parent_path());
  std::ofstream(path_, std::ios::binary) << junk;
  testing::internal::CaptureStderr();
  IniFileStore store(path_);
  EXPECT_EQ(store.GetSetting(kAppName, "one", "Clock", "x"), "0");
  EXPECT_EQ(store.GetSetting(kAppName, "one", "Birds", "x"), "x");
  store.SaveSetting(kAppName, "one", "Birds", "1");
  store.SaveSetting(kAppName, "one", "Scroll", "2");
  std::string err = testing::internal::GetCapturedStderr();
  // One word about the bad lines, naming the file, however often it is read.
  EXPECT_NE(err.find(path_.string()), std::string::npos) << err;
  size_t first = err.find("is not a setting");
  ASSERT_NE(first, std::string::npos) << err;
  EXPECT_EQ(err.find("is not a setting", first + 1), std::string::npos) << err;
  // The file as it was is kept beside it.
  EXPECT_EQ(FileText(path_.string() + ".bad"), junk);
  EXPECT_EQ(store.GetSetting(kAppName, "one", "Clock", "x"), "0");
  EXPECT_EQ(store.GetSetting(kAppName, "one", "Scroll", "x"), "2");
}

TEST_F(IniFileStoreTest, UnwritableFileKeepsValuesInMemoryAndSaysSoOnce) {
  // A plain file where the settings folder should be.
  fs::create_directories(dir_);
  std::ofstream(dir_ / "larkspill") << "not a folder";
  testing::internal::CaptureStderr();
  IniFileStore store(path_);
  SetRegistry(store);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(store.GetSetting(kAppName, "two", "VolumeWater", ""), "-911");
  EXPECT_EQ(ReadInteger(store, Reader::Saver, "System", "SetReg"), 2);
  size_t first = err.find("changes are kept only until the program ends");
  ASSERT_NE(first, std::string::npos) << err;
  EXPECT_EQ(err.find("changes are kept", first + 1), std::string::npos) << err;

  // Once the folder can be made, the next write stores what could not be written before.
  fs::remove(dir_ / "larkspill");
  store.SaveSetting(kAppName, "two", "Message", "later");
  IniFileStore fresh(path_);
  EXPECT_EQ(fresh.GetSetting(kAppName, "two", "Message", ""), "later");
  EXPECT_EQ(fresh.GetSetting(kAppName, "Two", "VolumeWater", ""), "-911");
  EXPECT_EQ(ReadInteger(fresh, Reader::Saver, "System", "SetReg"), 2);
}

TEST_F(IniFileStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kWritesEach = 500;
  IniFileStore(path_).SaveSetting(kAppName, "one", "Start", "1");
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      IniFileStore store(path_);
      for (int i = 0; i < kWritesEach; ++i) {
        store.SaveSetting(kAppName, c == 0 ? "one" : "two", "Key" + std::to_string(i),
                          std::to_string(i * 7 + c));
      }
      _exit(0);
    }
  }
  // Meanwhile every read of the file parses cleanly.
  int clean_reads = 0;
  for (int i = 0; i < 200; ++i) {
    IniProblems problems;
    IniDocument::Parse(FileText(path_), &problems);
    EXPECT_EQ(problems.count, 0u);
    clean_reads += problems.count == 0;
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  IniFileStore store(path_);
  for (int i = 0; i < kWritesEach; ++i) {
    ASSERT_EQ(store.GetSetting(kAppName, "one", "key" + std::to_string(i), ""),
              std::to_string(i * 7));
    ASSERT_EQ(store.GetSetting(kAppName, "two", "key" + std::to_string(i), ""),
              std::to_string(i * 7 + 1));
  }
  EXPECT_EQ(store.GetSetting(kAppName, "one", "start", ""), "1");
  EXPECT_EQ(clean_reads, 200);
}

TEST(DefaultSettingsPath, FollowsXdgConfigHome) {
  setenv("XDG_CONFIG_HOME", "/cfg", 1);  // each test runs in a process of its own
  EXPECT_EQ(DefaultSettingsPath(), fs::path("/cfg/larkspill/settings.ini"));
  setenv("XDG_CONFIG_HOME", "relative/not/allowed", 1);
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(DefaultSettingsPath(), fs::path("/home/u/.config/larkspill/settings.ini"));
}

}  // namespace
}  // namespace larkspill
