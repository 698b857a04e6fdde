// The texts the user reads are written in English and marked for the catalogues (po/): N_() for a
// plain text, NC_() for one that needs a context (one English word meaning two things). A mark costs
// nothing; the text is translated where it is shown, and a text built from parts is translated as
// its pattern ("{1}" for the first part, "{2}" for the second) before the parts go in.
// The desktop installs its catalogue's lookup once at start-up, before any other thread runs;
// without one (the tests, ostravel-ctl) every text stays English. Never translated: what goes to the
// host, what the host sends, and every word a reply is recognised by.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#ifndef N_
#define N_(text) text
#endif
#ifndef NC_
#define NC_(context, text) text
#endif

namespace ostravel {

// Both return UTF-8; context is null for a text without one.
using TextTranslator = std::string (*)(const char* context, const char* english);
using PluralTranslator = std::string (*)(const char* singular, const char* plural, unsigned long count);

// Once, before any thread that shows texts starts.
void InstallTranslator(TextTranslator text, PluralTranslator plural);

std::string Translated(const char* english);
std::string TranslatedIn(const char* context, const char* english);
// The singular or a plural form, as the language counts `count`.
std::string TranslatedPlural(const char* singular, const char* plural, unsigned long count);

// The first of the user's languages the program speaks (one of `spoken`, as "de"), or empty for
// English: `languageList` is $LANGUAGE ("de_AT:fr"), `locale` the first set of $LC_ALL,
// $LC_MESSAGES and $LANG ("de_DE.UTF-8@euro"). English, "C" or "POSIX" ends the search; a language
// not spoken is passed over.
std::string PreferredLanguage(std::string_view languageList, std::string_view locale,
                              std::span<const std::string_view> spoken);

// `pattern` with "{1}", "{2}", ... "{9}" replaced by the parts in order; anything else stays.
std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> parts);

}  // namespace ostravel
