#include "cli/EncodeJob.h"

#include "cli/EncodeTexts.h"
#include "cli/TerminalProgress.h"
#include "core/LamePrefs.h"
#include "core/OutputNames.h"
#include "core/TaskSource.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cstdio>

namespace {
const char *stateName(EncoderRun::FileState state)
{
    switch (state) {
    case EncoderRun::FileState::Done:
        return "encoded";
    case EncoderRun::FileState::Failed:
        return "failed";
    case EncoderRun::FileState::Skipped:
        return "skipped";
    case EncoderRun::FileState::Waiting:
    case EncoderRun::FileState::Encoding:
        break;
    }
    return "notStarted";
}
} // namespace

EncodeJob::EncodeJob(const Setup &setup, LamePrefs *preferences, QObject *parent)
    : QObject(parent), setup(setup), preferences(preferences), run(new EncoderRun(this)),
      display(new TerminalProgress(TerminalProgress::modeFor(stderr, setup.quiet),
                                   quint32(setup.files.size()), stderr, this))
{
    connect(run, &EncoderRun::encoderStarted, this,
            [this](quint32 index) { display->fileStarted(index, inputName(index)); });
    connect(run, &EncoderRun::fileUpdated, this,
            [this](quint32 index, const EncoderOutputParser::Update &update) {
                if (update.field != EncoderOutputParser::Field::Progress || update.framesTotal <= 0)
                    return;
                display->fileProgress(index, update.fraction(), update.timeLeft);
                display->batchProgress(run->batchFraction(), ended);
            });
    connect(run, &EncoderRun::fileStateChanged, this, &EncodeJob::fileStateChanged);
    connect(run, &EncoderRun::logged, this, &EncodeJob::logged);
    // Answered from the event loop, as a window's answer would come: the run asks while it is in
    // the middle of beginning the file.
    connect(run, &EncoderRun::nameConflict, this, &EncodeJob::answerConflict, Qt::QueuedConnection);
    connect(run, &EncoderRun::completed, this, &EncodeJob::end);
}

EncodeJob::~EncodeJob() = default;

void EncodeJob::start()
{
    for (const InputFiles::File &file : std::as_const(setup.files)) {
        QVariantMap task = TaskSource::recordFor(file.input);
        task.insert(kOutputFileKey, file.output);
        tasks << task;
        if (QFileInfo::exists(file.output))
            existing.insert(file.output);
    }
    // The folders below the output folder that a walked folder's files keep; those that stay
    // empty are taken away again at the end.
    for (const InputFiles::File &file : std::as_const(setup.files)) {
        const QString folder = QFileInfo(file.output).path();
        QStringList missing;
        for (QString level = folder; !QFileInfo::exists(level); level = QFileInfo(level).path())
            missing.prepend(level);
        if (!missing.isEmpty() && QDir().mkpath(folder))
            createdFolders << missing;
    }
    EncoderRun::Setup runSetup;
    runSetup.tasks = &tasks;
    runSetup.preferences = preferences;
    runSetup.options = {
        {kRawPCMInputKey, false}, {kSwapEndianKey, false}, {kSampleRateKey, QStringLiteral("44.1")}};
    runSetup.outputFolder = setup.outputFolder;
    runSetup.useLibrary = setup.useLibrary;
    runSetup.makePlaylist = setup.makePlaylist;
    runSetup.asksAboutExistingFiles = true;
    runSetup.maxEncoders = setup.jobs;
    runSetup.encodersIgnoreInterrupt = true;
    run->start(runSetup);
}

QString EncodeJob::inputName(quint32 index) const
{
    return QFileInfo(tasks.value(index).value(kInputFileKey).toString()).fileName();
}

QString EncodeJob::outputName(quint32 index) const
{
    return QDir(setup.outputFolder).relativeFilePath(tasks.value(index).value(kOutputFileKey).toString());
}

void EncodeJob::fileStateChanged(quint32 index, EncoderRun::FileState state)
{
    if (state == EncoderRun::FileState::Waiting || state == EncoderRun::FileState::Encoding)
        return;
    ++ended;
    display->fileEnded(index);
    display->batchProgress(run->batchFraction(), ended);
    if (state == EncoderRun::FileState::Done)
        display->line(localizedFormat(encodeText("Encoded", "Encoded \"%@\" as \"%@\"."),
                                      {inputName(index), outputName(index)}));
    if (state == EncoderRun::FileState::Failed)
        reasons.insert(index, run->failureReason(index));
}

void EncodeJob::logged(const QString &line)
{
    // Every line of the run tells of something lost: a file, its cover, its place in the library.
    messages << line;
    display->line(line, true);
}

void EncodeJob::skippedBecause(quint32 index, const QString &reason)
{
    reasons.insert(index, reason);
    messages << reason;
    display->line(reason, true);
}

void EncodeJob::answerConflict(quint32 index)
{
    if (done || interruptedBy)
        return;
    const QString output = tasks.value(index).value(kOutputFileKey).toString();
    const QString existingName = outputName(index);
    switch (setup.conflicts) {
    case EncodeOptions::Conflicts::Replace:
        // What this run wrote for another file is never replaced: that would lose the other file.
        if (!existing.contains(output)) {
            skippedBecause(index, localizedFormat(encodeText("SkippedOwnOutput",
                                                             "\"%@\" was written by this run for another "
                                                             "file: \"%@\" skipped (--rename encodes it)."),
                                                  {existingName, inputName(index)}));
            run->skipExisting(index);
        } else if (!run->isReplaceable(output)) {
            skippedBecause(
                index, localizedFormat(encodeText("CannotReplace",
                                                  "\"%@\" exists and cannot be replaced: \"%@\" skipped."),
                                       {existingName, inputName(index)}));
            run->skipExisting(index);
        } else {
            existing.remove(output);
            display->line(localizedFormat(encodeText("Replacing", "Replacing \"%@\"."), {existingName}));
            run->replaceExisting(index);
        }
        return;
    case EncodeOptions::Conflicts::Rename: {
        const QString renamed = OutputNames::freeFile(output, tasks);
        display->line(localizedFormat(
            encodeText("Renamed", "\"%@\" exists: \"%@\" is written as \"%@\"."),
            {existingName, inputName(index), QDir(setup.outputFolder).relativeFilePath(renamed)}));
        run->renameOutput(index, renamed);
        return;
    }
    case EncodeOptions::Conflicts::Skip:
        break;
    }
    skippedBecause(index,
                   localizedFormat(encodeText("SkippedExisting", "\"%@\" exists: \"%@\" skipped "
                                                                 "(--replace or --rename encodes it)."),
                                   {existingName, inputName(index)}));
    run->skipExisting(index);
}

void EncodeJob::interrupt(int signalNumber)
{
    // A later signal finds the run stopped: stopping returns only once every encoder has ended.
    if (done || interruptedBy)
        return;
    interruptedBy = signalNumber;
    stoppedFiles = run->runningIndexes();
    display->line(encodeText("Stopping", "Stopping: the running files are ended and removed."));
    run->abort();
    end();
}

QString EncodeJob::summary() const
{
    const quint32 encoded = run->count(EncoderRun::FileState::Done);
    const quint32 failed = run->count(EncoderRun::FileState::Failed);
    const quint32 stopped = quint32(stoppedFiles.size());
    const quint32 skipped = run->count(EncoderRun::FileState::Skipped) - stopped;
    const quint32 notStarted = quint32(tasks.size()) - encoded - failed - skipped - stopped;
    QStringList parts{encoded == 1 ? localizedFormat(encodeText("EncodedOne", "1 file encoded into %@"),
                                                     {setup.outputFolder})
                                   : localizedFormat(encodeText("EncodedMany", "%u files encoded into %@"),
                                                     {encoded, setup.outputFolder})};
    if (failed > 0)
        parts << localizedFormat(encodeText("FailedCount", "%u failed"), {failed});
    if (skipped > 0)
        parts << localizedFormat(encodeText("SkippedCount", "%u skipped"), {skipped});
    if (stopped > 0)
        parts << localizedFormat(encodeText("StoppedCount", "%u stopped and removed"), {stopped});
    if (notStarted > 0)
        parts << localizedFormat(encodeText("NotStartedCount", "%u not begun"), {notStarted});
    QString text = parts.join(QStringLiteral(", ")) + u'.';
    if (run->libraryFailureCount() > 0)
        text += u'\n' + localizedFormat(encodeText("LibraryFailures",
                                                   "The music library could not take %u files whole "
                                                   "(playlist entry or tags)."),
                                        {run->libraryFailureCount()});
    if (run->coverLossCount() > 0)
        text += u'\n' + localizedFormat(encodeText("CoverLosses", "%u files were encoded without their "
                                                                  "cover picture."),
                                        {run->coverLossCount()});
    if (run->tagLossCount() > 0)
        text += u'\n' +
                localizedFormat(encodeText("TagLosses", "%u files were encoded without some of their tags."),
                                {run->tagLossCount()});
    return text;
}

QJsonObject EncodeJob::report(int exitStatus) const
{
    QJsonArray files;
    for (quint32 index = 0; index < quint32(tasks.size()); ++index) {
        const EncoderRun::FileState state = run->fileState(index);
        QJsonObject file{{"input", tasks.at(index).value(kInputFileKey).toString()},
                         {"output", tasks.at(index).value(kOutputFileKey).toString()},
                         {"state", stoppedFiles.contains(index) ? "stopped" : stateName(state)}};
        if (reasons.contains(index))
            file.insert("reason", reasons.value(index));
        files.append(file);
    }
    const quint32 stopped = quint32(stoppedFiles.size());
    const quint32 encoded = run->count(EncoderRun::FileState::Done);
    const quint32 failed = run->count(EncoderRun::FileState::Failed);
    const quint32 skipped = run->count(EncoderRun::FileState::Skipped) - stopped;
    return {{"outputFolder", setup.outputFolder},
            {"exitStatus", exitStatus},
            {"interrupted", interruptedBy != 0},
            {"library", setup.useLibrary},
            {"counts",
             QJsonObject{{"files", tasks.size()},
                         {"encoded", qint64(encoded)},
                         {"failed", qint64(failed)},
                         {"skipped", qint64(skipped)},
                         {"stopped", qint64(stopped)},
                         {"notStarted", qint64(quint32(tasks.size()) - encoded - failed - skipped - stopped)},
                         {"libraryFailures", qint64(run->libraryFailureCount())},
                         {"coverLosses", qint64(run->coverLossCount())},
                         {"tagLosses", qint64(run->tagLossCount())}}},
            {"files", files},
            {"messages", QJsonArray::fromStringList(messages)}};
}

void EncodeJob::removeEmptyFolders()
{
    // Deepest first; rmdir takes only a folder that is empty.
    for (auto folder = createdFolders.crbegin(); folder != createdFolders.crend(); ++folder)
        QDir().rmdir(*folder);
}

void EncodeJob::end()
{
    if (done)
        return;
    done = true;
    removeEmptyFolders();
    int status = 0;
    if (interruptedBy)
        status = 128 + interruptedBy;
    else if (run->failedCount() > 0 || run->count(EncoderRun::FileState::Skipped) > 0 ||
             run->libraryFailureCount() > 0 || run->coverLossCount() > 0 || run->tagLossCount() > 0)
        status = 1;
    display->finish();
    if (!setup.quiet)
        std::fprintf(stderr, "%s\n", summary().toLocal8Bit().constData());
    if (setup.json)
        std::fprintf(stdout, "%s", QJsonDocument(report(status)).toJson().constData());
    std::fflush(stdout);
    std::fflush(stderr);
    emit finished(status);
}
