// BatchEncoder: Encode, which makes the destination and starts the run with its window side, and
// the question about existing output files (never overwritten without asking).
#include "batch/BatchEncoder.h"

#include "batch/BatchFileList.h"
#include "core/LamePrefs.h"
#include "core/OutputNames.h"
#include "monitor/RunWindowController.h"
#include "platform/LocalizedStrings.h"
#include "platform/Paths.h"
#include "platform/widgets/ButtonTitles.h"
#include "platform/widgets/DocumentRegistry.h"
#include "platform/widgets/Sheets.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryFile>

namespace {
DocumentRegistry *registry()
{
    return DocumentRegistry::instance();
}
} // namespace

bool BatchEncoder::prepareDestination()
{
    takeTypedDestination();
    // The destination is tried for writing, so that a folder that cannot take the files is said
    // before any file starts. Only the music folder is made when it is missing: another missing
    // folder is more likely mistyped than wanted.
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!QFileInfo::exists(outputFolder) && QDir::cleanPath(music) == outputFolder)
        QDir().mkpath(outputFolder);
    const bool missing = !QFileInfo::exists(outputFolder);
    bool usable = QFileInfo(outputFolder).isDir();
    if (usable) {
        QTemporaryFile probe(outputFolder + QStringLiteral("/.orvik-XXXXXX"));
        usable = probe.open();
    }
    if (usable)
        return true;
    const QString shown = abbreviateWithTilde(outputFolder);
    Sheets::beginAlertSheet(
        filesWindow, batchText("DestinationErrorTitle", "Cannot Use Destination Folder"),
        ButtonTitles::confirm(), QString(), QString(),
        missing
            ? localizedFormat(batchText("DestinationMissingMessage",
                                        "The folder \"%@\" does not exist. Choose another destination."),
                              {shown})
            : localizedFormat(batchText("DestinationErrorMessage",
                                        "The folder \"%@\" cannot be written. Choose another destination."),
                              {shown}),
        nullptr);
    return false;
}

void BatchEncoder::beginEncoding()
{
    if (runWindow || tasks.isEmpty() || !preferences)
        return;
    if (!prepareDestination())
        return;
    preferences->settings().setObject(outputFolder, PrefKey::BatchDestination);
    if (registry())
        registry()->unregisterBureaucrat(this);
    encodeButton->setEnabled(false);
    if (tagsPanel)
        tagsPanel->close();
    globalOptions.insert(kSampleRateKey, sampleRate->currentData().toString());
    globalOptions.insert(kBitDepthKey, QString::number(bitDepth->currentData().toInt()));
    selectionShouldChange();
    shownRow = -1;
    fileList->clearSelection();

    const bool useLibrary = preferences->useTunes();
    QStringList genres;
    if (genreField)
        for (int i = 0; i < genreField->count(); ++i)
            genres << genreField->itemText(i);
    for (QVariantMap &task : tasks) {
        task.insert(kOutputFileKey,
                    OutputNames::forInput(task.value(kInputFileKey).toString(), outputFolder));
        // The encoder knows only its own genre names; a genre it does not know is left out.
        if (!useLibrary && task.contains(kSongGenreKey) &&
            !genres.contains(task.value(kSongGenreKey).toString()))
            task.remove(kSongGenreKey);
    }

    runWindow = new RunWindowController(
        {filesWindow, "Batch", batchText("StopBatchTitle", "Stop batch?"),
         batchText("StopBatchMessage", "Stop encoding?"), batchText("SkipTaskTitle", "Skip file?"),
         [this](quint32 index) {
             return localizedFormat(
                 batchText("SkipTaskMessage", "Skip file \"%@\"?"),
                 {QFileInfo(tasks.value(index).value(kInputFileKey).toString()).fileName()});
         },
         batchText("CompletionTitle", "Encoding Complete"), batchText("CompletionMessage", "Batch complete."),
         outputFolder},
        this);
    connect(runWindow, &RunWindowController::ended, this, &BatchEncoder::release);
    connect(runWindow->run(), &EncoderRun::fileStateChanged, fileModel, &BatchFileList::setFileState);
    connect(runWindow->run(), &EncoderRun::nameConflict, this, &BatchEncoder::resolveNameConflict);
    runWindow->start({.tasks = &tasks,
                      .preferences = preferences,
                      .options = globalOptions,
                      .outputFolder = outputFolder,
                      .useLibrary = useLibrary,
                      .makePlaylist = useLibrary && preferences->batchPlaylists(),
                      .asksAboutExistingFiles = true,
                      .maxEncoders = preferences->encodersAtOnce()});
}

// ---- Existing output files ----

void BatchEncoder::resolveNameConflict(quint32 index)
{
    conflictIndex = index;
    const QString path = tasks.value(index).value(kOutputFileKey).toString();
    const QString name = QFileInfo(path).fileName();
    QString alternate = batchText("SkipButtonTitle", "Skip");
    QString other;
    QString message = localizedFormat(batchText("DuplicateNameLockedMessage", "Rename file \"%@\"?"), {name});
    if (runWindow->run()->isReplaceable(path)) {
        alternate = batchText("OverwriteButtonTitle", "Replace");
        other = batchText("SkipButtonTitle", "Skip");
        message = localizedFormat(batchText("DuplicateNameMessage", "Rename file \"%@\"?"), {name});
    }
    runWindow->showOwnSheet(Sheets::beginAlertSheet(
        filesWindow, localizedFormat(batchText("DuplicateNameTitle", "Duplicate Filename \"%@\""), {name}),
        batchText("RenameButtonTitle", "Rename"), alternate, other, message,
        [this](int answer) { duplicateNameEnded(answer); }));
}

void BatchEncoder::duplicateNameEnded(int answer)
{
    const QString path = tasks.value(conflictIndex).value(kOutputFileKey).toString();
    switch (answer) {
    case 1: {
        Sheets::SavePanelOptions options;
        options.title = batchText("SaveAsPanelTitle", "Save As");
        options.prompt = ButtonTitles::save();
        options.requiredFileType = QStringLiteral("mp3");
        options.directory = QFileInfo(path).path();
        options.file = QFileInfo(path).fileName();
        // The chosen name is asked about like any other output once it has its extension.
        options.confirmOverwrite = false;
        runWindow->showOwnSheet(
            Sheets::beginSavePanel(filesWindow, options, [this](int panelAnswer, QFileDialog *panel) {
                const QStringList chosen = Sheets::filenames(panel);
                runWindow->run()->renameOutput(
                    conflictIndex, panelAnswer == 1 && !chosen.isEmpty() ? chosen.first() : QString());
            }));
        break;
    }
    case -1:
        runWindow->run()->skipExisting(conflictIndex);
        break;
    case 0:
        runWindow->run()->replaceExisting(conflictIndex);
        break;
    default:
        qWarning("Error: invalid return code from alert sheet");
    }
}
