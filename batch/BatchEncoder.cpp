// BatchEncoder: creating a batch window, its window events, the file list with its tags and
// raw-input options, and the destination folder. The run is in BatchEncoderRun.cpp.
#include "batch/BatchEncoder.h"

#include "batch/BatchFileList.h"
#include "core/LamePrefs.h"
#include "core/TaskSource.h"
#include "platform/AudioFormats.h"
#include "platform/LocalizedStrings.h"
#include "platform/Paths.h"
#include "platform/widgets/ButtonTitles.h"
#include "platform/widgets/CommandLogSink.h"
#include "platform/widgets/DocumentRegistry.h"
#include "platform/widgets/FileDrops.h"
#include "platform/widgets/Sheets.h"
#include "platform/widgets/WindowDescription.h"
#include "platform/widgets/Workspace.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMainWindow>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QTableView>
#include <QTimer>

namespace {
QList<BatchEncoder *> controllers;
quint32 createdCount = 0;

// A name that is not valid UTF-8 reaches Qt with its bad bytes replaced, so the file cannot be
// found under the name Qt has, nor handed to the encoder under its real one.
bool nameIsNotUtf8(const QString &path)
{
    return path.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(path);
}

// Why a file cannot be listed at all, or nothing. Anything else that is wrong with an input is
// found when its turn comes, since it may change until then.
QString refusalReason(const QString &path)
{
    if (nameIsNotUtf8(path))
        return BatchEncoder::batchText("NameNotUtf8",
                                       "its name is not valid UTF-8, so the encoder cannot be given it");
    if (QFileInfo(path).isDir())
        return BatchEncoder::batchText("InputFolder", "it is a folder");
    return QString();
}
} // namespace

QString BatchEncoder::batchText(const char *key, const char *defaultText)
{
    return localizedString(key, defaultText, "Batch");
}

BatchEncoder *BatchEncoder::initWithPreferences(LamePrefs *preferences)
{
    return new BatchEncoder(preferences);
}

const QList<BatchEncoder *> &BatchEncoder::allControllers()
{
    return controllers;
}

quint32 BatchEncoder::batchCount()
{
    return createdCount;
}

BatchEncoder::BatchEncoder(LamePrefs *prefs) : windowIndex(++createdCount), preferences(prefs)
{
    controllers.append(this);
    if (preferences)
        setUpWindow();
}

BatchEncoder::~BatchEncoder()
{
    if (DocumentRegistry *registry = DocumentRegistry::instance())
        registry->unregisterBureaucrat(this);
    controllers.removeOne(this);
    // The window outlives this controller until its deferred deletion, and may be painted or
    // asked for its rows meanwhile: its table must not keep a model that reads our task list.
    if (fileList)
        fileList->setModel(nullptr);
    delete fileModel;
    fileModel = nullptr;
    if (filesWindow) {
        filesWindow->removeEventFilter(this);
        filesWindow->deleteLater();
    }
    if (tagsPanel) {
        tagsPanel->removeEventFilter(this);
        tagsPanel->deleteLater();
    }
}

void BatchEncoder::setUpWindow()
{
    globalOptions = {
        {kRawPCMInputKey, false}, {kSwapEndianKey, false}, {kSampleRateKey, QStringLiteral("44.1")}};
    outputFolder = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (outputFolder.isEmpty())
        outputFolder = QDir::homePath() + QStringLiteral("/Music");
    outputFolder = QDir::cleanPath(outputFolder);
    // A new window starts where the last batch went and where files were last added from, as
    // long as those folders are still there.
    const SettingsStore &store = preferences->settings();
    if (const QString last = store.stringForKey(PrefKey::BatchDestination); QFileInfo(last).isDir())
        outputFolder = QDir::cleanPath(last);
    if (const QString added = store.stringForKey(PrefKey::AddFilesFolder); QFileInfo(added).isDir())
        currentDirectory = added;
    tagsVisible = false;

    filesWindow = qobject_cast<QMainWindow *>(WindowDescription::load(QStringLiteral("Batch")));
    if (!filesWindow) {
        // Without its window the controller can show nothing and take no file; it goes away.
        deleteLater();
        return;
    }
    using WindowDescription::Outlet;
    if (!WindowDescription::findOutlets(
            filesWindow, Outlet{&fileList, "fileList"}, Outlet{&addButton, "addButton"},
            Outlet{&removeButton, "removeButton"}, Outlet{&tagsButton, "tagsButton"},
            Outlet{&encodeButton, "encodeButton"}, Outlet{&destinationButton, "destinationButton"},
            Outlet{&destinationPath, "destinationPath"}, Outlet{&rawInputBox, "rawInputBox"},
            Outlet{&swapBytesBox, "swapBytesBox"}, Outlet{&sampleRate, "sampleRate"},
            Outlet{&bitDepth, "bitDepth"}, Outlet{&totalLength, "totalLength"})) {
        delete filesWindow;
        filesWindow = nullptr;
        deleteLater();
        return;
    }
    filesWindow->setAttribute(Qt::WA_DeleteOnClose, false);
    filesWindow->installEventFilter(this);

    fileModel = new BatchFileList(&tasks, fileList);
    fileList->setModel(fileModel);
    fileList->horizontalHeader()->setStretchLastSection(false);
    fileList->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    fileList->horizontalHeader()->setSectionResizeMode(BatchFileList::kLengthColumn,
                                                       QHeaderView::ResizeToContents);
    fileList->horizontalHeader()->setSectionResizeMode(BatchFileList::kStatusColumn,
                                                       QHeaderView::ResizeToContents);
    // A long name keeps its start and its end (often a track number and the extension) in view.
    fileList->setTextElideMode(Qt::ElideMiddle);
    fileList->setWordWrap(false);
    connect(fileModel, &QAbstractItemModel::rowsInserted, this, &BatchEncoder::showTotalLength);
    connect(fileModel, &QAbstractItemModel::rowsRemoved, this, &BatchEncoder::showTotalLength);
    showTotalLength();
    connect(fileList->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (editingList)
            return;
        selectionShouldChange();
        tableViewSelectionDidChange();
    });
    for (QPushButton *button : {addButton, removeButton, tagsButton})
        connect(button, &QPushButton::clicked, this,
                [this, button] { editFileList(WindowDescription::tag(button)); });
    for (QCheckBox *box : {rawInputBox, swapBytesBox})
        connect(box, &QCheckBox::clicked, this,
                [this, box] { inputOptionChanged(WindowDescription::tag(box)); });
    connect(encodeButton, &QPushButton::clicked, this, &BatchEncoder::beginEncoding);
    // The list answers the keys a keyboard user expects of it; Tab leaves it (see Batch.ui).
    for (const QKeySequence &key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)})
        connect(new QShortcut(key, fileList, nullptr, nullptr, Qt::WidgetShortcut), &QShortcut::activated,
                encodeButton, [this] {
                    if (encodeButton->isEnabled())
                        encodeButton->click();
                });
    connect(new QShortcut(QKeySequence::Delete, fileList, nullptr, nullptr, Qt::WidgetShortcut),
            &QShortcut::activated, removeButton, [this] {
                if (removeButton->isEnabled())
                    removeButton->click();
            });
    connect(destinationButton, &QPushButton::clicked, this, &BatchEncoder::setDestination);
    connect(destinationPath, &QLineEdit::textEdited, this, [this] { destinationTyped = true; });
    connect(destinationPath, &QLineEdit::editingFinished, this, &BatchEncoder::takeTypedDestination);
    showDestination();

    filesWindow->setWindowTitle(
        windowIndex == 1 ? batchText("FirstWindowTitle", "Batch Encoding")
                         : localizedFormat(batchText("WindowTitle", "Batch Encoding %u"), {windowIndex}));
    if (DocumentRegistry *registry = DocumentRegistry::instance())
        registry->positionWindow(filesWindow);
    FileDrops::acceptDrops(
        filesWindow,
        [this](const QStringList &paths, bool generic) { return draggingEntered(paths, generic); },
        [this](const QStringList &paths) {
            for (const QString &path : paths)
                addFile(path, true);
        });

    // Shown as the user writes numbers; handed to the encoder as it reads them.
    for (const char *rate : {"16", "22.05", "24", "32", "44.1", "48"})
        sampleRate->addItem(QLocale().toString(QByteArray(rate).toDouble()), QString::fromLatin1(rate));
    sampleRate->setCurrentIndex(4);
    sampleRate->setEnabled(false);
    bitDepth->setEnabled(false);

    if (DocumentRegistry *registry = DocumentRegistry::instance())
        registry->registerBureaucrat(this);
    filesWindow->show();
    filesWindow->raise();
    filesWindow->activateWindow();
}

void BatchEncoder::release()
{
    ending = true;
    if (DocumentRegistry *registry = DocumentRegistry::instance())
        registry->unregisterBureaucrat(this);
    if (tagsPanel)
        tagsPanel->hide();
    // Closed rather than hidden, so that closing the last window still ends the application.
    if (filesWindow && filesWindow->isVisible())
        filesWindow->close();
    deleteLater();
}

bool BatchEncoder::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == tagsPanel && event->type() == QEvent::Close) {
        tagsVisible = false;
        return false;
    }
    if (watched != filesWindow)
        return false;
    switch (event->type()) {
    case QEvent::Close:
        // While a run goes on, its window side decides whether the window may close.
        if (!ending)
            release();
        return false;
    case QEvent::WindowActivate:
        if (tagsVisible && tagsPanel && !tagsPanel->isVisible())
            tagsPanel->show();
        if (!runWindow)
            if (DocumentRegistry *registry = DocumentRegistry::instance())
                registry->setGopher(this);
        return false;
    case QEvent::WindowDeactivate:
        // The batch window stops being the main window only when another application window
        // takes over; its own tags panel and sheets do not count.
        QTimer::singleShot(0, this, [this] {
            QWidget *active = QApplication::activeWindow();
            const bool ours = active && (active == filesWindow || active == tagsPanel ||
                                         active->parentWidget() == filesWindow);
            if (active && !ours && tagsVisible && tagsPanel)
                tagsPanel->hide();
        });
        return false;
    default:
        return false;
    }
}

// ---- The file list and the tags ----

void BatchEncoder::addFile(const QString &path, bool fromDrag)
{
    if (!preferences || runWindow || !fileModel)
        return;
    if (const QString reason = refusalReason(path); !reason.isEmpty()) {
        if (CommandLogSink *log = CommandLogSink::instance())
            log->logOutput(localizedFormat(batchText("CannotAdd", "\nCannot add \"%@\": %@.\n"),
                                           {QFileInfo(path).fileName(), reason}));
        Workspace::shared().beep();
        return;
    }
    // The tag fields belong to the record shown now; write them back before the rows move, and
    // show the new selection only once the list is whole again.
    selectionShouldChange();
    shownRow = -1;
    editingList = true;

    int row = -1;
    for (int i = 0; i < tasks.size(); ++i)
        if (tasks.at(i).value(kInputFileKey).toString() == path)
            row = i;
    if (row < 0) {
        const QString name = QFileInfo(path).fileName();
        row = int(tasks.size());
        for (int i = 0; i < tasks.size(); ++i) {
            const QString listed = QFileInfo(tasks.at(i).value(kInputFileKey).toString()).fileName();
            if (QString::compare(name, listed, Qt::CaseInsensitive) <= 0) {
                row = i;
                break;
            }
        }
        // Headerless samples carry no tags; any other file brings its own for the user to correct.
        fileModel->insertRecord(row, globalOptions.value(kRawPCMInputKey).toBool()
                                         ? QVariantMap{{kInputFileKey, path}}
                                         : TaskSource::recordFor(path));
    }
    fileList->clearSelection();
    fileList->selectRow(row);
    editingList = false;
    tableViewSelectionDidChange();
    fileList->scrollTo(fileModel->index(row, 0));
    encodeButton->setEnabled(true);
    if (!fromDrag) {
        filesWindow->show();
        filesWindow->raise();
        filesWindow->activateWindow();
    }
}

int BatchEncoder::selectedRow() const
{
    if (!fileList)
        return -1;
    const QModelIndexList rows = fileList->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.last().row();
}

namespace {
QString fieldText(QWidget *field)
{
    if (auto *line = qobject_cast<QLineEdit *>(field))
        return line->text();
    if (auto *box = qobject_cast<QComboBox *>(field))
        return box->currentText();
    return QString();
}

void setFieldText(QWidget *field, const QString &text)
{
    if (auto *line = qobject_cast<QLineEdit *>(field))
        line->setText(text);
    else if (auto *box = qobject_cast<QComboBox *>(field)) {
        box->setCurrentIndex(box->findText(text, Qt::MatchExactly));
        box->setEditText(text);
    }
}
} // namespace

QList<std::pair<const QString *, QWidget *>> BatchEncoder::tagFields() const
{
    return {{&kSongTitleKey, titleField},    {&kSongYearKey, yearField},     {&kSongArtistKey, artistField},
            {&kSongAlbumKey, albumField},    {&kSongTrackNoKey, trackField}, {&kSongGenreKey, genreField},
            {&kSongCommentKey, commentField}};
}

void BatchEncoder::selectionShouldChange()
{
    if (shownRow < 0 || shownRow >= tasks.size() || !tagsPanel)
        return;
    QVariantMap &record = tasks[shownRow];
    for (const auto &[key, field] : tagFields()) {
        const QString text = fieldText(field);
        if (text.isEmpty())
            record.remove(*key);
        else
            record.insert(*key, text);
    }
}

void BatchEncoder::tableViewSelectionDidChange()
{
    const int row = selectedRow();
    const bool selected = row != -1;
    removeButton->setEnabled(selected);
    tagsButton->setEnabled(selected);
    shownRow = row;
    if (!tagsPanel)
        return;
    for (const auto &[key, field] : tagFields()) {
        field->setEnabled(selected);
        setFieldText(field, selected ? tasks.at(row).value(*key).toString() : QString());
    }
}

void BatchEncoder::editFileList(int tag)
{
    switch (tag) {
    case 1: {
        Sheets::OpenPanelOptions options;
        options.title = batchText("AddPanelTitle", "Select Files to Encode");
        options.prompt = batchText("AddButtonTitle", "Add");
        options.multipleSelection = true;
        options.directory = currentDirectory;
        if (!globalOptions.value(kRawPCMInputKey).toBool()) {
            options.extensions = AudioFormats::extensions();
            options.filterName = batchText("AudioFilesFilter", "Audio files");
        }
        Sheets::beginOpenPanel(filesWindow, options, [this](int answer, QFileDialog *panel) {
            addPanelDidEnd(answer, Sheets::filenames(panel), panel->directory().absolutePath());
        });
        break;
    }
    case 2: {
        const int row = selectedRow();
        if (row < 0 || runWindow)
            return;
        selectionShouldChange();
        shownRow = -1;
        editingList = true;
        fileList->clearSelection();
        fileModel->removeRecord(row);
        editingList = false;
        tableViewSelectionDidChange();
        if (tasks.isEmpty())
            encodeButton->setEnabled(false);
        break;
    }
    case 3:
        showTagsPanel();
        break;
    default:
        qWarning("Error: corrupt nib file");
    }
}

void BatchEncoder::showTagsPanel()
{
    if (!tagsPanel) {
        QWidget *panel = WindowDescription::load(QStringLiteral("Tags"), filesWindow);
        if (!panel)
            return;
        using WindowDescription::Outlet;
        if (!WindowDescription::findOutlets(
                panel, Outlet{&titleField, "titleField"}, Outlet{&yearField, "yearField"},
                Outlet{&artistField, "artistField"}, Outlet{&albumField, "albumField"},
                Outlet{&trackField, "trackField"}, Outlet{&genreField, "genreField"},
                Outlet{&commentField, "commentField"})) {
            delete panel;
            return;
        }
        tagsPanel = panel;
        tagsPanel->setWindowFlag(Qt::Tool, true);
        tagsPanel->installEventFilter(this);
        // Escape takes the panel down the way its close button does: it stays down until the
        // user asks for it again.
        if (auto *dialog = qobject_cast<QDialog *>(tagsPanel))
            connect(dialog, &QDialog::finished, this, [this] { tagsVisible = false; });
        // The fields start empty: fill them from the selected record before anything is written
        // back into it.
        tableViewSelectionDidChange();
    }
    tagsPanel->show();
    tagsPanel->raise();
    tagsPanel->activateWindow();
    tagsVisible = true;
}

void BatchEncoder::showTotalLength()
{
    const quint32 count = quint32(tasks.size());
    const QString length = BatchFileList::lengthText(fileModel->totalSeconds());
    if (count == 0)
        totalLength->setText(batchText("NoFiles", "No files"));
    else if (count == 1)
        totalLength->setText(localizedFormat(batchText("TotalLengthOne", "1 file, %@"), {length}));
    else
        totalLength->setText(
            localizedFormat(batchText("TotalLength", "%u files, %@ in total"), {count, length}));
}

void BatchEncoder::addPanelDidEnd(int answer, const QStringList &files, const QString &directory)
{
    if (answer != 1)
        return;
    currentDirectory = directory;
    preferences->settings().setObject(directory, PrefKey::AddFilesFolder);
    for (const QString &file : files)
        addFile(file, false);
}

void BatchEncoder::inputOptionChanged(int tag)
{
    switch (tag) {
    case 1: {
        const bool raw = rawInputBox->isChecked();
        globalOptions.insert(kRawPCMInputKey, raw);
        sampleRate->setEnabled(raw);
        bitDepth->setEnabled(raw);
        break;
    }
    case 2:
        globalOptions.insert(kSwapEndianKey, swapBytesBox->isChecked());
        break;
    default:
        qWarning("Error: corrupt nib file");
    }
}

bool BatchEncoder::acceptsExtension(const QString &path) const
{
    if (globalOptions.value(kRawPCMInputKey).toBool())
        return true;
    return AudioFormats::isAccepted(path);
}

bool BatchEncoder::draggingEntered(const QStringList &paths, bool genericAllowed) const
{
    if (!genericAllowed || runWindow)
        return false;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        // A path that does not exist cannot be encoded: the whole drag is refused, as for a folder.
        // A name Qt cannot spell is let through, so that adding it says why it is refused.
        if ((!info.exists() && !nameIsNotUtf8(path)) || info.isDir() || !acceptsExtension(path))
            return false;
    }
    return true;
}

// ---- The destination ----

void BatchEncoder::showDestination()
{
    destinationTyped = false;
    if (destinationPath)
        destinationPath->setText(abbreviateWithTilde(outputFolder));
}

void BatchEncoder::takeTypedDestination()
{
    if (!destinationTyped || !destinationPath || runWindow)
        return;
    destinationTyped = false;
    QString typed = destinationPath->text();
    // An emptied field names no folder: it shows the destination again.
    if (typed.isEmpty()) {
        showDestination();
        return;
    }
    // "~" is the home folder, as the field shows it; a relative path starts there too, where the
    // folder panel starts.
    if (typed == u'~' || typed.startsWith(QStringLiteral("~/")))
        typed = QDir::homePath() + typed.mid(1);
    outputFolder = QDir::cleanPath(QDir::home().absoluteFilePath(typed));
}

void BatchEncoder::setDestination()
{
    Sheets::OpenPanelOptions options;
    options.title = batchText("SelectPanelTitle", "Select Destination Folder");
    options.prompt = ButtonTitles::choose();
    options.chooseFiles = false;
    options.chooseDirectories = true;
    options.directory = QFileInfo(outputFolder).path();
    options.file = QFileInfo(outputFolder).fileName();
    Sheets::beginOpenPanel(filesWindow, options, [this](int answer, QFileDialog *panel) {
        const QStringList chosen = Sheets::filenames(panel);
        if (answer != 1 || chosen.isEmpty())
            return;
        outputFolder = chosen.first();
        showDestination();
    });
}
