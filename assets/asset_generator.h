// Writes every picture and sound the saver and its dialog load into one folder.
#pragma once

#include <filesystem>
#include <string>

namespace larkspill::assets {

// Creates the folder if needed and writes all asset files into it. On failure returns false and
// says which file or folder could not be written, and why.
bool GenerateAssets(const std::filesystem::path& folder, std::string& error);

// Writes every picture the saver shows (backgrounds, water and creatures) painted `scale` times
// as large, under the same names, for a screen larger than the scene. Each file is replaced whole
// or not at all.
bool GenerateScaledPictures(const std::filesystem::path& folder, double scale, std::string& error);

}  // namespace larkspill::assets
