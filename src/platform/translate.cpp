#include "platform/translate.h"

#include <algorithm>
#include <atomic>
#include <optional>

namespace ostravel {

namespace {

// Written once before the threads start, read by all of them.
std::atomic<TextTranslator> textTranslator{nullptr};
std::atomic<PluralTranslator> pluralTranslator{nullptr};

}  // namespace

void InstallTranslator(TextTranslator text, PluralTranslator plural) {
    textTranslator.store(text);
    pluralTranslator.store(plural);
}

std::string Translated(const char* english) { return TranslatedIn(nullptr, english); }

std::string TranslatedIn(const char* context, const char* english) {
    const TextTranslator translate = textTranslator.load();
    return translate != nullptr ? translate(context, english) : std::string(english);
}

std::string TranslatedPlural(const char* singular, const char* plural, unsigned long count) {
    const PluralTranslator translate = pluralTranslator.load();
    if (translate != nullptr) return translate(singular, plural, count);
    return count == 1 ? singular : plural;
}

std::string PreferredLanguage(std::string_view languageList, std::string_view locale,
                              std::span<const std::string_view> spoken) {
    // One entry: language[_territory][.codeset][@modifier].
    const auto pick = [spoken](std::string_view entry) -> std::optional<std::string> {
        entry = entry.substr(0, entry.find_first_of(".@"));
        if (entry.empty()) return std::nullopt;
        if (entry == "C" || entry == "POSIX") return std::string();
        const std::string_view base = entry.substr(0, entry.find('_'));
        if (base == "en") return std::string();
        for (const std::string_view candidate : {entry, base})
            if (std::find(spoken.begin(), spoken.end(), candidate) != spoken.end())
                return std::string(candidate);
        return std::nullopt;
    };
    for (std::size_t start = 0; start <= languageList.size();) {
        const std::size_t end = std::min(languageList.find(':', start), languageList.size());
        if (auto found = pick(languageList.substr(start, end - start))) return *found;
        start = end + 1;
    }
    return pick(locale).value_or(std::string());
}

std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::size_t index = i + 2 < pattern.size() && pattern[i] == '{' && pattern[i + 2] == '}'
                                      ? static_cast<std::size_t>(pattern[i + 1] - '1')
                                      : parts.size();
        if (index < parts.size()) {
            text += parts.begin()[index];
            i += 2;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

}  // namespace ostravel
