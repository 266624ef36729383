#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fakes/fake_window_system.h"
#include "platform/x11/power_saving_record.h"
#include "platform/x11/x11_monitor_power.h"

namespace larkspill {
namespace {

namespace fs = std::filesystem;

// A display's DPMS as the server keeps it, in memory shared with the test's child processes, so
// that what a killed saver did stays behind as it would on the server.
struct DpmsServer {
  bool capable = true;
  bool enabled = true;
  char requests[512] = {};  // "off on force ", as they came
};

class RecordingDpms : public Dpms {
 public:
  explicit RecordingDpms(DpmsServer& server) : server_(server) {}
  bool Capable() override { return server_.capable; }
  bool Enabled() override { return server_.enabled; }
  void SetEnabled(bool enabled) override {
    server_.enabled = enabled;
    Log(enabled ? "on " : "off ");
  }
  void ForceOn() override { Log("force "); }

 private:
  void Log(const char* request) {
    std::strncat(server_.requests, request,
                 sizeof server_.requests - std::strlen(server_.requests) - 1);
  }
  DpmsServer& server_;
};

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class MonitorPowerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("larkspill-power-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    note_ = dir_ / "larkspill-dpms-:5.lock";
    void* shared = ::mmap(nullptr, sizeof(DpmsServer), PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    server_ = new (shared) DpmsServer;
  }
  void TearDown() override {
    ::munmap(server_, sizeof(DpmsServer));
    fs::remove_all(dir_);
  }
  // A start of the dialog: puts back what a killed saver left; the requests it made.
  std::string DialogStart() {
    const std::string before = server_->requests;
    RecordingDpms dpms(*server_);
    PutBackPowerSavingLeftOff(note_, dpms);
    return std::string(server_->requests).substr(before.size());
  }

  fs::path dir_, note_;
  DpmsServer* server_ = nullptr;
  testing::FakeWindowSystem windows_;
};

TEST_F(MonitorPowerTest, TimeOutsHeldOffForTheRunComeBackAndOnlyThoseTheSaverSwitchedOff) {
  struct Case {
    const char* name;
    bool capable, enabled;  // the display as the saver finds it
    bool allow;             // PwrSave 0: the monitor may power down
    const char* requests;   // asked of the display, run and end
    bool enabled_after;
  };
  for (const Case& c : {
           Case{"kept on", true, true, false, "off on ", true},
           Case{"switched off by the user", true, false, false, "", false},
           Case{"power saving allowed", true, true, true, "", true},
           Case{"no DPMS", false, true, false, "", true},
       }) {
    SCOPED_TRACE(c.name);
    *server_ = DpmsServer{c.capable, c.enabled};
    {
      RecordingDpms dpms(*server_);
      X11MonitorPower power(windows_, dpms, note_);
      power.AllowPowerSaving(c.allow);
      power.AllowPowerSaving(c.allow);  // asked again, as each start of the watch may
      EXPECT_EQ(server_->enabled, c.capable && !c.allow ? false : c.enabled);
      // While the saver runs, a start of the dialog takes nothing back from it.
      EXPECT_EQ(DialogStart(), "");
    }
    EXPECT_EQ(server_->requests, std::string(c.requests));
    EXPECT_EQ(server_->enabled, c.enabled_after);
    EXPECT_EQ(FileText(note_), "");  // an end in order leaves nothing to put back
  }
}

TEST_F(MonitorPowerTest, AKilledSaversTimeOutsComeBackAtTheNextStartOnce) {
  for (const bool next_is_saver : {true, false}) {
    SCOPED_TRACE(next_is_saver ? "next start: the saver" : "next start: the dialog");
    *server_ = DpmsServer{};
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t saver = ::fork();
    if (saver == 0) {
      RecordingDpms dpms(*server_);
      X11MonitorPower power(windows_, dpms, note_);
      power.AllowPowerSaving(false);
      (void)!::write(ready[1], "r", 1);
      for (;;) ::pause();
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]), ::close(ready[1]);
    EXPECT_EQ(DialogStart(), "");  // it still runs: its time-outs stay off
    ::kill(saver, SIGKILL);
    ::waitpid(saver, nullptr, 0);
    EXPECT_FALSE(server_->enabled);
    if (next_is_saver) {
      RecordingDpms dpms(*server_);
      X11MonitorPower power(windows_, dpms, note_);
      EXPECT_TRUE(server_->enabled);
      power.AllowPowerSaving(false);  // and it holds them off for its own run as usual
      EXPECT_FALSE(server_->enabled);
    } else {
      EXPECT_EQ(DialogStart(), "on ");
    }
    EXPECT_TRUE(server_->enabled);
    // Put back once: the user who switches them off afterwards keeps them off.
    server_->enabled = false;
    EXPECT_EQ(DialogStart(), "");
    EXPECT_FALSE(server_->enabled);
  }
}

TEST_F(MonitorPowerTest, ANoteThatIsALinkIsNeitherWrittenThroughNorBelieved) {
  const fs::path elsewhere = dir_ / "elsewhere";
  std::ofstream(elsewhere) << "DPMS time-outs held off\n";
  fs::create_symlink(elsewhere, note_);
  server_->enabled = false;  // as a user may keep them
  EXPECT_EQ(DialogStart(), "");
  EXPECT_FALSE(server_->enabled);
  *server_ = DpmsServer{};
  {
    RecordingDpms dpms(*server_);
    X11MonitorPower power(windows_, dpms, note_);
    power.AllowPowerSaving(false);
  }
  EXPECT_TRUE(server_->enabled);  // the run itself goes on without its note
  EXPECT_EQ(FileText(elsewhere), "DPMS time-outs held off\n");
  EXPECT_TRUE(fs::is_symlink(note_));
}

TEST(PowerSavingRecordPath, OneNoteADisplayInTheRuntimeFolder) {
  const char* had = std::getenv("DISPLAY");
  const std::string kept = had != nullptr ? had : "";
  setenv("DISPLAY", "host/x:1.0", 1);
  EXPECT_EQ(PowerSavingRecordPath("/run/user/7"),
            fs::path("/run/user/7/larkspill-dpms-host_x:1.0.lock"));
  EXPECT_EQ(PowerSavingRecordPath(""), fs::path());
  unsetenv("DISPLAY");
  EXPECT_EQ(PowerSavingRecordPath("/run/user/7"), fs::path());
  if (had != nullptr) setenv("DISPLAY", kept.c_str(), 1);
}

}  // namespace
}  // namespace larkspill
