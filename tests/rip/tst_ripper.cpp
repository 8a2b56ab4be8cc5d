// Rip windows on folders laid out as the audio-CD file system presents a disc (its table of
// contents and "N Title.aiff" files), and once on a real orvik-cddafs mount of a cue/bin image.
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

QString frame(const QString &mp3, const char *id)
{
    TagLib::MPEG::File file(QFile::encodeName(mp3).constData());
    const auto frames = file.hasID3v2Tag() ? file.ID3v2Tag()->frameList(id) : TagLib::ID3v2::FrameList();
    return frames.isEmpty() ? QString() : QString::fromStdString(frames.front()->toString().to8Bit(true));
}

template <typename T> T *outlet(Ripper *rip, const char *name)
{
    return WindowDescription::outlet<T>(rip->window(), name);
}

void selectRow(Ripper *rip, int row)
{
    auto *table = outlet<QTableView>(rip, "trackList");
    if (row < 0)
        table->clearSelection();
    else
        table->selectRow(row);
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
        QFile toc(path + "/.TOC.plist");
        toc.open(QIODevice::WriteOnly);
        toc.write(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>Sessions</key>"
            "<array><dict><key>Track Array</key><array>" +
            entries + "</array></dict></array></dict></plist>\n");
        return path;
    }

    // Rip pressed, `destination` chosen in the panel.
    static void rip(Ripper *ripper, const QString &destination)
    {
        outlet<QPushButton>(ripper, "ripButton")->click();
        QFileDialog *panel = TestSheets::waitForPanel();
        QVERIFY(panel);
        TestSheets::choose(panel, destination);
    }

    static bool ended(Ripper *ripper)
    {
        return QTest::qWaitFor([&] { return !Ripper::allControllers().contains(ripper); }, 15000);
    }

    static bool encoding(Ripper *ripper, quint32 index)
    {
        return QTest::qWaitFor(
            [&] {
                return ripper->currentTaskIndex() == index && ripper->encoderProcess() &&
                       ripper->encoderProcess()->state() == QProcess::Running;
            },
            15000);
    }

  private slots:
    void initTestCase()
    {
        if (!AudioFiles::haveProgram("sox") || !AudioFiles::haveProgram("lame"))
            QSKIP("sox and lame are needed to make and encode the test discs");
    }

    void cleanup()
    {
        while (QMessageBox *alert = TestSheets::waitForAlert(0))
            delete alert;
        for (Ripper *ripper : Ripper::allControllers())
            ripper->abortRun();
        QVERIFY(QTest::qWaitFor([] { return Ripper::allControllers().isEmpty(); }));
        QVERIFY(BatchFixture::closeEverything());
    }

    void window()
    {
        BatchFixture fixture(false);
        const QString disc = makeDisc("Live Tapes", {{"One"}, {"Audio Track"}, {"Three"}}, false);
        Ripper *ripper = Ripper::initWithPreferences(fixture.master().preferences(), disc);
        QVERIFY(ripper);
        QCOMPARE(ripper->window()->windowTitle(), "Rip Audio CD - Live Tapes");
        QCOMPARE(outlet<QLineEdit>(ripper, "albumField")->text(), "Live Tapes");
        QVERIFY(Ripper::mountPoints().contains(disc));
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
        auto *comment = outlet<QLineEdit>(ripper, "commentField");
        QVERIFY(!title->isEnabled());
        selectRow(ripper, 0);
        QCOMPARE(title->text(), "One");
        title->clear();
        comment->setText("live");
        selectRow(ripper, 1);
        QCOMPARE(rows(), QStringList({"01", "02", "03: Three"}));
        QCOMPARE(ripper->trackRecords().first().value(kSongCommentKey), "live");
        QVERIFY(!ripper->trackRecords().first().contains(kSongTitleKey));
        selectRow(ripper, -1);
        QVERIFY(!title->isEnabled() && title->text().isEmpty());
        auto *year = outlet<QLineEdit>(ripper, "yearField");
        QTest::keyClicks(year, "19a9");
        QCOMPARE(year->text(), "199");

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
        QVERIFY(drop.isAccepted());
        QVERIFY(fixture.master().gopher());
        QCOMPARE(fixture.master().gopher()->taskRecords().value(0).value(kInputFileKey), wav);
        QCOMPARE(ripper->trackRecords().size(), 3);

        // Another volume going away changes nothing; this disc going away ends the window, and
        // its pending destination panel with it, without an answer.
        emit Workspace::shared().didUnmount(work.path());
        outlet<QPushButton>(ripper, "ripButton")->click();
        QVERIFY(TestSheets::waitForPanel());
        emit Workspace::shared().didUnmount(disc);
        QVERIFY(ended(ripper));
        QVERIFY(!Ripper::mountPoints().contains(disc));
        QVERIFY(QTest::qWaitFor([] { return !TestSheets::waitForPanel(0); }));
    }

    void separatorWithSlashRefused()
    {
        struct Slashes : QTranslator
        {
            QString translate(const char *context, const char *key, const char *, int) const override
            {
                return QByteArray(context) == "Rip" && QByteArray(key) == "ReplacementSeparator" ? "/x/"
                                                                                                 : QString();
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
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("album");
        QTest::addColumn<QString>("yearTyped");
        QTest::addColumn<QString>("genre");
        QTest::addColumn<QString>("firstTitle"); // null: left as the disc has it
        QTest::addColumn<QString>("taken");      // a name already in the destination
        QTest::addColumn<bool>("library");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("firstFile");
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("genreTag");
        QTest::newRow("slashes") << "AC/DC"
                                 << "Live"
                                 << "1979"
                                 << "Rock"
                                 << "Intro/Outro"
                                 << "" << false << "AC_DC - Live"
                                 << "01. Intro_Outro.mp3"
                                 << "1979"
                                 << "Rock";
        QTest::newRow("album only, name taken, unknown genre")
            << ""
            << "X"
            << "19a9"
            << "Made Up" << QString() << "X" << false << "X 2"
            << "01. One.mp3"
            << "199"
            << "";
        QTest::newRow("nothing, untitled") << ""
                                           << ""
                                           << ""
                                           << ""
                                           << ""
                                           << "" << false << "Unknown"
                                           << "01.mp3"
                                           << ""
                                           << "";
        QTest::newRow("long title") << ""
                                    << ""
                                    << ""
                                    << "" << QString(200, u'é') << "" << false << "Unknown"
                                    << "01. " + QString(123, u'é') + ".mp3"
                                    << ""
                                    << "";
        QTest::newRow("music library") << "Y"
                                       << ""
                                       << "2001"
                                       << "Made Up" << QString() << "" << true << "Y"
                                       << "01. One.mp3"
                                       << "2001"
                                       << "Made Up";
    }

    void rip()
    {
        QFETCH(QString, artist);
        QFETCH(QString, album);
        QFETCH(QString, yearTyped);
        QFETCH(QString, genre);
        QFETCH(QString, firstTitle);
        QFETCH(QString, taken);
        QFETCH(bool, library);
        QFETCH(QString, folder);
        QFETCH(QString, firstFile);
        BatchFixture fixture(false);
        LamePrefs::preferences().setBool(library, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(library, PrefKey::DiscPlaylists);
        const QString disc = makeDisc("Audio CD", {{"One", 0.5}, {"Two", 0.3}}, false);
        Ripper *ripper = Ripper::initWithPreferences(fixture.master().preferences(), disc);
        QVERIFY(ripper);
        QVERIFY(outlet<QLineEdit>(ripper, "albumField")->text().isEmpty());
        const QString destination = fixture.cleanMusicFolder();
        if (!taken.isEmpty())
            QVERIFY(QDir(destination).mkdir(taken));
        outlet<QLineEdit>(ripper, "artistField")->setText(artist);
        outlet<QLineEdit>(ripper, "albumField")->setText(album);
        QTest::keyClicks(outlet<QLineEdit>(ripper, "yearField"), yearTyped);
        outlet<QComboBox>(ripper, "genreField")->setEditText(genre);
        if (!firstTitle.isNull()) {
            selectRow(ripper, 0);
            outlet<QLineEdit>(ripper, "titleField")->setText(firstTitle);
        }
        rip(ripper, destination);
        QMessageBox *notice = TestSheets::waitForAlert(60000);
        QVERIFY(notice);
        QCOMPARE(notice->informativeText(), "All tracks done.");
        const QString first = destination + "/" + folder + "/" + firstFile;
        QVERIFY2(QFile::exists(first), qPrintable(first));
        QVERIFY(qAbs(AudioFiles::decodedSeconds(destination + "/" + folder + "/02. Two.mp3") - 0.3) < 0.06);
        QCOMPARE(frame(first, "TPE1"), artist);
        QCOMPARE(frame(first, "TALB"), album);
        QTEST(frame(first, "TDRC"), "year");
        QTEST(frame(first, "TCON"), "genreTag");
        QCOMPARE(frame(first, "TIT2"), firstTitle.isNull() ? "One" : firstTitle);
        QCOMPARE(frame(first, "TRCK").split('/').value(1), "2");
        TestSheets::click(notice, fixture.master().confirmButtonTitle());
        QVERIFY(ended(ripper));
    }

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
    }

    void failures()
    {
        QFETCH(QList<Track>, tracks);
        QFETCH(QString, during);
        QFETCH(int, failed);
        QFETCH(int, files);
        BatchFixture fixture(true);
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
        rip(ripper, fixture.cleanMusicFolder());
        if (!during.isEmpty() && during != "sectors before")
            QVERIFY(encoding(ripper, 0));
        if (during == "sectors")
            QVERIFY(unreadable("3", "1 *"));
        if (during == "unmount")
            emit Workspace::shared().didUnmount(disc);
        if (during == "skip") {
            for (QPushButton *button :
                 ripper->progressController()->progressSheet()->findChildren<QPushButton *>())
                if (WindowDescription::tag(button) == 2)
                    button->click();
            QMessageBox *skip = TestSheets::waitForAlert();
            QVERIFY(skip);
            QCOMPARE(skip->informativeText(), "Skip track 01?");
            QVERIFY(TestSheets::click(skip, fixture.master().confirmButtonTitle()));
        }
        QMessageBox *notice = TestSheets::waitForAlert(30000);
        QVERIFY(notice);
        const QString counted =
            QStringLiteral("%1 of 3 tracks could not be ripped. The command log shows why.").arg(failed);
        QCOMPARE(notice->informativeText(),
                 failed ? "All tracks done.\n\n" + counted : QStringLiteral("All tracks done."));
        QCOMPARE(QDir(ripper->ripFolder()).entryList(QDir::Files).size(), files);
    }

    void closingAsksStop()
    {
        BatchFixture fixture(true);
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        Ripper *ripper = Ripper::initWithPreferences(fixture.master().preferences(),
                                                     makeDisc("Long", {{"A", 30}, {"B"}}, true));
        QVERIFY(ripper);
        rip(ripper, fixture.cleanMusicFolder());
        QVERIFY(encoding(ripper, 0));
        // Quitting asks too; Cancel keeps the rip going.
        fixture.master().quit();
        QMessageBox *quit = TestSheets::waitForAlert();
        QVERIFY(quit);
        QVERIFY(TestSheets::click(quit, fixture.master().cancelButtonTitle()));
        const QString folder = ripper->ripFolder();
        ripper->window()->close();
        QMessageBox *stop = TestSheets::waitForAlert();
        QVERIFY(stop);
        QCOMPARE(stop->informativeText(), "Stop ripping \"Long\"?");
        QVERIFY(TestSheets::click(stop, fixture.master().confirmButtonTitle()));
        QVERIFY(ended(ripper));
        QVERIFY(QDir(folder).entryList(QDir::Files).isEmpty());
    }

    void endToEnd()
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
            QFile file(raw);
            QVERIFY(file.open(QIODevice::ReadOnly));
            cue += QString::asprintf("  TRACK %02d AUDIO\n    TITLE \"", i + 1).toUtf8() + tracks[i].first +
                   "\"\n    INDEX 01 " +
                   QString::asprintf("%02d:%02d:%02d", int(bin.size() / 2352 / 4500),
                                     int(bin.size() / 2352 / 75 % 60), int(bin.size() / 2352 % 75))
                       .toUtf8() +
                   "\n";
            bin += file.readAll();
        }
        QFile cueFile(work.filePath("disc.cue")), binFile(work.filePath("disc.bin"));
        QVERIFY(cueFile.open(QIODevice::WriteOnly) && binFile.open(QIODevice::WriteOnly));
        cueFile.write(cue);
        binFile.write(bin);
        cueFile.close();
        binFile.close();

        BatchFixture fixture(false);
        LamePrefs::preferences().setBool(true, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(true, PrefKey::DiscPlaylists);
        QProcess mount;
        QDir().mkpath(work.filePath("discs"));
        mount.start(ORVIK_BUILD_DIR "/orvik-cddafs",
                    {"--name-in", work.filePath("discs"), cueFile.fileName()});
        QVERIFY(mount.waitForFinished(10000));
        const QString point = QString::fromUtf8(mount.readAllStandardOutput()).trimmed();
        if (mount.exitCode() != 0 || point.isEmpty())
            QSKIP("FUSE refuses mounts here (no permission to mount)");
        const auto unmount = qScopeGuard([&] { QProcess::execute("fusermount3", {"-u", point}); });
        // Orvik notices the mount and opens its rip window.
        Ripper *ripper = nullptr;
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (Ripper *candidate : Ripper::allControllers())
                    if (candidate->mountPoint() == point)
                        ripper = candidate;
                return ripper != nullptr;
            },
            15000));
        QCOMPARE(ripper->window()->windowTitle(), "Rip Audio CD - Live Tapes");
        // Rip Audio CD finds the disc among the mounted volumes, but only once it has no window.
        fixture.master().ripCD();
        QCOMPARE(Ripper::allControllers().size(), 1);
        ripper->window()->close();
        QVERIFY(ended(ripper));
        fixture.master().ripCD();
        QCOMPARE(Ripper::allControllers().size(), 1);
        ripper = Ripper::allControllers().first();
        QCOMPARE(ripper->mountPoint(), point);
        outlet<QLineEdit>(ripper, "artistField")->setText("AC/DC");
        outlet<QLineEdit>(ripper, "albumField")->setText("Live");
        const QString destination = fixture.cleanMusicFolder();
        rip(ripper, destination);
        QMessageBox *notice = TestSheets::waitForAlert(60000);
        QVERIFY(notice);
        QCOMPARE(notice->informativeText(), "All tracks done.");
        QFile playlist(MusicLibrary::playlistPath("AC_DC - Live"));
        QVERIFY(playlist.open(QIODevice::ReadOnly));
        QStringList listed;
        for (const QString &line : QString::fromUtf8(playlist.readAll()).split('\n'))
            if (!line.isEmpty() && !line.startsWith('#'))
                listed << QFileInfo(line).fileName();
        QCOMPARE(listed, QStringList({"01. First.mp3", "02. Second.mp3"}));
        for (int i = 0; i < tracks.size(); ++i) {
            const QString mp3 = QStringLiteral("%1/AC_DC - Live/%2. %3.mp3")
                                    .arg(destination)
                                    .arg(i + 1, 2, 10, QChar('0'))
                                    .arg(tracks[i].first);
            QVERIFY2(QFile::exists(mp3), qPrintable(mp3));
            QVERIFY(qAbs(AudioFiles::decodedSeconds(mp3) - tracks[i].second / 75.0) < 0.06);
            QCOMPARE(frame(mp3, "TIT2"), tracks[i].first);
            QCOMPARE(frame(mp3, "TPE1"), "AC/DC");
            QCOMPARE(frame(mp3, "TALB"), "Live");
            QCOMPARE(frame(mp3, "TRCK").split('/').value(0).toInt(), i + 1);
            QCOMPARE(frame(mp3, "TRCK").split('/').value(1), "2");
        }
        TestSheets::click(notice, fixture.master().confirmButtonTitle());
        QVERIFY(ended(ripper));
    }
};

QTEST_MAIN(TestRipper)
#include "tst_ripper.moc"
