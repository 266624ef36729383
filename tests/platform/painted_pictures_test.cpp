#include "platform/system/painted_pictures.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <tuple>

namespace larkspill {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

std::string Read(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A cache home of its own, not made yet, and a fake painter that notes each run (its niceness,
// its input, its arguments), writes a picture and then runs `body`.
class PaintedPicturesTest : public ::testing::Test {
 protected:
  ~PaintedPicturesTest() override { fs::remove_all(dir_); }

  void Painter(const std::string& body) {
    std::ofstream(painter_) << "#!/bin/sh\necho \"$(nice) $(readlink /proc/self/fd/0) $*\" >> "
                            << dir_ / "runs"
                            << "\necho $$ > " << dir_ / "pid"
                            << "\nprintf BM > \"$3/UK01.BMP\"\n"
                            << body << "\n";
    fs::permissions(painter_, fs::perms::owner_all);
  }
  // Paints at `scale` until the painting ends; true when it succeeded.
  bool Paint(PaintedPictures& pictures, double scale = 2) {
    pictures.StartPainting(scale);
    for (int i = 0; i < 1000 && !Entries().empty(); ++i, ::usleep(10'000)) {
      if (pictures.TakeFinished()) return true;
      if (Entries().find("painting-") == std::string::npos) break;
    }
    return false;
  }
  // The names in the root, each followed by a space.
  std::string Entries() const {
    std::string names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root_, ec)) {
      names += entry.path().filename().string() + " ";
    }
    return names;
  }
  size_t Runs() const {
    const std::string runs = Read(dir_ / "runs");
    return std::count(runs.begin(), runs.end(), '\n');
  }

  const fs::path dir_ = mkdtemp(std::string("/tmp/larkspill-painted-XXXXXX").data());
  const fs::path cache_ = dir_ / "cache", root_ = cache_ / "larkspill", painter_ = dir_ / "painter";
};

TEST_F(PaintedPicturesTest, TheFolderAppearsOnlyOnceThePainterSucceeded) {
  Painter("while [ ! -e " + (dir_ / "go").string() + " ]; do sleep 0.01; done");
  PaintedPictures pictures(cache_, painter_);
  pictures.StartPainting(2.5);
  for (int i = 0; i < 1000 && Read(dir_ / "pid").empty(); ++i) ::usleep(10'000);
  EXPECT_FALSE(pictures.TakeFinished());
  EXPECT_FALSE(pictures.Folder(2.5));
  EXPECT_THAT(Entries(), MatchesRegex("painting-[^ ]+ "));
  std::ofstream(dir_ / "go").flush();
  pictures.StartPainting(2.5);  // one painting at a time
  ASSERT_TRUE(Paint(pictures, 2.5));
  EXPECT_FALSE(pictures.TakeFinished());  // said once
  const auto folder = pictures.Folder(2.5);
  ASSERT_TRUE(folder);
  EXPECT_THAT(folder->filename().string(), MatchesRegex("pictures-2\\.5000-[0-9a-f]{16}"));
  EXPECT_EQ(Entries(), folder->filename().string() + " ");
  EXPECT_EQ(Read(*folder / "UK01.BMP"), "BM");
  EXPECT_THAT(Read(dir_ / "runs"),
              MatchesRegex("19 /dev/null --scale 2\\.5000 " + root_.string() + "/painting-.*\n"));
  EXPECT_EQ(fs::status(cache_).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(root_).permissions(), fs::perms::owner_all);
  pictures.StartPainting(2.5);  // complete: not painted again
  EXPECT_EQ(Runs(), 1u);
  Painter("exit 0");  // a new painter build has its pictures painted anew
  EXPECT_FALSE(PaintedPictures(cache_, painter_).Folder(2.5));
}

TEST_F(PaintedPicturesTest, AFailedPaintingLeavesNothingAndIsNotTriedAgain) {
  const std::pair<std::string, std::string> cases[] = {
      {"exit 1", "painting the pictures at scale 2.0000 failed: status 1\n"},
      {"kill -9 $$", "painting the pictures at scale 2.0000 failed: killed by signal 9\n"}};
  for (const auto& [body, said] : cases) {
    fs::remove(dir_ / "runs");
    Painter(body);
    PaintedPictures pictures(cache_, painter_);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(Paint(pictures)) << body;
    pictures.StartPainting(2);
    pictures.StartPainting(3);
    EXPECT_FALSE(pictures.TakeFinished()) << body;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "larkspill: " + said);
    EXPECT_EQ(Entries(), "") << body;
    EXPECT_EQ(Runs(), 1u) << body;
  }
}

TEST_F(PaintedPicturesTest, APaintingCutShortLeavesNoFolder) {
  Painter("exec sleep 30");
  {
    PaintedPictures pictures(cache_, painter_);
    pictures.StartPainting(2);
    for (int i = 0; i < 1000 && Read(dir_ / "pid").empty(); ++i) ::usleep(10'000);
  }
  EXPECT_EQ(Entries(), "");
  EXPECT_EQ(::kill(std::stoi(Read(dir_ / "pid")), 0), -1);  // killed and reaped
  // A painting an earlier run left is removed once the cache is opened; what is not a painting
  // folder of ours stays, and so does one a live painter holds.
  for (const char* name : {"painting-old/", "painting-live/", "planted/"}) {
    fs::create_directories(root_ / name);
    std::ofstream(root_ / name / "UK01.BMP").flush();
  }
  fs::create_directory_symlink(root_ / "planted", root_ / "painting-link");
  const Fd live(::open((root_ / "painting-live").c_str(), O_RDONLY | O_DIRECTORY));
  ASSERT_EQ(::flock(live.get(), LOCK_EX), 0);
  EXPECT_FALSE(PaintedPictures(cache_, painter_).Folder(2));
  EXPECT_EQ(Entries().size(), std::string("painting-live painting-link planted ").size());
  EXPECT_TRUE(fs::exists(root_ / "planted" / "UK01.BMP"));
}

TEST_F(PaintedPicturesTest, OnlyASoundFolderIsOffered) {
  Painter("");
  using Change = std::function<void(PaintedPictures&, const fs::path&)>;
  const fs::path elsewhere = dir_ / "elsewhere";
  // What is done to the painted folder; where the problem is, and what it is.
  const std::tuple<Change, std::string, std::string> cases[] = {
      {[](PaintedPictures&, const fs::path&) {}, "", ""},
      {[&](PaintedPictures&, const fs::path&) {
         fs::rename(root_, elsewhere);
         fs::create_directory_symlink(elsewhere, root_);
       },
       "", " is a link"},
      {[&](PaintedPictures&, const fs::path& folder) {
         fs::rename(folder, elsewhere);
         fs::create_directory_symlink(elsewhere, folder);
       },
       "/", " is a link"},
      {[](PaintedPictures&, const fs::path& folder) { ::mkfifo((folder / "a").c_str(), 0600); },
       "/a", " is not a regular file"},
      {[](PaintedPictures&, const fs::path& f) { fs::create_symlink("/etc/passwd", f / "a"); },
       "/a", " is a link"},
      {[](PaintedPictures&, const fs::path& folder) { ::chmod(folder.c_str(), 0770); }, "/",
       " may be written by other users"},
      {[&](PaintedPictures&, const fs::path&) { ::chmod(root_.c_str(), 0702); }, "",
       " may be written by other users"},
      {[](PaintedPictures& pictures, const fs::path& folder) {
         pictures.Refuse(folder, "UK01.BMP is no picture");
       },
       "", "UK01.BMP is no picture"}};
  for (const auto& [change, where, why] : cases) {
    fs::remove_all(elsewhere);
    fs::remove_all(cache_);
    PaintedPictures pictures(cache_, painter_);
    ASSERT_TRUE(Paint(pictures));
    const fs::path folder = *pictures.Folder(2);
    ::testing::internal::CaptureStderr();
    change(pictures, folder);
    const bool offered = pictures.Folder(2).has_value();
    pictures.StartPainting(2);
    EXPECT_EQ(pictures.Folder(2).has_value(), offered);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(offered, why.empty()) << why;
    if (why.empty()) continue;
    const fs::path place = where.empty() ? root_ : where == "/" ? folder : folder / "a";
    EXPECT_THAT(said, HasSubstr((why[0] == ' ' ? place.string() : "") + why)) << why;
    EXPECT_EQ(said.find("larkspill:"), said.rfind("larkspill:")) << said;
  }
}

}  // namespace
}  // namespace larkspill
