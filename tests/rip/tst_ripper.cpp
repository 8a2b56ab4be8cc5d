// Rip windows: track lists, rips, a disc mounted as Orvik starts and ripped with the keyboard alone,
// and the disc lookups and AccurateRip checks against a local server that answers as those services
// document it, with cue/bin images mounted by orvik-cddafs.
#include "support/AudioFiles.h"
#include "support/CueDisc.h"
#include "support/LocalHttpServer.h"
#include "support/TunesSupport.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/AccurateRipLookup.h"
#include "core/DiscLookup.h"
#include "core/LamePrefs.h"
#include "platform/DiscWatcher.h"
#include "platform/MusicBrainzDiscId.h"
#include "platform/MusicLibrary.h"
#include "platform/PropertyList.h"
#include "platform/widgets/WindowDescription.h"
#include "platform/widgets/Workspace.h"
#include "rip/DiscTrackList.h"
#include "rip/ReleaseChooser.h"
#include "rip/Ripper.h"

#include <QtTest>
#include <QtWidgets>
#include <cstdio>
#include <sys/xattr.h>

namespace {
using Answer = LocalHttpServer::Answer;
using Pressing = AccurateRipDisc::Pressing;

// A release as the web service's documented JSON describes it.
struct Release
{
    QString id, title, artist, date, country;
    QStringList titles, artists{}; // a track without an artist of its own has the release's
};

QJsonArray credit(const QString &name)
{
    return {QJsonObject{{"name", name}, {"joinphrase", ""}, {"artist", QJsonObject{{"name", name}}}}};
}

// The answer to /ws/2/discid/<discId>?inc=recordings+artist-credits&fmt=json: each release on a
// CD medium that lists the disc.
QByteArray discAnswer(const QString &discId, const QList<Release> &releases)
{
    QJsonArray list;
    for (const Release &release : releases) {
        QJsonArray tracks;
        for (int i = 0; i < release.titles.size(); ++i)
            tracks.append(QJsonObject{{"position", i + 1},
                                      {"title", release.titles[i]},
                                      {"artist-credit", credit(release.artists.value(i, release.artist))}});
        const QJsonObject medium{
            {"format", "CD"}, {"discs", QJsonArray{QJsonObject{{"id", discId}}}}, {"tracks", tracks}};
        list.append(QJsonObject{{"id", release.id},
                                {"title", release.title},
                                {"date", release.date},
                                {"country", release.country},
                                {"artist-credit", credit(release.artist)},
                                {"media", QJsonArray{medium}}});
    }
    return QJsonDocument(QJsonObject{{"id", discId}, {"releases", list}}).toJson();
}

// The disc ID of a table of contents given as "first last lead-out offsets…", by the documented
// calculation done here on its own: SHA-1 of the first and last track (2 hex digits each), the
// lead-out and 99 track offsets (8 hex digits each, upper case, 0 for no track), in Base64 with
// "._-" for "+/=".
QString discId(const QString &toc)
{
    const QStringList numbers = toc.split(' ');
    QByteArray text;
    for (int i = 0; i < 102; ++i)
        text += QByteArray::number(numbers.value(i).toInt(), 16).rightJustified(i < 2 ? 2 : 8, '0');
    QByteArray id = QCryptographicHash::hash(text.toUpper(), QCryptographicHash::Sha1).toBase64();
    return QString::fromLatin1(id.replace('+', '.').replace('/', '_').replace('=', '-'));
}

// The AccurateRip checksums of a track's samples (16-bit little-endian stereo) as the algorithm is
// published, written apart from the program's: "v1 v2", each as 8 hexadecimal digits.
QByteArray accurateRipSums(const QByteArray &samples, bool firstTrack, bool lastTrack)
{
    // Sample i (from 1) weighs i; the disc's first track leaves out its first 5 * 588 - 1 samples,
    // its last track its last 5 * 588. v2 adds the high half of each product as well.
    constexpr qint64 edge = 5 * 588;
    const qint64 count = samples.size() / 4;
    quint32 v1 = 0, v2 = 0;
    for (qint64 i = 1; i <= count; ++i) {
        if ((firstTrack && i < edge) || (lastTrack && i > count - edge))
            continue;
        const quint64 product =
            quint64(qFromLittleEndian<quint32>(samples.constData() + 4 * (i - 1))) * quint64(i);
        v1 += quint32(product);
        v2 += quint32(product) + quint32(product >> 32);
    }
    return QByteArray::number(v1, 16).rightJustified(8, '0') + ' ' +
           QByteArray::number(v2, 16).rightJustified(8, '0');
}

// A block of an AccurateRip entry as the database writes it, little-endian: the track count and the
// disc's three IDs (the first moved by `id1Change`), then each track's confidence, checksum and a
// sector's checksum.
QByteArray accurateRipBlock(const AccurateRipDisc &disc, const QList<Pressing::Track> &tracks,
                            quint32 id1Change = 0)
{
    QByteArray bytes(1, char(tracks.size()));
    for (quint32 value : {disc.id1() + id1Change, disc.id2(), disc.freedbId()})
        bytes += QByteArray(reinterpret_cast<const char *>(&value), 4);
    for (const Pressing::Track &track : tracks)
        bytes += char(track.confidence) + QByteArray(reinterpret_cast<const char *>(&track.checksum), 4) +
                 QByteArray(4, '\x5a');
    return bytes;
}

const QString kDisc = QStringLiteral("xUp1F2NkfP8s8jaeFn_Av3jNEI4-");
const QString kPath = "/ws/2/discid/" + kDisc;
const QString kQuery = kPath + "?inc=recordings+artist-credits&fmt=json";
const QString kCache = DiscLookup::cacheFolder() + "/discs/" + kDisc + ".json";
const Release kOne{"mb-1", "Album", "Artist", "1999-03-01", "GB", {"Up/Down\x07", "Second"}};
const QByteArray kJpeg("\xff\xd8\xff\xe0 a picture");

// What a lookup of the disc kDisc (or of its cover, with `cover`) ended with, in one line.
QString lookUp(LocalHttpServer &server, int trackCount, bool online = true, const QString &cover = {})
{
    DiscLookup lookup({kDisc, trackCount, online, server.address(), server.address() + "/"});
    QString outcome;
    QObject::connect(&lookup, &DiscLookup::found, [&](const QList<DiscRelease> &releases) {
        QStringList found;
        for (const DiscRelease &release : releases) {
            QStringList tracks;
            for (const DiscRelease::Track &track : release.tracks)
                tracks << track.title + (track.artist.isEmpty() ? "" : " (" + track.artist + ")");
            found << QStringList{release.id,      release.title,  release.artist,   release.year,
                                 release.country, release.format, tracks.join(", ")}
                         .join('|');
        }
        outcome = "found " + found.join("; ");
    });
    QObject::connect(&lookup, &DiscLookup::notFound, [&] { outcome = "not found"; });
    QObject::connect(&lookup, &DiscLookup::failed, [&](const QString &why) { outcome = "failed: " + why; });
    QObject::connect(&lookup, &DiscLookup::coverFound, [&](const QByteArray &picture) {
        outcome = picture == kJpeg ? "picture" : "other bytes";
    });
    QObject::connect(&lookup, &DiscLookup::coverFailed, [&](const QString &why) { outcome = why; });
    if ((cover.isEmpty() ? lookup.start() : lookup.fetchCover(cover)) &&
        !QTest::qWaitFor([&] { return !outcome.isEmpty(); }, 20000))
        outcome = "no answer";
    return outcome;
}

template <typename T = QLineEdit> T *outlet(Ripper *rip, const char *name)
{
    return WindowDescription::outlet<T>(rip->window(), name);
}

// What the window names: the artist, album and year, and each track's row.
QString named(Ripper *rip)
{
    QStringList texts;
    for (const char *field : {"artistField", "albumField", "yearField"})
        texts << outlet(rip, field)->text();
    const QAbstractItemModel *model = outlet<QTableView>(rip, "trackList")->model();
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, 0).data().toString();
    return texts.join('|');
}

// Waits for the release chooser, then chooses `row` with Return, or dismisses it with Escape
// (-1); the countries it listed.
QString answerChooser(int row)
{
    ReleaseChooser *sheet = nullptr;
    if (!QTest::qWaitFor(
            [&] { return (sheet = qobject_cast<ReleaseChooser *>(QApplication::activeModalWidget())); },
            15000))
        return "no chooser";
    QStringList countries;
    for (int i = 0; i < sheet->table()->rowCount(); ++i)
        countries << sheet->table()->item(i, 3)->text();
    sheet->table()->selectRow(row);
    QTest::keyClick(sheet->table(), row >= 0 ? Qt::Key_Return : Qt::Key_Escape);
    return QTest::qWaitFor([] { return !QApplication::activeModalWidget(); }) ? countries.join(' ') : "open";
}
// Title, artist, album, year, genre and track number ("N/M", without leading zeros).
QStringList tags(const QString &mp3)
{
    QStringList texts;
    for (const char *id : {"TIT2", "TPE1", "TALB", "TDRC", "TCON", "TRCK"})
        texts << id3Frame(mp3, id);
    texts.last().replace(QRegularExpression("\\b0+(?=\\d)"), "");
    return texts;
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
    QString cue, point;
    int mounts = 0;
    QByteArray picture;
    std::unique_ptr<LocalHttpServer> server;
    // The disc the AccurateRip rips read, and each track's checksums by the published algorithm.
    QList<CueDisc::Track> arTracks{{"Eins", 75}, {"Zwei", 40}, {"Drei", 50}};
    QList<QByteArray> sums;
    // A disc of three audio tracks, whose AccurateRip entries the lookup is served.
    const AccurateRipDisc threeTracks =
        AccurateRipDisc::fromTableOfContents(CueDisc::toc({"0", "1000", "2500"}, 4000));

    // Mounts the image, in a folder of its own so that it keeps its name, and answers with the
    // window that opens.
    Ripper *mount(const QString &image)
    {
        point = CueDisc::mount(image, work.filePath("discs" + QString::number(++mounts)));
        if (point.isEmpty() || !QTest::qWaitFor([&] { return Ripper::mountPoints().contains(point); }, 15000))
            return nullptr;
        return *std::find_if(Ripper::allControllers().cbegin(), Ripper::allControllers().cend(),
                             [&](Ripper *rip) { return rip->mountPoint() == point; });
    }

    void unmount()
    {
        if (!point.isEmpty())
            CueDisc::unmount(point);
        point.clear();
    }

    // Rips into a clean music folder; the rip folder, and what the completion notice said beneath.
    static QString rip(Ripper *ripper, BatchFixture &fixture, QString *said = nullptr)
    {
        outlet<QPushButton>(ripper, "ripButton")->click();
        TestSheets::choose(TestSheets::waitForPanel(), fixture.cleanMusicFolder());
        QMessageBox *notice = TestSheets::waitForAlert(60000);
        const QString folder = ripper->ripFolder();
        if (notice && said)
            *said = notice->informativeText();
        const bool done = notice && notice->text() == "All tracks done." && TestSheets::click(notice, "OK");
        return done && BatchFixture::waitUntilEnded(ripper) ? folder : QString();
    }

    // Title, artist, album and year of an MP3, and whether it holds the cover.
    QString tagsAndCover(const QString &mp3) const
    {
        return tags(mp3).mid(0, 4).join('|') +
               (BatchFixture::contents(mp3).contains(picture) ? "|cover" : "");
    }

  private slots:
    void initTestCase()
    {
        QCoreApplication::installTranslator(&slashes);
        QList<CueDisc::Track> tracks{{"Eins", 75}, {"Zwei", 60}};
        cue = CueDisc::write(work.path(), "disc", "Live", tracks);
        QVERIFY(BatchFixture::writeFile(
            cue, BatchFixture::contents(cue).replace("TITLE \"Zwei\"\n",
                                                     "TITLE \"Up/Down\"\n    PERFORMER \"Guest\"\n")));
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(Qt::darkRed);
        QBuffer buffer(&picture);
        QVERIFY(image.save(&buffer, "JPG"));
        QVERIFY(!CueDisc::write(work.path(), "ar", "Live", arTracks).isEmpty());
        for (int i = 0; i < arTracks.size(); ++i)
            sums << accurateRipSums(arTracks[i].samples, i == 0, i == arTracks.size() - 1);
    }

    void init()
    {
        server = std::make_unique<LocalHttpServer>();
        QDir(DiscLookup::cacheFolder()).removeRecursively();
    }

    void cleanup()
    {
        QVERIFY(BatchFixture::closeEverything());
        unmount();
    }
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
        if (!AudioFiles::haveProgram("sox") || !AudioFiles::haveProgram("lame"))
            QSKIP("sox and lame are needed to make and encode the test disc");
        BatchFixture fixture(false);
        LamePrefs::preferences().setBool(disc.value(5) == "library", PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(disc.value(5) == "library", PrefKey::DiscPlaylists);
        Ripper *ripper = open(fixture, false, "Audio CD", {"One", "Two"});
        QVERIFY(ripper && outlet(ripper, "albumField")->text().isEmpty());
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
        outlet(ripper, "artistField")->setText(disc[0]);
        outlet(ripper, "albumField")->setText(disc[1]);
        QTest::keyClicks(outlet(ripper, "yearField"), disc[2]);
        outlet<QComboBox>(ripper, "genreField")->setEditText(disc[3]);
        if (!firstTitle.isNull()) {
            // The title belongs to the row it was typed for, also once another row is selected.
            outlet<QTableView>(ripper, "trackList")->selectRow(0);
            outlet(ripper, "titleField")->setText(firstTitle);
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
        if (!QFile::exists("/dev/fuse") || !AudioFiles::haveProgram("lame"))
            QSKIP("discs are mounted with FUSE and encoded with lame");
        QList<CueDisc::Track> tracks = {{"First", 100}, {"Second", 75}};
        const QString cue = CueDisc::write(work.path(), "keys", "Live Tapes", tracks);
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
        QCOMPARE(outlet(ripper, "albumField")->text(), "Live Tapes");
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

    void discIds_data()
    {
        QTest::addColumn<QVariantMap>("toc");
        QTest::addColumn<QString>("tocText"); // empty: no ID
        // The example disc of the calculation's documentation gives the documentation's ID here.
        QCOMPARE(discId("1 6 95462 150 15363 32314 46592 63414 80489"), "49HHV7Eb8UKF3aQiNmu1GR8vKTY-");
        QTest::newRow("six tracks") << CueDisc::toc({"0", "15213", "32164", "46442", "63264", "80339"}, 95312)
                                    << "1 6 95462 150 15363 32314 46592 63414 80489";
        // An Enhanced CD: the audio ends 11400 sectors before the data track starts.
        QTest::newRow("enhanced") << CueDisc::toc({"0", "20000", "60000:data"}, 90000)
                                  << "1 2 48750 150 20150";
        QTest::newRow("data only") << CueDisc::toc({"0:data"}, 9000) << QString();
        QTest::newRow("no start") << CueDisc::toc({"-1"}, 900) << QString();
    }

    void discIds()
    {
        QFETCH(QVariantMap, toc);
        QFETCH(QString, tocText);
        const MusicBrainzDiscId id = MusicBrainzDiscId::fromTableOfContents(toc);
        QCOMPARE(id.id() + '|' + id.toc(), (tocText.isEmpty() ? "" : discId(tocText)) + '|' + tocText);
        QCOMPARE(id.isValid(), !tocText.isEmpty());
    }

    void answers_data()
    {
        QTest::addColumn<QString>("cover"); // the release whose cover is fetched; empty: the disc
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<int>("tracks");
        QTest::addColumn<QString>("outcome");
        const QString one = "mb-1|Album|Artist|1999|GB|CD|Up/Down, Second";
        const QByteArray answer = discAnswer(kDisc, {kOne});
        const auto row = [](const char *name, const QList<Answer> &answers, const QString &outcome,
                            int tracks = 2, const char *cover = "") {
            QTest::newRow(name) << QString(cover) << answers << tracks << outcome;
        };
        row("busy, then an answer", {{503, "", {{"Retry-After", "1"}}}, {200, answer}}, "found " + one);
        row("not found", {{404, "{\"error\": \"Not Found\"}"}}, "not found");
        row("no release", {{200, "{\"releases\": []}"}}, "not found");
        row("fewer tracks than the disc", {{200, answer}},
            "failed: the release found has 2 tracks, the disc 3", 3);
        row("malformed", {{200, answer.left(answer.size() / 2)}}, "failed: the answer is not JSON");
        row("wrong shape", {{200, "{\"releases\": {\"id\": 1}}"}}, "failed: the answer lists no releases");
        row("50 MB", {{200, QByteArray(50 << 20, ' ')}}, "failed: the answer is far too large");
        row("50 MB without a length", {{200, QByteArray(50 << 20, ' '), {}, false, true}},
            "failed: the answer is far too large");
        row("server error", {{500, "oops"}}, "failed: the server answered 500");
        row("redirected", {{302, "", {{"Location", kQuery.toUtf8()}}}},
            "failed: the server sent the request elsewhere");
        row("slow", {{200, answer, {}, true}}, "failed: the server did not answer in time");
        row("cover not a picture", {{200, "<html>no</html>"}}, "the cover is not a picture", 2, "mb-1");
        row("no cover", {{404, ""}}, "the release has no front cover", 2, "mb-1");
        row("cover redirected in a circle", {{307, "", {{"Location", "/release/mb-1/front-500"}}}},
            "the server sent the request elsewhere", 2, "mb-1");
    }

    void answers()
    {
        QFETCH(QString, cover);
        QFETCH(QList<Answer>, answers);
        QFETCH(int, tracks);
        QFETCH(QString, outcome);
        // Each lookup meets a cache file that does not read: it asks all the same.
        QVERIFY(QDir().mkpath(QFileInfo(kCache).path()) && QFile(kCache).open(QIODevice::WriteOnly));
        server->answer(cover.isEmpty() ? kPath : "/release/" + cover + "/front-500", answers);
        QCOMPARE(lookUp(*server, tracks, true, cover), outcome);
        // The service's rules: who asks, what is asked for, and a second apart at least.
        const QList<LocalHttpServer::Request> requests = server->requests();
        QCOMPARE(requests.size(), cover.isEmpty() ? answers.size() : requests.size());
        for (int i = 0; i < requests.size() && cover.isEmpty(); ++i) {
            QVERIFY2(requests[i].userAgent.startsWith("Orvik/0."), requests[i].userAgent);
            QCOMPARE(requests[i].target, kQuery);
            QVERIFY(i == 0 || requests[i].at - requests[i - 1].at >= 500);
        }
        // Only a good answer is kept, and names the disc offline.
        QCOMPARE(lookUp(*server, tracks, false), outcome.startsWith("found") ? outcome : QString());
    }

    void twoWindowsAtOnce()
    {
        // The second request waits for its second.
        const QString other = "aUp1F2NkfP8s8jaeFn_Av3jNEI4-";
        server->answer(kPath, {{200, discAnswer(kDisc, {kOne})}});
        server->answer("/ws/2/discid/" + other, {{200, discAnswer(other, {kOne})}});
        DiscLookup second({other, 2, true, server->address(), server->address()});
        QSignalSpy secondFound(&second, &DiscLookup::found);
        QVERIFY(second.start());
        QVERIFY(lookUp(*server, 2).startsWith("found"));
        QTRY_COMPARE_WITH_TIMEOUT(secondFound.size(), 1, 20000);
        QCOMPARE(server->requests().size(), 2);
        QVERIFY(server->requests().at(1).at - server->requests().at(0).at >= 500);
    }

    // A user's session with one disc: CD-TEXT names it in full, and the service, not knowing it,
    // offers a link to add it. Later the service knows two releases, and answers after the user
    // typed: the offer dismissed, the lookup line's link makes it again; the chosen release and its
    // cover name the rip. With the lookup off, the cache alone names the disc; without the cache
    // and the server the window says the lookup failed and works as before.
    void ripSession()
    {
        if (!AudioFiles::haveProgram("lame"))
            QSKIP("lame is needed to encode the test disc");
        BatchFixture fixture(false);
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(true, PrefKey::LookUpDiscsOnline);
        // An address ending in a slash: the requests and the link to add a disc do not double it.
        for (const QString &key : {PrefKey::MusicBrainzServer, PrefKey::CoverArtServer})
            LamePrefs::preferences().setObject(server->address() + "/", key);
        Ripper *ripper = mount(cue);
        if (!ripper)
            QSKIP("FUSE cannot mount here (no /dev/fuse or no permission to mount)");
        // The image's disc ID: its tracks of 75 and 60 sectors, two seconds in.
        const QString disc = discId("1 2 285 150 225");
        QTRY_VERIFY_WITH_TIMEOUT(outlet<QLabel>(ripper, "lookupLine")
                                     ->text()
                                     .contains(server->address() + "/cdtoc/attach?id=" + disc +
                                               "&amp;tracks=2&amp;toc=1+2+285+150+225"),
                                 15000);
        QCOMPARE(named(ripper), "The Band|Live||01: Eins|02: Up/Down");
        QString folder = rip(ripper, fixture);
        QCOMPARE(tagsAndCover(folder + "/01. Eins.mp3"), "Eins|The Band|Live|");
        QCOMPARE(tagsAndCover(folder + "/02. Up_Down.mp3"), "Up/Down|Guest|Live|");

        const QList<Release> releases{
            {"mb-1", "First", "One", "1990", "GB", {"A", "B"}},
            {"mb-2", "Second", "Artist", "1999-05-01", "US", {"Drei", "Vier\x01"}, {"Artist", "Gast"}}};
        server->answer("/ws/2/discid/" + disc, {{200, discAnswer(disc, releases), {}, true}});
        server->answer("/release/mb-2/front-500", {{307, "", {{"Location", "/img/front.jpg"}}}});
        server->answer("/img/front.jpg", {{200, picture}});
        const auto remount = [&] {
            const bool closed = BatchFixture::closeEverything();
            unmount();
            return closed && (ripper = mount(cue));
        };
        QVERIFY(remount());
        QTRY_COMPARE_WITH_TIMEOUT(server->requests().size(), 2, 15000);
        QTest::keyClicks(outlet(ripper, "yearField"), "2024");
        outlet<QTableView>(ripper, "trackList")->selectRow(0);
        outlet(ripper, "titleField")->selectAll();
        QTest::keyClicks(outlet(ripper, "titleField"), "Typed");
        outlet<QTableView>(ripper, "trackList")->selectRow(1);
        server->release();
        QCOMPARE(answerChooser(-1), "GB US");
        QCOMPARE(named(ripper), "The Band|Live|2024|01: Typed|02: Up/Down");
        auto *line = outlet<QLabel>(ripper, "lookupLine");
        ripper->window()->activateWindow();
        QVERIFY(TestSheets::waitForKeyboard(ripper->window()));
        line->setFocus(Qt::TabFocusReason);
        QTest::keyClick(line, Qt::Key_Tab);
        QTest::keyClick(line, Qt::Key_Return);
        QCOMPARE(answerChooser(1), "GB US");
        // What the user typed before the answer came stays.
        QCOMPARE(named(ripper) + '|' + outlet(ripper, "titleField")->text(),
                 "Artist|Second|2024|01: Typed|02: Vier|Vier");
        QTRY_VERIFY_WITH_TIMEOUT(!outlet<QLabel>(ripper, "coverView")->pixmap().isNull(), 15000);
        folder = rip(ripper, fixture);
        QCOMPARE(QFileInfo(folder).fileName(), "Artist - Second");
        QCOMPARE(BatchFixture::contents(folder + "/cover.jpg"), picture);
        QCOMPARE(tagsAndCover(folder + "/01. Typed.mp3"), "Typed|Artist|Second|2024|cover");
        QCOMPARE(tagsAndCover(folder + "/02. Vier.mp3"), "Vier|Gast|Second|2024|cover");

        const qsizetype asked = server->requests().size();
        LamePrefs::preferences().setBool(false, PrefKey::LookUpDiscsOnline);
        QVERIFY(remount());
        QCOMPARE(answerChooser(1), "GB US");
        QCOMPARE(named(ripper), "Artist|Second|1999|01: Drei|02: Vier");
        QTRY_VERIFY_WITH_TIMEOUT(!outlet<QLabel>(ripper, "coverView")->pixmap().isNull(), 15000);
        QCOMPARE(server->requests().size(), asked);

        LamePrefs::preferences().setBool(true, PrefKey::LookUpDiscsOnline);
        QDir(DiscLookup::cacheFolder()).removeRecursively();
        server.reset();
        QVERIFY(remount());
        QTRY_VERIFY_WITH_TIMEOUT(
            outlet<QLabel>(ripper, "lookupLine")->text().startsWith("The disc lookup failed"), 15000);
        QCOMPARE(named(ripper), "The Band|Live||01: Eins|02: Up/Down");
    }
    void accurateRipChecksums_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("offset"); // the correction the volume must apply
        // Without options the tracks are read out of order, one block only or backwards (whole
        // tracks read in order are summed by the rips below); with them, whole and compared.
        QTest::newRow("read out of order") << QStringList() << 0;
        QTest::newRow("image keeps its samples") << QStringList{"--read-offset", "30"} << 0;
        QTest::newRow("drive reads late") << QStringList{"--image-as-drive", "--read-offset", "30"} << 30;
        QTest::newRow("drive reads early")
            << QStringList{"--image-as-drive", "--read-offset", "-700"} << -700;
    }

    void accurateRipChecksums()
    {
        QFETCH(QStringList, options);
        QFETCH(int, offset);
        // A disc of three tracks (its first, a middle and its last) and a disc of one, of random samples.
        for (const QList<int> &lengths : {QList<int>{160, 90, 100}, QList<int>{80}}) {
            QRandomGenerator random(quint32(lengths.size()));
            QList<CueDisc::Track> tracks;
            QByteArray disc;
            for (int sectors : lengths) {
                QByteArray samples(sectors * 2352, '\0');
                random.fillRange(reinterpret_cast<quint32 *>(samples.data()), samples.size() / 4);
                tracks.append({QByteArray(), sectors, false, samples});
                disc += samples;
            }
            const QString point = CueDisc::mount(
                CueDisc::write(work.path(), QString("sums%1").arg(lengths.size()), "AR", tracks),
                work.filePath("sums"), nullptr, options);
            if (point.isEmpty())
                QSKIP("FUSE cannot mount here (no /dev/fuse or no permission to mount)");
            const auto unmount = qScopeGuard([&] { CueDisc::unmount(point); });
            QCOMPARE(CueDisc::attribute(point, "user.orvik.read-offset"), QByteArray::number(offset));
            qint64 start = 0;
            for (int i = 0; i < lengths.size(); ++i) {
                const QString file = QString("%1/%2 Audio Track.aiff").arg(point).arg(i + 1);
                const qint64 bytes = lengths[i] * 2352;
                // What a drive with this offset reads: silence beyond the disc's ends.
                QByteArray expected(bytes, '\0');
                const qint64 from = start + offset * 4;
                const qint64 begin = qMax<qint64>(from, 0), end = qMin<qint64>(from + bytes, disc.size());
                expected.replace(begin - from, end - begin, disc.mid(begin, end - begin));
                start += bytes;
                if (!options.isEmpty()) {
                    QByteArray read = readWholeFile(file).mid(54);
                    qFromBigEndian<qint16>(read.constData(), read.size() / 2, read.data());
                    QVERIFY2(read == expected, qPrintable(file));
                } else if (i % 2 == 0) {
                    QCOMPARE(CueDisc::readDirect(file, 54 + 2352 * 75 + 4096, 4096).size(), 4096);
                } else {
                    for (qint64 at = bytes - 4096; at > -4096; at -= 4096)
                        QCOMPARE(CueDisc::readDirect(file, 54 + qMax<qint64>(at, 0), 4096).size(), 4096);
                }
                QCOMPARE(CueDisc::attribute(file, "user.orvik.accuraterip"),
                         accurateRipSums(expected, i == 0, i == lengths.size() - 1));
            }
        }
    }

    // Discs whose AccurateRip IDs the database's own ripper gives, as published with their tables
    // of contents.
    void accurateRipIds_data()
    {
        QTest::addColumn<QVariantMap>("toc");
        QTest::addColumn<QString>("ids");
        QTest::newRow("audio, then data (Enhanced CD)")
            << CueDisc::toc({"0", "12617", "40337", "63075", "93260", "117965", "151715", "184190", "215110",
                             "247305", "281585:data"},
                            333651)
            << "010-00164419-00b9f6e2-9e11600b";
        QStringList mixed{"0:data"};
        for (int lba : {66728,  76502,  85963,  93760,  104048, 116066, 124743, 134206, 142916, 151852,
                        160720, 169425, 178731, 188459, 196711, 206354, 214845, 223686, 225746, 226384,
                        232668, 239447, 239931, 244989, 254264, 260066, 261222, 261674})
            mixed << QString::number(lba - 150);
        QTest::newRow("data, then audio (mixed mode)")
            << CueDisc::toc(mixed, 261976 - 150) << "028-00517a54-05a845d2-af0da31d";
    }

    void accurateRipIds()
    {
        QFETCH(QVariantMap, toc);
        QFETCH(QString, ids);
        const AccurateRipDisc disc = AccurateRipDisc::fromTableOfContents(toc);
        QCOMPARE(disc.idText(), ids);
        // The entry's folders are the last three hexadecimal digits of the first ID, backwards.
        QCOMPARE(disc.entryPath(),
                 QString("/accuraterip/%1/%2/%3/dBAR-%4.bin").arg(ids[11], ids[10], ids[9], ids));
    }

    // AccurateRip entries the database refuses; those that match, do not match or are missing are
    // answered to the rips below.
    void accurateRipLookup_data()
    {
        const QList<Pressing::Track> all{{7, 0x1111}, {9, 0x2222}, {4, 0x3333}};
        const QByteArray whole = accurateRipBlock(threeTracks, all);
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<QString>("outcome");
        const auto row = [](const char *name, const QList<Answer> &answers, const QString &why) {
            QTest::newRow(name) << answers << "failed: " + why;
        };
        row("empty", {{200, ""}}, "the database's answer is empty");
        row("cut short", {{200, whole + whole.chopped(3)}}, "the database's answer is cut short");
        row("other track count", {{200, accurateRipBlock(threeTracks, all.mid(1))}},
            "the database's answer does not fit the disc's tracks");
        row("other disc", {{200, whole + accurateRipBlock(threeTracks, all, 1)}},
            "the database answered for another disc");
        row("server error", {{500, "oops"}}, "the AccurateRip database answered 500");
        row("far too large", {{200, QByteArray(2 << 20, ' ')}}, "the answer is far too large");
        row("slow", {{200, whole, {}, true}}, "the AccurateRip database did not answer in time");
        row("down", {}, "the AccurateRip database cannot be reached");
    }

    void accurateRipLookup()
    {
        QFETCH(QList<Answer>, answers);
        QFETCH(QString, outcome);
        server->answer(threeTracks.entryPath(), answers);
        AccurateRipLookup lookup(threeTracks, answers.isEmpty() ? "http://127.0.0.1:9" : server->address());
        QString ended;
        connect(&lookup, &AccurateRipLookup::found, [&] { ended = "found"; });
        connect(&lookup, &AccurateRipLookup::notFound, [&] { ended = "not found"; });
        connect(&lookup, &AccurateRipLookup::failed, [&](const QString &why) { ended = "failed: " + why; });
        lookup.start();
        QTRY_VERIFY_WITH_TIMEOUT(!ended.isEmpty(), 20000);
        QVERIFY2(ended.startsWith(outcome), qPrintable(ended));
        for (const LocalHttpServer::Request &request : server->requests())
            QVERIFY2(request.userAgent.startsWith("Orvik/0."), request.userAgent);
    }

    void accurateRipRip_data()
    {
        QTest::addColumn<int>("altered"); // the track whose checksum the entry gets wrong; -1: none
        QTest::addColumn<int>("cut");     // sectors the image loses at its end
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line");
        QTest::newRow("accurate") << -1 << 0 << 200
                                  << "all 3 tracks accurately ripped (lowest confidence 3).";
        QTest::newRow("one does not match")
            << 1 << 0 << 200
            << "2 of 3 tracks accurate; track 02 does not match. Rip again, or clean the disc.";
        QTest::newRow("not in the database") << -1 << 0 << 404 << "the disc is not in the database.";
        QTest::newRow("database fails")
            << -1 << 0 << 500 << "the rip could not be checked (the AccurateRip database answered 500).";
        // The last track fails, its unreadable sectors logged; it is not checked.
        QTest::newRow("last track cut short")
            << -1 << 30 << 200
            << "2 of 3 tracks accurately ripped (lowest confidence 3); the others could not be checked.";
    }

    void accurateRipRip()
    {
        QFETCH(int, altered);
        QFETCH(int, cut);
        QFETCH(int, status);
        QFETCH(QString, line);
        if (!AudioFiles::haveProgram("lame"))
            QSKIP("lame is needed to encode the disc");
        BatchFixture fixture(false);
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(true, PrefKey::LookUpDiscsOnline);
        for (const QString &key :
             {PrefKey::MusicBrainzServer, PrefKey::CoverArtServer, PrefKey::AccurateRipServer})
            LamePrefs::preferences().setObject(server->address(), key);
        Ripper *ripper = mount(work.filePath("ar.cue"));
        if (!ripper)
            QSKIP("FUSE cannot mount here (no /dev/fuse or no permission to mount)");
        QFile bin(work.filePath("ar.bin"));
        const QByteArray whole = BatchFixture::contents(bin.fileName());
        QVERIFY(bin.resize(whole.size() - cut * 2352));
        const auto restore = qScopeGuard([&] { BatchFixture::writeFile(bin.fileName(), whole); });
        const AccurateRipDisc disc =
            AccurateRipDisc::fromTableOfContents(PropertyList::fromFile(point + "/.TOC.plist").toMap());
        // Two pressings, one with the tracks' v1 sums, one with their v2 sums; a track takes the best
        // confidence of those it matches.
        QByteArray entry;
        for (const auto &[from, confidence] : {std::pair(0, QList<int>{12, 3, 7}), {9, {20, 1, 1}}}) {
            QList<Pressing::Track> pressing;
            for (int i = 0; i < arTracks.size(); ++i)
                pressing.append(
                    {confidence[i], sums[i].mid(from, 8).toUInt(nullptr, 16) ^ (i == altered ? 1 : 0)});
            entry += accurateRipBlock(disc, pressing);
        }
        server->answer(disc.entryPath(), {{status, status == 200 ? entry : QByteArray("Not Found")}});
        QString said;
        const QString folder = rip(ripper, fixture, &said);
        QCOMPARE(said.section("\n\n", 1), "AccurateRip: " + line);
        // Every track is kept, matching or not; the log says what each got.
        const QString log = QString::fromUtf8(BatchFixture::contents(folder + "/rip.log"));
        QVERIFY2(log.contains("AccurateRip ID:  " + disc.idText()), qPrintable(log));
        // The first track's command, quoted as the command log quotes it.
        QVERIFY2(log.contains(QRegularExpression("\nCommand line: +lame .* '[^'\n]*/01\\. Eins\\.mp3'\n")),
                 qPrintable(log));
        const QStringList names{"01. Eins.mp3", "02. Zwei.mp3", "03. Drei.mp3"};
        QCOMPARE(QDir(folder).entryList({"*.mp3"}, QDir::Files, QDir::Name), names.mid(0, cut ? 2 : 3));
        for (int i = 0; i < arTracks.size(); ++i) {
            const bool lost = cut && i == 2;
            const QString result = lost || status == 500 ? "not checked"
                                   : status == 404       ? "not in database"
                                   : i == altered
                                       ? "not accurate"
                                       : QString("accurate (confidence %1)").arg(QList{20, 3, 7}[i]);
            const QString expected =
                QString("%1\n  unreadable sectors: %2  AccurateRip v1: %3  v2: %4  %5\n")
                    .arg(names[i], QString::number(lost ? cut : 0), lost ? "-" : sums[i].left(8),
                         lost ? "-" : sums[i].mid(9), result);
            QVERIFY2(log.contains(expected), qPrintable(log));
        }
    }
};

QTEST_MAIN(TestRipper)
#include "tst_ripper.moc"
