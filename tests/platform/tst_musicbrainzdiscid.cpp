// Disc IDs from tables of contents, checked against the documented calculation done on its own.
#include "support/MusicBrainzAnswers.h"

#include "platform/MusicBrainzDiscId.h"

#include <QtTest>

namespace {
// A table of contents: tracks "start" or "start:data", and the disc's lead-out.
QVariantMap contents(const QStringList &tracks, int leadOut)
{
    QVariantList array;
    for (int i = 0; i < tracks.size(); ++i)
        array << QVariantMap{{"Point", i + 1},
                             {"Start Block", tracks[i].section(':', 0, 0).toInt()},
                             {"Data", tracks[i].endsWith(":data")}};
    return {{"Sessions", QVariantList{QVariantMap{{"Leadout Block", leadOut}, {"Track Array", array}}}}};
}
} // namespace

using MusicBrainzAnswers::discId;

class TestMusicBrainzDiscId : public QObject
{
    Q_OBJECT

  private slots:
    void discIds_data()
    {
        QTest::addColumn<QVariantMap>("toc");
        QTest::addColumn<QString>("expected"); // empty: no ID
        QTest::addColumn<QString>("tocText");
        // The example disc of the calculation's documentation: six tracks. The calculation here
        // gives the documentation's ID for it.
        QCOMPARE(discId(1, 6, 95462, {150, 15363, 32314, 46592, 63414, 80489}),
                 "49HHV7Eb8UKF3aQiNmu1GR8vKTY-");
        const QStringList six{"0", "15213", "32164", "46442", "63264", "80339"};
        QTest::newRow("six tracks") << contents(six, 95312)
                                    << discId(1, 6, 95462, {150, 15363, 32314, 46592, 63414, 80489})
                                    << "1 6 95462 150 15363 32314 46592 63414 80489";
        // An Enhanced CD: the audio ends 11400 sectors before the data track starts.
        QTest::newRow("enhanced") << contents({"0", "20000", "60000:data"}, 90000)
                                  << discId(1, 2, 48750, {150, 20150}) << "1 2 48750 150 20150";
        QTest::newRow("data only") << contents({"0:data"}, 9000) << QString() << QString();
        QTest::newRow("no start")
            << QVariantMap{{"Sessions", QVariantList{QVariantMap{
                                            {"Leadout Block", 900},
                                            {"Track Array", QVariantList{QVariantMap{{"Point", 1}}}}}}}}
            << QString() << QString();
        QTest::newRow("no table") << QVariantMap{} << QString() << QString();
    }

    void discIds()
    {
        QFETCH(QVariantMap, toc);
        QFETCH(QString, expected);
        QFETCH(QString, tocText);
        const MusicBrainzDiscId id = MusicBrainzDiscId::fromTableOfContents(toc);
        QCOMPARE(id.id(), expected);
        QCOMPARE(id.isValid(), !expected.isEmpty());
        QCOMPARE(id.toc(), tocText);
        if (id.isValid())
            QCOMPARE(id.submissionUrl("http://127.0.0.1:5/"),
                     "http://127.0.0.1:5/cdtoc/attach?id=" + expected + "&tracks=" +
                         tocText.section(' ', 1, 1) + "&toc=" + QString(tocText).replace(' ', '+'));
    }
};

QTEST_GUILESS_MAIN(TestMusicBrainzDiscId)
#include "tst_musicbrainzdiscid.moc"
