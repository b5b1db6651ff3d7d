#pragma once
// The air monitor: whether the user has it on, the display library while
// it is loaded, and the measuring the display reports. The engine hands it
// the line's busy flag (a measurement holds the line like a settings run)
// and the way function commands are sent.
#include <cstdint>
#include <functional>
#include <string>

#include "../serial/message_boxes.h"
#include "display_library.h"
#include "spectrum_display.h"

namespace kd36 {

class AirMonitorRun {
public:
    // send: a function command with DTR low first. marksChanged: the menu
    // mark changed (the window's locks follow it).
    AirMonitorRun(MessageBoxes& boxes, DisplayLibraryLoader* loader, bool& lineBusy,
                  std::function<void(const std::string&)> send, std::function<void()> marksChanged);

    // The menu item: on or off, acted on by the next pass.
    void toggle();
    // One idle pass: brings the display to what the user asked for and
    // follows what its user does there.
    void pass();
    // A sweep reply (the payload of ">ANLZ:").
    void data(const std::string& payload);
    // The window closes: a running measurement is stopped, the library let go.
    void close();
    // A fresh start: no display is ours.
    void reset();

    bool on() const { return on_; }
    // The display is up on the user's behalf.
    bool shown() const { return shown_; }
    bool loaded() const { return display_.loaded(); }
    // False when a pass would find nothing to do here.
    bool mayChange() const { return on_ || shown_ || display_.loaded(); }

private:
    void switchOff();
    void unload();
    void loadAndShow();
    void followDisplay();

    MessageBoxes& boxes_;
    DisplayLibraryLoader* loader_;
    bool& lineBusy_;
    std::function<void(const std::string&)> send_;
    std::function<void()> marksChanged_;
    SpectrumDisplay display_;
    bool on_ = false;
    bool shown_ = false;
    int32_t lastRunning_ = 0;
};

} // namespace kd36
