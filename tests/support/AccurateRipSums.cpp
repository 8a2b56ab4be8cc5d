#include "support/AccurateRipSums.h"

#include <QtEndian>

QByteArray accurateRipSums(const QByteArray &samples, bool firstTrack, bool lastTrack)
{
    // Sample i (from 1) weighs i; the disc's first track leaves out its first 5 * 588 - 1 samples,
    // its last track its last 5 * 588. v2 adds the high half of each product as well.
    constexpr qint64 edge = 5 * 588;
    const qint64 count = samples.size() / 4;
    quint32 v1 = 0, v2 = 0;
    for (qint64 i = 1; i <= count; ++i) {
        if ((firstTrack && i < edge) || (lastTrack && i > count - edge))
            continue;
        const quint64 product =
            quint64(qFromLittleEndian<quint32>(samples.constData() + 4 * (i - 1))) * quint64(i);
        v1 += quint32(product);
        v2 += quint32(product) + quint32(product >> 32);
    }
    return QByteArray::number(v1, 16).rightJustified(8, '0') + ' ' +
           QByteArray::number(v2, 16).rightJustified(8, '0');
}
