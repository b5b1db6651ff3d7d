#pragma once
// The engine, the real port object and the simulated modem on a stepped
// virtual clock, as HeadlessRig, with an in-process display library and a
// record of what the port handed over in communication mode.
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "host/engine_host.h"
#include "engine/main_engine.h"
#include "serial/clock.h"
#include "serial/rs_comm_thread.h"
#include "sim/simulated_modem.h"
#include "tests/support/fake_boxes.h"
#include "tests/support/fake_view.h"
#include "tests/support/headless_rig.h"

namespace kd36::test {

// The display: one per process, as the real library.
struct SoakDisplay {
    DisplayStatus status{};
    int updates = 0;
    int bad = 0; // updates with a value out of the millivolt range
};
inline SoakDisplay g_display;

extern "C" {
inline void soakShow() { g_display.status.Shown = 1; }
inline void soakHide() { g_display.status.Shown = 0; }
inline void soakTitle(const DisplayTitle*) {}
inline void soakControl(const DisplayControl*) {}
inline void soakStatus(DisplayStatus* s) { *s = g_display.status; }
inline void soakUpdate(const DisplayData* d)
{
    ++g_display.updates;
    for (int i = 0; i < d->Count; ++i)
        if (d->Values[i] < 0 || d->Values[i] > 3300)
            ++g_display.bad;
}
}

struct SoakLibrary : DisplayLibrary {
    void* resolve(const char* s) override
    {
        const std::string n = s;
        if (n == "DLLShow") return reinterpret_cast<void*>(&soakShow);
        if (n == "DLLHide") return reinterpret_cast<void*>(&soakHide);
        if (n == "DLLTitle") return reinterpret_cast<void*>(&soakTitle);
        if (n == "DLLStatus") return reinterpret_cast<void*>(&soakStatus);
        if (n == "DLLUpdate") return reinterpret_cast<void*>(&soakUpdate);
        if (n == "DLLControl") return reinterpret_cast<void*>(&soakControl);
        return nullptr;
    }
    bool unload(std::string*) override { return true; }
};

struct SoakLoader : DisplayLibraryLoader {
    std::unique_ptr<DisplayLibrary> load(std::string*) override { return std::make_unique<SoakLibrary>(); }
};

class SoakRig {
public:
    SoakRig()
        : opener(clock)
        , host(EngineHost::Views{main, link, packet}, boxes, clock, opener,
               [this](uint64_t now) {
                   main.fireDueTimers(now);
                   link.fireDueTimers(now);
               },
               &loader)
        , engine(host.engine())
    {
        for (FakeView* v : {&main, &link, &packet})
            v->nowMs = [this] { return clock.nowMs(); };
        main.onTimer = [this](TimerId n) { host.mainTimer(n); };
        wireDialogViews(engine, link, packet);
        host.setPieceTap([this](const std::string& piece) {
            if (!engine.commandMode())
                commReceived += piece;
        });
        host.start();
    }
    ~SoakRig() { host.shutDown(); }

    bool open(uint32_t baud = 9600)
    {
        PortSettings line = engine.portSettings();
        line.BaudRate = baud;
        engine.setPort(engine.portNumber(), line);
        ModemSettings s = opener.memory->load();
        s.line.rate = baud;
        opener.memory->store(s);
        return host.open();
    }
    SimulatedModem& modem() { return *opener.modem; }

    // Steps of 10 ms until pred() or the time is up; true when pred() held.
    bool runUntil(const std::function<bool()>& pred, uint64_t maxMs)
    {
        const uint64_t end = clock.nowMs() + maxMs;
        while (clock.nowMs() < end) {
            if (pred())
                return true;
            clock.advanceMs(10);
            host.receivePass();
            host.step();
        }
        return pred();
    }
    void run(uint64_t ms) { runUntil([] { return false; }, ms); }

    VirtualClock clock;
    FakeView main{kd36::WindowKind::Main}, link{kd36::WindowKind::Link}, packet{kd36::WindowKind::Packet};
    FakeBoxes boxes;
    SimOpener opener;
    SoakLoader loader;
    EngineHost host;
    MainEngine& engine;
    std::string commReceived; // pieces handed over in communication mode
};

} // namespace kd36::test
