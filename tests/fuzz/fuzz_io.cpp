// libFuzzer entry for what reads bytes from outside: the receive assembly
// (KD36_FUZZ_TARGET=receive) and the settings-file reader (settings).
#include <cstdint>
#include <cstdlib>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>
#include <string>
#include <unistd.h>

#include "app/settings_file.h"
#include "serial/clock.h"
#include "serial/rs_comm_thread.h"
#include "tests/serial/fake_device.h"
#include "tests/support/fake_boxes.h"
#include "tests/support/fake_view.h"

using namespace kd36;

namespace {

std::string g_target = "receive";

void fuzzReceive(const uint8_t* data, size_t size)
{
    if (size < 2)
        return;
    VirtualClock clock;
    test::FakeBoxes boxes;
    test::FakeOpener opener;
    auto line = opener.add(1);
    RsCommThread port(clock, boxes, opener);
    std::atomic<uint8_t> open{1}, command{uint8_t(data[0] & 1)};
    port.bindWindowFlags(&open, &command);
    std::string delivered;
    port.setDeliver([&](const std::string& piece) { delivered += piece; });
    PortSettings s;
    s.EvtChar = int8_t(data[1]);
    if (!port.OpenPort(1, s))
        return;
    port.setHexDisplay(data[0] & 2);
    // The rest is cut into reads by its own length bytes; silences between.
    size_t i = 2;
    while (i < size) {
        size_t n = std::min<size_t>(data[i] % 64 + 1, size - i - 1 + 1);
        ++i;
        if (i >= size)
            break;
        n = std::min(n, size - i);
        {
            std::lock_guard g(line->m);
            line->reads.emplace_back(reinterpret_cast<const char*>(data + i), n);
        }
        i += n;
        port.PollPort();
        clock.advanceMs((data[i - 1] & 0x80) ? 250 : 10);
        port.PollPort();
    }
    clock.advanceMs(300);
    port.PollPort();
    port.ClosePort();
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The lines of a file that the tool does not own, each with its line end:
// everything but the entries of its 29 keys in [URL], [Form] and [Com].
std::vector<std::string> foreignLines(const std::string& data)
{
    static const std::set<std::string> owned{
        "url/home", "form/top", "form/left", "form/ch-select", "form/ch-group", "form/ch-ch",
        "form/route-dest", "form/route-node1", "form/route-node2", "form/route-node3", "form/route-node4",
        "form/route-node5", "form/bps", "form/databits", "form/parity", "form/stopbits", "form/flow",
        "form/frame-byte", "form/frame-idle", "form/fram-wait", "form/fram-txnumber", "com/port",
        "com/baudrate", "com/bytesize", "com/parity", "com/stopbits", "com/flowctrl", "com/evtchar",
        "com/extension"};
    auto lower = [](std::string v) {
        for (char& c : v)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return v;
    };
    auto trim = [](std::string v) {
        size_t a = v.find_first_not_of(" \t"), b = v.find_last_not_of(" \t");
        return a == std::string::npos ? std::string() : v.substr(a, b - a + 1);
    };
    std::vector<std::string> out;
    std::string section;
    bool bare = false;
    size_t i = 0;
    while (i < data.size()) {
        size_t e = data.find_first_of("\r\n", i);
        size_t end = e == std::string::npos ? data.size() : e;
        size_t next = end < data.size() ? end + ((data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n') ? 2 : 1) : end;
        std::string text = data.substr(i, end - i);
        if (i == 0 && text.rfind("\xEF\xBB\xBF", 0) == 0)
            text = text.substr(3);
        text = trim(text);
        bool mine = false;
        // A "[" line without "]" leaves every section (a bare "[" is named
        // by the next line that is not blank).
        if (bare && !text.empty()) {
            bare = false;
            size_t c = text.find(']');
            section = c == std::string::npos ? "?" : lower(trim(text.substr(0, c)));
        } else if (!text.empty() && text[0] == '[') {
            size_t c = text.find(']');
            bare = c == std::string::npos && trim(text.substr(1)).empty();
            section = c != std::string::npos ? lower(trim(text.substr(1, c - 1))) : "?";
        } else if (!text.empty() && text[0] != ';' && text[0] != '#') {
            size_t eq = text.find('=');
            if (eq != std::string::npos && eq > 0)
                mine = owned.count(section + "/" + lower(trim(text.substr(0, eq)))) > 0;
        }
        if (!mine)
            out.push_back(data.substr(i, next - i));
        i = next;
    }
    return out;
}

void fuzzSettings(const uint8_t* data, size_t size)
{
    static std::string path = [] {
        char tmpl[] = "/tmp/kd36-fuzz-XXXXXX";
        int fd = mkstemp(tmpl);
        if (fd >= 0)
            close(fd);
        return std::string(tmpl);
    }();
    const std::string before(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.write(before.data(), std::streamsize(before.size()));
    }
    SettingPanel v;
    StoredSettings s;
    WindowPlacement wp{0, 0, 720, 508, 1920, 1080, {}};
    std::string problem, why;
    LoadSettings(path, s, v, wp, &problem);
    (void)readPortPins(path);

    const bool saved = SaveSettings(path, s, v, wp, &why);
    const std::string after = slurp(path);
    if (!problem.empty()) {
        // Not read whole: never rewritten.
        if (saved || after != before)
            __builtin_trap();
        return;
    }
    if (!saved)
        __builtin_trap();
    // Every foreign line stays, in order, byte for byte; between them come
    // only the headers of sections the file lacked. The old last line may
    // gain a line end; a UTF-8 signature stays first.
    const std::string sig = "\xEF\xBB\xBF";
    if (before.compare(0, 3, sig) == 0 && after.compare(0, 3, sig) != 0)
        __builtin_trap();
    auto unsigned_ = [&](const std::string& d) { return d.compare(0, 3, sig) == 0 ? d.substr(3) : d; };
    std::vector<std::string> was = foreignLines(unsigned_(before)), now = foreignLines(unsigned_(after));
    size_t next = 0;
    for (const std::string& line : now) {
        std::string h = line;
        while (!h.empty() && (h.back() == '\n' || h.back() == '\r'))
            h.pop_back();
        const std::string* w = next < was.size() ? &was[next] : nullptr;
        const bool last = w && next + 1 == was.size() && (w->empty() || (w->back() != '\n' && w->back() != '\r'));
        if (w && (line == *w || (last && h == *w))) {
            ++next;
            continue;
        }
        if (h != "[URL]" && h != "[Form]" && h != "[Com]")
            __builtin_trap();
    }
    if (next != was.size())
        __builtin_trap();
    // And the reader takes back what was written.
    SettingPanel v2;
    StoredSettings s2;
    WindowPlacement wp2{0, 0, 720, 508, 1920, 1080, {}};
    LoadSettings(path, s2, v2, wp2, &problem);
    if (!problem.empty() || s2.home != s.home || s2.port != s.port || !(s2.com == s.com)
        || s2.extension != s.extension || wp2.top != wp.top || wp2.left != wp.left)
        __builtin_trap();
    if (!(v2 == v))
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
    if (g_target == "settings")
        fuzzSettings(data, size);
    else
        fuzzReceive(data, size);
    return 0;
}
