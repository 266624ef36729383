#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fakes/call_log.h"
#include "scene/scene_display.h"

namespace larkspill::testing {

// Keeps what the scene loaded and every frame it showed, so tests can look at what is drawn
// where; records opening, loading, showing and closing for the order they happen in.
class FakeDisplay : public SceneDisplay, public CallLog {
 public:
  struct Load {
    std::vector<std::string> paths;
    bool keyed = false;
    bool operator==(const Load&) const = default;
  };

  bool Open(int32_t w, int32_t h) override { return Record("Open", w, h), open_ok; }
  SceneEdges CreatureEdges() const override { return edges; }
  Pictures LoadPictures(std::span<const std::string> paths, bool keyed) override {
    Record("LoadPictures", paths.empty() ? std::string() : paths.front());
    for (const std::string& path : paths)
      if (!fail_file.empty() && path.ends_with(fail_file)) throw AssetError("cannot load " + path);
    loads.push_back({{paths.begin(), paths.end()}, keyed});
    return {static_cast<int32_t>(loads.size()) - 1};
  }
  bool Show(const SceneFrame& frame) override {
    Record("Show");
    if (display_ok) frames.push_back(frame);
    return display_ok;
  }
  void Close() override { Record("Close"); }

  // The last frame shown's drawings of one kind, in order.
  template <typename Kind>
  std::vector<Kind> Last() const {
    std::vector<Kind> out;
    if (frames.empty()) return out;
    for (const SceneDrawing& d : frames.back().drawings)
      if (const auto* kind = std::get_if<Kind>(&d)) out.push_back(*kind);
    return out;
  }
  // Which pictures the last frame drew, in order (their load numbers).
  std::vector<int32_t> PicturesDrawn() const {
    std::vector<int32_t> out;
    for (const PictureDrawing& d : Last<PictureDrawing>()) out.push_back(d.pictures.index);
    return out;
  }
  // The last frame's drawing of these pictures, if it drew them.
  std::optional<PictureDrawing> Drawn(int32_t pictures) const {
    for (const PictureDrawing& d : Last<PictureDrawing>())
      if (d.pictures.index == pictures) return d;
    return std::nullopt;
  }

  bool open_ok = true;     // what Open returns
  SceneEdges edges;        // where creatures come in and go out
  bool display_ok = true;  // what Show returns
  std::string fail_file;   // LoadPictures of a path ending in this throws AssetError
  std::vector<Load> loads;
  std::vector<SceneFrame> frames;
};

}  // namespace larkspill::testing
