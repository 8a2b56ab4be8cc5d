// BatchEncoder: the run. Encode starts it; each file's encoder process is prepared, watched by
// the progress sheet and ended; the Stop and Skip questions may come up at any moment, also
// while a file ends, which is why the end of a file only records what it would do next while a
// question is up, and every answer looks at those records first. Existing output files are
// never overwritten without asking.
#include "batch/BatchEncoder.h"

#include "batch/BatchFileList.h"
#include "itunes/LameTunes.h"
#include "monitor/LameProgress.h"
#include "platform/ApplicationDelegate.h"
#include "platform/FileManager.h"
#include "platform/LocalizedStrings.h"
#include "platform/Resources.h"
#include "platform/Sheets.h"
#include "platform/Workspace.h"
#include "settings/LamePrefs.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryFile>

namespace {
ApplicationDelegate *master()
{
    return ApplicationDelegate::instance();
}

QString confirmTitle()
{
    return master() ? master()->confirmButtonTitle() : QStringLiteral("OK");
}

QString cancelTitle()
{
    return master() ? master()->cancelButtonTitle() : QStringLiteral("Cancel");
}

QVariant tag(const QVariantMap &task, const QString &key)
{
    return task.contains(key) ? task.value(key) : QVariant();
}
} // namespace

QString BatchEncoder::outputPathFor(const QString &inputPath, const QString &folder)
{
    QString name = QFileInfo(inputPath).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0)
        name.truncate(dot);
    return QDir::cleanPath(folder + u'/' + name + QStringLiteral(".mp3"));
}

bool BatchEncoder::prepareDestination()
{
    // The destination is made when it does not exist yet, and tried for writing, so that a
    // folder that cannot take the files is said before any file starts.
    QDir folder(outputFolder);
    bool usable = folder.exists() || QDir().mkpath(outputFolder);
    if (usable) {
        QTemporaryFile probe(outputFolder + QStringLiteral("/.orvik-XXXXXX"));
        usable = probe.open();
    }
    if (usable)
        return true;
    sheet = Sheets::beginAlertSheet(
        filesWindow, batchText("DestinationErrorTitle", "Cannot Use Destination Folder"), confirmTitle(),
        QString(), QString(),
        localizedFormat(
            batchText("DestinationErrorMessage",
                      "The folder \"%@\" cannot be created or written. Choose another destination."),
            {BatchFileList::abbreviateWithTilde(outputFolder)}),
        nullptr);
    return false;
}

void BatchEncoder::beginEncoding()
{
    if (progress || tasks.isEmpty() || !preferences)
        return;
    if (!prepareDestination())
        return;
    if (master())
        master()->unregisterBureaucrat(this);
    encodeButton->setEnabled(false);
    if (tagsPanel)
        tagsPanel->close();
    globalOptions.insert(kSampleRateKey, sampleRate->currentText());
    globalOptions.insert(kBitDepthKey, QString::number(bitDepth->currentData().toInt()));
    selectionShouldChange();
    shownRow = -1;
    fileList->clearSelection();

    usingTunes = preferences->useTunes();
    if (usingTunes) {
        createPlaylist = preferences->batchPlaylists();
        OpenTunes();
        if (createPlaylist)
            CreatePlaylist(QString(), &playlist);
    }
    globalSwitches = preferences->makeGlobalSwitches(globalOptions, !usingTunes);

    QStringList genres;
    if (genreField)
        for (int i = 0; i < genreField->count(); ++i)
            genres << genreField->itemText(i);
    for (QVariantMap &task : tasks) {
        task.insert(kOutputFileKey, outputPathFor(task.value(kInputFileKey).toString(), outputFolder));
        // The encoder knows only its own genre names; a genre it does not know is left out.
        if (!usingTunes && task.contains(kSongGenreKey) &&
            !genres.contains(task.value(kSongGenreKey).toString()))
            task.remove(kSongGenreKey);
    }

    progress = new LameProgress(this);
    progress->setDelegate(this);
    nameConflict = interacting = completed = deferred = false;
    currentTask = 0;
    failedTasks = 0;
    beginTask();
}

void BatchEncoder::beginTask()
{
    if (!progress || currentTask >= quint32(tasks.size()))
        return;
    const QVariantMap &task = tasks.at(currentTask);
    if (FileManager::fileExistsAtPath(task.value(kOutputFileKey).toString())) {
        if (interacting)
            nameConflict = true;
        else
            resolveNameConflict();
        return;
    }
    progress->setTask(&task);
    progress->setFile(currentTask + 1, quint32(tasks.size()));

    const bool raw = globalOptions.value(kRawPCMInputKey).toBool();
    const std::optional<QStringList> arguments =
        globalSwitches ? preferences->makeArgumentList(&task, &*globalSwitches, !usingTunes) : std::nullopt;
    if (!arguments) {
        // Nothing can be encoded without a complete command line: the file counts as failed.
        if (master())
            master()->logOutput(localizedFormat(
                batchText("NoCommandLine", "\nCannot encode \"%@\": the encoder settings are incomplete.\n"),
                {QFileInfo(task.value(kInputFileKey).toString()).fileName()}));
        ++failedTasks;
        nextTask();
        return;
    }

    toolTask = new QProcess(this);
    toolTask->setProcessChannelMode(QProcess::SeparateChannels);
    toolTask->setProgram(
        Resources::pathForResource(raw ? QStringLiteral("lame_raw") : QStringLiteral("lame")));
    toolTask->setArguments(*arguments);
    QProcess *process = toolTask;
    connect(process, &QProcess::finished, this, [this, process](int exitCode, QProcess::ExitStatus status) {
        if (process == toolTask)
            endOfFile(!terminating && (status != QProcess::NormalExit || exitCode != 0));
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        // A process that cannot start never reports that it finished; the log says why it failed.
        if (error != QProcess::FailedToStart || process != toolTask)
            return;
        if (master())
            master()->logOutput(
                localizedFormat(batchText("EncoderNotStarted", "\nThe encoder could not be started: %@\n"),
                                {process->errorString()}));
        endOfFile(!terminating);
    });
    terminating = false;
    progress->attachToTool(toolTask);
    if (interacting) {
        deferred = true;
        return;
    }
    progress->attachToWindow(filesWindow);
    launchTask();
}

void BatchEncoder::launchTask()
{
    if (toolTask)
        toolTask->start(QIODevice::ReadOnly);
}

void BatchEncoder::endOfFile(bool failed)
{
    if (master())
        master()->unregisterBureaucrat(this);
    const QVariantMap task = tasks.value(currentTask);
    const QString output = task.value(kOutputFileKey).toString();
    if (terminating || failed) {
        // A skipped or failed file leaves nothing half-written behind.
        if (FileManager::fileExistsAtPath(output))
            FileManager::removeFileAtPath(output);
        if (failed)
            ++failedTasks;
    } else if (usingTunes) {
        handOverToLibrary(task);
    }
    progress->reset();
    discardProcess();
    nextTask();
}

void BatchEncoder::handOverToLibrary(const QVariantMap &task)
{
    AEDesc track{};
    const OSErr added = AddFileToPlaylist(task.value(kOutputFileKey).toString(),
                                          createPlaylist ? &playlist : nullptr, &track);
    // A file the library did not take has no track to tag.
    if (added == 0)
        SetTags(&track, tag(task, kSongTitleKey), tag(task, kSongArtistKey), tag(task, kSongAlbumKey),
                tag(task, kSongYearKey), tag(task, kSongTrackNoKey), QVariant(), tag(task, kSongCommentKey),
                tag(task, kSongGenreKey));
    AEDisposeDesc(&track);
}

void BatchEncoder::discardProcess()
{
    if (!toolTask)
        return;
    QProcess *process = toolTask;
    toolTask = nullptr;
    disconnect(process, nullptr, this, nullptr);
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        // The encoder is gone for this controller either way; make sure no process is left over.
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
        process->setParent(nullptr);
        return;
    }
    process->deleteLater();
}

void BatchEncoder::nextTask()
{
    ++currentTask;
    if (currentTask >= quint32(tasks.size())) {
        completed = true;
        if (interacting)
            return;
        progress->hide();
        displayCompletion();
        return;
    }
    beginTask();
}

void BatchEncoder::stopProcess(LameProgress *)
{
    if (!progress || interacting)
        return;
    progress->suspend();
    interacting = true;
    sheet = Sheets::beginAlertSheet(filesWindow, batchText("StopBatchTitle", "Stop batch?"), confirmTitle(),
                                    cancelTitle(), QString(), batchText("StopBatchMessage", "Stop encoding?"),
                                    [this](int answer) { confirmStopDidEnd(answer); });
}

void BatchEncoder::skipTask(LameProgress *)
{
    if (!progress || interacting)
        return;
    progress->suspend();
    interacting = true;
    const QString name = QFileInfo(tasks.value(currentTask).value(kInputFileKey).toString()).fileName();
    sheet = Sheets::beginAlertSheet(
        filesWindow, batchText("SkipTaskTitle", "Skip file?"), confirmTitle(), cancelTitle(), QString(),
        localizedFormat(batchText("SkipTaskMessage", "Skip file \"%@\"?"), {name}),
        [this](int answer) { confirmSkipDidEnd(answer); });
}

void BatchEncoder::confirmSkipDidEnd(int answer)
{
    interacting = false;
    if (nameConflict) {
        nameConflict = false;
        resolveNameConflict();
    } else if (deferred) {
        deferred = false;
        progress->resume();
        launchTask();
    } else if (completed) {
        displayCompletion();
    } else if (answer == 1) {
        if (toolTask) {
            terminating = true;
            toolTask->terminate();
        }
    } else {
        progress->resume();
    }
}

void BatchEncoder::confirmStopDidEnd(int answer)
{
    interacting = false;
    if (answer != 1) {
        confirmSkipDidEnd(answer);
        return;
    }
    abortRun();
}

void BatchEncoder::abortRun()
{
    if (progress && toolTask) {
        const bool running = !deferred && !completed && !nameConflict;
        progress->reset();
        discardProcess();
        // A prepared process was never launched and wrote nothing; a running one leaves a
        // partial file.
        if (running) {
            const QString output = tasks.value(currentTask).value(kOutputFileKey).toString();
            if (FileManager::fileExistsAtPath(output))
                FileManager::removeFileAtPath(output);
        }
    }
    release();
}

void BatchEncoder::displayCompletion()
{
    QString message = batchText("CompletionMessage", "Batch complete.");
    if (failedTasks > 0)
        message +=
            QStringLiteral("\n\n") +
            localizedFormat(batchText("CompletionFailures",
                                      "%u of %u files could not be encoded. The command log shows why."),
                            {failedTasks, quint32(tasks.size())});
    sheet =
        Sheets::beginInformationalAlertSheet(filesWindow, batchText("CompletionTitle", "Encoding Complete"),
                                             confirmTitle(), message, [this](int) { completionEnded(); });
}

void BatchEncoder::completionEnded()
{
    Workspace::shared().noteFileSystemChanged(outputFolder);
    if (!tasks.isEmpty())
        Workspace::shared().selectFile(tasks.first().value(kOutputFileKey).toString());
    release();
}

// ---- Existing output files ----

void BatchEncoder::resolveNameConflict()
{
    const QString path = tasks.value(currentTask).value(kOutputFileKey).toString();
    const QString name = QFileInfo(path).fileName();
    QString alternate = batchText("SkipButtonTitle", "Skip");
    QString other;
    QString message = localizedFormat(batchText("DuplicateNameLockedMessage", "Rename file \"%@\"?"), {name});
    if (isReplaceable(path)) {
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

bool BatchEncoder::isReplaceable(const QString &path) const
{
    // An output path that is one of the batch's own input files is never offered for replacing:
    // that would destroy the very file to be encoded.
    for (const QVariantMap &task : tasks)
        if (QFileInfo(task.value(kInputFileKey).toString()) == QFileInfo(path))
            return false;
    return FileManager::isDeletableFileAtPath(path);
}

void BatchEncoder::duplicateNameEnded(int answer)
{
    const QString path = tasks.value(currentTask).value(kOutputFileKey).toString();
    switch (answer) {
    case 1: {
        Sheets::SavePanelOptions options;
        options.title = batchText("SaveAsPanelTitle", "Save As");
        options.prompt = master() ? master()->saveButtonTitle() : QStringLiteral("Save");
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
        skipRecord();
        break;
    case 0:
        if (isReplaceable(path)) {
            FileManager::removeFileAtPath(path);
            beginTask();
        } else {
            skipRecord();
        }
        break;
    default:
        qWarning("Error: invalid return code from alert sheet");
    }
}

void BatchEncoder::renamingPanelDidEnd(int answer, const QString &path)
{
    if (answer != 1 || path.isEmpty()) {
        skipRecord();
        return;
    }
    // The file holds MP3 data whatever name was typed; the extension is added, never replaced,
    // so that nothing the user typed is lost. The final name then meets the same question as
    // any other existing output.
    QString output = path;
    if (!output.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive))
        output += QStringLiteral(".mp3");
    tasks[currentTask].insert(kOutputFileKey, output);
    beginTask();
}

void BatchEncoder::skipRecord()
{
    ++currentTask;
    if (currentTask >= quint32(tasks.size())) {
        completed = true;
        displayCompletion();
        return;
    }
    beginTask();
}
