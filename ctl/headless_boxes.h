#pragma once
// Message boxes of a run without a window: every box goes to standard
// error as one line, a question is answered No (nothing is confirmed on a
// user's behalf), and the last warning is kept for the caller.
#include <cstdio>
#include <string>

#include "ctl/ctl_english.h"
#include "serial/message_boxes.h"

namespace kd36 {

class HeadlessBoxes final : public MessageBoxes {
public:
    void warning(const std::string& text, const std::string& detail, const std::string&) override
    {
        lastWarning = text;
        lastDetail = detail;
        ++shown;
        if (!quiet)
            print(text, detail);
    }
    void information(const std::string& text, const std::string& detail) override
    {
        ++shown;
        if (!quiet)
            print(text, detail);
    }
    bool question(const std::string& text, bool) override
    {
        print(ctl::said(QT_TRANSLATE_NOOP("kd36ctl", "%1 -> No"), {ctl::spoken(text)}), {});
        ++shown;
        return false;
    }
    void beep() override {}
    void report(const std::string& text, const std::string& detail) override { print(text, detail); }

    bool quiet = false; // the caller reports (a failed open)
    std::string lastWarning;
    std::string lastDetail;
    size_t shown = 0; // boxes of every kind

private:
    // One line, in the language of standard error (see ctl_english.h).
    static void print(const std::string& text, const std::string& detail)
    {
        std::string line = ctl::spoken(text);
        if (!detail.empty())
            line += ": " + ctl::spoken(detail);
        for (char& ch : line)
            if (ch == '\n' || ch == '\r')
                ch = ' ';
        std::fprintf(stderr, "kd36ctl: %s\n", line.c_str());
    }
};

} // namespace kd36
