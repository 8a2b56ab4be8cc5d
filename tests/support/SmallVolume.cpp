#include "support/SmallVolume.h"

#include "support/AudioFiles.h"

#include <QDir>

SmallVolume::SmallVolume(const QString &folder, int kilobytes) : mountPoint(folder)
{
    QDir().mkpath(folder);
    QString errors;
    mounted = AudioFiles::run(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=%1k,mode=0777").arg(kilobytes), QStringLiteral("tmpfs"),
                               folder},
                              &errors) == 0;
    if (!mounted)
        why = QStringLiteral("a small tmpfs cannot be mounted here: ") + errors.trimmed();
}

SmallVolume::~SmallVolume()
{
    if (mounted)
        AudioFiles::run(QStringLiteral("umount"), {QStringLiteral("-l"), mountPoint});
}
