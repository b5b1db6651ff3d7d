#pragma once
// kd36ctl speaks English on standard error unless the locale is ja*: the
// engine's box texts (the window's Japanese) through the window's own
// English translation.
#include <string>

#include "app/language.h"

namespace kd36::ctl {

inline std::string spoken(const std::string& text, const char* context = "QtBoxes")
{
    static const Language language = streamLanguage(messagesLocale());
    return translated(language, context, text);
}

} // namespace kd36::ctl
