#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "settings/key_table.h"
#include "settings/settings_store.h"

namespace larkspill {

// How long the flock rests between flights: not at all ("Always"), or a number of seconds.
enum class FlockRest : uint8_t { AlwaysFlying, Seconds };
// When all sound goes off: never, or after a number of minutes.
enum class SoundGoesOff : uint8_t { Never, AfterMinutes };

// Every setting the saver reads, typed as the saver uses it. A switch is on only when the store
// holds exactly 1, the monitor switch excepted (anything but 0 keeps the monitor on).
struct SaverSettings {
  // Creatures.
  int16_t butterfly_count = 0;  // of the first kind, 1 to 3
  int16_t bird_step_delay = 0;  // milliseconds between steps of the flock and the single birds
  bool show_single_birds = false;
  FlockRest flock_rest = FlockRest::Seconds;
  double flock_rest_seconds = 0;
  bool show_first_butterflies = false;
  bool show_second_butterflies = false;
  bool show_flock = false;

  // Clock and message.
  std::string font_face;
  bool show_clock = false;
  int16_t clock_font_size = 0;
  int16_t clock_corner = 0;  // 1 upper left, 2 lower left, 3 upper right, 4 lower right; else none
  bool show_user_message = false;
  std::string user_message;
  int16_t message_font_size = 0;
  bool fast_start = false;  // draw with Arial whatever font_face says

  // Scenes, water, pointer.
  int16_t scene_minutes = 0;
  int32_t scene_seconds = 0;  // how long each scene shows when both are in the rotation
  bool scene1_in_rotation = false;
  bool scene2_in_rotation = false;
  int16_t water_frame_delay = 0;  // milliseconds between the water's frames
  int16_t mouse_sensitivity = 0;  // the pointer move that ends the saver

  // Sound: switches, volumes in hundredths of a decibel, the sound-off time.
  bool water_sound_on = false;
  bool bird_song_on = false;
  bool jungle_sound_on = false;
  bool eagle_call_on = false;
  int16_t water_sound_volume = 0;
  int16_t bird_song_volume = 0;
  int16_t jungle_sound_volume = 0;
  int16_t eagle_call_volume = 0;
  SoundGoesOff sound_off = SoundGoesOff::Never;
  double sound_off_minutes = 0;  // any number; only the listed minutes have a time

  bool keep_monitor_on = false;
  // One scene spread over the bounding box of every monitor instead of one on each.
  bool span_monitors = false;
};

// Reads the saver's settings from the store into `settings`, in one pass over the settings it
// reads, each converted as the saver uses it; with `only`, just those keys. An unusable stored
// number takes its first-run value, an unusable sound-off time is Never; standard error says so.
void ReadSaverSettings(SettingsStore& store, SaverSettings& settings,
                       std::span<const Key> only = {});

}  // namespace larkspill
