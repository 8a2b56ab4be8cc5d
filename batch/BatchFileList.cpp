#include "batch/BatchFileList.h"

#include "core/LamePrefs.h"

#include <QDir>

BatchFileList::BatchFileList(QList<QVariantMap> *tasks, QObject *parent)
    : QAbstractTableModel(parent), tasks(tasks)
{
}

int BatchFileList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(tasks->size());
}

int BatchFileList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant BatchFileList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= tasks->size())
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
        return rowText(tasks->at(index.row()).value(kInputFileKey).toString());
    return QVariant();
}

QString BatchFileList::abbreviateWithTilde(const QString &path)
{
    const QString home = QDir::homePath();
    if (path == home)
        return QStringLiteral("~");
    if (home != QLatin1String("/") && path.startsWith(home + u'/'))
        return u'~' + path.mid(home.size());
    return path;
}

QString BatchFileList::rowText(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString name = slash < 0 ? path : path.mid(slash + 1);
    QString folder = slash < 0 ? QString() : path.left(slash);
    if (slash == 0)
        folder = QStringLiteral("/");
    return name + QStringLiteral(" - ") + abbreviateWithTilde(folder);
}

void BatchFileList::insertRecord(int row, const QVariantMap &record)
{
    beginInsertRows(QModelIndex(), row, row);
    tasks->insert(row, record);
    endInsertRows();
}

void BatchFileList::removeRecord(int row)
{
    beginRemoveRows(QModelIndex(), row, row);
    tasks->removeAt(row);
    endRemoveRows();
}
