#include "dialog_pictures.h"

#include <cairo.h>

namespace larkspill::assets {

Picture MakePreview(const Picture& scene_one) {
  return Downscale(scene_one, 153, 115);
}

Picture MakeSceneThumbnail(const Picture& scene, int scale) {
  return Downscale(scene, 40 * scale, 30 * scale);
}

Picture MakeScreenPicture(const Picture& scene, int scale) {
  const int width = 70 * scale, height = 62 * scale;
  const int screen_x = 7 * scale, screen_y = 5 * scale, screen_w = 56 * scale,
            screen_h = 42 * scale;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, scale, scale);
  // The dialog's face colour behind the monitor.
  cairo_set_source_rgb(cr, 240 / 255.0, 240 / 255.0, 240 / 255.0);
  cairo_paint(cr);
  auto rounded = [cr](double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -1.5708, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, 1.5708);
    cairo_arc(cr, x + r, y + h - r, r, 1.5708, 3.14159);
    cairo_arc(cr, x + r, y + r, r, 3.14159, 4.71239);
    cairo_close_path(cr);
  };
  // Stand and foot.
  cairo_pattern_t* metal = cairo_pattern_create_linear(0, 50, 0, 62);
  cairo_pattern_add_color_stop_rgb(metal, 0, 0.42, 0.43, 0.45);
  cairo_pattern_add_color_stop_rgb(metal, 1, 0.22, 0.23, 0.25);
  cairo_set_source(cr, metal);
  cairo_rectangle(cr, 30, 50, 10, 7);
  cairo_fill(cr);
  rounded(17, 56, 36, 5, 2);
  cairo_fill(cr);
  cairo_pattern_destroy(metal);
  // Bezel, lit from above.
  cairo_pattern_t* bezel = cairo_pattern_create_linear(0, 0, 0, 52);
  cairo_pattern_add_color_stop_rgb(bezel, 0, 0.36, 0.37, 0.40);
  cairo_pattern_add_color_stop_rgb(bezel, 1, 0.14, 0.15, 0.17);
  cairo_set_source(cr, bezel);
  rounded(1, 1, 68, 51, 4);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 0.08, 0.08, 0.09);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  cairo_pattern_destroy(bezel);
  // A power light.
  cairo_set_source_rgb(cr, 0.35, 0.85, 0.45);
  cairo_rectangle(cr, 61, 48.5, 2, 1.5);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);

  Picture out(width, height);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t px = *reinterpret_cast<const uint32_t*>(data + size_t(y) * stride + size_t(x) * 4);
      out.Set(x, y, uint8_t(px >> 16), uint8_t(px >> 8), uint8_t(px));
    }
  cairo_surface_destroy(surface);
  // The scene on the screen.
  Picture shown = Downscale(scene, screen_w, screen_h);
  for (int y = 0; y < screen_h; ++y)
    for (int x = 0; x < screen_w; ++x) {
      const uint8_t* p = shown.at(x, y);
      out.Set(screen_x + x, screen_y + y, p[0], p[1], p[2]);
    }
  return out;
}

}  // namespace larkspill::assets
