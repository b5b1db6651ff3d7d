#pragma once
// A modem on the far side of a pseudo-terminal, for running kd36ctl as a
// process: the slave path is the port, a thread answers on the master.
// Instant: a reply table answers each command line at once (a missing
// entry: silence). Simulated: the simulated modem's logic and memory, the
// bytes passed at its line rate. (Kept apart from the simulated modem's
// header, whose names clash with Qt's macros.)
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kd36::test {

class PtyPeer {
public:
    enum class Mode { Instant, Simulated };

    explicit PtyPeer(Mode mode = Mode::Instant);
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool ok() const;
    const std::string& path() const;
    // Command lines received (without CR LF), in order.
    std::vector<std::string> lines();
    void clearLines();
    // Steady-clock microseconds: the first line received, the last byte sent.
    uint64_t firstLineUs();
    uint64_t lastSentUs();
    // Instant mode: from a reply's last byte written to the first byte of
    // the line that followed it, one entry per such line.
    std::vector<uint64_t> turnaroundsUs();
    // Bytes received and sent since the start.
    uint64_t bytesMoved();
    // Instant mode: the reply line to each command line (exact match),
    // changed only before start(). Filled with a whole set of settings replies.
    std::map<std::string, std::string>& replies();
    // Instant mode: wait this long after a command line before its reply,
    // as a modem does.
    void setReplyDelayUs(uint32_t us);
    // Starts answering.
    void start();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kd36::test
