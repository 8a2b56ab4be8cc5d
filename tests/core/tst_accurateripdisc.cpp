// The AccurateRip disc IDs of tables of contents, and entries served by a local server as the
// database holds them: what each pressing says about each track, and the answers refused.
#include "support/LocalHttpServer.h"

#include "core/AccurateRipLookup.h"

#include <QtTest>

using Answer = LocalHttpServer::Answer;
using Pressing = AccurateRipDisc::Pressing;

namespace {
// A table of contents as orvik-cddafs presents it: each track "start" or "start:data" (sectors).
QVariantMap contents(const QList<QString> &tracks, qint64 leadOut)
{
    QVariantList array;
    for (int i = 0; i < tracks.size(); ++i)
        array << QVariantMap{{"Point", i + 1},
                             {"Start Block", tracks[i].section(':', 0, 0).toLongLong()},
                             {"Data", tracks[i].endsWith(":data")}};
    return {{"Sessions", QVariantList{QVariantMap{{"Track Array", array}, {"Leadout Block", leadOut}}}}};
}

// A block of an entry as the database writes it, little-endian: the track count and the disc's
// three IDs, then each track's confidence, checksum and a checksum of one sector.
QByteArray block(const AccurateRipDisc &disc, const QList<Pressing::Track> &tracks, quint32 id1Change = 0)
{
    QByteArray bytes(1, char(tracks.size()));
    for (quint32 value : {disc.id1() + id1Change, disc.id2(), disc.freedbId()})
        bytes += QByteArray(reinterpret_cast<const char *>(&value), 4);
    for (const Pressing::Track &track : tracks)
        bytes += char(track.confidence) + QByteArray(reinterpret_cast<const char *>(&track.checksum), 4) +
                 QByteArray(4, '\x5a');
    return bytes;
}
} // namespace

class tst_AccurateRipDisc : public QObject
{
    Q_OBJECT

  private slots:
    // Discs whose IDs the database's own ripper gives, as published with their tables of contents.
    void discIds_data()
    {
        QTest::addColumn<QVariantMap>("toc");
        QTest::addColumn<QString>("ids");
        QTest::addColumn<QString>("path");
        QTest::newRow("audio, then data (Enhanced CD)")
            << contents({"0", "12617", "40337", "63075", "93260", "117965", "151715", "184190", "215110",
                         "247305", "281585:data"},
                        333651)
            << "010-00164419-00b9f6e2-9e11600b"
            << "/accuraterip/9/1/4/dBAR-010-00164419-00b9f6e2-9e11600b.bin";
        QList<QString> mixed{"0:data"};
        for (int lba : {66728,  76502,  85963,  93760,  104048, 116066, 124743, 134206, 142916, 151852,
                        160720, 169425, 178731, 188459, 196711, 206354, 214845, 223686, 225746, 226384,
                        232668, 239447, 239931, 244989, 254264, 260066, 261222, 261674})
            mixed << QString::number(lba - 150);
        QTest::newRow("data, then audio (mixed mode)")
            << contents(mixed, 261976 - 150) << "028-00517a54-05a845d2-af0da31d"
            << "/accuraterip/4/5/a/dBAR-028-00517a54-05a845d2-af0da31d.bin";
    }

    void discIds()
    {
        QFETCH(QVariantMap, toc);
        QFETCH(QString, ids);
        QFETCH(QString, path);
        const AccurateRipDisc disc = AccurateRipDisc::fromTableOfContents(toc);
        QCOMPARE(disc.idText(), ids);
        QCOMPARE(disc.entryPath(), path);
    }

    void lookup_data()
    {
        const AccurateRipDisc disc =
            AccurateRipDisc::fromTableOfContents(contents({"0", "1000", "2500"}, 4000));
        const QList<Pressing::Track> all{{7, 0x1111}, {9, 0x2222}, {4, 0x3333}};
        QList<Pressing::Track> altered = all;
        altered[1].checksum ^= 1;
        const QList<Pressing::Track> v2{{2, 0xaaaa}, {2, 0xbbbb}, {12, 0xcccc}};
        const QByteArray whole = block(disc, all);
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("all match") << QList<Answer>{{200, whole}} << "accurate 7, accurate 9, accurate 4";
        QTest::newRow("one does not")
            << QList<Answer>{{200, block(disc, altered)}} << "accurate 7, no, accurate 4";
        QTest::newRow("two pressings, the best")
            << QList<Answer>{{200, block(disc, altered) + block(disc, v2)}}
            << "accurate 7, accurate 2, accurate 12";
        QTest::newRow("not in the database") << QList<Answer>{{404, "Not Found"}} << "not found";
        QTest::newRow("empty") << QList<Answer>{{200, ""}} << "failed: the database's answer is empty";
        QTest::newRow("cut short") << QList<Answer>{{200, whole + whole.chopped(3)}}
                                   << "failed: the database's answer is cut short";
        QTest::newRow("other track count") << QList<Answer>{{200, block(disc, all.mid(1))}}
                                           << "failed: the database's answer does not fit the disc's tracks";
        QTest::newRow("other disc") << QList<Answer>{{200, whole + block(disc, all, 1)}}
                                    << "failed: the database answered for another disc";
        QTest::newRow("server error")
            << QList<Answer>{{500, "oops"}} << "failed: the AccurateRip database answered 500";
        QTest::newRow("slow") << QList<Answer>{{200, whole, {}, true}}
                              << "failed: the AccurateRip database did not answer in time";
        QTest::newRow("down") << QList<Answer>() << "failed: the AccurateRip database cannot be reached";
    }

    void lookup()
    {
        QFETCH(QList<Answer>, answers);
        QFETCH(QString, outcome);
        LocalHttpServer server;
        const AccurateRipDisc disc =
            AccurateRipDisc::fromTableOfContents(contents({"0", "1000", "2500"}, 4000));
        server.answer(disc.entryPath(), answers);
        // The rip's checksums: v1 of the first pressing's sums and v2 of the second's.
        const QList<std::pair<quint32, quint32>> sums{{0x1111, 0xaaaa}, {0x2222, 0xbbbb}, {0x3333, 0xcccc}};
        AccurateRipLookup lookup(disc, answers.isEmpty() ? "http://127.0.0.1:9" : server.address());
        QString ended;
        connect(&lookup, &AccurateRipLookup::found, [&](const QList<Pressing> &pressings) {
            QStringList verdicts;
            for (int track = 1; track <= 3; ++track) {
                const auto verdict =
                    disc.verdict(pressings, track, sums[track - 1].first, sums[track - 1].second);
                verdicts << (verdict.kind == AccurateRipDisc::Verdict::Accurate
                                 ? QString("accurate %1").arg(verdict.confidence)
                             : verdict.kind == AccurateRipDisc::Verdict::NotAccurate ? "no"
                                                                                     : "unknown");
            }
            ended = verdicts.join(", ");
        });
        connect(&lookup, &AccurateRipLookup::notFound, [&] { ended = "not found"; });
        connect(&lookup, &AccurateRipLookup::failed, [&](const QString &why) { ended = "failed: " + why; });
        lookup.start();
        QTRY_VERIFY_WITH_TIMEOUT(!ended.isEmpty(), 20000);
        QVERIFY2(ended.startsWith(outcome), qPrintable(ended));
    }
};

QTEST_GUILESS_MAIN(tst_AccurateRipDisc)
#include "tst_accurateripdisc.moc"
