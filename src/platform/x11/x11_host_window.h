#pragma once

#include <cstdint>
#include <optional>

namespace larkspill {

// What a host's window is to the saver: gone, one that takes input but cannot be drawn into, or
// a window to draw into.
enum class HostWindow { Missing, InputOnlyClass, Drawable };
// The state of the X window `id`; nullopt without an X display to ask.
std::optional<HostWindow> HostWindowState(uint64_t id);

// Whether a host's window is a preview pane (a settings app's thumbnail) rather than a screen:
// less than half the area of the monitor it is on (the X screen where SDL knows no monitor
// there). A host's saver window covers its whole monitor; the preview panes of the hosts'
// settings programs are a quarter of it or less. Unknown, as for a window already gone, counts
// as a screen.
bool IsPreviewPane(uint64_t id);

// The id of the X display's root window, for a host that names no window of its own; 0 when
// there is no X display.
uint64_t RootWindowId();

}  // namespace larkspill
