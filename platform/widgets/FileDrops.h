#pragma once

#include <QStringList>
#include <functional>

class QEvent;

// Files dragged onto a document window: local files only (text/uri-list), accepted as a copy
// when the window's test takes every one of them, and handed over in the drag's order.
namespace FileDrops {
// Whether the window takes these paths; `genericAllowed` tells whether the drag offers a copy.
using Test = std::function<bool(const QStringList &paths, bool genericAllowed)>;
using Receiver = std::function<void(const QStringList &paths)>;

// Answers a drag-enter, drag-move or drop event (true: it was one of them and is handled);
// any other event is left alone (false).
bool handle(QEvent *event, const Test &accepts, const Receiver &receive);
} // namespace FileDrops
