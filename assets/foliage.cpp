#include "foliage.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

#include "noise.h"

namespace larkspill::assets {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Greens of the forest, from shadow to sunlit.
const Rgb kLeafGreens[] = {
    {0.09f, 0.20f, 0.07f}, {0.16f, 0.32f, 0.10f}, {0.24f, 0.42f, 0.12f},
    {0.36f, 0.52f, 0.16f}, {0.14f, 0.30f, 0.20f}, {0.30f, 0.44f, 0.22f},
};

void SetColour(cairo_t* cr, Rgb c, double alpha) {
  cairo_set_source_rgba(cr, std::clamp(c.r, 0.0f, 1.0f), std::clamp(c.g, 0.0f, 1.0f),
                        std::clamp(c.b, 0.0f, 1.0f), alpha);
}

// A pointed leaf of the given length and width, centred at (x, y), turned by angle.
void Leaf(cairo_t* cr, double x, double y, double length, double width, double angle) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_rotate(cr, angle);
  cairo_scale(cr, length / 2, width / 2);
  cairo_move_to(cr, -1, 0);
  cairo_curve_to(cr, -0.4, -1.0, 0.4, -0.8, 1, 0);
  cairo_curve_to(cr, 0.4, 0.8, -0.4, 1.0, -1, 0);
  cairo_close_path(cr);
  cairo_restore(cr);
}

struct Painter {
  cairo_t* cr;
  Rng rng;
  float light_x, light_y;  // unit direction towards the light, on the picture plane

  // A cluster of leaves lit from the light's side: leaves towards the light and in front are
  // brighter, those behind and away darker, which gives the cluster its volume.
  void Cluster(double cx, double cy, double radius, Rgb base, double leaf_size, double density,
               double haze = 0, Rgb haze_colour = {0.6f, 0.7f, 0.7f}) {
    int count = int(6.0 * radius * radius * density / (leaf_size * leaf_size)) + 6;
    for (int i = 0; i < count; ++i) {
      double depth = double(i) / count;  // later leaves sit in front
      double a = rng.Uniform() * 2 * kPi;
      double d = std::sqrt(rng.Uniform()) * radius;
      double dx = std::cos(a) * d, dy = std::sin(a) * d * 0.85;
      double lit = 0.5 - 0.5 * (dx * light_x + dy * light_y) / radius;
      lit = lit * (0.55 + 0.45 * depth);
      float k = float(0.45 + 0.85 * lit + rng.Range(-0.08, 0.08));
      Rgb c = Scale(base, k);
      c.r += float(rng.Range(-0.02, 0.03));
      c.g += float(rng.Range(-0.02, 0.03));
      c = Mix(c, haze_colour, float(haze));
      double size = leaf_size * rng.Range(0.7, 1.3);
      double angle = a + rng.Range(-0.6, 0.6) + (rng.Uniform() < 0.5 ? 0.0 : kPi * 0.5);
      Leaf(cr, cx + dx, cy + dy, size, size * rng.Range(0.38, 0.55), angle);
      SetColour(cr, c, rng.Range(0.85, 1.0));
      cairo_fill(cr);
    }
  }

  // A tree trunk from its foot (x0, y0) to its top (x1, y1), lit from the left.
  void Trunk(double x0, double y0, double x1, double y1, double w0, double w1, Rgb bark) {
    double dx = x1 - x0, dy = y1 - y0, len = std::hypot(dx, dy);
    double nx = -dy / len, ny = dx / len;
    double bend = rng.Range(-12, 12);
    cairo_move_to(cr, x0 - nx * w0, y0 - ny * w0);
    cairo_curve_to(cr, x0 + dx * 0.4 - nx * w0 + bend, y0 + dy * 0.4,
                   x0 + dx * 0.7 - nx * w1 + bend, y0 + dy * 0.7, x1 - nx * w1, y1 - ny * w1);
    cairo_line_to(cr, x1 + nx * w1, y1 + ny * w1);
    cairo_curve_to(cr, x0 + dx * 0.7 + nx * w1 + bend, y0 + dy * 0.7,
                   x0 + dx * 0.4 + nx * w0 + bend, y0 + dy * 0.4, x0 + nx * w0, y0 + ny * w0);
    cairo_close_path(cr);
    cairo_pattern_t* grad =
        cairo_pattern_create_linear(x0 - nx * w0, y0 - ny * w0, x0 + nx * w0, y0 + ny * w0);
    Rgb lit = Scale(bark, 1.45f), dark = Scale(bark, 0.45f);
    cairo_pattern_add_color_stop_rgb(grad, 0.0, dark.r, dark.g, dark.b);
    cairo_pattern_add_color_stop_rgb(grad, 0.25, lit.r, lit.g, lit.b);
    cairo_pattern_add_color_stop_rgb(grad, 0.6, bark.r, bark.g, bark.b);
    cairo_pattern_add_color_stop_rgb(grad, 1.0, dark.r * 0.6, dark.g * 0.6, dark.b * 0.6);
    cairo_set_source(cr, grad);
    cairo_fill(cr);
    cairo_pattern_destroy(grad);
    // Bark furrows and patches of moss.
    cairo_set_line_width(cr, 1.0);
    int furrows = int(len / 9);
    for (int i = 0; i < furrows; ++i) {
      double t = rng.Uniform(), s = rng.Range(-0.8, 0.8);
      double w = w0 + (w1 - w0) * t;
      double px = x0 + dx * t + nx * w * s + bend * 4 * t * (1 - t) * 1.5;
      double py = y0 + dy * t + ny * w * s;
      double l = rng.Range(6, 18);
      cairo_move_to(cr, px, py);
      cairo_line_to(cr, px + dx / len * l + rng.Range(-1, 1), py + dy / len * l);
      bool moss = rng.Uniform() < 0.25;
      SetColour(cr, moss ? Rgb{0.30f, 0.42f, 0.14f} : Scale(bark, 0.4f), moss ? 0.7 : 0.55);
      cairo_stroke(cr);
    }
  }

  // A fern frond growing from (x, y) towards angle, curling down at its tip.
  void Frond(double x, double y, double angle, double length, Rgb colour) {
    int segments = 18;
    double px = x, py = y, a = angle;
    double curl = rng.Range(0.02, 0.05) * (std::cos(angle) > 0 ? 1 : -1);
    for (int i = 0; i < segments; ++i) {
      double s = double(i) / segments;
      double step = length / segments;
      double nx = px + std::cos(a) * step, ny = py + std::sin(a) * step;
      cairo_move_to(cr, px, py);
      cairo_line_to(cr, nx, ny);
      cairo_set_line_width(cr, 2.0 * (1 - s) + 0.6);
      SetColour(cr, Scale(colour, 0.6f), 1.0);
      cairo_stroke(cr);
      double leaflet = length * 0.22 * std::sin(kPi * (0.15 + 0.85 * s)) * (1 - 0.5 * s);
      for (int side = -1; side <= 1; side += 2) {
        double la = a + side * 1.05;
        double lx = nx + std::cos(la) * leaflet * 0.5, ly = ny + std::sin(la) * leaflet * 0.5;
        Leaf(cr, lx, ly, leaflet, leaflet * 0.28, la);
        float lit = float(0.8 + 0.35 * (side < 0 ? 1 : 0.5) + rng.Range(-0.1, 0.1));
        SetColour(cr, Scale(colour, lit), 0.95);
        cairo_fill(cr);
      }
      px = nx, py = ny;
      a += curl * (1 + 3 * s);
    }
  }

  // Blades of grass from the ground line at y, between x0 and x1.
  void Grass(double x0, double x1, double y, int blades, double height) {
    for (int i = 0; i < blades; ++i) {
      double x = rng.Range(x0, x1), h = height * rng.Range(0.4, 1.1);
      double lean = rng.Range(-0.5, 0.5) * h;
      cairo_move_to(cr, x - 1.2, y);
      cairo_curve_to(cr, x, y - h * 0.5, x + lean * 0.5, y - h * 0.8, x + lean, y - h);
      cairo_curve_to(cr, x + lean * 0.5 + 0.6, y - h * 0.8, x + 1.2, y - h * 0.5, x + 1.2, y);
      cairo_close_path(cr);
      const Rgb& base = kLeafGreens[rng.Int(1, 3)];
      SetColour(cr, Scale(base, float(rng.Range(0.7, 1.3))), 1.0);
      cairo_fill(cr);
    }
  }

  // A hanging strand of vine with small leaves.
  void Vine(double x, double y, double length) {
    double px = x, py = y;
    double sway = rng.Range(-0.3, 0.3);
    for (int i = 0; i < int(length / 6); ++i) {
      double nx = px + sway + std::sin(i * 0.5) * 0.8, ny = py + 6;
      cairo_move_to(cr, px, py);
      cairo_line_to(cr, nx, ny);
      cairo_set_line_width(cr, 1.0);
      SetColour(cr, {0.12f, 0.2f, 0.08f}, 0.9);
      cairo_stroke(cr);
      if (i % 2 == 0) {
        Leaf(cr, nx + (i % 4 == 0 ? 3 : -3), ny, 6, 3, (i % 4 == 0 ? 0.6 : 2.5));
        SetColour(cr, Scale(kLeafGreens[2], float(rng.Range(0.7, 1.3))), 0.95);
        cairo_fill(cr);
      }
      px = nx, py = ny;
    }
  }
};

// A wall of forest on one side of the scene: trees from the far haze to the front, their crowns
// overhanging the top corner.
void ForestWall(Painter& p, double x0, double x1, bool left, double cliff_y) {
  double inner = left ? x1 : x0;
  // Far trees, hazy.
  for (int i = 0; i < 14; ++i) {
    double x = p.rng.Range(x0, x1), y = p.rng.Range(cliff_y - 40, 420);
    p.Cluster(x, y, p.rng.Range(30, 55), kLeafGreens[p.rng.Int(0, 4)], 6, 1.3, 0.35,
              {0.42f, 0.55f, 0.52f});
  }
  // Trunks.
  for (int i = 0; i < 4; ++i) {
    double x = left ? p.rng.Range(x0 + 5, x1 - 50) : p.rng.Range(x0 + 50, x1 - 5);
    double lean = (left ? -1 : 1) * p.rng.Range(0, 40);
    p.Trunk(x, 640, x + lean, p.rng.Range(-20, 120), p.rng.Range(9, 20), p.rng.Range(4, 8),
            Rgb{0.30f, 0.24f, 0.18f});
  }
  // Crowns and middle bushes, darker towards the outer edge.
  for (int i = 0; i < 26; ++i) {
    double t = p.rng.Uniform();
    double x = left ? x0 + (x1 + 30 - x0) * std::sqrt(t) : x1 - (x1 - x0 + 30) * std::sqrt(t);
    double y = p.rng.Range(-30, 520);
    double edge = std::abs(x - inner) / (x1 - x0);
    Rgb base = kLeafGreens[p.rng.Int(0, 5)];
    base = Scale(base, float(1.05 - 0.35 * edge));
    p.Cluster(x, y, p.rng.Range(28, 60), base, p.rng.Range(8, 12), 1.4);
  }
  // Overhanging crown at the top corner.
  for (int i = 0; i < 9; ++i) {
    double x = left ? p.rng.Range(x0 - 20, x1 + 60) : p.rng.Range(x0 - 60, x1 + 20);
    double y = p.rng.Range(-40, 50);
    p.Cluster(x, y, p.rng.Range(35, 60), kLeafGreens[p.rng.Int(0, 3)], 11, 1.5);
  }
  for (int i = 0; i < 6; ++i)
    p.Vine(left ? p.rng.Range(x1 - 40, x1 + 40) : p.rng.Range(x0 - 40, x0 + 40),
           p.rng.Range(10, 60), p.rng.Range(60, 160));
}

// More forest in a margin beyond the scene, from x0 to x1: far trees, trunks, crowns, ferns and
// grass like the walls at the scene's sides, each plant kept inside the margin.
void ForestMargin(Painter& p, double x0, double x1, double cliff_y) {
  const double width = x1 - x0;
  // A cluster's centre, far enough from the margin's ends for all of its leaves to fit.
  auto inside = [&](double reach) { return p.rng.Range(x0 + reach, x1 - reach); };
  for (int i = 0; i < int(width / 14); ++i) {
    double r = p.rng.Range(30, 55);
    p.Cluster(inside(r + 8), p.rng.Range(cliff_y - 40, 420), r, kLeafGreens[p.rng.Int(0, 4)], 6,
              1.3, 0.35, {0.42f, 0.55f, 0.52f});
  }
  for (int i = 0; i < int(width / 50); ++i) {
    double x = inside(45), lean = p.rng.Range(-15, 15);
    p.Trunk(x, 640, x + lean, p.rng.Range(-20, 120), p.rng.Range(9, 20), p.rng.Range(4, 8),
            Rgb{0.30f, 0.24f, 0.18f});
  }
  for (int i = 0; i < int(width / 6); ++i) {
    double r = p.rng.Range(28, 60);
    Rgb base = Scale(kLeafGreens[p.rng.Int(0, 5)], float(p.rng.Range(0.7, 1.0)));
    p.Cluster(inside(r + 16), p.rng.Range(-40, 520), r, base, p.rng.Range(8, 12), 1.4);
  }
  for (int i = 0; i < int(width / 28); ++i) {
    double x = inside(125), y = p.rng.Range(560, 620);
    for (int f = 0; f < 7; ++f)
      p.Frond(x, y, -kPi / 2 + p.rng.Range(-1.0, 1.0), p.rng.Range(60, 120),
              kLeafGreens[p.rng.Int(1, 3)]);
  }
  p.Grass(x0 + 25, x1 - 25, 602, int(width * 0.7), 40);
}

// The scene's own plants, drawn in scene coordinates; top(x) is the cliff's edge above x.
template <typename Top>
void PaintScenePlants(cairo_t* cr, const SceneLayout& layout, const Top& top) {
  Painter p{cr, Rng(layout.seed * 7919u + 3), -0.6f, -0.8f};
  // Shrubs and grass along the cliff's upper edge, leaving the river's lip open.
  for (double x = layout.cliff_left - 20; x < layout.cliff_right + 20; x += p.rng.Range(14, 26)) {
    bool over_lip = false;
    for (const Fall& f : layout.falls)
      if (x > f.top_left + 14 && x < f.top_right - 14 && std::abs(f.top_y - top(x)) < 30)
        over_lip = true;
    if (over_lip) continue;
    double y = top(x);
    p.Cluster(x, y - 4, p.rng.Range(10, 22), kLeafGreens[p.rng.Int(1, 5)], 5, 1.6, 0.12,
              {0.5f, 0.62f, 0.6f});
  }
  // Low bushes on the far bank, where the river comes out of the forest.
  for (const Fall& f : layout.falls) {
    if (f.top_y >= layout.cliff_top + 60) continue;
    for (double x = f.top_left + 8; x < f.top_right - 4; x += p.rng.Range(10, 16))
      p.Cluster(x, f.top_y - 19 + p.rng.Range(-2, 2), p.rng.Range(8, 12),
                kLeafGreens[p.rng.Int(1, 4)], 5, 1.6, 0.1, {0.5f, 0.62f, 0.6f});
  }
  // Tufts of plants clinging to ledges of the rock face.
  for (int i = 0; i < 26; ++i) {
    double x = p.rng.Range(layout.cliff_left + 10, layout.cliff_right - 10);
    double y = p.rng.Range(top(x) + 30, 470);
    bool in_water = false;
    for (const Fall& f : layout.falls)
      if (y > f.top_y - 20 && y < f.bottom_y + 30 && x > f.bottom_left - 26 &&
          x < f.bottom_right + 26)
        in_water = true;
    for (const Pool& pool : layout.pools)
      if (std::pow((x - pool.cx) / pool.rx, 2) + std::pow((y - pool.cy) / pool.ry, 2) < 1.4)
        in_water = true;
    if (in_water) continue;
    p.Cluster(x, y, p.rng.Range(7, 15), kLeafGreens[p.rng.Int(1, 5)], 5, 1.5);
  }

  ForestWall(p, -10, layout.cliff_left + 10, true, layout.cliff_top);
  ForestWall(p, layout.cliff_right - 10, kSceneWidth + 10, false, layout.cliff_top);

  // Bushes hiding the far end of any higher pool.
  for (size_t i = 0; i + 1 < layout.pools.size(); ++i) {
    const Pool& pool = layout.pools[i];
    for (int k = 0; k < 3; ++k)
      p.Cluster(pool.cx + pool.rx + p.rng.Range(-20, 15), pool.cy + p.rng.Range(-25, 5),
                p.rng.Range(16, 26), kLeafGreens[p.rng.Int(1, 4)], 8, 1.5);
  }
  // Bushes on the shores of the lowest pool and ferns and grass in the foreground.
  const Pool& low = layout.pools.back();
  for (int i = 0; i < 10; ++i) {
    bool left = i % 2 == 0;
    double x = left ? p.rng.Range(low.cx - low.rx - 40, low.cx - low.rx * 0.55)
                    : p.rng.Range(low.cx + low.rx * 0.55, low.cx + low.rx + 40);
    double y = p.rng.Range(low.cy - low.ry * 0.6, 600);
    p.Cluster(x, y, p.rng.Range(22, 40), kLeafGreens[p.rng.Int(1, 5)], 10, 1.5);
  }
  for (int i = 0; i < 9; ++i) {
    bool left = i % 2 == 0;
    double x = left ? p.rng.Range(-10, 190) : p.rng.Range(610, 810);
    double y = p.rng.Range(560, 620);
    for (int f = 0; f < 7; ++f) {
      double angle = -kPi / 2 + (left ? 1 : -1) * p.rng.Range(-0.6, 1.2);
      p.Frond(x, y, angle, p.rng.Range(60, 120), kLeafGreens[p.rng.Int(1, 3)]);
    }
  }
  p.Grass(-10, 230, 602, 160, 40);
  p.Grass(570, 810, 602, 160, 40);
}

// Bushes and ferns over the forest floor between y0 and y1, where a desk of monitors reaches
// below the scene.
void Undergrowth(Painter& p, double x0, double x1, double y0, double y1) {
  const double area = (x1 - x0) * (y1 - y0);
  for (int i = 0; i < int(area / 900); ++i) {
    Rgb base = Scale(kLeafGreens[p.rng.Int(0, 5)], float(p.rng.Range(0.55, 0.95)));
    p.Cluster(p.rng.Range(x0, x1), p.rng.Range(y0, y1), p.rng.Range(20, 45), base,
              p.rng.Range(8, 12), 1.4);
  }
  for (int i = 0; i < int(area / 7000); ++i) {
    double x = p.rng.Range(x0, x1), y = p.rng.Range(y0 + 40, y1 + 60);
    for (int f = 0; f < 7; ++f)
      p.Frond(x, y, -kPi / 2 + p.rng.Range(-1.0, 1.0), p.rng.Range(60, 120),
              kLeafGreens[p.rng.Int(1, 3)]);
  }
}

// A surface `width` pixels wide drawing the scene's (x, y) at ((x + x0) * scale, (y + y0) * scale).
cairo_t* CreatePainting(int width, int height, double x0, double y0, double scale) {
  cairo_t* cr = cairo_create(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  cairo_surface_destroy(cairo_get_target(cr));  // cr holds it
  cairo_scale(cr, scale, scale);
  cairo_translate(cr, x0, y0);
  return cr;
}

}  // namespace

Layer PaintFoliage(const SceneLayout& layout, const std::vector<float>& cliff_top,
                   int first_column, double scale, const scene_layout::SceneArea& area) {
  auto top = [&cliff_top, first_column](double x) {
    return cliff_top[size_t(std::clamp(int(x) - first_column, 0, int(cliff_top.size()) - 1))];
  };
  const double margin_x = -area.left, margin_y = -area.top;
  const double right = area.left + area.width, bottom = area.top + area.height;
  Layer layer;
  layer.width = Scaled(area.width, scale);
  layer.height = Scaled(area.height, scale);
  cairo_t* wide = CreatePainting(layer.width, layer.height, margin_x, margin_y, scale);
  // The margins first, each kept to its own side, so the scene's plants reaching into them
  // stand in front. A wider margin gets more forest, never the same trees again.
  Painter margins{wide, Rng(layout.seed * 7919u + 5), -0.6f, -0.8f};
  for (auto [x0, x1] : {std::pair{area.left, 0.0}, std::pair{double(kSceneWidth), right}}) {
    cairo_save(wide);
    cairo_rectangle(wide, x0, std::min(area.top, 0.0) - kSceneHeight, x1 - x0,
                    std::max(area.height, 3.0 * kSceneHeight));
    cairo_clip(wide);
    ForestMargin(margins, x0 + 8, x1 - 8, layout.cliff_top);
    cairo_restore(wide);
  }
  if (bottom > 640) {
    Painter floor{wide, Rng(layout.seed * 7919u + 7), -0.6f, -0.8f};
    Undergrowth(floor, area.left, right, 615, bottom);
  }
  PaintScenePlants(wide, layout, top);
  // The scene's own columns are painted again on a surface of their own: cairo's rounding
  // depends a little on where a shape meets the surface's edge, and a surface as wide as the
  // scene paints them exactly as a 4:3 screen has always shown them.
  const int left = Scaled(margin_x, scale), width = Scaled(kSceneWidth, scale);
  cairo_t* scene = CreatePainting(width, layer.height, margin_x - left / scale, margin_y, scale);
  PaintScenePlants(scene, layout, top);

  layer.argb.resize(size_t(layer.width) * layer.height);
  // Of the scene's surface only the scene's rows: below them the undergrowth painted on the
  // wide one stays.
  const int scene_top = Scaled(margin_y, scale);
  const int scene_bottom = std::min(layer.height, scene_top + Scaled(kSceneHeight, scale));
  for (auto [cr, x0, w, y0, y1] : {std::tuple{wide, 0, layer.width, 0, layer.height},
                                   std::tuple{scene, left, width, scene_top, scene_bottom}}) {
    cairo_surface_t* surface = cairo_get_target(cr);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = y0; y < y1; ++y)
      std::memcpy(&layer.argb[size_t(y) * layer.width + size_t(x0)], data + size_t(y) * stride,
                  size_t(w) * 4);
    cairo_destroy(cr);
  }
  return layer;
}

}  // namespace larkspill::assets
