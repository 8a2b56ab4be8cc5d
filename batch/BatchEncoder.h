#pragma once

#include "platform/widgets/DocumentRegistry.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

class BatchFileList;
class LamePrefs;
class RunWindowController;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QTableView;
class QWidget;

// The controller of one batch window: the list of files with their tags and the raw-input
// options, the destination folder and the question about existing output files. Encode hands the
// list to a run (an EncoderRun with its window side, a RunWindowController), which encodes it up to
// the set number of files at once. A controller owns itself: it ends with its window, or with its
// run.
class BatchEncoder : public QObject, public FileReceiver
{
    Q_OBJECT

  public:
    // Makes, sets up and shows a new, empty batch window; the controller lives on its own.
    static BatchEncoder *initWithPreferences(LamePrefs *preferences);
    // Every batch controller that exists, oldest first.
    static const QList<BatchEncoder *> &allControllers();
    // The number of batch controllers made since the application started.
    static quint32 batchCount();

    // Adds one file to the list, in name order, unless the run has begun or it is listed already.
    void addFile(const QString &path, bool fromDrag) override;
    // A text of the window's string table ("Batch").
    static QString batchText(const char *key, const char *defaultText);

    quint32 index() const { return windowIndex; }
    QMainWindow *window() const { return filesWindow; }
    QWidget *tagsWindow() const { return tagsPanel; }
    const QList<QVariantMap> &taskRecords() const { return tasks; }
    const QVariantMap &options() const { return globalOptions; }
    QString destination() const { return outputFolder; }
    // The window side of the run; null before Encode.
    RunWindowController *runWindowController() const { return runWindow; }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    explicit BatchEncoder(LamePrefs *preferences);
    ~BatchEncoder() override;
    void setUpWindow();
    void release();

    void beginEncoding();
    bool prepareDestination();

    // The list and the tags.
    void editFileList(int tag);
    void showTotalLength();
    void addPanelDidEnd(int answer, const QStringList &files, const QString &directory);
    void inputOptionChanged(int tag);
    int selectedRow() const;
    void selectionShouldChange();
    void tableViewSelectionDidChange();
    void showTagsPanel();
    // The tag fields of the tags panel with their record keys, in the order they are handled.
    QList<std::pair<const QString *, QWidget *>> tagFields() const;
    bool draggingEntered(const QStringList &paths, bool genericAllowed) const;
    bool acceptsExtension(const QString &path) const;

    // The destination and existing output files.
    void setDestination();
    void showDestination();
    // The folder typed into the destination field, if the user typed one since it was last shown.
    void takeTypedDestination();
    void resolveNameConflict(quint32 index);
    void duplicateNameEnded(int answer, bool forAll);
    // Answers the conflict of record `index` with the answer given for every file of the batch;
    // false when there is none, or it does not fit this file (Replace for a file that cannot go).
    bool answerForAll(quint32 index);
    // Refuses a naming pattern that cannot name the files, with a sheet; true when it can.
    bool checkNamePattern(const QString &pattern);

    quint32 windowIndex = 0;
    LamePrefs *preferences = nullptr;
    RunWindowController *runWindow = nullptr;
    QString currentDirectory;
    QVariantMap globalOptions;
    QString outputFolder;
    QList<QVariantMap> tasks;
    quint32 conflictIndex = 0; // the file whose name conflict is asked
    bool conflictOffersReplace = false;
    // The answer to every later name conflict of the run, once one was given for all files: 0
    // Replace, -1 Skip, 1 keep both under a free name.
    std::optional<int> standingAnswer;
    bool ending = false;
    bool destinationTyped = false;

    QMainWindow *filesWindow = nullptr;
    BatchFileList *fileModel = nullptr;
    QWidget *tagsPanel = nullptr;
    bool tagsVisible = false;
    int shownRow = -1;        // the row whose record the tag fields show
    bool editingList = false; // rows are moving: selection changes wait until they are done
    QComboBox *sampleRate = nullptr;
    QComboBox *bitDepth = nullptr;
    QCheckBox *rawInputBox = nullptr;
    QCheckBox *swapBytesBox = nullptr;
    QLineEdit *destinationPath = nullptr;
    QTableView *fileList = nullptr;
    QLabel *totalLength = nullptr;
    QPushButton *addButton = nullptr;
    QPushButton *removeButton = nullptr;
    QPushButton *tagsButton = nullptr;
    QPushButton *encodeButton = nullptr;
    QPushButton *destinationButton = nullptr;
    QLineEdit *titleField = nullptr;
    QLineEdit *yearField = nullptr;
    QLineEdit *artistField = nullptr;
    QLineEdit *albumField = nullptr;
    QLineEdit *trackField = nullptr;
    QComboBox *genreField = nullptr;
    QLineEdit *commentField = nullptr;
};
