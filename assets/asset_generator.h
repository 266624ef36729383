// Writes every picture and sound the saver and its dialog load into one folder.
#pragma once

#include <filesystem>
#include <string>

#include "scene/scene_layout.h"

namespace larkspill::assets {

// Creates the folder if needed and writes all asset files into it. On failure returns false and
// says which file or folder could not be written, and why.
bool GenerateAssets(const std::filesystem::path& folder, std::string& error);

// Writes every picture the saver shows (backgrounds, water and creatures) painted `scale` times
// as large, under the same names, for a screen larger than the scene; the backgrounds cover
// `area` (a desk of monitors one scene spreads across). Each file is replaced whole or not at all.
bool GenerateScaledPictures(const std::filesystem::path& folder, double scale, std::string& error,
                            const scene_layout::SceneArea& area = {});

}  // namespace larkspill::assets
