#include "app/LameMaster.h"
#include "app/SingleInstance.h"
#include "batch/BatchEncoder.h"

#include <QApplication>
#include <QDBusConnection>
#include <QMainWindow>
#include <QProcess>
#include <QScreen>
#include <QTranslator>
#include <QtTest>

namespace {
// A translation of one text, to see whether a title is looked up again.
class OneTranslation : public QTranslator
{
  public:
    OneTranslation(const char *context, const char *key, const QString &text)
        : context(context), key(key), text(text)
    {
    }
    bool isEmpty() const override { return false; }
    QString translate(const char *c, const char *source, const char *, int) const override
    {
        return qstrcmp(c, context) == 0 && qstrcmp(source, key) == 0 ? text : QString();
    }

  private:
    const char *context;
    const char *key;
    QString text;
};

QWidget *windowAt(int x, int y, int width = 200, int height = 150)
{
    auto *window = new QWidget;
    window->setGeometry(x, y, width, height);
    return window;
}
} // namespace

// The application controller: the registry of batch windows and its gopher, the cascade of new
// windows, the cached button titles, files opened with the application and a second launch.
class tst_LameMaster : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void registryKeepsTheGopherFirst()
    {
        LameMaster master;
        QVERIFY(!master.gopher());
        BatchEncoder *a = BatchEncoder::initWithPreferences(master.preferences());
        BatchEncoder *b = BatchEncoder::initWithPreferences(master.preferences());
        // A window that becomes active makes itself the gopher; start from a known order.
        QCoreApplication::processEvents();
        master.unregisterBureaucrat(a);
        master.unregisterBureaucrat(b);
        master.registerBureaucrat(a);
        master.registerBureaucrat(b);
        QCOMPARE(master.bureaucrats(), (QList<BatchEncoder *>{a, b}));
        QCOMPARE(master.gopher(), a);

        master.registerBureaucrat(a);
        master.unregisterBureaucrat(nullptr);
        QCOMPARE(master.bureaucrats(), (QList<BatchEncoder *>{a, b}));

        master.setGopher(b);
        QCOMPARE(master.bureaucrats(), (QList<BatchEncoder *>{b, a}));
        QCOMPARE(master.gopher(), b);
        master.setGopher(nullptr);
        QCOMPARE(master.gopher(), b);

        master.unregisterBureaucrat(b);
        QCOMPARE(master.gopher(), a);
        master.unregisterBureaucrat(b);
        QCOMPARE(master.bureaucrats(), QList<BatchEncoder *>{a});
        master.unregisterBureaucrat(a);
        QVERIFY(!master.gopher());
        QVERIFY(master.bureaucrats().isEmpty());

        // Closing a window ends its controller, which leaves the registry.
        master.setGopher(a);
        a->window()->close();
        QTRY_VERIFY(!BatchEncoder::allControllers().contains(a));
        QVERIFY(master.bureaucrats().isEmpty());
        b->window()->close();
        QTRY_VERIFY(BatchEncoder::allControllers().isEmpty());
    }

    void cascadeFromTheAnchor()
    {
        LameMaster master;
        std::unique_ptr<QWidget> first(windowAt(100, 80));
        master.positionWindow(first.get());
        QCOMPARE(first->pos(), QPoint(100, 80));
        QCOMPARE(master.nextPosition(), QPointF(100, 80));

        std::unique_ptr<QWidget> second(windowAt(400, 300));
        master.positionWindow(second.get());
        QCOMPARE(second->pos(), QPoint(124, 104));

        // Closing windows does not bring the cascade back.
        first.reset();
        second.reset();
        std::unique_ptr<QWidget> third(windowAt(10, 10));
        master.positionWindow(third.get());
        QCOMPARE(third->pos(), QPoint(148, 128));
    }

    void windowAtTheOriginMakesTheNextOneTheAnchor()
    {
        LameMaster master;
        std::unique_ptr<QWidget> first(windowAt(0, 0));
        master.positionWindow(first.get());
        QCOMPARE(master.nextPosition(), QPointF(0, 0));
        std::unique_ptr<QWidget> second(windowAt(300, 200));
        master.positionWindow(second.get());
        QCOMPARE(second->pos(), QPoint(300, 200));
        QCOMPARE(master.nextPosition(), QPointF(300, 200));
    }

    void cascadeStaysOnTheScreen()
    {
        LameMaster master;
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        std::unique_ptr<QWidget> anchor(windowAt(area.right() - 250, area.bottom() - 180));
        master.positionWindow(anchor.get());
        std::unique_ptr<QWidget> next(windowAt(0, 0, 240, 170));
        master.positionWindow(next.get());
        QVERIFY(area.contains(QRect(next->pos(), next->size())));
        QCOMPARE(next->pos(), area.topLeft());
    }

    void buttonTitlesAreLookedUpOnce()
    {
        LameMaster master;
        QCOMPARE(master.confirmButtonTitle(), QString("OK"));
        QCOMPARE(master.cancelButtonTitle(), QString("Cancel"));
        OneTranslation translation("Global", "ConfirmButtonTitle", "Fine");
        QCoreApplication::installTranslator(&translation);
        QCOMPARE(master.confirmButtonTitle(), QString("OK"));
        QCOMPARE(master.saveButtonTitle(), QString("Save"));
        LameMaster another;
        QCOMPARE(another.confirmButtonTitle(), QString("Fine"));
        QCoreApplication::removeTranslator(&translation);
    }

    void firstWindowTitles()
    {
        LameMaster master;
        const quint32 before = BatchEncoder::batchCount();
        master.initiateBatch();
        master.initiateBatch();
        QCOMPARE(BatchEncoder::batchCount(), before + 2);
        const QList<BatchEncoder *> windows = BatchEncoder::allControllers();
        QCOMPARE(windows.last()->window()->windowTitle(), QString("Batch Encoding %1").arg(before + 2));
        for (BatchEncoder *batch : windows)
            batch->window()->close();
        QTRY_VERIFY(BatchEncoder::allControllers().isEmpty());
    }

    void openedFilesGoToTheGopher()
    {
        LameMaster master;
        QVERIFY(master.openFile("/music/b.wav"));
        BatchEncoder *gopher = master.gopher();
        QVERIFY(gopher);
        QVERIFY(master.openFile("/music/a.wav"));
        QCOMPARE(master.gopher(), gopher);
        QCOMPARE(gopher->taskRecords().size(), 2);
        QCOMPARE(gopher->taskRecords().first().value("Input File Name").toString(), QString("/music/a.wav"));
        QVERIFY(master.openUntitledFile());
        QCOMPARE(BatchEncoder::allControllers().size(), 2);
        for (BatchEncoder *batch : BatchEncoder::allControllers())
            batch->window()->close();
        QTRY_VERIFY(BatchEncoder::allControllers().isEmpty());
    }

    void secondLaunchHandsItsFilesOver()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run the suite under dbus-run-session");
        SingleInstance instance;
        QStringList received;
        bool called = false;
        instance.filesOpened = [&](const QStringList &files) {
            received = files;
            called = true;
        };
        QCOMPARE(instance.claim({}), SingleInstance::Role::Primary);

        QProcess second;
        second.setProgram(QStringLiteral(ORVIK_BUILD_DIR "/orvik"));
        second.setArguments({"/tmp/first song.wav", "/tmp/second;$x.aiff"});
        second.start();
        QVERIFY(second.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(called, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(received, (QStringList{"/tmp/first song.wav", "/tmp/second;$x.aiff"}));
        QDBusConnection::sessionBus().unregisterService(SingleInstance::serviceName);
    }

    void withoutASessionBusEachLaunchRunsOnItsOwn()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run the suite under dbus-run-session");
        SingleInstance instance;
        bool called = false;
        instance.filesOpened = [&](const QStringList &) { called = true; };
        QCOMPARE(instance.claim({}), SingleInstance::Role::Primary);

        QProcess alone;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
        alone.setProcessEnvironment(environment);
        alone.start(QStringLiteral(ORVIK_BUILD_DIR "/orvik"), {"/tmp/song.wav"});
        QVERIFY(alone.waitForStarted());
        // It neither hands the file over nor ends: it has a window of its own.
        QTest::qWait(1500);
        QVERIFY(!called);
        QCOMPARE(alone.state(), QProcess::Running);
        alone.kill();
        alone.waitForFinished();
        QDBusConnection::sessionBus().unregisterService(SingleInstance::serviceName);
    }

    void noDisplaySaysSoAndFails()
    {
        QProcess orvik;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("QT_QPA_PLATFORM", "xcb");
        orvik.setProcessEnvironment(environment);
        orvik.start(QStringLiteral(ORVIK_BUILD_DIR "/orvik"), {});
        QVERIFY(orvik.waitForFinished(20000));
        QCOMPARE(orvik.exitStatus(), QProcess::NormalExit);
        QCOMPARE(orvik.exitCode(), 1);
        const QByteArray error = orvik.readAllStandardError();
        QCOMPARE(error.count('\n'), 1);
        QVERIFY(error.contains("display"));
    }
};

QTEST_MAIN(tst_LameMaster)
#include "tst_lamemaster.moc"
