#pragma once

#include "core/EncoderRun.h"
#include "platform/widgets/DocumentRegistry.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

class BatchFileList;
class LameProgress;
class LamePrefs;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QTableView;
class QWidget;

// The controller of one batch window: the list of files with their tags and the raw-input
// options, the destination folder, and the window side of the run (an EncoderRun) that encodes
// the list, up to the set number of files at once: the progress sheet, the Stop and Skip questions, the
// question about existing output files and the completion sheet.
// A controller owns itself: it ends with its window, or with its run.
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
    // Ends a running batch at once, for quitting: every running encoder is stopped, its partial
    // output removed, and the window closes without a question.
    void abortRun();

    quint32 index() const { return windowIndex; }
    // A run has begun and has files still to end: once the completion sheet is up, nothing is.
    bool isRunning() const { return progress && !(run && run->isCompleted()); }
    QMainWindow *window() const { return filesWindow; }
    QWidget *tagsWindow() const { return tagsPanel; }
    const QList<QVariantMap> &taskRecords() const { return tasks; }
    const QVariantMap &options() const { return globalOptions; }
    QString destination() const { return outputFolder; }
    LameProgress *progressController() const { return progress; }
    QProcess *encoderProcess() const { return run ? run->process() : nullptr; }
    quint32 currentTaskIndex() const { return run ? run->currentIndex() : 0; }

    // The progress sheet's buttons.
    void stopProcess(LameProgress *sender);
    void skipTask(LameProgress *sender);
    // The Skip button of the line of file `index`.
    void skipFile(quint32 index);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    explicit BatchEncoder(LamePrefs *preferences);
    ~BatchEncoder() override;
    void setUpWindow();
    void release();

    // The run: its window side. The run itself is an EncoderRun.
    void beginEncoding();
    bool prepareDestination();
    void connectRun();
    void discardProcess();
    void displayCompletion();
    // What the run did, in one line: files encoded, into which folder, failed and skipped.
    QString completionSummary() const;
    void confirmStopDidEnd(int answer);
    void completionEnded();

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
    void duplicateNameEnded(int answer);
    void renamingPanelDidEnd(int answer, const QString &path);

    quint32 windowIndex = 0;
    LamePrefs *preferences = nullptr;
    LameProgress *progress = nullptr;
    QString currentDirectory;
    QVariantMap globalOptions;
    QString outputFolder;
    QList<QVariantMap> tasks;
    EncoderRun *run = nullptr;
    quint32 conflictIndex = 0; // the file whose name conflict is asked
    bool ending = false;
    bool closingWindow = false; // the Stop question up was asked by closing the window
    bool destinationTyped = false;

    QPointer<QWidget> sheet; // the alert or panel of this window that is up, if any
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
