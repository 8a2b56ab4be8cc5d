#pragma once

#include "monitor/EncoderOutputParser.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Recorded encoder output (tests/data/transcripts, written by tests/helpers/record_transcript):
// the chunks of both streams in the order in which they reached the application.
namespace EncoderTranscript {
struct Chunk
{
    EncoderOutputParser::Stream stream;
    QByteArray bytes;
};

// The chunks of a transcript file; empty when it cannot be read.
QList<Chunk> load(const QString &path);
// The same bytes cut into pieces of `size` bytes; consecutive chunks of one stream are joined
// first, so pieces cross the recorded chunk boundaries but never mix the streams.
QList<Chunk> rechunk(const QList<Chunk> &chunks, qsizetype size);
// All bytes of one stream, in order.
QByteArray streamBytes(const QList<Chunk> &chunks, EncoderOutputParser::Stream stream);
} // namespace EncoderTranscript
