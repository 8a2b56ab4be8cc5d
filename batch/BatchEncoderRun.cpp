// BatchEncoder: the window side of the run. Encode starts an EncoderRun; this side shows its
// encoders on the progress sheet, asks the Stop and Skip questions and the question about
// existing output files (never overwritten without asking), and passes the answers back.
#include "batch/BatchEncoder.h"

#include "batch/BatchFileList.h"
#include "core/LamePrefs.h"
#include "core/OutputNames.h"
#include "monitor/LameProgress.h"
#include "platform/LocalizedStrings.h"
#include "platform/widgets/ButtonTitles.h"
#include "platform/widgets/CommandLogSink.h"
#include "platform/widgets/DesktopNotification.h"
#include "platform/widgets/DocumentRegistry.h"
#include "platform/widgets/Sheets.h"
#include "platform/widgets/Workspace.h"

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
    const QString shown = BatchFileList::abbreviateWithTilde(outputFolder);
    sheet = Sheets::beginAlertSheet(
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
    if (progress || tasks.isEmpty() || !preferences)
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

    EncoderRun::Setup setup;
    setup.tasks = &tasks;
    setup.preferences = preferences;
    setup.options = globalOptions;
    setup.outputFolder = outputFolder;
    setup.useLibrary = preferences->useTunes();
    setup.makePlaylist = setup.useLibrary && preferences->batchPlaylists();
    setup.asksAboutExistingFiles = true;
    setup.maxEncoders = preferences->encodersAtOnce();

    QStringList genres;
    if (genreField)
        for (int i = 0; i < genreField->count(); ++i)
            genres << genreField->itemText(i);
    for (QVariantMap &task : tasks) {
        task.insert(kOutputFileKey,
                    OutputNames::forInput(task.value(kInputFileKey).toString(), outputFolder));
        // The encoder knows only its own genre names; a genre it does not know is left out.
        if (!setup.useLibrary && task.contains(kSongGenreKey) &&
            !genres.contains(task.value(kSongGenreKey).toString()))
            task.remove(kSongGenreKey);
    }

    progress = new LameProgress(this);
    connect(progress, &LameProgress::stopRequested, this, &BatchEncoder::stopProcess);
    connect(progress, &LameProgress::skipRequested, this, &BatchEncoder::skipTask);
    connect(progress, &LameProgress::skipFileRequested, this, &BatchEncoder::skipFile);
    run = new EncoderRun(this);
    progress->watchRun(run, setup.maxEncoders);
    connectRun();
    run->start(setup);
}

void BatchEncoder::connectRun()
{
    connect(run, &EncoderRun::encoderPrepared, this, [this](QProcess *process, quint32 index) {
        progress->setTask(&tasks.at(index));
        progress->setFile(index + 1, quint32(tasks.size()));
        progress->attachToTool(process, index, tasks.at(index));
    });
    // Puts the sheet back too when a question had taken it down.
    connect(run, &EncoderRun::encoderLaunched, this, [this] { progress->attachToWindow(filesWindow); });
    connect(run, &EncoderRun::resumed, progress, &LameProgress::resume);
    connect(run, &EncoderRun::fileEnded, this, [this](quint32 index) {
        if (registry())
            registry()->unregisterBureaucrat(this);
        progress->fileEnded(index);
    });
    connect(run, &EncoderRun::fileStateChanged, fileModel, &BatchFileList::setFileState);
    connect(run, &EncoderRun::nameConflict, this, &BatchEncoder::resolveNameConflict);
    connect(run, &EncoderRun::completed, this, [this] {
        progress->hide();
        displayCompletion();
    });
    connect(run, &EncoderRun::stopped, this, &BatchEncoder::abortRun);
    connect(run, &EncoderRun::logged, this, &CommandLogSink::logLine);
}

void BatchEncoder::discardProcess()
{
    delete run;
    run = nullptr;
}

void BatchEncoder::stopProcess(LameProgress *)
{
    if (!progress || run->isInteracting())
        return;
    progress->suspend();
    run->questionStarted();
    sheet = Sheets::beginAlertSheet(filesWindow, batchText("StopBatchTitle", "Stop batch?"),
                                    ButtonTitles::confirm(), ButtonTitles::cancel(), QString(),
                                    batchText("StopBatchMessage", "Stop encoding?"),
                                    [this](int answer) { confirmStopDidEnd(answer); });
}

void BatchEncoder::skipTask(LameProgress *)
{
    if (run)
        skipFile(run->currentIndex());
}

void BatchEncoder::skipFile(quint32 index)
{
    if (!progress || run->isInteracting())
        return;
    progress->suspend();
    run->questionStarted();
    const QString name = QFileInfo(tasks.value(index).value(kInputFileKey).toString()).fileName();
    sheet =
        Sheets::beginAlertSheet(filesWindow, batchText("SkipTaskTitle", "Skip file?"),
                                ButtonTitles::confirm(), ButtonTitles::cancel(), QString(),
                                localizedFormat(batchText("SkipTaskMessage", "Skip file \"%@\"?"), {name}),
                                [this, index](int answer) { run->skipAnswered(index, answer == 1); });
}

void BatchEncoder::confirmStopDidEnd(int answer)
{
    const bool closing = closingWindow;
    closingWindow = false;
    // A batch stopped from its sheet ends like a finished one; one stopped by closing its window
    // ends as a closed window does.
    if (answer == 1 && registry() && !closing)
        registry()->runDidEnd(filesWindow);
    run->stopAnswered(answer == 1);
}

void BatchEncoder::abortRun()
{
    if (progress)
        progress->reset();
    if (run)
        run->abort();
    release();
}

QString BatchEncoder::completionSummary() const
{
    const quint32 failed = run->failedCount();
    const quint32 skipped = run->count(EncoderRun::FileState::Skipped);
    const quint32 encoded = quint32(tasks.size()) - failed - skipped;
    const QString folder = BatchFileList::abbreviateWithTilde(outputFolder);
    QString summary =
        encoded == 1
            ? localizedFormat(batchText("CompletionEncodedOne", "1 file encoded into %@."), {folder})
            : localizedFormat(batchText("CompletionEncoded", "%u files encoded into %@."), {encoded, folder});
    if (failed > 0 && skipped > 0)
        summary += u' ' + localizedFormat(batchText("CompletionFailedSkipped", "%u failed, %u skipped."),
                                          {failed, skipped});
    else if (failed > 0)
        summary += u' ' + localizedFormat(batchText("CompletionFailed", "%u failed."), {failed});
    else if (skipped > 0)
        summary += u' ' + localizedFormat(batchText("CompletionSkipped", "%u skipped."), {skipped});
    return summary;
}

void BatchEncoder::displayCompletion()
{
    QString message = completionSummary();
    if (run->failedCount() > 0)
        message += u' ' + batchText("CompletionFailuresLogged", "The command log shows why.");
    if (run->libraryFailureCount() > 0)
        message +=
            QStringLiteral("\n\n") +
            localizedFormat(batchText("CompletionLibraryFailures",
                                      "The music library could not take %u files whole (playlist entry "
                                      "or tags). The command log shows why."),
                            {run->libraryFailureCount()});
    if (run->coverLossCount() > 0)
        message += QStringLiteral("\n\n") +
                   localizedFormat(batchText("CompletionCoverLosses",
                                             "%u files were encoded without their cover picture. The "
                                             "command log shows why."),
                                   {run->coverLossCount()});
    if (run->tagLossCount() > 0)
        message += QStringLiteral("\n\n") +
                   localizedFormat(batchText("CompletionTagLosses",
                                             "%u files were encoded without some of their tags. The "
                                             "command log shows why."),
                                   {run->tagLossCount()});
    const QString title = batchText("CompletionTitle", "Encoding Complete");
    // The sheet waits on a window the user may not be looking at.
    if (DesktopNotification::applicationInBackground())
        DesktopNotification::show(title, completionSummary());
    sheet = Sheets::beginInformationalAlertSheet(filesWindow, title, ButtonTitles::confirm(), message,
                                                 [this](int) { completionEnded(); });
}

void BatchEncoder::completionEnded()
{
    if (registry())
        registry()->runDidEnd(filesWindow);
    Workspace::shared().noteFileSystemChanged(outputFolder);
    if (!tasks.isEmpty())
        Workspace::shared().selectFile(tasks.first().value(kOutputFileKey).toString());
    release();
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
    if (run->isReplaceable(path)) {
        alternate = batchText("OverwriteButtonTitle", "Replace");
        other = batchText("SkipButtonTitle", "Skip");
        message = localizedFormat(batchText("DuplicateNameMessage", "Rename file \"%@\"?"), {name});
    }
    if (progress)
        progress->suspend();
    sheet = Sheets::beginAlertSheet(
        filesWindow, localizedFormat(batchText("DuplicateNameTitle", "Duplicate Filename \"%@\""), {name}),
        batchText("RenameButtonTitle", "Rename"), alternate, other, message,
        [this](int answer) { duplicateNameEnded(answer); });
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
        sheet = Sheets::beginSavePanel(filesWindow, options, [this](int panelAnswer, QFileDialog *panel) {
            const QStringList chosen = Sheets::filenames(panel);
            renamingPanelDidEnd(panelAnswer, chosen.isEmpty() ? QString() : chosen.first());
        });
        break;
    }
    case -1:
        run->skipExisting(conflictIndex);
        break;
    case 0:
        run->replaceExisting(conflictIndex);
        break;
    default:
        qWarning("Error: invalid return code from alert sheet");
    }
}

void BatchEncoder::renamingPanelDidEnd(int answer, const QString &path)
{
    run->renameOutput(conflictIndex, answer == 1 ? path : QString());
}
