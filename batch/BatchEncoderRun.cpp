// BatchEncoder: Encode, which makes the destination and starts the run with its window side, and
// the question about existing output files (never overwritten without asking).
#include "batch/BatchEncoder.h"

#include "batch/BatchFileList.h"
#include "core/LamePrefs.h"
#include "core/OutputNamePattern.h"
#include "core/OutputNames.h"
#include "monitor/RunWindowController.h"
#include "platform/LocalizedStrings.h"
#include "platform/Paths.h"
#include "platform/widgets/ButtonTitles.h"
#include "platform/widgets/DocumentRegistry.h"
#include "platform/widgets/Sheets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryFile>

#include <algorithm>

namespace {
DocumentRegistry *registry()
{
    return DocumentRegistry::instance();
}
} // namespace

bool BatchEncoder::prepareDestination()
{
    takeTypedDestination();
    // The destination is tried for writing, so that a folder that cannot take the files is said
    // before any file starts. Only the music folder is made when it is missing: another missing
    // folder is more likely mistyped than wanted.
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (!QFileInfo::exists(outputFolder) && QDir::cleanPath(music) == outputFolder)
        QDir().mkpath(outputFolder);
    const bool missing = !QFileInfo::exists(outputFolder);
    bool usable = QFileInfo(outputFolder).isDir();
    if (usable) {
        QTemporaryFile probe(outputFolder + QStringLiteral("/.orvik-XXXXXX"));
        usable = probe.open();
    }
    if (usable)
        return true;
    const QString shown = abbreviateWithTilde(outputFolder);
    Sheets::beginAlertSheet(
        filesWindow, batchText("DestinationErrorTitle", "Cannot Use Destination Folder"),
        ButtonTitles::confirm(), QString(), QString(),
        missing
            ? localizedFormat(batchText("DestinationMissingMessage",
                                        "The folder \"%@\" does not exist. Choose another destination."),
                              {shown})
            : localizedFormat(batchText("DestinationErrorMessage",
                                        "The folder \"%@\" cannot be written. Choose another destination."),
                              {shown}),
        nullptr);
    return false;
}

void BatchEncoder::beginEncoding()
{
    if (runWindow || tasks.isEmpty() || !preferences)
        return;
    QString pattern = preferences->settings().stringForKey(PrefKey::NamePattern);
    if (pattern.isEmpty())
        pattern = OutputNamePattern::kFactoryPattern;
    if (!checkNamePattern(pattern) || !prepareDestination())
        return;
    preferences->settings().setObject(outputFolder, PrefKey::BatchDestination);
    if (registry())
        registry()->unregisterBureaucrat(this);
    encodeButton->setEnabled(false);
    if (tagsPanel)
        tagsPanel->close();
    globalOptions.insert(kSampleRateKey, sampleRate->currentData().toString());
    globalOptions.insert(kBitDepthKey, QString::number(bitDepth->currentData().toInt()));
    selectionShouldChange();
    shownRow = -1;
    fileList->clearSelection();

    const bool useLibrary = preferences->useTunes();
    QStringList genres;
    if (genreField)
        for (int i = 0; i < genreField->count(); ++i)
            genres << genreField->itemText(i);
    for (QVariantMap &task : tasks) {
        task.insert(kOutputFileKey, OutputNamePattern::outputFor(pattern, task, globalOptions, outputFolder));
        // The encoder knows only its own genre names; a genre it does not know is left out.
        if (!useLibrary && task.contains(kSongGenreKey) &&
            !genres.contains(task.value(kSongGenreKey).toString()))
            task.remove(kSongGenreKey);
    }

    runWindow = new RunWindowController(
        {filesWindow, "Batch", batchText("StopBatchTitle", "Stop batch?"),
         batchText("StopBatchMessage", "Stop encoding?"), batchText("SkipTaskTitle", "Skip file?"),
         [this](quint32 index) {
             return localizedFormat(
                 batchText("SkipTaskMessage", "Skip file \"%@\"?"),
                 {QFileInfo(tasks.value(index).value(kInputFileKey).toString()).fileName()});
         },
         batchText("CompletionTitle", "Encoding Complete"), batchText("CompletionMessage", "Batch complete."),
         outputFolder},
        this);
    connect(runWindow, &RunWindowController::ended, this, &BatchEncoder::release);
    connect(runWindow->run(), &EncoderRun::fileStateChanged, fileModel, &BatchFileList::setFileState);
    connect(runWindow->run(), &EncoderRun::nameConflict, this, &BatchEncoder::resolveNameConflict);
    runWindow->start({.tasks = &tasks,
                      .preferences = preferences,
                      .options = globalOptions,
                      .outputFolder = outputFolder,
                      .useLibrary = useLibrary,
                      .makePlaylist = useLibrary && preferences->batchPlaylists(),
                      .asksAboutExistingFiles = true,
                      .maxEncoders = preferences->encodersAtOnce()});
}

bool BatchEncoder::checkNamePattern(const QString &pattern)
{
    QString placeholder;
    QString message;
    switch (OutputNamePattern::check(pattern, &placeholder)) {
    case OutputNamePattern::Problem::None:
        return true;
    case OutputNamePattern::Problem::LeavesFolder:
        message = localizedFormat(batchText("NamePatternLeaves",
                                            "The pattern \"%@\" would write files outside the destination "
                                            "folder. Change \"Name files\" in the settings."),
                                  {pattern});
        break;
    case OutputNamePattern::Problem::UnknownPlaceholder:
        message = localizedFormat(batchText("NamePatternUnknown",
                                            "The pattern \"%@\" holds %@, which names nothing. Use {artist}, "
                                            "{album}, {track}, {title} or {name}."),
                                  {pattern, placeholder});
        break;
    case OutputNamePattern::Problem::NoFileName:
        message = localizedFormat(
            batchText("NamePatternNoFile", "The pattern \"%@\" ends without a file name."), {pattern});
        break;
    }
    Sheets::beginAlertSheet(filesWindow, batchText("NamePatternTitle", "Cannot Name the Files"),
                            ButtonTitles::confirm(), QString(), QString(), message, nullptr);
    return false;
}

// ---- Existing output files ----

void BatchEncoder::resolveNameConflict(quint32 index)
{
    conflictIndex = index;
    if (answerForAll(index))
        return;
    const QString path = tasks.value(index).value(kOutputFileKey).toString();
    const QString name = QFileInfo(path).fileName();
    QString alternate = batchText("SkipButtonTitle", "Skip");
    QString other;
    QString message = localizedFormat(batchText("DuplicateNameLockedMessage", "Rename file \"%@\"?"), {name});
    conflictOffersReplace = runWindow->run()->isReplaceable(path);
    if (conflictOffersReplace) {
        alternate = batchText("OverwriteButtonTitle", "Replace");
        other = batchText("SkipButtonTitle", "Skip");
        message = localizedFormat(batchText("DuplicateNameMessage", "Rename file \"%@\"?"), {name});
    }
    QPointer<QCheckBox> forAll;
    if (tasks.size() > 1) {
        const QString title = batchText("ApplyToAllTitle", "Apply to all files of this batch");
        forAll = new QCheckBox(title);
        forAll->setAccessibleName(title);
    }
    QMessageBox *alert = Sheets::beginAlertSheet(
        filesWindow, localizedFormat(batchText("DuplicateNameTitle", "Duplicate Filename \"%@\""), {name}),
        batchText("RenameButtonTitle", "Rename"), alternate, other, message,
        [this, forAll](int answer) { duplicateNameEnded(answer, forAll && forAll->isChecked()); });
    if (forAll)
        Sheets::addCheckBox(alert, forAll);
    runWindow->showOwnSheet(alert);
}

bool BatchEncoder::answerForAll(quint32 index)
{
    const QString path = tasks.value(index).value(kOutputFileKey).toString();
    if (!standingAnswer || (*standingAnswer == 0 && !runWindow->run()->isReplaceable(path)))
        return false;
    // The run asks from inside its own bookkeeping: the answer comes from the event loop, as a
    // user's would.
    const int answer = *standingAnswer;
    const QString renamed = answer == 1 ? OutputNames::freeFile(path, tasks) : QString();
    QMetaObject::invokeMethod(
        this,
        [this, index, answer, renamed] {
            if (!runWindow)
                return;
            EncoderRun *run = runWindow->run();
            if (answer == 0)
                run->replaceExisting(index);
            else if (answer == 1)
                run->renameOutput(index, renamed);
            else
                run->skipExisting(index);
        },
        Qt::QueuedConnection);
    return true;
}

void BatchEncoder::duplicateNameEnded(int answer, bool forAll)
{
    const QString path = tasks.value(conflictIndex).value(kOutputFileKey).toString();
    switch (answer) {
    case 1: {
        Sheets::SavePanelOptions options;
        options.title = batchText("SaveAsPanelTitle", "Save As");
        options.prompt = ButtonTitles::save();
        options.requiredFileType = QStringLiteral("mp3");
        options.directory = QFileInfo(path).path();
        options.file = QFileInfo(OutputNames::freeFile(path, tasks)).fileName();
        // The chosen name is asked about like any other output once it has its extension.
        options.confirmOverwrite = false;
        runWindow->showOwnSheet(
            Sheets::beginSavePanel(filesWindow, options, [this, forAll](int panelAnswer, QFileDialog *panel) {
                const QStringList chosen = Sheets::filenames(panel);
                const bool confirmed = panelAnswer == 1 && !chosen.isEmpty();
                // Only a name actually chosen keeps both files for the rest of the batch.
                if (confirmed && forAll)
                    standingAnswer = 1;
                runWindow->run()->renameOutput(conflictIndex, confirmed ? chosen.first() : QString());
            }));
        break;
    }
    case -1:
    case 0:
        // Without Replace on offer, the alternate button is Skip.
        if (forAll)
            standingAnswer = answer == 0 && conflictOffersReplace ? 0 : -1;
        if (answer == -1)
            runWindow->run()->skipExisting(conflictIndex);
        else
            runWindow->run()->replaceExisting(conflictIndex);
        break;
    default:
        qWarning("Error: invalid return code from alert sheet");
    }
}
