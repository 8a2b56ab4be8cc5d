#include "support/EncoderTranscript.h"

#include <QFile>

namespace EncoderTranscript {
QList<Chunk> load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QList<Chunk> chunks;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith("out "))
            chunks << Chunk{EncoderOutputParser::Stream::Output, QByteArray::fromBase64(line.mid(4))};
        else if (line.startsWith("err "))
            chunks << Chunk{EncoderOutputParser::Stream::Error, QByteArray::fromBase64(line.mid(4))};
    }
    return chunks;
}

QList<Chunk> rechunk(const QList<Chunk> &chunks, qsizetype size)
{
    QList<Chunk> runs;
    for (const Chunk &chunk : chunks) {
        if (!runs.isEmpty() && runs.last().stream == chunk.stream)
            runs.last().bytes += chunk.bytes;
        else
            runs << chunk;
    }
    QList<Chunk> pieces;
    for (const Chunk &run : std::as_const(runs)) {
        for (qsizetype start = 0; start < run.bytes.size(); start += size)
            pieces << Chunk{run.stream, run.bytes.mid(start, size)};
    }
    return pieces;
}

QByteArray streamBytes(const QList<Chunk> &chunks, EncoderOutputParser::Stream stream)
{
    QByteArray bytes;
    for (const Chunk &chunk : chunks) {
        if (chunk.stream == stream)
            bytes += chunk.bytes;
    }
    return bytes;
}
} // namespace EncoderTranscript
