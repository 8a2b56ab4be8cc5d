#include "support/AudioFiles.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"
#include "monitor/LameProgress.h"
#include "platform/widgets/Workspace.h"
#include "settings/PreferencesWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableView>
#include <QWindow>
#include <QtTest>

namespace {
using Fixture = BatchFixture;

// How long a file runs that a test stops, skips or interrupts: longer than any test takes, also on
// a loaded machine, so that it is still running whenever the test acts on it.
constexpr double kLong = 60.0;

// A key as the keyboard gives it: to whatever has the focus.
void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key(key), modifiers);
}

// What a keyboard and a screen reader need of a window: each button showing has a mnemonic of
// its own, and each label is read as the text it shows.
void checkKeyboardAndReader(QWidget *window)
{
    QList<QKeySequence> mnemonics;
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        // One mnemonic cannot stand for the Skip button of every running file: Tab reaches them.
        if (!button->isVisible() || button->text().isEmpty() ||
            button->parentWidget()->parentWidget()->objectName() == "runningFiles")
            continue;
        const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
        QVERIFY2(!mnemonic.isEmpty() && !mnemonics.contains(mnemonic), qPrintable(button->text()));
        mnemonics << mnemonic;
    }
    for (QLabel *label : window->findChildren<QLabel *>())
        if (label->isVisible() && !label->text().isEmpty())
            QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name),
                     label->buddy() ? QString(label->text()).remove(u'&') : label->text());
}
} // namespace

// The window side of a batch's run with the stand-in encoder, whose timing the tests choose: the
// questions and how they are answered (by a button, Escape or the close button), existing output
// files, closing and quitting during a run, and the main job done with the keyboard alone. The
// run's own transitions are tested without windows on EncoderRun.
class tst_BatchRun : public QObject
{
    Q_OBJECT

    std::unique_ptr<BatchFixture> fixture;
    QString music;

    QString output(const QString &name) const { return music + u'/' + name; }

    // Answers the completion sheet and checks what the run ends with.
    void finish(BatchEncoder *batch, const QString &shownFile, const QString &message)
    {
        QSignalSpy shown(&Workspace::shared(), &Workspace::fileShown);
        QMessageBox *alert = TestSheets::waitForAlert();
        QVERIFY(alert && alert->text() == "Batch complete.");
        QCOMPARE(alert->informativeText(), message);
        QVERIFY(TestSheets::click(alert, "OK"));
        QVERIFY(Fixture::waitUntilEnded(batch));
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
    void cleanup() { QVERIFY(Fixture::closeEverything()); }

    void cleanupTestCase() { fixture.reset(); }

    // Two files at once, added out of order; c's output exists: its question comes when a ends,
    // and d starts under it when b ends. The question stays on top and takes the keys; the sheet
    // comes back once it is answered. The completion counts what failed (e ends with status 1)
    // and what was skipped, and shows the first file.
    void conflictStaysAboveTheSheet()
    {
        QVERIFY(Fixture::writeFile(output("c.mp3"), "existing"));
        LamePrefs::preferences().setInteger(2, PrefKey::EncodersAtOnce);
        BatchEncoder *batch =
            fixture->batchWith({fixture->fakeInput("b.wav", 1.0), fixture->fakeInput("a.wav", 0.2),
                                fixture->fakeInput("c.wav", 0.1), fixture->fakeInput("d.wav", 3.0),
                                fixture->fakeInput("e.wav", 0.1, 1)});
        Fixture::encode(batch);
        LamePrefs::preferences().removeObjectForKey(PrefKey::EncodersAtOnce);
        QVERIFY(!fixture->master().bureaucrats().contains(batch));
        LameProgress *progress = Fixture::sheet(batch);
        QMessageBox *conflict = TestSheets::waitForAlert();
        QVERIFY(conflict);
        QTRY_COMPARE_WITH_TIMEOUT(progress->runningFileNames(), QStringList{"d.wav"}, 15000);
        QCOMPARE(QApplication::activeModalWidget(), conflict);
        QVERIFY(!progress->progressSheet()->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(conflict));
        press(Qt::Key_S, Qt::AltModifier); // Skip
        QTRY_VERIFY(progress->progressSheet()->isVisible());
        QCOMPARE(QApplication::activeModalWidget(), progress->progressSheet());
        finish(batch, output("a.mp3"),
               "3 files encoded into ~/Music. 1 failed, 1 skipped. The command log shows why.");
        QCOMPARE(Fixture::contents(output("c.mp3")), QByteArray("existing"));
        // Orvik stays open: the last window to end leaves an empty batch window in its place,
        // while closing that one by hand leaves none.
        QTRY_COMPARE_WITH_TIMEOUT(BatchEncoder::allControllers().size(), 1, 15000);
        BatchEncoder *next = BatchEncoder::allControllers().first();
        QVERIFY(next->window()->isVisible() && next->taskRecords().isEmpty());
        next->window()->close();
        QVERIFY(Fixture::waitUntilEnded(next));
        QVERIFY(BatchEncoder::allControllers().isEmpty());
    }

    // Stopped with the library on: the playlist made at Encode goes with the partial file. Skipped
    // while the partial file cannot be removed: the log says so.
    void interruptedFile_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("stop, no empty playlist") << true;
        QTest::newRow("skip, partial file kept") << false;
    }

    void interruptedFile()
    {
        QFETCH(bool, stop);
        LamePrefs::preferences().setBool(stop, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(true, PrefKey::BatchPlaylists);
        const auto restore = qScopeGuard([&] {
            LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
            Fixture::setImmutable(music, false);
        });
        BatchEncoder *batch = fixture->batchWith({fixture->fakeInput("long.wav", kLong)});
        Fixture::encode(batch);
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(output("long.mp3")).size() > 0; }));
        Fixture::interrupt(Fixture::sheet(batch), stop ? Fixture::Stop : Fixture::Skip);
        QMessageBox *alert = TestSheets::waitForAlert();
        QVERIFY(alert);
        if (!stop && !Fixture::setImmutable(music, true))
            QSKIP("the music folder cannot be made immutable here (needs root and ext4 or tmpfs)");
        QVERIFY(TestSheets::click(alert, "OK"));
        if (stop) {
            QVERIFY(Fixture::waitUntilEnded(batch));
            QCOMPARE(QDir(music).entryList(QDir::Files), QStringList());
            QVERIFY(QDir(output("Playlists")).exists());
            QCOMPARE(QDir(output("Playlists")).entryList(QDir::Files), QStringList());
            return;
        }
        QTRY_VERIFY(fixture->master().commandLog()->text().contains(
            QString("The unfinished file \"%1\" could not be removed; it is not whole.")
                .arg(output("long.mp3"))));
        Fixture::setImmutable(music, false);
        finish(batch, output("long.mp3"), "0 files encoded into ~/Music. 1 skipped.");
    }

    void conflictWhileAQuestionIsUpWaitsForTheAnswer()
    {
        QVERIFY(Fixture::writeFile(output("two.mp3"), "existing"));
        BatchEncoder *batch =
            fixture->batchWith({fixture->fakeInput("one.wav", 1.5), fixture->fakeInput("two.wav", 0.1)});
        // One at a time: the second file's conflict is found only once the first has ended.
        LamePrefs::preferences().setInteger(1, PrefKey::EncodersAtOnce);
        Fixture::encode(batch);
        LamePrefs::preferences().removeObjectForKey(PrefKey::EncodersAtOnce);
        QVERIFY(Fixture::waitUntilEncoding(batch, 0));
        Fixture::interrupt(Fixture::sheet(batch), Fixture::Skip);
        QPointer<QMessageBox> question = TestSheets::waitForAlert();
        QVERIFY(question);
        QVERIFY(
            QTest::qWaitFor([&] { return batch->runWindowController()->run()->currentIndex() == 1; }, 10000));
        QCoreApplication::processEvents(); // the next file's start, which finds the conflict
        QVERIFY(!batch->runWindowController()->run()->isEncoderRunning(1));
        QVERIFY(TestSheets::click(question, "Cancel"));
        QTRY_VERIFY(question.isNull() || !question->isVisible());
        QVERIFY(Fixture::answer("Duplicate Filename \"two.mp3\"", "Replace"));
        finish(batch, output("one.mp3"), "2 files encoded into ~/Music.");
        QVERIFY(Fixture::contents(output("two.mp3")) != "existing");
    }

    void conflictAnswers_data()
    {
        QTest::addColumn<bool>("ownInput"); // the existing file is the batch's own input
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("answer"); // a button, or the name typed after Rename
        QTest::addColumn<bool>("encoded");
        const QStringList all{"Rename", "Replace", "Skip"};
        QTest::newRow("replace") << false << all << "Replace" << true;
        QTest::newRow("skip") << false << all << "Skip" << false;
        // The data is MP3 whatever the name typed; a name that is taken is asked about again.
        QTest::newRow("rename to another extension") << false << all << "Other.wav" << true;
        QTest::newRow("rename to the taken name") << false << all << "song" << false;
        QTest::newRow("own input is never replaced")
            << true << QStringList{"Rename", "Skip"} << "Skip" << false;
    }

    void conflictAnswers()
    {
        QFETCH(bool, ownInput);
        QFETCH(QString, answer);
        QFETCH(bool, encoded);
        QVERIFY(Fixture::writeFile(output("song.mp3"), "existing"));
        if (ownInput)
            AudioFiles::writeFakeInput(output("song.mp3"), 0.1);
        const QByteArray existing = Fixture::contents(output("song.mp3"));
        BatchEncoder *batch =
            fixture->batchWith({ownInput ? output("song.mp3") : fixture->fakeInput("song.wav", 0.1)});
        Fixture::encode(batch);
        // The question comes before any progress sheet.
        QMessageBox *conflict = TestSheets::waitForAlert();
        QVERIFY(conflict);
        QVERIFY(!Fixture::sheet(batch)->progressSheet()->isVisible());
        QCOMPARE(conflict->informativeText(), QString("Rename file \"song.mp3\"?"));
        QTEST(TestSheets::buttonTitles(conflict), "buttons");
        const bool rename = answer != "Replace" && answer != "Skip";
        QVERIFY(TestSheets::click(conflict, rename ? "Rename" : answer));
        const QString first = output(rename ? answer + ".mp3" : "song.mp3");
        if (rename) {
            QFileDialog *panel = TestSheets::waitForPanel();
            QVERIFY(panel);
            QCOMPARE(QFileInfo(panel->directory().absolutePath()), QFileInfo(music));
            TestSheets::choose(panel, output(answer));
        }
        if (answer == "song")
            QVERIFY(Fixture::answer("Duplicate Filename \"song.mp3\"", "Skip"));
        finish(batch, first,
               encoded ? "1 file encoded into ~/Music." : "0 files encoded into ~/Music. 1 skipped.");
        QCOMPARE(Fixture::contents(output("song.mp3")) == existing, answer != "Replace");
        QCOMPARE(QFileInfo::exists(first) && Fixture::contents(first) != existing, encoded);
        QVERIFY(!QFileInfo::exists(output("Other.wav")));
    }

    // Two encoders at once: a line per running file, and Skip on one line ends that file alone.
    // Closing a running window asks to Stop; quitting asks once for every batch, stops every
    // encoder and removes every partial file.
    void runningLinesClosingAndQuitting()
    {
        LamePrefs::preferences().setInteger(2, PrefKey::EncodersAtOnce);
        BatchEncoder *batch =
            fixture->batchWith({fixture->fakeInput("a.wav", kLong), fixture->fakeInput("b.wav", kLong),
                                fixture->fakeInput("c.wav", kLong)});
        Fixture::encode(batch);
        LamePrefs::preferences().removeObjectForKey(PrefKey::EncodersAtOnce);
        BatchEncoder *other = fixture->batchWith({fixture->fakeInput("other.wav", kLong)});
        Fixture::encode(other);
        LameProgress *progress = Fixture::sheet(batch);
        QTRY_COMPARE(progress->runningFileNames(), (QStringList{"a.wav", "b.wav"}));
        QTRY_COMPARE(progress->positionText(), QString("0 done, 2 running, 1 left"));
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(output("a.mp3")).size() > 0; }));
        checkKeyboardAndReader(progress->progressSheet());
        auto skipButton = [&](const QString &name) { // each running line has its own
            for (auto *button : progress->progressSheet()->findChildren<QPushButton *>())
                if (button->accessibleName() == "Skip " + name)
                    return button;
            return static_cast<QPushButton *>(nullptr);
        };
        QVERIFY(skipButton("a.wav") && skipButton("b.wav"));
        skipButton("a.wav")->click();
        QVERIFY(Fixture::answer("Skip file \"a.wav\"?", "OK"));
        QTRY_COMPARE(progress->runningFileNames(), (QStringList{"b.wav", "c.wav"}));
        QVERIFY(!QFileInfo::exists(output("a.mp3")));
        QVERIFY(QFileInfo(output("b.mp3")).size() > 0);
        for (const char *name : {"c.mp3", "other.mp3"})
            QVERIFY(QTest::qWaitFor([&] { return QFileInfo(output(name)).size() > 0; }));
        QVERIFY(!batch->window()->close());
        QVERIFY(Fixture::answer("Stop batch?", "Cancel"));
        QVERIFY(batch->window()->isVisible());
        fixture->master().quit();
        QVERIFY(Fixture::answer("Quit Orvik?", "Quit"));
        QVERIFY(Fixture::waitUntilEnded(batch) && Fixture::waitUntilEnded(other));
        QCOMPARE(QDir(music).entryList(QDir::Files), QStringList());
    }

    // No dismissal chooses a button that removes, replaces or stops anything: an alert with a
    // Cancel button answers Cancel, one without stays up; a panel is cancelled.
    void dismissals_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("title"); // an alert's; none for a window or panel
        // The first seven are alerts, by their titles.
        const QString conflict = "Duplicate Filename \"song.mp3\"";
        const QStringList titles{"Stop batch?",    "Skip file?",  conflict,
                                 conflict,         "Quit Orvik?", "Cannot Use Destination Folder",
                                 "Batch complete."};
        const QStringList all{"stop",         "skip",        "conflict",          "locked conflict",
                              "quit",         "destination", "completion",        "add panel",
                              "rename panel", "tags panel",  "destination panel", "preferences",
                              "command log"};
        // The settings window and the command log close with Ctrl+W too.
        for (const QString &which : all)
            for (const QString how : {"Esc", "close", "Ctrl+W"})
                if (how != "Ctrl+W" || which == "preferences" || which == "command log")
                    QTest::addRow("%s, %s", qPrintable(which), qPrintable(how))
                        << which << how << titles.value(all.indexOf(which));
    }

    void dismissals()
    {
        QFETCH(QString, which);
        QFETCH(QString, how);
        QFETCH(QString, title);
        const bool staysUp =
            title == "Batch complete." || which.contains("conflict") || which == "destination";
        const QString existing = output("song.mp3");
        const bool running = which == "stop" || which == "skip" || which == "quit";
        QStringList files{fixture->fakeInput("song.wav", running ? kLong : 0.1)};
        if (which.contains("conflict") || which == "rename panel")
            QVERIFY(Fixture::writeFile(existing, "existing"));
        if (which == "locked conflict") { // the output is the batch's own input: never replaced
            AudioFiles::writeFakeInput(existing, 0.1);
            files = QStringList{existing};
        }
        if (which == "destination") {
            QDir(music).removeRecursively();
            QVERIFY(Fixture::writeFile(music, "not a folder"));
        }
        QPointer<BatchEncoder> batch = fixture->batchWith(files);
        QPointer<QWidget> shown;
        if (which == "preferences") {
            shown = PreferencesWindow::showWindow(fixture->master().preferences())->window();
        } else if (which == "command log") {
            fixture->master().showCommandLog();
            shown = fixture->master().commandLog()->window();
        } else if (which == "tags panel") {
            Fixture::button(batch, "tagsButton")->click();
            shown = batch->tagsWindow();
        } else if (which.endsWith("panel") && which != "rename panel") {
            Fixture::button(batch, which == "add panel" ? "addButton" : "destinationButton")->click();
            shown = TestSheets::waitForPanel();
        } else {
            Fixture::encode(batch);
            // The encoder has begun its output, which a dismissal must leave to it.
            if (running)
                QVERIFY(QTest::qWaitFor([&] { return QFileInfo(existing).size() > 0; }));
            if (which == "stop" || which == "skip")
                Fixture::interrupt(Fixture::sheet(batch.data()),
                                   which == "stop" ? Fixture::Stop : Fixture::Skip);
            if (which == "quit")
                fixture->master().quit();
            shown = TestSheets::waitForAlert();
            if (which == "rename panel") {
                QVERIFY(TestSheets::click(qobject_cast<QMessageBox *>(shown.data()), "Rename"));
                QTRY_VERIFY(shown.isNull() || !shown->isVisible());
                shown = TestSheets::waitForPanel();
            }
        }
        QVERIFY(shown && shown->isVisible());
        if (!title.isEmpty())
            QCOMPARE(qobject_cast<QMessageBox *>(shown.data())->text(), title);
        const QByteArray before = Fixture::contents(existing);
        shown->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(shown));
        if (how == "close")
            shown->windowHandle()->close();
        else
            QTest::keySequence(shown->focusWidget() ? shown->focusWidget() : shown.data(), QKeySequence(how));
        // The dismissal is handled as it arrives; what it posted is handled here.
        QCoreApplication::processEvents();
        if (staysUp)
            QVERIFY(shown && shown->isVisible());
        else
            QTRY_VERIFY(!shown || !shown->isVisible());
        // A running encoder is still writing its own output: only an existing file must stay as it was.
        if (!running)
            QCOMPARE(Fixture::contents(existing), before);
        if (running) {
            QVERIFY(QFileInfo::exists(existing));
            QVERIFY(batch && batch->runWindowController()->run()->isEncoderRunning(0));
            QTRY_VERIFY(Fixture::sheet(batch.data())->progressSheet()->isVisible());
        } else if (which == "tags panel") {
            // The panel stays down when its window is activated again.
            QEvent activated(QEvent::WindowActivate);
            QApplication::sendEvent(batch->window(), &activated);
            QVERIFY(!batch->tagsWindow()->isVisible());
        } else if (which == "add panel" || which == "destination panel") {
            QCOMPARE(batch->taskRecords().size(), 1);
            QCOMPARE(batch->destination(), music);
        } else if (which == "destination") { // said before any file starts
            QVERIFY(!batch->runWindowController() && Fixture::button(batch, "encodeButton")->isEnabled());
            QVERIFY(fixture->master().bureaucrats().contains(batch.data()));
        } else if (which == "rename panel") {
            QVERIFY(Fixture::answer("Batch complete.", "OK"));
        }
    }

    // Files from the command line, tags typed in the tags panel, Encode, a name conflict and the
    // completion sheet: the keyboard alone, through the real windows. File names that read like
    // markup show as they are. One file at a time: the sheet names the file it encodes.
    void keyboardAlone()
    {
        LamePrefs::preferences().setInteger(1, PrefKey::EncodersAtOnce);
        const auto restore =
            qScopeGuard([] { LamePrefs::preferences().removeObjectForKey(PrefKey::EncodersAtOnce); });
        QVERIFY(Fixture::writeFile(output("<i>b.mp3"), "existing"));
        for (const char *name : {"<i>a&b.wav", "<i>b.wav", "c.wav"})
            QVERIFY(fixture->master().openFile(fixture->fakeInput(name, 0.5)));
        BatchEncoder *batch = BatchEncoder::allControllers().last();
        auto *list = batch->window()->findChild<QTableView *>("fileList");
        QVERIFY(TestSheets::waitForKeyboard(batch->window()));
        checkKeyboardAndReader(batch->window());

        press(Qt::Key_I, Qt::AltModifier); // to the list, where the last file added is selected
        QCOMPARE(QApplication::focusWidget(), list);
        press(Qt::Key_Delete);
        QCOMPARE(batch->taskRecords().size(), 2);
        press(Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != list);
        press(Qt::Key_I, Qt::AltModifier);
        press(Qt::Key_Home, Qt::ControlModifier);

        press(Qt::Key_T, Qt::AltModifier); // a mnemonic clicks its button a moment later
        QTRY_VERIFY(batch->tagsWindow());
        QVERIFY(TestSheets::waitForKeyboard(batch->tagsWindow()));
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("titleField"));
        // The old ID3 genre 133 is a slur: the genre list leaves it out.
        QProcess lame;
        lame.setProcessChannelMode(QProcess::MergedChannels);
        lame.start("lame", {"--genre-list"});
        QVERIFY(lame.waitForFinished());
        const QString slur = QRegularExpression("^133 (.+)$", QRegularExpression::MultilineOption)
                                 .match(lame.readAll())
                                 .captured(1);
        QVERIFY(!slur.isEmpty());
        QCOMPARE(batch->tagsWindow()->findChild<QComboBox *>("genreField")->findText(slur), -1);
        QTest::keyClicks(static_cast<QWidget *>(nullptr), "Title A");
        press(Qt::Key_Escape);
        QVERIFY(!batch->tagsWindow()->isVisible());
        // The window manager gives the focus back to the batch window.
        batch->window()->activateWindow();
        QVERIFY(TestSheets::waitForKeyboard(batch->window()));
        QCOMPARE(QApplication::focusWidget(), list);
        press(Qt::Key_Return);
        QVERIFY(batch->runWindowController());
        QCOMPARE(batch->taskRecords().first().value(kSongTitleKey).toString(), QString("Title A"));

        QTRY_COMPARE(Fixture::sheet(batch)->taskText(), QString("Encoding \"<i>a&b.wav\" as \"<i>a&b.mp3\""));
        checkKeyboardAndReader(Fixture::sheet(batch)->progressSheet());
        for (const int key : {Qt::Key_E, Qt::Key_Return}) { // Replace, then OK on the completion
            QPointer<QMessageBox> alert = TestSheets::waitForAlert();
            QVERIFY(alert && TestSheets::waitForKeyboard(alert));
            QCOMPARE(alert->text(),
                     QString(key == Qt::Key_E ? "Duplicate Filename \"<i>b.mp3\"" : "Batch complete."));
            checkKeyboardAndReader(alert);
            press(key, key == Qt::Key_E ? Qt::AltModifier : Qt::NoModifier);
            QTRY_VERIFY(!alert || alert->isHidden());
        }
        QVERIFY(Fixture::contents(output("<i>b.mp3")) != "existing");
        QVERIFY(Fixture::waitUntilEnded(batch));
        QVERIFY(QFileInfo::exists(output("<i>a&b.mp3")));

        QWidget *preferences = PreferencesWindow::showWindow(fixture->master().preferences())->window();
        auto *tabs = preferences->findChild<QTabWidget *>("windowTabs");
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            checkKeyboardAndReader(preferences);
        }
        preferences->close();
    }
};

QTEST_MAIN(tst_BatchRun)
#include "tst_batchrun.moc"
