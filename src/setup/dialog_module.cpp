// The settings dialog as a module the program loads only for "/c", so the saver itself never
// maps Qt: its start and its memory stay those of an SDL program.
#include "settings/ini_file_store.h"
#include "setup/dialog_module.h"
#include "setup/run_settings_dialog.h"

extern "C" __attribute__((visibility("default"))) int larkspill_run_settings_dialog(
    int* argc, char** argv, const char* settings_path, const char* asset_dir,
    const char* runtime_dir) {
  larkspill::IniFileStore store(settings_path);
  return larkspill::RunSettingsDialog(*argc, argv, store, asset_dir, runtime_dir);
}
