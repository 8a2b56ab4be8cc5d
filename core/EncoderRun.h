#pragma once

#include "core/EncoderOutputParser.h"
#include "platform/AppleEvents.h"
#include "platform/AudioFileInfo.h"
#include "platform/SourceTags.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class LamePrefs;
class AudioFileInfo;
class LoudnessTagger;
class QThread;

// The run of a batch or a rip: the task records are encoded by encoder processes, up to a set
// number at once, begun in list order. The run decides everything that does not need a window:
// when a file is launched, how it ended (exit status, signal, an encoder that cannot start, an
// input that cannot be encoded, an MP3 cut short), what is removed, what goes to the music
// library. It alone starts, reads and ends the encoders: what each one prints is parsed here and
// reported, with the command lines and the raw text for the log. What must be shown or asked it
// reports as signals, and the window side answers through the slots.
//
// Every file holds one of the run's places from its beginning to its end: while its encoder
// runs, and also while its name conflict waits for an answer, so a conflict holds back only its
// own file. The music library gets the finished files in list order, whatever order they end
// in: a file that ends before an earlier one waits for it (the playlist lists the files as the
// list does).
//
// A question (Stop, Skip) may be up at any moment, also while files end: while one is up the
// end of a file does its bookkeeping but only records what comes next (files prepared and not
// launched, name conflicts not asked, the run completed), and the answer acts on those records.
//
// An input of floating-point samples is read through once, away from the window's thread,
// before its encoder starts: the encoder would otherwise raise it to full scale, and its peak
// gives the factor that keeps the level it has. Tags too long for a command line are written into
// the MP3 once it is whole.
class EncoderRun : public QObject
{
    Q_OBJECT

  public:
    // What the file list shows of each record while the run goes on.
    enum class FileState {
        Waiting,  // not begun, or its name conflict or a question holds it back
        Encoding, // its encoder runs
        Done,
        Failed,
        Skipped, // by its name conflict's answer, by a Skip, or ended by a Stop
    };
    Q_ENUM(FileState)

    struct Setup
    {
        // The records to encode, owned by the window side; each holds its input and output
        // paths and its tags. The run may change an output path (a conflict answered by a name).
        QList<QVariantMap> *tasks = nullptr;
        LamePrefs *preferences = nullptr;
        // The run's options (raw input, sample rate, ...) as the argument builder takes them.
        QVariantMap options;
        // The folder the files are written to: a full folder is named as the cause of a failure.
        QString outputFolder;
        bool useLibrary = false;
        bool makePlaylist = false;
        QString playlistName{}; // empty: the library's default name
        // An existing output file is asked about (nameConflict) instead of being overwritten.
        bool asksAboutExistingFiles = false;
        // The string table of the messages written to the command log ("Batch", "Rip").
        const char *stringTable = "Batch";
        // Why the source of a record cannot give its audio whole (a disc gone or read with
        // errors), or empty; asked before a record starts and after its encoder has ended.
        std::function<QString(const QVariantMap &task)> sourceProblem{};
        // How many files are encoded at once (at least one).
        quint32 maxEncoders = 1;
        // The encoders ignore the interrupt a terminal's Ctrl+C sends its whole foreground group:
        // ending them is the run's business, so that it can remove what they leave half-written.
        bool encodersIgnoreInterrupt = false;
        // The inputs are slow to read: the tracks of a disc, where a read may be a seek of the
        // drive (seconds on a scratched disc). What the run reads of the inputs itself (their
        // headers and covers) is then read on a thread of its own, one input after the other, and
        // a record begins once its input has been read, so that the window goes on answering.
        bool slowInputs = false;
        // The front cover of every file whose input brings none (a disc's cover), JPEG or PNG.
        QByteArray cover{};
        // Every record belongs to one album, whatever its tags say: the tracks of a disc.
        bool oneAlbum = false;
    };

    explicit EncoderRun(QObject *parent = nullptr);
    ~EncoderRun() override;

    // Starts with the first records. Nothing when there is nothing to encode.
    void start(const Setup &setup);

    // The first record that has not ended yet; taskCount() once all have.
    quint32 currentIndex() const;
    quint32 taskCount() const { return tasks ? quint32(tasks->size()) : 0; }
    const QVariantMap &task(quint32 index) const { return tasks->at(index); }
    // How many files are encoded at once, at most.
    quint32 encodersAtOnce() const { return setup.maxEncoders; }
    // Whether the encoder of record `index` has started and not yet ended.
    bool isEncoderRunning(quint32 index) const;
    // The records whose encoders run, in list order.
    QList<quint32> runningIndexes() const;
    FileState fileState(quint32 index) const { return states.value(index, FileState::Waiting); }
    // How many records are in `state`.
    quint32 count(FileState state) const;
    bool isInteracting() const { return interacting; }
    bool isCompleted() const { return allDone; }
    quint32 failedCount() const { return failedTasks; }
    // Why record `index` failed, as the command log says; empty while it has not.
    QString failureReason(quint32 index) const { return failures.value(index); }
    quint32 libraryFailureCount() const { return libraryFailures; }
    // The files encoded without the cover picture their input has.
    quint32 coverLossCount() const { return coverLosses; }
    // The files encoded without some of the tags written into them after their encode: tags too
    // long for the encoder's command line, loudness tags.
    quint32 tagLossCount() const { return quint32(tagLosses.size()); }
    // Whether an existing output may be offered for replacing: never one of the run's own inputs.
    bool isReplaceable(const QString &path) const;
    // A text of the run's string table.
    QString text(const char *key, const char *defaultText) const;

    // The share of the whole run that record `index` stands for: the seconds of audio its header
    // promises (for headerless input, which promises none, its size in bytes: the records of a
    // run share one format); 0 when unknown or, for slow inputs, not read yet.
    double fileWeight(quint32 index) const { return weights.value(index); }
    // How far the whole run is, from 0 to 1: every ended record counts whole, a running one by
    // its weight times the fraction its encoder last said it has done.
    double batchFraction() const;

  public slots:
    // A question went up: files that end meanwhile wait for its answer.
    void questionStarted();
    // The answer to Skip for record `index`: confirmed, its encoder is ended and its partial
    // output removed (nothing when it ended under the question).
    void skipAnswered(quint32 index, bool confirmed);
    // Confirmed: as abort(), then stopped().
    void stopAnswered(bool confirmed);
    // Something the run cannot see has spoiled every running file (its disc went away): each
    // encoder is ended, and its file fails for `reason`.
    void failRunning(const QString &reason);
    // Ends the run at once: every running encoder is stopped and, once it has ended, its partial
    // output removed and its file marked skipped; finished files that still waited for an earlier
    // one go to the music library.
    void abort();
    // The answers to nameConflict(index).
    void replaceExisting(quint32 index);
    void renameOutput(quint32 index, const QString &path); // empty: skipped
    void skipExisting(quint32 index);

  signals:
    // The encoder of record `index` is being started with this command line.
    void encoderStarted(quint32 index, const QString &program, const QStringList &arguments);
    // What the encoder of record `index` printed, as it arrived (both streams), and what the
    // complete lines of it told, in order.
    void outputRead(quint32 index, const QString &text);
    void fileUpdated(quint32 index, const EncoderOutputParser::Update &update);
    // A question was answered and the encoders that ran under it go on (nothing else was
    // launched or asked): a cancelled question, a Skip while other files run, a name conflict
    // answered while other files run.
    void resumed();
    // The encoder of record `index` has ended (skipped ones too); its output is removed, or
    // whole and handed to the music library once every earlier record has ended.
    void fileEnded(quint32 index, bool failed);
    // Record `index` changed its state (fileState).
    void fileStateChanged(quint32 index, EncoderRun::FileState state);
    // The output of record `index` exists; one of the answering slots must follow. One conflict
    // is asked at a time; the next is asked once it is answered.
    void nameConflict(quint32 index);
    // Every record is done; the counts say what failed.
    void completed();
    // A confirmed Stop ended the run.
    void stopped();
    // A line for the command log.
    void logged(const QString &line);

  private:
    // The running encoder of a record and what reads its output.
    struct Encoder;

    // A record that holds one of the run's places.
    struct Active
    {
        enum class Phase {
            Reading,   // its (slow) input is being read on the run's own thread
            Conflict,  // its output exists: asked, or waiting to be asked
            Held,      // another record of the run writes its output name: begun once that ended
            Measuring, // its input's peak is being found: begun again once it is known
            Prepared,  // its encoder is made and waits for a question's answer to be launched
            Launched,
        };
        Phase phase = Phase::Prepared;
        Encoder *encoder = nullptr;
        bool terminating = false; // skipped: its end is no failure
        QString failure{};        // told by failRunning
        QVariantMap lateTags{};   // written into the MP3 once the encoder has made it whole
        QThread *measurer = nullptr;
    };
    // A thread finding an input's peak, and what tells it to give up.
    struct Measurer
    {
        QThread *thread = nullptr;
        std::shared_ptr<std::atomic<bool>> cancelled;
    };

    // What the run reads of an input before its encoder starts.
    struct InputLook
    {
        AudioFileInfo info;
        SourceTags::Picture cover;
        double weight = 0; // as fileWeight
    };
    // The thread reading slow inputs hands its looks over through this, while the run exists.
    struct LookMailbox;

    static InputLook lookAt(const QString &input, bool raw);
    void startLooking();
    void stopLooking();
    void looked(quint32 index, const InputLook &look);
    bool isWeighed(quint32 index) const;
    // What is known of record `index`'s input: read now, or, for slow inputs, what was read on
    // the run's own thread.
    AudioFileInfo inputInfo(quint32 index) const;
    SourceTags::Picture inputCover(quint32 index) const;

    void fill();
    bool beginTask(quint32 index);
    QString inputProblem(quint32 index, const AudioFileInfo &info) const;
    void measureLevel(quint32 index, const QString &input);
    void cancelMeasuring();
    void writeLateTags(quint32 index, const QVariantMap &tags);
    QString encodedLengthProblem(quint32 index) const;
    QString encoderFailure(int exitCode, bool crashed) const;
    void logCannotEncode(quint32 index, const QString &reason);
    void log(const QString &line);
    void launchTask(quint32 index);
    void readOutput(quint32 index, EncoderOutputParser::Stream stream);
    void endOfFile(quint32 index, const QString &failure);
    void settle(quint32 index, FileState state);
    void advance();
    bool completeIfAllEnded();
    void startLoudness();
    bool askNextConflict();
    // Whether `index` is the conflict asked last; if so it is answered now and gives up its place.
    bool takeConflict(quint32 index);
    void conflictAnswered(quint64 launchesBefore);
    void answered(quint32 index, bool confirmed);
    void removePartialOutput(const QString &output);
    void handOverFinished(bool all);
    bool handOverToLibrary(quint32 index);
    void discardEmptyPlaylist();
    static void discardEncoder(Encoder *encoder, QObject *owner);
    bool writesOutput(const QString &path, quint32 except) const;
    Encoder *encoder(quint32 index) const;
    void complete();

    Setup setup;
    QList<QVariantMap> *tasks = nullptr;
    std::optional<QStringList> globalSwitches;
    QMap<quint32, Active> active;
    QList<FileState> states;
    QList<double> weights;
    QMap<quint32, InputLook> looks; // slow inputs read so far
    std::shared_ptr<LookMailbox> lookMailbox;
    QMap<quint32, double> fractions;
    quint32 next = 0;       // the next record to begin
    quint32 handedOver = 0; // the records before it have ended and gone to the library
    quint32 askedConflict = 0;
    bool conflictAsked = false;
    quint32 questionIndex = 0;
    bool started = false;
    bool ended = false;
    bool interacting = false;
    bool allDone = false;
    quint32 failedTasks = 0;
    QMap<quint32, QString> failures;
    quint32 libraryFailures = 0;
    quint32 coverLosses = 0;
    QSet<quint32> tagLosses;            // by record
    LoudnessTagger *loudness = nullptr; // none while loudness tags are off
    quint32 filesAdded = 0;
    QMap<quint32, double> peaks; // of the inputs read through, by record
    QList<Measurer> measurers;
    quint64 launches = 0;
    AEDesc playlist{typeNull, nullptr};
};
