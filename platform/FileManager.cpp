#include "platform/FileManager.h"

#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace FileManager {
namespace {
bool isLockedByAttribute(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    const bool known = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    ::close(fd);
    return known && (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL));
}
} // namespace

bool fileExistsAtPath(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool isDeletableFileAtPath(const QString &path)
{
    if (!fileExistsAtPath(path))
        return false;
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return false;
    return !isLockedByAttribute(QFile::encodeName(path));
}

bool removeFileAtPath(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    return ::unlink(name.constData()) == 0 || ::rmdir(name.constData()) == 0;
}
} // namespace FileManager
