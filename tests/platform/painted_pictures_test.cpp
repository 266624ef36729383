#include "platform/system/painted_pictures.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numeric>
#include <set>
#include <tuple>
#include <vector>

namespace larkspill {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

std::string Read(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A cache home of its own, not made yet, and a fake painter that notes each run (its niceness and
// scheduling policy, its input, its arguments), writes a picture and then runs `body`.
class PaintedPicturesTest : public ::testing::Test {
 protected:
  ~PaintedPicturesTest() override { fs::remove_all(dir_); }

  void Painter(const std::string& body) {
    std::ofstream(painter_) << "#!/bin/sh\necho \"$(cut -d' ' -f19,41 /proc/$$/stat) "
                            << "$(readlink /proc/$$/fd/0) $*\" >> " << dir_ / "runs"
                            << "\necho $$ > " << dir_ / "pid"
                            << "\nfor folder; do :; done\nprintf BM > \"$folder/UK01.BMP\"\n"
                            << body << "\n";
    fs::permissions(painter_, fs::perms::owner_all);
  }
  // Paints at `scale` until the painting ends; true when it succeeded.
  bool Paint(PaintedPictures& pictures, double scale = 2, const scene_layout::SceneArea& area = {}) {
    pictures.StartPainting(scale, area);
    for (int i = 0; i < 1000 && !Entries().empty(); ++i, ::usleep(10'000)) {
      if (pictures.TakeFinished()) return true;
      if (Entries().find("painting-") == std::string::npos) break;
    }
    return false;
  }
  // The names in the root, sorted, each followed by a space.
  std::string Entries() const {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root_, ec)) {
      names.insert(entry.path().filename().string() + " ");
    }
    return std::accumulate(names.begin(), names.end(), std::string());
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
  EXPECT_EQ(fs::status(cache_).permissions(), fs::perms::owner_all);
  EXPECT_EQ(fs::status(root_).permissions(), fs::perms::owner_all);
  pictures.StartPainting(2.5);  // complete: not painted again
  EXPECT_THAT(Read(dir_ / "runs"), MatchesRegex("19 5 /dev/null --scale 2\\.5000 " +
                                                root_.string() + "/painting-\\w+\n"));
  Painter("exit 0");  // a new painter build has its pictures painted anew
  EXPECT_FALSE(PaintedPictures(cache_, painter_).Folder(2.5));
}

// Backgrounds painted for a desk of monitors are asked of the painter by their area and kept
// apart from the wide ones at the same scale, each found only by what it covers.
TEST_F(PaintedPicturesTest, ADesksBackgroundsArePaintedAndFoundByTheirArea) {
  Painter("exit 0");
  PaintedPictures pictures(cache_, painter_);
  const scene_layout::SceneArea desk{-1200, 0, 3200, 600.5};
  ASSERT_TRUE(Paint(pictures, 1.8, desk));
  EXPECT_FALSE(pictures.Folder(1.8));
  EXPECT_FALSE(pictures.Folder(1.8, {-1200, 0, 3200, 600}));
  const auto folder = pictures.Folder(1.8, desk);
  ASSERT_TRUE(folder);
  EXPECT_THAT(folder->filename().string(),
              MatchesRegex("pictures-1\\.8000-desk=-1200\\.0000,0\\.0000,3200\\.0000,"
                           "600\\.5000-[0-9a-f]{16}"));
  ASSERT_TRUE(Paint(pictures, 1.8));
  EXPECT_TRUE(pictures.Folder(1.8));
  EXPECT_THAT(Read(dir_ / "runs"),
              MatchesRegex("19 5 /dev/null --scale 1\\.8000 --area "
                           "-1200\\.0000,0\\.0000,3200\\.0000,600\\.5000 " +
                           root_.string() + "/painting-\\w+\n"
                           "19 5 /dev/null --scale 1\\.8000 " + root_.string() +
                           "/painting-\\w+\n"));
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
    EXPECT_THAT(Read(dir_ / "runs"), MatchesRegex("[^\n]+\n")) << body;
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
  EXPECT_EQ(Entries(), "painting-link painting-live planted ");
  EXPECT_TRUE(fs::exists(root_ / "planted" / "UK01.BMP"));
}

TEST_F(PaintedPicturesTest, OnlyASoundFolderIsOffered) {
  Painter("");
  // What is done to the root $R or the painted folder $F (nothing: the display refuses it); where
  // the problem is said to be (the root, the folder, or a in it), and what it is.
  std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"true", "", ""},
      {"mv $R $R.x && ln -s $R.x $R", "R", " is a link"},
      {"mv $F $F.x && ln -s $F.x $F", "F", " is a link"},
      {"mkfifo $F/a", "F/a", " is not a regular file"},
      {"ln -s /etc/passwd $F/a", "F/a", " is a link"},
      {"chmod 770 $F", "F", " may be written by other users"},
      {"chmod 702 $R", "R", " may be written by other users"},
      {"", "", "UK01.BMP is no picture"}};
  if (::geteuid() == 0) {  // only root can hand the cache, or a picture in it, to another user
    cases.insert(cases.end(), {{"chown 65534 $R", "R", " belongs to another user"},
                               {"chown 65534 $F", "F", " belongs to another user"},
                               {"touch $F/a && chown 65534 $F/a", "F/a", " belongs to another user"}});
  }
  for (const auto& [command, where, why] : cases) {
    fs::remove_all(cache_);
    PaintedPictures pictures(cache_, painter_);
    ASSERT_TRUE(Paint(pictures));
    const fs::path folder = pictures.Folder(2).value();
    ::setenv("R", root_.c_str(), 1);
    ::setenv("F", folder.c_str(), 1);
    ::testing::internal::CaptureStderr();
    if (command.empty()) pictures.Refuse(folder, why);
    ASSERT_EQ(std::system(command.c_str()), 0);
    const bool offered = pictures.Folder(2).has_value();
    pictures.StartPainting(2);
    EXPECT_EQ(pictures.Folder(2).has_value(), offered);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(offered, why.empty()) << command;
    const fs::path place = where == "R" ? root_ : where == "F" ? folder : folder / "a";
    EXPECT_THAT(said, HasSubstr((where.empty() ? "" : place.string()) + why)) << command;
    EXPECT_EQ(said.find("larkspill:"), said.rfind("larkspill:")) << said;  // said once, or never
  }
}

}  // namespace
}  // namespace larkspill
