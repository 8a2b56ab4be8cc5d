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
#include <taglib/tag.h>

// Batches encoded by the real encoder from start to finish: MP3 files that decode to the
// inputs' length, with the tags typed in the tags panel written by the encoder or by the music
// library, and a playlist of the run when the library takes the files.
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
        QCOMPARE(alert ? alert->informativeText() : "no completion sheet", message);
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
    // encoded two at once: a.wav takes longest, so b.wav ends first, yet the playlist keeps list
    // order. c.wav carries tags of its own too long for a command line (a title of 200 KB, an
    // album of 6000 bytes): they reach the MP3 whole, beside the tags that go to the encoder.
    void tagged_data()
    {
        QTest::addColumn<QString>("library"); // off, on, or the factory settings
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("listed"); // the playlist's entries
        QTest::addColumn<QString>("logged");
        QTest::newRow("the encoder writes the tags")
            << "off"
            << "3 files encoded into ~/Music." << QStringList() << "--tt 'Alpha \"quoted\" $HOME'";
        QTest::newRow("the library writes them and lists the files")
            << "on"
            << "3 files encoded into ~/Music." << QStringList{"a.mp3", "b.mp3", "c.mp3"} << "a.mp3";
        // A playlist that cannot be made costs the files their entry, never their tags.
        QTest::newRow("factory settings, the playlist cannot be made")
            << "factory"
            << "3 files encoded into ~/Music.\n\nThe music library could not take 3 files whole (playlist "
               "entry or tags). The command log shows why."
            << QStringList() << "The music library could not make a playlist: ";
    }

    void tagged()
    {
        QFETCH(QString, library);
        QFETCH(QString, message);
        QFETCH(QStringList, listed);
        QFETCH(QString, logged);
        SettingsStore &settings = LamePrefs::preferences();
        for (const QString &key : {PrefKey::ITunesIntegration, PrefKey::BatchPlaylists})
            settings.removeObjectForKey(key);
        settings.setInteger(2, PrefKey::EncodersAtOnce);
        const auto restore = qScopeGuard([&] { settings.removeObjectForKey(PrefKey::EncodersAtOnce); });
        if (library != "factory") {
            settings.setBool(library == "on", PrefKey::ITunesIntegration);
            settings.setBool(true, PrefKey::BatchPlaylists);
        } else {
            QVERIFY(BatchFixture::writeFile(music + "/Playlists", "a file where the folder belongs"));
        }
        const QString longTitle = "Ti\u00f6tle " + QString(200000, u'x'), album = QString(3000, u'\u00e9');
        const QList<std::pair<QString, double>> lengths{{"a", 3.0}, {"b", 1.0}, {"c", 1.0}};
        for (const auto &[name, seconds] : lengths)
            QVERIFY(QFileInfo::exists(inputs.filePath(name + ".wav")) ||
                    AudioFiles::makeSine(inputs.filePath(name + ".wav"), seconds));
        {
            TagLib::FileRef file(QFile::encodeName(inputs.filePath("c.wav")).constData());
            QVERIFY(file.tag());
            for (const auto &[set, text] : {std::pair{&TagLib::Tag::setTitle, longTitle},
                                            {&TagLib::Tag::setAlbum, album},
                                            {&TagLib::Tag::setArtist, QString("Artist")}})
                (file.tag()->*set)(TagLib::String(text.toStdString(), TagLib::String::UTF8));
            QVERIFY(file.save());
        }
        BatchEncoder *batch = fixture->batchWith(
            {inputs.filePath("b.wav"), inputs.filePath("c.wav"), inputs.filePath("a.wav")});
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
        QStringList frames;
        for (const auto &[name, id] : {std::pair{"a", "TIT2"},
                                       {"a", "TPE1"},
                                       {"b", "TIT2"},
                                       {"c", "TIT2"},
                                       {"c", "TALB"},
                                       {"c", "TPE1"}})
            frames << id3Frame(music + '/' + name + ".mp3", id);
        QCOMPARE(frames, (QStringList{"Alpha \"quoted\" $HOME", "Ünïcode Artist", "Zeta", longTitle, album,
                                      "Artist"}));
        QStringList entries;
        for (const QByteArray &line :
             BatchFixture::contents(music + "/Playlists/Untitled Playlist.m3u8").split('\n'))
            if (!line.isEmpty() && !line.startsWith('#'))
                entries << QFileInfo(QString::fromUtf8(line).trimmed()).fileName();
        QCOMPARE(entries, listed);
        QVERIFY(log().contains(logged) && !log().contains(album));
        // With the library on, the encoder is given no tags.
        QCOMPARE(log().contains("--tt"), library == "off");
        QCOMPARE(log().contains("--ta Artist"), library == "off");
    }
};

QTEST_MAIN(tst_BatchEncode)
#include "tst_batchencode.moc"
