#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "scene/clock.h"
#include "scene/creatures.h"
#include "scene/frame_animation.h"
#include "scene/random.h"
#include "scene/scene_display.h"
#include "scene/window_system.h"
#include "scene/window_timer.h"
#include "settings/saver_settings.h"
#include "settings/settings_store.h"
#include "sound/ambient_sound.h"
#include "sound/sound_device.h"

namespace larkspill {

// What the saver window works with: the display, the sound, the settings, the desktop, time and
// chance, the asset folder, and the message box that says there is no display.
struct SaverServices {
  SceneDisplay& display;
  SoundDevice& sound;
  SettingsStore& store;
  WindowSystem& windows;
  Clock& clock;
  Random& random;
  std::string asset_path;  // the asset folder, ending in '/'
  std::function<void(const std::string& text, const std::string& title)> message_box;
  // Adds to each frame after the scene, before it is shown (the frame-rate figure); may be empty.
  std::function<void(SceneFrame& frame)> add_to_frame;
};

// A still or animated picture of the scene's own (a waterfall's water, a background): it never
// moves, and never roams across a wide screen.
struct ScenePicture {
  Pictures pictures;
  FrameAnimation animation;
  int32_t x = 0;
  int32_t y = 0;
};

// The full-screen saver window: its load, the frame it composes, the creatures, its timers, the
// input that ends it and its close-down. The creatures are objects of their own; the rest of the
// scene state is public so the event loop, the power watch and tests can see it.
class SaverWindow : public DisplayEvents {
 private:
  // Declared first: Sound and the timers are built from it.
  SaverServices services_;

 public:
  static constexpr const char* kCaption = "Larkspill -  Get DirectX";
  // The one message the saver shows: no display it can draw on.
  static constexpr const char* kNoDisplayText =
      "This program requires that you use a monitor that is capable of displaying 64K colors.";
  static constexpr const char* kNoDisplayTitle = "Error opening Direct Draw!";

  explicit SaverWindow(SaverServices services);

  // Loads the settings (writing the first-run values when the store has none), hides the
  // cursor, opens the display, builds the scene and starts the sounds. An AssetError leaves the
  // display closed and the cursor shown again, and is passed on.
  void Load();

  // Composes and shows one frame; a lost display ends the saver instead.
  void OnFrame() override;
  // Ends the saver on the mouse_sensitivity-th pointer move within a ten-second counting window.
  void OnPointerMoved() override;
  void OnButton() override;
  // The wheel is a mouse button to the user: turning it ends the saver as a press does.
  void OnWheel() override;
  void OnKey() override;
  // Ends the saver as a key does: a locker's screen must never wait behind it.
  void OnScreenTaken() override;

  // Once a second: clock time, sound-off count, scene rotation, the eagle.
  void EverySecond();
  // Once a second: lets resting birds fly again.
  void LetRestedBirdsFly();
  // Every 200 ms: drifts the second kind of butterfly left.
  void DriftSecondKindButterflies();
  // Power-off timer: on its fourth tick after the monitor went dark, silences the sounds.
  void PowerOffTick();

  // Every second, the rested birds' second, the 200 ms drift enabled; the 15-second power-off
  // tick, disabled.
  TimerSchedule& Timers() { return timers_; }
  // Called by the power watch when the monitor has powered off; starting it again changes
  // nothing.
  void StartPowerOffCountdown();

  // Orderly end: stops and releases the sounds, clears the saver-running flag, unloads the
  // window and ends with kExitOk. Nothing of the window runs afterwards.
  void CloseDown();
  // Releases the sounds and shows the cursor again; runs once, however the saver ends.
  void Unload();
  // The status the program ends with, once the saver has ended (the first end wins); every
  // handler then returns at once.
  std::optional<int> EndStatus() const { return end_status_; }

  // Picks the first enabled scene, the first waterfall winning when both are enabled.
  void PickFirstScene();
  // Opens the 800 x 600 display and loads the pictures of all thirteen parts of the scene.
  void OpenDisplayAndLoadScene();

  // The sound variables and procedures.
  AmbientSound Sound;

  // Settings, read once by Load; the sound reads its own through them.
  SaverSettings settings;

  // The scene's own pictures.
  std::string AssetPath;
  ScenePicture Water1;
  ScenePicture Background1;
  ScenePicture Water2;
  ScenePicture Water2Small;
  ScenePicture Background2;

  // Scene.
  int16_t CurrentWaterfall = 0;  // 1 or 2; 0 when no scene is enabled
  int16_t WaterfallCount = 0;
  bool Waterfall1Enabled = false;
  bool Waterfall2Enabled = false;
  double ClockTime = 0;  // time of day shown by the clock, as a fraction of a day
  int32_t ScrollCount = 0;

  // Creatures, in the order they are built and drawn.
  std::array<DriftingButterfly, 3> drifting_butterflies;
  std::array<ClimbingButterfly, 2> climbing_butterflies;
  Flock flock;
  std::array<larkspill::SingleBird, 2> single_birds;

  // Input.
  int16_t MouseMoves = 0;
  int32_t FirstMoveTime = 0;  // whole seconds since midnight; 0: no counting window open

  // Ticks of the power-off timer.
  int16_t PowerOffTicks = 0;

 private:
  void ReadSettings();
  Pictures Load(std::span<const char* const> files, bool keyed);
  void DrawScene(SceneFrame& frame);
  void DrawCreatures(SceneFrame& frame);
  void DrawTexts(SceneFrame& frame);
  // Marks the saver ended with `status` unless it has ended already.
  void End(int status);
  bool HasEnded() const { return end_status_.has_value(); }

  SceneFrame frame_;  // the frame being described; kept to reuse its memory
  TimerSchedule timers_;
  size_t power_off_timer_ = 0;
  std::optional<int> end_status_;
  bool unloaded_ = false;
};

}  // namespace larkspill
