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
        QTest::addColumn<QVariantMap>("task");
        QTest::addColumn<QString>("expected"); // below /dest
        const QString input = "/in/live.take.flac";
        const QVariantMap tagged{{kInputFileKey, input},
                                 {kSongArtistKey, "AC/DC"},
                                 {kSongAlbumKey, " Best "},
                                 {kSongTrackNoKey, "3/12"},
                                 {kSongTitleKey, "Q: \"Why?\"*<>|\\"}};
        const QString tree = "{artist}/{album}/{track} {title}";
        QTest::newRow("factory") << "{name}" << tagged << "live.take.mp3";
        QTest::newRow("tree, unsafe characters replaced")
            << tree << tagged << "AC_DC/Best/03 Q_ _Why_______.mp3";
        QTest::newRow("empty tags fall back to the input's name")
            << tree << QVariantMap{{kInputFileKey, input}, {kSongArtistKey, ""}, {kSongTrackNoKey, "B2"}}
            << "live.take/live.take/B2 live.take.mp3";
        QTest::newRow("tags of dots stay inside")
            << "{artist}/{album}/x"
            << QVariantMap{{kInputFileKey, input}, {kSongArtistKey, ".."}, {kSongAlbumKey, "."}}
            << "_./_/x.mp3";
        QTest::newRow("a long tag is cut to a file name")
            << "{title}/{name}" << QVariantMap{{kInputFileKey, input}, {kSongTitleKey, QString(300, u'é')}}
            << QString(127, u'é') + "/live.take.mp3";
    }

    void names()
    {
        QFETCH(QString, pattern);
        QFETCH(QVariantMap, task);
        QFETCH(QString, expected);
        QCOMPARE(OutputNamePattern::check(pattern), Problem::None);
        QCOMPARE(OutputNamePattern::outputFor(pattern, task, {}, "/dest"), "/dest/" + expected);
        if (pattern == OutputNamePattern::kFactoryPattern)
            QCOMPARE(OutputNamePattern::outputFor(pattern, task, {}, "/dest"),
                     OutputNames::forInput(task.value(kInputFileKey).toString(), "/dest"));
    }

    void runTagsServeWhereTheFileHasNone()
    {
        const QVariantMap task{{kInputFileKey, "/in/a.wav"}, {kSongTitleKey, "Own"}};
        const QVariantMap options{{kSongArtistKey, "Common"}, {kSongTitleKey, "Not this"}};
        QCOMPARE(OutputNamePattern::outputFor("{artist} - {title}", task, options, "/d"),
                 "/d/Common - Own.mp3");
    }

    void refused_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<Problem>("problem");
        QTest::addColumn<QString>("placeholder");
        QTest::newRow("absolute") << "/tmp/{name}" << Problem::LeavesFolder << "";
        QTest::newRow("home") << "~/{name}" << Problem::LeavesFolder << "";
        QTest::newRow("parent") << "../{name}" << Problem::LeavesFolder << "";
        QTest::newRow("parent inside") << "{artist}/../../{name}" << Problem::LeavesFolder << "";
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
        QCOMPARE(OutputNames::numberedFile("/d/Song.mp3", 1), "/d/Song.mp3");
        QCOMPARE(OutputNames::numberedFile("/d/Song.MP3", 12), "/d/Song 12.mp3");
        QCOMPARE(OutputNames::numberedFile("/d/" + QString(251, u'x') + ".mp3", 2),
                 "/d/" + QString(249, u'x') + " 2.mp3");
    }
};

QTEST_GUILESS_MAIN(tst_OutputNamePattern)
#include "tst_outputnamepattern.moc"
