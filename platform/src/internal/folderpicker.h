// What answers SHBrowseForFolderW. Under the X11 back end the desktop's folder chooser
// (zenity) does; under the headless back end the answer comes from KV_PICK_FOLDER (the
// host path of the chosen folder; unset or empty means cancelled). A test may replace
// either with a hook that also sees what the picker was asked.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kvplat {

struct FolderPickerRequest {
  std::wstring title;
  std::string initialFolder;  // host path, "" when none was selected
};

// The host path of the chosen folder, or nullopt when the user cancelled.
using FolderPickerHook = std::function<std::optional<std::string>(const FolderPickerRequest&)>;

// Replaces the picker; an empty hook restores the default.
void SetFolderPickerHook(FolderPickerHook hook);

}  // namespace kvplat
