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
#include <iterator>
#include <tuple>

#include "settings/ini_format.h"
#include "settings/key_table.h"
#include "settings/settings_file.h"

namespace larkspill {
namespace {

namespace fs = std::filesystem;

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// What is at a path, links not followed: inode, mode, owner, size and a small file's text.
std::string Snapshot(const fs::path& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return "nothing";
  const std::string id = std::to_string(st.st_ino) + ' ' + std::to_string(st.st_mode) + ' ' +
                         std::to_string(st.st_uid) + ' ' + std::to_string(st.st_size) + ' ';
  return S_ISREG(st.st_mode) && st.st_size < 4096 ? id + FileText(path) : id;
}

bool Once(const std::string& text, const std::string& what) {
  return text.find(what) != std::string::npos && text.find(what) == text.rfind(what);
}

// Expects `check` in a child (as nobody when asked, ended by SIGALRM after 10 s) to say `expected`.
void ExpectInChild(const std::function<std::string()>& check, const std::string& expected,
                   bool as_nobody = false) {
  const uid_t nobody = 65534;
  EXPECT_EXIT(
      {
        alarm(10);
        if (as_nobody && (setgroups(0, nullptr) != 0 || setresgid(nobody, nobody, nobody) != 0 ||
                          setresuid(nobody, nobody, nobody) != 0))
          _exit(2);
        const std::string seen = check();
        std::fputs(("\nreported: " + seen + "\nexpected: " + expected + "\n").c_str(), stderr);
        _exit(seen == expected ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

class IniFileStoreTest : public ::testing::Test {
 protected:
  void TearDown() override { fs::remove_all(dir_); }
  // Fresh folders, the settings folder holding `text` as the settings file (none when null).
  void Fresh(const char* text) {
    fs::remove_all(dir_);
    fs::create_directories(path_.parent_path());
    if (text != nullptr) std::ofstream(path_) << text;
  }
  // Temporary files someone left behind in the test's folders.
  std::vector<std::string> LeftBehind() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(dir_))
      if (const std::string name = entry.path().filename(); name.find(".tmp.") != name.npos)
        found.push_back(name);
    return found;
  }
  // The values of "section/key" names, '|' separated.
  static std::string Get(IniFileStore& store, std::initializer_list<std::string> names) {
    std::string out;
    for (const std::string& name : names) {
      const size_t at = name.find('/');
      out += store.GetSetting(kAppName, name.substr(0, at), name.substr(at + 1), "<absent>") + '|';
    }
    return out.substr(0, out.size() - 1);
  }

  std::string pattern_ = "/tmp/larkspill-settings-XXXXXX";
  const fs::path dir_ = mkdtemp(pattern_.data());
  const fs::path path_ = dir_ / "larkspill" / "settings.ini";
};

TEST_F(IniFileStoreTest, ValuesSurviveANewStoreAndEditsMadeBetweenWritesAreKept) {
  // A dead writer's temporary file goes with the next write; a running one's (pid 1) stays.
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  Fresh(nullptr);
  for (const pid_t writer : {dead, 1})
    std::ofstream(path_.string() + ".tmp." + std::to_string(writer)) << "[one]\nKey0=";
  {
    IniFileStore store(path_);
    EXPECT_EQ(Get(store, {"two/Message"}), "<absent>");
    store.SaveSetting(kAppName, "Two", "Message", "  a = b ; \"c\"\n#d [e]  ");
    store.SaveSetting(kAppName, "One", "Waterfall1", "1");
    store.SaveSetting(kAppName, "One", "Waterfall1", "0");
    std::ofstream(path_, std::ios::app) << "Scroll=5\n";  // in place, as an editor may
    store.SaveSetting(kAppName, "one", "Birds", "1");
    EXPECT_EQ(Get(store, {"one/scroll"}), "5");
  }
  IniFileStore again(path_);
  EXPECT_EQ(Get(again, {"two/message", "ONE/waterfall1", "one/scroll"}),
            "  a = b ; \"c\"\n#d [e]  |0|5");
  EXPECT_EQ(LeftBehind(), std::vector<std::string>{"settings.ini.tmp.1"});
  // Another application's settings do not mix with ours.
  EXPECT_EQ(again.GetSetting("Other", "one", "waterfall1", "none"), "none");
  again.SaveSetting("Other", "one", "waterfall1", "7");
  EXPECT_EQ(Get(again, {"one/waterfall1"}), "0");
}

TEST_F(IniFileStoreTest, UnwritableFileKeepsValuesInMemoryAndSaysSoOnce) {
  std::ofstream(dir_ / "larkspill") << "not a folder";  // where the settings folder should be
  testing::internal::CaptureStderr();
  IniFileStore store(path_);
  WriteFirstRunValues(store);
  store.SaveSetting(kAppName, "two", "Message", "sooner");  // fails again, but says nothing new
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(Get(store, {"two/VolumeWater"}), "-911");
  EXPECT_TRUE(Once(err, "settings are kept in memory until the program ends")) << err;
  // Once the folder can be made, the next write stores what could not be written before.
  fs::remove(dir_ / "larkspill");
  store.SaveSetting(kAppName, "two", "Message", "later");
  IniFileStore fresh(path_);
  EXPECT_EQ(Get(fresh, {"two/Message", "Two/VolumeWater", "System/SetReg"}), "later|-911|2");
}

TEST_F(IniFileStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kWritesEach = 300;
  const auto value = [](int i, int c) { return std::to_string(i * 7 + c); };
  IniFileStore(path_).SaveSetting(kAppName, "one", "Start", "1");
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    if ((children[c] = fork()) != 0) continue;
    IniFileStore store(path_);
    for (int i = 0; i < kWritesEach; ++i)
      store.SaveSetting(kAppName, c == 0 ? "one" : "two", "Key" + std::to_string(i), value(i, c));
    _exit(0);
  }
  IniProblems problems;  // meanwhile every read of the file parses cleanly
  for (int i = 0; i < 200; ++i) IniDocument::Parse(FileText(path_), &problems);
  EXPECT_EQ(problems.count, 0u);
  for (int status = 0; pid_t child : children)
    ASSERT_TRUE(waitpid(child, &status, 0) == child && WIFEXITED(status) && !WEXITSTATUS(status));
  IniFileStore store(path_);
  EXPECT_EQ(Get(store, {"one/start"}), "1");
  for (int i = 0; i < kWritesEach; ++i) {
    const std::string key = "/key" + std::to_string(i);
    ASSERT_EQ(Get(store, {"one" + key, "two" + key}), value(i, 0) + "|" + value(i, 1));
  }
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
  // A link to the file or none; whether it exists, its mode, the umask, its mode after a save.
  const std::tuple<const char*, bool, mode_t, mode_t, mode_t> cases[] = {
      {nullptr, true, 0640, 022, 0640}, {nullptr, false, 0, 027, 0640},
      {"../dotfiles/larkspill.ini", true, 0604, 022, 0604},
      {"../dotfiles/larkspill.ini", false, 0, 002, 0664}};  // dangling
  for (const auto& [link_to, exists, mode, mask, expected] : cases) {
    SCOPED_TRACE(std::string(link_to ? link_to : "no link") + (exists ? "" : ", absent"));
    Fresh(nullptr);
    fs::create_directories(dir_ / "dotfiles");
    const fs::path file = link_to != nullptr ? path_.parent_path() / link_to : path_;
    if (link_to != nullptr) fs::create_symlink(link_to, path_);
    if (exists) std::ofstream(file) << "; mine\n[one]\nMouseSens=2\n", chmod(file.c_str(), mode);
    const mode_t umask_before = umask(mask);
    IniFileStore(path_).SaveSetting(kAppName, "one", "Clock", "0");
    umask(umask_before);
    EXPECT_EQ(fs::is_symlink(path_), link_to != nullptr);
    EXPECT_EQ(static_cast<mode_t>(fs::status(file).permissions()), expected);
    EXPECT_EQ(FileText(file),
              exists ? "; mine\n[one]\nMouseSens=2\nClock=0\n" : "[one]\nClock=0\n");
    EXPECT_EQ(LeftBehind(), std::vector<std::string>());
  }
}

// A file its owner protected, another user's, or anything but a regular file of a sane size is
// never replaced nor blocks: values are kept in memory. Root may write anyway: some run as nobody.
TEST_F(IniFileStoreTest, ReadOnlyFilesAndAllButRegularFilesAreNeverReplacedAndNothingBlocks) {
  const fs::path elsewhere = dir_ / "elsewhere";
  const auto file = [this](uid_t owner, mode_t mode) {
    return [=, this] {
      std::ofstream(path_) << "[One]\nMouseSens=2\n";
      if (chown(path_.c_str(), owner, owner) != 0 && geteuid() == 0) ADD_FAILURE() << "chown";
      chmod(path_.c_str(), mode);
    };
  };
  const std::string read_only = "2|the settings file is read-only|9";
  const std::string not_a_file = "<absent>|the settings file is not a regular file|9";
  // How the path is made, whether the child is nobody; MouseSens read, why not saved, and saved.
  const struct { std::function<void()> make; bool as_nobody; std::string seen; } cases[] = {
      {file(0, 0444), false, read_only},       // protected by its owner, run as root
      {file(65534, 0444), true, read_only},    // protected by its owner, run as the owner
      {file(0, 0644), true, read_only},        // another user's, in a folder anyone may write
      {[&] { mkfifo(path_.c_str(), 0600); }, false, not_a_file},
      {[&] { mkfifo(elsewhere.c_str(), 0600), fs::create_symlink(elsewhere, path_); }, false,
       not_a_file},
      {[&] { fs::create_symlink("/dev/zero", path_); }, false, not_a_file},
      {[&] { fs::create_directory(path_); }, false, not_a_file},
      {[&] { file(0, 0644)(), fs::resize_file(path_, IniFileStore::kMaxFileSize + 1); }, false,
       "<absent>|the settings file is larger than 4 MiB|9"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    if (c.as_nobody && geteuid() != 0) continue;  // acting as another user needs root
    Fresh(nullptr);
    chmod(dir_.c_str(), 0755);
    chmod(path_.parent_path().c_str(), 0777);
    c.make();
    const std::string before = Snapshot(path_) + Snapshot(elsewhere);
    ExpectInChild([&] {
          IniFileStore store(path_);
          const std::string seen = Get(store, {"one/MouseSens"}) + "|" + store.WhyCannotSave();
          store.SaveSetting(kAppName, "one", "MouseSens", "9");
          return seen + "|" + Get(store, {"one/mousesens"});
        }, c.seen, c.as_nobody);
    EXPECT_EQ(Snapshot(path_) + Snapshot(elsewhere), before);
  }
}

TEST_F(IniFileStoreTest, PlantedOrSwappedInLinksAreNeverFollowedAndNoBackupMeansNoRewrite) {
  const char* text = "[one]\nMouseSens=2\nnot a setting\n";
  // What is planted after "settings.ini": a link to the victim's file or a folder; rewritten?
  const std::tuple<std::string, bool, bool> cases[] = {
      {"", false, true}, {".bad", false, false}, {".bad", true, true}, {".lock", true, false},
      {".tmp." + std::to_string(getpid()), true, false}};
  const fs::path victim = dir_ / "victim";
  for (const auto& [suffix, link, rewritten] : cases) {
    SCOPED_TRACE(suffix + (link ? " link" : ""));
    Fresh(text);
    std::ofstream(victim) << "the victim's own text";
    const fs::path planted = path_.string() + suffix;
    if (link) fs::create_symlink(victim, planted);
    else if (!suffix.empty()) fs::create_directory(planted);
    testing::internal::CaptureStderr();
    IniFileStore store(path_);
    EXPECT_EQ(Get(store, {"one/MouseSens"}), "2");
    store.SaveSetting(kAppName, "one", "Clock", "0");
    EXPECT_EQ(Get(store, {"one/clock"}), "0");
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(Once(err, "is not a setting")) << err;  // however often the file is read
    EXPECT_EQ(FileText(victim), "the victim's own text");
    EXPECT_EQ(FileText(path_), rewritten ? "[one]\nMouseSens=2\nClock=0\n" : text);
    if (rewritten) EXPECT_EQ(FileText(path_.string() + ".bad"), text);
    else EXPECT_NE(store.WhyCannotSave(), "");
  }
  // Only the file looked at is opened: not a link, even to it, nor another file swapped in since.
  struct stat seen {}, opened {};
  ASSERT_EQ(lstat(path_.c_str(), &seen), 0);
  bool changed = true;
  const int fd = OpenAsSeen(path_, &seen, &opened, &changed);
  EXPECT_TRUE(fd >= 0 && !changed);
  close(fd);
  fs::rename(path_, dir_ / "seen");
  for (const char* to : {"seen", "victim", ""}) {
    if (*to != '\0') fs::create_symlink(dir_ / to, path_);
    else fs::copy_file(dir_ / "seen", path_);
    EXPECT_TRUE(OpenAsSeen(path_, &seen, &opened, &changed) == -1 && changed) << to;
    fs::remove(path_);
  }
}

TEST_F(IniFileStoreTest, LockWaitsEndOnAnEndSignalOrAfterAFewSeconds) {
  Fresh(nullptr);
  const int held = open((path_.string() + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(flock(held, LOCK_EX), 0);  // the child's store opens the lock file afresh and waits
  ExpectInChild([&] {
        // As the saver does when SIGTERM has come: the wait ends at once.
        IniFileStore ending(path_, [] { return SIGTERM; });
        ending.SaveSetting(kAppName, "one", "Clock", "0");
        IniFileStore patient(path_);
        patient.SaveSetting(kAppName, "one", "Clock", "0");
        patient.SaveSetting(kAppName, "one", "Birds", "1");
        return ending.WhyCannotSave() + "|" + Get(patient, {"one/clock"}) + "|" +
               patient.WhyCannotSave();
      }, "the settings file was not written: the program is ending|0|the settings file is locked: "
         "another program has held settings.ini.lock for more than 3 s");
  close(held);
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(IniFileStoreTest, AWriteWaitsForAnotherProgramsLockAndLandsOnceItIsLetGo) {
  Fresh(nullptr);
  int locked[2];
  ASSERT_EQ(pipe(locked), 0);
  const pid_t other = fork();
  if (other == 0) {  // another program holding the lock for a second, as a slow editor might
    const int held = open((path_.string() + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
    if (flock(held, LOCK_EX) != 0) _exit(1);
    (void)!write(locked[1], "l", 1);
    sleep(1);
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(locked[0], &byte, 1), 1);
  close(locked[0]), close(locked[1]);
  IniFileStore store(path_);
  store.SaveSetting(kAppName, "two", "Message", "written after the wait");
  int status = 0;
  waitpid(other, &status, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(store.WhyCannotSave(), "");
  IniFileStore fresh(path_);
  EXPECT_EQ(Get(fresh, {"two/message"}), "written after the wait");
}

TEST_F(IniFileStoreTest, FirstRunValuesNeverReplaceWhatTheUserWroteOrWhatCouldNotBeRead) {
  const std::pair<const char*, const char*> cases[] = {  // a file; its values after a first start
      // Written by hand, with no marker: every value stays, absent ones are filled.
      {"[One]\nWaterfall1=0\nMouseSens=2\n[Two]\nMessage=Gone fishing\n", "0|2|1|Gone fishing"},
      // A broken header hides the marker: the user's values stay, absent ones are filled.
      {"[One]\nMouseSens=2\n[System\nSetReg=2\n", "1|2|1|Place a Message Here"},
      // A bad line: what was read stays, but the marker is set, so this happens once.
      {"[One]\nMouseSens=2\nBirds=0\nnot a setting\n[System]\nSetReg=3\n",
       "1|2|0|Place a Message Here"},
      // Read cleanly, with a marker that is not 2: every first-run value is written.
      {"[One]\nWaterfall1=0\nMouseSens=2\nBirds=0\n[Two]\nMessage=Gone fishing\n"
       "[System]\nSetReg=3\n",
       "1|4|1|Place a Message Here"}};
  for (const auto& [text, values] : cases) {
    SCOPED_TRACE(text);
    Fresh(text);
    IniFileStore store(path_);
    WriteFirstRunValuesIfNew(store);
    IniFileStore fresh(path_);
    EXPECT_EQ(Get(fresh, {"one/waterfall1", "one/mousesens", "one/birds", "two/message",
                          "two/volumewater", "system/setreg"}),
              values + std::string("|-911|2"));
  }
}

}  // namespace
}  // namespace larkspill
