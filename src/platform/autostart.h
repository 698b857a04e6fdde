// Starting the program when the user logs in. On Linux an XDG autostart entry (a desktop entry in
// the user's autostart folder), on Windows a value under the user's
// HKCU\Software\Microsoft\Windows\CurrentVersion\Run key named after the application.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ostravel {

struct AutostartEntry {
    std::string appId;    // the entry's name: <appId>.desktop, or the Run value's name
    std::string name;     // Name= (Linux)
    std::string comment;  // Comment= (Linux)
    // The program: a name looked up in PATH or an absolute path, spaces allowed. It travels as one
    // word, quoted as the platform wants it.
    std::string exec;
    std::string icon;  // Icon= (Linux): an icon name or an absolute path
    // Given to the program after `exec`, each as one word (e.g. "--hidden").
    std::vector<std::string> arguments;
};

// Linux: $XDG_CONFIG_HOME/autostart/<appId>.desktop ($HOME/.config when XDG_CONFIG_HOME is unset
// or not absolute). Windows: empty, the entry is a registry value.
std::filesystem::path AutostartFile(const std::string& appId);

// Whether the entry is there and not switched off (Hidden=true or X-GNOME-Autostart-enabled=false,
// which desktop settings tools write instead of removing the file).
bool AutostartEnabled(const std::string& appId);

// Writes the entry (the file atomically: a temporary file renamed into place) or removes it; false
// with a sentence for the user in `error`. Removing an entry that is not there is success.
bool WriteAutostart(const AutostartEntry& entry, std::string* error);
bool RemoveAutostart(const std::string& appId, std::string* error);

// The Exec= value of a desktop entry for `program` and `arguments`, quoted and escaped as desktop
// entries want it; empty when `program` cannot be named in one (it is empty or holds '=').
std::string DesktopEntryExec(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace ostravel
