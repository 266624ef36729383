#pragma once

#include <array>
#include <cstdint>

// The scene's layout: which files each picture shows and where it starts on the 800 x 600 scene.
// The scene, the asset generator that paints the files, the benchmarks and the tests all read
// it from here, so a picture's file and its place on the background cannot drift apart.
namespace larkspill::scene_layout {

inline constexpr int32_t kWidth = 800;
inline constexpr int32_t kHeight = 600;
// The backgrounds reach beyond the scene on both sides, so a screen wider than 4:3 shows more
// forest: kWideWidth wide (a little more than 21:9 at the scene's height), the scene's left edge
// kWideMargin from theirs. Every place below is on the scene, not on the wide picture.
inline constexpr int32_t kWideMargin = 320;
inline constexpr int32_t kWideWidth = kWidth + 2 * kWideMargin;

// The part of the scene, in scene pixels, that the backgrounds are painted to cover: the wide
// backgrounds, or the bounding box of monitors one scene is spread across (never less than
// the wide backgrounds). Scene x 0 lies `-left` scene pixels right of the background's left edge.
struct SceneArea {
  double left = -kWideMargin;
  double top = 0;
  double width = kWideWidth;
  double height = kHeight;
  bool operator==(const SceneArea&) const = default;
};

// A picture's starting place on the scene, its top-left corner.
struct Place {
  int32_t x = 0;
  int32_t y = 0;
};

// The creatures' animation frames, in the order they are shown.
inline constexpr std::array<const char*, 6> kFirstKindButterfly = {
    "1Butter1.BMP", "1Butter2.BMP", "1Butter3.BMP", "1Butter4.BMP", "1Butter5.BMP", "1Butter6.BMP"};
inline constexpr std::array<const char*, 6> kSecondKindButterfly = {
    "2Butter1.BMP", "2Butter2.BMP", "2Butter3.BMP", "2Butter4.BMP", "2Butter5.BMP", "2Butter6.BMP"};
inline constexpr std::array<const char*, 8> kFlock = {"Flock1.BMP", "Flock2.BMP", "Flock3.BMP",
                                                      "Flock4.BMP", "Flock5.BMP", "Flock6.BMP",
                                                      "Flock7.BMP", "Flock8.BMP"};
inline constexpr std::array<const char*, 8> kBird = {"Bird1.BMP", "Bird2.BMP", "Bird3.BMP",
                                                     "Bird4.BMP", "Bird5.BMP", "Bird6.BMP",
                                                     "Bird7.BMP", "Bird8.BMP"};

// Where the creatures start: five butterflies (three of the first kind, two of the second), the
// flock, and the two single birds.
inline constexpr std::array<Place, 5> kButterflyStarts = {
    {{200, 400}, {600, 500}, {750, 100}, {700, 550}, {100, 550}}};
inline constexpr Place kFlockStart = {-118, 100};
inline constexpr std::array<Place, 2> kBirdStarts = {{{-75, 300}, {-75, 450}}};

// A waterfall's animated water: its frames, a rectangle cut from the painted scene at its
// place, and whether magenta in them is left undrawn.
struct Water {
  std::array<const char*, 3> files;
  Place place;
  int32_t width = 0;
  int32_t height = 0;
  bool keyed = false;
};

// A waterfall scene: its still background covering the whole scene, and the water over it.
inline constexpr const char* kBackground1 = "UK-bg01.bmp";
inline constexpr Water kWater1 = {{"UK01.BMP", "UK02.BMP", "UK03.BMP"}, {279, 72}, 240, 440, false};
inline constexpr const char* kBackground2 = "UK-02bgb.bmp";
inline constexpr Water kWater2 = {
    {"UK2-01.BMP", "UK2-02.BMP", "UK2-03.BMP"}, {319, 110}, 200, 270, true};
inline constexpr Water kWater2Small = {
    {"UK2-sm01.BMP", "UK2-sm02.BMP", "UK2-sm03.BMP"}, {191, 354}, 100, 150, true};

}  // namespace larkspill::scene_layout
