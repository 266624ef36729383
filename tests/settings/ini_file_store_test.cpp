#include "settings/ini_file_store.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <optional>
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

  // Runs `check` in a child process, as `uid` when given, and returns what it reports (empty
  // when all is well). A child still running after 10 s is killed and reported as hanging.
  static std::string InChild(const std::function<std::string()>& check,
                             std::optional<uid_t> uid = std::nullopt) {
    int out[2];
    if (pipe(out) != 0) return "no pipe";
    pid_t child = fork();
    if (child == 0) {
      close(out[0]);
      std::string result = "cannot become the user";
      if (!uid || (setgroups(0, nullptr) == 0 && setresgid(*uid, *uid, *uid) == 0 &&
                   setresuid(*uid, *uid, *uid) == 0)) {
        result = check();
      }
      if (write(out[1], result.data(), result.size()) < 0) _exit(2);
      _exit(0);
    }
    close(out[1]);
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 1000 && !ended; ++i) {
      ended = waitpid(child, &status, WNOHANG) == child;
      if (!ended) usleep(10'000);
    }
    if (!ended) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
    }
    std::string result;
    char buffer[256];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) result.append(buffer, n);
    close(out[0]);
    if (!ended) return "hung; " + result;
    if (!WIFEXITED(status)) return "crashed; " + result;
    return result;
  }

  // Names of the files in the test's folders that someone left behind: temporary files.
  std::vector<std::string> LeftBehind() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
      if (entry.path().filename().string().find(".tmp.") != std::string::npos) {
        found.push_back(entry.path().filename().string());
      }
    }
    return found;
  }

  fs::path dir_;
  fs::path path_;
};

const uid_t kNobody = 65534;

TEST_F(IniFileStoreTest, ValuesSurviveANewStoreOnTheSameFile) {
  {
    IniFileStore store(path_);
    EXPECT_EQ(store.GetSetting(kAppName, "two", "Message", "absent"), "absent");
    store.SaveSetting(kAppName, "Two", "Message", "  a = b ; \"c\"\n#d [e]  ");
    store.SaveSetting(kAppName, "One", "Waterfall1", "1");
    store.SaveSetting(kAppName, "One", "Waterfall1", "0");  // a value replaced
  }
  IniFileStore again(path_);
  EXPECT_EQ(again.GetSetting(kAppName, "two", "message", ""), "  a = b ; \"c\"\n#d [e]  ");
  EXPECT_EQ(again.GetSetting(kAppName, "ONE", "waterfall1", ""), "0");
  // Another application's settings do not mix with ours.
  EXPECT_EQ(again.GetSetting("Other", "one", "waterfall1", "none"), "none");
  again.SaveSetting("Other", "one", "waterfall1", "7");
  EXPECT_EQ(again.GetSetting(kAppName, "one", "waterfall1", ""), "0");
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
  size_t first = err.find("settings are kept in memory until the program ends");
  ASSERT_NE(first, std::string::npos) << err;
  EXPECT_EQ(err.find("settings are kept in memory", first + 1), std::string::npos) << err;

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

TEST(DefaultSettingsPath, FollowsXdgConfigHomeThenHomeThenThePasswordDatabase) {
  setenv("XDG_CONFIG_HOME", "/cfg", 1);  // each test runs in a process of its own
  EXPECT_EQ(DefaultSettingsPath(), fs::path("/cfg/larkspill/settings.ini"));
  setenv("XDG_CONFIG_HOME", "relative/not/allowed", 1);
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(DefaultSettingsPath(), fs::path("/home/u/.config/larkspill/settings.ini"));
  // Never a shared folder such as /tmp: the user's home from the password database.
  unsetenv("XDG_CONFIG_HOME");
  unsetenv("HOME");
  EXPECT_EQ(DefaultSettingsPath(),
            fs::path(getpwuid(getuid())->pw_dir) / ".config/larkspill/settings.ini");
}

TEST_F(IniFileStoreTest, AnEditMadeBetweenTwoWritesIsKept) {
  IniFileStore store(path_);
  store.SaveSetting(kAppName, "one", "Clock", "0");
  std::ofstream(path_, std::ios::app) << "Scroll=5\n";  // in place, as an editor may
  store.SaveSetting(kAppName, "one", "Birds", "1");
  EXPECT_EQ(IniFileStore(path_).GetSetting(kAppName, "one", "scroll", ""), "5");
  EXPECT_EQ(store.GetSetting(kAppName, "one", "scroll", ""), "5");
}

TEST_F(IniFileStoreTest, LinksStayLinksAndPermissionBitsAreKept) {
  struct Case {
    const char* name;
    const char* link_to;  // from the settings folder; nullptr: no link
    bool exists;
    mode_t mode, umask, expected;
  };
  const Case cases[] = {
      {"plain file", nullptr, true, 0640, 022, 0640},
      {"new file", nullptr, false, 0, 027, 0640},
      {"link into a dotfiles folder", "../dotfiles/larkspill.ini", true, 0604, 022, 0604},
      {"dangling link", "../dotfiles/larkspill.ini", false, 0, 002, 0664},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_ / "larkspill");
    fs::remove_all(dir_ / "dotfiles");
    fs::create_directories(dir_ / "larkspill");
    fs::create_directories(dir_ / "dotfiles");
    const fs::path file = c.link_to != nullptr ? path_.parent_path() / c.link_to : path_;
    if (c.link_to != nullptr) fs::create_symlink(c.link_to, path_);
    if (c.exists) {
      std::ofstream(file) << "; mine\n[one]\nMouseSens=2\n";
      chmod(file.c_str(), c.mode);
    }
    const mode_t umask_before = umask(c.umask);
    IniFileStore(path_).SaveSetting(kAppName, "one", "Clock", "0");
    umask(umask_before);
    EXPECT_EQ(fs::is_symlink(path_), c.link_to != nullptr);
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.expected);
    const std::string text = FileText(file);
    EXPECT_EQ(text, c.exists ? "; mine\n[one]\nMouseSens=2\nClock=0\n" : "[one]\nClock=0\n");
    EXPECT_EQ(LeftBehind(), std::vector<std::string>());
  }
}

TEST_F(IniFileStoreTest, ReadOnlyFileIsReadButNeverReplaced) {
  // Root may write whatever the modes say, so two cases run as an ordinary user (nobody).
  if (geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  struct Case {
    const char* name;
    std::optional<uid_t> run_as;
    uid_t owner;
    mode_t mode;
  };
  const Case cases[] = {
      {"protected by its owner, run as root", std::nullopt, 0, 0444},
      {"protected by its owner, run as the owner", kNobody, kNobody, 0444},
      {"another user's, in a folder anyone may write", kNobody, 0, 0644},
  };
  const std::string text = "[One]\nMouseSens=2\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(path_.parent_path());
    fs::create_directories(path_.parent_path());
    chmod(dir_.c_str(), 0755);
    chmod(path_.parent_path().c_str(), 0777);
    std::ofstream(path_) << text;
    ASSERT_EQ(chown(path_.c_str(), c.owner, c.owner), 0);
    chmod(path_.c_str(), c.mode);
    struct stat before {};
    stat(path_.c_str(), &before);
    EXPECT_EQ(InChild(
                  [&]() -> std::string {
                    IniFileStore store(path_);
                    if (store.GetSetting(kAppName, "one", "MouseSens", "") != "2") return "unread";
                    if (store.WhyCannotSave().find("read-only") == std::string::npos) {
                      return "the dialog would not say it cannot save";
                    }
                    store.SaveSetting(kAppName, "one", "MouseSens", "9");
                    if (store.GetSetting(kAppName, "one", "mousesens", "") != "9") {
                      return "the change is not kept for the run";
                    }
                    return "";
                  },
                  c.run_as),
              "");
    struct stat after {};
    stat(path_.c_str(), &after);
    EXPECT_EQ(FileText(path_), text);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
  }
}

TEST_F(IniFileStoreTest, OnlyRegularFilesAreReadOrReplacedAndNothingBlocks) {
  const fs::path elsewhere = dir_ / "elsewhere";
  struct Case {
    const char* name;
    std::function<void()> make;
  };
  const Case cases[] = {
      {"FIFO", [&] { mkfifo(path_.c_str(), 0600); }},
      {"link to a FIFO",
       [&] {
         mkfifo(elsewhere.c_str(), 0600);
         fs::create_symlink(elsewhere, path_);
       }},
      {"link to /dev/zero", [&] { fs::create_symlink("/dev/zero", path_); }},
      {"folder", [&] { fs::create_directory(path_); }},
      {"file over the size limit",
       [&] {
         std::ofstream(path_) << "[System]\nSetReg=2\n";
         fs::resize_file(path_, IniFileStore::kMaxFileSize + 1);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(path_.parent_path());
    fs::remove_all(elsewhere);
    fs::create_directories(path_.parent_path());
    c.make();
    struct stat before {};
    lstat(path_.c_str(), &before);
    EXPECT_EQ(InChild([&]() -> std::string {
                IniFileStore store(path_);
                if (ReadInteger(store, Reader::Saver, "System", "SetReg") == 2) return "read";
                SetRegistry(store);
                if (store.GetSetting(kAppName, "two", "VolumeWater", "") != "-911") {
                  return "first-run values not kept for the run";
                }
                return store.WhyCannotSave().empty() ? "no reason given" : "";
              }),
              "");
    struct stat after {};
    lstat(path_.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_size, before.st_size);
  }
}

TEST_F(IniFileStoreTest, PlantedLinksAreNeverFollowedAndNoBackupMeansNoRewrite) {
  const std::string text = "[one]\nMouseSens=2\nnot a setting\n";
  const std::string ours = ".tmp." + std::to_string(getpid());
  struct Case {
    const char* name;
    std::string planted;  // after "settings.ini"
    bool link;            // a link to the victim's file; else a folder
    bool rewritten;
  };
  const Case cases[] = {
      {"nothing planted", "", false, true},
      {"backup is a folder", ".bad", false, false},
      {"backup is a link", ".bad", true, true},
      {"lock is a link", ".lock", true, false},
      {"temporary file is a link", ours, true, false},
  };
  const fs::path victim = dir_ / "victim";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(path_.parent_path());
    fs::create_directories(path_.parent_path());
    std::ofstream(path_) << text;
    std::ofstream(victim) << "the victim's own text";
    fs::path planted = path_;
    planted += c.planted;
    if (c.link) {
      fs::create_symlink(victim, planted);
    } else if (!c.planted.empty()) {
      fs::create_directory(planted);
    }
    testing::internal::CaptureStderr();
    IniFileStore store(path_);
    EXPECT_EQ(store.GetSetting(kAppName, "one", "MouseSens", ""), "2");
    store.SaveSetting(kAppName, "one", "Clock", "0");
    EXPECT_EQ(store.GetSetting(kAppName, "one", "clock", ""), "0");
    // One word about the bad line, however often the file is read.
    const std::string err = testing::internal::GetCapturedStderr();
    const size_t first = err.find("is not a setting");
    EXPECT_NE(first, std::string::npos) << err;
    EXPECT_EQ(err.find("is not a setting", first + 1), std::string::npos) << err;
    EXPECT_EQ(FileText(victim), "the victim's own text");
    if (c.rewritten) {
      EXPECT_EQ(FileText(path_), "[one]\nMouseSens=2\nClock=0\n");
      EXPECT_EQ(FileText(path_.string() + ".bad"), text);
    } else {
      EXPECT_EQ(FileText(path_), text);
      EXPECT_NE(store.WhyCannotSave(), "");
    }
  }
}

TEST_F(IniFileStoreTest, OnlyTheFileLookedAtIsOpenedNotALinkOrAFileSwappedInSince) {
  fs::create_directories(path_.parent_path());
  const fs::path victim = dir_ / "victim";
  std::ofstream(path_) << "[one]\nClock=0\n";
  std::ofstream(victim) << "[one]\nSecret=1\n";
  struct stat seen {};
  struct stat opened {};
  ASSERT_EQ(lstat(path_.c_str(), &seen), 0);
  bool changed = false;
  const int fd = OpenAsSeen(path_, &seen, &opened, &changed);
  EXPECT_GE(fd, 0);
  close(fd);
  // A link, even to the file seen, or another file in its place is not opened.
  fs::rename(path_, dir_ / "seen");
  for (const fs::path& to : {dir_ / "seen", victim}) {
    fs::create_symlink(to, path_);
    EXPECT_EQ(OpenAsSeen(path_, &seen, &opened, &changed), -1);
    EXPECT_TRUE(changed);
    fs::remove(path_);
  }
  fs::copy_file(dir_ / "seen", path_);
  EXPECT_EQ(OpenAsSeen(path_, &seen, &opened, &changed), -1);
  EXPECT_TRUE(changed);
}

TEST_F(IniFileStoreTest, TemporaryFilesOfDeadWritersAreRemovedByTheNextWrite) {
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  fs::create_directories(path_.parent_path());
  // One killed between writing its file and renaming it; one of a writer still running.
  std::ofstream(path_.string() + ".tmp." + std::to_string(dead)) << "[one]\nKey0=";
  std::ofstream(path_.string() + ".tmp.1") << "[one]\nKey0=";
  IniFileStore(path_).SaveSetting(kAppName, "one", "End", "1");
  EXPECT_EQ(LeftBehind(), std::vector<std::string>{"settings.ini.tmp.1"});
}

TEST_F(IniFileStoreTest, LockWaitsEndOnAnEndSignalOrAfterAFewSeconds) {
  fs::create_directories(path_.parent_path());
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t holder = fork();
  if (holder == 0) {
    int fd = open((path_.string() + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
    flock(fd, LOCK_EX);
    if (write(ready[1], "x", 1) != 1) _exit(1);
    pause();
  }
  char x;
  ASSERT_EQ(read(ready[0], &x, 1), 1);
  EXPECT_EQ(InChild([&]() -> std::string {
              // As the saver does when SIGTERM has come: the wait ends at once.
              IniFileStore ending(path_, [] { return SIGTERM; });
              ending.SaveSetting(kAppName, "one", "Clock", "0");
              if (ending.WhyCannotSave().find("ending") == std::string::npos) {
                return "did not end on the signal: " + ending.WhyCannotSave();
              }
              IniFileStore patient(path_);
              patient.SaveSetting(kAppName, "one", "Clock", "0");
              patient.SaveSetting(kAppName, "one", "Birds", "1");
              if (patient.GetSetting(kAppName, "one", "clock", "") != "0") return "value lost";
              if (patient.WhyCannotSave().find("is locked") == std::string::npos) {
                return "no word of the lock: " + patient.WhyCannotSave();
              }
              return "";
            }),
            "");
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(IniFileStoreTest, FirstRunValuesNeverReplaceWhatCouldNotBeRead) {
  struct Case {
    const char* text;
    const char *mouse_sens, *birds;
  };
  const Case cases[] = {
      // A broken header hides the marker: the user's values stay, absent ones are filled.
      {"[One]\nMouseSens=2\n[System\nSetReg=2\n", "2", "1"},
      // A bad line: what was read stays, but the marker is set, so this happens once.
      {"[One]\nMouseSens=2\nBirds=0\nnot a setting\n[System]\nSetReg=3\n", "2", "0"},
      // Read cleanly, with a marker that is not 2: every first-run value is written.
      {"[One]\nMouseSens=2\nBirds=0\n[System]\nSetReg=3\n", "4", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    fs::create_directories(path_.parent_path());
    std::ofstream(path_) << c.text;
    testing::internal::CaptureStderr();
    IniFileStore store(path_);
    if (ReadInteger(store, Reader::Saver, "System", "SetReg") != 2) SetRegistry(store);
    testing::internal::GetCapturedStderr();
    IniFileStore fresh(path_);
    EXPECT_EQ(fresh.GetSetting(kAppName, "one", "mousesens", ""), c.mouse_sens);
    EXPECT_EQ(fresh.GetSetting(kAppName, "one", "birds", ""), c.birds);
    EXPECT_EQ(fresh.GetSetting(kAppName, "two", "volumewater", ""), "-911");
    EXPECT_EQ(fresh.GetSetting(kAppName, "system", "setreg", ""), "2");
  }
}

}  // namespace
}  // namespace larkspill
