#include "creatures.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "noise.h"

namespace larkspill::assets {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Turns a cairo drawing into a keyed sprite: a pixel at least half covered takes the drawing's
// own colour at full strength, every other pixel the key colour, so no blend of the creature and
// the key colour is left at its edge.
Picture HardenOntoKey(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
  int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  Picture out(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t px = *reinterpret_cast<const uint32_t*>(data + size_t(y) * stride + size_t(x) * 4);
      uint32_t a = px >> 24;
      if (a < 128) {
        out.Set(x, y, kKeyR, kKeyG, kKeyB);
        continue;
      }
      auto un = [a](uint32_t c) { return uint8_t(std::min<uint32_t>(255, (c * 255 + a / 2) / a)); };
      out.Set(x, y, un((px >> 16) & 0xFF), un((px >> 8) & 0xFF), un(px & 0xFF));
      KeepOffKey(out.at(x, y));
    }
  return out;
}

// Where a beat's frames are cut from their drawing surface: the smallest rectangle holding the
// creature in all of them, with a one-pixel margin of key colour, so the frames line up and share
// one size.
struct Cut {
  int x, y, width, height;
};
Cut BeatCut(const std::vector<Picture>& frames) {
  int x0 = frames[0].width, y0 = frames[0].height, x1 = -1, y1 = -1;
  for (const Picture& p : frames)
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) {
        const uint8_t* c = p.at(x, y);
        if (c[0] == kKeyR && c[1] == kKeyG && c[2] == kKeyB) continue;
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
      }
  return {x0 - 1, y0 - 1, x1 - x0 + 3, y1 - y0 + 3};
}

std::vector<Picture> CutTo(const std::vector<Picture>& frames, const Cut& cut) {
  std::vector<Picture> out;
  for (const Picture& p : frames) {
    Picture t(cut.width, cut.height);
    for (int y = 0; y < t.height; ++y)
      for (int x = 0; x < t.width; ++x) {
        int sx = cut.x + x, sy = cut.y + y;
        if (sx < 0 || sy < 0 || sx >= p.width || sy >= p.height)
          t.Set(x, y, kKeyR, kKeyG, kKeyB);
        else
          t.Set(x, y, p.at(sx, sy)[0], p.at(sx, sy)[1], p.at(sx, sy)[2]);
      }
    out.push_back(std::move(t));
  }
  return out;
}

struct Surface {
  cairo_surface_t* surface;
  cairo_t* cr;
  Surface(int w, int h)
      : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)), cr(cairo_create(surface)) {}
  ~Surface() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
};

// Draws a beat of `count` frames, draw(cr, frame), on surfaces of the given size and hardens
// them, cut to the rectangle all frames share when `trim`. At another scale the same rectangle
// is drawn again that many times as large, so the frames keep their shape and place.
std::vector<Picture> DrawBeat(int width, int height, int count, bool trim, double scale,
                              const std::function<void(cairo_t*, int)>& draw) {
  std::vector<Picture> frames;
  for (int f = 0; f < count; ++f) {
    Surface s(width, height);
    draw(s.cr, f);
    frames.push_back(HardenOntoKey(s.surface));
  }
  const Cut cut = trim ? BeatCut(frames) : Cut{0, 0, width, height};
  if (scale == 1) return trim ? CutTo(frames, cut) : frames;
  frames.clear();
  const int scaled_width = Scaled(cut.width, scale), scaled_height = Scaled(cut.height, scale);
  for (int f = 0; f < count; ++f) {
    Surface s(scaled_width, scaled_height);
    // A tip that a pixel of the margin at 1x held less than half of may fill one at this size;
    // the margin stays key colour all the same.
    cairo_rectangle(s.cr, 1, 1, scaled_width - 2, scaled_height - 2);
    cairo_clip(s.cr);
    cairo_scale(s.cr, scale, scale);
    cairo_translate(s.cr, -cut.x, -cut.y);
    draw(s.cr, f);
    frames.push_back(HardenOntoKey(s.surface));
  }
  return frames;
}

// Colours and markings of one kind of butterfly.
struct ButterflyLook {
  double rotation;  // radians; 0 is head up
  double span;      // half the wingspan with wings flat
  double fore_r, fore_g, fore_b;
  double glow_r, glow_g, glow_b;  // lighter colour towards the wing root
  double border;                  // width of the dark margin
  bool veins;                     // dark veins across the wings (first kind)
};

void ForewingPath(cairo_t* cr) {
  cairo_move_to(cr, 0.5, -1.5);
  cairo_curve_to(cr, 6, -9, 15, -15, 23, -16);
  cairo_curve_to(cr, 25, -13, 24, -8, 21, -3);
  cairo_curve_to(cr, 16, 0, 8, 1, 0.5, 1.5);
  cairo_close_path(cr);
}

void HindwingPath(cairo_t* cr) {
  cairo_move_to(cr, 0.5, 0.5);
  cairo_curve_to(cr, 8, -1, 16, 2, 17, 8);
  cairo_curve_to(cr, 17, 14, 11, 18, 6, 17);
  cairo_curve_to(cr, 2, 15, 0.5, 8, 0.5, 0.5);
  cairo_close_path(cr);
}

// One wing pair side, in the wing's own coordinates (root at the origin, spreading to +x).
void WingSide(cairo_t* cr, const ButterflyLook& look) {
  for (int part = 0; part < 2; ++part) {
    auto path = part == 0 ? ForewingPath : HindwingPath;
    cairo_save(cr);
    path(cr);
    cairo_clip_preserve(cr);
    cairo_pattern_t* grad = cairo_pattern_create_radial(0, 0, 1, 0, 0, 22);
    cairo_pattern_add_color_stop_rgb(grad, 0, look.glow_r, look.glow_g, look.glow_b);
    cairo_pattern_add_color_stop_rgb(grad, 0.75, look.fore_r, look.fore_g, look.fore_b);
    cairo_pattern_add_color_stop_rgb(grad, 1, look.fore_r * 0.7, look.fore_g * 0.7,
                                     look.fore_b * 0.7);
    cairo_set_source(cr, grad);
    cairo_fill(cr);
    cairo_pattern_destroy(grad);
    if (look.veins) {
      cairo_set_source_rgb(cr, 0.05, 0.04, 0.03);
      cairo_set_line_width(cr, 1.1);
      for (int i = 0; i < 4; ++i) {
        double a = part == 0 ? -0.2 - i * 0.22 : 0.15 + i * 0.32;
        cairo_move_to(cr, 1, 0);
        cairo_curve_to(cr, 8 * std::cos(a), 8 * std::sin(a) + 1, 16 * std::cos(a), 16 * std::sin(a),
                       26 * std::cos(a), 26 * std::sin(a));
        cairo_stroke(cr);
      }
    }
    // The dark margin with a row of pale dots.
    path(cr);
    cairo_set_source_rgb(cr, 0.06, 0.05, 0.06);
    cairo_set_line_width(cr, look.border * 2);
    cairo_stroke(cr);
    cairo_restore(cr);
  }
  cairo_set_source_rgb(cr, 0.97, 0.95, 0.88);
  const double dots[][2] = {{21.5, -11}, {19, -4.5}, {13, -1}, {15, 9}, {12, 15}, {6.5, 15.5}};
  for (auto& d : dots) {
    cairo_arc(cr, d[0], d[1], 0.9, 0, 2 * kPi);
    cairo_fill(cr);
  }
}

std::vector<Picture> DrawButterfly(const ButterflyLook& look, double picture_scale) {
  // Wing spread seen from above through one beat: flat, rising, edge-on, falling.
  const double spread[kButterflyFrames] = {1.0, 0.74, 0.38, 0.12, 0.38, 0.74};
  double scale = look.span / 24.0;
  const int room = 120;
  auto draw = [&](cairo_t* cr, int f) {
    cairo_translate(cr, room / 2, room / 2);
    cairo_rotate(cr, look.rotation);
    cairo_scale(cr, scale, scale);
    // The body rises a little as the wings beat down.
    cairo_translate(cr, 0, -0.8 * std::cos(2 * kPi * f / kButterflyFrames));
    for (int side = -1; side <= 1; side += 2) {
      cairo_save(cr);
      cairo_scale(cr, side * spread[f], 1);
      WingSide(cr, look);
      cairo_restore(cr);
    }
    // Body, head and antennae.
    cairo_save(cr);
    cairo_scale(cr, 1.4, 8.5);
    cairo_arc(cr, 0, 0.55, 1, 0, 2 * kPi);
    cairo_restore(cr);
    cairo_set_source_rgb(cr, 0.09, 0.07, 0.06);
    cairo_fill(cr);
    cairo_arc(cr, 0, -5.5, 1.9, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_set_line_width(cr, 0.9);
    for (int side = -1; side <= 1; side += 2) {
      cairo_move_to(cr, side * 0.6, -7);
      cairo_curve_to(cr, side * 2, -11, side * 3.5, -13, side * 4.5, -14.5);
      cairo_stroke(cr);
      cairo_arc(cr, side * 4.6, -14.6, 1.0, 0, 2 * kPi);
      cairo_fill(cr);
    }
  };
  return DrawBeat(room, room, kButterflyFrames, true, picture_scale, draw);
}

// A point of the bird in its own space: x forward, y up, z towards the viewer's side.
struct P3 {
  double x, y, z;
};

// The bird in one phase of its wing beat, projected for a view from a little above and behind.
struct BirdShape {
  using Points = std::vector<std::pair<double, double>>;
  Points near_wing, far_wing, body, tail;
  // The flight feathers: the trailing part of each wing, behind the coverts.
  Points near_feathers, far_feathers;
  struct Disc {
    double x, y, r;
  };
  std::vector<Disc> spheres;
};

BirdShape PoseBird(double t) {
  const double beat = 2 * kPi * t;
  // The inner wing swings from high above the back to below the belly; the hand follows late.
  double inner = 0.1 + 0.52 * std::cos(beat);
  double outer = inner + 0.36 * std::cos(beat + 1.1) - 0.05;
  double bob = -1.6 * std::cos(beat);
  const double yaw = 0.6, pitch = -0.4;
  auto view = [&](P3 p) {
    double X = p.x * std::cos(yaw) - p.z * std::sin(yaw);
    double Z = p.x * std::sin(yaw) + p.z * std::cos(yaw);
    double Y = p.y * std::cos(pitch) - Z * std::sin(pitch);
    return std::make_pair(X, Y);
  };
  // Turn the picture so the body lies level: the bird flies straight across, not diving.
  auto axis = view({1, 0, 0});
  double roll = std::atan2(axis.second, axis.first);
  auto project = [&](P3 p) {
    auto [X, Y] = view(p);
    double x = X * std::cos(roll) + Y * std::sin(roll);
    double y = -X * std::sin(roll) + Y * std::cos(roll);
    return std::make_pair(x, -(y + bob));
  };
  // Wing outline along the span s in [0, 1]: leading edge forward, trailing edge with
  // fingered primaries towards the tip.
  // With feathers_only, just the flight feathers: from the coverts' edge to the trailing edge.
  auto wing = [&](int side, bool feathers_only) {
    const double span = 36, elbow = 0.42;
    auto place = [&](double s, double along) {
      double y, z;
      if (s <= elbow) {
        y = s * span * std::sin(inner), z = s * span * std::cos(inner);
      } else {
        double e = elbow * span, r = (s - elbow) * span;
        y = e * std::sin(inner) + r * std::sin(outer);
        z = e * std::cos(inner) + r * std::cos(outer);
      }
      return project({along, y, side * z});
    };
    std::vector<std::pair<double, double>> pts;
    const int n = 16;
    for (int i = 0; i <= n; ++i) {
      double s = double(i) / n;
      double coverts = feathers_only ? 1 + 4 * (1 - s) : 0;
      pts.push_back(place(s, 6 + 3 * s - 16 * s * s - coverts));
    }
    for (int i = n; i >= 0; --i) {
      double s = double(i) / n;
      double chord = 3 + 12 * (1 - s * s);
      if (s > 0.55 && s < 0.98) chord -= (i % 2 == 0 ? 0 : 3.0);  // separated primaries
      pts.push_back(place(s, 6 + 3 * s - 16 * s * s - chord));
    }
    return pts;
  };
  BirdShape shape;
  shape.near_wing = wing(1, false);
  shape.far_wing = wing(-1, false);
  shape.near_feathers = wing(1, true);
  shape.far_feathers = wing(-1, true);
  // The body as a chain of round sections along the spine (each projects to a circle), and a
  // flat fanned tail.
  const double spine[][2] = {{-13, 3.6}, {-8, 5.2}, {-3, 6.0}, {2, 6.2},
                             {7, 5.6},   {11, 4.5}, {15, 3.9}, {18.5, 3.8}};
  for (auto& sp : spine) {
    auto c = project({sp[0], 0, 0});
    shape.spheres.push_back({c.first, c.second, sp[1]});
  }
  const P3 tail[] = {{-11, 0, 3}, {-21, 0, 6.5}, {-23, 0, 0}, {-21, 0, -6.5}, {-11, 0, -3}};
  for (const P3& p : tail) shape.tail.push_back(project(p));
  const P3 beak[] = {{21, 1.5, 0}, {27.5, -0.5, 0}, {21, -1.5, 0}};
  for (const P3& p : beak) shape.body.push_back(project(p));
  return shape;
}

void PathShape(cairo_t* cr, const std::vector<std::pair<double, double>>& pts) {
  cairo_move_to(cr, pts[0].first, pts[0].second);
  for (size_t i = 1; i < pts.size(); ++i) cairo_line_to(cr, pts[i].first, pts[i].second);
  cairo_close_path(cr);
}

void FillShape(cairo_t* cr, const std::vector<std::pair<double, double>>& pts) {
  PathShape(cr, pts);
  cairo_fill(cr);
}

struct Box {
  double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
  void Add(const std::vector<std::pair<double, double>>& pts) {
    for (auto& p : pts)
      x0 = std::min(x0, p.first), x1 = std::max(x1, p.first), y0 = std::min(y0, p.second),
      y1 = std::max(y1, p.second);
  }
};

Box BeatBounds() {
  Box box;
  for (int f = 0; f < kBirdFrames; ++f) {
    BirdShape s = PoseBird(double(f) / kBirdFrames);
    box.Add(s.near_wing), box.Add(s.far_wing), box.Add(s.body), box.Add(s.tail);
    for (auto& d : s.spheres) box.Add({{d.x - d.r, d.y - d.r}, {d.x + d.r, d.y + d.r}});
  }
  return box;
}

// Draws the bird at frame f of its beat, with the beat's bounding box mapped to (x, y) at scale.
void DrawBirdAt(cairo_t* cr, int f, double x, double y, double scale) {
  BirdShape s = PoseBird(double(f % kBirdFrames) / kBirdFrames);
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, scale, scale);
  cairo_set_source_rgb(cr, 0.10, 0.09, 0.09);
  FillShape(cr, s.far_wing);
  cairo_set_source_rgb(cr, 0.17, 0.15, 0.13);
  FillShape(cr, s.tail);
  for (auto& d : s.spheres) {
    cairo_arc(cr, d.x, d.y, d.r, 0, 2 * kPi);
    cairo_fill(cr);
  }
  cairo_set_source_rgb(cr, 0.45, 0.38, 0.22);
  FillShape(cr, s.body);
  cairo_set_source_rgb(cr, 0.22, 0.19, 0.16);
  FillShape(cr, s.near_wing);
  cairo_restore(cr);
}

// A bird of the flock, which crosses bright sky and dark leaves alike: a dark outline, back and
// flight feathers stand out on the sky, a pale belly and pale wing linings on the forest.
void DrawFlockBirdAt(cairo_t* cr, int f, double x, double y, double scale) {
  BirdShape s = PoseBird(double(f % kBirdFrames) / kBirdFrames);
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, scale, scale);
  const double outline = 1.8 / scale;  // about a pixel outside the fill
  auto set = [cr](double r, double g, double b) { cairo_set_source_rgb(cr, r, g, b); };
  auto dark_line = [&] {
    set(0.07, 0.06, 0.05);
    cairo_set_line_width(cr, outline);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
  };
  auto wing = [&](const BirdShape::Points& whole, const BirdShape::Points& feathers, double light) {
    PathShape(cr, whole);
    dark_line();
    set(0.88 * light, 0.84 * light, 0.74 * light);
    FillShape(cr, whole);
    set(0.20, 0.17, 0.15);
    FillShape(cr, feathers);
  };
  wing(s.far_wing, s.far_feathers, 0.8);
  // The body and tail outlined as one: every part stroked first, then every part filled.
  PathShape(cr, s.tail);
  dark_line();
  PathShape(cr, s.body);
  dark_line();
  for (auto& d : s.spheres) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, d.x, d.y, d.r, 0, 2 * kPi);
  }
  dark_line();
  set(0.20, 0.17, 0.15);
  FillShape(cr, s.tail);
  set(0.45, 0.38, 0.22);
  FillShape(cr, s.body);
  // Pale below, dark on the back: the back is the body's discs raised by half their radius,
  // kept within the body.
  for (auto& d : s.spheres) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, d.x, d.y, d.r, 0, 2 * kPi);
  }
  cairo_save(cr);
  cairo_clip_preserve(cr);
  set(0.88, 0.84, 0.74);
  cairo_fill(cr);
  for (auto& d : s.spheres) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, d.x, d.y - 0.5 * d.r, d.r, 0, 2 * kPi);
  }
  set(0.20, 0.17, 0.15);
  cairo_fill(cr);
  cairo_restore(cr);
  wing(s.near_wing, s.near_feathers, 1.0);
  cairo_restore(cr);
}

}  // namespace

std::vector<Picture> DrawButterflyKind1(double scale) {
  ButterflyLook look{-0.6, 30, 0.93, 0.47, 0.07, 1.0, 0.72, 0.25, 1.6, true};
  return DrawButterfly(look, scale);
}

std::vector<Picture> DrawButterflyKind2(double scale) {
  ButterflyLook look{0.0, 26, 0.10, 0.36, 0.88, 0.45, 0.85, 1.0, 2.2, false};
  return DrawButterfly(look, scale);
}

std::vector<Picture> DrawBird(double picture_scale) {
  Box box = BeatBounds();
  // As wide as the re-entry edge allows.
  double scale = 73 / (box.x1 - box.x0);
  int width = int(std::ceil((box.x1 - box.x0) * scale)) + 2;
  int height = int(std::ceil((box.y1 - box.y0) * scale)) + 2;
  return DrawBeat(width, height, kBirdFrames, false, picture_scale, [&](cairo_t* cr, int f) {
    DrawBirdAt(cr, f, 1 - box.x0 * scale, 1 - box.y0 * scale, scale);
  });
}

std::vector<Picture> DrawFlock(double picture_scale) {
  Box box = BeatBounds();
  const int width = 140, height = 100;
  // Birds of the flock: position of the bird's box, its size and its phase in the beat.
  struct Member {
    double x, y, width;
    int phase;
  };
  const Member members[] = {{90, 30, 32, 0}, {66, 14, 29, 3}, {60, 48, 30, 5},
                            {35, 28, 28, 2}, {10, 12, 26, 6}, {22, 54, 26, 1}};
  return DrawBeat(width, height, kBirdFrames, true, picture_scale, [&](cairo_t* cr, int f) {
    for (const Member& m : members) {
      double scale = m.width / (box.x1 - box.x0);
      DrawFlockBirdAt(cr, f + m.phase, m.x - box.x0 * scale, m.y - box.y0 * scale, scale);
    }
  });
}

}  // namespace larkspill::assets
