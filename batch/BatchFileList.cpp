#include "batch/BatchFileList.h"

#include "core/LamePrefs.h"
#include "platform/AudioFileInfo.h"
#include "platform/LocalizedStrings.h"
#include "platform/Paths.h"

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
    return parent.isValid() ? 0 : kStatusColumn + 1;
}

QVariant BatchFileList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= tasks->size())
        return QVariant();
    if (index.column() == kLengthColumn) {
        const double seconds = lengths.value(index.row());
        if (role == Qt::AccessibleTextRole && seconds <= 0)
            return localizedString("UnknownLength", "length unknown", "Batch");
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
            return lengthText(seconds);
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    }
    if (index.column() == kStatusColumn) {
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
            return QVariant();
        const auto state = states.constFind(quint32(index.row()));
        if (state == states.constEnd())
            return QVariant();
        switch (*state) {
        case EncoderRun::FileState::Waiting:
            return localizedString("StateWaiting", "Waiting", "Batch");
        case EncoderRun::FileState::Encoding:
            return localizedString("StateEncoding", "Encoding", "Batch");
        case EncoderRun::FileState::Done:
            return localizedString("StateDone", "Done", "Batch");
        case EncoderRun::FileState::Failed:
            return localizedString("StateFailed", "Failed", "Batch");
        case EncoderRun::FileState::Skipped:
            return localizedString("StateSkipped", "Skipped", "Batch");
        }
        return QVariant();
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
        return rowText(tasks->at(index.row()).value(kInputFileKey).toString());
    return QVariant();
}

QVariant BatchFileList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == kStatusColumn && role == Qt::DisplayRole)
        return localizedString("StatusColumn", "Status", "Batch");
    return QAbstractTableModel::headerData(section, orientation, role);
}

void BatchFileList::setFileState(quint32 row, EncoderRun::FileState state)
{
    if (row >= quint32(tasks->size()))
        return;
    if (states.isEmpty()) {
        // The run has begun: every file it has not reached yet waits.
        for (quint32 waiting = 0; waiting < quint32(tasks->size()); ++waiting)
            states.insert(waiting, EncoderRun::FileState::Waiting);
        emit dataChanged(index(0, kStatusColumn), index(int(tasks->size()) - 1, kStatusColumn));
    }
    states.insert(row, state);
    emit dataChanged(index(int(row), kStatusColumn), index(int(row), kStatusColumn));
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

QString BatchFileList::lengthText(double seconds)
{
    if (seconds <= 0)
        return QStringLiteral("\u2013");
    const qint64 whole = qRound64(seconds);
    const QString minutes = QStringLiteral("%1:%2")
                                .arg(whole / 60 % 60, whole >= 3600 ? 2 : 1, 10, QLatin1Char('0'))
                                .arg(whole % 60, 2, 10, QLatin1Char('0'));
    return whole >= 3600 ? QString::number(whole / 3600) + u':' + minutes : minutes;
}

double BatchFileList::totalSeconds() const
{
    double total = 0;
    for (double seconds : lengths)
        total += seconds;
    return total;
}

void BatchFileList::insertRecord(int row, const QVariantMap &record)
{
    // The header is read once, when the file comes in; it is what the user chose to encode.
    const double seconds = AudioFileInfo::inspect(record.value(kInputFileKey).toString()).seconds();
    beginInsertRows(QModelIndex(), row, row);
    tasks->insert(row, record);
    lengths.insert(row, seconds);
    endInsertRows();
}

void BatchFileList::removeRecord(int row)
{
    beginRemoveRows(QModelIndex(), row, row);
    tasks->removeAt(row);
    lengths.removeAt(row);
    endRemoveRows();
}
