#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"
#include "monitor/LameProgress.h"
#include "platform/widgets/Workspace.h"

#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
const int Stop = 1;
const int Skip = 2;

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}

bool setImmutable(const QString &path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
}
} // namespace

// The window side of a batch's run with the stand-in encoder, whose timing the tests choose: the
// sheets and questions, existing output files, and closing the window during a run. The run's
// own transitions are tested on EncoderRun.
class tst_BatchRun : public QObject
{
    Q_OBJECT

    std::unique_ptr<BatchFixture> fixture;
    QString music;

    QString output(const QString &name) const { return music + u'/' + name; }

    // Answers the completion sheet and checks what the run ends with.
    void finish(BatchEncoder *batch, const QString &shownFile, const QString &message = "Batch complete.")
    {
        QSignalSpy shown(&Workspace::shared(), &Workspace::fileShown);
        QMessageBox *alert = TestSheets::waitForAlert();
        QVERIFY(alert);
        QCOMPARE(alert->text(), QString("Encoding Complete"));
        QCOMPARE(alert->informativeText(), message);
        QVERIFY(TestSheets::click(alert, "OK"));
        QVERIFY(BatchFixture::waitUntilEnded(batch));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().first().toString(), shownFile);
    }

  private slots:
    void initTestCase()
    {
        fixture = std::make_unique<BatchFixture>(true);
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
    }

    void init() { music = fixture->cleanMusicFolder(); }

    // A failed test leaves no question or window behind for the next one.
    void cleanup() { QVERIFY(BatchFixture::closeEverything()); }

    void cleanupTestCase() { fixture.reset(); }

    void encodesEveryFileAndShowsTheFirst()
    {
        BatchEncoder *batch =
            fixture->batchWith({fixture->fakeInput("b.wav", 0.1), fixture->fakeInput("a.wav", 0.1)});
        BatchFixture::encode(batch);
        QVERIFY(!fixture->master().bureaucrats().contains(batch));
        QVERIFY(!BatchFixture::button(batch, "encodeButton")->isEnabled());
        finish(batch, output("a.mp3"));
        // Orvik stays open: the last window to end leaves an empty batch window in its place,
        // while closing that one by hand leaves none.
        QCOMPARE(BatchEncoder::allControllers().size(), 1);
        BatchEncoder *next = BatchEncoder::allControllers().first();
        QVERIFY(next->window()->isVisible() && next->taskRecords().isEmpty());
        next->window()->close();
        QVERIFY(BatchFixture::waitUntilEnded(next));
        QVERIFY(BatchEncoder::allControllers().isEmpty());
    }

    void partialFileThatCannotBeRemovedIsSaid()
    {
        BatchEncoder *batch = fixture->batchWith({fixture->fakeInput("long.wav", 5.0)});
        BatchFixture::encode(batch);
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(output("long.mp3")).size() > 0; }));
        BatchFixture::interrupt(batch, Skip);
        QMessageBox *alert = TestSheets::waitForAlert();
        QVERIFY(alert);
        if (!setImmutable(music, true))
            QSKIP("the music folder cannot be made immutable here (needs root and ext4 or tmpfs)");
        QVERIFY(TestSheets::click(alert, "OK"));
        QTRY_VERIFY(fixture->master().commandLog()->text().contains(
            QString("The unfinished file \"%1\" could not be removed; it is not whole.")
                .arg(output("long.mp3"))));
        setImmutable(music, false);
        finish(batch, output("long.mp3"));
    }

    void cancelledQuestionPutsTheSheetBack_data()
    {
        QTest::addColumn<int>("button");
        QTest::newRow("stop") << Stop;
        QTest::newRow("skip") << Skip;
    }

    void cancelledQuestionPutsTheSheetBack()
    {
        QFETCH(int, button);
        BatchEncoder *batch = fixture->batchWith({fixture->fakeInput("long.wav", 1.5)});
        BatchFixture::encode(batch);
        QVERIFY(BatchFixture::waitUntilEncoding(batch, 0));
        QVERIFY(batch->progressController()->progressSheet()->isVisible());
        BatchFixture::interrupt(batch, button);
        QMessageBox *alert = TestSheets::waitForAlert();
        QVERIFY(alert);
        QVERIFY(!batch->progressController()->progressSheet()->isVisible());
        QVERIFY(TestSheets::click(alert, "Cancel"));
        QTRY_VERIFY(batch->progressController()->progressSheet()->isVisible());
        QCOMPARE(batch->encoderProcess()->state(), QProcess::Running);
        finish(batch, output("long.mp3"));
    }

    void confirmedStopLeavesNoEmptyPlaylist()
    {
        // With the library on, the batch's playlist is made at Encode; a Stop before any file was
        // added leaves no empty playlist behind.
        LamePrefs::preferences().setBool(true, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(true, PrefKey::BatchPlaylists);
        BatchEncoder *batch = fixture->batchWith({fixture->fakeInput("long.wav", 5.0)});
        BatchFixture::encode(batch);
        QVERIFY(BatchFixture::waitUntilEncoding(batch, 0));
        BatchFixture::interrupt(batch, Stop);
        QMessageBox *alert = TestSheets::waitForAlert();
        QVERIFY(alert);
        QVERIFY(TestSheets::click(alert, "OK"));
        QVERIFY(BatchFixture::waitUntilEnded(batch));
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        QVERIFY(QDir(output("Playlists")).exists());
        QCOMPARE(QDir(output("Playlists")).entryList(QDir::Files), QStringList());
    }

    void closingARunningWindowAsksToStop()
    {
        BatchEncoder *batch = fixture->batchWith({fixture->fakeInput("long.wav", 1.0)});
        BatchFixture::encode(batch);
        QVERIFY(BatchFixture::waitUntilEncoding(batch, 0));
        QVERIFY(!batch->window()->close());
        QMessageBox *alert = TestSheets::waitForAlert();
        QVERIFY(alert);
        QCOMPARE(alert->text(), QString("Stop batch?"));
        QVERIFY(TestSheets::click(alert, "Cancel"));
        QVERIFY(batch->window()->isVisible());
        finish(batch, output("long.mp3"));
    }

    void conflictWhileAQuestionIsUpWaitsForTheAnswer()
    {
        writeFile(output("two.mp3"), "existing");
        BatchEncoder *batch =
            fixture->batchWith({fixture->fakeInput("one.wav", 0.6), fixture->fakeInput("two.wav", 0.1)});
        BatchFixture::encode(batch);
        QVERIFY(BatchFixture::waitUntilEncoding(batch, 0));
        BatchFixture::interrupt(batch, Skip);
        QPointer<QMessageBox> question = TestSheets::waitForAlert();
        QVERIFY(question);
        QVERIFY(QTest::qWaitFor([&] { return batch->currentTaskIndex() == 1; }, 10000));
        QCoreApplication::processEvents(); // the next file's start, which finds the conflict
        QVERIFY(!batch->encoderProcess());
        QVERIFY(TestSheets::click(question, "Cancel"));
        QTRY_VERIFY(question.isNull() || !question->isVisible());
        QMessageBox *conflict = TestSheets::waitForAlert();
        QVERIFY(conflict);
        QCOMPARE(conflict->text(), QString("Duplicate Filename \"two.mp3\""));
        QCOMPARE(TestSheets::buttonTitles(conflict), (QStringList{"Rename", "Replace", "Skip"}));
        QVERIFY(TestSheets::click(conflict, "Replace"));
        finish(batch, output("one.mp3"));
        QVERIFY(contents(output("two.mp3")) != "existing");
    }

    void conflictAnswers_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("renamedTo");
        QTest::addColumn<bool>("encoded");
        QTest::newRow("replace") << "Replace" << QString() << true;
        QTest::newRow("skip") << "Skip" << QString() << false;
        QTest::newRow("rename") << "Rename"
                                << "renamed.mp3" << true;
        QTest::newRow("rename cancelled") << "Rename" << QString() << false;
        // The data is MP3 whatever the name typed; a name that is taken is asked about again.
        QTest::newRow("rename to another extension") << "Rename"
                                                     << "Other.wav" << true;
        QTest::newRow("rename to the taken name") << "Rename"
                                                  << "song" << false;
    }

    void conflictAnswers()
    {
        QFETCH(QString, answer);
        QFETCH(QString, renamedTo);
        QFETCH(bool, encoded);
        writeFile(output("song.mp3"), "existing");
        BatchEncoder *batch = fixture->batchWith({fixture->fakeInput("song.wav", 0.1)});
        BatchFixture::encode(batch);
        // The question comes before any progress sheet.
        QMessageBox *conflict = TestSheets::waitForAlert();
        QVERIFY(conflict);
        QVERIFY(!batch->progressController()->progressSheet()->isVisible());
        QCOMPARE(conflict->informativeText(), QString("Rename file \"song.mp3\"?"));
        QVERIFY(TestSheets::click(conflict, answer));
        QString first = output("song.mp3");
        if (answer == "Rename") {
            QFileDialog *panel = TestSheets::waitForPanel();
            QVERIFY(panel);
            QCOMPARE(QFileInfo(panel->directory().absolutePath()), QFileInfo(music));
            if (renamedTo.isEmpty()) {
                panel->reject();
            } else {
                TestSheets::choose(panel, output(renamedTo));
                first = output(renamedTo.endsWith(".mp3") ? renamedTo : renamedTo + ".mp3");
            }
        }
        if (first == output("song.mp3") && !renamedTo.isEmpty()) {
            QMessageBox *again = TestSheets::waitForAlert();
            QVERIFY(again);
            QCOMPARE(again->text(), QString("Duplicate Filename \"song.mp3\""));
            QVERIFY(TestSheets::click(again, "Skip"));
        }
        finish(batch, first);
        QCOMPARE(contents(output("song.mp3")) == "existing", answer != "Replace");
        QCOMPARE(QFileInfo::exists(first) && contents(first) != "existing", encoded);
        QVERIFY(!QFileInfo::exists(output("Other.wav")));
    }

    void lockedFileOffersRenameAndSkipOnly()
    {
        const QString existing = output("locked.mp3");
        writeFile(existing, "existing");
        if (!setImmutable(existing, true))
            QSKIP("this file system does not let the test lock a file");
        BatchEncoder *batch = fixture->batchWith({fixture->fakeInput("locked.wav", 0.1)});
        BatchFixture::encode(batch);
        QMessageBox *conflict = TestSheets::waitForAlert();
        setImmutable(existing, false);
        QVERIFY(conflict);
        QCOMPARE(TestSheets::buttonTitles(conflict), (QStringList{"Rename", "Skip"}));
        setImmutable(existing, true);
        QVERIFY(TestSheets::click(conflict, "Skip"));
        setImmutable(existing, false);
        finish(batch, existing);
        QCOMPARE(contents(existing), QByteArray("existing"));
    }

    void unusableDestinationIsSaidBeforeAnyFileStarts()
    {
        BatchEncoder *batch = fixture->batchWith({fixture->fakeInput("song.wav", 0.1)});
        QTemporaryDir dir;
        const QString parent = dir.filePath("parent");
        QVERIFY(QDir().mkpath(parent + "/dest"));
        BatchFixture::button(batch, "destinationButton")->click();
        QFileDialog *panel = TestSheets::waitForPanel();
        QVERIFY(panel);
        QCOMPARE(panel->windowTitle(), QString("Select Destination Folder"));
        TestSheets::choose(panel, parent + "/dest");
        QTRY_VERIFY(batch->destination() == parent + "/dest");
        // The folder is replaced by a file before Encode: it can be neither found nor made.
        QDir(parent).removeRecursively();
        writeFile(parent, "not a folder");
        BatchFixture::encode(batch);
        QMessageBox *alert = TestSheets::waitForAlert();
        QVERIFY(alert);
        QCOMPARE(alert->text(), QString("Cannot Use Destination Folder"));
        QVERIFY(TestSheets::click(alert, "OK"));
        QVERIFY(!batch->isRunning());
        QVERIFY(BatchFixture::button(batch, "encodeButton")->isEnabled());
        QVERIFY(fixture->master().bureaucrats().contains(batch));
        batch->window()->close();
        QVERIFY(BatchFixture::waitUntilEnded(batch));
    }

    void quittingAsksOnceAndStopsEveryEncoder()
    {
        BatchEncoder *first = fixture->batchWith({fixture->fakeInput("one.wav", 5.0)});
        BatchEncoder *second = fixture->batchWith({fixture->fakeInput("two.wav", 5.0)});
        BatchFixture::encode(first);
        BatchFixture::encode(second);
        QVERIFY(BatchFixture::waitUntilEncoding(first, 0));
        QVERIFY(BatchFixture::waitUntilEncoding(second, 0));
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(output("two.mp3")).size() > 0; }));
        fixture->master().quit();
        QMessageBox *alert = TestSheets::waitForAlert();
        QVERIFY(alert);
        QCOMPARE(alert->text(), QString("Quit Orvik?"));
        QVERIFY(TestSheets::click(alert, "Quit"));
        QVERIFY(BatchFixture::waitUntilEnded(first));
        QVERIFY(BatchFixture::waitUntilEnded(second));
        QVERIFY(!QFileInfo::exists(output("one.mp3")));
        QVERIFY(!QFileInfo::exists(output("two.mp3")));
    }
};

QTEST_MAIN(tst_BatchRun)
#include "tst_batchrun.moc"
