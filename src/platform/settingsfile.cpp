#include "platform/settingsfile.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace ostravel {

namespace fs = std::filesystem;

fs::path SettingsFilePath(const fs::path& configHome, const std::string& name) {
    return configHome / name / (name + ".conf");
}

namespace {

bool Fail(std::string* error, const std::string& text, const std::error_code& ec) {
    if (error != nullptr) *error = text + ": " + ec.message();
    return false;
}

}  // namespace

bool PrepareSettingsFile(const fs::path& file, const fs::path& legacy, std::string* error) {
    std::error_code ec;
    const fs::path folder = file.parent_path();
    if (fs::create_directories(folder, ec)) {
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
    }
    if (ec) return Fail(error, "cannot make " + folder.string(), ec);

    if (fs::exists(file, ec) || !fs::is_regular_file(legacy, ec)) return true;
    // Written beside the file and renamed, so a copy cut short never becomes the settings.
    const fs::path partial = file.string() + ".new";
    {
        std::ifstream in(legacy, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        fs::permissions(partial, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace,
                        ec);
        if (!in.is_open() || !out.write(text.data(), static_cast<std::streamsize>(text.size())) ||
            !out.flush()) {
            out.close();
            fs::remove(partial, ec);
            return Fail(error, "cannot copy " + legacy.string(), std::make_error_code(std::errc::io_error));
        }
    }
    fs::rename(partial, file, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        return Fail(error, "cannot write " + file.string(), ec);
    }
    return true;
}

}  // namespace ostravel
