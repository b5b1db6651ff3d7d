#include "language.h"

#include <QCoreApplication>
#include <QTranslator>

#include <cstdlib>

namespace kd36 {

namespace {

const char* const kEnglishFile = ":/i18n/kd36_en.qm";
Language g_inUse = Language::Japanese;

QTranslator& english()
{
    static QTranslator t;
    static const bool loaded = t.load(QString::fromLatin1(kEnglishFile));
    (void)loaded;
    return t;
}

bool startsWith(std::string_view s, std::string_view head)
{
    return s.substr(0, head.size()) == head;
}

} // namespace

std::string messagesLocale()
{
    // An empty variable counts as unset, as for the C library.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* v = std::getenv(name); v && *v)
            return v;
    return {};
}

Language windowLanguage(std::string_view locale)
{
    const std::string_view base = locale.substr(0, locale.find_first_of(".@"));
    if (base.empty() || base == "C" || base == "POSIX")
        return Language::Japanese;
    return streamLanguage(locale);
}

Language streamLanguage(std::string_view locale)
{
    return startsWith(locale, "ja") ? Language::Japanese : Language::English;
}

const char* languageKey(Language language)
{
    return language == Language::English ? "en" : "ja";
}

std::optional<Language> languageFromKey(std::string_view key)
{
    if (key == "ja")
        return Language::Japanese;
    if (key == "en")
        return Language::English;
    return std::nullopt;
}

bool useLanguage(Language language)
{
    QTranslator& t = english();
    QCoreApplication::removeTranslator(&t);
    g_inUse = Language::Japanese;
    if (language == Language::Japanese)
        return true;
    if (t.isEmpty() || !QCoreApplication::installTranslator(&t))
        return false;
    g_inUse = Language::English;
    return true;
}

Language languageInUse()
{
    return g_inUse;
}

std::string translated(Language language, const char* context, const std::string& text)
{
    if (language == Language::Japanese || text.empty())
        return text;
    const QString t = english().translate(context, text.c_str());
    return t.isEmpty() ? text : t.toStdString();
}

} // namespace kd36
