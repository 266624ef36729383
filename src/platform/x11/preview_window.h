#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace larkspill {

// A still picture as 0xRRGGBB pixels, row by row from the top.
struct PreviewPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// Reads a BMP file (any of the usual bit depths, palettes included). Throws std::runtime_error
// naming the file when it is missing or is not a picture.
PreviewPicture LoadPreviewPicture(const std::string& path);

// The colour masks of a true-colour visual.
struct ColourMasks {
  unsigned long red = 0;
  unsigned long green = 0;
  unsigned long blue = 0;
};

// The pixel value of a 0xRRGGBB colour in a true-colour visual with these masks; each channel
// keeps its top bits where the mask is narrower than eight bits.
unsigned long TrueColourPixel(uint32_t rgb, const ColourMasks& masks);

// The preview still shown inside a host's preview pane: a child window of the pane, captioned
// "Preview", filling the pane's client area, with the picture unscaled at its top-left corner
// and the window's black background beyond it. It never takes the focus, follows the pane's
// size, and lives until the pane's owner destroys the pane.
class PreviewWindow {
 public:
  static constexpr const char* kCaption = "Preview";
  static constexpr const char* kPictureFile = "preview.bmp";

  // `pending_signal` says which end signal has arrived (0: none).
  PreviewWindow(uint32_t PreviewParent, PreviewPicture picture,
                std::function<int()> pending_signal);
  ~PreviewWindow();
  PreviewWindow(const PreviewWindow&) = delete;
  PreviewWindow& operator=(const PreviewWindow&) = delete;

  // Embeds the window and runs until the pane goes (kExitOk) or an end signal arrives
  // (128 + its number). A pane id that names no window, or no X display, ends at once with a
  // message and a non-zero status.
  int Run();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Preview mode: the pane's window from the command line and the asset folder. A missing number,
// a number that names no window, or a missing picture each end with a message naming it.
int RunPreview(bool has_number, int32_t PreviewParent, const std::string& asset_dir,
               std::function<int()> pending_signal);

}  // namespace larkspill
