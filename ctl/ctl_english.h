#pragma once
// kd36ctl speaks one language on standard error: English unless the locale
// is ja*. Its own messages are written in English and come out in Japanese
// from translations/kd36ctl_ja.ts; the engine's box texts (the window's
// Japanese) go into English through the window's own translation.
#include <QString>
#include <QTranslator>
#include <QtGlobal>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "app/language.h"

namespace kd36::ctl {

inline Language stderrLanguage()
{
    static const Language language = streamLanguage(messagesLocale());
    return language;
}

inline bool japaneseStderr() { return stderrLanguage() == Language::Japanese; }

inline std::string spoken(const std::string& text)
{
    return translated(stderrLanguage(), "QtBoxes", text);
}

// %1 … %9 of `text` filled in one pass, so that an argument holding "%2"
// stays as it is.
inline std::string filled(const std::string& text, std::initializer_list<std::string> args)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t n = i + 1 < text.size() ? size_t(text[i + 1] - '1') : args.size();
        if (text[i] == '%' && n < args.size()) {
            out += *(args.begin() + n);
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// kd36ctl's own message: `english` is a text marked with
// QT_TRANSLATE_NOOP("kd36ctl", …) so that lupdate collects it.
inline std::string said(const char* english, std::initializer_list<std::string> args = {})
{
    std::string text = english;
    if (japaneseStderr()) {
        static QTranslator japanese;
        static const bool loaded = japanese.load(QStringLiteral(":/i18n/kd36ctl_ja.qm"));
        const QString t = loaded ? japanese.translate("kd36ctl", english) : QString();
        if (!t.isEmpty())
            text = t.toStdString();
    }
    return filled(text, args);
}

// One line on standard error.
inline void complain(const char* english, std::initializer_list<std::string> args = {})
{
    std::fprintf(stderr, "kd36ctl: %s\n", said(english, args).c_str());
}

// An English text of a layer below kd36ctl (Qt's option parser, the file
// readers) in the language of standard error, when it is one of the fixed
// forms in `forms` (each with at most one %1); any other text is data and
// comes back as given.
template <size_t N>
std::string reworded(const std::string& text, const char* const (&forms)[N])
{
    for (const char* form : forms) {
        const std::string f = form;
        const size_t at = f.find("%1");
        if (at == std::string::npos) {
            if (text == f)
                return said(form);
            continue;
        }
        const std::string head = f.substr(0, at), tail = f.substr(at + 2);
        if (text.size() >= head.size() + tail.size() && text.compare(0, head.size(), head) == 0 &&
            text.compare(text.size() - tail.size(), tail.size(), tail) == 0)
            return said(form, {text.substr(head.size(), text.size() - head.size() - tail.size())});
    }
    return text;
}

// The reasons the file readers and writers give in English (the settings
// file's reader words some in Japanese too: FileRead::whyJa).
inline std::string reason(const std::string& text)
{
    static const char* const forms[] = {
        QT_TRANSLATE_NOOP("kd36ctl", "no such file"),
        QT_TRANSLATE_NOOP("kd36ctl", "a folder, not a file"),
        QT_TRANSLATE_NOOP("kd36ctl", "a folder"),
        QT_TRANSLATE_NOOP("kd36ctl", "not a regular file"),
        QT_TRANSLATE_NOOP("kd36ctl", "larger than %1 KiB"),
        QT_TRANSLATE_NOOP("kd36ctl", "a profile for another model (%1)"),
        QT_TRANSLATE_NOOP("kd36ctl", "UTF-32 text; save the profile as UTF-8"),
        QT_TRANSLATE_NOOP("kd36ctl", "UTF-16 text; save the profile as UTF-8"),
        QT_TRANSLATE_NOOP("kd36ctl", "a NUL byte at offset %1; a profile is UTF-8 text"),
        QT_TRANSLATE_NOOP("kd36ctl", "not UTF-8 text (offset %1)"),
        QT_TRANSLATE_NOOP("kd36ctl", "the file changed while it was being saved"),
        QT_TRANSLATE_NOOP("kd36ctl", "the file is %1 text; save it as UTF-8"),
        QT_TRANSLATE_NOOP("kd36ctl", "a NUL byte at offset %1"),
    };
    return reworded(text, forms);
}

} // namespace kd36::ctl
