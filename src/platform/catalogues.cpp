#include "platform/catalogues.h"

#ifndef _WIN32
#include <clocale>
#include <filesystem>
#include <string>
#include <system_error>

#include <libintl.h>

#include "platform/translate.h"

#ifndef OSTRAVEL_LOCALE_FROM_BIN
#error "OSTRAVEL_LOCALE_FROM_BIN comes from the build (the catalogues' folder relative to the program's)"
#endif
#endif

namespace ostravel {

#ifndef _WIN32

namespace {

constexpr char kDomain[] = "ostravel";

// A text with a context is stored as "context\4text"; for a text it has no translation of, gettext
// hands back the key it was given, which for these is not the English.
std::string CatalogueText(const char* context, const char* english) {
    if (context == nullptr) return dgettext(kDomain, english);
    const std::string key = std::string(context) + '\4' + english;
    const char* found = dgettext(kDomain, key.c_str());
    return found == key.c_str() ? std::string(english) : std::string(found);
}

std::string CataloguePlural(const char* singular, const char* plural, unsigned long count) {
    return dngettext(kDomain, singular, plural, count);
}

}  // namespace

void UseEnvironmentCatalogues() {
    std::setlocale(LC_ALL, "");
    // Numbers as the host, the settings and JSON write them, whatever the language.
    std::setlocale(LC_NUMERIC, "C");
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return;
    for (const char* relative : {"locale", OSTRAVEL_LOCALE_FROM_BIN}) {
        const std::filesystem::path folder = (program.parent_path() / relative).lexically_normal();
        if (!std::filesystem::is_directory(folder, error)) continue;
        bindtextdomain(kDomain, folder.c_str());
        bind_textdomain_codeset(kDomain, "UTF-8");
        InstallTranslator(&CatalogueText, &CataloguePlural);
        return;
    }
}

#else

void UseEnvironmentCatalogues() {}

#endif

}  // namespace ostravel
