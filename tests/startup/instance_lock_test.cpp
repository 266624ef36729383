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
    EXPECT_TRUE(InstanceLock(path).OtherInstanceRunning());
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
  const std::filesystem::path elsewhere = temp / "elsewhere";
  // What another user left there first: nothing (made by us, the only case used), their own
  // folder, a folder open to others, a link to a private folder.
  const std::function<void()> plants[] = {
      [] {},
      [&] {
        std::filesystem::create_directory(own), chmod(own.c_str(), 0700);
        ASSERT_EQ(chown(own.c_str(), 65534, 65534), 0);
      },
      [&] { std::filesystem::create_directory(own), chmod(own.c_str(), 0777); },
      [&] {
        std::filesystem::create_directory(elsewhere), chmod(elsewhere.c_str(), 0700);
        std::filesystem::create_directory_symlink(elsewhere, own);
      }};
  for (const auto& plant : plants) {
    const bool used = &plant == plants;
    std::filesystem::remove_all(own);
    std::filesystem::remove_all(elsewhere);
    plant();
    std::string why;
    EXPECT_EQ(RuntimeDir(&why), used ? own : std::filesystem::path()) << &plant - plants;
    EXPECT_EQ(why.empty(), used) << why;
  }
  // The host's folder comes first.
  setenv("XDG_RUNTIME_DIR", temp.c_str(), 1);
  EXPECT_EQ(RuntimeDir(), temp);
  std::filesystem::remove_all(temp);
}

}  // namespace
}  // namespace larkspill
