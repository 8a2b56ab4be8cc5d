#include "core/EncoderRun.h"

#include "core/LamePrefs.h"
#include "core/LameTunes.h"
#include "core/LoudnessTagger.h"
#include "core/TaskSource.h"
#include "platform/AudioFileInfo.h"
#include "platform/AudioFormats.h"
#include "platform/FileManager.h"
#include "platform/LocalizedStrings.h"
#include "platform/MusicLibrary.h"
#include "platform/Resources.h"
#include "platform/SourceTags.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStorageInfo>
#include <QTemporaryFile>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <mutex>
#include <utility>

namespace {
QVariant tag(const QVariantMap &task, const QString &key)
{
    return task.contains(key) ? task.value(key) : QVariant();
}

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

bool isEnded(EncoderRun::FileState state)
{
    return state != EncoderRun::FileState::Waiting && state != EncoderRun::FileState::Encoding;
}

// Below this much free space the destination counts as full: lame says nothing when a write
// fails, so the folder's free space is what tells the user why the file ended.
constexpr qint64 kFullDestination = 256 * 1024;

// The longest tag handed to the encoder on its command line, in bytes. Linux refuses a command
// whose single argument passes 128 KiB, or whose arguments and environment together pass a
// quarter of the stack limit (at least 128 KiB): seven tags of this size leave room for three
// paths of the longest kind and a large environment.
constexpr qsizetype kLongestTagArgument = 4096;

// The tags of a record, with the music library's property for each.
const std::pair<const QString *, FourCharCode> kTagProperties[] = {
    {&kSongTitleKey, MusicLibrary::kTitle},     {&kSongArtistKey, MusicLibrary::kArtist},
    {&kSongAlbumKey, MusicLibrary::kAlbum},     {&kSongYearKey, MusicLibrary::kYear},
    {&kSongCommentKey, MusicLibrary::kComment}, {&kSongTrackNoKey, MusicLibrary::kTrackNumber},
    {&kSongGenreKey, MusicLibrary::kGenre}};

bool tooLongForCommandLine(const QVariant &tag)
{
    return tag.isValid() && tag.toString().toUtf8().size() > kLongestTagArgument;
}

void waitUntilEnded(QProcess *process)
{
    // An encoder ends within moments of being told to; one that does not is killed. The wait is
    // bounded, so that an encoder stuck in the kernel cannot hold the window for long.
    constexpr int kEndingTime = 5000;
    if (!process || process->state() == QProcess::NotRunning)
        return;
    if (!process->waitForFinished(kEndingTime)) {
        process->kill();
        process->waitForFinished(kEndingTime);
    }
}
} // namespace

struct EncoderRun::Encoder
{
    QProcess *process = nullptr;
    EncoderOutputParser output;
};

struct EncoderRun::LookMailbox
{
    std::mutex lock;
    EncoderRun *run = nullptr; // null once the run wants no more looks
};

EncoderRun::EncoderRun(QObject *parent) : QObject(parent) {}

EncoderRun::~EncoderRun()
{
    stopLooking();
    for (const Active &file : std::as_const(active))
        discardEncoder(file.encoder, this);
    cancelMeasuring();
    // A measurer gives up within one block of samples; none outlives the run.
    for (const Measurer &measurer : std::as_const(measurers)) {
        measurer.thread->wait();
        delete measurer.thread;
    }
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
    setup.maxEncoders = std::max(setup.maxEncoders, 1u);
    tasks = setup.tasks;
    started = true;
    states = QList<FileState>(tasks->size(), FileState::Waiting);
    const bool raw = setup.options.value(kRawPCMInputKey).toBool();
    weights.clear();
    if (setup.slowInputs) {
        weights = QList<double>(tasks->size(), 0.0);
        startLooking();
    } else {
        for (const QVariantMap &task : std::as_const(*tasks)) {
            const QString input = task.value(kInputFileKey).toString();
            weights << (raw ? double(QFileInfo(input).size()) : AudioFileInfo::inspect(input).seconds());
        }
    }
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
    // Run-wide tags too long for the command line reach each file after its encode.
    QVariantMap switchOptions = setup.options;
    for (const auto &[key, property] : kTagProperties)
        if (tooLongForCommandLine(switchOptions.value(*key)))
            switchOptions.remove(*key);
    globalSwitches =
        LamePrefs::makeGlobalSwitches(setup.preferences->settings(), switchOptions, !setup.useLibrary);
    startLoudness();
    fill();
}

void EncoderRun::startLoudness()
{
    if (!setup.preferences->settings().boolForKey(PrefKey::WriteReplayGainTags))
        return;
    if (setup.options.value(kRawPCMInputKey).toBool()) {
        log(text("LoudnessRawInput",
                 "Headerless input gets no loudness tags: only the encoder knows how to read its samples."));
        return;
    }
    // An album is the files that share an album tag, or the whole run for a disc; a disc without
    // a name is named by its folder.
    QStringList albums;
    for (const QVariantMap &task : std::as_const(*tasks)) {
        QString album =
            (task.contains(kSongAlbumKey) ? task.value(kSongAlbumKey) : setup.options.value(kSongAlbumKey))
                .toString()
                .trimmed();
        if (setup.oneAlbum && album.isEmpty())
            album = QFileInfo(setup.outputFolder).fileName();
        albums << (setup.oneAlbum && !albums.isEmpty() ? albums.first() : album);
    }
    loudness = new LoudnessTagger(albums, setup.stringTable, this);
    // The encoder's own loudness analysis (the first ReplayGain, kept in its LAME header) would
    // measure again, by an older rule, what the tagger measures: leaving it out saves each encoder
    // about as much as the measuring beside it costs, and players find one loudness, the tags'.
    if (globalSwitches)
        globalSwitches->append(QStringLiteral("--noreplaygain"));
    connect(loudness, &LoudnessTagger::logged, this, &EncoderRun::log);
    connect(loudness, &LoudnessTagger::tagsLost, this, [this](quint32 index) { tagLosses.insert(index); });
    // The last file's measurement may end after its encoder: the run ends with it.
    connect(loudness, &LoudnessTagger::settled, this, [this] {
        if (!ended)
            completeIfAllEnded();
    });
}

quint32 EncoderRun::currentIndex() const
{
    // Records begin in list order: every one before `next` that holds no place has ended.
    return active.isEmpty() ? next : active.firstKey();
}

EncoderRun::Encoder *EncoderRun::encoder(quint32 index) const
{
    const auto file = active.constFind(index);
    return file == active.cend() ? nullptr : file->encoder;
}

bool EncoderRun::isEncoderRunning(quint32 index) const
{
    const Encoder *running = encoder(index);
    return running && running->process->state() == QProcess::Running;
}

QList<quint32> EncoderRun::runningIndexes() const
{
    QList<quint32> running;
    for (auto file = active.cbegin(); file != active.cend(); ++file)
        if (file->phase == Active::Phase::Launched)
            running << file.key();
    return running;
}

quint32 EncoderRun::count(FileState state) const
{
    return quint32(std::count(states.cbegin(), states.cend(), state));
}

double EncoderRun::batchFraction() const
{
    // Files of unknown length (they fail before they start) weigh nothing, unless no file's
    // length is known: then every file weighs the same. A slow input not read yet weighs what
    // the inputs read so far weigh on average.
    double weighed = 0;
    quint32 count = 0;
    for (quint32 i = 0; i < quint32(weights.size()); ++i)
        if (isWeighed(i)) {
            weighed += weights.at(i);
            ++count;
        }
    const double guess = count > 0 ? weighed / count : 0.0;
    const auto weightOf = [&](quint32 index) { return isWeighed(index) ? weights.value(index) : guess; };
    double total = 0;
    for (quint32 i = 0; i < quint32(weights.size()); ++i)
        total += weightOf(i);
    double done = 0;
    for (qsizetype i = 0; i < states.size(); ++i) {
        const double weight = total > 0 ? weightOf(quint32(i)) : 1.0;
        if (isEnded(states.at(i)))
            done += weight;
        else if (states.at(i) == FileState::Encoding)
            done += weight * fractions.value(quint32(i));
    }
    const double whole = total > 0 ? total : double(states.size());
    return whole > 0 ? std::clamp(done / whole, 0.0, 1.0) : 0.0;
}

void EncoderRun::readOutput(quint32 index, EncoderOutputParser::Stream stream)
{
    Encoder *reading = encoder(index);
    if (!reading)
        return;
    QProcess *process = reading->process;
    const QByteArray bytes = stream == EncoderOutputParser::Stream::Error ? process->readAllStandardError()
                                                                          : process->readAllStandardOutput();
    const QString text = reading->output.decode(stream, bytes);
    if (text.isEmpty())
        return;
    emit outputRead(index, text);
    for (const EncoderOutputParser::Update &update : reading->output.consume(text)) {
        // What the window side does with an update may end this file, or the whole run.
        if (encoder(index) != reading)
            return;
        if (update.field == EncoderOutputParser::Field::Progress && update.framesTotal > 0)
            fractions.insert(index, std::clamp(update.fraction(), 0.0, 1.0));
        emit fileUpdated(index, update);
    }
}

bool EncoderRun::isWeighed(quint32 index) const
{
    return !setup.slowInputs || looks.contains(index);
}

EncoderRun::InputLook EncoderRun::lookAt(const QString &input, bool raw)
{
    InputLook look;
    look.info = AudioFileInfo::inspect(input, !raw);
    if (!raw)
        look.cover = SourceTags::cover(input);
    look.weight = raw ? double(QFileInfo(input).size()) : look.info.seconds();
    return look;
}

void EncoderRun::startLooking()
{
    lookMailbox = std::make_shared<LookMailbox>();
    lookMailbox->run = this;
    QStringList inputs;
    for (const QVariantMap &task : std::as_const(*tasks))
        inputs << task.value(kInputFileKey).toString();
    const bool raw = setup.options.value(kRawPCMInputKey).toBool();
    // One input after the other, in list order: a drive reads one place at a time. The
    // application waits for the pool's work at exit; a run that has gone lets the work end after
    // the read at hand.
    QThreadPool::globalInstance()->start([mailbox = lookMailbox, inputs, raw] {
        for (qsizetype i = 0; i < inputs.size(); ++i) {
            {
                const std::lock_guard<std::mutex> guard(mailbox->lock);
                if (!mailbox->run)
                    return;
            }
            const InputLook look = lookAt(inputs.at(i), raw);
            const std::lock_guard<std::mutex> guard(mailbox->lock);
            if (!mailbox->run)
                return;
            // Posted while the run cannot go: its destruction drops what is still posted.
            QMetaObject::invokeMethod(
                mailbox->run, [run = mailbox->run, i, look] { run->looked(quint32(i), look); },
                Qt::QueuedConnection);
        }
    });
}

void EncoderRun::stopLooking()
{
    if (!lookMailbox)
        return;
    const std::lock_guard<std::mutex> guard(lookMailbox->lock);
    lookMailbox->run = nullptr;
}

void EncoderRun::looked(quint32 index, const InputLook &look)
{
    looks.insert(index, look);
    weights[index] = look.weight;
    if (ended || !active.contains(index) || active.value(index).phase != Active::Phase::Reading)
        return;
    active.remove(index);
    beginTask(index);
}

AudioFileInfo EncoderRun::inputInfo(quint32 index) const
{
    if (setup.slowInputs)
        return looks.value(index).info;
    return AudioFileInfo::inspect(tasks->at(index).value(kInputFileKey).toString(),
                                  !setup.options.value(kRawPCMInputKey).toBool());
}

SourceTags::Picture EncoderRun::inputCover(quint32 index) const
{
    SourceTags::Picture cover = setup.slowInputs
                                    ? looks.value(index).cover
                                    : SourceTags::cover(tasks->at(index).value(kInputFileKey).toString());
    if (cover.data.isEmpty() && !setup.cover.isEmpty())
        cover = {setup.cover, setup.cover.startsWith("\x89PNG") ? QStringLiteral("image/png")
                                                                : QStringLiteral("image/jpeg")};
    return cover;
}

void EncoderRun::log(const QString &line)
{
    emit logged(line);
}

void EncoderRun::logCannotEncode(quint32 index, const QString &reason)
{
    const QVariantMap &task = tasks->at(index);
    failures.insert(index, reason);
    log(localizedFormat(text("CannotEncode", "Cannot encode \"%@\": %@."),
                        {fileName(task.value(kInputFileKey).toString()), reason}));
}

void EncoderRun::fill()
{
    if (!started || ended)
        return;
    // A record held back for its output name begins once the record writing that name has
    // ended; it comes before any record not yet begun.
    for (const quint32 index : active.keys())
        if (active.contains(index) && active.value(index).phase == Active::Phase::Held &&
            !writesOutput(tasks->at(index).value(kOutputFileKey).toString(), index)) {
            active.remove(index);
            if (!beginTask(index))
                return;
        }
    // A record that fails at once stops the filling; the next one begins from the event loop.
    while (next < taskCount() && quint32(active.size()) < setup.maxEncoders)
        if (!beginTask(next++))
            return;
}

bool EncoderRun::beginTask(quint32 index)
{
    const QVariantMap &task = tasks->at(index);
    // An input the encoder cannot read as audio would still become an MP3 (of noise, or of
    // nothing), or block the run on a pipe: it fails here, before anything opens it.
    QString problem = setup.sourceProblem ? setup.sourceProblem(task) : QString();
    if (problem.isEmpty() && setup.slowInputs && !looks.contains(index)) {
        // It begins when its input has been read; it holds its place meanwhile.
        active.insert(index, {Active::Phase::Reading});
        return true;
    }
    const AudioFileInfo input = problem.isEmpty() ? inputInfo(index) : AudioFileInfo();
    if (problem.isEmpty())
        problem = inputProblem(index, input);
    if (!problem.isEmpty()) {
        logCannotEncode(index, problem);
        ++failedTasks;
        settle(index, FileState::Failed);
        advance();
        return false;
    }
    // Two records of the run with one output name (two inputs differing only in their
    // extension, or a name answered to a conflict) never write one file at the same time.
    const QString output = task.value(kOutputFileKey).toString();
    if (writesOutput(output, index)) {
        active.insert(index, {Active::Phase::Held});
        return true;
    }
    if (setup.asksAboutExistingFiles && FileManager::fileExistsAtPath(output)) {
        active.insert(index, {Active::Phase::Conflict});
        askNextConflict();
        return active.contains(index);
    }
    // An output named into folders of its own (a batch's naming pattern) gets them when its file
    // begins, so that a file skipped or failing before leaves no empty folder behind.
    if (const QString folder = QFileInfo(output).absolutePath(); !QDir().mkpath(folder)) {
        logCannotEncode(index,
                        localizedFormat(text("FolderNotMade", "the folder \"%@\" cannot be made"), {folder}));
        ++failedTasks;
        settle(index, FileState::Failed);
        advance();
        return false;
    }
    const bool raw = setup.options.value(kRawPCMInputKey).toBool();
    if (!raw && input.floatingPoint() && !peaks.contains(index)) {
        measureLevel(index, task.value(kInputFileKey).toString());
        return true;
    }
    // The encoder takes the input's cover from a file of its own, which lives as long as it runs.
    QVariantMap command = task;
    // libsndfile hands the encoder floating-point samples scaled so that the peak is full scale;
    // the encoder scales them back. An input that could not be read through goes as it is.
    if (const double peak = peaks.value(index, -1.0); peak >= 0 && std::isfinite(peak))
        command.insert(kInputScaleKey, QString::number(peak, 'g', 9));
    QVariantMap lateTags;
    if (!setup.useLibrary)
        for (const auto &[key, property] : kTagProperties) {
            const QVariant value = task.contains(*key) ? task.value(*key) : setup.options.value(*key);
            if (tooLongForCommandLine(value)) {
                lateTags.insert(*key, value);
                command.remove(*key);
            }
        }
    std::unique_ptr<QTemporaryFile> cover;
    if (!setup.useLibrary && !raw) {
        bool lost = false;
        cover = TaskSource::coverFile(inputCover(index).data, &lost);
        if (cover)
            command.insert(kCoverArtFileKey, cover->fileName());
        else if (lost) {
            ++coverLosses;
            log(localizedFormat(
                text("CoverLost", "The cover picture of \"%@\" could not be handed to the encoder."),
                {fileName(task.value(kInputFileKey).toString())}));
        }
    }
    const std::optional<QStringList> arguments =
        globalSwitches ? setup.preferences->makeArgumentList(&command, &*globalSwitches, !setup.useLibrary)
                       : std::nullopt;
    if (!arguments) {
        // Nothing can be encoded without a complete command line: the file counts as failed.
        logCannotEncode(index, text("NoCommandLine", "the encoder settings are incomplete"));
        ++failedTasks;
        settle(index, FileState::Failed);
        advance();
        return false;
    }

    auto *encoding = new Encoder{new QProcess(this), {}};
    QProcess *process = encoding->process;
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setProgram(
        Resources::pathForResource(raw ? QStringLiteral("lame_raw") : QStringLiteral("lame")));
    process->setArguments(*arguments);
    if (cover)
        cover.release()->setParent(process);
    if (setup.encodersIgnoreInterrupt)
        process->setChildProcessModifier([] {
            // Runs in the child between fork and exec: only async-signal-safe calls. An ignored
            // signal stays ignored across exec (the launcher passes it on to lame); a broken pipe
            // gets its usual behaviour whatever the run's own program does with it.
            struct sigaction action = {};
            action.sa_handler = SIG_IGN;
            sigemptyset(&action.sa_mask);
            sigaction(SIGINT, &action, nullptr);
            action.sa_handler = SIG_DFL;
            sigaction(SIGPIPE, &action, nullptr);
        });
    using Stream = EncoderOutputParser::Stream;
    connect(process, &QProcess::readyReadStandardOutput, this,
            [this, index] { readOutput(index, Stream::Output); });
    connect(process, &QProcess::readyReadStandardError, this,
            [this, index] { readOutput(index, Stream::Error); });
    connect(
        process, &QProcess::finished, this,
        [this, encoding, index](int exitCode, QProcess::ExitStatus status) {
            if (const auto file = active.constFind(index); file != active.cend() && file->encoder == encoding)
                endOfFile(index, file->terminating ? QString()
                                                   : encoderFailure(exitCode, status == QProcess::CrashExit));
        });
    connect(process, &QProcess::errorOccurred, this, [this, encoding, index](QProcess::ProcessError error) {
        // A process that cannot start never reports that it finished.
        if (error != QProcess::FailedToStart || encoder(index) != encoding)
            return;
        endOfFile(index, localizedFormat(text("EncoderNotStarted", "the encoder could not be started: %@"),
                                         {encoding->process->errorString()}));
    });
    active.insert(index, {Active::Phase::Prepared, encoding, false, QString(), lateTags});
    if (!interacting)
        launchTask(index);
    return active.contains(index);
}

QString EncoderRun::inputProblem(quint32 index, const AudioFileInfo &info) const
{
    const QString input = tasks->at(index).value(kInputFileKey).toString();
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

QString EncoderRun::encodedLengthProblem(quint32 index) const
{
    // The encoder stops without a word where a damaged file breaks off; only the length of what
    // it wrote tells. Headerless input promises no length.
    if (setup.options.value(kRawPCMInputKey).toBool())
        return QString();
    const QVariantMap &task = tasks->at(index);
    const AudioFileInfo input = inputInfo(index);
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

QString EncoderRun::encoderFailure(int exitCode, bool crashed) const
{
    if (!crashed && exitCode == 0)
        return QString();
    QString reason =
        crashed ? localizedFormat(text("EncoderKilled", "the encoder was ended by signal %d (%@)"),
                                  {exitCode, QString::fromLocal8Bit(strsignal(exitCode))})
                : localizedFormat(text("EncoderExitStatus", "the encoder ended with status %d"), {exitCode});
    const QStorageInfo volume(setup.outputFolder);
    if (volume.isValid() && volume.bytesAvailable() < kFullDestination)
        reason += text("DestinationFull", ": the destination is full");
    return reason;
}

void EncoderRun::launchTask(quint32 index)
{
    Encoder *launching = encoder(index);
    if (!launching)
        return;
    QProcess *process = launching->process;
    active[index].phase = Active::Phase::Launched;
    ++launches;
    emit encoderStarted(index, process->program(), process->arguments());
    if (encoder(index) != launching)
        return;
    if (states.value(index) != FileState::Encoding) {
        states[index] = FileState::Encoding;
        emit fileStateChanged(index, FileState::Encoding);
    }
    // The input is measured while the encoder reads it, on a thread of its own.
    if (loudness)
        loudness->measure(index, tasks->at(index).value(kInputFileKey).toString());
    process->start(QIODevice::ReadOnly);
}

void EncoderRun::endOfFile(quint32 index, const QString &failure)
{
    const Active file = active.value(index);
    const QVariantMap task = tasks->value(index);
    const QString output = task.value(kOutputFileKey).toString();
    // Bytes of a character that never got finished still reach the log.
    for (const auto stream : {EncoderOutputParser::Stream::Output, EncoderOutputParser::Stream::Error})
        if (const QString rest = file.encoder->output.finishStream(stream); !rest.isEmpty())
            emit outputRead(index, rest);
    QString failed = file.failure.isEmpty() ? failure : file.failure;
    // What the source says is the cause: an encoder cut off by a vanished disc ends by a signal.
    if (!file.terminating && file.failure.isEmpty() && setup.sourceProblem)
        if (const QString problem = setup.sourceProblem(task); !problem.isEmpty())
            failed = problem;
    if (failed.isEmpty() && !file.terminating)
        failed = encodedLengthProblem(index);
    if (failed.isEmpty() && !file.terminating && !file.lateTags.isEmpty())
        writeLateTags(index, file.lateTags);
    if (!failed.isEmpty()) {
        ++failedTasks;
        logCannotEncode(index, failed);
    }
    if (file.terminating || !failed.isEmpty())
        removePartialOutput(output);
    active.remove(index);
    fractions.remove(index);
    settle(index, !failed.isEmpty()  ? FileState::Failed
                  : file.terminating ? FileState::Skipped
                                     : FileState::Done);
    emit fileEnded(index, !failed.isEmpty());
    discardEncoder(file.encoder, this);
    advance();
}

void EncoderRun::measureLevel(quint32 index, const QString &input)
{
    // Reading a long file through takes seconds; the window's thread goes on meanwhile, and the
    // record holds its place.
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    auto peak = std::make_shared<double>(-1.0);
    QThread *thread =
        QThread::create([input, cancelled, peak] { *peak = AudioFileInfo::peak(input, *cancelled); });
    measurers.append({thread, cancelled});
    active.insert(index, {Active::Phase::Measuring});
    active[index].measurer = thread;
    connect(thread, &QThread::finished, this, [this, index, thread, peak] {
        measurers.removeIf([thread](const Measurer &measurer) { return measurer.thread == thread; });
        thread->deleteLater();
        const auto file = active.constFind(index);
        if (ended || file == active.cend() || file->measurer != thread)
            return;
        peaks.insert(index, *peak);
        active.remove(index);
        beginTask(index);
    });
    thread->start();
}

void EncoderRun::cancelMeasuring()
{
    for (const Measurer &measurer : std::as_const(measurers))
        *measurer.cancelled = true;
}

void EncoderRun::writeLateTags(quint32 index, const QVariantMap &tags)
{
    const QString output = tasks->at(index).value(kOutputFileKey).toString();
    OSErr status = noErr;
    for (const auto &[key, property] : kTagProperties) {
        if (status || !tags.contains(*key))
            continue;
        // A track number may carry the count of the disc's tracks ("03/12"), as the encoder takes it.
        const QStringList parts = tags.value(*key).toString().split(u'/');
        if (property == MusicLibrary::kTrackNumber && parts.size() > 1) {
            status = MusicLibrary::writeFileProperty(output, property, parts.first());
            if (!status)
                status = MusicLibrary::writeFileProperty(output, MusicLibrary::kTrackCount, parts.at(1));
        } else {
            status = MusicLibrary::writeFileProperty(output, property, tags.value(*key));
        }
    }
    if (status) {
        tagLosses.insert(index);
        log(localizedFormat(text("TagsFailed", "The tags of \"%@\" could not be written: %@."),
                            {fileName(output), TunesErrorText(status)}));
    }
}

void EncoderRun::settle(quint32 index, FileState state)
{
    states[index] = state;
    if (loudness && state == FileState::Done)
        loudness->encoded(index, tasks->at(index).value(kOutputFileKey).toString());
    else if (loudness && isEnded(state))
        loudness->dropped(index);
    emit fileStateChanged(index, state);
    handOverFinished(false);
}

void EncoderRun::advance()
{
    if (ended || completeIfAllEnded())
        return;
    // From the event loop, not from here: a file that fails at once (an encoder that cannot
    // start) would otherwise start the next one inside this call, one level deeper per file.
    QMetaObject::invokeMethod(this, &EncoderRun::fill, Qt::QueuedConnection);
}

bool EncoderRun::completeIfAllEnded()
{
    if (next < taskCount() || !active.isEmpty())
        return false;
    // A file is done once its loudness tags are written: the run ends when they are.
    if (loudness && loudness->isBusy())
        return true;
    allDone = true;
    if (!interacting)
        complete();
    return true;
}

bool EncoderRun::askNextConflict()
{
    if (interacting || conflictAsked || ended)
        return false;
    for (auto file = active.cbegin(); file != active.cend(); ++file)
        if (file->phase == Active::Phase::Conflict) {
            conflictAsked = true;
            askedConflict = file.key();
            emit nameConflict(askedConflict);
            return true;
        }
    return false;
}

void EncoderRun::removePartialOutput(const QString &output)
{
    // A skipped or failed file leaves nothing half-written behind, and says so when it must.
    if (FileManager::fileExistsAtPath(output) && !FileManager::removeFileAtPath(output))
        log(localizedFormat(
            text("PartialNotRemoved", "The unfinished file \"%@\" could not be removed; it is not whole."),
            {output}));
}

void EncoderRun::handOverFinished(bool all)
{
    // The files go to the music library in list order, so that the playlist lists them as the
    // list does: a file waits until every earlier one has ended (or, `all`, the run ends).
    while (handedOver < taskCount()) {
        const FileState state = states.at(handedOver);
        if (!all && !isEnded(state))
            break;
        if (state == FileState::Done && setup.useLibrary && !handOverToLibrary(handedOver))
            ++libraryFailures;
        ++handedOver;
    }
}

bool EncoderRun::handOverToLibrary(quint32 index)
{
    const QVariantMap &task = tasks->at(index);
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
        if (const SourceTags::Picture cover = inputCover(index); !status && !cover.data.isEmpty())
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

void EncoderRun::discardEncoder(Encoder *encoder, QObject *owner)
{
    if (!encoder)
        return;
    QProcess *process = encoder->process;
    delete encoder;
    disconnect(process, nullptr, owner, nullptr);
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        // The encoder is gone for this run either way; make sure no process is left over.
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
        // Outliving the run, it still belongs to the application, which ends it at exit at the
        // latest.
        process->setParent(QCoreApplication::instance());
        return;
    }
    process->deleteLater();
}

bool EncoderRun::writesOutput(const QString &path, quint32 except) const
{
    // Output files need not exist yet, and QFileInfo finds any two missing files equal: the
    // names are compared within their (existing) folders.
    const auto place = [](const QString &output) {
        const QFileInfo file(output);
        const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
        return (folder.isEmpty() ? file.absolutePath() : folder) + u'/' + file.fileName();
    };
    const QString output = place(path);
    // A record whose input is being measured writes its output as soon as that is done.
    for (auto file = active.cbegin(); file != active.cend(); ++file)
        if (file.key() != except && (file->encoder || file->phase == Active::Phase::Measuring) &&
            place(tasks->at(file.key()).value(kOutputFileKey).toString()) == output)
            return true;
    return false;
}

void EncoderRun::complete()
{
    if (ended)
        return;
    ended = true;
    stopLooking();
    discardEmptyPlaylist();
    emit completed();
}

void EncoderRun::questionStarted()
{
    interacting = true;
    questionIndex = currentIndex();
}

void EncoderRun::skipAnswered(quint32 index, bool confirmed)
{
    answered(index, confirmed);
}

void EncoderRun::answered(quint32 index, bool confirmed)
{
    interacting = false;
    if (ended)
        return;
    // A file that ended under the question is not ended again.
    bool skipped = false;
    if (const auto file = active.find(index); confirmed && file != active.end()) {
        if (file->phase == Active::Phase::Launched) {
            file->terminating = true;
            file->encoder->process->terminate();
            skipped = true;
        } else if (file->phase == Active::Phase::Reading || file->phase == Active::Phase::Measuring ||
                   file->phase == Active::Phase::Prepared) {
            // Asked about before its encoder started (its input was still being read when the
            // question came up): it never starts.
            const Active dropped = *file;
            active.erase(file);
            settle(index, FileState::Skipped);
            if (dropped.encoder)
                emit fileEnded(index, false);
            discardEncoder(dropped.encoder, this);
            skipped = true;
            advance();
        }
    }
    bool launched = false;
    for (const quint32 prepared : active.keys())
        if (active.contains(prepared) && active.value(prepared).phase == Active::Phase::Prepared) {
            launchTask(prepared);
            launched = true;
        }
    const bool asked = askNextConflict();
    if (allDone) {
        complete();
        return;
    }
    const bool othersRun = std::any_of(active.cbegin(), active.cend(), [](const Active &file) {
        return file.phase == Active::Phase::Launched && !file.terminating;
    });
    if (!launched && !asked && (!skipped || othersRun))
        emit resumed();
}

void EncoderRun::stopAnswered(bool confirmed)
{
    if (!confirmed) {
        answered(questionIndex, false);
        return;
    }
    interacting = false;
    abort();
    emit stopped();
}

void EncoderRun::failRunning(const QString &reason)
{
    for (Active &file : active)
        if (file.phase == Active::Phase::Launched && !file.terminating && file.failure.isEmpty()) {
            file.failure = reason;
            file.encoder->process->terminate();
        }
}

void EncoderRun::abort()
{
    if (ended)
        return;
    ended = true;
    stopLooking();
    cancelMeasuring();
    const QMap<quint32, Active> ending = std::exchange(active, {});
    // Every running encoder is told to end before any is waited for, so that they end side by
    // side.
    for (const Active &file : ending)
        if (file.phase == Active::Phase::Launched && file.encoder) {
            disconnect(file.encoder->process, nullptr, this, nullptr);
            file.encoder->process->terminate();
        }
    for (auto file = ending.cbegin(); file != ending.cend(); ++file) {
        // A prepared process was never launched and wrote nothing; a running one leaves a
        // partial file, which is removed only once its encoder has ended: until then it may still
        // write it, or create it anew when told to end while opening it.
        if (file->phase == Active::Phase::Launched) {
            waitUntilEnded(file->encoder->process);
            removePartialOutput(tasks->at(file.key()).value(kOutputFileKey).toString());
            states[file.key()] = FileState::Skipped;
            emit fileStateChanged(file.key(), FileState::Skipped);
        }
        discardEncoder(file->encoder, this);
    }
    if (loudness)
        loudness->abandon();
    handOverFinished(true);
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

bool EncoderRun::takeConflict(quint32 index)
{
    if (!conflictAsked || askedConflict != index || active.value(index).phase != Active::Phase::Conflict)
        return false;
    conflictAsked = false;
    active.remove(index);
    return true;
}

void EncoderRun::replaceExisting(quint32 index)
{
    const QString path = tasks->value(index).value(kOutputFileKey).toString();
    if (!isReplaceable(path)) {
        skipExisting(index);
        return;
    }
    if (!takeConflict(index))
        return;
    // A name another record of the run writes right now is asked about again once it has ended.
    if (!writesOutput(path, index))
        FileManager::removeFileAtPath(path);
    const quint64 launched = launches;
    beginTask(index);
    conflictAnswered(launched);
}

void EncoderRun::renameOutput(quint32 index, const QString &path)
{
    if (path.isEmpty()) {
        skipExisting(index);
        return;
    }
    if (!takeConflict(index))
        return;
    // The file holds MP3 data whatever name was typed; the extension is added, never replaced,
    // so that nothing the user typed is lost. The final name then meets the same question as
    // any other existing output.
    QString output = path;
    if (!output.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive))
        output += QStringLiteral(".mp3");
    (*tasks)[index].insert(kOutputFileKey, output);
    const quint64 launched = launches;
    beginTask(index);
    conflictAnswered(launched);
}

void EncoderRun::skipExisting(quint32 index)
{
    if (!takeConflict(index))
        return;
    settle(index, FileState::Skipped);
    if (completeIfAllEnded())
        return;
    const quint64 launched = launches;
    fill();
    conflictAnswered(launched);
}

void EncoderRun::conflictAnswered(quint64 launchesBefore)
{
    // The other files went on under the question: when the answer launched nothing and asks
    // nothing more, they are what is shown again.
    if (!askNextConflict() && !conflictAsked && launches == launchesBefore && !ended && !interacting &&
        !runningIndexes().isEmpty())
        emit resumed();
}
