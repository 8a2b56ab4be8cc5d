// The encoder output parser: line forms, line ends, decoding of split and broken UTF-8, and replays
// of real lame 3.100 output in the chunks it arrived in and in every other chunking.
#include "core/EncoderOutputParser.h"
#include "support/EncoderTranscript.h"

#include <QMap>
#include <QTest>

using Stream = EncoderOutputParser::Stream;
using Update = EncoderOutputParser::Update;

namespace {
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

// A frame-progress line as lame 3.100 prints it, with the given counts.
QString record(const char *counts)
{
    return QString::asprintf("%-13s (25%%)|    0:01/    0:04|    0:01/    0:04|   45.000x|    0:03 ", counts);
}

// What the parser makes of the chunks: the last update of each field, in the order of the
// fields, every update, and the logged text of each stream.
QStringList replay(const QList<EncoderTranscript::Chunk> &chunks)
{
    EncoderOutputParser parser;
    QList<Update> updates;
    QString logged[2];
    for (const auto &[stream, bytes] : chunks) {
        const QString text = parser.decode(stream, bytes);
        logged[int(stream)] += text;
        updates << parser.consume(text);
    }
    QMap<EncoderOutputParser::Field, Update> last;
    for (const Update &update : updates)
        last.insert(update.field, update);
    for (Stream stream : {Stream::Output, Stream::Error})
        logged[int(stream)] += parser.finishStream(stream);
    return {describe(last.values()), describe(updates), logged[0], logged[1]};
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
        row("LAME and a word", "LAME encoder", "");
        row("LAME version and spaces", "LAME version   ", "");
        row("model version, one of two periods dropped", "GPSYCHO: psycho-acoustic model version 1.0.. ",
            "M1.0.");
        row("model without version", "GPSYCHO: psycho-acoustic model", "");
        row("old lowpass notice", "Must specify lowpass with --lowpass freq", "Loff");
        row("band without dash", "polyphase lowpass band: 100 Hz", "");
        row("band without second number", "polyphase highpass band: 5 - Hz", "");
        row("highpass notice without period", "Warning: highpass filter disabled", "");
        row("lowpass wins over highpass notice",
            "polyphase lowpass band: 1 Hz - 2 Hz, Warning: highpass filter disabled.", "L1-2");
        row("29 of 100 is 29%", record("    29/100"), "P29/100=29% 0:03");
        row("more done than total", record("   700/600"), "P600/600=100% 0:03");
        row("counts beyond 64 bits", QString(30, u'9'), "P9223372036854775807/9223372036854775807=100%");
        row("total of zero", record("     0/0"), "");
        row("ends at column 7", "   150/", "");
        row("shorter than column 67", "   150/600    (25%)|", "P150/600=25%");
        row("header", "    Frame          |  CPU time/estim | REAL time/estim | play/CPU |    ETA ", "");
    }
    void classifiesLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, updates);
        EncoderOutputParser parser;
        QCOMPARE(describe(parser.consume(line + u'\n')), updates);
    }

    void readsLines_data()
    {
        // Chunks are written with their stream first: "o..." standard output, "e..." standard error.
        // A broken sequence gives one U+FFFD per byte, as when the stream is decoded in one piece.
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("left"); // the incomplete line, then what the streams held back
        const auto row = [](const char *name, const QByteArrayList &chunks, const QStringList &lines,
                            const QString &left = {}) { QTest::newRow(name) << chunks << lines << left; };
        row("joined across streams", {"oLAME 3.", "e100\n"}, {"LAME 3.100"});
        row("every terminator", {"ov\r\nw\rx\xE2\x80\xA8y\xE2\x80\xA9z\n"}, {"v", "w", "x", "y", "z"});
        row("CR LF split", {"oa\r", "o\nb\n"}, {"a", "", "b"});
        row("four-byte character split", {"e\xF0\x9F", "e\x98\x80\n"}, {QStringLiteral("\U0001F600")});
        row("other stream in between", {"oa\xE2\x82", "eb\n", "o\xAC\n"}, {"ab", "€"});
        row("unfinished at the end", {"oa\xC3"}, {}, QStringLiteral("a\uFFFD"));
    }
    void readsLines()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QStringList, lines);
        QFETCH(QString, left);
        EncoderOutputParser parser;
        QStringList taken;
        for (const QByteArray &chunk : chunks)
            taken << parser.takeLines(
                parser.decode(chunk.startsWith('o') ? Stream::Output : Stream::Error, chunk.mid(1)));
        QCOMPARE(taken, lines);
        QCOMPARE(parser.pendingText() + parser.finishStream(Stream::Output) +
                     parser.finishStream(Stream::Error),
                 left);
    }

    void replaysTranscripts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown"); // the last update of each field, in the order of the fields
        const auto row = [](const char *name, const char *shown) {
            QTest::newRow(name) << QString(name) << QString(shown);
        };
        const char *cbr = "E3.100; L16538-17071; P116/116=100% 0:00";
        for (const char *name : {"cbr_factory", "raw_input", "utf8_file_name", "latin1_file_name"})
            row(name, cbr);
        row("vbr", "E3.100; L17249-17782; P116/116=100% 0:00");
        row("abr", "E3.100; L17249-17782; P116/116=100% 0:00");
        row("highpass_lowpass", "E3.100; L15097-15484; H516-903; P85/85=100% 0:00");
        row("highpass_disabled", "E3.100; L16538-17071; Hoff; P116/116=100% 0:00");
        row("lowpass_disabled", "E3.100; Loff; P116/116=100% 0:00");
        row("long_file", "E3.100; L16538-17071; P10337/10337=100% 0:00");
        row("missing_input", "");
        row("unwritable_output", "");
    }
    void replaysTranscripts()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        const auto recorded =
            EncoderTranscript::load(QStringLiteral(ORVIK_TEST_DATA "/transcripts/%1.txt").arg(name));
        QVERIFY(!recorded.isEmpty());
        const QStringList asRecorded = replay(recorded);
        QCOMPARE(asRecorded.at(0), shown);
        // The log holds every character of both streams, whatever their encoding.
        qsizetype total = 0;
        for (Stream stream : {Stream::Output, Stream::Error}) {
            const QByteArray bytes = EncoderTranscript::streamBytes(recorded, stream);
            QCOMPARE(asRecorded.at(2 + int(stream)), QString::fromUtf8(bytes));
            total += bytes.size();
        }
        // However the bytes are cut, the same lines give the same updates in the same order.
        for (qsizetype size = 1; size <= total; ++size)
            QVERIFY2(replay(EncoderTranscript::rechunk(recorded, size)) == asRecorded,
                     qPrintable(QStringLiteral("cut into pieces of %1 bytes").arg(size)));
    }
};

QTEST_GUILESS_MAIN(EncoderOutputParserTest)
#include "tst_EncoderOutputParser.moc"
