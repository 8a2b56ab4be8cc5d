// The encoder output parser: line forms, line ends, UTF-8 decoding, lame 3.100 replays in every chunking.
#include "core/EncoderOutputParser.h"

#include <QFile>
#include <QMap>
#include <QTest>

using Stream = EncoderOutputParser::Stream;
using Update = EncoderOutputParser::Update;

namespace {
struct Chunk
{
    Stream stream;
    QByteArray bytes;
};

// Recorded lame output (tests/data/transcripts): each line "out " or "err " and one chunk in base64,
// in the order the chunks reached the application through QProcess; lines starting with "#" are notes.
QList<Chunk> load(const QString &path)
{
    QFile file(path);
    QList<Chunk> chunks;
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray &line : file.readAll().split('\n'))
            if (line.startsWith("out ") || line.startsWith("err "))
                chunks << Chunk{Stream(line.startsWith("err")),
                                QByteArray::fromBase64(line.mid(4).trimmed())};
    return chunks;
}

// The same bytes in pieces of `size` bytes that cross the recorded chunks but never mix the streams.
QList<Chunk> rechunk(const QList<Chunk> &chunks, qsizetype size)
{
    QList<Chunk> pieces;
    for (qsizetype i = 0; i < chunks.size();) {
        Chunk run = chunks.at(i++);
        while (i < chunks.size() && chunks.at(i).stream == run.stream)
            run.bytes += chunks.at(i++).bytes;
        for (qsizetype start = 0; start < run.bytes.size(); start += size)
            pieces << Chunk{run.stream, run.bytes.mid(start, size)};
    }
    return pieces;
}

// Updates in a few characters each: the field's letter, then every value that is set.
QString describe(const QList<Update> &updates)
{
    QStringList texts;
    for (const Update &u : updates) {
        QString text = QLatin1Char("EMLHP"[int(u.field)]) + u.version + (u.filterDisabled ? "off" : "");
        if (u.bandLow || u.bandHigh)
            text += QStringLiteral("%1-%2").arg(u.bandLow).arg(u.bandHigh);
        if (u.framesDone || u.framesTotal || u.percent)
            text += QStringLiteral("%1/%2=%3%").arg(u.framesDone).arg(u.framesTotal).arg(u.percent);
        texts << text + (u.timeLeft.isEmpty() ? "" : " " + u.timeLeft);
    }
    return texts.join("; ");
}

QString progressLine(const char *counts)
{
    return QString::asprintf("%-13s (25%%)|    0:01/    0:04|    0:01/    0:04|   45.000x|    0:03 ", counts);
}

// What the parser makes of the chunks: the last update of each field, in the order of the
// fields, every update, and the logged text of each stream.
QStringList replay(const QList<Chunk> &chunks)
{
    EncoderOutputParser parser;
    QList<Update> updates;
    QMap<EncoderOutputParser::Field, Update> last;
    QString logged[2];
    for (const auto &[stream, bytes] : chunks) {
        const QString text = parser.decode(stream, bytes);
        logged[int(stream)] += text;
        for (const Update &update : parser.consume(text))
            updates << update, last.insert(update.field, update);
    }
    return {describe(last.values()), describe(updates), logged[0] + parser.finishStream(Stream::Output),
            logged[1] + parser.finishStream(Stream::Error)};
}
} // namespace

class EncoderOutputParserTest : public QObject
{
    Q_OBJECT
  private slots:
    void classifiesLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("updates");
        const auto row = [](const char *name, const QString &line, const char *updates) {
            QTest::newRow(name) << line << QString(updates);
        };
        row("older banner", "LAME version 3.93 MMX  (http://www.mp3dev.org/)", "E3.93");
        row("LAME version and spaces", "LAME version   ", "");
        row("model version, two periods", "GPSYCHO: psycho-acoustic model version 1.0.. ", "M1.0.");
        row("model without version", "GPSYCHO: psycho-acoustic model", "");
        row("old lowpass notice", "Must specify lowpass with --lowpass freq", "Loff");
        row("band without second number", "polyphase highpass band: 5 - Hz", "");
        row("band first", "polyphase lowpass band: 1 Hz - 2 Hz, Warning: highpass filter disabled.", "L1-2");
        row("29 of 100 is 29%", progressLine("    29/100"), "P29/100=29% 0:03");
        row("more done than total", progressLine("   700/600"), "P600/600=100% 0:03");
        row("counts beyond 64 bits", QString(30, u'9'), "P9223372036854775807/9223372036854775807=100%");
        row("total of zero", progressLine("     0/0"), "");
        row("shorter than column 67", "   150/600    (25%)|", "P150/600=25%");
        row("header", "    Frame          |  CPU time/estim | REAL time/estim | play/CPU |    ETA ", "");
    }
    void classifiesLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, updates);
        QCOMPARE(describe(EncoderOutputParser().consume(line + u'\n')), updates);
    }

    void readsLines_data()
    {
        // Each chunk starts with its stream, o(utput) or e(rror); a broken sequence gives U+FFFD per byte.
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QStringList>("lines"); // then the incomplete line and what the streams held back
        const auto row = [](const char *name, const QByteArrayList &chunks, const QStringList &lines) {
            QTest::newRow(name) << chunks << lines;
        };
        row("every terminator", {"ov\r\nw\rx\xE2\x80\xA8y\xE2\x80\xA9z\n"}, {"v", "w", "x", "y", "z", ""});
        row("CR LF split", {"oa\r", "o\nb\n"}, {"a", "", "b", ""});
        row("four-byte character split", {"e\xF0\x9F", "e\x98\x80\n"}, {QStringLiteral("\U0001F600"), ""});
        row("joined across streams", {"oa\xE2\x82", "eb\n", "o\xAC\n"}, {"ab", "€", ""});
        row("unfinished at the end", {"oa\xC3"}, {QStringLiteral("a\uFFFD")});
    }
    void readsLines()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QStringList, lines);
        EncoderOutputParser parser;
        QStringList taken;
        for (const QByteArray &chunk : chunks)
            taken << parser.takeLines(parser.decode(Stream(chunk.startsWith('e')), chunk.mid(1)));
        taken << parser.pendingText() + parser.finishStream(Stream::Output) +
                     parser.finishStream(Stream::Error);
        QCOMPARE(taken, lines);
    }

    void replaysTranscripts_data()
    {
        QTest::addColumn<QString>("shown"); // the last update of each field, in the order of the fields
        const QString cbr = "E3.100; L16538-17071; P116/116=100% 0:00";
        for (const char *name : {"cbr_factory", "raw_input", "utf8_file_name", "latin1_file_name"})
            QTest::newRow(name) << cbr;
        for (const char *name : {"vbr", "abr"})
            QTest::newRow(name) << QString("E3.100; L17249-17782; P116/116=100% 0:00");
        QTest::newRow("highpass_lowpass") << QString("E3.100; L15097-15484; H516-903; P85/85=100% 0:00");
        QTest::newRow("highpass_disabled") << QString("E3.100; L16538-17071; Hoff; P116/116=100% 0:00");
        QTest::newRow("lowpass_disabled") << QString("E3.100; Loff; P116/116=100% 0:00");
        QTest::newRow("long_file") << QString("E3.100; L16538-17071; P10337/10337=100% 0:00");
        QTest::newRow("missing_input") << QString();
        QTest::newRow("unwritable_output") << QString();
    }
    void replaysTranscripts()
    {
        QFETCH(QString, shown);
        const auto recorded =
            load(QStringLiteral(ORVIK_TEST_DATA "/transcripts/%1.txt").arg(QTest::currentDataTag()));
        QVERIFY(!recorded.isEmpty());
        const QStringList asRecorded = replay(recorded);
        QCOMPARE(asRecorded.at(0), shown);
        // The log holds every character of both streams, whatever their encoding.
        QByteArray bytes[2];
        for (const auto &[stream, chunk] : recorded)
            bytes[int(stream)] += chunk;
        QCOMPARE(asRecorded.mid(2), (QStringList{QString::fromUtf8(bytes[0]), QString::fromUtf8(bytes[1])}));
        // However the bytes are cut, the same lines give the same updates in the same order.
        for (qsizetype size = 1; size <= bytes[0].size() + bytes[1].size(); ++size)
            QVERIFY2(replay(rechunk(recorded, size)) == asRecorded,
                     qPrintable(QStringLiteral("cut into pieces of %1 bytes").arg(size)));
    }
};

QTEST_GUILESS_MAIN(EncoderOutputParserTest)
#include "tst_EncoderOutputParser.moc"
