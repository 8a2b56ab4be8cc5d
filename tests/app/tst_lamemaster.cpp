#include "app/LameMaster.h"
#include "app/SingleInstance.h"
#include "batch/BatchEncoder.h"
#include "platform/LocalizedStrings.h"
#include "support/widgets/BatchFixture.h"

#include <QDBusConnection>
#include <QTextBrowser>
#include <QtTest>
#include <QtWidgets>

// The application controller: gopher, cascade, a second launch, German (opened files: batch tests).
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
        // A window that becomes active makes itself the gopher; start from a known order, once the
        // last window shown has become active and so the gopher.
        QTRY_VERIFY(master.gopher() == b);
        for (BatchEncoder *batch : {a, b, a, b})
            master.unregisterBureaucrat(batch);
        for (BatchEncoder *batch : {a, b, a})
            master.registerBureaucrat(batch);
        using Registry = QList<FileReceiver *>;
        QVERIFY(master.bureaucrats() == (Registry{a, b}) && master.gopher() == a);
        master.setGopher(b);
        QVERIFY(master.bureaucrats() == (Registry{b, a}) && master.gopher() == b);
        // Closing a window ends its controller, which leaves the registry.
        b->window()->close();
        QTRY_VERIFY(master.bureaucrats() == Registry{a} && master.gopher() == a);
        a->window()->close();
        QTRY_VERIFY(master.bureaucrats().isEmpty() && !master.gopher());
    }

    // The first window keeps its place; the rest follow one step each, also after the first closed;
    // a step off the screen starts again from its edge.
    void cascade()
    {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const QPoint corner(area.right() - 250, area.bottom() - 180);
        using Steps = QList<std::pair<QRect, QPoint>>; // as a description places a window, where it goes
        for (const Steps &steps :
             {Steps{{{100, 80, 200, 150}, {100, 80}},
                    {{400, 300, 200, 150}, {124, 104}},
                    {{10, 10, 9, 9}, {148, 128}}},
              Steps{{{corner, QSize(200, 150)}, corner}, {{0, 0, 240, 170}, area.topLeft()}}}) {
            LameMaster master;
            for (const auto &[geometry, placed] : steps) {
                QWidget window;
                window.setGeometry(geometry);
                master.positionWindow(&window);
                QCOMPARE(window.pos(), placed);
            }
        }
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
        const auto row = [](const char *name, const QStringList &environment, const QStringList &files,
                            int exitCode) { QTest::newRow(name) << environment << files << exitCode; };
        row("a second launch hands its files over", {}, {"/tmp/first song.wav", "/tmp/second;$x.aiff"}, 0);
        row("without a session bus each launch runs on its own",
            {"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"}, {"/tmp/a.wav"}, -1);
        row("without a display it says so and fails", {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=xcb"},
            {}, 1);
    }
    void launches()
    {
        QFETCH(QStringList, environment);
        QFETCH(QStringList, files);
        QFETCH(int, exitCode);
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
        orvik.start(ORVIK_BUILD_DIR "/orvik", files);
        QVERIFY(orvik.waitForStarted() &&
                (exitCode >= 0 || (!orvik.waitForFinished(1500) && orvik.state() == QProcess::Running)));
        if (exitCode < 0)
            orvik.kill();
        // The hand-over is answered by this process's event loop.
        QTRY_COMPARE_WITH_TIMEOUT(orvik.state(), QProcess::NotRunning, 20000);
        QVERIFY(exitCode < 0 || (orvik.exitStatus() == QProcess::NormalExit && orvik.exitCode() == exitCode));
        QTRY_COMPARE_WITH_TIMEOUT(received, exitCode ? QStringList() : files, 20000);
        QVERIFY(exitCode != 1 ||
                QRegularExpression("^[^\n]*display[^\n]*\n$").match(orvik.readAllStandardError()).hasMatch());
    }

    // A batch window under German: its title from the code's table, its controls' texts, tooltips
    // and accessible names from the window description. Last, as the translation stays.
    void batchWindowIsGerman()
    {
        QVERIFY(installTranslation(QLocale("de_DE")));
        BatchFixture fixture(false);
        QPushButton *encode = BatchFixture::button(fixture.batchWith({}), "encodeButton");
        QVERIFY(encode && encode->window()->windowTitle().startsWith("Stapelkodierung "));
        QCOMPARE(encode->text() + '|' + encode->accessibleName() + '|' + encode->toolTip(),
                 "&Kodieren|Kodieren|Jede Datei der Liste in den Zielordner kodieren.");
    }
};

QTEST_MAIN(tst_LameMaster)
#include "tst_lamemaster.moc"
