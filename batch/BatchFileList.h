#pragma once

#include "core/EncoderRun.h"

#include <QAbstractTableModel>
#include <QList>
#include <QVariantMap>

// The table model of a batch window's file list: one row per task record, showing the input
// file's name, " - ", and its folder abbreviated with a tilde, beside it the file's playing time
// as its header promises (a dash when it cannot be read, e.g. for headerless input), and, while a
// run goes on, where the file stands in it.
class BatchFileList : public QAbstractTableModel
{
    Q_OBJECT

  public:
    explicit BatchFileList(QList<QVariantMap> *tasks, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The column of the files' playing times, and of their states in the run.
    static constexpr int kLengthColumn = 1;
    static constexpr int kStatusColumn = 2;
    // Shows where the file at `row` stands in the run.
    void setFileState(quint32 row, EncoderRun::FileState state);

    // The row text of an input path.
    static QString rowText(const QString &path);
    // A playing time as "m:ss", or "h:mm:ss" from an hour on.
    static QString lengthText(double seconds);
    // The playing time of every listed file whose length is known.
    double totalSeconds() const;

    // The list changes only through these, so the table always knows which rows moved.
    void insertRecord(int row, const QVariantMap &record);
    void removeRecord(int row);

  private:
    QList<QVariantMap> *tasks;
    QList<double> lengths;                       // beside the records, in their order; 0 when unknown
    QMap<quint32, EncoderRun::FileState> states; // empty until a run begins
};
