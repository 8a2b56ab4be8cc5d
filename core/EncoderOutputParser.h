#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// Reads what the lame encoder writes on its two output streams: its version, its model's version,
// its filters and how far it has come. Each stream's bytes are decoded on their own, because a
// character may be split between two reads of one stream; the decoded text of both streams then
// shares one buffer of incomplete output, which is cut into lines, and each line is recognised by
// its form. What the values look like on the screen is for the window that shows them.
class EncoderOutputParser
{
  public:
    enum class Stream { Output, Error };

    // What a line can tell.
    enum class Field { EncoderVersion, ModelVersion, LowPass, HighPass, Progress };

    // One thing a line told, with the values that go with its field.
    struct Update
    {
        Field field;
        // EncoderVersion, ModelVersion: the version as the encoder spells it.
        QString version{};
        // LowPass, HighPass: the encoder turned the filter off, or else the filter's transition
        // band in Hz as the encoder printed it.
        bool filterDisabled = false;
        qint64 bandLow = 0;
        qint64 bandHigh = 0;
        // Progress: frames done out of the total (0 <= done <= total, total > 0), the whole
        // percentage done, rounded down, and the time left as the encoder printed it ("0:03");
        // empty when the line had none.
        qint64 framesDone = 0;
        qint64 framesTotal = 0;
        int percent = 0;
        QString timeLeft{};

        double fraction() const { return double(framesDone) / double(framesTotal); }
        bool operator==(const Update &other) const = default;
    };

    // The text of one chunk of bytes read from `stream`. Bytes that end the chunk in the middle
    // of a character are kept back and decoded with the stream's next chunk; bytes that are not
    // UTF-8 become U+FFFD. Every byte turns up in the text of some chunk.
    QString decode(Stream stream, const QByteArray &bytes);
    // At the end of the stream: U+FFFD when bytes of an unfinished character are still held back,
    // else an empty string.
    QString finishStream(Stream stream);

    // Adds `text` to the buffer and takes every complete line out of it, without its terminator.
    QStringList takeLines(const QString &text);
    // takeLines and then the updates of those lines, in order.
    QList<Update> consume(const QString &text);

    // Forgets the buffer and anything held back by either stream.
    void clear();
    // The incomplete line left for the next chunk.
    QString pendingText() const { return buffer; }

    // What a line tells; nothing when it is of no known form or a scan in it fails.
    static std::optional<Update> classifyLine(QStringView line);

    // Decimal digits (Unicode Nd) and the space character: what a progress line starts with.
    static bool isDigitOrSpace(QChar c);

  private:
    QString buffer;
    QByteArray heldBack[2];
};
