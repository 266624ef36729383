#include "platform/display/display_trace.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

namespace larkspill {
namespace {

// Nanoseconds on `clock_id`.
int64_t NowNs(clockid_t clock_id) {
  timespec now{};
  clock_gettime(clock_id, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace

std::unique_ptr<DisplayTrace> DisplayTrace::FromEnvironment() {
  const char* trace = std::getenv("LARKSPILL_TRACE");
  if (trace == nullptr || *trace == '\0' || *trace == '0') return nullptr;
  return std::make_unique<DisplayTrace>();
}

double DisplayTrace::MillisecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  size_t after_name = text.rfind(')');
  if (after_name == std::string::npos) return -1;
  // Field 22 (start time in clock ticks since boot) is the 20th after the name.
  const char* p = text.c_str() + after_name + 1;
  unsigned long long start_ticks = 0;
  for (int field = 0; field < 20 && *p != '\0'; ++field) {
    while (*p == ' ') ++p;
    if (field == 19) start_ticks = std::strtoull(p, nullptr, 10);
    while (*p != ' ' && *p != '\0') ++p;
  }
  long ticks_per_second = sysconf(_SC_CLK_TCK);
  if (start_ticks == 0 || ticks_per_second <= 0) return -1;
  double start_ms = 1000.0 * static_cast<double>(start_ticks) / ticks_per_second;
  return static_cast<double>(NowNs(CLOCK_BOOTTIME)) / 1e6 - start_ms;
}

void DisplayTrace::Text(const std::string& text, int32_t x, int32_t y) {
  auto& seen = texts_[{x, y}];
  if (seen.size() < 100000) seen.insert(text);
}

void DisplayTrace::Flipped() {
  int64_t now = NowNs(CLOCK_MONOTONIC);
  if (frames_++ == 0) {
    first_flip_ns_ = now;
    first_flip_realtime_ns_ = NowNs(CLOCK_REALTIME);
    first_flip_since_start_ms_ = MillisecondsSinceProcessStart();
  }
  last_flip_ns_ = now;
  if (dark_since_ns_ != 0) ++frames_while_dark_;
}

void DisplayTrace::Dark(bool dark) {
  const int64_t now = NowNs(CLOCK_MONOTONIC);
  if (dark && dark_since_ns_ == 0) {
    dark_since_ns_ = now;
    ++dark_stretches_;
  } else if (!dark && dark_since_ns_ != 0) {
    dark_ns_ += now - dark_since_ns_;
    dark_since_ns_ = 0;
  }
}

void DisplayTrace::Print(const std::string& renderer, int windows, int64_t composed,
                         int64_t presented, int64_t parts_presented) const {
  if (frames_ == 0) return;
  auto line = [](const char* name, const std::string& value) {
    std::fprintf(stderr, "larkspill-trace %s %s\n", name, value.c_str());
  };
  auto number = [](double v, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return std::string(text);
  };
  line("renderer", renderer);
  line("windows", std::to_string(windows));
  line("first_frame_realtime_ns", std::to_string(first_flip_realtime_ns_));
  line("first_frame_since_start_ms", number(first_flip_since_start_ms_, 1));
  line("open_display_ms", number(open_begin_ms_, 1) + " " + number(open_end_ms_, 1));
  line("last_picture_ms", number(last_load_ms_, 1));
  line("frames", std::to_string(frames_));
  line("seconds", number((last_flip_ns_ - first_flip_ns_) / 1e9, 6));
  line("pixels_composed", std::to_string(composed));
  line("pixels_presented", std::to_string(presented));
  line("parts_presented", std::to_string(parts_presented));
  // Dark time up to now, a stretch still going on included; frames shown in it (none should be).
  const int64_t dark_ns =
      dark_ns_ + (dark_since_ns_ != 0 ? NowNs(CLOCK_MONOTONIC) - dark_since_ns_ : 0);
  line("dark", number(dark_ns / 1e9, 3) + " s in " + std::to_string(dark_stretches_) +
                   " stretches, frames " + std::to_string(frames_while_dark_));
  for (const auto& [picture, counts] : pictures_) {
    std::fprintf(stderr,
                 "larkspill-trace sprite %d draws %lld moves_x %lld moves_y %lld path_x %lld "
                 "path_y %lld\n",
                 picture, static_cast<long long>(counts.draws),
                 static_cast<long long>(counts.moves_x), static_cast<long long>(counts.moves_y),
                 static_cast<long long>(counts.path_x), static_cast<long long>(counts.path_y));
  }
  for (const auto& [place, seen] : texts_) {
    std::fprintf(stderr, "larkspill-trace texts_at %d %d distinct %zu\n", place.first, place.second,
                 seen.size());
  }
}

}  // namespace larkspill
