#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QCheckBox;
class QFileDialog;
class QMessageBox;
class QWidget;

// Document-modal alerts and file panels. Each is shown window-modal on its window (application-
// modal when there is none) and answers through a handler once it has been taken down, so the
// handler may show the next sheet at once. Alerts answer 1 for the default button, 0 for the
// alternate button and -1 for the other button; panels answer 1 when confirmed, 0 otherwise.
// Escape and the close button answer an alert only through its button titled with the Cancel
// text; an alert without one stays up. A panel dismissed that way answers 0.
namespace Sheets {
using AlertHandler = std::function<void(int answer)>;
using PanelHandler = std::function<void(int answer, QFileDialog *panel)>;

// Empty button titles leave that button out; the default button is always there.
QMessageBox *beginAlertSheet(QWidget *window, const QString &title, const QString &defaultButton,
                             const QString &alternateButton, const QString &otherButton,
                             const QString &message, AlertHandler handler);
// Puts the check box `box` beneath the alert's message, its title marked with a mnemonic that no
// button of the alert has.
void addCheckBox(QMessageBox *alert, QCheckBox *box);
// A notice with one button: `message` in large type, `details` beneath it.
QMessageBox *beginInformationalAlertSheet(QWidget *window, const QString &title, const QString &defaultButton,
                                          const QString &message, const QString &details,
                                          AlertHandler handler);

struct OpenPanelOptions
{
    QString title;
    QString prompt;
    bool chooseFiles = true;
    bool chooseDirectories = false;
    bool multipleSelection = false;
    QString directory;      // empty: the panel's own default folder
    QString file;           // name preselected, may be empty
    QStringList extensions; // accepted extensions; empty accepts every file
    QString filterName;     // what the files of those extensions are, in the user's language
};
QFileDialog *beginOpenPanel(QWidget *window, const OpenPanelOptions &options, PanelHandler handler);

struct SavePanelOptions
{
    QString title;
    QString prompt;
    QString requiredFileType; // the extension the chosen name must have
    QString directory;
    QString file;
    bool confirmOverwrite = true; // off where the caller asks its own question about an existing file
};
QFileDialog *beginSavePanel(QWidget *window, const SavePanelOptions &options, PanelHandler handler);

// The chosen paths of a confirmed panel, in the panel's order.
QStringList filenames(const QFileDialog *panel);

// Takes down a sheet whose owner is ending, unanswered: its answer would reach no one. Nothing
// when `sheet` is null.
void dismiss(QWidget *sheet);
} // namespace Sheets
