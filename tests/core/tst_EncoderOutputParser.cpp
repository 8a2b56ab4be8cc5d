// The encoder output parser: line forms, line ends, decoding of split and broken UTF-8, and replays
// of real lame 3.100 output in the chunks it arrived in and in every other chunking.
#include "core/EncoderOutputParser.h"
#include "support/EncoderTranscript.h"

#include <QLocale>
#include <QMap>
#include <QTest>

using Field = EncoderOutputParser::Field;
using Stream = EncoderOutputParser::Stream;
using Update = EncoderOutputParser::Update;

namespace {
QStringList describe(const QList<Update> &updates)
{
    static const char *const names[] = {"version=", "model=", "lowpass=", "highpass=", "eta=", "bar="};
    QStringList result;
    for (const Update &u : updates)
        result << names[int(u.field)] +
                      (u.field == Field::Progress ? QString::number(u.fraction, 'f', 4) : u.text);
    return result;
}

// What the sheet shows in the end: the last update of each field, in the order of the fields.
QStringList sheet(const QList<Update> &updates)
{
    QMap<Field, QString> last;
    for (const Update &update : updates)
        last[update.field] = describe({update}).constFirst();
    return last.values();
}

struct Replay
{
    QList<Update> updates;
    QString logged[2];
};

Replay replay(const QList<EncoderTranscript::Chunk> &chunks)
{
    EncoderOutputParser parser;
    Replay result;
    for (const EncoderTranscript::Chunk &chunk : chunks) {
        const QString text = parser.decode(chunk.stream, chunk.bytes);
        result.logged[int(chunk.stream)] += text;
        result.updates << parser.consume(text);
    }
    for (Stream stream : {Stream::Output, Stream::Error})
        result.logged[int(stream)] += parser.finishStream(stream);
    return result;
}

// A frame-progress line as lame 3.100 prints it, with the given counts.
QString record(const char *counts)
{
    return QString::asprintf("%-13s (25%%)|    0:01/    0:04|    0:01/    0:04|   45.000x|    0:03 ", counts);
}

// Chunks are written with their stream first: "o..." standard output, "e..." standard error.
Stream streamOf(const QByteArray &chunk)
{
    return chunk.startsWith('o') ? Stream::Output : Stream::Error;
}
} // namespace

class EncoderOutputParserTest : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void classifiesLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("updates");
        const QStringList none;
        QTest::newRow("lame 3.100 banner")
            << "LAME 3.100 64bits (http://lame.sf.net)" << QStringList{"version=LAME version 3.100"};
        QTest::newRow("older banner")
            << "LAME version 3.93 MMX  (http://www.mp3dev.org/)" << QStringList{"version=LAME version 3.93"};
        QTest::newRow("LAME and a word") << "LAME encoder" << none;
        QTest::newRow("model version, period dropped")
            << "GPSYCHO: GPL psycho-acoustic and noise shaping model version 0.93. "
            << QStringList{"model=GPSYCHO version 0.93"};
        QTest::newRow("model version, one of two periods dropped")
            << "GPSYCHO: model version 1.0.." << QStringList{"model=GPSYCHO version 1.0."};
        QTest::newRow("model without version") << "GPSYCHO: psycho-acoustic model" << none;
        QTest::newRow("lowpass notice") << "Must specify lowpass with --lowpass freq"
                                        << QStringList{"lowpass=Warning: Low pass filter disabled"};
        QTest::newRow("lowpass band, padded")
            << "Using polyphase lowpass filter, transition band:  3645 Hz -  3742 Hz"
            << QStringList{"lowpass=Upper transition band: 3645 Hz - 3742 Hz"};
        QTest::newRow("band without dash") << "polyphase lowpass band: 100 Hz" << none;
        QTest::newRow("band without first number") << "polyphase lowpass band: n/a - 5" << none;
        QTest::newRow("band without second number") << "polyphase lowpass band: 5 - Hz" << none;
        QTest::newRow("highpass notice without period") << "Warning: highpass filter disabled" << none;
        QTest::newRow("lowpass wins over highpass notice")
            << "polyphase lowpass band: 1 Hz - 2 Hz, Warning: highpass filter disabled."
            << QStringList{"lowpass=Upper transition band: 1 Hz - 2 Hz"};
        QTest::newRow("150 of 600") << record("   150/600")
                                    << QStringList{"bar=0.2500", "eta=ETA: 0:03 (25%)"};
        QTest::newRow("999 of 1000 is 99%")
            << record("   999/1000") << QStringList{"bar=0.9990", "eta=ETA: 0:03 (99%)"};
        QTest::newRow("29 of 100 is 29%")
            << record("    29/100") << QStringList{"bar=0.2900", "eta=ETA: 0:03 (29%)"};
        QTest::newRow("six-digit counts")
            << record("123456/987654") << QStringList{"bar=0.1250", "eta=ETA: 0:03 (12%)"};
        QTest::newRow("more done than total")
            << record("   700/600") << QStringList{"bar=1.0000", "eta=ETA: 0:03 (100%)"};
        QTest::newRow("first record, no total")
            << "     0/       ( 0%)|    0:00/     :  |    0:00/     :  |         x|     :  " << none;
        QTest::newRow("total of zero") << record("     0/0") << none;
        QTest::newRow("shorter than column 7") << "   150" << none;
        QTest::newRow("ends at column 7") << "   150/" << none;
        QTest::newRow("shorter than column 67") << "   150/600    (25%)|" << QStringList{"bar=0.2500"};
        QTest::newRow("nothing after column 67")
            << "   150/600    (25%)|    0:01/    0:04|    0:01/    0:04|   45.000x|          "
            << QStringList{"bar=0.2500"};
        QTest::newRow("starts with a letter") << "Frame " + record("150/600") << none;
        QTest::newRow("starts with a tab") << "\t150/600" << none;
        QTest::newRow("header")
            << "    Frame          |  CPU time/estim | REAL time/estim | play/CPU |    ETA " << none;
    }

    void classifiesLines()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, updates);
        QCOMPARE(describe(EncoderOutputParser::classifyLine(line)), updates);
    }

    void cutsLines_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("pending");
        QTest::newRow("partial line waits") << QByteArrayList{"oone\ntw"} << QStringList{"one"} << "tw";
        QTest::newRow("joined across chunks")
            << QByteArrayList{"opar", "otial\nrest"} << QStringList{"partial"} << "rest";
        QTest::newRow("joined across streams")
            << QByteArrayList{"oLAME 3.", "e100\n"} << QStringList{"LAME 3.100"} << "";
        QTest::newRow("every terminator") << QByteArrayList{"ov\r\nw\rx\xE2\x80\xA8y\xE2\x80\xA9z\n"}
                                          << QStringList{"v", "w", "x", "y", "z"} << "";
        QTest::newRow("CR LF split") << QByteArrayList{"oa\r", "o\nb\n"} << QStringList{"a", "", "b"} << "";
        QTest::newRow("records ending in CR")
            << QByteArrayList{"e\r  1/2\r", "e  2/2\r"} << QStringList{"", "  1/2", "  2/2"} << "";
        QTest::newRow("empty lines kept") << QByteArrayList{"ex\n\ny\n"} << QStringList{"x", "", "y"} << "";
    }

    void cutsLines()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QStringList, lines);
        QFETCH(QString, pending);
        EncoderOutputParser parser;
        QStringList taken;
        for (const QByteArray &chunk : chunks)
            taken << parser.takeLines(parser.decode(streamOf(chunk), chunk.mid(1)));
        QCOMPARE(taken, lines);
        QCOMPARE(parser.pendingText(), pending);
    }

    void decodesEachStream_data()
    {
        // The texts are those of each stream's bytes decoded in one piece (one U+FFFD per byte of a
        // broken sequence).
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("atEnd");
        QTest::newRow("two-byte character split")
            << QByteArrayList{"oA\xC3", "o\xA9!"} << QStringList{"A", "é!"} << "";
        QTest::newRow("three-byte character in three chunks")
            << QByteArrayList{"o\xE2", "o\x82", "o\xAC"} << QStringList{"", "", "€"} << "";
        QTest::newRow("four-byte character split") << QByteArrayList{"e\xF0\x9F", "e\x98\x80\n"}
                                                   << QStringList{"", QStringLiteral("\U0001F600\n")} << "";
        QTest::newRow("other stream in between")
            << QByteArrayList{"oa\xE2\x82", "eb\n", "o\xAC\n"} << QStringList{"a", "b\n", "€\n"} << "";
        QTest::newRow("unfinished character before a line feed")
            << QByteArrayList{"oa\xE2\x82", "o\n"} << QStringList{"a", QStringLiteral("\uFFFD\uFFFD\n")}
            << "";
        QTest::newRow("unfinished character before a whole one")
            << QByteArrayList{"o\xE2\x82", "o\xE2\x82\xAC"}
            << QStringList{"", QStringLiteral("\uFFFD\uFFFD€")} << "";
        QTest::newRow("invalid byte")
            << QByteArrayList{"e\xFFz"} << QStringList{QStringLiteral("\uFFFDz")} << "";
        QTest::newRow("stray continuation byte")
            << QByteArrayList{"e\x80"} << QStringList{QStringLiteral("\uFFFD")} << "";
        QTest::newRow("unfinished at the end")
            << QByteArrayList{"oa\xC3"} << QStringList{"a"} << QStringLiteral("\uFFFD");
    }

    void decodesEachStream()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(QStringList, texts);
        QFETCH(QString, atEnd);
        EncoderOutputParser parser;
        QStringList decoded;
        for (const QByteArray &chunk : chunks)
            decoded << parser.decode(streamOf(chunk), chunk.mid(1));
        QCOMPARE(decoded, texts);
        QCOMPARE(parser.finishStream(Stream::Output) + parser.finishStream(Stream::Error), atEnd);
    }

    void replaysTranscripts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("finished"); // the sheet shows lame 3.100 at 100%
        QTest::addColumn<QStringList>("bands");
        QTest::addColumn<QString>("logged"); // a text the log must hold
        const QStringList band{"lowpass=Upper transition band: 16538 Hz - 17071 Hz"};
        const QStringList vbrBand{"lowpass=Upper transition band: 17249 Hz - 17782 Hz"};
        QTest::newRow("factory CBR") << "cbr_factory" << true << band << QString();
        QTest::newRow("VBR") << "vbr" << true << vbrBand << QString();
        QTest::newRow("ABR") << "abr" << true << vbrBand << QString();
        QTest::newRow("raw input") << "raw_input" << true << band << QString();
        QTest::newRow("high and low pass")
            << "highpass_lowpass" << true
            << QStringList{"lowpass=Upper transition band: 15097 Hz - 15484 Hz",
                           "highpass=Lower transition band: 516 Hz - 903 Hz"}
            << QString();
        QTest::newRow("high pass disabled")
            << "highpass_disabled" << true
            << band + QStringList{"highpass=Warning: High pass filter disabled"} << QString();
        QTest::newRow("low pass disabled")
            << "lowpass_disabled" << true << QStringList{"lowpass=Warning: Low pass filter disabled"}
            << QString();
        QTest::newRow("over 10,000 frames") << "long_file" << true << band << QString();
        QTest::newRow("UTF-8 file name")
            << "utf8_file_name" << true << band
            << QStringLiteral("Encoding café – ünïcode.wav to café – ünïcode.mp3\n");
        QTest::newRow("Latin-1 file name") << "latin1_file_name" << true << band
                                           << QStringLiteral("Encoding caf\uFFFD.wav to caf\uFFFD.mp3\n");
        QTest::newRow("missing input")
            << "missing_input" << false << QStringList() << "Can't init infile 'nosuchfile.wav'\n";
        QTest::newRow("unwritable output")
            << "unwritable_output" << false << QStringList() << "Can't init outfile 'notafolder/short.mp3'\n";
    }

    void replaysTranscripts()
    {
        QFETCH(QString, name);
        QFETCH(bool, finished);
        QFETCH(QStringList, bands);
        QFETCH(QString, logged);
        const QString path = QStringLiteral(ORVIK_TEST_DATA "/transcripts/") + name + QStringLiteral(".txt");
        const QList<EncoderTranscript::Chunk> recorded = EncoderTranscript::load(path);
        QVERIFY2(!recorded.isEmpty(), qPrintable(path));

        const Replay asRecorded = replay(recorded);
        const QStringList shown = QStringList{"version=LAME version 3.100"} + bands +
                                  QStringList{"eta=ETA: 0:00 (100%)", "bar=1.0000"};
        QCOMPARE(sheet(asRecorded.updates), finished ? shown : QStringList());
        QVERIFY(asRecorded.logged[int(Stream::Error)].contains(logged));
        // The log holds every character of both streams.
        qsizetype total = 0;
        for (Stream stream : {Stream::Output, Stream::Error}) {
            const QByteArray bytes = EncoderTranscript::streamBytes(recorded, stream);
            QCOMPARE(asRecorded.logged[int(stream)], QString::fromUtf8(bytes));
            total += bytes.size();
        }
        // However the bytes are cut, the same lines give the same updates in the same order.
        const QStringList expected = describe(asRecorded.updates);
        for (qsizetype size = 1; size <= total; ++size) {
            const Replay cut = replay(EncoderTranscript::rechunk(recorded, size));
            if (describe(cut.updates) != expected || cut.logged[0] != asRecorded.logged[0] ||
                cut.logged[1] != asRecorded.logged[1])
                QFAIL(
                    qPrintable(QStringLiteral("replay differs when cut into pieces of %1 bytes").arg(size)));
        }
    }
};

QTEST_GUILESS_MAIN(EncoderOutputParserTest)
#include "tst_EncoderOutputParser.moc"
