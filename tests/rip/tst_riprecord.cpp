// Rips of a cue/bin image mounted by orvik-cddafs, checked against entries a local server holds
// as the AccurateRip database does: the completion sheet's line and the rip log.
#include "support/AccurateRipSums.h"
#include "support/AudioFiles.h"
#include "support/CueDisc.h"
#include "support/LocalHttpServer.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "core/AccurateRipDisc.h"
#include "core/LamePrefs.h"
#include "platform/PropertyList.h"
#include "platform/widgets/WindowDescription.h"
#include "rip/Ripper.h"

#include <QtTest>
#include <QtWidgets>

using Answer = LocalHttpServer::Answer;

class TestRipRecord : public QObject
{
    Q_OBJECT

    QTemporaryDir work;
    QList<CueDisc::Track> tracks{{"Eins", 75}, {"Zwei", 40}, {"Drei", 50}};
    QList<QByteArray> sums; // each track's, by the published algorithm

  private slots:
    void initTestCase()
    {
        if (!AudioFiles::haveProgram("sox") || !AudioFiles::haveProgram("lame"))
            QSKIP("sox and lame are needed to make and encode the test disc");
        QVERIFY(!CueDisc::write(work.path(), "disc", "Live", tracks).isEmpty());
        for (int i = 0; i < tracks.size(); ++i)
            sums << accurateRipSums(tracks[i].samples, i == 0, i == tracks.size() - 1);
    }

    void rip_data()
    {
        QTest::addColumn<int>("altered"); // the track whose checksum the entry gets wrong; -1: none
        QTest::addColumn<int>("cut");     // sectors the image loses at its end
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("results");
        const QStringList accurate{"accurate (confidence 12)", "accurate (confidence 3)",
                                   "accurate (confidence 7)"};
        QTest::newRow("accurate") << -1 << 0 << 200
                                  << "AccurateRip: all 3 tracks accurately ripped (lowest confidence 3)."
                                  << accurate;
        QTest::newRow("one does not match")
            << 1 << 0 << 200
            << "AccurateRip: 2 of 3 tracks accurate; track 02 does not match. Rip again, or clean the disc."
            << QStringList{accurate[0], "not accurate", accurate[2]};
        QTest::newRow("not in the database")
            << -1 << 0 << 404 << "AccurateRip: the disc is not in the database."
            << QStringList(3, "not in database");
        // The last track fails, its unreadable sectors logged; it is not checked.
        QTest::newRow("last track cut short") << -1 << 30 << 200
                                              << "AccurateRip: 2 of 3 tracks accurately ripped (lowest "
                                                 "confidence 3); the others could not be checked."
                                              << QStringList{accurate[0], accurate[1], "not checked"};
    }

    void rip()
    {
        QFETCH(int, altered);
        QFETCH(int, cut);
        QFETCH(int, status);
        QFETCH(QString, line);
        QFETCH(QStringList, results);
        BatchFixture fixture(false);
        LocalHttpServer server;
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(true, PrefKey::LookUpDiscsOnline);
        for (const QString &key :
             {PrefKey::MusicBrainzServer, PrefKey::CoverArtServer, PrefKey::AccurateRipServer})
            LamePrefs::preferences().setObject(server.address(), key);
        const QString point = CueDisc::mount(work.filePath("disc.cue"), work.filePath("discs"));
        if (point.isEmpty())
            QSKIP("FUSE cannot mount here (no /dev/fuse or no permission to mount)");
        QFile bin(work.filePath("disc.bin"));
        const QByteArray whole = BatchFixture::contents(bin.fileName());
        QVERIFY(bin.resize(whole.size() - cut * 2352));
        const auto unmount = qScopeGuard([&] {
            CueDisc::unmount(point);
            BatchFixture::writeFile(bin.fileName(), whole);
        });
        // The entry: the disc's IDs, then each track's confidence, v1 checksum and a sector's.
        const AccurateRipDisc disc =
            AccurateRipDisc::fromTableOfContents(PropertyList::fromFile(point + "/.TOC.plist").toMap());
        QByteArray entry(1, char(tracks.size()));
        for (quint32 id : {disc.id1(), disc.id2(), disc.freedbId()})
            entry += QByteArray(reinterpret_cast<const char *>(&id), 4);
        for (int i = 0; i < tracks.size(); ++i) {
            const quint32 v1 = sums[i].left(8).toUInt(nullptr, 16) ^ (i == altered ? 1 : 0);
            entry += char(QList<int>{12, 3, 7}[i]) + QByteArray(reinterpret_cast<const char *>(&v1), 4) +
                     QByteArray(4, '\0');
        }
        server.answer(disc.entryPath(), {{status, status == 200 ? entry : QByteArray("Not Found")}});

        QTRY_VERIFY_WITH_TIMEOUT(Ripper::mountPoints().contains(point), 15000);
        Ripper *ripper = *std::find_if(Ripper::allControllers().cbegin(), Ripper::allControllers().cend(),
                                       [&](Ripper *rip) { return rip->mountPoint() == point; });
        WindowDescription::outlet<QPushButton>(ripper->window(), "ripButton")->click();
        TestSheets::choose(TestSheets::waitForPanel(), fixture.cleanMusicFolder());
        QMessageBox *notice = TestSheets::waitForAlert(60000);
        const QString folder = ripper->ripFolder();
        QVERIFY(notice);
        QCOMPARE(notice->informativeText().section("\n\n", 1), line);
        QVERIFY(TestSheets::click(notice, "OK") && BatchFixture::waitUntilEnded(ripper));
        // Every track is kept, matching or not; the log says what each got.
        const QString log = QString::fromUtf8(BatchFixture::contents(folder + "/rip.log"));
        QVERIFY2(log.contains("AccurateRip ID:  " + disc.idText()), qPrintable(log));
        const QStringList names{"01. Eins.mp3", "02. Zwei.mp3", "03. Drei.mp3"};
        QCOMPARE(QDir(folder).entryList({"*.mp3"}, QDir::Files, QDir::Name), names.mid(0, cut ? 2 : 3));
        for (int i = 0; i < tracks.size(); ++i) {
            const bool lost = cut && i == 2;
            const QString expected =
                QString("%1\n  unreadable sectors: %2  AccurateRip v1: %3  v2: %4  %5\n")
                    .arg(names[i], QString::number(lost ? cut : 0), lost ? "-" : sums[i].left(8),
                         lost ? "-" : sums[i].mid(9), results[i]);
            QVERIFY2(log.contains(expected), qPrintable(log));
        }
    }
};

QTEST_MAIN(TestRipRecord)
#include "tst_riprecord.moc"
