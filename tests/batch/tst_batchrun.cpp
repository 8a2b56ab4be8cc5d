#include "support/AudioFiles.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"
#include "core/OutputNames.h"
#include "monitor/LameProgress.h"
#include "platform/widgets/Workspace.h"
#include "settings/PreferencesWindow.h"

#include <QtTest>
#include <QtWidgets>
#include <fcntl.h>
#include <unistd.h>

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

QStringList inputNames(const BatchEncoder *batch)
{
    QStringList names;
    for (const QVariantMap &task : batch->taskRecords())
        names << task.value(kInputFileKey).toString();
    return names;
}

template <typename T = QTableView> T *child(BatchEncoder *batch, const char *name = "fileList")
{
    return batch->window()->findChild<T *>(name);
}

// Sends a drag of `paths` over the window and answers whether it would be dropped; with `drop`,
// drops it.
bool drag(BatchEncoder *batch, const QStringList &paths, bool drop = false)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(batch->window(), &enter);
    if (!enter.isAccepted() || !drop)
        return enter.isAccepted();
    QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(batch->window(), &dropped);
    return dropped.isAccepted();
}
} // namespace

// The batch window with the stand-in encoder, whose timing the tests choose: the list and tags
// panel, files coming in, destinations, the questions of a run and how they are answered, closing
// and quitting, and the keyboard alone. The run's own transitions are tested on EncoderRun.
class tst_BatchRun : public QObject
{
    Q_OBJECT

    std::unique_ptr<BatchFixture> fixture;
    QTemporaryDir files;
    QString music;

    QString output(const QString &name) const { return music + u'/' + name; }

    // Answers the completion sheet and checks what the run ends with.
    void finish(BatchEncoder *batch, const QString &shownFile, const QString &message)
    {
        QSignalSpy shown(&Workspace::shared(), &Workspace::fileShown);
        QVERIFY(Fixture::answer(message, "OK"));
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

    void cleanup()
    {
        QVERIFY(Fixture::closeEverything());
        for (const QString &key :
             {PrefKey::BatchDestination, PrefKey::AddFilesFolder, PrefKey::EncodersAtOnce})
            LamePrefs::preferences().removeObjectForKey(key);
    }

    void cleanupTestCase() { fixture.reset(); }

    // The list is ordered by name without duplicates; tags typed in the panel are written back
    // before the selection moves, to the file they were typed for; each file's output name.
    void listAndTags()
    {
        BatchEncoder *batch =
            fixture->batchWith({"/f/b.aiff", "/f/A.aiff", "/f/track10.wav", "/f/track2.wav"});
        // The same name in another folder goes above the listed one; a listed path is not added again.
        for (const char *path : {"/g/B.AIFF", "/f/b.aiff"})
            batch->addFile(path, false);
        QCOMPARE(inputNames(batch),
                 (QStringList{"/f/A.aiff", "/g/B.AIFF", "/f/b.aiff", "/f/track10.wav", "/f/track2.wav"}));
        QCOMPARE(child(batch)->selectionModel()->selectedRows().value(0).row(), 2);
        QAbstractItemModel *model = child(batch)->model();
        QCOMPARE(model->data(model->index(1, 0)).toString(), QString("B.AIFF - /g"));

        // Without the panel, selecting touches no record.
        const QList<QVariantMap> before = batch->taskRecords();
        child(batch)->selectRow(1);
        child(batch)->selectRow(0);
        QCOMPARE(batch->taskRecords(), before);
        Fixture::button(batch, "tagsButton")->click();
        auto *title = batch->tagsWindow()->findChild<QLineEdit *>("titleField");
        QTest::keyClicks(title, "First");
        QTest::keyClicks(batch->tagsWindow()->findChild<QLineEdit *>("yearField"), "MCMXC");
        child(batch)->selectRow(1);
        QCOMPARE(batch->taskRecords().at(0).value(kSongTitleKey).toString(), QString("First"));
        QCOMPARE(batch->taskRecords().at(0).value(kSongYearKey).toString(), QString("MCMXC"));
        QVERIFY(title->text().isEmpty());
        // A file added before the shown one moves it down; its tags still go to it.
        QTest::keyClicks(title, "Second");
        batch->addFile("/f/0.wav", false);
        QCOMPARE(batch->taskRecords().at(2).value(kSongTitleKey).toString(), QString("Second"));
        QVERIFY(!batch->taskRecords().at(0).contains(kSongTitleKey));
        child(batch)->selectRow(1);
        QCOMPARE(title->text(), QString("First"));
        title->clear();
        child(batch)->clearSelection();
        QVERIFY(!batch->taskRecords().at(1).contains(kSongTitleKey));
        QVERIFY(!title->isEnabled());
        QVERIFY(!Fixture::button(batch, "tagsButton")->isEnabled());

        // The output names: 255 bytes at most, cut between characters (é is two bytes, 🎵 four).
        const QList<std::pair<QString, QString>> names{
            {"Song", "Song"},
            {".wav", ".wav"},
            {QString(252, 'x') + ".ab", QString(251, 'x')},
            {QString(126, u'é') + ".ab", QString(125, u'é')},
            {"xxxx" + QString("🎵").repeated(62) + ".ab", "xxxx" + QString("🎵").repeated(61)}};
        for (const auto &[input, output] : names)
            QCOMPARE(OutputNames::forInput("/a/" + input, "/b"), "/b/" + output + ".mp3");

        // The window outlives its controller until its deferred deletion; its table must not read
        // the task list that went with the controller.
        QPointer<QTableView> view = child(batch);
        int rows = -1;
        connect(batch, &QObject::destroyed, this,
                [&] { rows = view && view->model() ? view->model()->rowCount() : 0; });
        batch->window()->close();
        QTRY_COMPARE(rows, 0);
    }

    // A drag and a file opened with the application (the Add panel has its own test). Folders and names
    // that are not UTF-8 are refused with the reason in the log.
    void addingFiles_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("raw");
        QTest::addColumn<QList<QByteArray>>("names"); // a trailing "/" makes a folder, a leading "-" none
        QTest::addColumn<int>("added");               // -1: the drag is refused
        QTest::addColumn<QString>("logged");
        const auto row = [](const char *tag, const char *way, bool raw, QList<QByteArray> names, int added,
                            const char *logged = "") {
            QTest::newRow(tag) << QString(way) << raw << names << added << QString(logged);
        };
        row("drag of audio files", "drag", false, {"x.wav", "y.AIFF", "a.flac", "b.OGG", "c.oga", "d.OPUS"},
            6);
        row("drag, mixed-case extension", "drag", false, {"x.wav", "y.Wav"}, -1);
        row("drag, raw input takes any file", "drag", true, {"x.wav", "y.Wav", "z.pcm"}, 3);
        row("drag with a folder", "drag", true, {"x.wav", "folder/"}, -1);
        row("drag with a missing file", "drag", false, {"x.wav", "-missing.wav"}, -1);
        row("drag, name not UTF-8", "drag", false, {"bad\xff.wav"}, 0, "not valid UTF-8");
        row("opened, name not UTF-8", "open", false, {"bad\xff.wav"}, 0, "not valid UTF-8");
        row("opened folder", "open", false, {"folder.wav/"}, 0, "is a folder");
    }

    void addingFiles()
    {
        QFETCH(QString, way);
        QFETCH(bool, raw);
        QFETCH(QList<QByteArray>, names);
        QFETCH(int, added);
        QFETCH(QString, logged);
        QStringList paths;
        const QString folder = files.filePath(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(folder));
        for (const QByteArray &name : names) {
            const QByteArray path = QFile::encodeName(folder) + '/' + name.mid(name.startsWith('-'));
            if (name.endsWith('/'))
                QVERIFY(QDir().mkpath(QFile::decodeName(path)));
            else if (!name.startsWith('-'))
                QVERIFY(::close(::creat(path.constData(), 0600)) == 0);
            paths << QFile::decodeName(path.endsWith('/') ? path.chopped(1) : path);
        }
        fixture->master().clearLog();
        BatchEncoder *batch = fixture->batchWith({});
        if (raw)
            child<QCheckBox>(batch, "rawInputBox")->click();
        if (way == "open") {
            fixture->master().openFile(paths.first());
        } else {
            QCOMPARE(drag(batch, paths), added >= 0);
            QCOMPARE(drag(batch, paths, true), added >= 0);
        }
        QCOMPARE(batch->taskRecords().size(), qMax(added, 0));
        QVERIFY2(fixture->master().commandLog()->text().contains(logged), qPrintable(logged));
    }

    // Files chosen in the Add panel, which offers every kind; the list shows each file's length
    // and their total. The destination is chosen in a panel or typed ("~" is the home folder, a
    // relative path starts there); Encode refuses a missing folder, and encodes nothing. A new
    // window starts where the last batch went, unless that folder is gone, and its Add panel where
    // files were last added from.
    void addPanelAndDestinations()
    {
        const QDir home = QDir::home();
        const QString chosen = files.filePath("chosen"), added = files.filePath("added");
        QVERIFY(QDir().mkpath(chosen) && QDir().mkpath(added) && home.mkpath("typed/deeper") &&
                AudioFiles::makeSine(added + "/a.wav", 62.0) && AudioFiles::makeSine(added + "/b.wav", 1.0));
        const auto removeFolder = qScopeGuard([&] { QDir(home.filePath("typed")).removeRecursively(); });
        BatchEncoder *batch = fixture->batchWith({});
        Fixture::button(batch, "addButton")->click();
        QFileDialog *panel = TestSheets::waitForPanel();
        QVERIFY(panel && panel->windowTitle() == "Select Files to Encode");
        for (const char *pattern : {"*.flac", "*.OGG", "*.oga", "*.opus", "*.wav"})
            QVERIFY2(panel->nameFilters().first().contains(pattern), pattern);
        panel->setDirectory(added);
        panel->selectFile("\"a.wav\" \"b.wav\"");
        QMetaObject::invokeMethod(panel, "accept");
        QTRY_COMPARE(inputNames(batch), (QStringList{added + "/a.wav", added + "/b.wav"}));
        QTRY_COMPARE(child(batch)->model()->index(0, 1).data().toString(), QString("1:02"));
        QCOMPARE(child<QLabel>(batch, "totalLength")->text(), QString("2 files, 1:03 in total"));
        Fixture::button(batch, "destinationButton")->click();
        TestSheets::choose(TestSheets::waitForPanel(), chosen);
        Fixture::encode(batch);
        QVERIFY(Fixture::answer("Batch complete.", "OK") && Fixture::waitUntilEnded(batch));
        QString last = chosen;
        for (const auto &[typed, folder] : {std::pair{QString("~/typed/missing"), QString()},
                                            {"~/typed", "typed"},
                                            {"typed/deeper/", "typed/deeper"},
                                            {QDir::homePath() + "/typed/../typed", "typed"}}) {
            BatchEncoder *next = fixture->batchWith({fixture->fakeInput("song.wav", 0.1)});
            QCOMPARE(next->destination(), last);
            Fixture::button(next, "addButton")->click();
            QFileDialog *panel = TestSheets::waitForPanel();
            QVERIFY(panel && panel->directory().absolutePath() == added);
            panel->reject();
            auto *field = child<QLineEdit>(next, "destinationPath");
            field->setFocus();
            field->selectAll();
            QTest::keyClicks(field, typed);
            Fixture::encode(next);
            QVERIFY(Fixture::answer(folder.isEmpty()
                                        ? "The folder \"~/typed/missing\" does not exist. Choose "
                                          "another destination."
                                        : "Batch complete.",
                                    "OK"));
            if (folder.isEmpty())
                QVERIFY(!next->runWindowController() && next->window()->isVisible());
            else
                QVERIFY(Fixture::waitUntilEnded(next));
            last = folder.isEmpty() ? last : home.filePath(folder);
            QCOMPARE(QFile::remove(home.filePath(folder + "/song.mp3")), !folder.isEmpty());
            QCOMPARE(QDir(music).entryList(QDir::Files), QStringList());
            QVERIFY(!QFileInfo::exists(home.filePath("typed/missing")));
        }
        QVERIFY(QDir(last).removeRecursively());
        BatchEncoder *next = fixture->batchWith({});
        QCOMPARE(child<QLineEdit>(next, "destinationPath")->text(), QString("~/Music"));
    }

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

    // One file at a time. song's output is its own input, never replaced: its question comes before
    // any progress sheet. t is skipped, but the question is cancelled after t has ended under it: x,
    // whose output exists, is asked about only once it is answered. A name typed after Rename is
    // asked about again when it is taken; the data is MP3 whatever the name typed. long is skipped
    // while its partial file cannot be removed: the log says so.
    void conflictAnswers()
    {
        const auto restore = qScopeGuard([&] { Fixture::setImmutable(music, false); });
        QVERIFY(Fixture::writeFile(output("x.mp3"), "existing"));
        AudioFiles::writeFakeInput(output("song.mp3"), 0.1);
        const QByteArray own = Fixture::contents(output("song.mp3"));
        LamePrefs::preferences().setInteger(1, PrefKey::EncodersAtOnce);
        BatchEncoder *batch =
            fixture->batchWith({output("song.mp3"), fixture->fakeInput("t.wav", 1.5),
                                fixture->fakeInput("x.wav", 0.1), fixture->fakeInput("y.wav", kLong)});
        Fixture::encode(batch);
        QMessageBox *conflict = TestSheets::waitForAlert();
        QVERIFY(conflict && !Fixture::sheet(batch)->progressSheet()->isVisible());
        QCOMPARE(conflict->informativeText(), QString("Rename file \"song.mp3\"?"));
        QCOMPARE(TestSheets::buttonTitles(conflict), (QStringList{"Rename", "Skip"}));
        QVERIFY(TestSheets::click(conflict, "Skip"));

        QVERIFY(Fixture::waitUntilEncoding(batch, 1));
        Fixture::interrupt(Fixture::sheet(batch), Fixture::Skip);
        QPointer<QMessageBox> question = TestSheets::waitForAlert();
        QVERIFY(question);
        QVERIFY(
            QTest::qWaitFor([&] { return batch->runWindowController()->run()->currentIndex() == 2; }, 10000));
        QCoreApplication::processEvents(); // the next file's start, which finds the conflict
        QVERIFY(!batch->runWindowController()->run()->isEncoderRunning(2));
        QVERIFY(TestSheets::click(question, "Cancel"));
        QTRY_VERIFY(question.isNull() || !question->isVisible());
        for (const QString typed : {"x", "Other.wav"}) {
            conflict = TestSheets::waitForAlert();
            QVERIFY(conflict && conflict->text() == "Duplicate Filename \"x.mp3\"");
            QCOMPARE(TestSheets::buttonTitles(conflict), (QStringList{"Rename", "Replace", "Skip"}));
            QVERIFY(TestSheets::click(conflict, "Rename"));
            QFileDialog *panel = TestSheets::waitForPanel();
            QVERIFY(panel && QFileInfo(panel->directory().absolutePath()) == QFileInfo(music));
            TestSheets::choose(panel, output(typed));
        }
        QVERIFY(Fixture::waitUntilEncoding(batch, 3));
        QCOMPARE(Fixture::contents(output("song.mp3")), own);
        QCOMPARE(Fixture::contents(output("x.mp3")), QByteArray("existing"));
        QVERIFY(QFileInfo(output("Other.wav.mp3")).size() > 0 && !QFileInfo::exists(output("Other.wav")));
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(output("y.mp3")).size() > 0; }));
        Fixture::interrupt(Fixture::sheet(batch), Fixture::Skip);
        QVERIFY(TestSheets::waitForAlert());
        if (!Fixture::setImmutable(music, true))
            QSKIP("the music folder cannot be made immutable here (needs root and ext4 or tmpfs)");
        QVERIFY(TestSheets::click(TestSheets::waitForAlert(), "OK"));
        QTRY_VERIFY(fixture->master().commandLog()->text().contains(
            QString("The unfinished file \"%1\" could not be removed; it is not whole.")
                .arg(output("y.mp3"))));
        Fixture::setImmutable(music, false);
        finish(batch, output("song.mp3"), "2 files encoded into ~/Music. 2 skipped.");
    }

    // Two raw encoders at once: Encode hands them the raw-input choices and drops a genre the
    // encoder does not know (a known one is kept); a line per running file, and Skip on one line
    // ends that file alone. A running window takes no files: one opened with the application goes
    // to a new window instead. Closing a running window asks to Stop; quitting asks once for every
    // batch, stops every encoder and removes every partial file, and the playlist the library
    // made at Encode.
    void runningLinesClosingAndQuitting()
    {
        LamePrefs::preferences().setInteger(2, PrefKey::EncodersAtOnce);
        BatchEncoder *batch =
            fixture->batchWith({fixture->fakeInput("a.pcm", kLong), fixture->fakeInput("b.pcm", kLong),
                                fixture->fakeInput("c.pcm", kLong)});
        auto *rate = child<QComboBox>(batch, "sampleRate");
        auto *depth = child<QComboBox>(batch, "bitDepth");
        QVERIFY(!rate->isEnabled() && !depth->isEnabled());
        child<QCheckBox>(batch, "rawInputBox")->click();
        child<QCheckBox>(batch, "swapBytesBox")->click();
        // The rate goes to the encoder as it stands: only the listed ones can be chosen.
        QVERIFY(rate->isEnabled() && !rate->isEditable() && depth->isEnabled());
        depth->setCurrentIndex(2);
        rate->setCurrentIndex(1);
        child(batch)->selectRow(0);
        Fixture::button(batch, "tagsButton")->click();
        auto *genre = batch->tagsWindow()->findChild<QComboBox *>("genreField");
        genre->setEditText("Rock");
        child(batch)->selectRow(1);
        genre->setEditText("Not A Genre");
        Fixture::encode(batch);
        QVERIFY(!batch->tagsWindow()->isVisible());
        QCOMPARE(batch->taskRecords().at(0).value(kSongGenreKey).toString(), QString("Rock"));
        QVERIFY(!batch->taskRecords().at(1).contains(kSongGenreKey));
        QVERIFY(fixture->master().commandLog()->text().contains("\nlame_raw -x -r -s 22.05 --bitwidth 24 "));
        LameProgress *progress = Fixture::sheet(batch);
        QTRY_COMPARE(progress->runningFileNames(), (QStringList{"a.pcm", "b.pcm"}));
        const QString late = fixture->fakeInput("late.wav", kLong);
        QVERIFY(!drag(batch, {late}));
        batch->addFile(late, false);
        QCOMPARE(batch->taskRecords().size(), 3);
        QVERIFY(fixture->master().openFile(late));
        QCOMPARE(BatchEncoder::allControllers().size(), 2);
        BatchEncoder *other = BatchEncoder::allControllers().last();
        QCOMPARE(inputNames(other), QStringList{late});
        for (const QString &key : {PrefKey::ITunesIntegration, PrefKey::BatchPlaylists})
            LamePrefs::preferences().setBool(true, key);
        Fixture::encode(other);
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(output("a.mp3")).size() > 0; }));
        checkKeyboardAndReader(progress->progressSheet());
        for (auto *button : progress->progressSheet()->findChildren<QPushButton *>())
            if (button->accessibleName() == "Skip a.pcm") // each running line has its own
                button->click();
        QVERIFY(Fixture::answer("Skip file \"a.pcm\"?", "OK"));
        QTRY_COMPARE(progress->runningFileNames(), (QStringList{"b.pcm", "c.pcm"}));
        QVERIFY(!QFileInfo::exists(output("a.mp3")));
        QVERIFY(QFileInfo(output("b.mp3")).size() > 0);
        for (const char *name : {"c.mp3", "late.mp3"})
            QVERIFY(QTest::qWaitFor([&] { return QFileInfo(output(name)).size() > 0; }));
        QVERIFY(!batch->window()->close());
        QVERIFY(Fixture::answer("Stop batch?", "Cancel"));
        QVERIFY(batch->window()->isVisible());
        fixture->master().quit();
        QVERIFY(Fixture::answer("Quit Orvik?", "Quit"));
        QVERIFY(Fixture::waitUntilEnded(batch) && Fixture::waitUntilEnded(other));
        QCOMPARE(QDir(music).entryList(QDir::Files), QStringList());
        QVERIFY(QDir(output("Playlists")).exists());
        QCOMPARE(QDir(output("Playlists")).entryList(QDir::Files), QStringList());
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
        if (running) { // the encoder is still writing its own output
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
        QVERIFY(running || Fixture::contents(existing) == before);
    }

    // Files from the command line, tags typed in the tags panel, Encode, a name conflict and the
    // completion sheet: the keyboard alone, through the real windows. File names that read like
    // markup show as they are. One file at a time: the sheet names the file it encodes.
    void keyboardAlone()
    {
        LamePrefs::preferences().setInteger(1, PrefKey::EncodersAtOnce);
        QVERIFY(Fixture::writeFile(output("<i>b.mp3"), "existing"));
        for (const char *name : {"<i>a&b.wav", "<i>b.wav", "c.wav"})
            QVERIFY(fixture->master().openFile(fixture->fakeInput(name, 0.5)));
        BatchEncoder *batch = BatchEncoder::allControllers().last();
        auto *list = child(batch);
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
        QString genres;
        QCOMPARE(AudioFiles::run("lame", {"--genre-list"}, &genres), 0);
        const QString slur =
            QRegularExpression("^133 (.+)$", QRegularExpression::MultilineOption).match(genres).captured(1);
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
