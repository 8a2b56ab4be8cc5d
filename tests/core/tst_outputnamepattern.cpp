// The names a batch's naming pattern gives its files: folders from the pattern only, never from a
// tag, nothing outside the destination, and the factory pattern naming files as before.
#include "core/LamePrefs.h"
#include "core/OutputNamePattern.h"
#include "core/OutputNames.h"

#include <QtTest>

using Problem = OutputNamePattern::Problem;

class tst_OutputNamePattern : public QObject
{
    Q_OBJECT

  private slots:
    void names_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QVariantMap>("task"); // its tags; the input is /in/live.take.flac
        QTest::addColumn<QString>("expected"); // below /d
        const QString tree = "{artist}/{album}/{track} {title}";
        QTest::newRow("factory") << "{name}" << QVariantMap({{kSongTitleKey, "x"}}) << "live.take.mp3";
        QTest::newRow("unsafe characters") << tree
                                           << QVariantMap({{kSongArtistKey, "AC/DC"},
                                                           {kSongAlbumKey, " Best "},
                                                           {kSongTrackNoKey, "3/12"},
                                                           {kSongTitleKey, "Q: \"Why?\"*<>|\\"}})
                                           << "AC_DC/Best/03 Q_ _Why_______.mp3";
        QTest::newRow("empty tags") << tree << QVariantMap({{kSongArtistKey, ""}, {kSongTrackNoKey, "B2"}})
                                    << "live.take/Common/B2 live.take.mp3";
        QTest::newRow("dots") << "{artist}/{title}/x"
                              << QVariantMap({{kSongArtistKey, ".."}, {kSongTitleKey, "."}}) << "_./_/x.mp3";
        QTest::newRow("long tag") << "{title}/{name}" << QVariantMap({{kSongTitleKey, QString(300, u'é')}})
                                  << QString(127, u'é') + "/live.take.mp3";
    }

    void names()
    {
        QFETCH(QString, pattern);
        QFETCH(QVariantMap, task);
        QFETCH(QString, expected);
        task.insert(kInputFileKey, "/in/live.take.flac");
        // A tag the file lacks comes from the run's common tags.
        const QVariantMap common{{kSongAlbumKey, "Common"}};
        QCOMPARE(OutputNamePattern::check(pattern), Problem::None);
        QCOMPARE(OutputNamePattern::outputFor(pattern, task, common, "/d"), "/d/" + expected);
        if (pattern == OutputNamePattern::kFactoryPattern)
            QCOMPARE("/d/" + expected, OutputNames::forInput(task.value(kInputFileKey).toString(), "/d"));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<Problem>("problem");
        QTest::addColumn<QString>("placeholder");
        QTest::newRow("absolute") << "/tmp/{name}" << Problem::LeavesFolder << "";
        QTest::newRow("home") << "~/{name}" << Problem::LeavesFolder << "";
        QTest::newRow("parent") << "{artist}/../../{name}" << Problem::LeavesFolder << "";
        QTest::newRow("unknown") << "{artist}/{year} {title}" << Problem::UnknownPlaceholder << "{year}";
        QTest::newRow("folder only") << "{artist}/" << Problem::NoFileName << "";
        QTest::newRow("empty") << "" << Problem::NoFileName << "";
    }

    void refused()
    {
        QFETCH(QString, pattern);
        QFETCH(Problem, problem);
        QFETCH(QString, placeholder);
        QString named;
        QCOMPARE(OutputNamePattern::check(pattern, &named), problem);
        QCOMPARE(named, placeholder);
    }

    void numberedFiles()
    {
        QCOMPARE(OutputNames::numberedFile("/d/Song.MP3", 12), "/d/Song 12.mp3");
        QCOMPARE(OutputNames::numberedFile("/d/" + QString(251, u'x') + ".mp3", 2),
                 "/d/" + QString(249, u'x') + " 2.mp3");
    }
};

QTEST_GUILESS_MAIN(tst_OutputNamePattern)
#include "tst_outputnamepattern.moc"
