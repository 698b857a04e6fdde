// Windows: a value named after the application under the user's Run key, holding the program's
// quoted path and its arguments.
#ifdef _WIN32

#include "platform/autostart.h"

#include <windows.h>

#include "platform/windows/widetext.h"

namespace ostravel {

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Where Task Manager's Startup tab records entries the user switched off, by the same name.
constexpr wchar_t kApprovedKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

// One word of a command line as CommandLineToArgvW splits it: quoted, with the backslashes before
// a quote (and before the closing one) doubled.
std::wstring CommandWord(const std::wstring& word) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

bool Fail(std::string* error, const std::string& text, LSTATUS status) {
    if (error != nullptr) *error = text + " (error " + std::to_string(status) + ").";
    return false;
}

}  // namespace

std::filesystem::path AutostartFile(const std::string&) { return {}; }

bool AutostartEnabled(const std::string& appId) {
    const std::wstring name = Wide(appId);
    if (name.empty() || RegGetValueW(HKEY_CURRENT_USER, kRunKey, name.c_str(), RRF_RT_REG_SZ, nullptr,
                                     nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    // Switched off in Task Manager: the first byte of the recorded state is odd.
    BYTE state[12] = {};
    DWORD size = sizeof state;
    const LSTATUS read =
        RegGetValueW(HKEY_CURRENT_USER, kApprovedKey, name.c_str(), RRF_RT_REG_BINARY, nullptr, state, &size);
    return read != ERROR_SUCCESS || size == 0 || (state[0] & 1) == 0;
}

bool WriteAutostart(const AutostartEntry& entry, std::string* error) {
    const std::wstring name = Wide(entry.appId);
    if (name.empty() || entry.exec.empty()) {
        if (error != nullptr) *error = "The autostart entry needs a name and a program.";
        return false;
    }
    std::wstring command = CommandWord(Wide(entry.exec));
    for (const std::string& argument : entry.arguments) {
        const std::wstring wide = Wide(argument);
        const bool plain = !wide.empty() && wide.find_first_of(L" \t\"") == std::wstring::npos;
        command += L" " + (plain ? wide : CommandWord(wide));
    }
    HKEY key = nullptr;
    LSTATUS status =
        RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return Fail(error, "Cannot open the user's Run key in the registry", status);
    status = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                            static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return Fail(error, "Cannot write the autostart value to the registry", status);
    // Asked for now: an earlier "off" from Task Manager would otherwise keep it from starting.
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kApprovedKey, name.c_str());
    return true;
}

bool RemoveAutostart(const std::string& appId, std::string* error) {
    const std::wstring name = Wide(appId);
    if (name.empty()) return true;
    const LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, name.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) return true;
    return Fail(error, "Cannot remove the autostart value from the registry", status);
}

}  // namespace ostravel

#endif
