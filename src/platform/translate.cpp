#include "platform/translate.h"

#include <atomic>

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
