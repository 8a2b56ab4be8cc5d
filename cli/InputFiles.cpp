#include "cli/InputFiles.h"

#include "core/OutputNames.h"
#include "platform/AudioFormats.h"

#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

InputFiles::InputFiles(const QStringList &arguments, const QString &outputFolder)
{
    // "Track 2" before "Track 10", as a file manager lists them.
    QCollator order;
    order.setNumericMode(true);
    order.setCaseSensitivity(Qt::CaseInsensitive);
    for (const QString &argument : arguments) {
        const QFileInfo given(argument);
        if (!given.isDir()) {
            add(given.absoluteFilePath(), outputFolder);
            continue;
        }
        const QDir root(given.absoluteFilePath());
        QStringList paths;
        // Links to files count, links to folders are not followed: a link to a parent folder
        // would walk in circles.
        QDirIterator walk(root.path(), QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (walk.hasNext()) {
            const QString path = walk.next();
            if (AudioFormats::isAccepted(path))
                paths << path;
        }
        if (paths.isEmpty())
            empty << argument;
        std::sort(paths.begin(), paths.end(),
                  [&order](const QString &a, const QString &b) { return order.compare(a, b) < 0; });
        for (const QString &path : std::as_const(paths))
            add(QDir::cleanPath(path),
                QDir::cleanPath(outputFolder + u'/' + root.relativeFilePath(QFileInfo(path).path())));
    }
}

void InputFiles::add(const QString &input, const QString &outputFolder)
{
    // A file named twice (or found in two of the folders given) is encoded once.
    const QString canonical = QFileInfo(input).canonicalFilePath();
    const QString identity = canonical.isEmpty() ? QDir::cleanPath(input) : canonical;
    if (seen.contains(identity))
        return;
    seen.insert(identity);
    found.append({QDir::cleanPath(input), OutputNames::forInput(input, outputFolder)});
}
