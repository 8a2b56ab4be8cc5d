#pragma once

#include <QStringList>
#include <functional>

class QWidget;

// Files dragged onto a document window: local files only (text/uri-list), accepted as a copy
// when the window's test takes every one of them, and handed over in the drag's order.
namespace FileDrops {
// Whether the window takes these paths; `genericAllowed` tells whether the drag offers a copy.
using Test = std::function<bool(const QStringList &paths, bool genericAllowed)>;
using Receiver = std::function<void(const QStringList &paths)>;

// Lets `window` take drags that `accepts` takes; the dropped files go to `receive`.
void acceptDrops(QWidget *window, Test accepts, Receiver receive);
} // namespace FileDrops
