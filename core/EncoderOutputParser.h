#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// Turns what the lame encoder writes on its two output streams into the texts of the progress
// sheet. Each stream's bytes are decoded on their own, because a character may be split between
// two reads of one stream; the decoded text of both streams then shares one buffer of incomplete
// output, which is cut into lines, and each line is recognised by its form.
class EncoderOutputParser
{
  public:
    enum class Stream { Output, Error };

    // The displays a line can change.
    enum class Field { EncoderVersion, ModelVersion, LowPass, HighPass, RemainingTime, Progress };

    // One change to one display: the new text, or for Progress the fraction done (0 to 1).
    struct Update
    {
        Field field;
        QString text;
        double fraction = 0.0;
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

    // The changes a line makes; none when it is of no known form or a scan in it fails.
    static QList<Update> classifyLine(QStringView line);

    // Decimal digits (Unicode Nd) and the space character: what a progress line starts with.
    static bool isDigitOrSpace(QChar c);

  private:
    QString buffer;
    QByteArray heldBack[2];
};
