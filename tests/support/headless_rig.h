#pragma once
// The whole protocol path without widgets: the engine on fake windows, the
// real RsCommThread and the simulated modem behind COM1, joined by the
// tool's own EngineHost. Stepped on a virtual clock (the receive pass is
// called by hand), or threaded on the real clock as the tool runs.
#include <memory>
#include <string>

#include "host/engine_host.h"
#include "engine/main_engine.h"
#include "serial/clock.h"
#include "serial/rs_comm_thread.h"
#include "sim/simulated_modem.h"
#include "tests/support/fake_boxes.h"
#include "tests/support/fake_view.h"

namespace kd36::test {

class SimOpener : public DeviceOpener {
public:
    explicit SimOpener(Clock& clock) : clock_(clock), memory(std::make_shared<ModemMemory>()) {}
    std::unique_ptr<Device> open(int n, int& err) override
    {
        if (n != 1) {
            err = ENOENT;
            return nullptr;
        }
        auto m = std::make_unique<SimulatedModem>(clock_, memory);
        modem = m.get();
        if (onOpen)
            onOpen(*m);
        return m;
    }
    std::vector<std::string> portNames() override { return {"COM1"}; }

    std::function<void(SimulatedModem&)> onOpen;
    SimulatedModem* modem = nullptr; // the last one opened
    Clock& clock_;
    std::shared_ptr<ModemMemory> memory;
};

class HeadlessRig {
public:
    // threaded: the receive thread runs on the real clock.
    explicit HeadlessRig(bool threaded);
    ~HeadlessRig();

    // Opens COM1 at `baud` (the modem's own rate is set to match).
    bool open(uint32_t baud = 9600);
    void close();
    // Runs the window's side for `ms`: hand-overs, timers, idle passes.
    void run(uint64_t ms);
    // Runs until pred() or the time is up; true when pred() held.
    bool runUntil(const std::function<bool()>& pred, uint64_t maxMs);

    Clock& clock() { return *clock_; }
    SimulatedModem& modem() { return *opener.modem; }

    std::unique_ptr<Clock> clock_;
    FakeView main{kd36::WindowKind::Main}, link{kd36::WindowKind::Link}, packet{kd36::WindowKind::Packet};
    FakeBoxes boxes;
    SimOpener opener;
    EngineHost host;
    MainEngine& engine;

private:
    bool threaded_;
};

} // namespace kd36::test
