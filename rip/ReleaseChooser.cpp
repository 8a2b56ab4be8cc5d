#include "rip/ReleaseChooser.h"

#include "platform/LocalizedStrings.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QString ripText(const char *key, const char *defaultText)
{
    return localizedString(key, defaultText, "Rip");
}
} // namespace

ReleaseChooser::ReleaseChooser(QWidget *window, const QList<DiscRelease> &releases) : QDialog(window)
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(ripText("ChooseReleaseTitle", "Choose Release"));
    auto *layout = new QVBoxLayout(this);
    auto *question =
        new QLabel(ripText("ChooseReleaseMessage", "Several releases hold this disc. Which one is it?"));
    question->setWordWrap(true);
    layout->addWidget(question);

    const QStringList headers{ripText("ReleaseAlbum", "Album"),   ripText("ReleaseArtist", "Artist"),
                              ripText("ReleaseYear", "Year"),     ripText("ReleaseCountry", "Country"),
                              ripText("ReleaseFormat", "Format"), ripText("ReleaseTracks", "Tracks")};
    list = new QTableWidget(int(releases.size()), int(headers.size()), this);
    list->setAccessibleName(ripText("ReleaseList", "Releases"));
    list->setHorizontalHeaderLabels(headers);
    list->verticalHeader()->hide();
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setTabKeyNavigation(false);
    for (int row = 0; row < releases.size(); ++row) {
        const DiscRelease &release = releases.at(row);
        const QStringList cells{release.title,   release.artist, release.year,
                                release.country, release.format, QString::number(release.tracks.size())};
        for (int column = 0; column < cells.size(); ++column)
            list->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    list->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list->horizontalHeader()->setStretchLastSection(true);
    list->selectRow(0);
    layout->addWidget(list);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *use = buttons->addButton(ripText("UseRelease", "Use Release"), QDialogButtonBox::AcceptRole);
    use->setAccessibleName(use->text().remove(u'&'));
    use->setDefault(true);
    QPushButton *cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setAccessibleName(cancel->text().remove(u'&'));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list, &QTableWidget::cellDoubleClicked, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(560, 260);
}

int ReleaseChooser::chosenRow() const
{
    const QModelIndexList rows = list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}
