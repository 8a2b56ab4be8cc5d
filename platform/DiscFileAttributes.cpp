#include "platform/DiscFileAttributes.h"

#include <QFile>

#include <sys/xattr.h>

QString DiscFileAttributes::read(const QString &path, const char *name)
{
    char value[256] = {};
    const ssize_t size = getxattr(QFile::encodeName(path).constData(), name, value, sizeof value - 1);
    return size < 0 ? QString() : QString::fromUtf8(value, int(size)).trimmed();
}
