#pragma once
// A model of the modem behind the Device seam, for tests, benchmarks and
// anyone without hardware. The line runs at the configured rate in both
// directions; in command mode (DTR low) the modem answers the command
// language, in communication mode (DTR high) a remote station echoes.
// Time comes only from the given clock: every call first catches the model
// up to clock.nowUs(), so a VirtualClock drives it completely and the
// outcome never depends on the host's speed.
#include <cerrno>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "serial/clock.h"
#include "serial/device.h"
#include "serial/event_fd.h"
#include "serial/port_settings.h"

namespace kd36 {

// The modem's own RS-232C attributes (what "@COMS" reads and writes).
struct ModemLine {
    uint32_t rate = 9600;
    uint8_t dataBits = 8;  // 7 or 8
    char parity = 'N';     // N, O, E
    uint8_t stopBits = 1;  // 1 or 2
    char flow = 'H';       // N, H
    bool operator==(const ModemLine&) const = default;
};

// Everything the settings commands read and write.
struct ModemSettings {
    uint32_t systemId = 1234567;
    char deviceId = '5';          // the ID switch, one hex digit
    bool groupMode = true;        // "A=" group, else "M=" fixed channel
    int group = 0;                // 0..7
    int channel = 7;              // 7..46
    char routeDest = '3';
    std::string routeRelays;      // up to five hex digits in relay order
    int frameBytes = 128;         // F
    int idleMs = 100;             // I
    int waitSec = 10;             // W
    int txCount = 3;              // T
    std::string info = "KD36SIM1"; // up to eight characters
    ModemLine line;
    bool operator==(const ModemSettings&) const = default;
};

// The modem's non-volatile memory. Whoever opens the simulated port keeps
// one and hands it to every SimulatedModem it creates, so that settings
// written (a new COMS rate above all) survive closing and reopening the
// port, as they do on the device.
class ModemMemory {
public:
    ModemSettings load() const
    {
        std::lock_guard lock(mu_);
        return s_;
    }
    void store(const ModemSettings& s)
    {
        std::lock_guard lock(mu_);
        s_ = s;
    }

private:
    mutable std::mutex mu_;
    ModemSettings s_;
};

struct SimulatorStats {
    uint64_t bytesFromPc = 0;   // bytes that reached the modem
    uint64_t bytesToPc = 0;     // bytes that arrived at the PC side
    uint64_t bytesDropped = 0;  // arrived while the input queue was full
    uint64_t linesReceived = 0; // complete command-mode lines
    uint64_t repliesSent = 0;   // reply lines, sweeps and packets put on the line
};

class SimulatedModem final : public Device {
public:
    // Timeline of the modem (microseconds).
    static constexpr uint64_t kReplyDelayUs = 2'000;     // LF of a command to its reply
    static constexpr uint64_t kAircDelayUs = 300'000;    // poll to answer-back
    static constexpr uint64_t kSweepFirstUs = 100'000;   // "@ANLZ:S" to the first sweep
    static constexpr uint64_t kSweepIntervalUs = 500'000;
    static constexpr uint64_t kPacketDelayUs = 200'000;  // "$SEND:" to "$RECE:" without relays
    static constexpr uint64_t kPacketHopUs = 100'000;    // added per relay
    static constexpr uint64_t kEchoAirUs = 30'000;       // a piece over the air and back
    static constexpr uint64_t kPacketWaitUs = 200'000;   // a short "$SEND:" line ends after this silence
    static constexpr size_t kInputQueueSize = 4096;      // the PC driver's receive buffer
    static constexpr uint64_t kDriverBatchNs = 1'000'000; // longest the driver holds received bytes

    // Construction is the open: DTR is high, DSR and CTS are on, the PC side
    // has the default PortSettings. The seed fixes the air-monitor spectrum.
    explicit SimulatedModem(Clock& clock, uint32_t seed = 1);
    // Starts from the memory's settings and stores every change back.
    SimulatedModem(Clock& clock, std::shared_ptr<ModemMemory> memory, uint32_t seed = 1);
    ~SimulatedModem() override;

    // Device
    bool configure(const PortSettings& settings) override;
    // The simulated driver takes every rate it accepts as it is.
    PortSettings actualSettings() const override;
    int read(uint8_t* buf, size_t max) override;
    int write(const uint8_t* data, size_t len) override;
    bool setDtr(bool on) override;
    bool modemStatus(uint32_t& bits) override;
    uint32_t takeErrors() override;
    int inQueue() override;
    int outQueue() override;
    void purge() override;
    bool close() override;
    int errorCode() const override;
    // Wakes when the next byte reaches the PC, a timer of the model comes
    // due, or the PC side wrote or changed something.
    void waitForEvent(int wakeFd, int64_t timeoutUs) override;
    bool reportsLineChanges() const override { return true; }

    // Remote stations for answer-back and packets: id 0..15, level is the
    // character the modem reports ("0".."9", "-", or anything to test).
    // Present by default: 1 (level '3'), 3 ('1'), A ('4').
    void setStation(int id, char level);
    void removeStation(int id);
    // A present station whose level wanders: up and down between lo and hi
    // (0..9), one level every stepMs of the modem's clock, so a range test
    // sees it move. hi == lo: a fixed level again.
    void setStationDrift(int id, int lo, int hi, uint32_t stepMs);
    // This share (0..1) of the station's polls goes unanswered, drawn from
    // the seeded generator, as on a marginal link.
    void setReplyLoss(int id, double share);
    // What the modem made of each answer-back poll (the last 10000).
    struct AircPoll {
        uint64_t atMs = 0;  // the modem's clock when the poll's LF arrived
        int station = 0;
        char level = 0;     // the level character it answered; 0: none
        bool answered = false;
    };
    std::vector<AircPoll> aircPolls();

    // Fault knobs. Each first catches the model up, so it takes effect now.
    void setSilent(bool on);                           // no replies of any kind
    void setExtraDelayMs(uint32_t ms);                 // added to every reply delay
    void setFragments(size_t bytes, uint32_t gapMs);   // replies cut into pieces; 0 = whole
    void setReplyPrefix(std::string bytes);            // garbage/NULs put before every reply
    void injectBytes(const std::string& bytes);        // raw bytes on the line from now on
    void raiseLineErrors(uint32_t flags);              // CE_* flags for the next takeErrors
    void setCtsHeld(bool held);                        // CTS low: RTS/CTS output stalls
    void setDsrOff(bool off);
    void setRemoved(bool removed, int err = EIO);      // every call fails with err
    // Communication mode only: numbered text at this many bytes a second
    // (bounded by the line); 0 stops it. The text is streamText().
    void setStreamRate(uint32_t bytesPerSecond);
    // The generator's text: lines of 32 bytes, "%08u" line number, a blank,
    // 21 letters, CR LF; offset counts from the first byte ever generated.
    static std::string streamText(uint64_t offset, size_t length);

    // Observation (each catches the model up first).
    std::vector<std::string> receivedLines(); // command-mode lines, without CR LF (the last 10000)
    std::string receivedBytes();              // bytes the modem got, as it got them (the last MiB)
    bool dtr();
    bool airMonitorRunning();
    ModemSettings settings();
    void setSettings(const ModemSettings& s); // also the modem's line, at once
    SimulatorStats stats();
    uint64_t streamPosition(); // bytes the generator produced so far

private:
    // Bit layout of one character on the wire.
    struct Framing {
        uint32_t rate = 9600;
        uint8_t dataBits = 8;
        uint8_t parity = 0;     // PortSettings coding: 0 none, 1 odd, 2 even, 3 mark, 4 space
        uint8_t stopHalves = 2; // stop bits in half bits
        uint64_t byteNs() const;
    };
    struct Arrival {
        uint64_t atNs;
        uint8_t byte;
        Framing sender;
    };
    enum class TimerKind { Reply, Airc, Sweep, EchoIdle, Echo, Stream, Packet, PacketWait, LineChange };
    struct Timer {
        TimerKind kind;
        std::function<void(uint64_t)> fn;
    };

    // Line and pacing (modem_line.cpp).
    static Framing framingOf(const PortSettings& s);
    static Framing framingOf(const ModemLine& l);
    // What a receiver with framing `rx` makes of a byte sent with `tx`.
    static std::pair<uint8_t, uint32_t> judge(const Framing& tx, const Framing& rx, uint8_t byte);

    bool usable(); // sets the error code when closed or removed
    uint64_t nowNs() const;
    void advance();
    void runUntil(uint64_t ns);
    bool txStalled() const;
    void addTimer(uint64_t atNs, TimerKind kind, std::function<void(uint64_t)> fn);
    void cancel(TimerKind kind);

    // Command mode: bytes become lines, lines become commands (modem_commands.cpp).
    struct Command;
    using CommandHandler = void (SimulatedModem::*)(const Command&);
    static CommandHandler handlerFor(const std::string& word);
    void modemReceive(uint8_t byte, uint64_t t);
    void lineComplete(uint64_t t);
    bool sendLineIncomplete() const;
    void handleLine(const std::string& line, uint64_t t);
    void handleCommand(const Command& c);

    // Settings commands (modem_commands.cpp).
    void cmdInit(const Command& c);
    void cmdEqid(const Command& c);
    void cmdFreq(const Command& c);
    void cmdRout(const Command& c);
    void cmdInfo(const Command& c);
    void cmdComs(const Command& c);

    // Functions (modem_functions.cpp).
    void cmdAnlz(const Command& c);
    void cmdAirc(const Command& c);
    void cmdDbug(const Command& c);
    void cmdDif1(const Command& c);
    void cmdDif2(const Command& c);
    void cmdTest(const Command& c);
    void cmdModeAck(const Command& c);   // "CMND", "STBY"
    void cmdRadioTest(const Command& c); // "SEND", "RECV"
    void handlePacket(const std::string& line, uint64_t t);
    void commByte(uint8_t byte, uint64_t t);
    void flushEcho(uint64_t t);
    void sweep(uint64_t t);
    void streamTick(uint64_t t);

    // The modem's transmit line (modem_line.cpp).
    // A reply line (CR LF added) after the reply delay; `after` runs once it is on the line.
    void reply(const std::string& text, uint64_t t, std::function<void(uint64_t)> after = {});
    // Puts bytes on the modem's transmit line from t on (prefix, fragments, silence apply).
    void emitBytes(const std::string& bytes, uint64_t t, bool isReply);
    void emitRaw(const std::string& bytes, uint64_t t, size_t fragBytes, uint64_t gapNs);
    uint64_t extraNs() const { return uint64_t(extraDelayMs_) * 1'000'000; }

    // Replies that show the stored settings (modem_commands.cpp).
    std::string initText() const;
    std::string freqText() const;
    std::string routText() const;
    std::string infoText() const;
    std::string comsText() const;
    std::string sweepText(); // modem_functions.cpp
    uint32_t rand();

    // The model's next event on its own: a byte on either line or a timer.
    uint64_t nextEventNs() const;

    mutable std::mutex mu_;
    Clock& clock_;
    // Signalled when a call may bring the next event nearer.
    EventFd changed_;
    uint64_t lastNs_ = 0;

    // Port state
    bool open_ = true;
    int error_ = 0;
    PortSettings pc_;
    bool dtr_ = true;
    uint32_t errors_ = 0;

    // PC -> modem
    std::deque<uint8_t> txQueue_;
    uint64_t txNextStartNs_ = 0;

    // Modem -> PC
    std::deque<Arrival> rxPending_;
    std::deque<uint8_t> rxBuffer_;
    uint64_t modemTxFreeNs_ = 0;
    Framing modemTx_;
    Framing modemRx_;

    std::map<std::pair<uint64_t, uint64_t>, Timer> timers_;
    uint64_t timerSeq_ = 0;

    // Modem state
    std::shared_ptr<ModemMemory> memory_;
    ModemSettings st_;
    std::string lineBuf_;
    bool lineCorrupt_ = false;
    std::vector<std::string> lines_;
    std::string bytesSeen_;
    std::string echoBuf_;
    bool sweeping_ = false;
    bool debugOn_ = false;
    std::map<int, char> stations_;
    struct Drift {
        int lo = 0, hi = 0;
        uint32_t stepMs = 1000;
    };
    std::map<int, Drift> drift_;
    std::map<int, double> loss_;
    std::deque<AircPoll> aircPolls_;
    char stationLevel(int id, char fixed, uint64_t tNs) const;
    uint32_t rng_;
    std::vector<int> busy_; // channel indexes 0..39 with traffic

    // Knobs
    bool silent_ = false;
    uint32_t extraDelayMs_ = 0;
    size_t fragBytes_ = 0;
    uint64_t fragGapNs_ = 0;
    std::string prefix_;
    bool ctsHeld_ = false;
    bool dsrOff_ = false;
    bool removed_ = false;
    int removedErr_ = EIO;
    uint32_t streamRate_ = 0;
    uint64_t streamPos_ = 0;
    uint64_t streamCredit_ = 0; // byte-nanoseconds not yet turned into bytes

    SimulatorStats stats_;
};

} // namespace kd36
