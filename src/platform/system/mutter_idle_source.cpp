#include "platform/system/mutter_idle_source.h"

#include <systemd/sd-bus.h>

namespace larkspill {
namespace {

constexpr const char* kMonitor = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kCore = "/org/gnome/Mutter/IdleMonitor/Core";

}  // namespace

std::unique_ptr<MutterIdleSource> MutterIdleSource::Open() {
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) return nullptr;
  auto source = std::unique_ptr<MutterIdleSource>(new MutterIdleSource(bus));
  if (!source->IdleTime()) return nullptr;
  return source;
}

MutterIdleSource::~MutterIdleSource() {
  sd_bus_flush_close_unref(bus_);
}

std::optional<std::chrono::milliseconds> MutterIdleSource::IdleTime() {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  uint64_t idle = 0;
  const bool read = sd_bus_call_method(bus_, kMonitor, kCore, kMonitor, "GetIdletime", &error,
                                       &reply, nullptr) >= 0 &&
                    sd_bus_message_read(reply, "t", &idle) > 0;
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  if (!read) return std::nullopt;
  return std::chrono::milliseconds(idle);
}

}  // namespace larkspill
