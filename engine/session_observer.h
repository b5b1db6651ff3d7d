#pragma once
// What happened on the line, for whoever keeps a record of the session. The
// engine tells an observer only after the fact and never waits on it.
#include <string>

#include "../serial/port_settings.h"

namespace kd36 {

class SessionObserver {
public:
    virtual ~SessionObserver() = default;
    // Bytes written to the port (Shift-JIS, as sent).
    virtual void sent(const std::string& sjis) = 0;
    // One piece as the receive thread handed it over.
    virtual void received(const std::string& sjis) = 0;
    virtual void portOpened(int portNumber, const PortSettings& settings) = 0;
    virtual void portClosed(int portNumber) = 0;
    // The mode right after each open, and at each switch.
    virtual void modeChanged(bool commandMode) = 0;
    // A failure the user was told about (UTF-8).
    virtual void error(const std::string& utf8) = 0;
    // COMn could not be opened.
    virtual void openFailed(int portNumber) { error("COM" + std::to_string(portNumber) + " を開けません"); }
};

} // namespace kd36
