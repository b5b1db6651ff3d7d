// libanalyze32.so loaded the way the tool loads it: by name, at run time,
// into a process that already runs a QApplication.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QLibrary>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <array>
#include <atomic>
#include <cstring>
#include <thread>

#include "app/language.h"
#include "spectrum/analyze32.h"

namespace {

QWidget* displayWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("AirMonitorWindow"))
            return w;
    return nullptr;
}

// A plausible sweep: noise floor with jitter and a few busy channels.
std::array<int32_t, 40> sweep(int n)
{
    std::array<int32_t, 40> v{};
    unsigned seed = 12345u + static_cast<unsigned>(n) * 7919u;
    for (int i = 0; i < 40; ++i) {
        seed = seed * 1103515245u + 12345u;
        v[i] = 320 + static_cast<int32_t>((seed >> 16) % 180);
    }
    auto busy = [&](int ch, int mv, int spread) {
        const int i = ch - 7;
        v[i] = std::max(v[i], mv);
        if (i > 0)
            v[i - 1] = std::max(v[i - 1], spread);
        if (i < 39)
            v[i + 1] = std::max(v[i + 1], spread);
    };
    busy(12, 2450 + (n % 3) * 90, 1100);
    busy(23, 1650 + (n % 4) * 120, 800);
    busy(38, 2900 - (n % 2) * 350, 1500);
    if (n % 3 == 0)
        busy(31, 1300, 600); // a bursty neighbour
    return v;
}

} // namespace

class SpectrumLibraryTest : public QObject {
    Q_OBJECT

    QLibrary lib_;
    DLLShowFn show_ = nullptr;
    DLLHideFn hide_ = nullptr;
    DLLTitleFn title_ = nullptr;
    DLLStatusFn status_ = nullptr;
    DLLUpdateFn update_ = nullptr;
    DLLControlFn control_ = nullptr;

    DisplayStatus status()
    {
        DisplayStatus s;
        std::memset(&s, 0x5A, sizeof s);
        status_(&s);
        return s;
    }
    QPushButton* startButton()
    {
        return displayWindow()->findChild<QPushButton*>(QStringLiteral("btnStart"));
    }
    QVariantList plotProperty(const char* name)
    {
        return displayWindow()->findChild<QWidget*>(QStringLiteral("plot"))->property(name).toList();
    }
    void feed(std::array<int32_t, 40>& values)
    {
        DisplayData d{values.data(), 40};
        update_(&d);
    }

private slots:
    void initTestCase()
    {
        // Bare name from the executable's folder, as the tool does.
        lib_.setFileName(QCoreApplication::applicationDirPath() + QStringLiteral("/analyze32"));
        if (!lib_.load()) {
            lib_.setFileName(QStringLiteral(ANALYZE32_PATH));
            QVERIFY2(lib_.load(), qPrintable(lib_.errorString()));
        }
        show_ = reinterpret_cast<DLLShowFn>(lib_.resolve("DLLShow"));
        hide_ = reinterpret_cast<DLLHideFn>(lib_.resolve("DLLHide"));
        title_ = reinterpret_cast<DLLTitleFn>(lib_.resolve("DLLTitle"));
        status_ = reinterpret_cast<DLLStatusFn>(lib_.resolve("DLLStatus"));
        update_ = reinterpret_cast<DLLUpdateFn>(lib_.resolve("DLLUpdate"));
        control_ = reinterpret_cast<DLLControlFn>(lib_.resolve("DLLControl"));
        QVERIFY(show_ && hide_ && title_ && status_ && update_ && control_);
        QVERIFY(!lib_.resolve("FakeSetStatus"));
    }

    void statusWritesExactlySixteenBytes()
    {
        unsigned char buf[32];
        std::memset(buf, 0xAB, sizeof buf);
        status_(reinterpret_cast<DisplayStatus*>(buf + 8));
        for (int i : {0, 7, 24, 31})
            QCOMPARE(buf[i], 0xAB);
        DisplayStatus s;
        std::memcpy(&s, buf + 8, sizeof s);
        QCOMPARE(s.Running, 0);
        QCOMPARE(s.Shown, 0);
        QCOMPARE(s.PeakHold, 1);
        status_(nullptr); // tolerated
    }

    void nothingShownBeforeDLLShow()
    {
        std::array<int32_t, 40> v = sweep(0);
        feed(v);
        QVERIFY(!displayWindow());
        QCOMPARE(status().Shown, 0);
    }

    void showTakesTitlesAndControl()
    {
        const DisplayTitle t{"RSSI [mV]", "Channel", nullptr, "Air Monitor"};
        title_(&t);
        const DisplayControl c{800, 100, 30};
        control_(&c);
        show_();
        QWidget* w = displayWindow();
        QVERIFY(w);
        QVERIFY(w->isVisible());
        QCOMPARE(w->windowTitle(), QStringLiteral("Air Monitor"));
        const DisplayStatus s = status();
        QCOMPARE(s.Shown, 1);
        QCOMPARE(s.Running, 0);
        QCOMPARE(s.Sweeps, 0);
        QCOMPARE(startButton()->text(), QStringLiteral("Start"));
    }

    void shiftJisTitleIsDecodedAndNullKeepsTheOld()
    {
        const DisplayTitle sj{nullptr, nullptr, nullptr, "\x83\x47\x83\x41\x83\x82\x83\x6a\x83\x5e"};
        title_(&sj);
        QCOMPARE(displayWindow()->windowTitle(), QStringLiteral("エアモニタ"));
        const DisplayTitle back{"RSSI [mV]", "Channel", nullptr, "Air Monitor"};
        title_(&back);
        QCOMPARE(displayWindow()->windowTitle(), QStringLiteral("Air Monitor"));
        title_(nullptr);
    }

    void startControlDrivesRunning()
    {
        QTest::mouseClick(startButton(), Qt::LeftButton);
        QCOMPARE(status().Running, 1);
        QCOMPARE(startButton()->text(), QStringLiteral("Stop"));
        QTest::mouseClick(startButton(), Qt::LeftButton);
        QCOMPARE(status().Running, 0);
        QCOMPARE(startButton()->text(), QStringLiteral("Start"));
        QTest::mouseClick(startButton(), Qt::LeftButton);
        QCOMPARE(status().Running, 1);
    }

    void updateCopiesValuesAndHoldsPeaks()
    {
        std::array<int32_t, 40> v{};
        v.fill(400);
        v[5] = 3000; // channel 12
        feed(v);
        v[5] = 100; // the caller's array changes after the call
        QCOMPARE(plotProperty("values").at(5).toInt(), 3000);
        feed(v);
        feed(v);
        QCOMPARE(plotProperty("values").at(5).toInt(), 100);
        QCOMPARE(plotProperty("peaks").at(5).toInt(), 3000);
        QCOMPARE(status().Sweeps, 3);

        // Bad records change nothing and do not crash.
        DisplayData none{nullptr, 40};
        update_(&none);
        DisplayData empty{v.data(), 0};
        update_(&empty);
        update_(nullptr);
        QCOMPARE(status().Sweeps, 3);
    }

    void plotShowsTheBars()
    {
        std::array<int32_t, 40> v{};
        v[0] = 3300;
        feed(v);
        QWidget* plot = displayWindow()->findChild<QWidget*>(QStringLiteral("plot"));
        const QImage img = plot->grab().toImage();
        // Sample inside the plot near its top: channel 7's full bar against empty channel 8.
        const int slot = (img.width() - 72 - 18) / 40;
        const QColor bar = img.pixelColor(72 + slot / 2, 40);
        const QColor empty = img.pixelColor(72 + slot + slot / 2, 40);
        QVERIFY2(bar != empty, qPrintable(bar.name() + QStringLiteral(" ") + empty.name()));
    }

    void updateFromAnotherThreadIsMarshalled()
    {
        std::array<int32_t, 40> v{};
        v.fill(1234);
        std::atomic<bool> done{false};
        std::thread t([&] {
            DisplayData d{v.data(), 40};
            update_(&d);
            done = true;
        });
        QTRY_VERIFY(done);
        t.join();
        QCOMPARE(plotProperty("values").at(39).toInt(), 1234);
    }

    void screenshotWhileMeasuring()
    {
        const QString dir = qEnvironmentVariable("KD36_SHOT_DIR");
        if (dir.isEmpty())
            QSKIP("set KD36_SHOT_DIR to save a screenshot");
        QWidget* w = displayWindow();
        w->resize(960, 540);
        for (int n = 0; n < 3; ++n) {
            std::array<int32_t, 40> v = sweep(n);
            feed(v);
        }
        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("btnClearPeaks")), Qt::LeftButton);
        for (int n = 3; n < 12; ++n) {
            std::array<int32_t, 40> v = sweep(n);
            feed(v);
        }
        QWidget* plot = w->findChild<QWidget*>(QStringLiteral("plot"));
        QApplication::processEvents();
        const QPointF at(72 + (plot->width() - 90) / 40.0 * 16.5, plot->height() / 2);
        QMouseEvent move(QEvent::MouseMove, at, plot->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(plot, &move);
        QCOMPARE(plot->property("hoveredChannel").toInt(), 23);
        QVERIFY(w->grab().save(dir + QStringLiteral("/spectrum.png")));
    }

    void csvHoldsEverySweepSinceStart()
    {
        QWidget* w = displayWindow();
        auto* save = w->findChild<QPushButton*>(QStringLiteral("btnCsvSave"));
        QVERIFY(save);
        QCOMPARE(save->text(), QCoreApplication::translate("kd36::spectrum::SpectrumWindow", "CSV保存..."));
        QTest::mouseClick(startButton(), Qt::LeftButton); // stop
        QTest::mouseClick(startButton(), Qt::LeftButton); // a new start forgets earlier sweeps
        QVERIFY(!save->isEnabled());
        std::array<int32_t, 40> v{};
        for (int i = 0; i < 40; ++i)
            v[size_t(i)] = i * 10;
        v[39] = 5000; // kept as received, though the plot stops at full scale
        feed(v);
        v[0] = 77;
        feed(v);
        QVERIFY(save->isEnabled());

        QTemporaryDir dir;
        const QString path = dir.filePath("air.csv");
        w->setProperty("csvPath", path);
        QTest::mouseClick(save, Qt::LeftButton);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 4); // header, two sweeps, nothing after the last CR LF
        QVERIFY(lines[0].startsWith("time,ch07,ch08,"));
        QVERIFY(lines[0].endsWith(",ch45,ch46\r"));
        QCOMPARE(lines[0].count(','), 40);
        const QList<QByteArray> row = lines[2].trimmed().split(',');
        QCOMPARE(row.size(), 41);
        QVERIFY2(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)")
                     .match(QString::fromLatin1(row[0])).hasMatch(),
                 row[0].constData());
        QCOMPARE(row[1], QByteArray("77"));
        QCOMPARE(row[2], QByteArray("10"));
        QCOMPARE(row[40], QByteArray("5000"));

        // A file that cannot be written: one box, the old file stays whole.
        int boxes = 0;
        QTimer::singleShot(0, [&] {
            if (auto* m = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ++boxes;
                m->accept();
            }
        });
        w->setProperty("csvPath", dir.filePath("missing/air.csv"));
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(boxes, 1);
        w->setProperty("csvPath", QVariant());
    }

    void closingTheWindowReportsNotShownAndStopped()
    {
        QCOMPARE(status().Running, 1);
        displayWindow()->close();
        const DisplayStatus s = status();
        QCOMPARE(s.Shown, 0);
        QCOMPARE(s.Running, 0);
        QVERIFY(!displayWindow()->isVisible());
    }

    void showAgainStartsANewSession()
    {
        show_();
        const DisplayStatus s = status();
        QCOMPARE(s.Shown, 1);
        QCOMPARE(s.Sweeps, 0);
        QCOMPARE(s.Running, 0);
        QVERIFY(displayWindow()->isVisible());
        show_(); // while shown: no second window
        int windows = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            windows += w->objectName() == QLatin1String("AirMonitorWindow");
        QCOMPARE(windows, 1);
    }

    void hideReportsNotShown()
    {
        QTest::mouseClick(startButton(), Qt::LeftButton);
        QCOMPARE(status().Running, 1);
        hide_();
        const DisplayStatus s = status();
        QCOMPARE(s.Shown, 0);
        QCOMPARE(s.Running, 0);
        QVERIFY(!displayWindow()->isVisible());
        hide_(); // twice is harmless
        QCOMPARE(status().Shown, 0);
    }

    void unloadRemovesTheWindow()
    {
        QVERIFY(lib_.unload());
        QVERIFY(!displayWindow());
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("IPAGothic")));
    // The window follows the tool's language, which the locale picks.
    kd36::useLanguage(kd36::windowLanguage(kd36::messagesLocale()));
    SpectrumLibraryTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "spectrum_library_test.moc"
