#include "platform/frame/desk_fit.h"

#include <algorithm>

namespace larkspill {
namespace {

using scene_layout::kHeight;
using scene_layout::kWidth;

bool HasSize(const MonitorPlace& m) {
  return m.width > 0 && m.height > 0;
}

// The primary monitor: the first marked so, else the middle one by the x of its centre.
size_t PrimaryOf(std::span<const MonitorPlace> monitors) {
  std::vector<size_t> shown;
  for (size_t i = 0; i < monitors.size(); ++i) {
    if (!HasSize(monitors[i])) continue;
    if (monitors[i].primary) return i;
    shown.push_back(i);
  }
  if (shown.empty()) return 0;
  const auto centre = [&](size_t i) { return 2 * int64_t{monitors[i].x} + monitors[i].width; };
  std::stable_sort(shown.begin(), shown.end(),
                   [&](size_t a, size_t b) { return centre(a) < centre(b); });
  return shown[(shown.size() - 1) / 2];
}

}  // namespace

DeskFit DeskFit::For(std::span<const MonitorPlace> monitors) {
  DeskFit desk;
  desk.monitors.resize(monitors.size());
  desk.primary = PrimaryOf(monitors);
  if (monitors.empty() || !HasSize(monitors[desk.primary])) return desk;

  // Desk units a scene pixel: the scene's height is the primary monitor's.
  const MonitorPlace& primary = monitors[desk.primary];
  const double unit = static_cast<double>(primary.height) / kHeight;
  const double centre_x = primary.x + primary.width / 2.0;
  const auto scene_x = [&](double desk_x) { return (desk_x - centre_x) / unit + kWidth / 2.0; };
  const auto scene_y = [&](double desk_y) { return (desk_y - primary.y) / unit; };

  // The bounding box, never less than the wide backgrounds: every water picture lies on them, and
  // a desk narrower than those shows the same forest as one screen.
  double left = -scene_layout::kWideMargin, top = 0;
  double right = kWidth + scene_layout::kWideMargin, bottom = kHeight;
  for (const MonitorPlace& m : monitors) {
    if (!HasSize(m)) continue;
    left = std::min(left, scene_x(m.x));
    top = std::min(top, scene_y(m.y));
    right = std::max(right, scene_x(static_cast<double>(m.x) + m.width));
    bottom = std::max(bottom, scene_y(static_cast<double>(m.y) + m.height));
  }
  desk.area = {left, top, right - left, bottom - top};

  for (size_t i = 0; i < monitors.size(); ++i) {
    const MonitorPlace& m = monitors[i];
    if (!HasSize(m)) continue;
    SceneFit& fit = desk.monitors[i];
    fit.width = m.pixel_width > 0 ? m.pixel_width : m.width;
    fit.height = m.pixel_height > 0 ? m.pixel_height : m.height;
    fit.scale = fit.width * unit / m.width;
    fit.left = scene_x(m.x);
    fit.top = scene_y(m.y);
    fit.margin = -left;
    fit.margin_top = -top;
  }
  return desk;
}

}  // namespace larkspill
