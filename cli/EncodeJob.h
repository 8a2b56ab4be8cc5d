#pragma once

#include "cli/EncodeOptions.h"
#include "cli/InputFiles.h"
#include "core/EncoderRun.h"

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class LamePrefs;
class TerminalProgress;

// One run of orvik-encode: the files of the command line encoded by the shared run, as a batch
// window encodes them, with the answers a window would ask for given by the options: an existing
// MP3 is never asked about, its file is skipped (or, as told, the MP3 replaced or the new one
// renamed), and a stop comes from a signal. It says what happens on standard error, and in the
// end what the run did, with the program's exit status.
class EncodeJob : public QObject
{
    Q_OBJECT

  public:
    struct Setup
    {
        QList<InputFiles::File> files;
        QString outputFolder;
        quint32 jobs = 1;
        EncodeOptions::Conflicts conflicts = EncodeOptions::Conflicts::Skip;
        bool useLibrary = false;
        bool makePlaylist = false;
        bool quiet = false;
        bool json = false;
    };

    EncodeJob(const Setup &setup, LamePrefs *preferences, QObject *parent = nullptr);
    ~EncodeJob() override;

    void start();

  public slots:
    // Stops the run: every running encoder is ended (killed when it does not end within seconds)
    // and its partial file removed, the files that finished go to the music library.
    void interrupt(int signalNumber);

  signals:
    // The run has ended and everything is said; the program ends with `exitStatus`.
    void finished(int exitStatus);

  private:
    void fileStateChanged(quint32 index, EncoderRun::FileState state);
    void logged(const QString &line);
    void answerConflict(quint32 index);
    void end();
    QString summary() const;
    QJsonObject report(int exitStatus) const;
    QString inputName(quint32 index) const;
    QString outputName(quint32 index) const;
    void skippedBecause(quint32 index, const QString &reason);
    void removeEmptyFolders();

    Setup setup;
    LamePrefs *preferences;
    QList<QVariantMap> tasks;
    EncoderRun *run;
    TerminalProgress *display;
    // Outputs that existed before the run began: only those are replaced.
    QSet<QString> existing;
    QMap<quint32, QString> reasons;
    QStringList messages;
    QList<quint32> stoppedFiles;
    QStringList createdFolders;
    quint32 ended = 0;
    int interruptedBy = 0;
    bool done = false;
};
