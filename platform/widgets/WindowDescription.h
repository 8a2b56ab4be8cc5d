#pragma once

#include <QString>
#include <QWidget>

// Loads the window descriptions (Qt Designer files embedded under :/ui/) at run time. A control's
// tag is its dynamic int property "tag"; a combo box's item tags are its dynamic string-list
// property "itemTags", applied to the items as data once the description is loaded, since
// Designer keeps no data per item.
namespace WindowDescription {
// The top-level widget of the description, parented to `parent`, or nullptr with the log line
// "Error: missing nib file" when it cannot be read.
QWidget *load(const QString &name, QWidget *parent = nullptr);

// The child called `name` of class T, or nullptr. Outlets are looked up once, after loading.
template <typename T> T *outlet(const QWidget *root, const char *name)
{
    if (!root)
        return nullptr;
    if (root->objectName() == QLatin1String(name))
        return qobject_cast<T *>(const_cast<QWidget *>(root));
    return root->findChild<T *>(QLatin1String(name));
}

// The control's tag, or 0 when it has none.
int tag(const QObject *control);
} // namespace WindowDescription
