#include "platform/wayland/wayland_presenter.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>

namespace larkspill {
namespace {}  // namespace

WaylandPresenter::WaylandPresenter(WaylandScreens& screens, WaylandOutput& output)
    : screens_(screens), output_(output) {}

WaylandPresenter::~WaylandPresenter() {
  FreeBuffers();
}

void WaylandPresenter::Released(void* data, wl_buffer*) {
  static_cast<Buffer*>(data)->busy = false;
}

void WaylandPresenter::FrameShown(void* data, wl_callback* callback, uint32_t) {
  auto& output = *static_cast<WaylandOutput*>(data);
  if (output.frame_callback == callback) output.frame_callback = nullptr;
  wl_callback_destroy(callback);
}

bool WaylandPresenter::Size(int* w, int* h, bool* renewed) {
  if (output_.gone || !output_.configured || output_.surface == nullptr) return false;
  const int want_w = output_.width * output_.scale;
  const int want_h = output_.height * output_.scale;
  if (want_w < 1 || want_h < 1) return false;
  *renewed = output_.renew || want_w != width_ || want_h != height_;
  if (*renewed && !MakeBuffers(want_w, want_h)) return false;
  output_.renew = false;
  *w = width_;
  *h = height_;
  return true;
}

bool WaylandPresenter::MakeBuffers(int w, int h) {
  FreeBuffers();
  const int stride = w * 4;
  const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(h);
  for (Buffer& b : buffers_) {
    const int fd = ::memfd_create("larkspill-frame", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
      if (fd >= 0) ::close(fd);
      std::fprintf(stderr, "larkspill: no memory for a %d x %d frame buffer\n", w, h);
      FreeBuffers();
      return false;
    }
    b.pixels = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (b.pixels == MAP_FAILED) {
      b.pixels = nullptr;
      ::close(fd);
      FreeBuffers();
      return false;
    }
    b.bytes = bytes;
    wl_shm_pool* pool = wl_shm_create_pool(screens_.shm(), fd, static_cast<int32_t>(bytes));
    b.buffer = wl_shm_pool_create_buffer(pool, 0, w, h, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    ::close(fd);
    static const wl_buffer_listener listener{Released};
    wl_buffer_add_listener(b.buffer, &listener, &b);
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(b.buffer), screens_.frame_queue());
    b.image =
        pixman_image_create_bits(PIXMAN_x8r8g8b8, w, h, static_cast<uint32_t*>(b.pixels), stride);
    b.surface.reset(
        SDL_CreateRGBSurfaceWithFormatFrom(b.pixels, w, h, 32, stride, SDL_PIXELFORMAT_RGB888));
    b.busy = false;
    b.whole = true;
    b.owed.Clear();
  }
  width_ = w;
  height_ = h;
  waiting_.Clear();
  waiting_whole_ = true;
  return true;
}

void WaylandPresenter::FreeBuffers() {
  for (Buffer& b : buffers_) {
    if (b.buffer != nullptr) wl_buffer_destroy(b.buffer);
    if (b.image != nullptr) pixman_image_unref(b.image);
    b.surface.reset();
    if (b.pixels != nullptr) ::munmap(b.pixels, b.bytes);
    b.buffer = nullptr;
    b.image = nullptr;
    b.pixels = nullptr;
    b.bytes = 0;
    b.busy = false;
    b.whole = true;
    b.owed.Clear();
  }
  width_ = height_ = 0;
}

void WaylandPresenter::Show(const ScaledView& view, const FrameComposer& frame, const Region& boxes,
                            bool whole) {
  waiting_.Add(boxes);
  waiting_whole_ = waiting_whole_ || whole;
  if (output_.frame_callback != nullptr || output_.surface == nullptr) return;
  if (waiting_.Empty() && !waiting_whole_) return;
  Buffer* free = nullptr;
  for (Buffer& b : buffers_) {
    if (!b.busy && b.buffer != nullptr) free = &b;
  }
  if (free == nullptr) return;  // both still read: the changes wait
  for (Buffer& b : buffers_) {
    b.owed.Add(waiting_);
    if (waiting_whole_) b.whole = true;
  }
  Buffer& b = *free;
  const pixman_box32_t all{0, 0, width_, height_};
  if (b.whole) {
    const pixman_color_t black{0, 0, 0, 0xFFFF};
    pixman_image_fill_boxes(PIXMAN_OP_SRC, b.image, &black, 1, &all);
    view.Paint(frame.frame(), frame.scene(), view.view_box(), b.image, b.surface.get(), 0, 0);
  } else {
    for (const pixman_box32_t& box : b.owed.Boxes()) {
      view.Paint(frame.frame(), frame.scene(), box, b.image, b.surface.get(), 0, 0);
    }
  }
  wl_surface* surface = output_.surface;
  wl_surface_attach(surface, b.buffer, 0, 0);
  if (waiting_whole_ || wl_surface_get_version(surface) < 4) {
    wl_surface_damage(surface, 0, 0, INT32_MAX, INT32_MAX);
  } else {
    for (const pixman_box32_t& box : waiting_.Boxes()) {
      wl_surface_damage_buffer(surface, box.x1, box.y1, box.x2 - box.x1, box.y2 - box.y1);
    }
  }
  static const wl_callback_listener shown{FrameShown};
  output_.frame_callback = wl_surface_frame(surface);
  wl_callback_add_listener(output_.frame_callback, &shown, &output_);
  wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(output_.frame_callback), screens_.frame_queue());
  output_.committed_at = std::chrono::steady_clock::now();
  wl_surface_commit(surface);
  b.busy = true;
  b.whole = false;
  b.owed.Clear();
  waiting_.Clear();
  waiting_whole_ = false;
  screens_.Flush();
}

}  // namespace larkspill
