#include "core/OutputNames.h"

#include "core/LamePrefs.h"

#include <QDir>
#include <QFileInfo>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace OutputNames {
namespace {
constexpr qsizetype kMaxNameBytes = 255;
}

QString fitted(const QString &name, qsizetype bytes)
{
    if (name.toUtf8().size() <= bytes)
        return name;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, name);
    qsizetype end = 0;
    for (qsizetype next = characters.toNextBoundary(); next > 0 && name.left(next).toUtf8().size() <= bytes;
         next = characters.toNextBoundary())
        end = next;
    return name.left(end);
}

QString mp3FileName(const QString &name)
{
    const QString extension = QStringLiteral(".mp3");
    return fitted(name, kMaxNameBytes - extension.size()) + extension;
}

QString forInput(const QString &inputPath, const QString &folder)
{
    QString name = QFileInfo(inputPath).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0)
        name.truncate(dot);
    return QDir::cleanPath(folder + u'/' + mp3FileName(name));
}

QString numberedName(const QString &name, int number)
{
    const QString base = fitted(name, kMaxNameBytes - 2);
    if (number <= 1)
        return base;
    const QString suffix = u' ' + QString::number(number);
    return fitted(base, kMaxNameBytes - suffix.size()) + suffix;
}

QString numberedFile(const QString &path, int number)
{
    const QFileInfo file(path);
    QString name = file.fileName();
    if (name.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive))
        name.chop(4);
    const QString suffix = number <= 1 ? QString() : u' ' + QString::number(number);
    const QString extension = QStringLiteral(".mp3");
    return QDir::cleanPath(file.path() + u'/' +
                           fitted(name, kMaxNameBytes - extension.size() - suffix.size()) + suffix +
                           extension);
}

QString freeFile(const QString &path, const QList<QVariantMap> &tasks)
{
    for (int number = 2;; ++number) {
        const QString candidate = numberedFile(path, number);
        const bool written = std::any_of(tasks.cbegin(), tasks.cend(), [&](const QVariantMap &task) {
            return task.value(kOutputFileKey).toString() == candidate;
        });
        if (!written && !QFileInfo::exists(candidate))
            return candidate;
    }
}

} // namespace OutputNames
