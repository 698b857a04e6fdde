// The program in the user's language: the catalogues (po/, built into ostravel.mo) and the toolkit's
// own (wxstd) for the language chosen in Preferences, or else the one the environment asks for
// (LANGUAGE, LC_ALL, LC_MESSAGES, LANG; the user's UI language on Windows); English where no
// catalogue fits. Dates and times follow the environment's locale.
// The catalogues are looked for in <program's folder>/locale (the build tree, the Windows program)
// and then in <program's folder>/../share/locale (installed).
#pragma once

#include <string_view>

#include <wx/string.h>
#include <wx/translation.h>

#include "platform/translate.h"

namespace ostravel {

// Once, as early as the settings can be read (the chosen language is a preference) and before any
// window or session thread: loads the catalogues and lets the core's texts through them.
void SetUpTranslations();
// A folder of catalogues (<folder>/<lang>/LC_MESSAGES/ostravel.mo) to look in first, for a program
// that is not where the build or the package puts it; before SetUpTranslations.
void AddCatalogueFolder(const wxString& folder);

// A core text (marked with N_ or NC_ where it is written) in the user's language.
inline wxString Tr(const char* english) { return wxGetTranslation(wxString::FromUTF8(english)); }
inline wxString Tr(const char* context, const char* english) {
    return wxGetTranslation(wxString::FromUTF8(english), wxString(), wxString::FromUTF8(context));
}
// One part of a menu place of the command tables ("&Server/S&top": "&Server" or "S&top"), as the
// translated place has it; the tables' popup titles and items go through this.
wxString TrMenuPart(std::string_view part);

}  // namespace ostravel
