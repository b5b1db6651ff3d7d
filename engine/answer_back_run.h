#pragma once
// The answer-back check's driver on the main window's side: whether the
// user has it on, and which state of the dialog the pass last acted on, so
// that each change of the dialog (shown, polling, a reply, the run's end)
// moves the line once.
#include <functional>
#include <string>

#include "../serial/comm_port.h"
#include "view.h"

namespace kd36 {

class LinkLogic;

class AnswerBackRun {
public:
    // send: a function command with DTR low first. marksChanged: the menu
    // mark changed (the window's locks follow it).
    AnswerBackRun(LinkLogic& dialog, View& dialogView, CommPort& port, std::function<void(const std::string&)> send,
                  std::function<void()> marksChanged);

    // The menu item: on or off, acted on by the next pass.
    void toggle();
    // One idle pass: shows or hides the dialog, polls the next station or stops.
    void pass();
    // A reply (the payload of ">AIRC:").
    void reply(const std::string& payload);

    bool on() const { return on_; }
    // The pass has acted on the dialog's present state.
    bool actedOn() const;
    // False when a pass would find nothing to do here.
    bool mayChange() const;

private:
    LinkLogic& dialog_;
    View& dialogView_;
    CommPort& port_;
    std::function<void(const std::string&)> send_;
    std::function<void()> marksChanged_;
    bool on_ = false;
    bool actedOnSwitch_ = false; // the switch as the pass last acted on it
    int actedState_ = 0;         // the dialog's state as the pass last acted on it
};

} // namespace kd36
