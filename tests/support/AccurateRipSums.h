#pragma once

#include <QByteArray>

// The AccurateRip checksums of a track's samples (16-bit little-endian stereo) as the algorithm is
// published, written apart from the program's: "v1 v2", each as 8 hexadecimal digits.
QByteArray accurateRipSums(const QByteArray &samples, bool firstTrack, bool lastTrack);
