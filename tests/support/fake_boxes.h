#pragma once
// Message boxes answered from a script; every box shown is recorded.
#include <deque>
#include <string>
#include <vector>

#include "../../serial/message_boxes.h"

namespace kd36::test {

struct ShownBox {
    std::string kind; // "warning", "information", "question"
    std::string text;
    std::string detail;
    std::string title;
};

class FakeBoxes : public MessageBoxes {
public:
    void warning(const std::string& text, const std::string& detail, const std::string& title) override
    {
        shown.push_back({"warning", text, detail, title});
    }
    void information(const std::string& text, const std::string& detail) override
    {
        shown.push_back({"information", text, detail, {}});
    }
    bool question(const std::string& text, bool) override
    {
        shown.push_back({"question", text, {}, {}});
        if (answers.empty())
            return false;
        bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void beep() override { ++beeps; }

    std::vector<std::string> texts() const
    {
        std::vector<std::string> t;
        for (auto& b : shown)
            t.push_back(b.text);
        return t;
    }
    std::vector<ShownBox> shown;
    std::deque<bool> answers; // for questions; missing answers are No
    int beeps = 0;
};

} // namespace kd36::test
