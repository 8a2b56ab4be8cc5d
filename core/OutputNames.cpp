#include "core/OutputNames.h"

#include <QDir>
#include <QFileInfo>
#include <QTextBoundaryFinder>

namespace OutputNames {

QString mp3FileName(const QString &name)
{
    const QString extension = QStringLiteral(".mp3");
    const qsizetype room = 255 - extension.size();
    qsizetype end = name.size();
    if (name.toUtf8().size() > room) {
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, name);
        end = 0;
        for (qsizetype next = characters.toNextBoundary();
             next > 0 && name.left(next).toUtf8().size() <= room; next = characters.toNextBoundary())
            end = next;
    }
    return name.left(end) + extension;
}

QString forInput(const QString &inputPath, const QString &folder)
{
    QString name = QFileInfo(inputPath).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0)
        name.truncate(dot);
    return QDir::cleanPath(folder + u'/' + mp3FileName(name));
}

} // namespace OutputNames
