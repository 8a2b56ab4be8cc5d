#include "support/BatchFixture.h"
#include "support/TestSheets.h"

#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "monitor/LameProgress.h"
#include "platform/Resources.h"
#include "platform/Workspace.h"
#include "settings/LamePrefs.h"

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

// The run of a batch with the stand-in encoder, whose timing the tests choose: every
// transition of the run, the Stop and Skip questions answered before and after the file ends,
// existing output files, failures, and closing the window during a run.
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
    void cleanup()
    {
        while (QMessageBox *alert = TestSheets::waitForAlert(0))
            delete alert;
        while (QFileDialog *panel = TestSheets::waitForPanel(0))
            delete panel;
        for (BatchEncoder *batch : BatchEncoder::allControllers())
            batch->abortRun();
        QTRY_VERIFY(BatchEncoder::allControllers().isEmpty());
    }

    void cleanupTestCase() { fixture.reset(); }

    void encodesEveryFileAndShowsTheFirst()
    {
        BatchEncoder *batch =
            fixture->batchWith({fixture->fakeInput("b.wav", 0.1), fixture->fakeInput("a.wav", 0.1)});
        BatchFixture::encode(batch);
        QVERIFY(!fixture->master().bureaucrats().contains(batch));
        QVERIFY(!BatchFixture::button(batch, "encodeButton")->isEnabled());
        finish(batch, output("a.mp3"));
        QVERIFY(QFileInfo::exists(output("a.mp3")));
        QVERIFY(QFileInfo::exists(output("b.mp3")));
        // Orvik stays open: the last window to end leaves an empty batch window in its place,
        // while closing that one by hand leaves none.
        QCOMPARE(BatchEncoder::allControllers().size(), 1);
        BatchEncoder *next = BatchEncoder::allControllers().first();
        QVERIFY(next->window()->isVisible() && next->taskRecords().isEmpty());
        next->window()->close();
        QVERIFY(BatchFixture::waitUntilEnded(next));
        QVERIFY(BatchEncoder::allControllers().isEmpty());
    }

    void stopAnsweredAfterTheFileEnded_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("lastFile");
        QTest::newRow("cancel: the prepared file starts") << "Cancel" << false;
        QTest::newRow("confirm: the prepared file is dropped") << "OK" << false;
        QTest::newRow("cancel on the last file: completion") << "Cancel" << true;
        QTest::newRow("confirm on the last file: no completion") << "OK" << true;
    }

    void stopAnsweredAfterTheFileEnded()
    {
        QFETCH(QString, answer);
        QFETCH(bool, lastFile);
        QStringList files{fixture->fakeInput("one.wav", 0.6)};
        if (!lastFile)
            files << fixture->fakeInput("two.wav", 0.1);
        BatchEncoder *batch = fixture->batchWith(files);
        BatchFixture::encode(batch);
        QVERIFY(BatchFixture::waitUntilEncoding(batch, 0));
        BatchFixture::interrupt(batch, Stop);
        QMessageBox *alert = TestSheets::waitForAlert();
        QVERIFY(alert);
        QCOMPARE(alert->text(), QString("Stop batch?"));
        // The encoder goes on under the question and ends meanwhile.
        QVERIFY(QTest::qWaitFor(
            [&] { return batch->currentTaskIndex() == 1 && (lastFile || batch->encoderProcess()); }, 10000));
        if (!lastFile)
            QCOMPARE(batch->encoderProcess()->state(), QProcess::NotRunning);
        QVERIFY(TestSheets::click(alert, answer));
        if (answer == "OK") {
            QVERIFY(BatchFixture::waitUntilEnded(batch));
            QVERIFY(!TestSheets::waitForAlert(300));
            QVERIFY(QFileInfo::exists(output("one.mp3")));
            QVERIFY(!QFileInfo::exists(output("two.mp3")));
            return;
        }
        finish(batch, output("one.mp3"));
        QCOMPARE(QFileInfo::exists(output("two.mp3")), !lastFile);
    }

    void skipAnsweredAfterTheFileEndedTerminatesNothing()
    {
        BatchEncoder *batch =
            fixture->batchWith({fixture->fakeInput("one.wav", 0.6), fixture->fakeInput("two.wav", 0.1)});
        BatchFixture::encode(batch);
        QVERIFY(BatchFixture::waitUntilEncoding(batch, 0));
        BatchFixture::interrupt(batch, Skip);
        QMessageBox *alert = TestSheets::waitForAlert();
        QVERIFY(alert);
        QCOMPARE(alert->informativeText(), QString("Skip file \"one.wav\"?"));
        QVERIFY(QTest::qWaitFor([&] { return batch->currentTaskIndex() == 1 && batch->encoderProcess(); },
                                10000));
        QVERIFY(TestSheets::click(alert, "OK"));
        finish(batch, output("one.mp3"));
        QVERIFY(QFileInfo::exists(output("one.mp3")));
        QVERIFY(QFileInfo::exists(output("two.mp3")));
    }

    void confirmedSkipRemovesThePartialFile_data()
    {
        QTest::addColumn<int>("skipped");
        QTest::newRow("second of three") << 1;
        QTest::newRow("the last") << 2;
    }

    void confirmedSkipRemovesThePartialFile()
    {
        QFETCH(int, skipped);
        QStringList files;
        for (int i = 0; i < 3; ++i)
            files << fixture->fakeInput(QString("f%1.wav").arg(i), i == skipped ? 5.0 : 0.1);
        BatchEncoder *batch = fixture->batchWith(files);
        BatchFixture::encode(batch);
        QVERIFY(BatchFixture::waitUntilEncoding(batch, skipped));
        QVERIFY(
            QTest::qWaitFor([&] { return QFileInfo(output(QString("f%1.mp3").arg(skipped))).size() > 0; }));
        BatchFixture::interrupt(batch, Skip);
        QMessageBox *alert = TestSheets::waitForAlert();
        QVERIFY(alert);
        QVERIFY(TestSheets::click(alert, "OK"));
        finish(batch, output("f0.mp3"));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(QFileInfo::exists(output(QString("f%1.mp3").arg(i))), i != skipped);
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
        QVERIFY(QFileInfo::exists(output("long.mp3")));
    }

    void confirmedStopEndsTheEncoderAndRemovesItsFile()
    {
        // With the library on, the batch's playlist is made at Encode; a Stop before any file was
        // added leaves no empty playlist behind.
        LamePrefs::preferences().setBool(true, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(true, PrefKey::BatchPlaylists);
        BatchEncoder *batch =
            fixture->batchWith({fixture->fakeInput("long.wav", 5.0), fixture->fakeInput("next.wav", 0.1)});
        BatchFixture::encode(batch);
        QVERIFY(BatchFixture::waitUntilEncoding(batch, 0));
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(output("long.mp3")).size() > 0; }));
        QPointer<QProcess> encoder = batch->encoderProcess();
        BatchFixture::interrupt(batch, Stop);
        QMessageBox *alert = TestSheets::waitForAlert();
        QVERIFY(alert);
        QVERIFY(TestSheets::click(alert, "OK"));
        QVERIFY(BatchFixture::waitUntilEnded(batch));
        QTRY_VERIFY(!encoder || encoder->state() == QProcess::NotRunning);
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        QVERIFY(!QFileInfo::exists(output("long.mp3")));
        QVERIFY(!QFileInfo::exists(output("next.mp3")));
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

    void failedFilesAreRemovedAndReported()
    {
        BatchEncoder *batch =
            fixture->batchWith({fixture->fakeInput("bad.wav", 0.1, 1), fixture->fakeInput("good.wav", 0.1),
                                fixture->inputFolder() + "/missing.wav"});
        BatchFixture::encode(batch);
        finish(batch, output("bad.mp3"),
               "Batch complete.\n\n2 of 3 files could not be encoded. The command log shows why.");
        QVERIFY(fixture->master().commandLog()->text().contains(
            "Cannot encode \"bad.wav\": the encoder ended with status 1."));
        QVERIFY(!QFileInfo::exists(output("bad.mp3")));
        QVERIFY(QFileInfo::exists(output("good.mp3")));
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

    // Last: the encoder that cannot start stays first in the resource search.
    void encoderThatCannotStartCountsAsFailed()
    {
        QTemporaryDir broken;
        writeFile(broken.filePath("lame"), "not a program");
        Resources::prependSearchFolder(broken.path());
        QStringList files;
        for (const char *name : {"a.wav", "b.wav", "c.wav"})
            files << fixture->fakeInput(name, 0.1);
        BatchEncoder *batch = fixture->batchWith(files);
        BatchFixture::encode(batch);
        // Each next file starts from the event loop, not inside the failure of the one before:
        // a long list of such files would otherwise exhaust the stack.
        QCOMPARE(batch->currentTaskIndex(), 0u);
        finish(batch, output("a.mp3"),
               "Batch complete.\n\n3 of 3 files could not be encoded. The command log shows why.");
        QVERIFY(fixture->master().commandLog()->text().contains(
            "Cannot encode \"a.wav\": the encoder could not be started"));
    }
};

QTEST_MAIN(tst_BatchRun)
#include "tst_batchrun.moc"
