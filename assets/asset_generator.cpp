#include "asset_generator.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <span>
#include <thread>
#include <vector>

#include "creatures.h"
#include "dialog_pictures.h"
#include "picture.h"
#include "scene/scene_layout.h"
#include "sound_synth.h"
#include "waterfall_scene.h"

namespace larkspill::assets {
namespace {

struct File {
  std::string name;
  std::vector<uint8_t> bytes;
};

bool CreateFolder(const std::filesystem::path& folder, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec || !std::filesystem::is_directory(folder)) {
    error = "cannot create the asset folder " + folder.string() + ": " +
            (ec ? ec.message() : std::string("a file of that name is in the way"));
    return false;
  }
  return true;
}

// Writes a file whole or not at all: into a hidden file beside it, then renamed over it, so a
// reader never sees half a picture and a failed write leaves the old file in place.
bool WriteFile(const std::filesystem::path& folder, const File& file, std::string& error) {
  const std::filesystem::path path = folder / file.name,
                              part = folder / ("." + file.name + ".part");
  std::ofstream out(part, std::ios::binary | std::ios::trunc);
  if (out)
    out.write(reinterpret_cast<const char*>(file.bytes.data()), std::streamsize(file.bytes.size()));
  if (out) out.close();
  std::error_code ec;
  if (!out) ec = std::error_code(errno, std::generic_category());
  if (!ec) std::filesystem::rename(part, path, ec);
  if (ec) {
    error = "cannot write " + path.string() + ": " + ec.message();
    std::filesystem::remove(part, ec);
    return false;
  }
  return true;
}

bool WriteFiles(const std::filesystem::path& folder, const std::vector<File>& files,
                std::string& error) {
  for (const File& f : files)
    if (!WriteFile(folder, f, error)) return false;
  return true;
}

// The frames under the names the scene loads them by, one name a frame.
void AddFrames(std::vector<File>& files, std::span<const char* const> names,
               const std::vector<Picture>& frames) {
  for (size_t i = 0; i < frames.size() && i < names.size(); ++i)
    files.push_back({names[i], EncodeBmp24(frames[i])});
}

// Paints every picture the saver shows at `scale` into `files`, and returns the two scenes.
std::array<RenderedScene, 2> PaintShownPictures(double scale, const scene_layout::SceneArea& area,
                                                std::vector<File>& files) {
  // The two scenes take a while each; paint them side by side. Each job writes only its own
  // results, so the output does not depend on the order they finish.
  const SceneLayout layouts[2] = {SceneOneLayout(), SceneTwoLayout()};
  std::array<RenderedScene, 2> scenes;
  std::thread scene_thread([&] { scenes[1] = RenderWaterfallScene(layouts[1], scale, area); });
  scenes[0] = RenderWaterfallScene(layouts[0], scale, area);
  scene_thread.join();

  AddFrames(files, scene_layout::kFirstKindButterfly, DrawButterflyKind1(scale));
  AddFrames(files, scene_layout::kSecondKindButterfly, DrawButterflyKind2(scale));
  AddFrames(files, scene_layout::kFlock, DrawFlock(scale));
  AddFrames(files, scene_layout::kBird, DrawBird(scale));
  for (int i = 0; i < 2; ++i) {
    const SceneLayout& layout = layouts[i];
    files.push_back({layout.background_file, EncodeBmp24(scenes[i].background)});
    for (size_t s = 0; s < layout.water.size(); ++s)
      for (int f = 0; f < kWaterFrames; ++f)
        files.push_back(
            {layout.water[s].files[size_t(f)], EncodeBmp24(scenes[i].water_frames[s][size_t(f)])});
  }
  return scenes;
}

}  // namespace

bool GenerateAssets(const std::filesystem::path& folder, std::string& error) {
  if (!CreateFolder(folder, error)) return false;
  std::vector<File> sounds;
  std::thread sound_thread([&sounds] {
    sounds.push_back({"nccf01.wav", EncodeWav(SynthesizeWater())});
    sounds.push_back({"birds1.wav", EncodeWav(SynthesizeBirdSong())});
    sounds.push_back({"jungle.wav", EncodeWav(SynthesizeJungle())});
    sounds.push_back({"eagle.wav", EncodeWav(SynthesizeEagle())});
  });
  std::vector<File> files;
  const std::array<RenderedScene, 2> scenes = PaintShownPictures(1, {}, files);

  // The dialog shows the scenes as a 4:3 screen shows them, without the wide margins.
  const Picture shown[2] = {Crop(scenes[0].background, kWideMargin, 0, kSceneWidth, kSceneHeight),
                            Crop(scenes[1].background, kWideMargin, 0, kSceneWidth, kSceneHeight)};
  files.push_back({"preview.bmp", EncodeBmp8(MakePreview(shown[0]))});
  files.push_back({"dialog-wf1.bmp", EncodeBmp24(MakeSceneThumbnail(shown[0]))});
  files.push_back({"dialog-wf2.bmp", EncodeBmp24(MakeSceneThumbnail(shown[1]))});
  files.push_back({"dialog-screen.bmp", EncodeBmp24(MakeScreenPicture(shown[0]))});
  // The same painted at twice the size, for high-density screens.
  files.push_back({"dialog-wf1@2x.bmp", EncodeBmp24(MakeSceneThumbnail(shown[0], 2))});
  files.push_back({"dialog-wf2@2x.bmp", EncodeBmp24(MakeSceneThumbnail(shown[1], 2))});
  files.push_back({"dialog-screen@2x.bmp", EncodeBmp24(MakeScreenPicture(shown[0], 2))});

  sound_thread.join();
  for (const File& f : sounds) files.push_back(f);
  return WriteFiles(folder, files, error);
}

bool GenerateScaledPictures(const std::filesystem::path& folder, double scale, std::string& error,
                            const scene_layout::SceneArea& area) {
  if (!CreateFolder(folder, error)) return false;
  std::vector<File> files;
  PaintShownPictures(scale, area, files);
  return WriteFiles(folder, files, error);
}

}  // namespace larkspill::assets
