// libFuzzer entry for what reads bytes from outside: the receive assembly
// (KD36_FUZZ_TARGET=receive) and the settings-file reader (settings).
#include <cstdint>
#include <cstdlib>
#include <fstream>
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

void fuzzSettings(const uint8_t* data, size_t size)
{
    static std::string path = [] {
        char tmpl[] = "/tmp/kd36-fuzz-XXXXXX";
        int fd = mkstemp(tmpl);
        if (fd >= 0)
            close(fd);
        return std::string(tmpl);
    }();
    {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    test::FakeView v;
    StoredSettings s;
    WindowPlacement wp{0, 0, 720, 508, 1920, 1080};
    LoadSettings(path, s, v, wp);
    (void)readPortPins(path);
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
