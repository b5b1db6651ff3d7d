// libFuzzer entry for the command engine's readers. The target is chosen by
// KD36_FUZZ_TARGET: parser (whole takes of received text in both modes),
// rece (the "$RECE:" payload scanner), airc, anlz (reply rules through the
// parser), ints (the number readers).
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/conversions.h"
#include "engine/link_logic.h"
#include "engine/main_engine.h"
#include "engine/packet_logic.h"
#include "engine/sjis.h"
#include "serial/clock.h"
#include "tests/support/fake_boxes.h"
#include "tests/support/fake_port.h"
#include "tests/support/fake_view.h"

using namespace kd36;

namespace {

std::string g_target = "parser";

struct Rig {
    VirtualClock clock;
    test::FakeView main{kd36::WindowKind::Main}, link{kd36::WindowKind::Link}, packet{kd36::WindowKind::Packet};
    test::FakeBoxes boxes;
    test::FakePort port;
    MainEngine engine{EngineDeps{main, link, packet, boxes, clock, port}};
    Rig()
    {
        for (int n = 0; n < 16; ++n)
            link.setChecked("CheckBox" + std::to_string(n), true);
        engine.ConstructBeforeSettings();
        engine.ConstructAfterSettings();
        engine.mnuCommOpenClick();
    }
};

void feed(Rig& r, const std::string& text)
{
    r.engine.handOver(text);
    try {
        r.engine.OnIdle();
    } catch (const ConversionError&) {
        // Reaches the general error box in the window; not a crash.
    }
}

// Whether a take holds a settings reply the line loop would reach: a line
// cut at CR LF that starts with ">" and one of the six settings words,
// before any line that starts a "$" block.
bool holdsSettingsReply(const std::string& take)
{
    size_t pos = 0, e;
    while ((e = take.find("\r\n", pos)) != std::string::npos) {
        if (take[pos] == '$')
            return false;
        const std::string word = e - pos >= 5 && take[pos] == '>' ? take.substr(pos + 1, 4) : "";
        for (const char* w : {"INIT", "EQID", "FREQ", "ROUT", "INFO", "COMS"})
            if (word == w)
                return true;
        pos = e + 2;
    }
    return false;
}

std::array<std::string, 20> readFields(Rig& r)
{
    std::array<std::string, 20> f;
    for (int n = 1; n <= 20; ++n)
        f[size_t(n - 1)] = r.main.text("edtRead" + std::to_string(n));
    return f;
}

// Ends a running sequence, then walks a read to `step` (0: none runs), each
// reply wait running out.
void walkReadTo(Rig& r, int step)
{
    MainEngine& e = r.engine;
    auto next = [&] {
        if (e.step() % 2) {
            e.SettingsSequencer();
        } else {
            e.timRxWaitTimer();
            e.ResponseParser();
        }
    };
    for (int i = 0; i < 40 && e.step() != 0; ++i)
        next();
    if (step != 0) {
        e.spbReadClick();
        for (int i = 0; i < 40 && e.step() != step; ++i)
            next();
    }
    r.port.written.clear();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* t = std::getenv("KD36_FUZZ_TARGET"))
        g_target = t;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string in(reinterpret_cast<const char*>(data), size);
    if (g_target == "ints") {
        (void)strToInt(in);
        std::vector<ScanValue> v;
        scanLite(in, "F=%d/I=%d/S=%d/T=%d/W=%d", v);
        scanLite(in, "%X=%c", v);
        (void)sjisToUtf8(in);
        (void)sjisSafeCut(in, size / 2);
        MonitorBuffer m;
        m.addLine(in);
        return 0;
    }
    static Rig rig;
    Rig& r = rig;
    if (g_target == "rece") {
        // The scanner never reports more user data than it was given, and
        // what it reports is the payload's own tail.
        try {
            if (auto p = parseRecePayload(in)) {
                if (p->data.size() >= in.size() || in.compare(in.size() - p->data.size(), p->data.size(), p->data) != 0)
                    __builtin_trap();
            }
        } catch (const ConversionError&) {
        }
        r.engine.packetForm().FormHide();
        feed(r, "$RECE:" + in + "\r\n");
        if (r.packet.text("memUserDataRx").size() > in.size())
            __builtin_trap();
    } else if (g_target == "airc") {
        r.engine.linkForm().btnGetClick();
        r.engine.OnIdle();
        feed(r, ">AIRC:" + in + "\r\n");
    } else if (g_target == "anlz") {
        feed(r, ">ANLZ:" + in + "\r\n");
    } else {
        // First byte picks the mode and a pending sequence step.
        uint8_t ctl = size ? data[0] : 0;
        r.engine.spbModeClick(ctl & 1, true);
        walkReadTo(r, (ctl >> 1) % 15);
        const std::string take = size ? in.substr(1) : in;
        r.engine.handOver(take);
        const auto fields = readFields(r);
        try {
            r.engine.ResponseParser();
        } catch (const ConversionError&) {
        }
        // A take without a settings reply fills no field; nor does any take
        // in communication mode.
        if ((!(ctl & 1) || !holdsSettingsReply(take)) && readFields(r) != fields)
            __builtin_trap();
        feed(r, ""); // the rest of the pass
    }
    // Keep the memos from growing without bound across runs.
    if (r.engine.txRxMonitor().text().size() > 40000)
        r.engine.spbMonitorClearClick();
    return 0;
}
