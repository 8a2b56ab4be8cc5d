#pragma once

#include "core/DiscLookup.h"

#include <QDialog>
#include <QList>

class QTableWidget;

// The sheet on a rip window that asks which of several releases holding the disc it is: one row
// each, with album, artist, year, country, format and number of tracks. Accepting it answers
// the selected row; dismissing it chooses nothing.
class ReleaseChooser : public QDialog
{
    Q_OBJECT

  public:
    ReleaseChooser(QWidget *window, const QList<DiscRelease> &releases);
    // The selected row, or -1.
    int chosenRow() const;
    QTableWidget *table() const { return list; }

  private:
    QTableWidget *list = nullptr;
};
