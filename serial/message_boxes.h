#pragma once
// Every message box goes through this interface, so tests can answer them.
// Texts are UTF-8. The title is the main window's caption unless given.
#include <cerrno>
#include <cstdio>
#include <string>

namespace kd36 {

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Exclamation icon, OK button. `detail` is optional informative text
    // (for instance the system's reason for a failed open).
    virtual void warning(const std::string& text, const std::string& detail = {},
                         const std::string& title = {}) = 0;
    // Information icon, OK button.
    virtual void information(const std::string& text, const std::string& detail = {}) = 0;
    // Yes/No question; true for Yes. `warningIcon` picks the icon.
    virtual bool question(const std::string& text, bool warningIcon) = 0;
    virtual void beep() = 0;
    // What would have been a box where none may be shown (the program is
    // closing): one line on standard error, in the program's language.
    virtual void report(const std::string& text, const std::string& detail = {})
    {
        std::fprintf(stderr, "%s: %s%s%s\n", program_invocation_short_name, text.c_str(), detail.empty() ? "" : ": ",
                     detail.c_str());
    }
};

} // namespace kd36
