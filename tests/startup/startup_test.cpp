// What the command line starts, the frame-rate overlay, the instance lock and the runtime folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <ranges>
#include <tuple>

#include "fakes/fake_clock.h"
#include "fakes/fake_window_system.h"
#include "fakes/memory_store.h"
#include "os/lock_file.h"
#include "os/paths.h"
#include "platform/system/instance_lock.h"
#include "scene/exit_status.h"
#include "startup/command_line.h"
#include "startup/dispatch.h"
#include "startup/fps_overlay.h"
#include "startup/overridden_store.h"

namespace larkspill {
namespace {

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> args;
  for (auto arg : std::views::split(line, ' ')) args.emplace_back(arg.begin(), arg.end());
  return args;
}

TEST(CommandLine, SwitchPicksTheMode) {
  const std::pair<std::vector<std::string>, Mode> cases[] = {
      {{"/s"}, Mode::Saver},         {{"/S"}, Mode::Saver},         {{"  /S  "}, Mode::Saver},
      {{"/save", "now"}, Mode::Saver}, {{"/s:123"}, Mode::Saver},   {{}, Mode::SaverNoCheck},
      {{""}, Mode::SaverNoCheck},    {{"   "}, Mode::SaverNoCheck}, {{"/c"}, Mode::Settings},
      {{"/C:123"}, Mode::Settings},  {{"/c", "4567"}, Mode::Settings}, {{"/a"}, Mode::Password},
      {{"/p", "123"}, Mode::Preview}, {{"-s"}, Mode::None},         {{"s"}, Mode::None},
      {{"/x"}, Mode::None},          {{"/"}, Mode::None},           {{"--help"}, Mode::Help},
      {{"-root", "-help"}, Mode::Help}, {{"-fps"}, Mode::None}};  // no host, no saver
  for (const auto& [args, mode] : cases)
    EXPECT_EQ(ParseStartup(args, nullptr).mode, mode) << (args.empty() ? "" : args[0]);
  EXPECT_EQ(NormalizeCommandLine("  /P 0X1A  "), "/p 0x1a");
}

TEST(CommandLine, PreviewTakesTheLongestNumericTail) {
  const std::tuple<const char*, bool, int32_t> cases[] = {  // line, has a number, the handle
      {"/p 1234", true, 1234}, {"/p1234", true, 1234}, {"/p   1234  ", true, 1234},
      {"/p:1234", true, 1234}, {"/p -77", true, -77},  {"/p 2147483647", true, 2147483647},
      {"/p", false, 0},        {"/p abc", false, 0},   {"/p 99999999999", false, 0},
      {"/p 12.6", true, 13}};
  for (const auto& [line, has_number, handle] : cases) {
    StartupOptions o = ParseStartup(Split(line), nullptr);
    EXPECT_EQ(std::tuple(o.mode, o.preview_has_number, o.PreviewParent),
              std::tuple(Mode::Preview, has_number, handle)) << line;
  }
}

TEST(CommandLine, HostsNameTheirWindow) {
  // Arguments, XSCREENSAVER_WINDOW, the window named (0: an error, or the root with -root alone).
  const std::tuple<std::vector<std::string>, const char*, uint64_t> cases[] = {
      {{"-root"}, nullptr, 0},           {{"--window-id", "0x2a00007"}, nullptr, 0x2a00007},
      {{"-window-id", "12345"}, nullptr, 12345}, {{"--window-id=0X10"}, nullptr, 16},
      {{}, "0x400001", 0x400001},        {{"-root"}, "4194305", 4194305},
      {{"--window-id"}, nullptr, 0},     {{"--window-id", "zz"}, nullptr, 0},
      {{"--window-id", "0"}, nullptr, 0}, {{"--window-id", "0x"}, nullptr, 0},
      {{"--window-id", "0x100000000"}, nullptr, 0}, {{}, "junk", 0}};
  for (const auto& [args, environment, window] : cases) {
    StartupOptions o = ParseStartup(args, environment);
    SCOPED_TRACE((args.empty() ? "" : args.back()) + " " + (environment ? environment : ""));
    EXPECT_EQ(o.mode, Mode::Host);
    const bool root = args == std::vector<std::string>{"-root"} && environment == nullptr;
    EXPECT_EQ(o.error.empty(), window != 0 || root);
    EXPECT_EQ(o.error.empty() ? o.host_window : 0, window);
    EXPECT_TRUE(o.host_root || !root);
  }
  EXPECT_EQ(ParseStartup({"/c"}, "0x400001").mode, Mode::Settings);  // the dialog stays a dialog
}

TEST(CommandLine, HostOptionsOverrideSettingsForOneRun) {
  // What waterfall1, waterfall2, Clock, SoundWater, SoundEagle, SpanMonitors read ("-": as
  // stored); n: no sound, f: frame rate shown, w: a warning. Unknown options are passed over, as
  // the hosts' savers do.
  const std::pair<std::string, std::string> cases[] = {
      {"-root", "- - - - - -"},                   {"-root -waterfall 2", "0 1 - - - -"},
      {"-root --waterfall=1", "1 0 - - - -"},     {"-root -waterfall BOTH", "1 1 - - - -"},
      {"-root -waterfall 3", "- - - - - -w"},     {"-root -waterfall", "- - - - - -w"},
      {"-root -no-clock --clock", "- - 1 - - -"}, {"-root -no-sound", "- - - 0 0 -n"},
      {"-root --sound -fps", "- - - 1 1 -f"},     {"-waterfall -root -fps", "- - - - - -fw"},
      {"-root -span", "- - - - - 1"},             {"--span -window-id 0x400001", "- - - - - 1"},
      {"-root -geometry 1x1 -fps --visual default", "- - - - - -f"}};
  const std::pair<const char*, const char*> stored[] = {
      {"one", "waterfall1"}, {"one", "waterfall2"}, {"one", "Clock"},
      {"two", "SoundWater"}, {"two", "SoundEagle"}, {"Startup", "SpanMonitors"}};
  const std::pair<const char*, const char*> read[] = {
      {"One", "Waterfall1"}, {"one", "WATERFALL2"}, {"ONE", "clock"},
      {"Two", "soundwater"}, {"two", "SoundEagle"}, {"startup", "spanmonitors"}};
  for (const auto& [line, expected] : cases) {
    StartupOptions o = ParseStartup(Split(line), "0x400001");
    SCOPED_TRACE(line);
    EXPECT_EQ(o.mode, Mode::Host);
    MemoryStore file;
    for (const auto& [section, key] : stored) file.SaveSetting(kAppName, section, key, "-");
    file.ClearWrites();
    OverriddenStore store(file, o.overrides);
    std::string reads;
    for (const auto& [section, key] : read)
      reads += (reads.empty() ? "" : " ") + store.GetSetting(kAppName, section, key, "");
    reads += std::string(o.no_sound, 'n') + std::string(o.show_fps, 'f') +
             std::string(!o.warnings.empty(), 'w');
    EXPECT_EQ(reads, expected);
    // A write goes to the store as written, never as the option says.
    store.SaveSetting(kAppName, "One", "Waterfall1", "1");
    ASSERT_EQ(file.Writes().size(), 1u);
    EXPECT_EQ(file.GetSetting(kAppName, "one", "waterfall1", ""), "1");
  }
}

TEST(FpsOverlay, AddsTheFramesOfTheLastSecondOverEachFrame) {
  testing::FakeClock clock;
  FpsOverlay fps(clock);
  SceneFrame frame;
  auto frames = [&](int n, uint32_t ms) {
    while (n-- > 0) frame.drawings.clear(), fps.AddTo(frame), clock.Advance(ms);
  };
  frames(25, 40);  // the first second: nothing measured yet
  EXPECT_TRUE(frame.drawings.empty());
  frame.Fill(kBlack);  // the scene's drawings come first: the figure goes over them
  fps.AddTo(frame);
  EXPECT_EQ(frame.drawings,
            (std::vector<SceneDrawing>{FillDrawing{kBlack},
                                       TextDrawing{"FPS: 25.0", "Liberation Mono", 14, 0xFFFFFF,
                                                   4, 578}}));
  clock.Advance(20);
  frames(60, 20);  // faster: 50 frames a second
  EXPECT_EQ(fps.Text(), "FPS: 50.0");
}

TEST(Dispatch, SingleInstanceRuleAndBadHostArguments) {
  std::string ran;
  auto run = [&ran](const char* mode) { return [&ran, mode] { return ran = mode, kExitOk; }; };
  const ModeRunners runners{run("saver"), run("preview"), run("settings"), run("password"),
                            run("host")};
  // The command line, another instance runs, the display settings are open, what runs, status.
  const std::tuple<std::string, bool, bool, std::string, int> cases[] = {
      {"/s", false, false, "saver", kExitOk},
      {"/s", true, false, "", kExitOk},      // refused: another saver runs
      {"/s", true, true, "saver", kExitOk},  // the display settings' preview is the other instance
      {"", true, false, "saver", kExitOk},   // an empty command line is never refused
      {"/c", true, false, "settings", kExitOk},  {"/p 5", true, false, "preview", kExitOk},
      {"/a", true, false, "password", kExitOk},  {"/x", false, false, "", kExitOk},
      {"-root", true, false, "host", kExitOk},  // hosts start one per monitor
      {"--window-id nope", false, false, "", kExitUsage}};
  ::testing::internal::CaptureStderr();
  for (const auto& [line, other_instance, display_properties, runs, status] : cases) {
    testing::FakeWindowSystem windows;
    windows.previous = other_instance;
    if (display_properties) windows.titles = {"Display Properties"};
    ran.clear();
    EXPECT_EQ(Main(ParseStartup(Split(line), nullptr), windows, runners), status) << line;
    EXPECT_EQ(ran, runs) << line;
    // Every instance that does anything joins the instance lock.
    EXPECT_EQ(windows.Count("PreviousInstanceRunning"), status == kExitOk && line != "/x") << line;
  }
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("\"nope\""), std::string::npos);
}

bool ChildSeesAnother(const std::filesystem::path& path) {
  pid_t child = fork();
  if (child == 0) _exit(InstanceLock(path).OtherInstanceRunning() ? 1 : 0);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

TEST(InstanceLock, TrueExactlyWhileAnotherInstanceLives) {
  char pattern[] = "/tmp/larkspill-lock-XXXXXX";
  const std::filesystem::path dir = mkdtemp(pattern), path = dir / "larkspill.lock";
  EXPECT_FALSE(ChildSeesAnother(path));  // the file stays behind, but nobody holds it
  ASSERT_TRUE(std::filesystem::exists(path));
  {
    InstanceLock first(path);
    EXPECT_FALSE(first.OtherInstanceRunning());
    EXPECT_TRUE(ChildSeesAnother(path));
    EXPECT_TRUE(InstanceLock(path).OtherInstanceRunning());
  }
  EXPECT_FALSE(ChildSeesAnother(path));  // both gone: no stale claim
  if (geteuid() == 0) {  // another user's lock file, even held, is no instance of ours
    InstanceLock held(path);
    held.OtherInstanceRunning();
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    EXPECT_FALSE(ChildSeesAnother(path));
  }
  std::filesystem::remove_all(dir);
}

TEST(LockFile, OnlyARegularFileIsOpenedNeverThroughALinkNorWaitedOnAsAFifo) {
  char pattern[] = "/tmp/larkspill-lockfile-XXXXXX";
  const std::filesystem::path dir = mkdtemp(pattern), path = dir / "x.lock";
  // What is in the lock's place: nothing (made 0600), a link, a FIFO, a folder.
  const std::tuple<std::function<void()>, bool, bool> cases[] = {
      {[] {}, true, false},
      {[&] { symlink((dir / "elsewhere").c_str(), path.c_str()); }, false, false},
      {[&] { mkfifo(path.c_str(), 0600); }, false, true},
      {[&] { mkdir(path.c_str(), 0700); }, false, false}};
  for (const auto& [plant, opened, not_a_file] : cases) {
    std::filesystem::remove_all(path), plant();
    const LockFile lock = OpenLockFile(path);
    EXPECT_EQ(lock.fd.valid(), opened) << lock.why;
    EXPECT_EQ(lock.not_a_file, not_a_file) << lock.why;
    EXPECT_EQ(lock.why.empty(), opened) << lock.why;
    if (!opened) continue;
    struct stat st {};
    EXPECT_TRUE(fstat(lock.fd.get(), &st) == 0 && (st.st_mode & 0777) == 0600);
    EXPECT_TRUE(OwnedByThisUser(lock.fd));
    if (geteuid() == 0) {  // another user's file is opened, but not trusted
      ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
      EXPECT_FALSE(OwnedByThisUser(lock.fd));
    }
  }
  std::filesystem::remove_all(dir);
}

TEST(RuntimeDir, TheTempFallbackIsUsedOnlyWhenItIsThisUsersPrivateFolder) {
  if (geteuid() != 0) GTEST_SKIP() << "planting another user's folder needs root";
  char pattern[] = "/tmp/larkspill-runtime-XXXXXX";
  const std::filesystem::path temp = mkdtemp(pattern), elsewhere = temp / "elsewhere",
                              own = temp / ("larkspill-" + std::to_string(getuid()));
  unsetenv("XDG_RUNTIME_DIR");  // each test runs in a process of its own
  setenv("TMPDIR", temp.c_str(), 1);
  // Left there first: nothing (we make it), another user's folder, one open to all, a link.
  const std::function<void()> plants[] = {
      [] {},
      [&] { mkdir(own.c_str(), 0700); ASSERT_EQ(chown(own.c_str(), 65534, 65534), 0); },
      [&] { mkdir(own.c_str(), 0700), chmod(own.c_str(), 0777); },
      [&] {
        mkdir(elsewhere.c_str(), 0700), std::filesystem::create_directory_symlink(elsewhere, own);
      }};
  for (const auto& plant : plants) {
    const bool used = &plant == plants;
    std::filesystem::remove_all(own), std::filesystem::remove_all(elsewhere), plant();
    std::string why;
    EXPECT_EQ(RuntimeDir(&why), used ? own : std::filesystem::path()) << &plant - plants;
    EXPECT_EQ(why.empty(), used) << why;
  }
  // The host's folder comes first, when it too is this user's and nobody else may write there.
  std::filesystem::remove_all(own);
  const std::filesystem::path shared = temp / "shared", theirs = temp / "theirs", link = temp / "l";
  mkdir(shared.c_str(), 0), chmod(shared.c_str(), 01777), mkdir(theirs.c_str(), 0700);
  ASSERT_EQ(chown(theirs.c_str(), 65534, 65534) | symlink(temp.c_str(), link.c_str()), 0);
  for (const std::string& host :
       {shared.string(), theirs.string(), link.string() + "/", temp.string()}) {
    setenv("XDG_RUNTIME_DIR", host.c_str(), 1);
    std::string why;
    EXPECT_EQ(RuntimeDir(&why), host == temp ? temp : own) << host;
    EXPECT_EQ(why.empty(), host == temp) << why;
  }
  std::filesystem::remove_all(temp);
}

}  // namespace
}  // namespace larkspill
