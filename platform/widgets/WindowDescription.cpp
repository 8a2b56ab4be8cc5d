#include "platform/widgets/WindowDescription.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QUiLoader>

namespace WindowDescription {
namespace {
// A combo box's own editor and item list are controls too; they answer to the box's name.
void nameComboParts(QWidget *root)
{
    for (QComboBox *box : root->findChildren<QComboBox *>()) {
        const QString name = box->accessibleName();
        if (name.isEmpty())
            continue;
        if (box->lineEdit())
            box->lineEdit()->setAccessibleName(name);
        box->view()->setAccessibleName(name);
    }
}

void applyItemTags(QWidget *root)
{
    for (QComboBox *box : root->findChildren<QComboBox *>()) {
        const QStringList tags = box->property("itemTags").toStringList();
        for (int i = 0; i < tags.size() && i < box->count(); ++i) {
            bool numeric = false;
            const int value = tags.at(i).toInt(&numeric);
            box->setItemData(i, numeric ? QVariant(value) : QVariant(tags.at(i)));
        }
    }
}
} // namespace

QWidget *load(const QString &name, QWidget *parent)
{
    QFile file(QStringLiteral(":/ui/%1.ui").arg(name));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Error: missing nib file");
        return nullptr;
    }
    QUiLoader loader;
    QWidget *root = loader.load(&file, parent);
    if (!root) {
        qWarning("Error: missing nib file");
        return nullptr;
    }
    applyItemTags(root);
    nameComboParts(root);
    return root;
}

int tag(const QObject *control)
{
    return control ? control->property("tag").toInt() : 0;
}
} // namespace WindowDescription
