#pragma once

#include "support/AudioFiles.h"

#include <QDir>
#include <QString>

// A real, tiny file system (tmpfs) mounted on a folder for the life of the object, for tests of
// what happens when a disk fills. Mounting needs root; `reason()` says why it is not mounted.
class SmallVolume
{
  public:
    SmallVolume(const QString &folder, int kilobytes) : mountPoint(folder)
    {
        QDir().mkpath(folder);
        const QString size = QString("size=%1k,mode=0777").arg(kilobytes);
        mounted = AudioFiles::run("mount", {"-t", "tmpfs", "-o", size, "tmpfs", folder}, &why) == 0;
        why = mounted ? QString() : "a small tmpfs cannot be mounted here: " + why.trimmed();
    }
    ~SmallVolume()
    {
        if (mounted)
            AudioFiles::run("umount", {"-l", mountPoint});
    }
    SmallVolume(const SmallVolume &) = delete;
    SmallVolume &operator=(const SmallVolume &) = delete;

    bool isMounted() const { return mounted; }
    QString reason() const { return why; }

  private:
    QString mountPoint;
    bool mounted = false;
    QString why;
};
