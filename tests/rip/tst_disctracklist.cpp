#include "core/LamePrefs.h"
#include "rip/DiscTrackList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// A table of contents with one session whose tracks are given as "Point" or "Point:data".
QByteArray tableOfContents(const QStringList &tracks)
{
    QByteArray entries;
    for (const QString &track : tracks) {
        const QStringList parts = track.split(u':');
        entries += "<dict><key>Point</key><integer>" + parts.first().toUtf8() + "</integer>";
        if (parts.size() > 1)
            entries += "<key>Data</key><true/>";
        entries += "</dict>";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict><key>Sessions</key><array>"
           "<dict><key>Track Array</key><array>" +
           entries + "</array></dict></array></dict></plist>";
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
} // namespace

// The tracks of an audio CD as they are read from a folder laid out like its volume: the table
// of contents, then the track files by name, or the AIFF files found by the scan.
class tst_DiscTrackList : public QObject
{
    Q_OBJECT

  private slots:
    void tracks_data()
    {
        QTest::addColumn<QString>("volume");
        QTest::addColumn<QByteArray>("contents"); // the table of contents
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("rows"); // number string, then ":title" where there is one
        QTest::addColumn<QString>("album");
        const QByteArray fourTracks = tableOfContents({"1", "2", "3", "4:data"});
        QTest::newRow("by name, data track left out")
            << "Jazz" << fourTracks
            << QStringList{"Track 01.cdda", "Track 02.cdda", "Track 03.cdda", "1 x.aiff"}
            << QStringList{"01", "02", "03"} << QString();
        QTest::newRow("a missing file leaves a gap")
            << "Jazz" << fourTracks << QStringList{"Track 01.cdda", "Track 03.cdda"}
            << QStringList{"01", "03"} << QString();
        QTest::newRow("three digits") << "Jazz" << tableOfContents({"100"}) << QStringList{"Track 100.cdda"}
                                      << QStringList{"100"} << QString();
        QTest::newRow("scan: titles, order of the numbers, upper-case extension")
            << "Live" << fourTracks
            << QStringList{"10 Outro.aiff", "2 Audio Track.AIFF", "1 Intro.aiff", "notes.txt"}
            << QStringList{"01:Intro", "02", "10:Outro"} << "Live";
        QTest::newRow("scan on a volume named after no album")
            << "Audio CD" << fourTracks << QStringList{"1 Audio Track.aiff"} << QStringList{"01"}
            << QString();
        QTest::newRow("scan on the second such volume")
            << "Audio CD 2" << fourTracks << QStringList{"1 Audio Track.aiff"} << QStringList{"01"}
            << QString();
        QTest::newRow("a name without a number keeps its first letter")
            << "Live" << fourTracks << QStringList{"Intro.aiff"} << QStringList{":Intro"} << "Live";
        QTest::newRow("no sessions: no scan")
            << "Live" << QByteArray("<plist version=\"1.0\"><dict/></plist>") << QStringList{"1 Intro.aiff"}
            << QStringList() << QString();
        QTest::newRow("no track array: no scan")
            << "Live"
            << QByteArray(
                   "<plist version=\"1.0\"><dict><key>Sessions</key><array><dict/></array></dict></plist>")
            << QStringList{"1 Intro.aiff"} << QStringList() << QString();
    }

    void tracks()
    {
        QFETCH(QString, volume);
        QFETCH(QByteArray, contents);
        QFETCH(QStringList, files);
        QFETCH(QStringList, rows);
        QFETCH(QString, album);
        QTemporaryDir dir;
        const QString mountPoint = dir.filePath(volume);
        QVERIFY(writeFile(mountPoint + "/.TOC.plist", contents));
        for (const QString &file : files)
            QVERIFY(writeFile(mountPoint + '/' + file, "audio"));

        QVERIFY(DiscTrackList::isAudioCD(mountPoint));
        const DiscTrackList list = DiscTrackList::read(mountPoint, "Track ");
        QStringList read;
        for (const QVariantMap &track : list.tracks) {
            QVERIFY(QFileInfo::exists(track.value(kInputFileKey).toString()));
            read << track.value(kSongTrackNoKey).toString() +
                        (track.contains(kSongTitleKey) ? ':' + track.value(kSongTitleKey).toString()
                                                       : QString());
        }
        QCOMPARE(read, rows);
        QCOMPARE(list.albumProposal, album);
    }

    void onlyAReadableTableOfContentsMakesAnAudioCD()
    {
        QTemporaryDir dir;
        QVERIFY(!DiscTrackList::isAudioCD(dir.path()));
        QVERIFY(writeFile(dir.filePath(".TOC.plist"), "not a property list"));
        QVERIFY(!DiscTrackList::isAudioCD(dir.path()));
        QVERIFY(writeFile(dir.filePath(".TOC.plist"), "<plist version=\"1.0\"><array/></plist>"));
        QVERIFY(!DiscTrackList::isAudioCD(dir.path()));
    }
};

QTEST_GUILESS_MAIN(tst_DiscTrackList)
#include "tst_disctracklist.moc"
