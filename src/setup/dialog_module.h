#pragma once

// The entry point of the settings dialog module: shows the dialog on the settings file at
// `settings_path`, with its pictures and pages from `asset_dir`, until it is closed, or brings the
// user's open dialog (found in `runtime_dir`) to the front; returns the exit status.
extern "C" int larkspill_run_settings_dialog(int* argc, char** argv, const char* settings_path,
                                             const char* asset_dir, const char* runtime_dir);
using LarkspillRunSettingsDialog = decltype(&larkspill_run_settings_dialog);
inline constexpr const char* kRunSettingsDialogSymbol = "larkspill_run_settings_dialog";
