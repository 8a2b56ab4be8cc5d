#include "app/LameMaster.h"
#include "app/SingleInstance.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"

#include <QApplication>
#include <QDBusConnection>
#include <QMainWindow>
#include <QProcess>
#include <QScreen>
#include <QTextBrowser>
#include <QtTest>

// The application controller: the registry of batch windows and its gopher, the cascade of new
// windows, files opened with the application, and launching Orvik again.
class tst_LameMaster : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void registryKeepsTheGopherFirst()
    {
        LameMaster master;
        BatchEncoder *a = BatchEncoder::initWithPreferences(master.preferences());
        BatchEncoder *b = BatchEncoder::initWithPreferences(master.preferences());
        // A window that becomes active makes itself the gopher; start from a known order.
        QCoreApplication::processEvents();
        for (BatchEncoder *batch : {a, b, a, b})
            master.unregisterBureaucrat(batch);
        for (BatchEncoder *batch : {a, b, a})
            master.registerBureaucrat(batch);
        master.unregisterBureaucrat(nullptr);
        using Registry = QList<FileReceiver *>;
        QCOMPARE(master.bureaucrats(), (Registry{a, b}));
        QCOMPARE(master.gopher(), a);
        master.setGopher(b);
        master.setGopher(nullptr);
        QCOMPARE(master.bureaucrats(), (Registry{b, a}));
        QCOMPARE(master.gopher(), b);
        master.unregisterBureaucrat(b);
        QCOMPARE(master.gopher(), a);
        master.unregisterBureaucrat(a);
        QVERIFY(!master.gopher());

        // Closing a window ends its controller, which leaves the registry.
        master.setGopher(a);
        a->window()->close();
        b->window()->close();
        QTRY_VERIFY(BatchEncoder::allControllers().isEmpty());
        QVERIFY(master.bureaucrats().isEmpty());
    }

    void cascade_data()
    {
        QTest::addColumn<QList<QRect>>("windows"); // as their descriptions place them
        QTest::addColumn<QList<QPoint>>("placed");
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        // The first keeps its place; the rest follow one step each, also after the first closed.
        QTest::newRow("from the anchor")
            << QList<QRect>{{100, 80, 200, 150}, {400, 300, 200, 150}, {10, 10, 9, 9}}
            << QList<QPoint>{{100, 80}, {124, 104}, {148, 128}};
        QTest::newRow("a window at the origin makes the next one the anchor")
            << QList<QRect>{{0, 0, 200, 150}, {300, 200, 200, 150}, {0, 0, 200, 150}}
            << QList<QPoint>{{0, 0}, {300, 200}, {324, 224}};
        QTest::newRow("a step off the screen starts again from its edge")
            << QList<QRect>{{area.right() - 250, area.bottom() - 180, 200, 150}, {0, 0, 240, 170}}
            << QList<QPoint>{{area.right() - 250, area.bottom() - 180}, area.topLeft()};
    }

    void cascade()
    {
        QFETCH(QList<QRect>, windows);
        QFETCH(QList<QPoint>, placed);
        LameMaster master;
        for (int i = 0; i < windows.size(); ++i) {
            QWidget window;
            window.setGeometry(windows[i]);
            master.positionWindow(&window);
            QCOMPARE(window.pos(), placed[i]);
        }
    }

    void openedFilesGoToTheGopher()
    {
        LameMaster master;
        const quint32 before = BatchEncoder::batchCount();
        QVERIFY(master.openFile("/music/b.wav"));
        QVERIFY(master.openFile("/music/a.wav"));
        QCOMPARE(BatchEncoder::allControllers().size(), 1);
        BatchEncoder *gopher = BatchEncoder::allControllers().first();
        QCOMPARE(master.gopher(), gopher);
        QCOMPARE(gopher->window()->windowTitle(), QString("Batch Encoding %1").arg(before + 1));
        QCOMPARE(gopher->taskRecords().size(), 2);
        QCOMPARE(gopher->taskRecords().first().value(kInputFileKey).toString(), QString("/music/a.wav"));
        QVERIFY(master.openUntitledFile());
        QCOMPARE(BatchEncoder::allControllers().size(), 2);
        for (BatchEncoder *batch : BatchEncoder::allControllers())
            batch->window()->close();
        QTRY_VERIFY(BatchEncoder::allControllers().isEmpty());
    }

    // Without a browser that can be started, the help page opens in a window of Orvik's own.
    void helpWithoutBrowser()
    {
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        qputenv("BROWSER", "false");
        LameMaster master;
        master.showHelp();
        qputenv("PATH", path);
        auto *page = qobject_cast<QTextBrowser *>(master.helpWindow());
        QVERIFY(page && QTest::qWaitForWindowActive(page));
        QVERIFY(page->toPlainText().contains("The batch window"));
        QTest::keyClick(page, Qt::Key_Escape);
        QTRY_VERIFY(!master.helpWindow());
    }

    // Orvik started again while this process holds the session's name.
    void launches_data()
    {
        QTest::addColumn<QStringList>("environment"); // NAME=value, or NAME alone to remove it
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("exitCode"); // -1: still running, with a window of its own
        QTest::addColumn<bool>("handedOver");
        QTest::addColumn<QString>("error"); // a word of the one line on standard error
        QTest::newRow("a second launch hands its files over")
            << QStringList() << QStringList{"/tmp/first song.wav", "/tmp/second;$x.aiff"} << 0 << true << "";
        QTest::newRow("without a session bus each launch runs on its own")
            << QStringList{"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"}
            << QStringList{"/tmp/song.wav"} << -1 << false << "";
        QTest::newRow("without a display it says so and fails")
            << QStringList{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=xcb"} << QStringList() << 1 << false
            << "display";
    }

    void launches()
    {
        QFETCH(QStringList, environment);
        QFETCH(QStringList, files);
        QFETCH(int, exitCode);
        QFETCH(bool, handedOver);
        QFETCH(QString, error);
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run the suite under dbus-run-session");
        SingleInstance instance;
        QStringList received;
        instance.filesOpened = [&](const QStringList &opened) { received = opened; };
        QCOMPARE(instance.claim({}), SingleInstance::Role::Primary);
        const auto release =
            qScopeGuard([] { QDBusConnection::sessionBus().unregisterService(SingleInstance::serviceName); });

        QProcessEnvironment settings = QProcessEnvironment::systemEnvironment();
        for (const QString &setting : environment)
            setting.contains('=') ? settings.insert(setting.section('=', 0, 0), setting.section('=', 1))
                                  : settings.remove(setting);
        QProcess orvik;
        orvik.setProcessEnvironment(settings);
        orvik.start(QStringLiteral(ORVIK_BUILD_DIR "/orvik"), files);
        QVERIFY(orvik.waitForStarted());
        if (exitCode < 0) {
            QTest::qWait(1500);
            QCOMPARE(orvik.state(), QProcess::Running);
            orvik.kill();
        }
        // The hand-over is answered by this process's event loop.
        QTRY_COMPARE_WITH_TIMEOUT(orvik.state(), QProcess::NotRunning, 20000);
        if (exitCode >= 0) {
            QCOMPARE(orvik.exitStatus(), QProcess::NormalExit);
            QCOMPARE(orvik.exitCode(), exitCode);
        }
        if (handedOver)
            QTRY_COMPARE_WITH_TIMEOUT(received, files, 20000);
        QVERIFY(handedOver || received.isEmpty());
        const QByteArray errors = orvik.readAllStandardError();
        QVERIFY(error.isEmpty() || (errors.count('\n') == 1 && errors.contains(error.toUtf8())));
    }
};

QTEST_MAIN(tst_LameMaster)
#include "tst_lamemaster.moc"
