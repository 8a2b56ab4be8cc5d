// The disc lookup against a local server that answers as the MusicBrainz web service and the
// Cover Art Archive document it: what each answer gives, the cache, the service's rules.
#include "support/LocalHttpServer.h"
#include "support/MusicBrainzAnswers.h"

#include "core/DiscLookup.h"

#include <QtTest>

using Answer = LocalHttpServer::Answer;
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

Outcome lookUp(LocalHttpServer &server, int trackCount, bool online = true, const QString &disc = kDisc)
{
    DiscLookup lookup({disc, trackCount, online, server.address(), server.address()});
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
} // namespace

class TestDiscLookup : public QObject
{
    Q_OBJECT

  private slots:
    void init() { QDir(DiscLookup::cacheFolder()).removeRecursively(); }

    void answers_data()
    {
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<int>("tracks");
        QTest::addColumn<QString>("outcome");
        const QString one = "mb-1|Album|Artist|1999|GB|CD|Up/Down, Second";
        const QByteArray answer = MusicBrainzAnswers::discAnswer(kDisc, {kOne});
        QTest::newRow("one release") << QList<Answer>{{200, answer}} << 2 << "found " + one;
        QTest::newRow("two releases")
            << QList<Answer>{{200, MusicBrainzAnswers::discAnswer(kDisc, {kOne, kTwo})}} << 2
            << "found " + one + "; mb-2|Album (Live)|Artist|2001|DE|CD|Eins, Zwei";
        QTest::newRow("compilation")
            << QList<Answer>{{200,
                              MusicBrainzAnswers::discAnswer(
                                  kDisc,
                                  {{"mb-3", "Hits", "Various Artists", "", "", {"A", "B"}, {"Ann", "Bob"}}})}}
            << 2 << "found mb-3|Hits|Various Artists|||CD|A (Ann), B (Bob)";
        QTest::newRow("busy, then an answer")
            << QList<Answer>{{503, "", {{"Retry-After", "1"}}}, {200, answer}} << 2 << "found " + one;
        QTest::newRow("not found") << QList<Answer>{{404, "{\"error\": \"Not Found\"}"}} << 2 << "not found";
        QTest::newRow("no release") << QList<Answer>{{200, "{\"releases\": []}"}} << 2 << "not found";
        QTest::newRow("fewer tracks than the disc")
            << QList<Answer>{{200, answer}} << 3 << "failed: the release found has 2 tracks, the disc 3";
        QTest::newRow("malformed") << QList<Answer>{{200, answer.left(answer.size() / 2)}} << 2
                                   << "failed: the answer is not JSON";
        QTest::newRow("wrong shape") << QList<Answer>{{200, "{\"releases\": {\"id\": 1}}"}} << 2
                                     << "failed: the answer lists no releases";
        QTest::newRow("50 MB") << QList<Answer>{{200, QByteArray(50 << 20, ' ')}} << 2
                               << "failed: the answer is far too large";
        QTest::newRow("50 MB without a length")
            << QList<Answer>{{200, QByteArray(50 << 20, ' '), {}, false, true}} << 2
            << "failed: the answer is far too large";
        QTest::newRow("server error")
            << QList<Answer>{{500, "oops"}} << 2 << "failed: the server answered 500";
        QTest::newRow("redirected") << QList<Answer>{{302, "", {{"Location", kQuery.toUtf8()}}}} << 2
                                    << "failed: the server sent the request elsewhere";
        QTest::newRow("slow") << QList<Answer>{{200, answer, {}, true}} << 2
                              << "failed: the server did not answer in time";
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
        QVERIFY(!requests.isEmpty());
        for (int i = 0; i < requests.size(); ++i) {
            QVERIFY2(requests[i].userAgent.startsWith("Orvik/0."), requests[i].userAgent);
            QCOMPARE(requests[i].target, kQuery);
            QVERIFY(i == 0 || requests[i].at - requests[i - 1].at >= 500);
        }
        QCOMPARE(requests.size(), answers.size());
        // Only a good answer is kept.
        QCOMPARE(QFile::exists(DiscLookup::cacheFolder() + "/discs/" + kDisc + ".json"),
                 outcome.startsWith("found"));
    }

    void cache()
    {
        LocalHttpServer server;
        server.answer(kPath, {{200, MusicBrainzAnswers::discAnswer(kDisc, {kOne})}});
        const QString file = DiscLookup::cacheFolder() + "/discs/" + kDisc + ".json";
        const Outcome online = lookUp(server, 2);
        QVERIFY(!online.fromCache && online.text.startsWith("found"));
        // Offline, the disc is named from the cache alone.
        const Outcome offline = lookUp(server, 2, false);
        QCOMPARE(offline.text, online.text);
        QVERIFY(offline.fromCache);
        QCOMPARE(server.requests().size(), 1);
        // A cache file that does not read is asked for again, and replaced.
        QVERIFY(QFile(file).open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(lookUp(server, 2, false).text, QString());
        QCOMPARE(lookUp(server, 2).text, online.text);
        QCOMPARE(server.requests().size(), 2);
        QCOMPARE(lookUp(server, 2, false).text, online.text);
    }

    void oneRequestASecond()
    {
        // Two windows asking at once: the second request waits for its second.
        LocalHttpServer server;
        const QString other = "aUp1F2NkfP8s8jaeFn_Av3jNEI4-";
        server.answer(kPath, {{200, MusicBrainzAnswers::discAnswer(kDisc, {kOne})}});
        server.answer("/ws/2/discid/" + other, {{200, MusicBrainzAnswers::discAnswer(other, {kTwo})}});
        DiscLookup first({kDisc, 2, true, server.address(), server.address()});
        DiscLookup second({other, 2, true, server.address(), server.address()});
        QSignalSpy firstFound(&first, &DiscLookup::found), secondFound(&second, &DiscLookup::found);
        first.start();
        second.start();
        QTRY_VERIFY_WITH_TIMEOUT(firstFound.size() == 1 && secondFound.size() == 1, 20000);
        QCOMPARE(server.requests().size(), 2);
        QVERIFY(server.requests().at(1).at - server.requests().at(0).at >= 500);
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
