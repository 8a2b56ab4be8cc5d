#pragma once

#include "core/EncoderRun.h"

#include <QAbstractTableModel>
#include <QList>
#include <QVariantMap>

// The table model of a batch window's file list: one row per task record, every column showing
// the input file's name, " - ", and its folder abbreviated with a tilde. While a run goes on, the
// last column says where each file stands in it.
class BatchFileList : public QAbstractTableModel
{
    Q_OBJECT

  public:
    explicit BatchFileList(QList<QVariantMap> *tasks, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The column of the files' states in the run.
    static constexpr int kStatusColumn = 1;
    // Shows where the file at `row` stands in the run.
    void setFileState(quint32 row, EncoderRun::FileState state);

    // The row text of an input path.
    static QString rowText(const QString &path);
    // The path with the user's home folder written as "~".
    static QString abbreviateWithTilde(const QString &path);

    // The list changes only through these, so the table always knows which rows moved.
    void insertRecord(int row, const QVariantMap &record);
    void removeRecord(int row);

  private:
    QList<QVariantMap> *tasks;
    QMap<quint32, EncoderRun::FileState> states; // empty until a run begins
};
