#pragma once

#include <QString>

// A real, tiny file system (tmpfs) mounted on a folder for the life of the object, for tests of
// what happens when a disk fills. Mounting needs root; `reason()` says why it is not mounted.
class SmallVolume
{
  public:
    SmallVolume(const QString &folder, int kilobytes);
    ~SmallVolume();
    SmallVolume(const SmallVolume &) = delete;
    SmallVolume &operator=(const SmallVolume &) = delete;

    bool isMounted() const { return mounted; }
    QString reason() const { return why; }

  private:
    QString mountPoint;
    bool mounted = false;
    QString why;
};
