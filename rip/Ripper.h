#pragma once

#include "core/DiscLookup.h"
#include "platform/MusicBrainzDiscId.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QVariantMap>

class DiscTrackList;
class LamePrefs;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QWidget;
class RipReport;
class RunWindowController;

// The controller of one rip window: the tracks of one mounted audio CD with the disc's tags, and
// the rip folder named after the disc that a run (an EncoderRun with its window side, a
// RunWindowController) encodes them into. A controller owns itself: it ends with its window, when
// its disc goes away before a rip has begun, and with its rip. It runs at most one rip.
// When its window opens it looks the disc up (DiscLookup) and fills what the user has not typed
// with the release found; the lookup never holds up the window or a rip.
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

    QMainWindow *window() const { return ripWindow; }
    QString mountPoint() const { return discPath; }
    // The folder the rip writes into; empty before the rip has begun.
    QString ripFolder() const { return folder; }
    // The window side of the rip; null before it has begun.
    RunWindowController *runWindowController() const { return runWindow; }
    // The disc's MusicBrainz disc ID.
    const MusicBrainzDiscId &discId() const { return disc; }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    Ripper(LamePrefs *preferences, const QString &mountPoint, const DiscTrackList &disc);
    ~Ripper() override;
    bool setUpWindow(const DiscTrackList &disc);
    void release();
    QString volumeName() const;

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
    void volumeUnmounted(const QString &path);

    // The disc lookup.
    void startLookup();
    void lookupFound(const QList<DiscRelease> &found);
    void chooseRelease();
    void applyRelease(const DiscRelease &release);
    void showCover(const QByteArray &picture);
    void showLookupLine(const QString &line);
    // The sentence for the completion notice when the cover file could not be written.
    QString writeCoverFile();

    LamePrefs *preferences = nullptr;
    QString discPath;
    QList<QVariantMap> tracks;
    // The records the run encodes: the tracks with their output paths and "N/M" track numbers.
    QList<QVariantMap> runTasks;
    QVariantMap globalOptions;
    QString folder;
    RunWindowController *runWindow = nullptr;
    RipReport *report = nullptr;
    bool ending = false;
    bool discGone = false;
    int shownRow = -1;

    MusicBrainzDiscId disc;
    DiscLookup *lookup = nullptr;
    QList<DiscRelease> releases; // found for the disc, for the chooser
    QByteArray cover;            // the chosen release's front cover
    // What the user typed: a lookup's answer leaves it as it is.
    QSet<QObject *> typedFields;
    QSet<int> typedTitles; // rows

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
    QLabel *lookupLine = nullptr;
    QLabel *coverView = nullptr;
};
