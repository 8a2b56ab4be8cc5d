#include "core/EncoderOutputParser.h"

#include <limits>

namespace {
// The encoder prints its frame-progress records in fixed columns: the total from column 7 on,
// the remaining time from column 67 on.
constexpr qsizetype kTotalColumn = 7;
constexpr qsizetype kRemainingTimeColumn = 67;

bool isLineTerminator(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029);
}

// The scanner's skip set: white space and line terminators, including the Unicode separators.
bool isSkipped(QChar c)
{
    return c.isSpace();
}

qsizetype skipWhitespace(QStringView line, qsizetype position)
{
    while (position < line.size() && isSkipped(line.at(position)))
        ++position;
    return position;
}

// An optional sign and decimal digits after the skipped characters, as a signed 64-bit number;
// a number too large for it gives the nearest limit.
bool scanNumber(QStringView line, qsizetype position, qint64 &value)
{
    if (position > line.size())
        return false;
    position = skipWhitespace(line, position);
    bool negative = false;
    if (position < line.size() && (line.at(position) == u'-' || line.at(position) == u'+')) {
        negative = line.at(position) == u'-';
        ++position;
    }
    const qsizetype firstDigit = position;
    quint64 magnitude = 0;
    bool overflow = false;
    for (; position < line.size(); ++position) {
        const char16_t c = line.at(position).unicode();
        if (c < u'0' || c > u'9')
            break;
        const unsigned digit = c - u'0';
        if (magnitude > (std::numeric_limits<quint64>::max() - digit) / 10)
            overflow = true;
        else
            magnitude = magnitude * 10 + digit;
    }
    if (position == firstDigit)
        return false;
    const quint64 limit = quint64(std::numeric_limits<qint64>::max()) + (negative ? 1 : 0);
    if (overflow || magnitude > limit)
        magnitude = limit;
    value = negative ? qint64(0 - magnitude) : qint64(magnitude);
    return true;
}

// The run of characters after the skipped ones, up to the next skipped character.
bool scanToken(QStringView line, qsizetype position, QString &token)
{
    if (position > line.size())
        return false;
    position = skipWhitespace(line, position);
    qsizetype end = position;
    while (end < line.size() && !isSkipped(line.at(end)))
        ++end;
    if (end == position)
        return false;
    token = line.mid(position, end - position).toString();
    return true;
}

// The two numbers of a filter's transition band: the first after "band:", the second after the
// first "-" of the line.
bool readBand(QStringView line, qint64 &low, qint64 &high)
{
    const qsizetype band = line.indexOf(u"band:");
    const qsizetype dash = line.indexOf(u'-');
    if (band < 0 || dash < 0)
        return false;
    return scanNumber(line, band + 5, low) && scanNumber(line, dash + 1, high);
}

EncoderOutputParser::Update versionUpdate(EncoderOutputParser::Field field, const QString &version)
{
    return {.field = field, .version = version};
}

EncoderOutputParser::Update filterOff(EncoderOutputParser::Field field)
{
    return {.field = field, .filterDisabled = true};
}

std::optional<EncoderOutputParser::Update> bandUpdate(EncoderOutputParser::Field field, QStringView line)
{
    qint64 low = 0;
    qint64 high = 0;
    if (!readBand(line, low, high))
        return std::nullopt;
    return EncoderOutputParser::Update{.field = field, .bandLow = low, .bandHigh = high};
}

std::optional<EncoderOutputParser::Update> progressUpdate(QStringView line)
{
    qint64 done = 0;
    qint64 total = 0;
    if (!scanNumber(line, 0, done))
        return std::nullopt;
    // A record without a total yet (the encoder's first one) or with no frames to count says
    // nothing about how far the encoding has come.
    if (!scanNumber(line, kTotalColumn, total) || total <= 0)
        return std::nullopt;
    done = qBound(qint64(0), done, total);
    // Counted in whole numbers, as in binary floating point 29 / 100 * 100 is just below 29, and
    // wide enough for 100 times any count the encoder can print.
    __extension__ typedef __int128 Wide;
    EncoderOutputParser::Update update{.field = EncoderOutputParser::Field::Progress,
                                       .framesDone = done,
                                       .framesTotal = total,
                                       .percent = int(Wide(done) * 100 / total)};
    scanToken(line, kRemainingTimeColumn, update.timeLeft);
    return update;
}
} // namespace

bool EncoderOutputParser::isDigitOrSpace(QChar c)
{
    return c == u' ' || c.category() == QChar::Number_DecimalDigit;
}

QString EncoderOutputParser::decode(Stream stream, const QByteArray &bytes)
{
    // Qt's own stateful decoder loses the byte after an unfinished character that turns out to
    // be invalid (an unfinished "\xE2\x82" followed by "\n" swallows the line feed), so the
    // unfinished end of a chunk is held back here and decoded with the bytes that follow it.
    QByteArray &held = heldBack[int(stream)];
    QByteArray text = held + bytes;
    qsizetype keep = 0;
    for (qsizetype i = text.size() - 1; i >= 0 && i >= text.size() - 4; --i) {
        const uchar c = uchar(text.at(i));
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for its lead byte
        const qsizetype length = c >= 0xF0 && c <= 0xF4   ? 4
                                 : c >= 0xE0 && c <= 0xEF ? 3
                                 : c >= 0xC2 && c <= 0xDF ? 2
                                                          : 1;
        if (text.size() - i < length)
            keep = text.size() - i;
        break;
    }
    held = text.right(keep);
    text.chop(keep);
    return QString::fromUtf8(text);
}

QString EncoderOutputParser::finishStream(Stream stream)
{
    QByteArray &held = heldBack[int(stream)];
    const QString rest = QString::fromUtf8(held);
    held.clear();
    return rest;
}

QStringList EncoderOutputParser::takeLines(const QString &text)
{
    buffer += text;
    QStringList lines;
    qsizetype start = 0;
    while (start < buffer.size()) {
        qsizetype contentsEnd = start;
        while (contentsEnd < buffer.size() && !isLineTerminator(buffer.at(contentsEnd)))
            ++contentsEnd;
        if (contentsEnd == buffer.size())
            break; // no terminator yet: the line waits for the next chunk
        qsizetype end = contentsEnd + 1;
        if (buffer.at(contentsEnd) == u'\r' && end < buffer.size() && buffer.at(end) == u'\n')
            ++end;
        lines << buffer.mid(start, contentsEnd - start);
        start = end;
    }
    buffer.remove(0, start);
    return lines;
}

QList<EncoderOutputParser::Update> EncoderOutputParser::consume(const QString &text)
{
    QList<Update> updates;
    for (const QString &line : takeLines(text)) {
        if (const std::optional<Update> update = classifyLine(line))
            updates << *update;
    }
    return updates;
}

void EncoderOutputParser::clear()
{
    buffer.clear();
    heldBack[0].clear();
    heldBack[1].clear();
}

std::optional<EncoderOutputParser::Update> EncoderOutputParser::classifyLine(QStringView line)
{
    QString token;
    if (line.startsWith(u"LAME version")) {
        if (scanToken(line, 12, token))
            return versionUpdate(Field::EncoderVersion, token);
        return std::nullopt;
    }
    // lame 3.100 announces itself as "LAME 3.100 64bits (http://lame.sf.net)".
    if (line.startsWith(u"LAME ") && line.size() > 5 && line.at(5).isDigit()) {
        if (scanToken(line, 5, token))
            return versionUpdate(Field::EncoderVersion, token);
        return std::nullopt;
    }
    if (line.startsWith(u"GPSYCHO: ")) {
        const qsizetype version = line.indexOf(u"version");
        if (version < 0 || !scanToken(line, version + 7, token))
            return std::nullopt;
        if (token.endsWith(u'.'))
            token.chop(1);
        return versionUpdate(Field::ModelVersion, token);
    }
    // lame 3.100 says "polyphase lowpass filter disabled" where older versions asked to "specify
    // lowpass with" a value; both mean no low-pass filter, and neither has a band to read.
    if (line.contains(u"Must specify lowpass with") || line.contains(u"polyphase lowpass filter disabled"))
        return filterOff(Field::LowPass);
    if (line.contains(u"polyphase lowpass"))
        return bandUpdate(Field::LowPass, line);
    if (line.contains(u"Warning: highpass filter disabled."))
        return filterOff(Field::HighPass);
    if (line.contains(u"polyphase highpass"))
        return bandUpdate(Field::HighPass, line);
    if (!line.isEmpty() && isDigitOrSpace(line.at(0)))
        return progressUpdate(line);
    return std::nullopt;
}
