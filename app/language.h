#pragma once
// The language the windows and kd36ctl speak. The sources are Japanese, the
// tool's own language; English comes from the translation embedded at build
// time (translations/kd36_en.ts).
#include <optional>
#include <string>
#include <string_view>

namespace kd36 {

enum class Language { Japanese, English };

// The messages locale as the C library picks it: LC_ALL, then LC_MESSAGES,
// then LANG; empty when none is set.
std::string messagesLocale();

// The window's: Japanese for ja*, for C and POSIX and when nothing is set;
// English for any other locale.
Language windowLanguage(std::string_view locale);
// kd36ctl's standard error: Japanese only for ja*.
Language streamLanguage(std::string_view locale);

// The settings file's word for a language ("ja", "en"), and back; another
// word is no choice.
const char* languageKey(Language language);
std::optional<Language> languageFromKey(std::string_view key);

// Makes Qt's translation calls answer in `language` from now on (the
// application object must exist). False when the English translation is
// missing from the build.
bool useLanguage(Language language);

// The language useLanguage() last made current (Japanese before any call).
Language languageInUse();

// `text` of `context` in `language`, without an application object
// (kd36ctl's messages). Untranslated texts come back as given.
std::string translated(Language language, const char* context, const std::string& text);

} // namespace kd36
