#include "platform/widgets/Sheets.h"

#include "platform/widgets/ButtonTitles.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>

namespace Sheets {
namespace {
// Escape and the window's close button answer an alert with its Cancel button, and nothing
// else: an alert without one stays up until a button is chosen, so that no dismissal can pick a
// button that removes, replaces or stops something.
class Alert : public QMessageBox
{
  public:
    using QMessageBox::QMessageBox;
    QPushButton *cancelButton = nullptr;

  protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Cancel)) {
            if (cancelButton)
                cancelButton->click();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override
    {
        event->ignore();
        if (cancelButton && isVisible())
            cancelButton->click();
    }
};

// File names, tags and encoder output reach the alert's texts: they are never read as markup.
void showAsPlainText(QMessageBox *box)
{
    box->setTextFormat(Qt::PlainText);
    for (QLabel *label : box->findChildren<QLabel *>())
        if (label->objectName() == QLatin1String("qt_msgbox_informativelabel"))
            label->setTextFormat(Qt::PlainText);
}

// Each button gets the first letter of its title that no button before it has taken, the
// default button first, so that every answer can be given from the keyboard and the letters do
// not move with the layout.
void giveMnemonics(std::initializer_list<QPushButton *> buttons)
{
    QString taken;
    for (QPushButton *button : buttons) {
        const QString title = button ? button->text() : QString();
        if (title.contains(u'&'))
            continue;
        for (qsizetype i = 0; i < title.size(); ++i) {
            const QChar letter = title.at(i).toLower();
            if (letter.isLetterOrNumber() && !taken.contains(letter)) {
                taken += letter;
                button->setText(title.left(i) + u'&' + title.mid(i));
                break;
            }
        }
    }
}

Alert *makeAlert(QWidget *window, QMessageBox::Icon icon, const QString &title, const QString &message)
{
    auto *box = new Alert(icon, title, title, QMessageBox::NoButton, window);
    box->setInformativeText(message);
    showAsPlainText(box);
    // Qt makes an alert as wide as its title, so that a message wraps into a narrow column; it
    // gets room for a line of about 50 characters.
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"))) {
        const QFontMetrics metrics = label->fontMetrics();
        label->setMinimumWidth(qMin(metrics.horizontalAdvance(message), metrics.averageCharWidth() * 50));
    }
    box->setAccessibleName(title);
    box->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    return box;
}

void showAlert(Alert *box, QPushButton *defaultButton, QPushButton *alternateButton, QPushButton *otherButton,
               AlertHandler handler)
{
    for (QPushButton *button : {defaultButton, alternateButton, otherButton})
        if (button && button->text() == ButtonTitles::cancel())
            box->cancelButton = button;
    box->setDefaultButton(defaultButton);
    giveMnemonics({defaultButton, alternateButton, otherButton});
    QObject::connect(box, &QMessageBox::finished, box,
                     [box, defaultButton, alternateButton, otherButton, handler](int) {
                         // Only a click should take the alert down; anything else answers
                         // Cancel, or the default button of an alert that has no Cancel.
                         const QAbstractButton *clicked = box->clickedButton();
                         if (!clicked)
                             clicked = box->cancelButton ? box->cancelButton : defaultButton;
                         int answer = 1;
                         if (clicked == alternateButton)
                             answer = 0;
                         else if (clicked == otherButton)
                             answer = -1;
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
    Alert *box = makeAlert(window, QMessageBox::Warning, title, message);
    QPushButton *byDefault = box->addButton(defaultButton, QMessageBox::AcceptRole);
    QPushButton *alternate =
        alternateButton.isEmpty() ? nullptr : box->addButton(alternateButton, QMessageBox::RejectRole);
    QPushButton *other =
        otherButton.isEmpty() ? nullptr : box->addButton(otherButton, QMessageBox::DestructiveRole);
    showAlert(box, byDefault, alternate, other, std::move(handler));
    return box;
}

void addCheckBox(QMessageBox *alert, QCheckBox *box)
{
    QString taken;
    for (const QAbstractButton *button : alert->buttons()) {
        const qsizetype mark = button->text().indexOf(u'&');
        if (mark >= 0 && mark + 1 < button->text().size())
            taken += button->text().at(mark + 1).toLower();
    }
    const QString title = box->text();
    for (qsizetype i = 0; i < title.size() && !title.contains(u'&'); ++i)
        if (title.at(i).isLetterOrNumber() && !taken.contains(title.at(i).toLower())) {
            box->setText(title.left(i) + u'&' + title.mid(i));
            break;
        }
    alert->setCheckBox(box);
}

QMessageBox *beginInformationalAlertSheet(QWidget *window, const QString &title, const QString &defaultButton,
                                          const QString &message, const QString &details,
                                          AlertHandler handler)
{
    Alert *box = makeAlert(window, QMessageBox::Information, title, details);
    box->setText(message);
    QPushButton *byDefault = box->addButton(defaultButton, QMessageBox::AcceptRole);
    showAlert(box, byDefault, nullptr, nullptr, std::move(handler));
    return box;
}

namespace {
// A folder panel gives the folder its name field names. While a path is typed, Qt's panel
// selects in its list each folder the text names on the way (the parent, then the folder), and
// when its listing of those folders comes in meanwhile it can keep the parent selected ahead of
// the folder: Return then chose the parent. The field shows every selection made in the list, so
// whenever it holds text, the text is what the user chose; the list's selection is dropped
// before Qt reads the choice.
class Panel : public QFileDialog
{
  public:
    using QFileDialog::QFileDialog;

  protected:
    void accept() override
    {
        if (fileMode() == QFileDialog::Directory) {
            const auto *name = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            const auto *list = findChild<QListView *>(QStringLiteral("listView"));
            if (name && !name->text().isEmpty() && list && list->selectionModel())
                list->selectionModel()->clearSelection();
        }
        QFileDialog::accept();
    }
};

QFileDialog *makePanel(QWidget *window, const QString &title, const QString &prompt, const QString &directory,
                       const QString &file)
{
    auto *panel = new Panel(window, title);
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
        panel->setNameFilter(QStringLiteral("%1 (%2)").arg(options.filterName, patterns.join(u' ')));
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
    panel->setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
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

void dismiss(QWidget *sheet)
{
    if (!sheet)
        return;
    sheet->disconnect();
    sheet->hide();
    sheet->deleteLater();
}
} // namespace Sheets
