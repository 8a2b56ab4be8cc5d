// Tracks read from folders laid out as the audio-CD file system presents a disc, rip windows on such
// folders, and a disc in a drive, mounted by the disc watcher as Orvik starts, ripped with the
// keyboard alone.
#include "support/AudioFiles.h"
#include "support/CueDisc.h"
#include "support/TunesSupport.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"
#include "platform/DiscWatcher.h"
#include "platform/MusicLibrary.h"
#include "platform/widgets/WindowDescription.h"
#include "platform/widgets/Workspace.h"
#include "rip/DiscTrackList.h"
#include "rip/Ripper.h"

#include <QtTest>
#include <QtWidgets>
#include <cstdio>
#include <sys/xattr.h>

namespace {
// Title, artist, album, year, genre and track number ("N/M", without leading zeros).
QStringList tags(const QString &mp3)
{
    QStringList texts;
    for (const char *id : {"TIT2", "TPE1", "TALB", "TDRC", "TCON", "TRCK"})
        texts << id3Frame(mp3, id);
    texts.last().replace(QRegularExpression("\\b0+(?=\\d)"), "");
    return texts;
}

template <typename T> T *outlet(Ripper *rip, const char *name)
{
    return WindowDescription::outlet<T>(rip->window(), name);
}

void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString &text = QString())
{
    QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key(key), modifiers);
    QTest::keyClicks(static_cast<QWidget *>(nullptr), text);
}

// The alert up says `text` (the completion notice: beneath "All tracks done."); answered with `button`.
bool answer(const QString &text, const QString &button, int timeout = 15000)
{
    QMessageBox *alert = TestSheets::waitForAlert(timeout);
    return alert && alert->informativeText() == text &&
           (alert->windowTitle() != "Rip Complete" || alert->text() == "All tracks done.") &&
           TestSheets::click(alert, button);
}
} // namespace

class TestRipper : public QObject
{
    Q_OBJECT

    QTemporaryDir work;
    QList<QByteArray> spoilt; // files Qt cannot remove
    // A translation whose separator for slashes is a slash itself: names must fall back to "_".
    struct Slashes : QTranslator
    {
        QString translate(const char *, const char *key, const char *, int) const override
        {
            return QByteArray(key) == "ReplacementSeparator" ? "/x/" : QString();
        }
        bool isEmpty() const override { return false; }
    } slashes;

    // Renames `path` with each U+FFFD as the byte 0xff (not UTF-8); removed at the end, as Qt cannot.
    bool spoil(const QString &path)
    {
        const QByteArray name = QFile::encodeName(path),
                         bad = QByteArray(name).replace("\xef\xbf\xbd", "\xff");
        spoilt << bad;
        return name == bad || std::rename(name.constData(), bad.constData()) == 0;
    }

    // A rip window on a folder `volume` with a table of contents and an "N Title.aiff" per title: sounds
    // of `first` and 0.3 seconds, or inputs that make the stand-in encoder run that long.
    Ripper *open(BatchFixture &fixture, bool fake, const QString &volume, const QStringList &titles,
                 double first = 0.5)
    {
        const QString path = work.filePath(volume);
        QDir(path).removeRecursively(); // with the counts of unreadable sectors a row left on its files
        QDir().mkpath(path);
        for (int i = 0; i < titles.size(); ++i) {
            const QString file = QStringLiteral("%1/%2 %3.aiff").arg(path).arg(i + 1).arg(titles[i]);
            if ((fake ? AudioFiles::writeFakeInput(file, i ? 0.3 : first).isEmpty()
                      : !AudioFiles::makeSine(file, i ? 0.3 : first)) ||
                !spoil(file))
                return nullptr;
        }
        BatchFixture::writeFile(path + "/.TOC.plist",
                                CueDisc::tableOfContents(QStringList{"1", "2", "3"}.mid(0, titles.size())));
        return Ripper::initWithPreferences(fixture.master().preferences(), path);
    }

  private slots:
    void initTestCase()
    {
        if (!AudioFiles::haveProgram("sox") || !AudioFiles::haveProgram("lame"))
            QSKIP("sox and lame are needed to make and encode the test discs");
        QCoreApplication::installTranslator(&slashes);
    }

    void cleanup() { QVERIFY(BatchFixture::closeEverything()); }
    void cleanupTestCase()
    {
        for (const QByteArray &file : std::as_const(spoilt))
            std::remove(file.constData());
    }

    void discTracks_data()
    {
        QTest::addColumn<QString>("volume");
        QTest::addColumn<QByteArray>("contents"); // the table of contents; none when null
        QTest::addColumn<QStringList>("files");
        // "no CD", or each track's number, ":title" where there is one and "!" when its file cannot
        // be opened (a name not valid text: U+FFFD stands for the byte 0xff); then the album proposed.
        QTest::addColumn<QStringList>("rows");
        const auto row = [](const char *name, const char *volume, const QByteArray &contents,
                            QStringList rows, const char *album = "",
                            const QStringList &files = {"1 Intro.aiff"}) {
            QTest::newRow(name) << QString(volume) << contents << files << (rows << album);
        };
        const QByteArray four = CueDisc::tableOfContents({"1", "2", "3", "4:data"});
        const QByteArray one = CueDisc::tableOfContents({"1"});
        row("by name, data track left out, a missing file listed", "Jazz", four, {"01", "02!", "03"}, "",
            {"Track 01.cdda", "Track 03.cdda", "1 x.aiff"});
        row("scan: titles, number order, upper-case extension, a missing file", "Live", four,
            {"01:Intro", "02", "03!", "10:Outro"}, "Live",
            {"10 Outro.aiff", "2 Audio Track.AIFF", "1 Intro.aiff", "x"});
        row("scan: a name that is not text", "Live", four, {"01!", "02:Two", "03!"}, "Live",
            {"2 Two.aiff", "1 B\uFFFD.aiff", "3 \uFFFD.aiff"});
        row("scan on a volume named after no album", "Audio CD 2", one, {"01:Intro"});
        row("name without a number", "Live", one, {":Intro", "01!"}, "Live", {"Intro.aiff"});
        row("no track array: no scan", "Live",
            "<plist version=\"1.0\"><dict><key>Sessions</key><array><dict/></array></dict></plist>", {});
        row("no table of contents", "Live", QByteArray(), {"no CD"});
        row("no dictionary", "Live", "<plist version=\"1.0\"><array/></plist>", {"no CD"});
    }
    void discTracks()
    {
        QFETCH(QString, volume);
        QFETCH(QByteArray, contents);
        QFETCH(QStringList, files);
        QFETCH(QStringList, rows);
        const QString point = work.filePath(QTest::currentDataTag() + QString("/") + volume);
        QDir().mkpath(point);
        for (const QString &file : files)
            QVERIFY(BatchFixture::writeFile(point + '/' + file, "audio") && spoil(point + '/' + file));
        QVERIFY(contents.isNull() || BatchFixture::writeFile(point + "/.TOC.plist", contents));
        const DiscTrackList list = DiscTrackList::read(point, "Track ");
        QStringList read = DiscTrackList::isAudioCD(point) ? QStringList() : QStringList("no CD");
        for (const QVariantMap &track : list.tracks) {
            const bool problem = track.contains(kTrackFileProblemKey);
            QCOMPARE(QFileInfo::exists(track.value(kInputFileKey).toString()), !problem);
            read << track.value(kSongTrackNoKey).toString() + (track.contains(kSongTitleKey) ? ":" : "") +
                        track.value(kSongTitleKey).toString() + (problem ? "!" : "");
        }
        QCOMPARE(read << list.albumProposal, rows);
    }

    void rip_data()
    {
        // Artist, album, year typed, genre, a folder already there, and "library" to add the tracks to it.
        QTest::addColumn<QStringList>("disc");
        QTest::addColumn<QString>("firstTitle"); // null: left as the disc has it
        QTest::addColumn<QStringList>("first");  // folder/file of the first track, its year and genre
        const auto row = [](const char *name, const QString &disc, const QString &title,
                            const QString &first) {
            QTest::newRow(name) << disc.split('|') << title << first.split('|');
        };
        // "Artist - " and 81 characters of 3 bytes: 252 bytes, the most that leaves room for " 2".
        const QString cut = "Artist - " + QString(81, u'€');
        row("slashes", "AC/DC|Live|1979|Rock|", "Intro/Outro", "AC_DC - Live/01. Intro_Outro.mp3|1979|Rock");
        row("album only, name taken, unknown genre", "|X|19a9|Made Up|X", QString(), "X 2/01. One.mp3|199|");
        row("nothing, untitled", "||||", "", "Unknown/01.mp3||");
        row("long title", "||||", QString(200, u'é'), "Unknown/01. " + QString(123, u'é') + ".mp3||");
        row("long album, name taken", "Artist|" + QString(250, u'€') + "|||" + cut, QString(),
            cut + " 2/01. One.mp3||");
        row("music library", "Y||2001|Made Up||library", QString(), "Y/01. One.mp3|2001|Made Up");
    }
    void rip()
    {
        QFETCH(QStringList, disc);
        QFETCH(QString, firstTitle);
        QFETCH(QStringList, first);
        BatchFixture fixture(false);
        LamePrefs::preferences().setBool(disc.value(5) == "library", PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(disc.value(5) == "library", PrefKey::DiscPlaylists);
        Ripper *ripper = open(fixture, false, "Audio CD", {"One", "Two"});
        QVERIFY(ripper && outlet<QLineEdit>(ripper, "albumField")->text().isEmpty());
        // Dropped audio files go to a batch window, not to the disc's list.
        const QString wav = work.filePath("dropped.wav");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(wav)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QVERIFY(AudioFiles::makeSine(wav, 0.1) && QApplication::sendEvent(ripper->window(), &enter));
        QVERIFY(enter.isAccepted() && QApplication::sendEvent(ripper->window(), &drop));
        QCOMPARE(BatchEncoder::allControllers().value(0)->taskRecords().value(0).value(kInputFileKey), wav);
        const QString destination = fixture.cleanMusicFolder();
        QVERIFY(disc[4].isEmpty() || QDir(destination).mkdir(disc[4]));
        outlet<QLineEdit>(ripper, "artistField")->setText(disc[0]);
        outlet<QLineEdit>(ripper, "albumField")->setText(disc[1]);
        QTest::keyClicks(outlet<QLineEdit>(ripper, "yearField"), disc[2]);
        outlet<QComboBox>(ripper, "genreField")->setEditText(disc[3]);
        if (!firstTitle.isNull()) {
            // The title belongs to the row it was typed for, also once another row is selected.
            outlet<QTableView>(ripper, "trackList")->selectRow(0);
            outlet<QLineEdit>(ripper, "titleField")->setText(firstTitle);
            outlet<QTableView>(ripper, "trackList")->selectRow(1);
        }
        outlet<QPushButton>(ripper, "ripButton")->click();
        TestSheets::choose(TestSheets::waitForPanel(), destination);
        const QString mp3 = destination + "/" + first[0];
        QVERIFY(answer("2 files encoded into ~/Music/" + first[0].section('/', 0, 0) + ".", "OK", 60000));
        QCOMPARE(tags(mp3), (QStringList{firstTitle.isNull() ? "One" : firstTitle, disc[0], disc[1], first[1],
                                         first[2], "1/2"}));
    }

    // What is lost is counted on the completion notice (the log says why). The run's own failures,
    // skips and stops, and closing or quitting during a run, are the encoder run's and batch tests'.
    void failures_data()
    {
        // The tag says what happens before or while track 1 runs.
        QTest::addColumn<double>("first"); // how long track 1 runs
        QTest::addColumn<int>("failed");   // of 3 (skipped, for "skip"); the others are ripped
        QTest::newRow("sectors before") << 0.5 << 1;
        // Long enough for the count to change before the track ends, also on a loaded machine.
        QTest::newRow("sectors") << 3.0 << 1;
        QTest::newRow("unmount") << 30.0 << 3;
        QTest::newRow("skip") << 30.0 << 1; // the running track's own Skip button, as in a batch
        QTest::newRow("track 2's name not text") << 0.5 << 1;
    }
    void failures()
    {
        QFETCH(double, first);
        QFETCH(int, failed);
        const QString during = QTest::currentDataTag();
        BatchFixture fixture(true);
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        const bool notText = during.endsWith("not text");
        const QString volume = notText ? "Not Text" : "Faulty";
        Ripper *ripper = open(fixture, true, volume, {"A", notText ? "B\uFFFD" : "B", "C"}, first);
        // The counts of the file system: every track read cleanly ("0"), then track 1 not.
        const auto unreadable = [&](const char *count, const QString &pattern) {
            bool set = true;
            for (const QFileInfo &file : QDir(work.filePath("Faulty")).entryInfoList({pattern}))
                set = set && setxattr(QFile::encodeName(file.filePath()).constData(),
                                      "user.orvik.unreadable-sectors", count, 1, 0) == 0;
            return set;
        };
        if (during.startsWith("sectors") && !unreadable("0", "*.aiff"))
            QSKIP("this file system keeps no user extended attributes");
        QVERIFY(ripper && (during != "sectors before" || unreadable("3", "1 *")));
        outlet<QPushButton>(ripper, "ripButton")->click();
        TestSheets::choose(TestSheets::waitForPanel(), fixture.cleanMusicFolder());
        const QString folder = ripper->ripFolder();
        QVERIFY(during == "sectors before" || BatchFixture::waitUntilEncoding(ripper, 0));
        QVERIFY(during != "sectors" || unreadable("3", "1 *"));
        if (during == "unmount")
            emit Workspace::shared().didUnmount(ripper->mountPoint());
        if (during == "skip") {
            BatchFixture::interrupt(BatchFixture::sheet(ripper), BatchFixture::Skip);
            QVERIFY(answer("Skip track 01?", "OK"));
        }
        const QString counted = during == "skip" ? " %1 skipped." : " %1 failed. The command log shows why.";
        QVERIFY(answer(QString("%1 files encoded into ~/Music/%2.").arg(3 - failed).arg(volume) +
                           (failed ? counted.arg(failed) : ""),
                       "OK", 30000));
        QCOMPARE(QDir(folder).entryList({"*.mp3"}, QDir::Files).size(), 3 - failed);
        QVERIFY(!notText || fixture.master().commandLog()->text().contains(
                                "Cannot encode \"2 B\uFFFD.aiff\": the name of its file on the disc is not "
                                "valid text, so the file cannot be opened."));
    }

    void endToEndWithTheKeyboard()
    {
        // Two audio tracks of 100 and 75 sectors in a cue/bin image, mounted by orvik-cddafs as a disc
        // whose every read of audio takes 2 seconds.
        if (!QFile::exists("/dev/fuse"))
            QSKIP("discs are mounted with FUSE");
        QList<CueDisc::Track> tracks = {{"First", 100}, {"Second", 75}};
        const QString cue = CueDisc::write(work.path(), "disc", "Live Tapes", tracks);
        BatchFixture fixture(false);
        LamePrefs::preferences().setBool(true, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(true, PrefKey::DiscPlaylists);
        // Orvik started without files while the disc in a drive is still being mounted: the disc's
        // rip window opens, and no empty batch window beside it. Rip Audio CD opens no second one,
        // but finds the disc among the mounted volumes once it has no window.
        DiscWatcher discs(ORVIK_BUILD_DIR "/orvik-cddafs");
        qputenv("ORVIK_CDDAFS_READ_DELAY_MS", "2000");
        discs.driveChanged(cue, DiscWatcher::DiscState::Audio);
        fixture.master().launched({}, &discs);
        QTRY_VERIFY_WITH_TIMEOUT(!discs.isMounting() && Ripper::mountPoints().contains(discs.mountPoint(cue)),
                                 20000);
        qunsetenv("ORVIK_CDDAFS_READ_DELAY_MS");
        QCOMPARE(BatchEncoder::allControllers().size(), 0);
        const QString point = discs.mountPoint(cue);
        Ripper *ripper = Ripper::allControllers().first();
        QCOMPARE(outlet<QLineEdit>(ripper, "albumField")->text(), "Live Tapes");
        fixture.master().ripCD();
        QCOMPARE(Ripper::allControllers().size(), 1);
        // The disc going away ends the window, and its pending destination panel with it, unanswered.
        outlet<QPushButton>(ripper, "ripButton")->click();
        QVERIFY(TestSheets::waitForPanel());
        emit Workspace::shared().didUnmount(point);
        QVERIFY(BatchFixture::waitUntilEnded(ripper));
        QVERIFY(QTest::qWaitFor([] { return !TestSheets::waitForPanel(0); }));
        fixture.master().ripCD();
        QCOMPARE(Ripper::allControllers().size(), 1);
        QCOMPARE((ripper = Ripper::allControllers().first())->mountPoint(), point);
        const QString destination = fixture.cleanMusicFolder();
        QVERIFY(TestSheets::waitForKeyboard(ripper->window()));
        // The disc's CD-TEXT performer is proposed as the artist: typed over.
        press(Qt::Key_R, Qt::AltModifier);
        press(Qt::Key_A, Qt::ControlModifier, "AC/DC");
        press(Qt::Key_L, Qt::AltModifier);
        press(Qt::Key_A, Qt::ControlModifier, "Live");
        press(Qt::Key_P, Qt::AltModifier);
        QFileDialog *panel = TestSheets::waitForPanel();
        QVERIFY(panel && TestSheets::waitForKeyboard(panel));
        press(Qt::Key_A, Qt::ControlModifier, destination);
        // Qt's panel selects each folder the path names as it is typed; when its listing comes in
        // meanwhile it can keep the parent selected ahead of the typed folder. The typed folder
        // is chosen all the same.
        auto *list = panel->findChild<QListView *>("listView");
        auto *folders = qobject_cast<QFileSystemModel *>(list->model());
        QVERIFY(folders);
        list->selectionModel()->clearSelection();
        for (const QString &folder : {QFileInfo(destination).path(), destination})
            list->selectionModel()->select(folders->index(folder),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(panel->selectedFiles().value(0), QFileInfo(destination).path());
        // The window's event loop, watched from the choice of the folder to the completion notice,
        // never stands still for a read of the disc, nor while a question asked during a read is up.
        QElapsedTimer clock;
        qint64 last = 0, longestPause = 0;
        const auto tick = [&] {
            longestPause = std::max(longestPause, clock.elapsed() - last);
            last = clock.elapsed();
        };
        QTimer ticks;
        connect(&ticks, &QTimer::timeout, tick);
        ticks.start(10);
        clock.start();
        press(Qt::Key_Return);
        ripper->window()->close();
        QVERIFY(answer("Stop ripping \"Live Tapes\"?", "Cancel"));
        QMessageBox *notice = TestSheets::waitForAlert(60000);
        tick();
        ticks.stop();
        QVERIFY(notice && notice->text() == "All tracks done.");
        QVERIFY2(clock.elapsed() >= 2000, "the disc was read without the delay");
        QVERIFY2(longestPause < 1000,
                 qPrintable(QString("the window stood still for %1 ms").arg(longestPause)));
        QCOMPARE(notice->informativeText(), "2 files encoded into ~/Music/AC_DC - Live.");
        QVERIFY(QString(BatchFixture::contents(MusicLibrary::playlistPath("AC_DC - Live")))
                    .contains(QRegularExpression("^[^#].*01. First.mp3\n(#.*\n)*[^#].*02. Second.mp3\n$",
                                                 QRegularExpression::MultilineOption)));
        for (int i = 0; i < tracks.size(); ++i) {
            const QString mp3 =
                destination + "/AC_DC - Live/0" + QString::number(i + 1) + ". " + tracks[i].title + ".mp3";
            QVERIFY(qAbs(AudioFiles::decodedSeconds(mp3) - tracks[i].sectors / 75.0) < 0.06);
            QCOMPARE(tags(mp3).mid(0, 3) << tags(mp3).last(),
                     (QStringList{tracks[i].title, "AC/DC", "Live", QString("%1/2").arg(i + 1)}));
        }
        QVERIFY(TestSheets::waitForKeyboard(notice));
        press(Qt::Key_Return);
        QVERIFY(BatchFixture::waitUntilEnded(ripper));
    }
};

QTEST_MAIN(TestRipper)
#include "tst_ripper.moc"
