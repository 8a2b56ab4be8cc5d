// Disc IDs from tables of contents, and the disc lookup against a local server that answers as the
// MusicBrainz web service and the Cover Art Archive document it: what each answer gives, the
// cache, the service's rules.
#include "support/LocalHttpServer.h"
#include "support/MusicBrainzAnswers.h"

#include "core/DiscLookup.h"
#include "platform/MusicBrainzDiscId.h"

#include <QtTest>

using Answer = LocalHttpServer::Answer;
using MusicBrainzAnswers::discId;
using MusicBrainzAnswers::Release;

namespace {
const QString kDisc = QStringLiteral("xUp1F2NkfP8s8jaeFn_Av3jNEI4-");
const QString kPath = "/ws/2/discid/" + kDisc;
const QString kQuery = kPath + "?inc=recordings+artist-credits&fmt=json";
const Release kOne{"mb-1", "Album", "Artist", "1999-03-01", "GB", {"Up/Down\x07", "Second"}};
const Release kTwo{"mb-2", "Album (Live)", "Artist", "2001", "DE", {"Eins", "Zwei"}};
const QByteArray kJpeg("\xff\xd8\xff\xe0 a picture", 16);

// What a lookup ended with, in one line.
struct Outcome
{
    QString text;
    bool fromCache = false;
};

Outcome lookUp(LocalHttpServer &server, int trackCount, bool online = true)
{
    DiscLookup lookup({kDisc, trackCount, online, server.address(), server.address()});
    Outcome outcome;
    QObject::connect(&lookup, &DiscLookup::found, [&](const QList<DiscRelease> &releases, bool cached) {
        QStringList found;
        for (const DiscRelease &release : releases) {
            QStringList tracks;
            for (const DiscRelease::Track &track : release.tracks)
                tracks << track.title + (track.artist.isEmpty() ? "" : " (" + track.artist + ")");
            found << QStringList{release.id,      release.title,  release.artist,   release.year,
                                 release.country, release.format, tracks.join(", ")}
                         .join('|');
        }
        outcome = {"found " + found.join("; "), cached};
    });
    QObject::connect(&lookup, &DiscLookup::notFound, [&] { outcome.text = "not found"; });
    QObject::connect(&lookup, &DiscLookup::failed,
                     [&](const QString &why) { outcome.text = "failed: " + why; });
    if (lookup.start())
        QTest::qWaitFor([&] { return !outcome.text.isEmpty(); }, 20000);
    return outcome;
}

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

class TestDiscLookup : public QObject
{
    Q_OBJECT

  private slots:
    void init() { QDir(DiscLookup::cacheFolder()).removeRecursively(); }

    void discIds_data()
    {
        QTest::addColumn<QVariantMap>("toc");
        QTest::addColumn<QString>("expected"); // empty: no ID
        QTest::addColumn<QString>("tocText");
        // The example disc of the calculation's documentation gives the documentation's ID here.
        QCOMPARE(discId(1, 6, 95462, {150, 15363, 32314, 46592, 63414, 80489}),
                 "49HHV7Eb8UKF3aQiNmu1GR8vKTY-");
        QTest::newRow("six tracks") << contents({"0", "15213", "32164", "46442", "63264", "80339"}, 95312)
                                    << discId(1, 6, 95462, {150, 15363, 32314, 46592, 63414, 80489})
                                    << "1 6 95462 150 15363 32314 46592 63414 80489";
        // An Enhanced CD: the audio ends 11400 sectors before the data track starts.
        QTest::newRow("enhanced") << contents({"0", "20000", "60000:data"}, 90000)
                                  << discId(1, 2, 48750, {150, 20150}) << "1 2 48750 150 20150";
        QTest::newRow("data only") << contents({"0:data"}, 9000) << QString() << QString();
        QTest::newRow("no start") << contents({"-1"}, 900) << QString() << QString();
    }

    void discIds()
    {
        QFETCH(QVariantMap, toc);
        QFETCH(QString, expected);
        QFETCH(QString, tocText);
        const MusicBrainzDiscId id = MusicBrainzDiscId::fromTableOfContents(toc);
        QCOMPARE(id.id() + '|' + id.toc(), expected + '|' + tocText);
        QCOMPARE(id.isValid(), !expected.isEmpty());
        if (id.isValid())
            QCOMPARE(id.submissionUrl("http://127.0.0.1:5/"),
                     "http://127.0.0.1:5/cdtoc/attach?id=" + expected + "&tracks=" +
                         tocText.section(' ', 1, 1) + "&toc=" + QString(tocText).replace(' ', '+'));
    }

    void answers_data()
    {
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<int>("tracks");
        QTest::addColumn<QString>("outcome");
        const QString one = "mb-1|Album|Artist|1999|GB|CD|Up/Down, Second";
        const QByteArray answer = MusicBrainzAnswers::discAnswer(kDisc, {kOne});
        const auto row = [](const char *name, const QList<Answer> &answers, const QString &outcome,
                            int tracks = 2) { QTest::newRow(name) << answers << tracks << outcome; };
        row("two releases", {{200, MusicBrainzAnswers::discAnswer(kDisc, {kOne, kTwo})}},
            "found " + one + "; mb-2|Album (Live)|Artist|2001|DE|CD|Eins, Zwei");
        const Release various{"mb-3", "Hits", "Various Artists", "", "", {"A", "B"}, {"Ann", "Bob"}};
        row("compilation", {{200, MusicBrainzAnswers::discAnswer(kDisc, {various})}},
            "found mb-3|Hits|Various Artists|||CD|A (Ann), B (Bob)");
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
    }

    void answers()
    {
        QFETCH(QList<Answer>, answers);
        QFETCH(int, tracks);
        QFETCH(QString, outcome);
        LocalHttpServer server;
        server.answer(kPath, answers);
        QCOMPARE(lookUp(server, tracks).text, outcome);
        // The service's rules: who asks, what is asked for, and a second apart at least.
        const QList<LocalHttpServer::Request> requests = server.requests();
        QCOMPARE(requests.size(), answers.size());
        for (int i = 0; i < requests.size(); ++i) {
            QVERIFY2(requests[i].userAgent.startsWith("Orvik/0."), requests[i].userAgent);
            QCOMPARE(requests[i].target, kQuery);
            QVERIFY(i == 0 || requests[i].at - requests[i - 1].at >= 500);
        }
        // Only a good answer is kept.
        QCOMPARE(QFile::exists(DiscLookup::cacheFolder() + "/discs/" + kDisc + ".json"),
                 outcome.startsWith("found"));
    }

    void cache()
    {
        LocalHttpServer server;
        const QString other = "aUp1F2NkfP8s8jaeFn_Av3jNEI4-";
        server.answer(kPath, {{200, MusicBrainzAnswers::discAnswer(kDisc, {kOne})}});
        server.answer("/ws/2/discid/" + other, {{200, MusicBrainzAnswers::discAnswer(other, {kTwo})}});
        // Another window asks for another disc at the same time: its request waits for its second.
        DiscLookup second({other, 2, true, server.address(), server.address()});
        QSignalSpy secondFound(&second, &DiscLookup::found);
        QVERIFY(second.start());
        const Outcome online = lookUp(server, 2);
        QVERIFY(!online.fromCache && online.text.startsWith("found"));
        QTRY_COMPARE_WITH_TIMEOUT(secondFound.size(), 1, 20000);
        QCOMPARE(server.requests().size(), 2);
        QVERIFY(server.requests().at(1).at - server.requests().at(0).at >= 500);
        // Offline, the disc is named from the cache alone.
        const Outcome offline = lookUp(server, 2, false);
        QVERIFY(offline.fromCache && offline.text == online.text);
        QCOMPARE(server.requests().size(), 2);
        // A cache file that does not read is asked for again, and replaced.
        QVERIFY(QFile(DiscLookup::cacheFolder() + "/discs/" + kDisc + ".json").open(QIODevice::WriteOnly));
        QCOMPARE(lookUp(server, 2, false).text, QString());
        QCOMPARE(lookUp(server, 2).text, online.text);
        QCOMPARE(server.requests().size(), 3);
        QCOMPARE(lookUp(server, 2, false).text, online.text);
    }

    void cover_data()
    {
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("picture") << QList<Answer>{{200, kJpeg}} << "picture";
        QTest::newRow("stored elsewhere")
            << QList<Answer>{{307, "", {{"Location", "/stored/front.jpg"}}}} << "picture";
        QTest::newRow("not a picture")
            << QList<Answer>{{200, "<html>no</html>"}} << "the cover is not a picture";
        QTest::newRow("no cover") << QList<Answer>{{404, ""}} << "the release has no front cover";
        QTest::newRow("redirected in a circle")
            << QList<Answer>{{307, "", {{"Location", "/release/mb-1/front-500"}}}}
            << "the server sent the request elsewhere";
    }

    void cover()
    {
        QFETCH(QList<Answer>, answers);
        QFETCH(QString, outcome);
        LocalHttpServer server;
        server.answer("/release/mb-1/front-500", answers);
        server.answer("/stored/front.jpg", {{200, kJpeg}});
        DiscLookup lookup({kDisc, 2, true, server.address(), server.address() + "/"});
        QString result;
        connect(&lookup, &DiscLookup::coverFound,
                [&](const QByteArray &picture) { result = picture == kJpeg ? "picture" : "other bytes"; });
        connect(&lookup, &DiscLookup::coverFailed, [&](const QString &why) { result = why; });
        QVERIFY(lookup.fetchCover("mb-1"));
        QTRY_VERIFY_WITH_TIMEOUT(!result.isEmpty(), 20000);
        QCOMPARE(result, outcome);
    }
};

QTEST_GUILESS_MAIN(TestDiscLookup)
#include "tst_disclookup.moc"
