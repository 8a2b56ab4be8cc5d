#include "platform/Sheets.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace Sheets {
namespace {
QMessageBox *makeAlert(QWidget *window, QMessageBox::Icon icon, const QString &title, const QString &message)
{
    auto *box = new QMessageBox(icon, title, title, QMessageBox::NoButton, window);
    box->setInformativeText(message);
    box->setAccessibleName(title);
    box->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    return box;
}

void showAlert(QMessageBox *box, QPushButton *defaultButton, QPushButton *alternateButton,
               QPushButton *otherButton, AlertHandler handler)
{
    box->setDefaultButton(defaultButton);
    box->setEscapeButton(alternateButton ? alternateButton : defaultButton);
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, defaultButton, alternateButton, otherButton, handler](int) {
                         const QAbstractButton *clicked = box->clickedButton();
                         int answer = 1;
                         if (clicked && clicked == alternateButton)
                             answer = 0;
                         else if (clicked && clicked == otherButton)
                             answer = -1;
                         else if (!clicked && alternateButton)
                             answer = 0;
                         box->hide();
                         box->deleteLater();
                         if (handler)
                             handler(answer);
                     });
    box->open();
}
} // namespace

QMessageBox *beginAlertSheet(QWidget *window, const QString &title, const QString &defaultButton,
                             const QString &alternateButton, const QString &otherButton,
                             const QString &message, AlertHandler handler)
{
    QMessageBox *box = makeAlert(window, QMessageBox::Warning, title, message);
    QPushButton *byDefault = box->addButton(defaultButton, QMessageBox::AcceptRole);
    QPushButton *alternate =
        alternateButton.isEmpty() ? nullptr : box->addButton(alternateButton, QMessageBox::RejectRole);
    QPushButton *other =
        otherButton.isEmpty() ? nullptr : box->addButton(otherButton, QMessageBox::DestructiveRole);
    showAlert(box, byDefault, alternate, other, std::move(handler));
    return box;
}

QMessageBox *beginInformationalAlertSheet(QWidget *window, const QString &title, const QString &defaultButton,
                                          const QString &message, AlertHandler handler)
{
    QMessageBox *box = makeAlert(window, QMessageBox::Information, title, message);
    QPushButton *byDefault = box->addButton(defaultButton, QMessageBox::AcceptRole);
    showAlert(box, byDefault, nullptr, nullptr, std::move(handler));
    return box;
}

namespace {
QFileDialog *makePanel(QWidget *window, const QString &title, const QString &prompt, const QString &directory,
                       const QString &file)
{
    auto *panel = new QFileDialog(window, title);
    // Qt's own panel: the same on every desktop, and one that tests can drive.
    panel->setOption(QFileDialog::DontUseNativeDialog, true);
    panel->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    panel->setAccessibleName(title);
    if (!prompt.isEmpty())
        panel->setLabelText(QFileDialog::Accept, prompt);
    if (!directory.isEmpty())
        panel->setDirectory(directory);
    if (!file.isEmpty())
        panel->selectFile(file);
    return panel;
}

void showPanel(QFileDialog *panel, PanelHandler handler)
{
    QObject::connect(panel, &QFileDialog::finished, panel, [panel, handler](int result) {
        panel->hide();
        panel->deleteLater();
        if (handler)
            handler(result == QDialog::Accepted ? 1 : 0, panel);
    });
    panel->open();
}
} // namespace

QFileDialog *beginOpenPanel(QWidget *window, const OpenPanelOptions &options, PanelHandler handler)
{
    QFileDialog *panel = makePanel(window, options.title, options.prompt, options.directory, options.file);
    panel->setAcceptMode(QFileDialog::AcceptOpen);
    if (options.chooseDirectories && !options.chooseFiles) {
        panel->setFileMode(QFileDialog::Directory);
        panel->setOption(QFileDialog::ShowDirsOnly, true);
    } else {
        panel->setFileMode(options.multipleSelection ? QFileDialog::ExistingFiles
                                                     : QFileDialog::ExistingFile);
    }
    if (!options.extensions.isEmpty()) {
        QStringList patterns;
        for (const QString &extension : options.extensions)
            patterns << QStringLiteral("*.") + extension;
        panel->setNameFilter(QStringLiteral("Audio files (%1)").arg(patterns.join(u' ')));
    }
    showPanel(panel, std::move(handler));
    return panel;
}

QFileDialog *beginSavePanel(QWidget *window, const SavePanelOptions &options, PanelHandler handler)
{
    QFileDialog *panel = makePanel(window, options.title, options.prompt, options.directory, options.file);
    panel->setAcceptMode(QFileDialog::AcceptSave);
    panel->setFileMode(QFileDialog::AnyFile);
    if (!options.requiredFileType.isEmpty())
        panel->setDefaultSuffix(options.requiredFileType);
    showPanel(panel, std::move(handler));
    return panel;
}

QStringList filenames(const QFileDialog *panel)
{
    QStringList paths;
    for (const QString &path : panel->selectedFiles())
        paths << QDir::cleanPath(path);
    return paths;
}
} // namespace Sheets
