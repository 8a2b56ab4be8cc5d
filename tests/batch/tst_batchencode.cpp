#include "support/AudioFiles.h"
#include "support/SmallVolume.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <sys/stat.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

namespace {
QString titleOf(const QString &mp3)
{
    TagLib::MPEG::File file(QFile::encodeName(mp3).constData());
    return file.isValid() && file.tag() ? QString::fromStdString(file.tag()->title().to8Bit(true))
                                        : QString();
}

QString artistOf(const QString &mp3)
{
    TagLib::MPEG::File file(QFile::encodeName(mp3).constData());
    return file.isValid() && file.tag() ? QString::fromStdString(file.tag()->artist().to8Bit(true))
                                        : QString();
}
} // namespace

// Batches encoded by the real encoder from start to finish: MP3 files that decode to the
// inputs' length, with the tags typed in the tags panel written by the encoder or by the music
// library, and a playlist of the run when the library takes the files.
class tst_BatchEncode : public QObject
{
    Q_OBJECT

    std::unique_ptr<BatchFixture> fixture;
    QTemporaryDir inputs;
    QString music;

    // A batch of two generated WAV files, "Zeta" and "Alpha" by title, in list order a.wav, b.wav.
    BatchEncoder *taggedBatch()
    {
        for (const char *name : {"b.wav", "a.wav"})
            if (!QFileInfo::exists(inputs.filePath(name)) &&
                !AudioFiles::makeSine(inputs.filePath(name), 1.0))
                return nullptr;
        BatchEncoder *batch = fixture->batchWith({inputs.filePath("b.wav"), inputs.filePath("a.wav")});
        auto *list = batch->window()->findChild<QTableView *>("fileList");
        list->selectRow(0);
        BatchFixture::button(batch, "tagsButton")->click();
        auto *title = batch->tagsWindow()->findChild<QLineEdit *>("titleField");
        auto *artist = batch->tagsWindow()->findChild<QLineEdit *>("artistField");
        QTest::keyClicks(title, "Alpha \"quoted\" $HOME");
        artist->setText("Ünïcode Artist");
        list->selectRow(1);
        QTest::keyClicks(title, "Zeta");
        return batch;
    }

    // Encodes and answers the completion sheet, which must say `message`.
    void encodeAndAnswer(BatchEncoder *batch, const QString &message)
    {
        BatchFixture::encode(batch);
        QMessageBox *alert = TestSheets::waitForAlert(120000);
        QVERIFY(alert);
        QCOMPARE(alert->informativeText(), message);
        QVERIFY(TestSheets::click(alert, "OK"));
        QVERIFY(BatchFixture::waitUntilEnded(batch));
    }
    const QString oneFailed =
        QStringLiteral("Batch complete.\n\n1 of 1 files could not be encoded. The command log shows why.");

    // Encodes the tagged batch and checks both files and their tags.
    void encodeAndFinish(BatchEncoder *batch, const QString &message = "Batch complete.")
    {
        encodeAndAnswer(batch, message);
        for (const char *name : {"a.mp3", "b.mp3"}) {
            const double seconds = AudioFiles::decodedSeconds(music + '/' + name);
            QVERIFY2(qAbs(seconds - 1.0) < 0.1, name);
        }
        QCOMPARE(titleOf(music + "/a.mp3"), QString("Alpha \"quoted\" $HOME"));
        QCOMPARE(artistOf(music + "/a.mp3"), QString("Ünïcode Artist"));
        QCOMPARE(titleOf(music + "/b.mp3"), QString("Zeta"));
    }

  private slots:
    void initTestCase()
    {
        if (!AudioFiles::haveProgram("lame") || !AudioFiles::haveProgram("sox"))
            QFAIL("the tests need lame and sox installed (./test.sh installs them)");
        fixture = std::make_unique<BatchFixture>(false);
    }

    void init() { music = fixture->cleanMusicFolder(); }

    void cleanupTestCase() { fixture.reset(); }

    void encoderWritesTheTagsWithoutTheLibrary()
    {
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        BatchEncoder *batch = taggedBatch();
        QVERIFY(batch);
        encodeAndFinish(batch);
        QVERIFY(!QDir(music + "/Playlists").exists());
        // The command line stands in the log, its arguments quoted as a shell would need them.
        const QString log = fixture->master().commandLog()->text();
        QVERIFY(log.contains("--tt 'Alpha \"quoted\" $HOME'"));
        QVERIFY(log.contains("LAME"));
    }

    // Inputs the encoder would turn into noise, into nothing, or hang on: each fails, says why in
    // the log, leaves no MP3 and is counted on the completion sheet.
    void badInputFails_data()
    {
        // The row's name says what stands at the input's path when its turn comes.
        QTest::addColumn<QString>("reason");
        QTest::newRow("text") << "not a WAV file";
        QTest::newRow("empty") << "empty file";
        QTest::newRow("no samples") << "empty file";
        QTest::newRow("folder") << "is a folder";
        QTest::newRow("fifo") << "not a regular file";
        QTest::newRow("deleted") << "does not exist";
        QTest::newRow("truncated") << "damaged or cut short";
    }

    void badInputFails()
    {
        const QString kind = QTest::currentDataTag();
        QFETCH(QString, reason);
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        fixture->master().clearLog();
        const QString path = inputs.filePath(kind + ".wav");
        QFile file(path);
        if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == "no samples") // a header whose data chunk holds nothing
            QVERIFY(file.open(QIODevice::WriteOnly) &&
                    file.write(QByteArray::fromHex("524946462400000057415645666d74201000000001000200"
                                                   "44ac000010b10200040010006461746100000000")) == 44);
        else if (kind == "truncated")
            QVERIFY(AudioFiles::makeSine(path, 2.0) && file.resize(file.size() / 2));
        else
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(kind == "empty" ? "" : "not audio\n") >= 0);
        file.close();
        BatchEncoder *batch = fixture->batchWith({path});
        QCOMPARE(batch->taskRecords().size(), 1);
        if (kind == "folder" || kind == "deleted")
            QVERIFY(QFile::remove(path) && (kind == "deleted" || QDir().mkdir(path)));
        encodeAndAnswer(batch, oneFailed);
        QVERIFY2(fixture->master().commandLog()->text().contains(reason), qPrintable(reason));
        QCOMPARE(QDir(music).entryList(QDir::Files), QStringList());
    }

    void libraryTagsTheFilesAndListsThemInAPlaylist()
    {
        LamePrefs::preferences().setBool(true, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(true, PrefKey::BatchPlaylists);
        fixture->master().clearLog();
        BatchEncoder *batch = taggedBatch();
        QVERIFY(batch);
        encodeAndFinish(batch);
        QFile playlist(music + "/Playlists/Untitled Playlist.m3u8");
        QVERIFY(playlist.open(QIODevice::ReadOnly));
        QStringList entries;
        for (const QByteArray &line : playlist.readAll().split('\n'))
            if (!line.isEmpty() && !line.startsWith('#'))
                entries << QString::fromUtf8(line).trimmed();
        QCOMPARE(entries.size(), 2);
        QVERIFY(entries.at(0).endsWith("a.mp3"));
        QVERIFY(entries.at(1).endsWith("b.mp3"));
        // The encoder was given no tags: it is the library that wrote them.
        const QString log = fixture->master().commandLog()->text();
        QVERIFY(log.contains("a.mp3"));
        QVERIFY(!log.contains("--tt"));
    }

    // The factory settings: the library takes the files, a playlist per batch. A playlist that
    // cannot be made costs the files their entry, never their tags, and is said and counted.
    void unmadePlaylistStillTagsTheFiles()
    {
        LamePrefs::preferences().removeObjectForKey(PrefKey::ITunesIntegration);
        LamePrefs::preferences().removeObjectForKey(PrefKey::BatchPlaylists);
        QFile blocker(music + "/Playlists");
        QVERIFY(blocker.open(QIODevice::WriteOnly) && blocker.write("a file where the folder belongs") > 0);
        blocker.close();
        fixture->master().clearLog();
        BatchEncoder *batch = taggedBatch();
        QVERIFY(batch);
        encodeAndFinish(batch, "Batch complete.\n\nThe music library could not take 2 files whole (playlist "
                               "entry or tags). The command log shows why.");
        QVERIFY(
            fixture->master().commandLog()->text().contains("The music library could not make a playlist: "));
    }

    // lame says nothing when the disk fills; the log says it, and the file counts as failed.
    void fullDestinationIsSaid()
    {
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        QVERIFY(AudioFiles::makeSine(inputs.filePath("long.wav"), 5.0));
        const SmallVolume volume(music, 16);
        if (!volume.isMounted())
            QSKIP(qPrintable(volume.reason()));
        fixture->master().clearLog();
        BatchEncoder *batch = fixture->batchWith({inputs.filePath("long.wav")});
        encodeAndAnswer(batch, oneFailed);
        QVERIFY(fixture->master().commandLog()->text().contains(
            "Cannot encode \"long.wav\": the encoder ended with status 1: the destination is full."));
        QVERIFY(!QFileInfo::exists(music + "/long.mp3"));
    }
};

QTEST_MAIN(tst_BatchEncode)
#include "tst_batchencode.moc"
