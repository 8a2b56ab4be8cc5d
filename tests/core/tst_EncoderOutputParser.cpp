// The encoder output parser: line forms, line ends, decoding of split and broken UTF-8, and replays
// of real lame 3.100 output in the chunks it arrived in and in every other chunking.
#include "core/EncoderOutputParser.h"
#include "support/EncoderTranscript.h"

#include <QMap>
#include <QTest>

using Field = EncoderOutputParser::Field;
using Stream = EncoderOutputParser::Stream;
using Update = EncoderOutputParser::Update;
using Updates = QList<Update>;

// How QCOMPARE shows an update that differs.
char *toString(const Update &u)
{
    return qstrdup(
        qPrintable(QString::asprintf("%d '%ls' %d %lld-%lld %lld/%lld %d%% '%ls'", int(u.field),
                                     qUtf16Printable(u.version), u.filterDisabled, u.bandLow, u.bandHigh,
                                     u.framesDone, u.framesTotal, u.percent, qUtf16Printable(u.timeLeft))));
}

namespace {
const auto version = [](Field field, const char *text) { return Update{.field = field, .version = text}; };
const auto off = [](Field field) { return Update{.field = field, .filterDisabled = true}; };
const auto band = [](Field field, qint64 low, qint64 high) {
    return Update{.field = field, .bandLow = low, .bandHigh = high};
};
const auto frames = [](qint64 done, qint64 total, int percent, const char *left) {
    return Update{Field::Progress, {}, false, 0, 0, done, total, percent, left};
};

// A frame-progress line as lame 3.100 prints it, with the given counts.
QString record(const char *counts)
{
    return QString::asprintf("%-13s (25%%)|    0:01/    0:04|    0:01/    0:04|   45.000x|    0:03 ", counts);
}

struct Replay
{
    Updates updates;
    QString logged[2];
    bool operator==(const Replay &other) const = default;
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
} // namespace

class EncoderOutputParserTest : public QObject
{
    Q_OBJECT
  private slots:
    void classifiesLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<Updates>("updates");
        const Updates none;
        const Field low = Field::LowPass;
        QTest::newRow("older banner") << "LAME version 3.93 MMX  (http://www.mp3dev.org/)"
                                      << Updates{version(Field::EncoderVersion, "3.93")};
        QTest::newRow("LAME and a word") << "LAME encoder" << none;
        QTest::newRow("LAME version and spaces") << "LAME version   " << none;
        QTest::newRow("model version, one of two periods dropped")
            << "GPSYCHO: psycho-acoustic model version 1.0.. "
            << Updates{version(Field::ModelVersion, "1.0.")};
        QTest::newRow("model without version") << "GPSYCHO: psycho-acoustic model" << none;
        QTest::newRow("old lowpass notice")
            << "Must specify lowpass with --lowpass freq" << Updates{off(low)};
        QTest::newRow("band, padded")
            << "polyphase lowpass band:  3645 Hz -  3742 Hz" << Updates{band(low, 3645, 3742)};
        QTest::newRow("band without dash") << "polyphase lowpass band: 100 Hz" << none;
        QTest::newRow("band without second number") << "polyphase highpass band: 5 - Hz" << none;
        QTest::newRow("highpass notice without period") << "Warning: highpass filter disabled" << none;
        QTest::newRow("lowpass wins over highpass notice")
            << "polyphase lowpass band: 1 Hz - 2 Hz, Warning: highpass filter disabled."
            << Updates{band(low, 1, 2)};
        QTest::newRow("29 of 100 is 29%") << record("    29/100") << Updates{frames(29, 100, 29, "0:03")};
        QTest::newRow("more done than total")
            << record("   700/600") << Updates{frames(600, 600, 100, "0:03")};
        QTest::newRow("counts beyond 64 bits")
            << QString(30, u'9') << Updates{frames(LLONG_MAX, LLONG_MAX, 100, "")};
        QTest::newRow("first record, no total")
            << "     0/       ( 0%)|    0:00/     :  |    0:00/     :  |         x|     :  " << none;
        QTest::newRow("total of zero") << record("     0/0") << none;
        QTest::newRow("ends at column 7") << "   150/" << none;
        QTest::newRow("shorter than column 67")
            << "   150/600    (25%)|" << Updates{frames(150, 600, 25, "")};
        QTest::newRow("starts with a letter") << "Frame " + record("150/600") << none;
        QTest::newRow("starts with a tab") << "\t150/600" << none;
        QTest::newRow("header")
            << "    Frame          |  CPU time/estim | REAL time/estim | play/CPU |    ETA " << none;
    }

    void classifiesLines()
    {
        QFETCH(QString, line);
        QFETCH(Updates, updates);
        EncoderOutputParser parser;
        QCOMPARE(parser.consume(line + u'\n'), updates);
    }

    void readsLines_data()
    {
        // Chunks are written with their stream first: "o..." standard output, "e..." standard error.
        // A broken sequence gives one U+FFFD per byte, as when the stream is decoded in one piece.
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("left"); // the incomplete line, then what the streams held back
        QTest::newRow("joined across streams")
            << QByteArrayList{"oLAME 3.", "e100\n"} << QStringList{"LAME 3.100"} << "";
        QTest::newRow("every terminator") << QByteArrayList{"ov\r\nw\rx\xE2\x80\xA8y\xE2\x80\xA9z\n"}
                                          << QStringList{"v", "w", "x", "y", "z"} << "";
        QTest::newRow("CR LF split") << QByteArrayList{"oa\r", "o\nb\n"} << QStringList{"a", "", "b"} << "";
        QTest::newRow("four-byte character split")
            << QByteArrayList{"e\xF0\x9F", "e\x98\x80\n"} << QStringList{QStringLiteral("\U0001F600")} << "";
        QTest::newRow("other stream in between")
            << QByteArrayList{"oa\xE2\x82", "eb\n", "o\xAC\n"} << QStringList{"ab", "€"} << "";
        QTest::newRow("invalid bytes")
            << QByteArrayList{"e\xFFz\x80\n"} << QStringList{"\uFFFDz\uFFFD"} << "";
        QTest::newRow("unfinished at the end")
            << QByteArrayList{"oa\xC3"} << QStringList() << QStringLiteral("a\uFFFD");
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
        QTest::addColumn<Updates>("shown"); // the last update of each field, in the order of the fields
        const Update lame = version(Field::EncoderVersion, "3.100"), done = frames(116, 116, 100, "0:00");
        const Update cbr = band(Field::LowPass, 16538, 17071), vbr = band(Field::LowPass, 17249, 17782);
        QTest::newRow("factory CBR") << "cbr_factory" << Updates{lame, cbr, done};
        QTest::newRow("VBR") << "vbr" << Updates{lame, vbr, done};
        QTest::newRow("ABR") << "abr" << Updates{lame, vbr, done};
        QTest::newRow("raw input") << "raw_input" << Updates{lame, cbr, done};
        QTest::newRow("high and low pass")
            << "highpass_lowpass"
            << Updates{lame, band(Field::LowPass, 15097, 15484), band(Field::HighPass, 516, 903),
                       frames(85, 85, 100, "0:00")};
        QTest::newRow("high pass disabled")
            << "highpass_disabled" << Updates{lame, cbr, off(Field::HighPass), done};
        QTest::newRow("low pass disabled") << "lowpass_disabled" << Updates{lame, off(Field::LowPass), done};
        QTest::newRow("over 10,000 frames")
            << "long_file" << Updates{lame, cbr, frames(10337, 10337, 100, "0:00")};
        QTest::newRow("UTF-8 file name") << "utf8_file_name" << Updates{lame, cbr, done};
        QTest::newRow("Latin-1 file name") << "latin1_file_name" << Updates{lame, cbr, done};
        QTest::newRow("missing input") << "missing_input" << Updates();
        QTest::newRow("unwritable output") << "unwritable_output" << Updates();
    }

    void replaysTranscripts()
    {
        QFETCH(QString, name);
        QFETCH(Updates, shown);
        const QString path = QStringLiteral(ORVIK_TEST_DATA "/transcripts/") + name + QStringLiteral(".txt");
        const QList<EncoderTranscript::Chunk> recorded = EncoderTranscript::load(path);
        QVERIFY2(!recorded.isEmpty(), qPrintable(path));

        const Replay asRecorded = replay(recorded);
        QMap<Field, Update> last;
        for (const Update &update : asRecorded.updates)
            last.insert(update.field, update);
        QCOMPARE(last.values(), shown);
        // The log holds every character of both streams, whatever their encoding.
        qsizetype total = 0;
        for (Stream stream : {Stream::Output, Stream::Error}) {
            const QByteArray bytes = EncoderTranscript::streamBytes(recorded, stream);
            QCOMPARE(asRecorded.logged[int(stream)], QString::fromUtf8(bytes));
            total += bytes.size();
        }
        // However the bytes are cut, the same lines give the same updates in the same order.
        for (qsizetype size = 1; size <= total; ++size) {
            if (!(replay(EncoderTranscript::rechunk(recorded, size)) == asRecorded))
                QFAIL(
                    qPrintable(QStringLiteral("replay differs when cut into pieces of %1 bytes").arg(size)));
        }
    }
};

QTEST_GUILESS_MAIN(EncoderOutputParserTest)
#include "tst_EncoderOutputParser.moc"
