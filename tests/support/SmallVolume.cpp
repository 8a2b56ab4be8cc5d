#include "support/SmallVolume.h"

#include "support/AudioFiles.h"

#include <QDir>

SmallVolume::SmallVolume(const QString &folder, int kilobytes) : mountPoint(folder)
{
    QDir().mkpath(folder);
    QString errors;
    const QString size = QString("size=%1k,mode=0777").arg(kilobytes);
    mounted = AudioFiles::run("mount", {"-t", "tmpfs", "-o", size, "tmpfs", folder}, &errors) == 0;
    if (!mounted)
        why = "a small tmpfs cannot be mounted here: " + errors.trimmed();
}

SmallVolume::~SmallVolume()
{
    if (mounted)
        AudioFiles::run("umount", {"-l", mountPoint});
}
