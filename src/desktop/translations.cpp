#include "desktop/translations.h"

#include <algorithm>
#include <clocale>
#include <optional>
#include <vector>

#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/uilocale.h>

#include "config/preferences.h"
#include "desktop/preferenceswindow.h"
#include "desktop/wxtext.h"
#include "protocol/commands.h"

#ifndef OSTRAVEL_LOCALE_FROM_BIN
#error "OSTRAVEL_LOCALE_FROM_BIN comes from the build (the catalogues' folder relative to the program's)"
#endif

namespace ostravel {

namespace {

constexpr char kDomain[] = "ostravel";
constexpr char kMenuContext[] = "menu";

// The core's texts are looked up from the session's threads too. wxGetTranslation keeps a copy of
// every text it finds no translation for in a set of its own, which is no place for threads; the
// catalogues themselves are only read once loaded.
std::string CoreText(const char* context, const char* english) {
    const wxTranslations* translations = wxTranslations::Get();
    const wxString* text =
        translations != nullptr
            ? translations->GetTranslatedString(wxString::FromUTF8(english), wxString(),
                                                context != nullptr ? wxString::FromUTF8(context) : wxString())
            : nullptr;
    return text != nullptr ? NarrowText(*text) : std::string(english);
}

std::string CorePlural(const char* singular, const char* plural, unsigned long count) {
    const wxTranslations* translations = wxTranslations::Get();
    const wxString* text =
        translations != nullptr
            ? translations->GetTranslatedString(wxString::FromUTF8(singular), static_cast<unsigned>(count))
            : nullptr;
    return text != nullptr ? NarrowText(*text) : std::string(count == 1 ? singular : plural);
}

void AddLookupFolders() {
    const wxFileName program(wxStandardPaths::Get().GetExecutablePath());
    for (const wxString& relative : {wxString("locale"), wxString(OSTRAVEL_LOCALE_FROM_BIN)}) {
        wxFileName folder(program.GetPath() + wxFILE_SEP_PATH + relative, wxString());
        folder.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
        if (folder.DirExists()) wxFileTranslationsLoader::AddCatalogLookupPathPrefix(folder.GetPath());
    }
}

}  // namespace

void SetUpTranslations() {
    // Dates and times as the environment's locale writes them; numbers stay as the program and
    // the host write them (a decimal comma would change what is parsed and saved).
    wxUILocale::UseDefault();
    std::setlocale(LC_NUMERIC, "C");

    AddLookupFolders();
    auto* translations = new wxTranslations;
    wxTranslations::Set(translations);
    SettingsFileStore store;
    const std::string chosen = Preferences(store).Text(pref::kLanguage);
    if (!chosen.empty()) translations->SetLanguage(WxText(chosen));
    translations->AddStdCatalog();
    translations->AddCatalog(kDomain, wxLANGUAGE_ENGLISH_US);
    InstallTranslator(&CoreText, &CorePlural);
}

wxString TranslationLanguage() {
    wxTranslations* translations = wxTranslations::Get();
    if (translations == nullptr) return {};
    const wxString language = translations->GetBestTranslation(kDomain, wxLANGUAGE_ENGLISH_US);
    return language.StartsWith("en") ? wxString() : language;
}

wxString TrMenuPart(std::string_view part) {
    // The translated part at the same position of the first place that has it; translators keep a
    // place's shape: as many parts, in the same order.
    const auto inPlace = [part](const CommandInfo& row) -> std::optional<wxString> {
        if (row.menuPlace == nullptr) return std::nullopt;
        const std::vector<std::string_view> english = PlaceParts(row.menuPlace);
        const auto at = std::find(english.begin(), english.end(), part);
        if (at == english.end()) return std::nullopt;
        const std::string translated = NarrowText(Tr(kMenuContext, row.menuPlace));
        const std::vector<std::string_view> parts = PlaceParts(translated);
        return WxText(parts.size() == english.size() ? parts[at - english.begin()] : part);
    };
    for (const CommandInfo& row : CommandCatalogue())
        if (auto found = inPlace(row)) return *found;
    for (const CommandInfo& row : FrameworkCommands())
        if (auto found = inPlace(row)) return *found;
    for (const ToggleInfo& toggle : SettingToggles())
        if (auto found = inPlace(toggle.command)) return *found;
    return WxText(part);
}

}  // namespace ostravel
