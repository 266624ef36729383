#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace larkspill {
namespace {

// Asks, from a fresh process, whether another instance holds the lock.
bool ChildSeesAnother(const std::filesystem::path& path) {
  pid_t child = fork();
  if (child == 0) _exit(InstanceLock(path).OtherInstanceRunning() ? 1 : 0);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

TEST(InstanceLock, TrueExactlyWhileAnotherInstanceLives) {
  char pattern[] = "/tmp/larkspill-lock-XXXXXX";
  std::filesystem::path dir = mkdtemp(pattern);
  std::filesystem::path path = dir / "larkspill.lock";

  EXPECT_FALSE(ChildSeesAnother(path));  // the file stays behind, but nobody holds it
  ASSERT_TRUE(std::filesystem::exists(path));
  {
    InstanceLock first(path);
    EXPECT_FALSE(first.OtherInstanceRunning());
    EXPECT_TRUE(ChildSeesAnother(path));
    InstanceLock second(path);
    EXPECT_TRUE(second.OtherInstanceRunning());
    EXPECT_TRUE(second.OtherInstanceRunning());  // the answer does not change
  }
  EXPECT_FALSE(ChildSeesAnother(path));  // both gone: no stale claim
  std::filesystem::remove_all(dir);
}

TEST(RuntimeDir, TheTempFallbackIsUsedOnlyWhenItIsThisUsersPrivateFolder) {
  if (geteuid() != 0) GTEST_SKIP() << "planting another user's folder needs root";
  char pattern[] = "/tmp/larkspill-runtime-XXXXXX";
  const std::filesystem::path temp = mkdtemp(pattern);
  const std::filesystem::path own = temp / ("larkspill-" + std::to_string(getuid()));
  unsetenv("XDG_RUNTIME_DIR");  // each test runs in a process of its own
  setenv("TMPDIR", temp.c_str(), 1);
  struct Case {
    const char* name;
    std::function<void()> plant;  // what another user left there first; nothing: made by us
    bool used;
  };
  const Case cases[] = {
      {"made by us", [] {}, true},
      {"another user's folder",
       [&] {
         std::filesystem::create_directory(own);
         chmod(own.c_str(), 0700);
         ASSERT_EQ(chown(own.c_str(), 65534, 65534), 0);
       },
       false},
      {"open to others",
       [&] {
         std::filesystem::create_directory(own);
         chmod(own.c_str(), 0777);
       },
       false},
      {"a link to a folder",
       [&] {
         std::filesystem::create_directory(temp / "elsewhere");
         chmod((temp / "elsewhere").c_str(), 0700);
         std::filesystem::create_directory_symlink(temp / "elsewhere", own);
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(own);
    std::filesystem::remove_all(temp / "elsewhere");
    c.plant();
    std::string why;
    const std::filesystem::path dir = RuntimeDir(&why);
    EXPECT_EQ(dir, c.used ? own : std::filesystem::path());
    EXPECT_EQ(why.empty(), c.used) << why;
  }
  // The host's folder comes first.
  setenv("XDG_RUNTIME_DIR", temp.c_str(), 1);
  EXPECT_EQ(RuntimeDir(), temp);
  std::filesystem::remove_all(temp);
}

}  // namespace
}  // namespace larkspill
