#pragma once

#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class QThread;

// The loudness tags of a run's files (ReplayGain 2.0, sample peaks): each input is measured on a
// thread of its own while its encoder runs, so that the measuring costs no time of its own; the
// track gain and peak go into the MP3 once it is whole and measured, and the album gain and peak
// into every file of an album once the album's last file is. An album of which a file was not
// encoded whole and measured gets track tags only, and the log says so. Whatever fails here costs
// the loudness tags only, never the file.
class LoudnessTagger : public QObject
{
    Q_OBJECT

  public:
    // `albums` holds the album of each record of the run, by position; an empty name puts a
    // record in no album. The log lines come from the string table `stringTable`.
    LoudnessTagger(const QStringList &albums, const char *stringTable, QObject *parent = nullptr);
    // Ends the measurements still going; none outlives the tagger.
    ~LoudnessTagger() override;

    // The encoder of record `index` starts reading `input`: its measurement starts too.
    void measure(quint32 index, const QString &input);
    // The encoder of record `index` made `output` whole.
    void encoded(quint32 index, const QString &output);
    // Record `index` ended without an MP3 (failed or skipped): its album gets track tags only.
    void dropped(quint32 index);
    // The run stops: the files not encoded are dropped, and the encoded ones get their tags once
    // measured (waited for here).
    void abandon();
    // An encoded file waits for its measurement and its tags: the run is not over before it is tagged.
    bool isBusy() const;

  signals:
    void logged(const QString &line);
    // Record `index` lost loudness tags it should have had.
    void tagsLost(quint32 index);
    // Nothing waits for a measurement any more (isBusy() turned false).
    void settled();

  private:
    struct Measurement;
    struct File
    {
        QThread *thread = nullptr;
        std::shared_ptr<std::atomic<bool>> cancelled;
        std::shared_ptr<Measurement> measurement;
        bool measured = false; // its thread has ended
        bool encoded = false;
        bool dropped = false;
        bool tagsDue = false; // encoded: its tags are written from the event loop
        QString input;
        QString output;
    };

    QString loudnessText(const char *key, const char *defaultText) const;
    void measuredFile(quint32 index, QThread *thread);
    void proceed(quint32 index);
    void writeDueTags(quint32 index);
    void writeTrackTags(quint32 index);
    void finishAlbum(const QString &album);
    bool write(quint32 index, const QList<std::pair<QString, QString>> &texts);
    void settleIfIdle(bool wasBusy);

    QStringList albums;
    const char *stringTable;
    QMap<quint32, File> files;
    QStringList finishedAlbums;
};
