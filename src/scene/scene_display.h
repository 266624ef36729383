#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace larkspill {

// Colours are red + 256 * green + 65536 * blue.
inline constexpr int32_t kYellow = 65535;
inline constexpr int32_t kBlack = 0;

// A picture that cannot be loaded; the message names the file.
class AssetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A picture and its frames as the display loaded them (LoadPictures); frames count from 1.
struct Pictures {
  int32_t index = -1;  // -1: none loaded
  bool operator==(const Pictures&) const = default;
};

// The whole frame painted in one colour.
struct FillDrawing {
  int32_t colour = kBlack;
  bool operator==(const FillDrawing&) const = default;
};

// One frame of a picture with its top left corner at (x, y). A roaming picture (a creature) has
// its horizontal place spread over the width a wide screen shows.
struct PictureDrawing {
  Pictures pictures;
  int32_t frame = 1;
  int32_t x = 0;
  int32_t y = 0;
  bool roams = false;
  bool operator==(const PictureDrawing&) const = default;
};

// A line of text in a face found by name, `size` points, its top left corner at (x, y).
struct TextDrawing {
  std::string text;
  std::string face;
  int32_t size = 0;
  int32_t colour = kYellow;
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const TextDrawing&) const = default;
};

using SceneDrawing = std::variant<FillDrawing, PictureDrawing, TextDrawing>;

// One frame as the scene describes it: what is drawn, in order (later over earlier), in 800 x 600
// scene coordinates whatever the screen's size.
struct SceneFrame {
  std::vector<SceneDrawing> drawings;

  void Fill(int32_t colour) { drawings.emplace_back(FillDrawing{colour}); }
  void Picture(Pictures pictures, int32_t frame, int32_t x, int32_t y, bool roams = false) {
    drawings.emplace_back(PictureDrawing{pictures, frame, x, y, roams});
  }
  void Text(std::string text, std::string face, int32_t size, int32_t colour, int32_t x,
            int32_t y) {
    drawings.emplace_back(TextDrawing{std::move(text), std::move(face), size, colour, x, y});
  }
};

// The stretch of the scene, in scene x, that the screens show creatures crossing: the scene's
// own width, or a whole desk of monitors one scene spreads across. Creatures come in and go out
// just beyond it.
struct SceneEdges {
  int32_t left = 0;
  int32_t right = 800;
  bool operator==(const SceneEdges&) const = default;
};

// Where the scene is shown: opened once, its pictures loaded, then one frame after another.
class SceneDisplay {
 public:
  virtual ~SceneDisplay() = default;
  // Where creatures come in and go out, as the screens are now.
  virtual SceneEdges CreatureEdges() const { return {}; }

  // Takes the screen for a width x height scene; false when no display can be opened.
  virtual bool Open(int32_t width, int32_t height) = 0;
  // Loads the bitmaps at `paths` as the frames of one picture, magenta left undrawn when
  // `keyed`. Throws AssetError naming the path when a file is missing, empty or unreadable.
  virtual Pictures LoadPictures(std::span<const std::string> paths, bool keyed) = 0;
  // Shows the frame; false, with nothing drawn, once the display is gone.
  virtual bool Show(const SceneFrame& frame) = 0;
  virtual void Close() = 0;
};

// The events the display delivers to the saver window.
class DisplayEvents {
 public:
  virtual ~DisplayEvents() = default;
  virtual void OnFrame() = 0;
  virtual void OnPointerMoved() = 0;
  virtual void OnButton() = 0;
  // A turn of the mouse wheel, which X11 reports as a press of buttons 4 to 7.
  virtual void OnWheel() = 0;
  virtual void OnKey() = 0;
  // A screen locker or another saver has taken the screen (or the session is locking): the
  // saver steps aside.
  virtual void OnScreenTaken() = 0;
};

}  // namespace larkspill
