#include "platform/widgets/FileDrops.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
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

// Answers a drag-enter, drag-move or drop event (true: it was one of them and is handled);
// any other event is left alone (false).
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

// Watches the window's drag and drop events for it.
class DropFilter : public QObject
{
  public:
    DropFilter(QWidget *window, Test accepts, Receiver receive)
        : QObject(window), accepts(std::move(accepts)), receive(std::move(receive))
    {
    }
    bool eventFilter(QObject *, QEvent *event) override { return handle(event, accepts, receive); }

  private:
    Test accepts;
    Receiver receive;
};
} // namespace

void acceptDrops(QWidget *window, Test accepts, Receiver receive)
{
    window->setAcceptDrops(true);
    window->installEventFilter(new DropFilter(window, std::move(accepts), std::move(receive)));
}
} // namespace FileDrops
