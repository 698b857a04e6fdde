// Where the desktop program keeps its settings: a folder of its own in the user's configuration
// folder. Settings written by earlier versions to a dotfile in the home folder are taken over once.
#pragma once

#include <filesystem>
#include <string>

namespace ostravel {

// <configHome>/<name>/<name>.conf
std::filesystem::path SettingsFilePath(const std::filesystem::path& configHome, const std::string& name);

// Makes the settings file's folder (owner only) and, when the file does not exist yet but the old
// one does, copies the old one into place (owner only); the old file is left as it was. Returns
// false with a reason when the folder cannot be made or the copy fails; the program then runs with
// the settings it has.
bool PrepareSettingsFile(const std::filesystem::path& file, const std::filesystem::path& legacy,
                         std::string* error);

}  // namespace ostravel
