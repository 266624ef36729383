#pragma once

#include <filesystem>
#include <string>

#include "settings/settings_store.h"

namespace larkspill {

// The folder the dialog's pictures come from when the caller names none: the program's asset
// folder, fixed when it is built.
std::string DefaultDialogAssetDir();

// Shows the Control Box, centred on the screen, and runs the user-interface loop until the
// dialog is closed. Creates the application object; returns 0. With a runtime folder, a dialog
// of the same user that is already open comes to the front instead (also 0); 1 when that dialog
// does not answer.
int RunSettingsDialog(int& argc, char** argv, SettingsStore& store,
                      const std::string& asset_dir = DefaultDialogAssetDir(),
                      const std::filesystem::path& runtime_dir = {});

}  // namespace larkspill
