#pragma once

#include <pixman.h>

#include <array>
#include <cstddef>

#include "platform/files/sdl_ptrs.h"
#include "platform/frame/presenter.h"
#include "platform/wayland/wayland_screens.h"

namespace larkspill {

// Shows the frame on one output's surface through shared-memory buffers: two, so one can be
// painted while the compositor still reads the other. Each buffer keeps what it has not shown
// yet, so only the changed boxes are painted and damaged. A frame is sent only once the
// compositor has shown the last one; what changes in between waits for the next.
class WaylandPresenter : public Presenter {
 public:
  WaylandPresenter(WaylandScreens& screens, WaylandOutput& output);
  ~WaylandPresenter() override;
  WaylandPresenter(const WaylandPresenter&) = delete;
  WaylandPresenter& operator=(const WaylandPresenter&) = delete;

  bool Size(int* w, int* h, bool* renewed) override;
  void Show(const ScaledView& view, const FrameComposer& frame, const Region& boxes,
            bool whole) override;

 private:
  struct Buffer {
    wl_buffer* buffer = nullptr;
    void* pixels = nullptr;
    size_t bytes = 0;
    pixman_image_t* image = nullptr;
    SdlSurfacePtr surface;  // the same pixels, where texts are blended
    bool busy = false;      // the compositor still reads it
    bool whole = true;      // it must be painted whole before it is shown
    Region owed;            // what changed since it was last painted
  };
  bool MakeBuffers(int w, int h);
  void FreeBuffers();
  static void Released(void* data, wl_buffer* buffer);
  static void FrameShown(void* data, wl_callback* callback, uint32_t time);

  WaylandScreens& screens_;
  WaylandOutput& output_;
  std::array<Buffer, 2> buffers_;
  int width_ = 0;  // of the buffers, in pixels
  int height_ = 0;
  Region waiting_;  // changes held back while the compositor shows the last frame
  bool waiting_whole_ = false;
};

}  // namespace larkspill
