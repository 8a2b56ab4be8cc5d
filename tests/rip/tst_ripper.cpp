// Rip windows on folders laid out as the audio-CD file system presents a disc (its table of
// contents and "N Title.aiff" files), and on a real orvik-cddafs mount of a cue/bin image, ripped
// with the keyboard alone.
#include "support/AudioFiles.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"
#include "monitor/LameProgress.h"
#include "platform/MusicLibrary.h"
#include "platform/widgets/WindowDescription.h"
#include "platform/widgets/Workspace.h"
#include "rip/Ripper.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QTranslator>
#include <QtTest>

#include <sys/xattr.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

namespace {
// What a track of a test disc holds: real audio of `seconds`, or instructions for the stand-in
// encoder (its run time and exit status).
struct Track
{
    QString title;
    double seconds = 0.5;
    int exit = 0;
};
} // namespace
Q_DECLARE_METATYPE(Track)
namespace {
using Fixture = BatchFixture;

QString frame(const QString &mp3, const char *id)
{
    TagLib::MPEG::File file(QFile::encodeName(mp3).constData());
    const auto frames = file.hasID3v2Tag() ? file.ID3v2Tag()->frameList(id) : TagLib::ID3v2::FrameList();
    return frames.isEmpty() ? QString() : QString::fromStdString(frames.front()->toString().to8Bit(true));
}

// The track number as "N/M", without leading zeros.
QString trackNumber(const QString &mp3)
{
    const QString number = frame(mp3, "TRCK");
    return QString::number(number.section('/', 0, 0).toInt()) + '/' + number.section('/', 1);
}

template <typename T> T *outlet(Ripper *rip, const char *name)
{
    return WindowDescription::outlet<T>(rip->window(), name);
}

void selectRow(Ripper *rip, int row)
{
    row < 0 ? outlet<QTableView>(rip, "trackList")->clearSelection()
            : outlet<QTableView>(rip, "trackList")->selectRow(row);
}

// Rip pressed, `destination` chosen in the panel.
void rip(Ripper *ripper, const QString &destination)
{
    outlet<QPushButton>(ripper, "ripButton")->click();
    TestSheets::choose(TestSheets::waitForPanel(), destination);
}

void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key(key), modifiers);
}
} // namespace

class TestRipper : public QObject
{
    Q_OBJECT

    QTemporaryDir work;

    // A folder named `volume` holding a table of contents and one "N Title.aiff" per track.
    QString makeDisc(const QString &volume, const QList<Track> &tracks, bool fake)
    {
        const QString path = work.filePath(volume);
        QDir(path).removeRecursively();
        QDir().mkpath(path);
        QByteArray entries;
        for (int i = 0; i < tracks.size(); ++i) {
            entries += "<dict><key>Point</key><integer>" + QByteArray::number(i + 1) + "</integer></dict>";
            const QString file = QStringLiteral("%1/%2 %3.aiff").arg(path).arg(i + 1).arg(tracks[i].title);
            if (fake)
                AudioFiles::writeFakeInput(file, tracks[i].seconds, tracks[i].exit);
            else if (AudioFiles::run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", file, "synth",
                                             QString::number(tracks[i].seconds), "sine", "440"}) != 0)
                return QString();
        }
        Fixture::writeFile(
            path + "/.TOC.plist",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>Sessions"
            "</key><array><dict><key>Track Array</key><array>" +
                entries + "</array></dict></array></dict></plist>\n");
        return path;
    }

  private slots:
    void initTestCase()
    {
        if (!AudioFiles::haveProgram("sox") || !AudioFiles::haveProgram("lame"))
            QSKIP("sox and lame are needed to make and encode the test discs");
    }

    void cleanup() { QVERIFY(Fixture::closeEverything()); }

    void window()
    {
        Fixture fixture(false);
        const QString disc = makeDisc("Live Tapes", {{"One"}, {"Audio Track"}, {"Three"}}, false);
        Ripper *ripper = Ripper::initWithPreferences(fixture.master().preferences(), disc);
        QVERIFY(ripper);
        QCOMPARE(ripper->window()->windowTitle(), "Rip Audio CD - Live Tapes");
        QCOMPARE(outlet<QLineEdit>(ripper, "albumField")->text(), "Live Tapes");
        auto *table = outlet<QTableView>(ripper, "trackList");
        const auto rows = [&] {
            QStringList texts;
            for (int row = 0; row < table->model()->rowCount(); ++row)
                texts << table->model()->index(row, 0).data().toString();
            return texts;
        };
        QCOMPARE(rows(), QStringList({"01: One", "02", "03: Three"}));

        // A title cleared and a comment typed belong to the row they were typed for.
        auto *title = outlet<QLineEdit>(ripper, "titleField");
        QVERIFY(!title->isEnabled());
        selectRow(ripper, 0);
        QCOMPARE(title->text(), "One");
        title->clear();
        outlet<QLineEdit>(ripper, "commentField")->setText("live");
        selectRow(ripper, 1);
        QCOMPARE(rows(), QStringList({"01", "02", "03: Three"}));
        QCOMPARE(ripper->trackRecords().first().value(kSongCommentKey), "live");
        selectRow(ripper, -1);
        QVERIFY(!title->isEnabled() && title->text().isEmpty());
        QTest::keyClicks(outlet<QLineEdit>(ripper, "yearField"), "19a9");
        QCOMPARE(outlet<QLineEdit>(ripper, "yearField")->text(), "199");

        // Dropped audio files go to a batch window, not to the disc's list.
        const QString wav = work.filePath("dropped.wav");
        QVERIFY(AudioFiles::makeSine(wav, 0.1));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(wav)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(ripper->window(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(ripper->window(), &drop);
        QCOMPARE(BatchEncoder::allControllers().size(), 1);
        QCOMPARE(BatchEncoder::allControllers().first()->taskRecords().value(0).value(kInputFileKey), wav);
        QCOMPARE(ripper->trackRecords().size(), 3);

        // Another volume going away changes nothing; this disc going away ends the window, and
        // its pending destination panel with it, without an answer.
        emit Workspace::shared().didUnmount(work.path());
        outlet<QPushButton>(ripper, "ripButton")->click();
        QVERIFY(TestSheets::waitForPanel());
        emit Workspace::shared().didUnmount(disc);
        QVERIFY(Fixture::waitUntilEnded(ripper));
        QVERIFY(!Ripper::mountPoints().contains(disc));
        QVERIFY(QTest::qWaitFor([] { return !TestSheets::waitForPanel(0); }));
    }

    void separatorWithSlashRefused()
    {
        struct Slashes : QTranslator
        {
            QString translate(const char *, const char *key, const char *, int) const override
            {
                return QByteArray(key) == "ReplacementSeparator" ? "/x/" : QString();
            }
            bool isEmpty() const override { return false; }
        } slashes;
        QCoreApplication::installTranslator(&slashes);
        const QString name = Ripper::ripFolderName("AC/DC", "");
        QCoreApplication::removeTranslator(&slashes);
        QCOMPARE(name, "AC_DC");
    }

    void rip_data()
    {
        QTest::addColumn<QStringList>("disc");   // artist, album, year typed, genre
        QTest::addColumn<QString>("firstTitle"); // null: left as the disc has it
        QTest::addColumn<QString>("taken");      // a name already in the destination
        QTest::addColumn<bool>("library");
        QTest::addColumn<QString>("first");    // folder/file of the first track
        QTest::addColumn<QStringList>("tags"); // year and genre of the first track
        QTest::newRow("slashes") << QStringList{"AC/DC", "Live", "1979", "Rock"} << "Intro/Outro"
                                 << "" << false << "AC_DC - Live/01. Intro_Outro.mp3"
                                 << QStringList{"1979", "Rock"};
        QTest::newRow("album only, name taken, unknown genre")
            << QStringList{"", "X", "19a9", "Made Up"} << QString() << "X" << false << "X 2/01. One.mp3"
            << QStringList{"199", ""};
        QTest::newRow("nothing, untitled") << QStringList{"", "", "", ""} << ""
                                           << "" << false << "Unknown/01.mp3" << QStringList{"", ""};
        QTest::newRow("long title") << QStringList{"", "", "", ""} << QString(200, u'é') << "" << false
                                    << "Unknown/01. " + QString(123, u'é') + ".mp3" << QStringList{"", ""};
        QTest::newRow("music library") << QStringList{"Y", "", "2001", "Made Up"} << QString() << "" << true
                                       << "Y/01. One.mp3" << QStringList{"2001", "Made Up"};
    }

    void rip()
    {
        QFETCH(QStringList, disc);
        QFETCH(QString, firstTitle);
        QFETCH(QString, taken);
        QFETCH(bool, library);
        QFETCH(QString, first);
        QFETCH(QStringList, tags);
        Fixture fixture(false);
        LamePrefs::preferences().setBool(library, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(library, PrefKey::DiscPlaylists);
        Ripper *ripper = Ripper::initWithPreferences(
            fixture.master().preferences(), makeDisc("Audio CD", {{"One", 0.5}, {"Two", 0.3}}, false));
        QVERIFY(ripper);
        QVERIFY(outlet<QLineEdit>(ripper, "albumField")->text().isEmpty());
        const QString destination = fixture.cleanMusicFolder();
        QVERIFY(taken.isEmpty() || QDir(destination).mkdir(taken));
        outlet<QLineEdit>(ripper, "artistField")->setText(disc[0]);
        outlet<QLineEdit>(ripper, "albumField")->setText(disc[1]);
        QTest::keyClicks(outlet<QLineEdit>(ripper, "yearField"), disc[2]);
        outlet<QComboBox>(ripper, "genreField")->setEditText(disc[3]);
        if (!firstTitle.isNull()) {
            selectRow(ripper, 0);
            outlet<QLineEdit>(ripper, "titleField")->setText(firstTitle);
        }
        ::rip(ripper, destination);
        QMessageBox *notice = TestSheets::waitForAlert(60000);
        QVERIFY(notice);
        QCOMPARE(notice->informativeText(), "All tracks done.");
        const QString mp3 = destination + "/" + first;
        QVERIFY2(QFile::exists(mp3), qPrintable(mp3));
        QVERIFY(qAbs(AudioFiles::decodedSeconds(QFileInfo(mp3).path() + "/02. Two.mp3") - 0.3) < 0.06);
        const QStringList written{frame(mp3, "TPE1"), frame(mp3, "TALB"), frame(mp3, "TDRC"),
                                  frame(mp3, "TCON")};
        QCOMPARE(written, (QStringList{disc[0], disc[1], tags[0], tags[1]}));
        QCOMPARE(frame(mp3, "TIT2"), firstTitle.isNull() ? "One" : firstTitle);
        QCOMPARE(trackNumber(mp3), "1/2");
        QVERIFY(TestSheets::click(notice, "OK"));
        QVERIFY(Fixture::waitUntilEnded(ripper));
    }

    // What is lost is counted on the completion notice (the log says why).
    void failures_data()
    {
        QTest::addColumn<QList<Track>>("tracks");
        QTest::addColumn<QString>("during"); // what happens before or while track 1 runs
        QTest::addColumn<int>("failed");
        QTest::addColumn<int>("files");
        QTest::newRow("encoder fails") << QList<Track>{{"A"}, {"B", 0.2, 1}, {"C"}} << "" << 1 << 2;
        QTest::newRow("bad sectors before")
            << QList<Track>{{"A"}, {"B"}, {"C"}} << "sectors before" << 1 << 2;
        QTest::newRow("bad sectors") << QList<Track>{{"A", 1}, {"B"}, {"C"}} << "sectors" << 1 << 2;
        QTest::newRow("unmounted") << QList<Track>{{"A", 30}, {"B"}, {"C"}} << "unmount" << 3 << 0;
        QTest::newRow("skipped") << QList<Track>{{"A", 30}, {"B"}, {"C"}} << "skip" << 0 << 2;
        QTest::newRow("stopped by closing") << QList<Track>{{"A", 30}, {"B"}, {"C"}} << "close" << -1 << 0;
    }

    void failures()
    {
        QFETCH(QList<Track>, tracks);
        QFETCH(QString, during);
        QFETCH(int, failed);
        QFETCH(int, files);
        Fixture fixture(true);
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        const QString disc = makeDisc("Faulty", tracks, true);
        // The counts of the file system: every track read cleanly ("0"), then track 1 not.
        const auto unreadable = [&](const char *count, const QString &pattern) {
            for (const QFileInfo &file : QDir(disc).entryInfoList({pattern}))
                if (setxattr(QFile::encodeName(file.filePath()).constData(), "user.orvik.unreadable-sectors",
                             count, 1, 0) != 0)
                    return false;
            return true;
        };
        if (during.startsWith("sectors") && !unreadable("0", "*.aiff"))
            QSKIP("this file system keeps no user extended attributes");
        if (during == "sectors before")
            QVERIFY(unreadable("3", "1 *"));
        Ripper *ripper = Ripper::initWithPreferences(fixture.master().preferences(), disc);
        QVERIFY(ripper);
        ::rip(ripper, fixture.cleanMusicFolder());
        const QString folder = ripper->ripFolder();
        if (!during.isEmpty() && during != "sectors before")
            QVERIFY(Fixture::waitUntilEncoding(ripper, 0));
        if (during == "sectors")
            QVERIFY(unreadable("3", "1 *"));
        if (during == "unmount")
            emit Workspace::shared().didUnmount(disc);
        if (during == "skip") {
            Fixture::interrupt(ripper->progressController(), Fixture::Skip);
            QMessageBox *skip = TestSheets::waitForAlert();
            QVERIFY(skip);
            QCOMPARE(skip->informativeText(), "Skip track 01?");
            QVERIFY(TestSheets::click(skip, "OK"));
        }
        if (during == "close") {
            // Quitting asks too; Cancel keeps the rip going.
            fixture.master().quit();
            QVERIFY(TestSheets::click(TestSheets::waitForAlert(), "Cancel"));
            ripper->window()->close();
            QMessageBox *stop = TestSheets::waitForAlert();
            QVERIFY(stop);
            QCOMPARE(stop->informativeText(), "Stop ripping \"Faulty\"?");
            QVERIFY(TestSheets::click(stop, "OK"));
            QVERIFY(Fixture::waitUntilEnded(ripper));
        } else {
            QMessageBox *notice = TestSheets::waitForAlert(30000);
            QVERIFY(notice);
            const QString counted =
                QStringLiteral("%1 of 3 tracks could not be ripped. The command log shows why.").arg(failed);
            QCOMPARE(notice->informativeText(),
                     failed ? "All tracks done.\n\n" + counted : QStringLiteral("All tracks done."));
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), files);
    }

    void endToEndWithTheKeyboard()
    {
        if (!QFile::exists("/dev/fuse"))
            QSKIP("/dev/fuse is missing: no FUSE file system can be mounted here");
        // Two audio tracks of 100 and 75 sectors in a cue/bin image, mounted by orvik-cddafs.
        const QList<std::pair<QByteArray, int>> tracks = {{"First", 100}, {"Second", 75}};
        QByteArray cue = "TITLE \"Live Tapes\"\nFILE \"disc.bin\" BINARY\n", bin;
        for (int i = 0; i < tracks.size(); ++i) {
            const QString raw = work.filePath("track.raw");
            QCOMPARE(AudioFiles::run("sox", {"-r", "44100", "-c", "2", "-n", "-b", "16", "-e",
                                             "signed-integer", "-L", "-t", "raw", raw, "synth",
                                             QString("%1s").arg(tracks[i].second * 588), "sine",
                                             QString::number(300 + 200 * i)}),
                     0);
            const int sector = int(bin.size() / 2352);
            cue += QString::asprintf("  TRACK %02d AUDIO\n    TITLE \"%s\"\n    INDEX 01 %02d:%02d:%02d\n",
                                     i + 1, tracks[i].first.constData(), sector / 4500, sector / 75 % 60,
                                     sector % 75)
                       .toUtf8();
            bin += Fixture::contents(raw);
        }
        QVERIFY(Fixture::writeFile(work.filePath("disc.cue"), cue) &&
                Fixture::writeFile(work.filePath("disc.bin"), bin));

        Fixture fixture(false);
        LamePrefs::preferences().setBool(true, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(true, PrefKey::DiscPlaylists);
        QProcess mount;
        QDir().mkpath(work.filePath("discs"));
        mount.start(ORVIK_BUILD_DIR "/orvik-cddafs",
                    {"--name-in", work.filePath("discs"), work.filePath("disc.cue")});
        QVERIFY(mount.waitForFinished(10000));
        const QString point = QString::fromUtf8(mount.readAllStandardOutput()).trimmed();
        if (mount.exitCode() != 0 || point.isEmpty())
            QSKIP("FUSE refuses mounts here (no permission to mount)");
        const auto unmount = qScopeGuard([&] { QProcess::execute("fusermount3", {"-u", point}); });
        // Orvik notices the mount and opens its rip window.
        QVERIFY(QTest::qWaitFor([&] { return Ripper::mountPoints().contains(point); }, 15000));
        Ripper *ripper = Ripper::allControllers().first();
        QCOMPARE(ripper->window()->windowTitle(), "Rip Audio CD - Live Tapes");
        // Rip Audio CD finds the disc among the mounted volumes, but only once it has no window.
        fixture.master().ripCD();
        QCOMPARE(Ripper::allControllers().size(), 1);
        ripper->window()->close();
        QVERIFY(Fixture::waitUntilEnded(ripper));
        fixture.master().ripCD();
        QCOMPARE(Ripper::allControllers().size(), 1);
        ripper = Ripper::allControllers().first();
        QCOMPARE(ripper->mountPoint(), point);

        const QString destination = fixture.cleanMusicFolder();
        QVERIFY(QTest::qWaitForWindowActive(ripper->window()));
        press(Qt::Key_R, Qt::AltModifier);
        QTest::keyClicks(static_cast<QWidget *>(nullptr), "AC/DC");
        press(Qt::Key_L, Qt::AltModifier);
        press(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(static_cast<QWidget *>(nullptr), "Live");
        press(Qt::Key_P, Qt::AltModifier);
        QFileDialog *panel = TestSheets::waitForPanel();
        QVERIFY(panel);
        QVERIFY(QTest::qWaitForWindowActive(panel));
        press(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(static_cast<QWidget *>(nullptr), destination);
        // A name the panel cannot take would open a question of its own, blocking the test.
        auto *name = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(name && name->text() == destination);
        press(Qt::Key_Return);
        QMessageBox *notice = TestSheets::waitForAlert(60000);
        QVERIFY(notice);
        QCOMPARE(notice->informativeText(), "All tracks done.");
        QStringList listed;
        for (const QString &line :
             QString::fromUtf8(Fixture::contents(MusicLibrary::playlistPath("AC_DC - Live"))).split('\n'))
            if (!line.isEmpty() && !line.startsWith('#'))
                listed << QFileInfo(line).fileName();
        QCOMPARE(listed, QStringList({"01. First.mp3", "02. Second.mp3"}));
        for (int i = 0; i < tracks.size(); ++i) {
            const QString mp3 = QStringLiteral("%1/AC_DC - Live/%2").arg(destination, listed[i]);
            QVERIFY(qAbs(AudioFiles::decodedSeconds(mp3) - tracks[i].second / 75.0) < 0.06);
            const QStringList written{frame(mp3, "TIT2"), frame(mp3, "TPE1"), frame(mp3, "TALB"),
                                      trackNumber(mp3)};
            QCOMPARE(written, (QStringList{tracks[i].first, "AC/DC", "Live", QString("%1/2").arg(i + 1)}));
        }
        QVERIFY(QTest::qWaitForWindowActive(notice));
        press(Qt::Key_Return);
        QVERIFY(Fixture::waitUntilEnded(ripper));
    }
};

QTEST_MAIN(TestRipper)
#include "tst_ripper.moc"
