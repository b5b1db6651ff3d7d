// libFuzzer entry for the command engine's readers. The target is chosen by
// KD36_FUZZ_TARGET: parser (whole takes of received text in both modes),
// rece (the "$RECE:" payload scanner), airc, anlz (reply rules through the
// parser), ints (the number readers), profile (a settings profile written
// from the command line).
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/conversions.h"
#include "engine/link_logic.h"
#include "engine/main_engine.h"
#include "engine/packet_logic.h"
#include "engine/settings_profile.h"
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
            engine.linkForm().stationTicked(n, true);
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
        f[size_t(n - 1)] = r.engine.panel().read(n);
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

// The lines a write of the profile must send, stated apart from the
// sequencer: the ticked items in panel order, each from the file's values.
std::vector<std::string> expectedWrite(const SettingsProfile& p, bool extension)
{
    std::vector<std::string> out;
    auto on = [](const std::optional<bool>& t) { return t.value_or(false); };
    if (on(p.sysIdOn) && strToInt(*p.systemId).value_or(0) != 0)
        out.push_back("@INIT:S=" + *p.systemId);
    if (on(p.chanOn))
        out.push_back(*p.channelAuto ? "@FREQ:A=" + *p.group : "@FREQ:M=" + *p.channel);
    if (on(p.routOn)) {
        std::string l = "@ROUT:D=" + *p.routeDest;
        for (size_t n = 0; n < 5 && *p.relays[n] != "-"; ++n)
            l += (n ? "," : ";N=") + *p.relays[n];
        out.push_back(l);
    }
    if (on(p.framOn))
        out.push_back("@INIT:F=" + std::to_string(*p.frameByte) + "/I=" + std::to_string(*p.frameIdle) + "/W=" +
                      std::to_string(*p.frameWait) + "/T=" + std::to_string(*p.frameTxNumber));
    if (on(p.infoOn))
        out.push_back("@INFO:U=" + *p.deviceInfo);
    if (on(p.seriOn))
        out.push_back("@COMS:R=" + *p.rate +
                      (extension ? "/P=" + p.parity->substr(0, 1) + "/S=" + *p.stopBits + "/F=" + p.flow->substr(0, 1)
                                 : std::string()));
    for (auto& l : out)
        l += "\r\n";
    return out;
}

// A profile the check lets through writes exactly its own items and values;
// one it refuses is never applied (the command line's rule).
void fuzzProfile(const std::string& text)
{
    const bool extension = text.size() % 2;
    const ProfileReadResult r = parseProfile(text);
    if (!r.ok && !r.skipped.empty())
        __builtin_trap();
    if (!checkProfile(r, extension).writable)
        return;
    Rig rig;
    rig.engine.setExtension(extension);
    SettingsProfile wanted = r.profile;
    untickAbsent(wanted);
    applyProfile(rig.engine, wanted);
    rig.port.writes.clear();
    rig.engine.spbWriteClick();
    for (int i = 0; i < 40 && rig.engine.step() != 0; ++i) {
        if (rig.engine.step() % 2) {
            rig.engine.SettingsSequencer();
        } else {
            rig.engine.timRxWaitTimer();
            rig.engine.ResponseParser();
        }
    }
    if (rig.port.writes != expectedWrite(wanted, extension))
        __builtin_trap();
    // Free text reaches the wire only as the file spelled it.
    if (wanted.infoOn.value_or(false) && text.find("=" + sjisToUtf8(*wanted.deviceInfo)) == std::string::npos)
        __builtin_trap();
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
    if (g_target == "profile") {
        fuzzProfile(in);
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
        // A NUL ends the window's text, line end included: what an earlier
        // input left unended is ended first and the view emptied, so what it
        // shows afterwards is this input's block.
        feed(r, "\r\n");
        r.engine.packetForm().ClearReceiveView();
        r.engine.packetForm().FormHide();
        feed(r, "$RECE:" + in + "\r\n");
        if (r.packet.packetShown.received.size() > in.size())
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
