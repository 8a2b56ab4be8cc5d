#include "support/EncoderTranscript.h"

#include <QFile>

namespace EncoderTranscript {
QList<Chunk> load(const QString &path)
{
    QFile file(path);
    QList<Chunk> chunks;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return chunks;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith("out ") || line.startsWith("err "))
            chunks << Chunk{line.startsWith("out") ? EncoderOutputParser::Stream::Output
                                                   : EncoderOutputParser::Stream::Error,
                            QByteArray::fromBase64(line.mid(4))};
    }
    return chunks;
}

QList<Chunk> rechunk(const QList<Chunk> &chunks, qsizetype size)
{
    QList<Chunk> pieces;
    for (qsizetype i = 0; i < chunks.size();) {
        // Join the run of chunks of one stream, then cut it.
        Chunk run = chunks.at(i++);
        while (i < chunks.size() && chunks.at(i).stream == run.stream)
            run.bytes += chunks.at(i++).bytes;
        for (qsizetype start = 0; start < run.bytes.size(); start += size)
            pieces << Chunk{run.stream, run.bytes.mid(start, size)};
    }
    return pieces;
}

QByteArray streamBytes(const QList<Chunk> &chunks, EncoderOutputParser::Stream stream)
{
    QByteArray bytes;
    for (const Chunk &chunk : chunks)
        bytes += chunk.stream == stream ? chunk.bytes : QByteArray();
    return bytes;
}
} // namespace EncoderTranscript
