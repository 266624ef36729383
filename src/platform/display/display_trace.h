#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

namespace larkspill {

// What the display did, for measuring it from outside: with LARKSPILL_TRACE set, printed to the
// standard error when the display closes.
class DisplayTrace {
 public:
  // A trace when LARKSPILL_TRACE asks for one, else null.
  static std::unique_ptr<DisplayTrace> FromEnvironment();

  void OpenBegins() { open_begin_ms_ = MillisecondsSinceProcessStart(); }
  void OpenEnds() { open_end_ms_ = MillisecondsSinceProcessStart(); }
  void PictureLoaded() { last_load_ms_ = MillisecondsSinceProcessStart(); }
  // A picture at (x, y) in a frame, drawn or not (nothing is drawn while every monitor is dark):
  // a place other than its last is a move, and unless it is a jump to a new place (a creature put
  // back on the scene), a stretch of its path.
  void Placed(int32_t picture, int32_t x, int32_t y) {
    PictureCounts& counts = pictures_[picture];
    if (counts.placed) {
      Moved(counts.moves_x, counts.path_x, int64_t{x} - counts.x);
      Moved(counts.moves_y, counts.path_y, int64_t{y} - counts.y);
    }
    counts.placed = true, counts.x = x, counts.y = y;
  }
  // A picture drawn at (x, y).
  void Drawn(int32_t picture, int32_t x, int32_t y) {
    Placed(picture, x, y);
    ++pictures_[picture].draws;
  }
  void Text(const std::string& text, int32_t x, int32_t y);
  void Flipped();
  // Every monitor went dark (true) or one came back.
  void Dark(bool dark);
  void Print(const std::string& renderer, int windows, int64_t composed, int64_t presented,
             int64_t parts_presented) const;

  // Milliseconds since this process started, from the kernel's record of its start (to its
  // clock tick, 10 ms on most systems); -1 when unknown.
  static double MillisecondsSinceProcessStart();

 private:
  struct PictureCounts {
    int64_t moves_x = 0;
    int64_t moves_y = 0;
    int64_t draws = 0;
    int64_t path_x = 0;  // scene pixels
    int64_t path_y = 0;
    bool placed = false;
    int32_t x = 0;  // where it was last placed
    int32_t y = 0;
  };
  // Larger changes of place than this are jumps, not flight: no creature flies so far between two
  // frames (a second apart at most, while every monitor is dark), and one put back on the scene
  // jumps hundreds of pixels.
  static constexpr int64_t kLongestStep = 100;
  static void Moved(int64_t& moves, int64_t& path, int64_t by) {
    if (by == 0) return;
    ++moves;
    if (by <= kLongestStep && by >= -kLongestStep) path += by < 0 ? -by : by;
  }
  int64_t first_flip_realtime_ns_ = 0;
  double first_flip_since_start_ms_ = -1;
  int64_t first_flip_ns_ = 0;
  int64_t last_flip_ns_ = 0;
  int64_t frames_ = 0;
  int64_t dark_since_ns_ = 0;  // 0: not dark
  int64_t dark_ns_ = 0;        // the dark stretches that ended
  int64_t dark_stretches_ = 0;
  int64_t frames_while_dark_ = 0;
  double open_begin_ms_ = -1;
  double open_end_ms_ = -1;
  double last_load_ms_ = -1;
  std::map<int32_t, PictureCounts> pictures_;  // by the number of the pictures, from 1
  std::map<std::pair<int32_t, int32_t>, std::set<std::string>> texts_;  // by place
};

}  // namespace larkspill
