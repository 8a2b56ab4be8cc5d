#include "support/AudioFiles.h"
#include "support/TunesSupport.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <taglib/fileref.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>

// Batches encoded by the real encoder from start to finish: MP3 files that decode to the
// inputs' length, with the tags typed in the tags panel written by the encoder or by the music
// library, a playlist of the run when the library takes the files, and every input that cannot
// be encoded failed, said in the log and counted.
class tst_BatchEncode : public QObject
{
    Q_OBJECT

    std::unique_ptr<BatchFixture> fixture;
    QTemporaryDir inputs;
    QString music;

    QString log() const { return fixture->master().commandLog()->text(); }

    // Encodes and answers the completion sheet, which must say `message`; the list marks every
    // file done.
    void encodeAndAnswer(BatchEncoder *batch, const QString &message)
    {
        BatchFixture::encode(batch);
        QMessageBox *alert = TestSheets::waitForAlert(120000);
        QVERIFY(alert);
        QCOMPARE(alert->informativeText(), message);
        const QAbstractItemModel *list = batch->window()->findChild<QTableView *>("fileList")->model();
        for (int row = 0; row < list->rowCount(); ++row)
            QCOMPARE(list->index(row, list->columnCount() - 1).data().toString(), QString("Done"));
        QVERIFY(TestSheets::click(alert, "OK"));
        QVERIFY(BatchFixture::waitUntilEnded(batch));
    }

  private slots:
    void initTestCase()
    {
        if (!AudioFiles::haveProgram("lame") || !AudioFiles::haveProgram("sox"))
            QFAIL("the tests need lame and sox installed (./test.sh installs them)");
        fixture = std::make_unique<BatchFixture>(false);
    }

    void init()
    {
        music = fixture->cleanMusicFolder();
        fixture->master().clearLog();
    }

    void cleanupTestCase() { fixture.reset(); }

    // Two files tagged in the tags panel, "Alpha" and "Zeta" by title, in list order a.wav, b.wav,
    // encoded two at once: a.wav takes longest, so b.wav ends first, yet the playlist keeps list order.
    void tagged_data()
    {
        QTest::addColumn<QString>("library"); // off, on, or the factory settings
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("listed"); // the playlist's entries
        QTest::addColumn<QString>("logged");
        QTest::newRow("the encoder writes the tags")
            << "off"
            << "2 files encoded into ~/Music." << QStringList() << "--tt 'Alpha \"quoted\" $HOME'";
        QTest::newRow("the library writes them and lists the files")
            << "on"
            << "2 files encoded into ~/Music." << QStringList{"a.mp3", "b.mp3"} << "a.mp3";
        // A playlist that cannot be made costs the files their entry, never their tags.
        QTest::newRow("factory settings, the playlist cannot be made")
            << "factory"
            << "2 files encoded into ~/Music.\n\nThe music library could not take 2 files whole (playlist "
               "entry or tags). "
               "The command log shows why."
            << QStringList() << "The music library could not make a playlist: ";
    }

    void tagged()
    {
        QFETCH(QString, library);
        QFETCH(QString, message);
        QFETCH(QStringList, listed);
        QFETCH(QString, logged);
        SettingsStore &settings = LamePrefs::preferences();
        settings.removeObjectForKey(PrefKey::ITunesIntegration);
        settings.removeObjectForKey(PrefKey::BatchPlaylists);
        settings.setInteger(2, PrefKey::EncodersAtOnce);
        const auto restore = qScopeGuard([&] { settings.removeObjectForKey(PrefKey::EncodersAtOnce); });
        if (library != "factory") {
            settings.setBool(library == "on", PrefKey::ITunesIntegration);
            settings.setBool(true, PrefKey::BatchPlaylists);
        } else {
            QVERIFY(BatchFixture::writeFile(music + "/Playlists", "a file where the folder belongs"));
        }
        const QList<std::pair<QString, double>> lengths{{"a", 3.0}, {"b", 1.0}};
        for (const auto &[name, seconds] : lengths)
            QVERIFY(QFileInfo::exists(inputs.filePath(name + ".wav")) ||
                    AudioFiles::makeSine(inputs.filePath(name + ".wav"), seconds));
        BatchEncoder *batch = fixture->batchWith({inputs.filePath("b.wav"), inputs.filePath("a.wav")});
        auto *list = batch->window()->findChild<QTableView *>("fileList");
        list->selectRow(0);
        BatchFixture::button(batch, "tagsButton")->click();
        auto *title = batch->tagsWindow()->findChild<QLineEdit *>("titleField");
        QTest::keyClicks(title, "Alpha \"quoted\" $HOME");
        batch->tagsWindow()->findChild<QLineEdit *>("artistField")->setText("Ünïcode Artist");
        list->selectRow(1);
        QTest::keyClicks(title, "Zeta");
        encodeAndAnswer(batch, message);

        for (const auto &[name, seconds] : lengths)
            QVERIFY2(qAbs(AudioFiles::decodedSeconds(music + '/' + name + ".mp3") - seconds) < 0.1,
                     qPrintable(name));
        const auto tag = [](const QString &mp3, TagLib::String (TagLib::Tag::*field)() const) {
            TagLib::MPEG::File file(QFile::encodeName(mp3).constData());
            return file.isValid() && file.tag() ? QString::fromStdString((file.tag()->*field)().to8Bit(true))
                                                : QString();
        };
        QCOMPARE(tag(music + "/a.mp3", &TagLib::Tag::title), QString("Alpha \"quoted\" $HOME"));
        QCOMPARE(tag(music + "/a.mp3", &TagLib::Tag::artist), QString("Ünïcode Artist"));
        QCOMPARE(tag(music + "/b.mp3", &TagLib::Tag::title), QString("Zeta"));
        QStringList entries;
        for (const QByteArray &line :
             BatchFixture::contents(music + "/Playlists/Untitled Playlist.m3u8").split('\n'))
            if (!line.isEmpty() && !line.startsWith('#'))
                entries << QFileInfo(QString::fromUtf8(line).trimmed()).fileName();
        QCOMPARE(entries, listed);
        QVERIFY(log().contains(logged));
        // With the library on, the encoder is given no tags.
        QCOMPARE(log().contains("--tt"), library == "off");
    }

    // Tags too long for a command line (a title of 200 KB, an album of 6000 bytes) reach the MP3
    // whole, beside the tags that go to the encoder.
    void longTags()
    {
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        const QString path = inputs.filePath("long tags.wav");
        QVERIFY(AudioFiles::makeSine(path, 1.0));
        const QString title = "Ti\u00f6tle " + QString(200000, u'x'), album = QString(3000, u'\u00e9');
        {
            TagLib::FileRef file(QFile::encodeName(path).constData());
            QVERIFY(file.tag());
            for (const auto &[set, text] : {std::pair{&TagLib::Tag::setTitle, title},
                                            {&TagLib::Tag::setAlbum, album},
                                            {&TagLib::Tag::setArtist, QString("Artist")}})
                (file.tag()->*set)(TagLib::String(text.toStdString(), TagLib::String::UTF8));
            QVERIFY(file.save());
        }
        encodeAndAnswer(fixture->batchWith({path}), "1 file encoded into ~/Music.");
        const QString mp3 = music + "/long tags.mp3";
        QCOMPARE(id3Frame(mp3, "TIT2"), title);
        QCOMPARE(id3Frame(mp3, "TALB"), album);
        QCOMPARE(id3Frame(mp3, "TPE1"), QString("Artist"));
        QVERIFY(qAbs(AudioFiles::decodedSeconds(mp3) - 1.0) < 0.1);
        QVERIFY(log().contains("--ta Artist") && !log().contains(album));
    }
};

QTEST_MAIN(tst_BatchEncode)
#include "tst_batchencode.moc"
