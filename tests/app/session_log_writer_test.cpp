// The session log's writer: what it refuses to open, and that a disk that
// stops answering never holds the caller.
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <atomic>
#include <mutex>

#include <unistd.h>

#include "app/session_log_writer.h"

using namespace kd36;
using Clock = std::chrono::steady_clock;

namespace {

// A write that blocks until released, as on a disk that stopped answering.
struct StuckDisk {
    std::mutex m;
    std::condition_variable cv;
    bool released = false;
    std::atomic<int> calls{0};
    void release()
    {
        std::lock_guard g(m);
        released = true;
        cv.notify_all();
    }
};

SessionLogWriter::WriteCall stuck(const std::shared_ptr<StuckDisk>& disk)
{
    return [disk](int fd, const char* p, size_t n) {
        ++disk->calls;
        std::unique_lock lk(disk->m);
        disk->cv.wait(lk, [&] { return disk->released; });
        return ::write(fd, p, n);
    };
}

qint64 msSince(Clock::time_point t0)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

} // namespace

class SessionLogWriterTest : public QObject {
    Q_OBJECT
private slots:
    void onlyARegularFileOrALinkToOneIsLoggedTo();
    void aStuckDiskNeitherHoldsTheCallerNorFloodsIt();
    void stoppingWaitsForAStuckDiskOnlyWithinItsBound();
};

// (A FIFO: the records test, through the menu.)
void SessionLogWriterTest::onlyARegularFileOrALinkToOneIsLoggedTo()
{
    QTemporaryDir dir;
    SessionLogWriter w;
    std::string why;
    QVERIFY(!w.start("/dev/null", why));
    QVERIFY(!w.start(dir.path().toStdString(), why));
    const std::string file = dir.filePath("a.log").toStdString();
    QVERIFY(QFile::link(QString::fromStdString(file), dir.filePath("b.log")));
    QVERIFY(w.start(dir.filePath("b.log").toStdString(), why));
    w.sent("@INIT\r\n");
    QVERIFY(w.flush());
    w.stop();
    QVERIFY(QFileInfo(QString::fromStdString(file)).size() > 0);
}

void SessionLogWriterTest::aStuckDiskNeitherHoldsTheCallerNorFloodsIt()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("s.log");
    auto disk = std::make_shared<StuckDisk>();
    SessionLogWriter w;
    w.setWriteCall(stuck(disk));
    w.setCapacity(64 * 1024);
    QSignalSpy failed(&w, &SessionLogWriter::failed);
    std::string why;
    QVERIFY(w.start(path.toStdString(), why));

    const std::string line(100, 'x');
    const auto t0 = Clock::now();
    for (int i = 0; i < 5000; ++i) // 500 kB into a 64 kB buffer
        w.received(line + "\r\n");
    QVERIFY2(msSince(t0) < 1000, "the caller waited on the disk");

    QTRY_COMPARE(failed.size(), 1);
    QVERIFY(!w.active());
    for (int i = 0; i < 100; ++i)
        w.received(line + "\r\n");
    QTest::qWait(100);
    QCOMPARE(failed.size(), 1);

    // Once the disk answers, the file holds what was buffered and says where it stopped.
    disk->release();
    auto text = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
    };
    QTRY_VERIFY(text().endsWith("log buffer full; logging stopped"));
    QVERIFY(text().contains(QByteArray(" RX ") + QByteArray::fromStdString(line) + "\n"));
}

void SessionLogWriterTest::stoppingWaitsForAStuckDiskOnlyWithinItsBound()
{
    QTemporaryDir dir;
    auto disk = std::make_shared<StuckDisk>();
    std::string why;
    {
        SessionLogWriter w;
        w.setWriteCall(stuck(disk));
        QVERIFY(w.start(dir.filePath("s.log").toStdString(), why));
        w.sent("@INIT\r\n");
        QTRY_COMPARE(disk->calls.load(), 1);
        const auto t0 = Clock::now();
        QVERIFY(!w.flush());
        w.stop();
        QVERIFY(msSince(t0) < 2 * SessionLogWriter::kStopWaitMs + 500);
    }
    // The writer left behind finishes on its own once the disk answers.
    disk->release();
    QTRY_VERIFY(QFileInfo(dir.filePath("s.log")).size() > 0);
}

QTEST_MAIN(SessionLogWriterTest)
#include "session_log_writer_test.moc"
