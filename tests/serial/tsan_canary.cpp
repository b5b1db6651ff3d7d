// Races on purpose, through the receive thread (a QThread) and a hand-over
// queued to the main thread as the window does it. Built only under
// ThreadSanitizer and registered as expected to fail: if the suppressions
// ever hide this race, they hide ours too, and the canary's test fails.
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

#include "serial/rs_comm_thread.h"
#include "tests/serial/fake_device.h"
#include "tests/support/fake_boxes.h"

using namespace kd36;
using namespace kd36::test;

namespace {
int gUnguarded = 0; // written by the receive thread, read by the main thread, no lock
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    SteadyClock clock;
    FakeBoxes boxes;
    FakeOpener opener;
    auto line = opener.add(1);
    RsCommThread port(clock, boxes, opener);
    std::atomic<uint8_t> portOpen{1}, commandMode{1};
    port.bindWindowFlags(&portOpen, &commandMode);
    int handed = 0;
    long seen = 0;
    port.setDeliver([&](const std::string& piece) {
        QMetaObject::invokeMethod(
            &app,
            [&, piece] {
                seen += gUnguarded; // the racy read
                if (++handed == 50)
                    app.quit();
            },
            Qt::QueuedConnection);
        ++gUnguarded; // the racy write, after the hand-over was queued
    });
    PortSettings s;
    s.FlowCtrl = 0;
    if (!port.OpenPort(1, s)) {
        std::puts("canary: the port did not open");
        return 0; // not the race: the expected failure must not happen
    }
    {
        std::lock_guard g(line->m);
        for (int i = 0; i < 50; ++i)
            line->reads.push_back("piece\n");
    }
    port.start();
    QTimer::singleShot(10000, &app, [&] { app.exit(1); });
    const int rc = app.exec();
    port.ClosePort();
    port.shutdown(2000);
    if (rc != 0) {
        std::puts("canary: the pieces did not arrive");
        return 0;
    }
    std::printf("canary: %d pieces raced (%ld)\n", handed, seen);
    return 0;
}
