#pragma once

#include "core/AccurateRipDisc.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class AccurateRipLookup;
class EncoderRun;
class QThread;

// What a rip proves about itself: it asks the AccurateRip database for the disc's entry as the rip
// begins, and once the last track has ended reads each encoded track's checksums and unreadable
// sectors from the audio-CD file system (off the window's thread: a track read only in part is
// read again for its checksums), compares them with the entry, writes "rip.log" into the rip
// folder and answers the completion sheet's line. A track that does not match is kept: the line
// and the log say so.
class RipReport : public QObject
{
    Q_OBJECT

  public:
    struct Setup
    {
        QString mountPoint;
        QString folder; // the rip folder
        QString musicBrainzId;
        QString server;     // the AccurateRip database's address
        bool online = true; // false: the database is not asked and the sheet gets no line
    };

    RipReport(const Setup &setup, const EncoderRun *run, QObject *parent);
    ~RipReport() override;

    // Reads the checksums, waits for the database's answer, writes the log and calls `done` with
    // the line for the completion sheet.
    void finish(std::function<void(const QString &line)> done);

    // One line for the completion sheet from what the database said about the tracks.
    struct TrackResult
    {
        QString number;
        QString file;
        QString unreadable;   // the file system's count; empty when it gave none
        bool checked = false; // the checksums were read
        quint32 v1 = 0, v2 = 0;
        AccurateRipDisc::Verdict verdict;
    };
    enum class Answer { Waiting, Found, NotFound, Failed, NotAsked };
    static QString summary(Answer answer, const QString &reason, const QList<TrackResult> &tracks);

  private:
    void lookupEnded(Answer answer, const QString &reason = QString());
    void checksumsRead(const QList<TrackResult> &read);
    void conclude();
    bool writeLog() const;

    Setup setup;
    const EncoderRun *run;
    AccurateRipDisc disc;
    AccurateRipLookup *lookup = nullptr;
    Answer answer = Answer::Waiting;
    QString reason;
    QList<AccurateRipDisc::Pressing> pressings;
    QList<TrackResult> tracks;
    bool tracksRead = false;
    QString commandLine; // the first track's, as the command log shows it
    QThread *worker = nullptr;
    std::function<void(const QString &)> whenDone;
};
