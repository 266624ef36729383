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
#include <tuple>

#include "settings/ini_format.h"
#include "settings/key_table.h"

namespace larkspill {
namespace {

namespace fs = std::filesystem;
const uid_t kNobody = 65534;

std::string FileText(const fs::path& path) {
  std::stringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

// Runs `check` in a child process, as `uid` when given; returns what it reports (empty: all
// well). A child still running after 10 s is killed and reported as hanging.
std::string InChild(const std::function<std::string()>& check,
                    std::optional<uid_t> uid = std::nullopt) {
  int out[2];
  if (pipe(out) != 0) return "no pipe";
  pid_t child = fork();
  if (child == 0) {
    close(out[0]);
    std::string result = "cannot become the user";
    if (!uid || (setgroups(0, nullptr) == 0 && setresgid(*uid, *uid, *uid) == 0 &&
                 setresuid(*uid, *uid, *uid) == 0))
      result = check();
    _exit(write(out[1], result.data(), result.size()) < 0 ? 2 : 0);
  }
  close(out[1]);
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 1000 && !(ended = waitpid(child, &status, WNOHANG) == child); ++i)
    usleep(10'000);
  if (!ended) kill(child, SIGKILL), waitpid(child, &status, 0);
  std::string result;
  char buffer[256];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) result.append(buffer, n);
  close(out[0]);
  if (!ended) return "hung; " + result;
  return WIFEXITED(status) ? result : "crashed; " + result;
}

class IniFileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/larkspill-settings-XXXXXX";
    dir_ = mkdtemp(pattern);
    path_ = dir_ / "larkspill" / "settings.ini";
  }
  void TearDown() override { fs::remove_all(dir_); }
  // A fresh settings folder holding `text` as the settings file (none when null).
  void Fresh(const char* text) {
    fs::remove_all(path_.parent_path());
    fs::create_directories(path_.parent_path());
    if (text != nullptr) std::ofstream(path_) << text;
  }
  // Temporary files someone left behind in the test's folders.
  std::vector<std::string> LeftBehind() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(dir_))
      if (entry.path().filename().string().find(".tmp.") != std::string::npos)
        found.push_back(entry.path().filename().string());
    return found;
  }
  std::string Get(IniFileStore& store, const char* section, const char* key) {
    return store.GetSetting(kAppName, section, key, "<absent>");
  }

  fs::path dir_;
  fs::path path_;
};

TEST_F(IniFileStoreTest, ValuesSurviveANewStoreAndEditsMadeBetweenWritesAreKept) {
  // The temporary file of a writer killed between writing it and renaming it goes with the next
  // write; one of a writer still running (pid 1) stays.
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  Fresh(nullptr);
  std::ofstream(path_.string() + ".tmp." + std::to_string(dead)) << "[one]\nKey0=";
  std::ofstream(path_.string() + ".tmp.1") << "[one]\nKey0=";
  {
    IniFileStore store(path_);
    EXPECT_EQ(Get(store, "two", "Message"), "<absent>");
    store.SaveSetting(kAppName, "Two", "Message", "  a = b ; \"c\"\n#d [e]  ");
    store.SaveSetting(kAppName, "One", "Waterfall1", "1");
    store.SaveSetting(kAppName, "One", "Waterfall1", "0");
    std::ofstream(path_, std::ios::app) << "Scroll=5\n";  // in place, as an editor may
    store.SaveSetting(kAppName, "one", "Birds", "1");
    EXPECT_EQ(Get(store, "one", "scroll"), "5");
  }
  IniFileStore again(path_);
  EXPECT_EQ(Get(again, "two", "message"), "  a = b ; \"c\"\n#d [e]  ");
  EXPECT_EQ(Get(again, "ONE", "waterfall1"), "0");
  EXPECT_EQ(Get(again, "one", "scroll"), "5");
  EXPECT_EQ(LeftBehind(), std::vector<std::string>{"settings.ini.tmp.1"});
  // Another application's settings do not mix with ours.
  EXPECT_EQ(again.GetSetting("Other", "one", "waterfall1", "none"), "none");
  again.SaveSetting("Other", "one", "waterfall1", "7");
  EXPECT_EQ(Get(again, "one", "waterfall1"), "0");
}

TEST_F(IniFileStoreTest, UnwritableFileKeepsValuesInMemoryAndSaysSoOnce) {
  fs::create_directories(dir_);
  std::ofstream(dir_ / "larkspill") << "not a folder";  // where the settings folder should be
  testing::internal::CaptureStderr();
  IniFileStore store(path_);
  SetRegistry(store);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Get(store, "two", "VolumeWater"), "-911");
  size_t first = err.find("settings are kept in memory until the program ends");
  ASSERT_NE(first, std::string::npos) << err;
  EXPECT_EQ(err.find("settings are kept in memory", first + 1), std::string::npos) << err;
  // Once the folder can be made, the next write stores what could not be written before.
  fs::remove(dir_ / "larkspill");
  store.SaveSetting(kAppName, "two", "Message", "later");
  IniFileStore fresh(path_);
  EXPECT_EQ(Get(fresh, "two", "Message"), "later");
  EXPECT_EQ(Get(fresh, "Two", "VolumeWater"), "-911");
  EXPECT_EQ(ReadInteger(fresh, Reader::Saver, "System", "SetReg"), 2);
}

TEST_F(IniFileStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kWritesEach = 300;
  IniFileStore(path_).SaveSetting(kAppName, "one", "Start", "1");
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    if ((children[c] = fork()) == 0) {
      IniFileStore store(path_);
      for (int i = 0; i < kWritesEach; ++i)
        store.SaveSetting(kAppName, c == 0 ? "one" : "two", "Key" + std::to_string(i),
                          std::to_string(i * 7 + c));
      _exit(0);
    }
  }
  int bad_reads = 0;  // meanwhile every read of the file parses cleanly
  for (int i = 0; i < 200; ++i) {
    IniProblems problems;
    IniDocument::Parse(FileText(path_), &problems);
    bad_reads += problems.count != 0;
  }
  EXPECT_EQ(bad_reads, 0);
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  IniFileStore store(path_);
  for (int i = 0; i < kWritesEach; ++i) {
    const std::string key = "key" + std::to_string(i);
    ASSERT_EQ(store.GetSetting(kAppName, "one", key, ""), std::to_string(i * 7));
    ASSERT_EQ(store.GetSetting(kAppName, "two", key, ""), std::to_string(i * 7 + 1));
  }
  EXPECT_EQ(Get(store, "one", "start"), "1");
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

TEST_F(IniFileStoreTest, LinksStayLinksAndPermissionBitsAreKept) {
  struct Case {
    const char* link_to;  // from the settings folder; nullptr: no link
    bool exists;
    mode_t mode, umask, expected;
  } cases[] = {{nullptr, true, 0640, 022, 0640},
               {nullptr, false, 0, 027, 0640},
               {"../dotfiles/larkspill.ini", true, 0604, 022, 0604},
               {"../dotfiles/larkspill.ini", false, 0, 002, 0664}};  // dangling
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(&c - cases));
    Fresh(nullptr);
    fs::remove_all(dir_ / "dotfiles");
    fs::create_directories(dir_ / "dotfiles");
    const fs::path file = c.link_to != nullptr ? path_.parent_path() / c.link_to : path_;
    if (c.link_to != nullptr) fs::create_symlink(c.link_to, path_);
    if (c.exists) std::ofstream(file) << "; mine\n[one]\nMouseSens=2\n", chmod(file.c_str(), c.mode);
    const mode_t umask_before = umask(c.umask);
    IniFileStore(path_).SaveSetting(kAppName, "one", "Clock", "0");
    umask(umask_before);
    EXPECT_EQ(fs::is_symlink(path_), c.link_to != nullptr);
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.expected);
    EXPECT_EQ(FileText(file), c.exists ? "; mine\n[one]\nMouseSens=2\nClock=0\n" : "[one]\nClock=0\n");
    EXPECT_EQ(LeftBehind(), std::vector<std::string>());
  }
}

TEST_F(IniFileStoreTest, ReadOnlyFileIsReadButNeverReplaced) {
  // Root may write whatever the modes say, so two cases run as an ordinary user (nobody).
  if (geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  struct Case {
    std::optional<uid_t> run_as;
    uid_t owner;
    mode_t mode;
  } cases[] = {{std::nullopt, 0, 0444},      // protected by its owner, run as root
               {kNobody, kNobody, 0444},     // protected by its owner, run as the owner
               {kNobody, 0, 0644}};          // another user's, in a folder anyone may write
  const char* text = "[One]\nMouseSens=2\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(&c - cases));
    Fresh(text);
    chmod(dir_.c_str(), 0755);
    chmod(path_.parent_path().c_str(), 0777);
    ASSERT_EQ(chown(path_.c_str(), c.owner, c.owner), 0);
    chmod(path_.c_str(), c.mode);
    struct stat before {}, after {};
    stat(path_.c_str(), &before);
    EXPECT_EQ(InChild([&]() -> std::string {
                IniFileStore store(path_);
                // Read, said to be read-only (as the dialog shows), changed for the run only.
                std::string seen = Get(store, "one", "MouseSens") + store.WhyCannotSave();
                store.SaveSetting(kAppName, "one", "MouseSens", "9");
                return seen + Get(store, "one", "mousesens");
              }, c.run_as), "2the settings file is read-only9");
    stat(path_.c_str(), &after);
    EXPECT_EQ(FileText(path_), text);
    EXPECT_EQ(std::tie(after.st_ino, after.st_mode, after.st_uid),
              std::tie(before.st_ino, before.st_mode, before.st_uid));
  }
}

TEST_F(IniFileStoreTest, OnlyRegularFilesAreReadOrReplacedAndNothingBlocks) {
  const fs::path elsewhere = dir_ / "elsewhere";
  const std::function<void()> makes[] = {
      [&] { mkfifo(path_.c_str(), 0600); },
      [&] { mkfifo(elsewhere.c_str(), 0600), fs::create_symlink(elsewhere, path_); },
      [&] { fs::create_symlink("/dev/zero", path_); },
      [&] { fs::create_directory(path_); },
      [&] {  // over the size limit
        std::ofstream(path_) << "[System]\nSetReg=2\n";
        fs::resize_file(path_, IniFileStore::kMaxFileSize + 1);
      }};
  for (const auto& make : makes) {
    SCOPED_TRACE(std::to_string(&make - makes));
    Fresh(nullptr);
    fs::remove_all(elsewhere);
    make();
    struct stat before {}, after {};
    lstat(path_.c_str(), &before);
    EXPECT_EQ(InChild([&]() -> std::string {
                IniFileStore store(path_);
                if (ReadInteger(store, Reader::Saver, "System", "SetReg") == 2) return "read";
                SetRegistry(store);
                if (Get(store, "two", "VolumeWater") != "-911") return "first-run values lost";
                return store.WhyCannotSave().empty() ? "no reason given" : "";
              }), "");
    lstat(path_.c_str(), &after);
    EXPECT_EQ(std::tie(after.st_ino, after.st_size), std::tie(before.st_ino, before.st_size));
  }
}

TEST_F(IniFileStoreTest, PlantedLinksAreNeverFollowedAndNoBackupMeansNoRewrite) {
  const char* text = "[one]\nMouseSens=2\nnot a setting\n";
  struct Case {
    std::string planted;  // after "settings.ini"
    bool link;            // a link to the victim's file; else a folder
    bool rewritten;
  } cases[] = {{"", false, true},
               {".bad", false, false},
               {".bad", true, true},
               {".lock", true, false},
               {".tmp." + std::to_string(getpid()), true, false}};
  const fs::path victim = dir_ / "victim";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.planted + (c.link ? " link" : ""));
    Fresh(text);
    std::ofstream(victim) << "the victim's own text";
    const fs::path planted = path_.string() + c.planted;
    if (c.link) fs::create_symlink(victim, planted);
    else if (!c.planted.empty()) fs::create_directory(planted);
    testing::internal::CaptureStderr();
    IniFileStore store(path_);
    EXPECT_EQ(Get(store, "one", "MouseSens"), "2");
    store.SaveSetting(kAppName, "one", "Clock", "0");
    EXPECT_EQ(Get(store, "one", "clock"), "0");
    // One word about the bad line, however often the file is read.
    const std::string err = testing::internal::GetCapturedStderr();
    const size_t first = err.find("is not a setting");
    EXPECT_NE(first, std::string::npos) << err;
    EXPECT_EQ(err.find("is not a setting", first + 1), std::string::npos) << err;
    EXPECT_EQ(FileText(victim), "the victim's own text");
    EXPECT_EQ(FileText(path_), c.rewritten ? "[one]\nMouseSens=2\nClock=0\n" : text);
    if (c.rewritten) EXPECT_EQ(FileText(path_.string() + ".bad"), text);
    else EXPECT_NE(store.WhyCannotSave(), "");
  }
}

TEST_F(IniFileStoreTest, OnlyTheFileLookedAtIsOpenedNotALinkOrAFileSwappedInSince) {
  Fresh("[one]\nClock=0\n");
  std::ofstream(dir_ / "victim") << "[one]\nSecret=1\n";
  struct stat seen {}, opened {};
  ASSERT_EQ(lstat(path_.c_str(), &seen), 0);
  bool changed = false;
  const int fd = OpenAsSeen(path_, &seen, &opened, &changed);
  EXPECT_GE(fd, 0);
  close(fd);
  // A link, even to the file seen, or another file in its place is not opened.
  fs::rename(path_, dir_ / "seen");
  for (const char* to : {"seen", "victim", ""}) {
    if (*to != '\0') fs::create_symlink(dir_ / to, path_);
    else fs::copy_file(dir_ / "seen", path_);
    changed = false;
    EXPECT_EQ(OpenAsSeen(path_, &seen, &opened, &changed), -1) << to;
    EXPECT_TRUE(changed) << to;
    fs::remove(path_);
  }
}

TEST_F(IniFileStoreTest, LockWaitsEndOnAnEndSignalOrAfterAFewSeconds) {
  Fresh(nullptr);
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t holder = fork();
  if (holder == 0) {
    flock(open((path_.string() + ".lock").c_str(), O_RDWR | O_CREAT, 0600), LOCK_EX);
    if (write(ready[1], "x", 1) != 1) _exit(1);
    pause();
  }
  char x;
  ASSERT_EQ(read(ready[0], &x, 1), 1);
  EXPECT_EQ(InChild([&]() -> std::string {
              // As the saver does when SIGTERM has come: the wait ends at once.
              IniFileStore ending(path_, [] { return SIGTERM; });
              ending.SaveSetting(kAppName, "one", "Clock", "0");
              if (ending.WhyCannotSave().find("ending") == std::string::npos)
                return "did not end on the signal: " + ending.WhyCannotSave();
              IniFileStore patient(path_);
              patient.SaveSetting(kAppName, "one", "Clock", "0");
              patient.SaveSetting(kAppName, "one", "Birds", "1");
              if (Get(patient, "one", "clock") != "0") return "value lost";
              return patient.WhyCannotSave().find("is locked") == std::string::npos
                         ? "no word of the lock: " + patient.WhyCannotSave() : "";
            }), "");
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(IniFileStoreTest, FirstRunValuesNeverReplaceWhatCouldNotBeRead) {
  struct Case {
    const char *text, *mouse_sens, *birds;
  } cases[] = {
      // A broken header hides the marker: the user's values stay, absent ones are filled.
      {"[One]\nMouseSens=2\n[System\nSetReg=2\n", "2", "1"},
      // A bad line: what was read stays, but the marker is set, so this happens once.
      {"[One]\nMouseSens=2\nBirds=0\nnot a setting\n[System]\nSetReg=3\n", "2", "0"},
      // Read cleanly, with a marker that is not 2: every first-run value is written.
      {"[One]\nMouseSens=2\nBirds=0\n[System]\nSetReg=3\n", "4", "1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Fresh(c.text);
    testing::internal::CaptureStderr();
    IniFileStore store(path_);
    if (ReadInteger(store, Reader::Saver, "System", "SetReg") != 2) SetRegistry(store);
    testing::internal::GetCapturedStderr();
    IniFileStore fresh(path_);
    EXPECT_EQ(Get(fresh, "one", "mousesens"), c.mouse_sens);
    EXPECT_EQ(Get(fresh, "one", "birds"), c.birds);
    EXPECT_EQ(Get(fresh, "two", "volumewater"), "-911");
    EXPECT_EQ(Get(fresh, "system", "setreg"), "2");
  }
}

}  // namespace
}  // namespace larkspill
