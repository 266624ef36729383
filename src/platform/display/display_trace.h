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
  // A picture drawn at (x, y); a place other than where it was last drawn is a step.
  void Drawn(int32_t picture, int32_t x, int32_t y) {
    PictureCounts& counts = pictures_[picture];
    if (counts.draws > 0 && x != counts.x) ++counts.moves_x;
    if (counts.draws > 0 && y != counts.y) ++counts.moves_y;
    ++counts.draws, counts.x = x, counts.y = y;
  }
  void Text(const std::string& text, int32_t x, int32_t y);
  void Flipped();
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
    int32_t x = 0;  // where it was last drawn
    int32_t y = 0;
  };
  int64_t first_flip_realtime_ns_ = 0;
  double first_flip_since_start_ms_ = -1;
  int64_t first_flip_ns_ = 0;
  int64_t last_flip_ns_ = 0;
  int64_t frames_ = 0;
  double open_begin_ms_ = -1;
  double open_end_ms_ = -1;
  double last_load_ms_ = -1;
  std::map<int32_t, PictureCounts> pictures_;  // by the number of the pictures, from 1
  std::map<std::pair<int32_t, int32_t>, std::set<std::string>> texts_;  // by place
};

}  // namespace larkspill
