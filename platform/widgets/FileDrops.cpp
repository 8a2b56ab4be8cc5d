#include "platform/widgets/FileDrops.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <optional>

namespace FileDrops {
namespace {
// The paths of a drag, when it offers local files only; nothing otherwise.
std::optional<QStringList> draggedPaths(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return std::nullopt;
    QStringList paths;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile())
            return std::nullopt;
        paths << QDir::cleanPath(url.toLocalFile());
    }
    return paths;
}
} // namespace

bool handle(QEvent *event, const Test &accepts, const Receiver &receive)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    // Drag-enter and drag-move events are drop events too.
    auto *drop = static_cast<QDropEvent *>(event);
    const std::optional<QStringList> paths = draggedPaths(drop->mimeData());
    if (!paths || !accepts(*paths, drop->possibleActions() & Qt::CopyAction)) {
        drop->ignore();
        return true;
    }
    if (type == QEvent::Drop)
        receive(*paths);
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    return true;
}
} // namespace FileDrops
