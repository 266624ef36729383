#include "platform/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace
}  // namespace larkspill
