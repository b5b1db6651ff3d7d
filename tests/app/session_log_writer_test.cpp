// The session log's writer: what it refuses to open, and that a disk that
// stops answering never holds the caller.
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
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
    void onlyARegularFileIsOpenedAndOpeningNeverBlocks();
    void aStuckDiskNeitherHoldsTheCallerNorFloodsIt();
    void stoppingWaitsForAStuckDiskOnlyWithinItsBound();
};

void SessionLogWriterTest::onlyARegularFileIsOpenedAndOpeningNeverBlocks()
{
    QTemporaryDir dir;
    const std::string fifo = dir.filePath("log.fifo").toStdString();
    QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
    SessionLogWriter w;
    std::string why;
    // A FIFO without a reader would hold a plain open for ever: a reader
    // comes after 3 s so that a blocking open ends as a failure, not a hang.
    std::atomic<bool> returned{false};
    std::thread reader([&] {
        for (int i = 0; i < 300 && !returned; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!returned) {
            int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            ::close(fd);
        }
    });
    const auto t0 = Clock::now();
    const bool started = w.start(fifo, why);
    returned = true;
    const qint64 took = msSince(t0);
    reader.join();
    w.stop();
    QVERIFY2(took < 1000, qPrintable(QString::number(took)));
    QVERIFY(!started);
    QVERIFY2(why.find("通常のファイルではありません") != std::string::npos, why.c_str());

    // A device is not opened either; a new file and a link to one are.
    QVERIFY(!w.start("/dev/null", why));
    QVERIFY(!w.start(dir.path().toStdString(), why));
    const std::string file = dir.filePath("a.log").toStdString();
    QVERIFY(w.start(file, why));
    w.stop();
    QVERIFY(QFile::link(QString::fromStdString(file), dir.filePath("b.log")));
    QVERIFY(w.start(dir.filePath("b.log").toStdString(), why));
    w.stop();
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
