#pragma once

#include "platform/AppleEvents.h"

#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <optional>

class LamePrefs;

// The run of a batch or a rip: the task records are encoded one after another, each by its
// own encoder process. The run decides everything that does not need a window: when a file is
// launched, how it ended (exit status, signal, an encoder that cannot start, an input that
// cannot be encoded, an MP3 cut short), what is removed, what goes to the music library. What
// must be shown or asked it reports as signals, and the window side answers through the slots.
//
// A question (Stop, Skip) may be up at any moment, also while a file ends: while one is up
// the end of a file only records what comes next (the next file prepared, a name conflict, the
// run completed), and the answer acts on those records first.
class EncoderRun : public QObject
{
    Q_OBJECT

  public:
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
    };

    explicit EncoderRun(QObject *parent = nullptr);
    ~EncoderRun() override;

    // Starts with the first record. Nothing when there is nothing to encode.
    void start(const Setup &setup);

    quint32 currentIndex() const { return current; }
    quint32 taskCount() const { return tasks ? quint32(tasks->size()) : 0; }
    QProcess *process() const { return tool; }
    bool isInteracting() const { return interacting; }
    bool isCompleted() const { return allDone; }
    quint32 failedCount() const { return failedTasks; }
    quint32 libraryFailureCount() const { return libraryFailures; }
    // Whether an existing output may be offered for replacing: never one of the run's own inputs.
    bool isReplaceable(const QString &path) const;
    // A text of the run's string table.
    QString text(const char *key, const char *defaultText) const;

  public slots:
    // A question went up: files that end meanwhile wait for its answer.
    void questionStarted();
    void skipAnswered(bool confirmed);
    // Confirmed: as abort(), then stopped().
    void stopAnswered(bool confirmed);
    // Ends the run at once: the encoder is stopped and its partial output removed.
    void abort();
    // The answers to nameConflict().
    void replaceExisting();
    void renameOutput(const QString &path); // empty: skipped
    void skipExisting();

  signals:
    // A process is set up for record `index` and not yet started: the time to watch it.
    void encoderPrepared(QProcess *process, quint32 index);
    void encoderLaunched(quint32 index);
    // A question was cancelled and the running encoder goes on.
    void resumed();
    void fileEnded(quint32 index, bool failed);
    // The output of record `index` exists; one of the answering slots must follow.
    void nameConflict(quint32 index);
    // Every record is done; the counts say what failed.
    void completed();
    // A confirmed Stop ended the run.
    void stopped();
    // A line for the command log.
    void logged(const QString &line);

  private:
    void beginTask();
    QString inputProblem(const QVariantMap &task) const;
    QString encodedLengthProblem(const QVariantMap &task) const;
    QString encoderFailure(int exitCode, QProcess::ExitStatus status) const;
    void logCannotEncode(const QVariantMap &task, const QString &reason);
    void log(const QString &line);
    void launchTask();
    void endOfFile(const QString &failure);
    void removePartialOutput(const QString &output);
    bool handOverToLibrary(const QVariantMap &task);
    void discardEmptyPlaylist();
    void discardProcess();
    void nextTask();
    void complete();

    Setup setup;
    QList<QVariantMap> *tasks = nullptr;
    std::optional<QStringList> globalSwitches;
    QProcess *tool = nullptr;
    bool started = false;
    bool ended = false;
    bool interacting = false;
    bool conflictPending = false;
    bool deferred = false;
    bool terminating = false;
    bool allDone = false;
    quint32 current = 0;
    quint32 failedTasks = 0;
    quint32 libraryFailures = 0;
    quint32 filesAdded = 0;
    AEDesc playlist{typeNull, nullptr};
};
