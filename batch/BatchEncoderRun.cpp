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
#include "platform/AudioFileInfo.h"
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
#include <QLocale>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStorageInfo>
#include <QTableView>
#include <QTemporaryFile>
#include <QTextBoundaryFinder>

#include <cstring>

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

void logLine(const QString &text)
{
    if (master())
        master()->logOutput(QStringLiteral("\n") + text + QStringLiteral("\n"));
}

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

// Below this much free space the destination counts as full: lame says nothing when a write
// fails, so the folder's free space is what tells the user why the file ended.
constexpr qint64 kFullDestination = 256 * 1024;

// Why an encoder that ended on its own failed, or a null string when it did not.
QString encoderFailure(int exitCode, QProcess::ExitStatus status, const QString &outputFolder)
{
    if (status == QProcess::NormalExit && exitCode == 0)
        return QString();
    QString reason = status == QProcess::CrashExit
                         ? localizedFormat(BatchEncoder::batchText("EncoderKilled",
                                                                   "the encoder was ended by signal %d (%@)"),
                                           {exitCode, QString::fromLocal8Bit(strsignal(exitCode))})
                         : localizedFormat(BatchEncoder::batchText("EncoderExitStatus",
                                                                   "the encoder ended with status %d"),
                                           {exitCode});
    const QStorageInfo volume(outputFolder);
    if (volume.isValid() && volume.bytesAvailable() < kFullDestination)
        reason += BatchEncoder::batchText("DestinationFull", ": the destination is full");
    return reason;
}

void logCannotEncode(const QVariantMap &task, const QString &reason)
{
    logLine(localizedFormat(BatchEncoder::batchText("CannotEncode", "Cannot encode \"%@\": %@."),
                            {fileName(task.value(kInputFileKey).toString()), reason}));
}
} // namespace

QString BatchEncoder::outputPathFor(const QString &inputPath, const QString &folder)
{
    QString name = QFileInfo(inputPath).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0)
        name.truncate(dot);
    // A file name holds at most 255 bytes; a long input name with a short extension would not
    // fit once it ends in ".mp3". Its start is kept, cut between two characters.
    const qsizetype room = 255 - 4;
    if (name.toUtf8().size() > room) {
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, name);
        qsizetype end = 0;
        for (qsizetype next = characters.toNextBoundary();
             next > 0 && name.left(next).toUtf8().size() <= room; next = characters.toNextBoundary())
            end = next;
        name.truncate(end);
    }
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
    libraryFailures = 0;
    filesAdded = 0;
    AEDisposeDesc(&playlist);
    if (usingTunes) {
        createPlaylist = preferences->batchPlaylists();
        OpenTunes();
        // Without a playlist the files still go to the library, with their tags.
        if (createPlaylist) {
            if (const OSErr status = CreatePlaylist(QString(), &playlist))
                logLine(localizedFormat(
                    batchText("PlaylistFailed",
                              "The music library could not make a playlist for this batch: %@. The files are "
                              "added without one."),
                    {TunesErrorText(status)}));
        }
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
    if (!progress || ending || currentTask >= quint32(tasks.size()))
        return;
    const QVariantMap &task = tasks.at(currentTask);
    // An input the encoder cannot read as audio would still become an MP3 (of noise, or of
    // nothing), or block the run on a pipe: it fails here, before anything opens it.
    if (const QString problem = inputProblem(task); !problem.isEmpty()) {
        logCannotEncode(task, problem);
        ++failedTasks;
        nextTask();
        return;
    }
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
        logCannotEncode(task, batchText("NoCommandLine", "the encoder settings are incomplete"));
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
            endOfFile(terminating ? QString() : encoderFailure(exitCode, status, outputFolder));
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        // A process that cannot start never reports that it finished.
        if (error != QProcess::FailedToStart || process != toolTask)
            return;
        endOfFile(localizedFormat(batchText("EncoderNotStarted", "the encoder could not be started: %@"),
                                  {process->errorString()}));
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

QString BatchEncoder::inputProblem(const QVariantMap &task) const
{
    const QString input = task.value(kInputFileKey).toString();
    const bool raw = globalOptions.value(kRawPCMInputKey).toBool();
    switch (AudioFileInfo::inspect(input, !raw).problem()) {
    case AudioFileInfo::Problem::None:
        return QString();
    case AudioFileInfo::Problem::Missing:
        return batchText("InputMissing", "it does not exist");
    case AudioFileInfo::Problem::Folder:
        return batchText("InputFolder", "it is a folder");
    case AudioFileInfo::Problem::NotRegularFile:
        return batchText("InputNotRegular", "it is not a regular file");
    case AudioFileInfo::Problem::Empty:
        return batchText("InputEmpty", "it is an empty file");
    case AudioFileInfo::Problem::Unreadable:
        return batchText("InputUnreadable", "it cannot be read");
    case AudioFileInfo::Problem::NotAudio:
        break;
    }
    return QFileInfo(input).suffix().compare(QStringLiteral("wav"), Qt::CaseInsensitive) == 0
               ? batchText("InputNotWav", "it is not a WAV file")
               : batchText("InputNotAudio", "it is not an audio file");
}

QString BatchEncoder::encodedLengthProblem(const QVariantMap &task) const
{
    // The encoder stops without a word where a damaged file breaks off; only the length of what
    // it wrote tells. Headerless input promises no length.
    if (globalOptions.value(kRawPCMInputKey).toBool())
        return QString();
    const AudioFileInfo input = AudioFileInfo::inspect(task.value(kInputFileKey).toString());
    if (input.problem() != AudioFileInfo::Problem::None || input.sampleRate() <= 0)
        return QString();
    const AudioFileInfo::Mp3Length encoded = AudioFileInfo::mp3Length(task.value(kOutputFileKey).toString());
    const double frame = encoded.frameSeconds > 0 ? encoded.frameSeconds : 1152.0 / input.sampleRate();
    if (input.seconds() - encoded.seconds <= frame)
        return QString();
    const QLocale locale;
    return localizedFormat(
        batchText("InputCutShort",
                  "it is damaged or cut short: its header promises %@ seconds of audio, the MP3 holds %@"),
        {locale.toString(input.seconds(), 'f', 2), locale.toString(encoded.seconds, 'f', 2)});
}

void BatchEncoder::launchTask()
{
    if (toolTask)
        toolTask->start(QIODevice::ReadOnly);
}

void BatchEncoder::endOfFile(const QString &failure)
{
    if (master())
        master()->unregisterBureaucrat(this);
    const QVariantMap task = tasks.value(currentTask);
    const QString output = task.value(kOutputFileKey).toString();
    QString failed = failure;
    if (failed.isEmpty() && !terminating)
        failed = encodedLengthProblem(task);
    if (!failed.isEmpty()) {
        ++failedTasks;
        logCannotEncode(task, failed);
    }
    if (terminating || !failed.isEmpty())
        removePartialOutput(output);
    else if (usingTunes && !handOverToLibrary(task))
        ++libraryFailures;
    progress->reset();
    discardProcess();
    nextTask();
}

void BatchEncoder::removePartialOutput(const QString &output)
{
    // A skipped or failed file leaves nothing half-written behind, and says so when it must.
    if (FileManager::fileExistsAtPath(output) && !FileManager::removeFileAtPath(output))
        logLine(
            localizedFormat(batchText("PartialNotRemoved",
                                      "The unfinished file \"%@\" could not be removed; it is not whole."),
                            {output}));
}

bool BatchEncoder::handOverToLibrary(const QVariantMap &task)
{
    const QString output = task.value(kOutputFileKey).toString();
    const auto failed = [&output](const char *key, const char *defaultText, OSErr status) {
        logLine(localizedFormat(batchText(key, defaultText), {fileName(output), TunesErrorText(status)}));
    };
    AEDesc track;
    AEInitializeDesc(&track);
    const bool listed = playlist.descriptorType != typeNull;
    OSErr status = AddFileToPlaylist(output, listed ? &playlist : nullptr, &track);
    // A file that misses its place in the batch's playlist did not reach the library whole.
    bool whole = !createPlaylist || (listed && status == noErr);
    if (status && listed) {
        // A playlist that cannot take the file must not cost the file its place in the library
        // and its tags.
        failed("PlaylistEntryFailed", "\"%@\" could not be added to the playlist: %@.", status);
        status = AddFileToPlaylist(output, nullptr, &track);
    }
    if (status) {
        failed("LibraryAddFailed", "The music library could not take \"%@\": %@.", status);
        whole = false;
    } else {
        ++filesAdded;
        status = SetTags(&track, tag(task, kSongTitleKey), tag(task, kSongArtistKey),
                         tag(task, kSongAlbumKey), tag(task, kSongYearKey), tag(task, kSongTrackNoKey),
                         QVariant(), tag(task, kSongCommentKey), tag(task, kSongGenreKey));
        if (status)
            failed("TagsFailed", "The tags of \"%@\" could not be written: %@.", status);
        whole = whole && status == noErr;
    }
    AEDisposeDesc(&track);
    return whole;
}

void BatchEncoder::discardEmptyPlaylist()
{
    // A run that added nothing leaves no empty playlist behind.
    if (usingTunes && filesAdded == 0 && playlist.descriptorType != typeNull)
        DeletePlaylist(&playlist);
    AEDisposeDesc(&playlist);
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
    // From the event loop, not from here: a file that fails at once (an encoder that cannot
    // start) would otherwise start the next one inside this call, one level deeper per file.
    QMetaObject::invokeMethod(this, &BatchEncoder::beginTask, Qt::QueuedConnection);
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
    const bool closing = closingWindow;
    closingWindow = false;
    if (answer != 1) {
        confirmSkipDidEnd(answer);
        return;
    }
    // A batch stopped from its sheet ends like a finished one; one stopped by closing its window
    // ends as a closed window does.
    if (master() && !closing)
        master()->runDidEnd(filesWindow);
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
        if (running)
            removePartialOutput(tasks.value(currentTask).value(kOutputFileKey).toString());
    }
    discardEmptyPlaylist();
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
    if (libraryFailures > 0)
        message +=
            QStringLiteral("\n\n") +
            localizedFormat(batchText("CompletionLibraryFailures",
                                      "The music library could not take %u files whole (playlist entry "
                                      "or tags). The command log shows why."),
                            {libraryFailures});
    discardEmptyPlaylist();
    sheet =
        Sheets::beginInformationalAlertSheet(filesWindow, batchText("CompletionTitle", "Encoding Complete"),
                                             confirmTitle(), message, [this](int) { completionEnded(); });
}

void BatchEncoder::completionEnded()
{
    if (master())
        master()->runDidEnd(filesWindow);
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
