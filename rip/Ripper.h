#pragma once

#include "core/EncoderRun.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QVariantMap>

class LamePrefs;
class LameProgress;
class QComboBox;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QWidget;

// The controller of one rip window: the tracks of one mounted audio CD with the disc's tags,
// and the window side of the run (an EncoderRun) that encodes them into a new folder named
// after the disc. A controller owns itself: it ends with its window, when its disc goes away
// before a rip has begun, after the completion notice and when its rip is stopped. It runs at
// most one rip.
class Ripper : public QObject
{
    Q_OBJECT

  public:
    // A rip window for the audio CD mounted at `mountPoint`, or for the first mounted audio CD
    // without a window when `mountPoint` is empty; nullptr when there is no such disc or it has
    // no track.
    static Ripper *initWithPreferences(LamePrefs *preferences, const QString &mountPoint);
    // The mount points that have a rip controller.
    static const QSet<QString> &mountPoints();
    // Every rip controller that exists, oldest first.
    static const QList<Ripper *> &allControllers();
    // A text of the window's string table ("Rip").
    static QString ripText(const char *key, const char *defaultText);
    // The name of the rip folder for the disc's artist and album (either may be empty), before it
    // is cut to fit a file name and numbered when taken; also the name of the rip's playlist.
    static QString ripFolderName(const QString &artist, const QString &album);
    // The file name a track is written to, in the rip folder.
    static QString trackFileName(const QVariantMap &track);

    // Ends a running rip at once, for quitting: the encoder is stopped, its partial output
    // removed, and the window closes without a question.
    void abortRun();

    // A rip has begun and has tracks still to end: once the completion notice is up, nothing is.
    bool isRunning() const { return progress && !(run && run->isCompleted()); }
    QMainWindow *window() const { return ripWindow; }
    QString mountPoint() const { return discPath; }
    QString volumeName() const;
    const QList<QVariantMap> &trackRecords() const { return tracks; }
    const QVariantMap &options() const { return globalOptions; }
    // The folder the rip writes into; empty before the rip has begun.
    QString ripFolder() const { return folder; }
    LameProgress *progressController() const { return progress; }
    QProcess *encoderProcess() const { return run ? run->process() : nullptr; }
    quint32 currentTaskIndex() const { return run ? run->currentIndex() : 0; }

    // The progress sheet's buttons.
    void stopProcess(LameProgress *sender);
    void skipTask(LameProgress *sender);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    Ripper(LamePrefs *preferences, const QString &mountPoint, const QList<QVariantMap> &tracks);
    ~Ripper() override;
    bool setUpWindow(const QString &albumProposal);
    void release();

    // The track list.
    void showTracks();
    void showTrack(int row);
    void selectionShouldChange();
    void tableViewSelectionDidChange();
    bool draggingEntered(const QStringList &paths, bool genericAllowed) const;

    // The run.
    void beginRip();
    void selectionPanelDidEnd(int answer, const QString &destination);
    QString readProblem(const QVariantMap &task) const;
    void connectRun();
    void confirmStopDidEnd(int answer);
    void displayCompletion();
    void completionEnded();
    void volumeUnmounted(const QString &path);

    LamePrefs *preferences = nullptr;
    QString discPath;
    QList<QVariantMap> tracks;
    // The records the run encodes: the tracks with their output paths and "N/M" track numbers.
    QList<QVariantMap> runTasks;
    QVariantMap globalOptions;
    QString folder;
    LameProgress *progress = nullptr;
    EncoderRun *run = nullptr;
    bool ending = false;
    bool discGone = false;
    bool closingWindow = false; // the Stop question up was asked by closing the window
    int shownRow = -1;

    QPointer<QWidget> sheet; // the alert or panel of this window that is up, if any
    QMainWindow *ripWindow = nullptr;
    QStandardItemModel *trackModel = nullptr;
    QTableView *trackList = nullptr;
    QLineEdit *artistField = nullptr;
    QLineEdit *albumField = nullptr;
    QLineEdit *yearField = nullptr;
    QComboBox *genreField = nullptr;
    QLineEdit *titleField = nullptr;
    QLineEdit *commentField = nullptr;
    QPushButton *ripButton = nullptr;
};
