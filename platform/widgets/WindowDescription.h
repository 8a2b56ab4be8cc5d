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

// An outlet to look up: the field it goes into and the name of the child.
template <typename T> struct Outlet
{
    T **field;
    const char *name;
};
template <typename T> Outlet(T **, const char *) -> Outlet<T>;

// Sets every field to the child of its name and class. False, with the log line "Error: corrupt
// nib file", when one is missing: a window without all its controls is not shown.
template <typename... T> bool findOutlets(const QWidget *root, Outlet<T>... outlets)
{
    if (((*outlets.field = outlet<T>(root, outlets.name)) && ...))
        return true;
    qWarning("Error: corrupt nib file");
    return false;
}

// The control's tag, or 0 when it has none.
int tag(const QObject *control);
} // namespace WindowDescription
