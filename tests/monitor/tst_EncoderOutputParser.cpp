// The encoder output parser: line forms, line ends, decoding of split and broken UTF-8, and
// replays of real lame 3.100 output in the chunks it arrived in and in every other chunking.
#include "monitor/EncoderOutputParser.h"
#include "support/EncoderTranscript.h"

#include <QLocale>
#include <QTest>

using Field = EncoderOutputParser::Field;
using Stream = EncoderOutputParser::Stream;
using Update = EncoderOutputParser::Update;

namespace {
QString describe(const Update &update)
{
    switch (update.field) {
    case Field::EncoderVersion:
        return QStringLiteral("version=") + update.text;
    case Field::ModelVersion:
        return QStringLiteral("model=") + update.text;
    case Field::LowPass:
        return QStringLiteral("lowpass=") + update.text;
    case Field::HighPass:
        return QStringLiteral("highpass=") + update.text;
    case Field::RemainingTime:
        return QStringLiteral("eta=") + update.text;
    case Field::Progress:
        return QStringLiteral("bar=") + QString::number(update.fraction, 'f', 4);
    }
    return QString();
}

QStringList describe(const QList<Update> &updates)
{
    QStringList result;
    for (const Update &update : updates)
        result << describe(update);
    return result;
}

// What the sheet shows after a series of updates.
struct SheetTexts
{
    QString version, model, lowPass, highPass, eta;
    double bar = 0.0;
    void apply(const QList<Update> &updates)
    {
        for (const Update &update : updates) {
            switch (update.field) {
            case Field::EncoderVersion:
                version = update.text;
                break;
            case Field::ModelVersion:
                model = update.text;
                break;
            case Field::LowPass:
                lowPass = update.text;
                break;
            case Field::HighPass:
                highPass = update.text;
                break;
            case Field::RemainingTime:
                eta = update.text;
                break;
            case Field::Progress:
                bar = update.fraction;
                break;
            }
        }
    }
};

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

QString transcriptPath(const QString &name)
{
    return QStringLiteral(ORVIK_TEST_DATA "/transcripts/") + name + QStringLiteral(".txt");
}

// A frame-progress record as lame 3.100 prints it, with the given count done, total and ETA.
QString record(const char *counts, const char *eta = "0:03")
{
    return QString::asprintf("%-13s (25%%)|    0:01/    0:04|    0:01/    0:04|   45.000x|    %s ", counts,
                             eta);
}
} // namespace

class EncoderOutputParserTest : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void classifiesLines_data();
    void classifiesLines();
    void cutsLines_data();
    void cutsLines();
    void decodesEachStream_data();
    void decodesEachStream();
    void replaysTranscripts_data();
    void replaysTranscripts();
};

void EncoderOutputParserTest::classifiesLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("updates");

    QTest::newRow("lame 3.100 banner")
        << "LAME 3.100 64bits (http://lame.sf.net)" << QStringList{"version=LAME version 3.100"};
    QTest::newRow("older banner") << "LAME version 3.93 MMX  (http://www.mp3dev.org/)"
                                  << QStringList{"version=LAME version 3.93"};
    QTest::newRow("version without token") << "LAME version   " << QStringList{};
    QTest::newRow("LAME and a word") << "LAME encoder" << QStringList{};
    QTest::newRow("model version") << "GPSYCHO: GPL psycho-acoustic and noise shaping model version 0.93. "
                                   << QStringList{"model=GPSYCHO version 0.93"};
    QTest::newRow("model version, two periods")
        << "GPSYCHO: model version 1.0.." << QStringList{"model=GPSYCHO version 1.0."};
    QTest::newRow("model without version") << "GPSYCHO: psycho-acoustic model" << QStringList{};
    QTest::newRow("model version without token") << "GPSYCHO: version  " << QStringList{};
    QTest::newRow("model without trailing space") << "GPSYCHO:version 1" << QStringList{};
    QTest::newRow("lowpass notice") << "Must specify lowpass with --lowpass freq"
                                    << QStringList{"lowpass=Warning: Low pass filter disabled"};
    QTest::newRow("lowpass band") << "Using polyphase lowpass filter, transition band: 16538 Hz - 17071 Hz"
                                  << QStringList{"lowpass=Upper transition band: 16538 Hz - 17071 Hz"};
    QTest::newRow("lowpass band, padded")
        << "Using polyphase lowpass filter, transition band:  3645 Hz -  3742 Hz"
        << QStringList{"lowpass=Upper transition band: 3645 Hz - 3742 Hz"};
    QTest::newRow("lowpass off, no band") << "polyphase lowpass filter disabled" << QStringList{};
    QTest::newRow("band without dash") << "polyphase lowpass band: 100 Hz" << QStringList{};
    QTest::newRow("band without first number") << "polyphase lowpass band: n/a - 5" << QStringList{};
    QTest::newRow("band without second number") << "polyphase lowpass band: 5 - Hz" << QStringList{};
    QTest::newRow("highpass notice") << "Warning: highpass filter disabled.  highpass frequency too small"
                                     << QStringList{"highpass=Warning: High pass filter disabled"};
    QTest::newRow("highpass notice without period") << "Warning: highpass filter disabled" << QStringList{};
    QTest::newRow("highpass band") << "Using polyphase highpass filter, transition band:   711 Hz -  1245 Hz"
                                   << QStringList{"highpass=Lower transition band: 711 Hz - 1245 Hz"};
    QTest::newRow("lowpass wins over highpass notice")
        << "polyphase lowpass band: 1 Hz - 2 Hz, Warning: highpass filter disabled."
        << QStringList{"lowpass=Upper transition band: 1 Hz - 2 Hz"};
    QTest::newRow("quarter done") << record("   150/600") << QStringList{"bar=0.2500", "eta=ETA: 0:03 (25%)"};
    QTest::newRow("all done") << record("   600/600", "0:00")
                              << QStringList{"bar=1.0000", "eta=ETA: 0:00 (100%)"};
    QTest::newRow("almost done") << record("   999/1000") << QStringList{"bar=0.9990", "eta=ETA: 0:03 (99%)"};
    QTest::newRow("29 of 100 is 29%")
        << record("    29/100") << QStringList{"bar=0.2900", "eta=ETA: 0:03 (29%)"};
    QTest::newRow("57 of 100 is 57%")
        << record("    57/100") << QStringList{"bar=0.5700", "eta=ETA: 0:03 (57%)"};
    QTest::newRow("six-digit counts")
        << record("123456/987654") << QStringList{"bar=0.1250", "eta=ETA: 0:03 (12%)"};
    QTest::newRow("more done than total")
        << record("   700/600") << QStringList{"bar=1.0000", "eta=ETA: 0:03 (100%)"};
    QTest::newRow("first record, no total")
        << "     0/       ( 0%)|    0:00/     :  |    0:00/     :  |         x|     :  " << QStringList{};
    QTest::newRow("total of zero") << record("     0/0") << QStringList{};
    QTest::newRow("shorter than column 7") << "   150" << QStringList{};
    QTest::newRow("ends at column 7") << "   150/" << QStringList{};
    QTest::newRow("shorter than column 67") << "   150/600    (25%)|" << QStringList{"bar=0.2500"};
    QTest::newRow("nothing after column 67")
        << "   150/600    (25%)|    0:01/    0:04|    0:01/    0:04|   45.000x|          "
        << QStringList{"bar=0.2500"};
    QTest::newRow("starts with a letter")
        << "Frame 150/600    (25%)|    0:01/    0:04|    0:01/    0:04|   45.000x|    0:03" << QStringList{};
    QTest::newRow("starts with a tab") << "\t150/600" << QStringList{};
    QTest::newRow("space without number")
        << "    Frame          |  CPU time/estim | REAL time/estim | play/CPU |    ETA " << QStringList{};
    QTest::newRow("empty line") << "" << QStringList{};
}

void EncoderOutputParserTest::classifiesLines()
{
    QFETCH(QString, line);
    QFETCH(QStringList, updates);
    QCOMPARE(describe(EncoderOutputParser::classifyLine(line)), updates);
}

void EncoderOutputParserTest::cutsLines_data()
{
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("pending");

    QTest::newRow("partial line waits") << QStringList{"one\ntw"} << QStringList{"one"} << "tw";
    QTest::newRow("joined across chunks")
        << QStringList{"par", "tial\nrest"} << QStringList{"partial"} << "rest";
    QTest::newRow("every terminator") << QStringList{QStringLiteral("a\r\nb\rc\u2028d\u2029e\n")}
                                      << QStringList{"a", "b", "c", "d", "e"} << "";
    QTest::newRow("CR LF split") << QStringList{"a\r", "\nb\n"} << QStringList{"a", "", "b"} << "";
    QTest::newRow("records ending in CR")
        << QStringList{"\r  1/2\r", "  2/2\r"} << QStringList{"", "  1/2", "  2/2"} << "";
    QTest::newRow("empty lines kept") << QStringList{"x\n\ny\n"} << QStringList{"x", "", "y"} << "";
    QTest::newRow("no terminator at all") << QStringList{"abc", "def"} << QStringList{} << "abcdef";
}

void EncoderOutputParserTest::cutsLines()
{
    QFETCH(QStringList, chunks);
    QFETCH(QStringList, lines);
    QFETCH(QString, pending);
    EncoderOutputParser parser;
    QStringList taken;
    for (const QString &chunk : chunks)
        taken << parser.takeLines(chunk);
    QCOMPARE(taken, lines);
    QCOMPARE(parser.pendingText(), pending);
}

void EncoderOutputParserTest::decodesEachStream_data()
{
    // Chunks as "o:<hex>" (standard output) or "e:<hex>" (standard error). The texts are those of
    // the stream's bytes decoded in one piece (Qt gives one U+FFFD per byte of a broken sequence).
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("atEnd");

    QTest::newRow("two-byte character split")
        << QStringList{"o:41c3", "o:a942"} << QStringList{"A", "éB"} << "";
    QTest::newRow("three-byte character in three chunks")
        << QStringList{"o:e2", "o:82", "o:ac"} << QStringList{"", "", "€"} << "";
    QTest::newRow("four-byte character split")
        << QStringList{"e:f09f", "e:98800a"} << QStringList{"", QStringLiteral("\U0001F600\n")} << "";
    QTest::newRow("other stream in between")
        << QStringList{"o:61e282", "e:620a", "o:ac0a"} << QStringList{"a", "b\n", "€\n"} << "";
    QTest::newRow("unfinished character before a line feed")
        << QStringList{"o:61e282", "o:0a"} << QStringList{"a", QStringLiteral("\uFFFD\uFFFD\n")} << "";
    QTest::newRow("unfinished character before a whole one")
        << QStringList{"o:e282", "o:e282ac"} << QStringList{"", QStringLiteral("\uFFFD\uFFFD€")} << "";
    QTest::newRow("invalid byte") << QStringList{"e:ff41"} << QStringList{QStringLiteral("\uFFFDA")} << "";
    QTest::newRow("stray continuation byte")
        << QStringList{"e:80"} << QStringList{QStringLiteral("\uFFFD")} << "";
    QTest::newRow("unfinished at the end")
        << QStringList{"o:61c3"} << QStringList{"a"} << QStringLiteral("\uFFFD");
}

void EncoderOutputParserTest::decodesEachStream()
{
    QFETCH(QStringList, chunks);
    QFETCH(QStringList, texts);
    QFETCH(QString, atEnd);
    EncoderOutputParser parser;
    QStringList decoded;
    for (const QString &chunk : chunks) {
        const Stream stream = chunk.startsWith(u'o') ? Stream::Output : Stream::Error;
        decoded << parser.decode(stream, QByteArray::fromHex(chunk.mid(2).toLatin1()));
    }
    QCOMPARE(decoded, texts);
    QCOMPARE(parser.finishStream(Stream::Output) + parser.finishStream(Stream::Error), atEnd);
}

void EncoderOutputParserTest::replaysTranscripts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("highPass");
    QTest::addColumn<QString>("lowPass");
    QTest::addColumn<QString>("eta");
    QTest::addColumn<double>("bar");
    QTest::addColumn<QString>("logged"); // a text the log must hold

    const QString v3100 = QStringLiteral("LAME version 3.100");
    const QString done = QStringLiteral("ETA: 0:00 (100%)");
    const QString band = QStringLiteral("Upper transition band: 16538 Hz - 17071 Hz");
    const QString vbrBand = QStringLiteral("Upper transition band: 17249 Hz - 17782 Hz");
    QTest::newRow("factory CBR") << "cbr_factory" << v3100 << "" << band << done << 1.0 << QString();
    QTest::newRow("VBR") << "vbr" << v3100 << "" << vbrBand << done << 1.0 << QString();
    QTest::newRow("ABR") << "abr" << v3100 << "" << vbrBand << done << 1.0 << QString();
    QTest::newRow("raw input") << "raw_input" << v3100 << "" << band << done << 1.0 << QString();
    QTest::newRow("high and low pass")
        << "highpass_lowpass" << v3100 << "Lower transition band: 516 Hz - 903 Hz"
        << "Upper transition band: 15097 Hz - 15484 Hz" << done << 1.0 << QString();
    QTest::newRow("high pass disabled")
        << "highpass_disabled" << v3100 << "Warning: High pass filter disabled" << band << done << 1.0
        << QString();
    QTest::newRow("low pass disabled") << "lowpass_disabled" << v3100 << ""
                                       << "" << done << 1.0 << QString();
    QTest::newRow("over 10,000 frames") << "long_file" << v3100 << "" << band << done << 1.0 << QString();
    QTest::newRow("UTF-8 file name") << "utf8_file_name" << v3100 << "" << band << done << 1.0
                                     << QStringLiteral("Encoding café – ünïcode.wav to café – ünïcode.mp3\n");
    QTest::newRow("Latin-1 file name") << "latin1_file_name" << v3100 << "" << band << done << 1.0
                                       << QStringLiteral("Encoding caf\uFFFD.wav to caf\uFFFD.mp3\n");
    const QString none;
    QTest::newRow("missing input") << "missing_input" << none << none << none << none << 0.0
                                   << "Can't init infile 'nosuchfile.wav'\n";
    QTest::newRow("unwritable output") << "unwritable_output" << none << none << none << none << 0.0
                                       << "Can't init outfile 'notafolder/short.mp3'\n";
}

void EncoderOutputParserTest::replaysTranscripts()
{
    QFETCH(QString, name);
    QFETCH(QString, version);
    QFETCH(QString, highPass);
    QFETCH(QString, lowPass);
    QFETCH(QString, eta);
    QFETCH(double, bar);
    QFETCH(QString, logged);

    const QList<EncoderTranscript::Chunk> recorded = EncoderTranscript::load(transcriptPath(name));
    QVERIFY2(!recorded.isEmpty(), qPrintable(transcriptPath(name)));

    const Replay asRecorded = replay(recorded);
    SheetTexts display;
    display.apply(asRecorded.updates);
    QCOMPARE(display.version, version);
    QCOMPARE(display.model, QString());
    QCOMPARE(display.highPass, highPass);
    QCOMPARE(display.lowPass, lowPass);
    QCOMPARE(display.eta, eta);
    QCOMPARE(display.bar, bar);

    // The log holds every character of both streams.
    for (Stream stream : {Stream::Output, Stream::Error})
        QCOMPARE(asRecorded.logged[int(stream)],
                 QString::fromUtf8(EncoderTranscript::streamBytes(recorded, stream)));

    QVERIFY(asRecorded.logged[int(Stream::Error)].contains(logged));

    // However the bytes are cut, the same lines give the same updates in the same order.
    const qsizetype total = EncoderTranscript::streamBytes(recorded, Stream::Output).size() +
                            EncoderTranscript::streamBytes(recorded, Stream::Error).size();
    const QStringList expected = describe(asRecorded.updates);
    for (qsizetype size = 1; size <= total; ++size) {
        const Replay cut = replay(EncoderTranscript::rechunk(recorded, size));
        if (describe(cut.updates) != expected)
            QFAIL(qPrintable(QStringLiteral("updates differ when cut into pieces of %1 bytes").arg(size)));
        if (cut.logged[1] != asRecorded.logged[1] || cut.logged[0] != asRecorded.logged[0])
            QFAIL(qPrintable(QStringLiteral("log differs when cut into pieces of %1 bytes").arg(size)));
    }
}

QTEST_GUILESS_MAIN(EncoderOutputParserTest)
#include "tst_EncoderOutputParser.moc"
