#include "platform/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace Resources {
namespace {
QStringList &firstFolders()
{
    static QStringList folders;
    return folders;
}
} // namespace

void prependSearchFolder(const QString &folder)
{
    firstFolders().prepend(folder);
}

QStringList searchFolders()
{
    const QString here = QCoreApplication::applicationDirPath();
    QStringList roots = firstFolders();
    roots << QStringList{here + QStringLiteral("/resources"), here + QStringLiteral("/../resources"),
                         here + QStringLiteral("/../share/orvik")};
#ifdef ORVIK_BUILD_RESOURCES
    roots << QStringLiteral(ORVIK_BUILD_RESOURCES);
#endif
    QStringList folders;
    for (const QString &root : roots) {
        const QString clean = QDir::cleanPath(root);
        for (const char *sub : {"", "/encoder", "/help"})
            folders << clean + QLatin1String(sub);
    }
    folders.removeDuplicates();
    return folders;
}

QString pathForResource(const QString &name, const QString &type)
{
    if (name.isEmpty())
        return QString();
    const QString fileName = type.isEmpty() ? name : name + u'.' + type;
    for (const QString &folder : searchFolders()) {
        const QFileInfo candidate(folder + u'/' + fileName);
        if (candidate.isFile())
            return candidate.absoluteFilePath();
    }
    return QString();
}
} // namespace Resources
