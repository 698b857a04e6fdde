#include "desktop/translations.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <optional>
#include <string_view>
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

std::vector<wxString>& ExtraFolders() {
    static std::vector<wxString> folders;
    return folders;
}

// The languages the program has catalogues for: the Preferences' choices but English and the
// environment's.
const std::vector<std::string_view>& SpokenLanguages() {
    static const std::vector<std::string_view> languages = [] {
        std::vector<std::string_view> found;
        for (const PreferenceChoice& choice : kLanguageChoices)
            if (*choice.value != '\0' && std::string_view(choice.value) != "en")
                found.emplace_back(choice.value);
        return found;
    }();
    return languages;
}

// Where catalogues are looked for: any named by AddCatalogueFolder, the program's own (built or
// installed beside it), then the toolkit's (wxstd) where the toolkit was installed.
std::vector<wxString> LookupFolders() {
    std::vector<wxString> folders = ExtraFolders();
    const wxFileName program(wxStandardPaths::Get().GetExecutablePath());
    for (const wxString& relative : {wxString("locale"), wxString(OSTRAVEL_LOCALE_FROM_BIN)}) {
        wxFileName folder(program.GetPath() + wxFILE_SEP_PATH + relative, wxString());
        folder.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
        if (folder.DirExists()) folders.push_back(folder.GetPath());
    }
#ifdef wxHAS_STDPATHS_INSTALL_PREFIX
    const wxString toolkit = wxStandardPaths::Get().GetInstallPrefix() + "/share/locale";
    if (std::find(folders.begin(), folders.end(), toolkit) == folders.end() && wxDirExists(toolkit))
        folders.push_back(toolkit);
#endif
    return folders;
}

// Only the languages the program speaks, each file looked for where it would be: the toolkit's
// own search lists every language folder of the system's locale tree, and makes the language
// list on the way, which cost an English start a tenth of its time.
class ShippedCatalogues : public wxTranslationsLoader {
public:
    ShippedCatalogues() : folders_(LookupFolders()) {}

    wxMsgCatalog* LoadCatalog(const wxString& domain, const wxString& language) override {
        const wxString file = Find(domain, language);
        return file.empty() ? nullptr : wxMsgCatalog::CreateFromFile(file, domain);
    }

    wxArrayString GetAvailableTranslations(const wxString& domain) const override {
        wxArrayString languages;
        for (const std::string_view language : SpokenLanguages()) {
            const wxString name = WxText(language);
            if (!Find(domain, name).empty()) languages.push_back(name);
        }
        return languages;
    }

private:
    wxString Find(const wxString& domain, const wxString& language) const {
        for (const wxString& folder : folders_) {
            const wxString file = folder + "/" + language + "/LC_MESSAGES/" + domain + ".mo";
            if (wxFileExists(file)) return file;
        }
        return {};
    }

    std::vector<wxString> folders_;
};

// The language the environment asks for, if the program speaks it; empty for English. Read here
// rather than by the toolkit, which makes its table of every language to do it.
wxString EnvironmentLanguage() {
#ifdef __WXMSW__
    // The user's UI language, which only the system knows.
    const wxString language = wxTranslations::Get()->GetBestTranslation(kDomain, "en");
    return language.StartsWith("en") ? wxString() : language;
#else
    const auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string_view(value != nullptr ? value : "");
    };
    std::string_view locale = variable("LC_ALL");
    if (locale.empty()) locale = variable("LC_MESSAGES");
    if (locale.empty()) locale = variable("LANG");
    return WxText(PreferredLanguage(variable("LANGUAGE"), locale, SpokenLanguages()));
#endif
}

}  // namespace

void AddCatalogueFolder(const wxString& folder) { ExtraFolders().push_back(folder); }

void SetUpTranslations() {
    // Dates and times as the environment's locale writes them; numbers stay as the program and
    // the host write them (a decimal comma would change what is parsed and saved).
    wxUILocale::UseDefault();
    std::setlocale(LC_NUMERIC, "C");

    auto* translations = new wxTranslations;
    translations->SetLoader(new ShippedCatalogues);
    wxTranslations::Set(translations);
    SettingsFileStore store;
    wxString language = WxText(Preferences(store).Text(pref::kLanguage));
    if (language.empty()) language = EnvironmentLanguage();
    if (language.empty() || language == "en") {
        // English needs no catalogue; the core's texts stay as written, whatever the catalogues
        // the command line was read with would say.
        InstallTranslator(nullptr, nullptr);
        return;
    }
    translations->SetLanguage(language);
    translations->AddStdCatalog();
    translations->AddCatalog(kDomain, wxLANGUAGE_ENGLISH_US);
    InstallTranslator(&CoreText, &CorePlural);
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
