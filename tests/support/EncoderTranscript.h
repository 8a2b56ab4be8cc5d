#pragma once

#include "core/EncoderOutputParser.h"

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
// The same bytes in pieces of `size` bytes that cross the recorded chunks but never mix the streams.
QList<Chunk> rechunk(const QList<Chunk> &chunks, qsizetype size);
QByteArray streamBytes(const QList<Chunk> &chunks, EncoderOutputParser::Stream stream);
} // namespace EncoderTranscript
