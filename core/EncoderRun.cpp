#include "core/EncoderRun.h"

#include "core/LamePrefs.h"
#include "core/LameTunes.h"
#include "core/TaskSource.h"
#include "platform/AudioFileInfo.h"
#include "platform/AudioFormats.h"
#include "platform/FileManager.h"
#include "platform/LocalizedStrings.h"
#include "platform/Resources.h"
#include "platform/SourceTags.h"

#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <cstring>

namespace {
QVariant tag(const QVariantMap &task, const QString &key)
{
    return task.contains(key) ? task.value(key) : QVariant();
}

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

// Below this much free space the destination counts as full: lame says nothing when a write
// fails, so the folder's free space is what tells the user why the file ended.
constexpr qint64 kFullDestination = 256 * 1024;
} // namespace

EncoderRun::EncoderRun(QObject *parent) : QObject(parent) {}

EncoderRun::~EncoderRun()
{
    discardProcess();
    AEDisposeDesc(&playlist);
}

QString EncoderRun::text(const char *key, const char *defaultText) const
{
    return localizedString(key, defaultText, setup.stringTable);
}

void EncoderRun::start(const Setup &runSetup)
{
    if (started || !runSetup.tasks || runSetup.tasks->isEmpty() || !runSetup.preferences)
        return;
    setup = runSetup;
    tasks = setup.tasks;
    started = true;
    AEDisposeDesc(&playlist);
    if (setup.useLibrary) {
        OpenTunes();
        // Without a playlist the files still go to the library, with their tags.
        if (setup.makePlaylist)
            if (const OSErr status = CreatePlaylist(setup.playlistName, &playlist))
                log(localizedFormat(text("PlaylistFailed",
                                         "The music library could not make a playlist: %@. The "
                                         "files are added without one."),
                                    {TunesErrorText(status)}));
    }
    globalSwitches =
        LamePrefs::makeGlobalSwitches(setup.preferences->settings(), setup.options, !setup.useLibrary);
    beginTask();
}

void EncoderRun::log(const QString &line)
{
    emit logged(line);
}

void EncoderRun::logCannotEncode(const QVariantMap &task, const QString &reason)
{
    log(localizedFormat(text("CannotEncode", "Cannot encode \"%@\": %@."),
                        {fileName(task.value(kInputFileKey).toString()), reason}));
}

void EncoderRun::beginTask()
{
    if (!started || ended || current >= taskCount())
        return;
    const QVariantMap &task = tasks->at(current);
    // An input the encoder cannot read as audio would still become an MP3 (of noise, or of
    // nothing), or block the run on a pipe: it fails here, before anything opens it.
    QString problem = setup.sourceProblem ? setup.sourceProblem(task) : QString();
    if (problem.isEmpty())
        problem = inputProblem(task);
    if (!problem.isEmpty()) {
        logCannotEncode(task, problem);
        ++failedTasks;
        nextTask();
        return;
    }
    if (setup.asksAboutExistingFiles &&
        FileManager::fileExistsAtPath(task.value(kOutputFileKey).toString())) {
        if (interacting)
            conflictPending = true;
        else
            emit nameConflict(current);
        return;
    }
    const bool raw = setup.options.value(kRawPCMInputKey).toBool();
    // The encoder takes the input's cover from a file of its own, which lives as long as it runs.
    QVariantMap command = task;
    std::unique_ptr<QTemporaryFile> cover;
    if (!setup.useLibrary && !raw) {
        bool lost = false;
        cover = TaskSource::coverFile(task.value(kInputFileKey).toString(), &lost);
        if (cover)
            command.insert(kCoverArtFileKey, cover->fileName());
        else if (lost)
            log(localizedFormat(
                text("CoverLost", "The cover picture of \"%@\" could not be handed to the encoder."),
                {fileName(task.value(kInputFileKey).toString())}));
    }
    const std::optional<QStringList> arguments =
        globalSwitches ? setup.preferences->makeArgumentList(&command, &*globalSwitches, !setup.useLibrary)
                       : std::nullopt;
    if (!arguments) {
        // Nothing can be encoded without a complete command line: the file counts as failed.
        logCannotEncode(task, text("NoCommandLine", "the encoder settings are incomplete"));
        ++failedTasks;
        nextTask();
        return;
    }

    tool = new QProcess(this);
    tool->setProcessChannelMode(QProcess::SeparateChannels);
    tool->setProgram(Resources::pathForResource(raw ? QStringLiteral("lame_raw") : QStringLiteral("lame")));
    tool->setArguments(*arguments);
    if (cover)
        cover.release()->setParent(tool);
    QProcess *process = tool;
    connect(process, &QProcess::finished, this, [this, process](int exitCode, QProcess::ExitStatus status) {
        if (process == tool)
            endOfFile(terminating ? QString() : encoderFailure(exitCode, status));
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        // A process that cannot start never reports that it finished.
        if (error != QProcess::FailedToStart || process != tool)
            return;
        endOfFile(localizedFormat(text("EncoderNotStarted", "the encoder could not be started: %@"),
                                  {process->errorString()}));
    });
    terminating = false;
    emit encoderPrepared(tool, current);
    if (interacting) {
        deferred = true;
        return;
    }
    launchTask();
}

QString EncoderRun::inputProblem(const QVariantMap &task) const
{
    const QString input = task.value(kInputFileKey).toString();
    const bool raw = setup.options.value(kRawPCMInputKey).toBool();
    const AudioFileInfo info = AudioFileInfo::inspect(input, !raw);
    switch (info.problem()) {
    case AudioFileInfo::Problem::None:
        return QString();
    case AudioFileInfo::Problem::Missing:
        return text("InputMissing", "it does not exist");
    case AudioFileInfo::Problem::Folder:
        return text("InputFolder", "it is a folder");
    case AudioFileInfo::Problem::NotRegularFile:
        return text("InputNotRegular", "it is not a regular file");
    case AudioFileInfo::Problem::Empty:
        return text("InputEmpty", "it is an empty file");
    case AudioFileInfo::Problem::Unreadable:
        return text("InputUnreadable", "it cannot be read");
    case AudioFileInfo::Problem::TooManyChannels:
        return localizedFormat(
            text("InputChannels", "it has %d channels; the encoder takes mono and stereo only"),
            {info.channels()});
    case AudioFileInfo::Problem::EndMissing:
        return text("InputEndMissing", "it is damaged or cut short: its end is missing");
    case AudioFileInfo::Problem::NotAudio:
        break;
    }
    const QString kind = AudioFormats::kindName(input);
    return kind.isEmpty() ? text("InputNotAudio", "it is not an audio file")
                          : localizedFormat(text("InputNotKind", "it is not a %@ file"), {kind});
}

QString EncoderRun::encodedLengthProblem(const QVariantMap &task) const
{
    // The encoder stops without a word where a damaged file breaks off; only the length of what
    // it wrote tells. Headerless input promises no length.
    if (setup.options.value(kRawPCMInputKey).toBool())
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
        text("InputCutShort",
             "it is damaged or cut short: its header promises %@ seconds of audio, the MP3 holds %@"),
        {locale.toString(input.seconds(), 'f', 2), locale.toString(encoded.seconds, 'f', 2)});
}

QString EncoderRun::encoderFailure(int exitCode, QProcess::ExitStatus status) const
{
    if (status == QProcess::NormalExit && exitCode == 0)
        return QString();
    QString reason =
        status == QProcess::CrashExit
            ? localizedFormat(text("EncoderKilled", "the encoder was ended by signal %d (%@)"),
                              {exitCode, QString::fromLocal8Bit(strsignal(exitCode))})
            : localizedFormat(text("EncoderExitStatus", "the encoder ended with status %d"), {exitCode});
    const QStorageInfo volume(setup.outputFolder);
    if (volume.isValid() && volume.bytesAvailable() < kFullDestination)
        reason += text("DestinationFull", ": the destination is full");
    return reason;
}

void EncoderRun::launchTask()
{
    if (!tool)
        return;
    emit encoderLaunched(current);
    tool->start(QIODevice::ReadOnly);
}

void EncoderRun::endOfFile(const QString &failure)
{
    const QVariantMap task = tasks->value(current);
    const QString output = task.value(kOutputFileKey).toString();
    QString failed = failure;
    // What the source says is the cause: an encoder cut off by a vanished disc ends by a signal.
    if (!terminating && setup.sourceProblem)
        if (const QString problem = setup.sourceProblem(task); !problem.isEmpty())
            failed = problem;
    if (failed.isEmpty() && !terminating)
        failed = encodedLengthProblem(task);
    if (!failed.isEmpty()) {
        ++failedTasks;
        logCannotEncode(task, failed);
    }
    if (terminating || !failed.isEmpty())
        removePartialOutput(output);
    else if (setup.useLibrary && !handOverToLibrary(task))
        ++libraryFailures;
    emit fileEnded(current, !failed.isEmpty());
    discardProcess();
    nextTask();
}

void EncoderRun::removePartialOutput(const QString &output)
{
    // A skipped or failed file leaves nothing half-written behind, and says so when it must.
    if (FileManager::fileExistsAtPath(output) && !FileManager::removeFileAtPath(output))
        log(localizedFormat(
            text("PartialNotRemoved", "The unfinished file \"%@\" could not be removed; it is not whole."),
            {output}));
}

bool EncoderRun::handOverToLibrary(const QVariantMap &task)
{
    const QString output = task.value(kOutputFileKey).toString();
    const auto failed = [this, &output](const char *key, const char *defaultText, OSErr status) {
        log(localizedFormat(text(key, defaultText), {fileName(output), TunesErrorText(status)}));
    };
    AEDesc track;
    AEInitializeDesc(&track);
    const bool listed = playlist.descriptorType != typeNull;
    OSErr status = AddFileToPlaylist(output, listed ? &playlist : nullptr, &track);
    // A file that misses its place in the run's playlist did not reach the library whole.
    bool whole = !setup.makePlaylist || (listed && status == noErr);
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
        // A track number may carry the count of the disc's tracks ("03/12"), as the encoder takes it.
        const QVariant number = tag(task, kSongTrackNoKey);
        const QStringList parts = number.toString().split(u'/');
        status =
            SetTags(&track, tag(task, kSongTitleKey), tag(task, kSongArtistKey), tag(task, kSongAlbumKey),
                    tag(task, kSongYearKey), parts.size() > 1 ? QVariant(parts.first()) : number,
                    parts.size() > 1 ? QVariant(parts.at(1).toInt()) : QVariant(), tag(task, kSongCommentKey),
                    tag(task, kSongGenreKey));
        if (const SourceTags::Picture cover = SourceTags::cover(task.value(kInputFileKey).toString());
            !status && !cover.data.isEmpty())
            status = SetArtwork(&track, cover.data);
        if (status)
            failed("TagsFailed", "The tags of \"%@\" could not be written: %@.", status);
        whole = whole && status == noErr;
    }
    AEDisposeDesc(&track);
    return whole;
}

void EncoderRun::discardEmptyPlaylist()
{
    // A run that added nothing leaves no empty playlist behind.
    if (setup.useLibrary && filesAdded == 0 && playlist.descriptorType != typeNull)
        DeletePlaylist(&playlist);
    AEDisposeDesc(&playlist);
}

void EncoderRun::discardProcess()
{
    if (!tool)
        return;
    QProcess *process = tool;
    tool = nullptr;
    disconnect(process, nullptr, this, nullptr);
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        // The encoder is gone for this run either way; make sure no process is left over.
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
        process->setParent(nullptr);
        return;
    }
    process->deleteLater();
}

void EncoderRun::nextTask()
{
    ++current;
    if (current >= taskCount()) {
        allDone = true;
        if (!interacting)
            complete();
        return;
    }
    // From the event loop, not from here: a file that fails at once (an encoder that cannot
    // start) would otherwise start the next one inside this call, one level deeper per file.
    QMetaObject::invokeMethod(this, &EncoderRun::beginTask, Qt::QueuedConnection);
}

void EncoderRun::complete()
{
    discardEmptyPlaylist();
    emit completed();
}

void EncoderRun::questionStarted()
{
    interacting = true;
}

void EncoderRun::skipAnswered(bool confirmed)
{
    interacting = false;
    if (conflictPending) {
        conflictPending = false;
        emit nameConflict(current);
    } else if (deferred) {
        deferred = false;
        launchTask();
    } else if (allDone) {
        complete();
    } else if (confirmed) {
        if (tool) {
            terminating = true;
            tool->terminate();
        }
    } else {
        emit resumed();
    }
}

void EncoderRun::stopAnswered(bool confirmed)
{
    if (!confirmed) {
        skipAnswered(false);
        return;
    }
    interacting = false;
    abort();
    emit stopped();
}

void EncoderRun::abort()
{
    if (ended)
        return;
    ended = true;
    if (tool) {
        // A prepared process was never launched and wrote nothing; a running one leaves a
        // partial file.
        const bool running = !deferred && !allDone && !conflictPending;
        discardProcess();
        if (running)
            removePartialOutput(tasks->value(current).value(kOutputFileKey).toString());
    }
    discardEmptyPlaylist();
}

bool EncoderRun::isReplaceable(const QString &path) const
{
    // An output path that is one of the run's own input files is never offered for replacing:
    // that would destroy the very file to be encoded.
    if (tasks)
        for (const QVariantMap &task : *tasks)
            if (QFileInfo(task.value(kInputFileKey).toString()) == QFileInfo(path))
                return false;
    return FileManager::isDeletableFileAtPath(path);
}

void EncoderRun::replaceExisting()
{
    const QString path = tasks->value(current).value(kOutputFileKey).toString();
    if (!isReplaceable(path)) {
        skipExisting();
        return;
    }
    FileManager::removeFileAtPath(path);
    beginTask();
}

void EncoderRun::renameOutput(const QString &path)
{
    if (path.isEmpty()) {
        skipExisting();
        return;
    }
    // The file holds MP3 data whatever name was typed; the extension is added, never replaced,
    // so that nothing the user typed is lost. The final name then meets the same question as
    // any other existing output.
    QString output = path;
    if (!output.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive))
        output += QStringLiteral(".mp3");
    (*tasks)[current].insert(kOutputFileKey, output);
    beginTask();
}

void EncoderRun::skipExisting()
{
    ++current;
    if (current >= taskCount()) {
        allDone = true;
        complete();
        return;
    }
    beginTask();
}
