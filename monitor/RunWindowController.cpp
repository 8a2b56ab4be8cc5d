#include "monitor/RunWindowController.h"

#include "core/LamePrefs.h"
#include "monitor/LameProgress.h"
#include "platform/LocalizedStrings.h"
#include "platform/Paths.h"
#include "platform/widgets/ButtonTitles.h"
#include "platform/widgets/CommandLogSink.h"
#include "platform/widgets/DesktopNotification.h"
#include "platform/widgets/DocumentRegistry.h"
#include "platform/widgets/Sheets.h"
#include "platform/widgets/Workspace.h"

#include <QEvent>
#include <QMessageBox>
#include <QWidget>

namespace {
QList<RunWindowController *> controllers;

CommandLogSink *commandLog()
{
    return CommandLogSink::instance();
}
} // namespace

RunWindowController::RunWindowController(Setup runWindow, QObject *parent)
    : QObject(parent), setup(std::move(runWindow)), encoderRun(new EncoderRun(this)),
      progressSheet(new LameProgress(this))
{
    connect(progressSheet, &LameProgress::stopRequested, this, &RunWindowController::stopProcess);
    connect(progressSheet, &LameProgress::skipRequested, this,
            [this] { skipFile(encoderRun->currentIndex()); });
    connect(progressSheet, &LameProgress::skipFileRequested, this, &RunWindowController::skipFile);

    EncoderRun *run = encoderRun;
    connect(run, &EncoderRun::encoderStarted, this,
            [this](quint32 index, const QString &program, const QStringList &arguments) {
                if (commandLog())
                    commandLog()->logCommand(program, arguments);
                progressSheet->fileStarted(index, encoderRun->task(index), encoderRun->taskCount());
                // Puts the sheet back too when a question had taken it down.
                showProgress();
            });
    connect(run, &EncoderRun::outputRead, this, [](quint32, const QString &text) {
        if (commandLog())
            commandLog()->logOutput(text);
    });
    connect(run, &EncoderRun::fileUpdated, this,
            [this](quint32 index, const EncoderOutputParser::Update &update) {
                progressSheet->fileUpdated(index, update);
                if (update.field == EncoderOutputParser::Field::Progress)
                    showRunState();
            });
    connect(run, &EncoderRun::fileStateChanged, this, &RunWindowController::showRunState);
    connect(run, &EncoderRun::fileEnded, progressSheet, &LameProgress::fileEnded);
    connect(run, &EncoderRun::resumed, this, &RunWindowController::showProgress);
    connect(run, &EncoderRun::completed, this, [this] {
        progressSheet->hide();
        if (!setup.beforeCompletion)
            return displayCompletion();
        setup.beforeCompletion([this, guard = QPointer<RunWindowController>(this)](const QString &line) {
            if (!guard || ending)
                return;
            completionNote = line;
            displayCompletion();
        });
    });
    connect(run, &EncoderRun::stopped, this, &RunWindowController::finish);
    connect(run, &EncoderRun::logged, this, &CommandLogSink::logLine);
}

RunWindowController::~RunWindowController()
{
    controllers.removeOne(this);
    // The run's encoders go first, while the sheet that shows them still exists.
    delete encoderRun;
}

const QList<RunWindowController *> &RunWindowController::all()
{
    return controllers;
}

QString RunWindowController::runText(const char *key, const char *defaultText) const
{
    return localizedString(key, defaultText, setup.stringTable);
}

void RunWindowController::start(EncoderRun::Setup runSetup)
{
    if (started)
        return;
    started = true;
    controllers.append(this);
    // Installed after the document controller's own filter, so it sees a close first.
    if (setup.window)
        setup.window->installEventFilter(this);
    runSetup.stringTable = setup.stringTable;
    progressSheet->showRun(runSetup.tasks ? quint32(runSetup.tasks->size()) : 0, runSetup.maxEncoders);
    encoderRun->start(runSetup);
}

bool RunWindowController::isEncoding() const
{
    return started && !encoderRun->isCompleted() && !ending;
}

bool RunWindowController::sheetIsUp() const
{
    return sheet && sheet->isVisible();
}

void RunWindowController::showOwnSheet(QWidget *ownSheet)
{
    progressSheet->suspend();
    sheet = ownSheet;
}

void RunWindowController::showProgress()
{
    // Over a question or panel that is up, the sheet waits until it has been answered.
    if (!ending)
        progressSheet->attachToWindow(setup.window);
}

void RunWindowController::showRunState()
{
    using State = EncoderRun::FileState;
    const EncoderRun *run = encoderRun;
    // Only the sheet of several files at once shows the whole run.
    if (std::min(run->taskCount(), run->encodersAtOnce()) <= 1)
        return;
    progressSheet->setRunState(
        {run->count(State::Done) + run->count(State::Failed) + run->count(State::Skipped),
         run->count(State::Encoding), run->count(State::Waiting), run->batchFraction()});
}

bool RunWindowController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != setup.window || event->type() != QEvent::Close || ending)
        return false;
    // A run is never ended under its encoder: closing asks the Stop question, unless a question
    // or panel is up already.
    event->ignore();
    if (!encoderRun->isInteracting() && !sheetIsUp()) {
        stopProcess();
        closingWindow = encoderRun->isInteracting();
    }
    return true;
}

void RunWindowController::stopProcess()
{
    if (encoderRun->isInteracting() || ending)
        return;
    progressSheet->suspend();
    encoderRun->questionStarted();
    sheet = Sheets::beginAlertSheet(setup.window, setup.stopTitle, ButtonTitles::confirm(),
                                    ButtonTitles::cancel(), QString(), setup.stopMessage,
                                    [this](int answer) { confirmStopDidEnd(answer); });
}

void RunWindowController::skipFile(quint32 index)
{
    if (encoderRun->isInteracting() || ending)
        return;
    progressSheet->suspend();
    encoderRun->questionStarted();
    sheet =
        Sheets::beginAlertSheet(setup.window, setup.skipTitle, ButtonTitles::confirm(),
                                ButtonTitles::cancel(), QString(), setup.skipMessage(index),
                                [this, index](int answer) { encoderRun->skipAnswered(index, answer == 1); });
}

void RunWindowController::confirmStopDidEnd(int answer)
{
    const bool closing = std::exchange(closingWindow, false);
    // A run stopped from its sheet ends like a finished one; one stopped by closing its window
    // ends as a closed window does.
    if (answer == 1 && !closing)
        if (DocumentRegistry *registry = DocumentRegistry::instance())
            registry->runDidEnd(setup.window);
    encoderRun->stopAnswered(answer == 1);
}

void RunWindowController::abort()
{
    if (ending)
        return;
    encoderRun->abort();
    finish();
}

void RunWindowController::finish()
{
    if (ending)
        return;
    ending = true;
    Sheets::dismiss(sheet);
    progressSheet->hide();
    emit ended();
}

QString RunWindowController::completionSummary() const
{
    const quint32 failed = encoderRun->failedCount();
    const quint32 skipped = encoderRun->count(EncoderRun::FileState::Skipped);
    const quint32 encoded = encoderRun->taskCount() - failed - skipped;
    const QString folder = abbreviateWithTilde(setup.folder);
    QString summary =
        encoded == 1
            ? localizedFormat(runText("CompletionEncodedOne", "1 file encoded into %@."), {folder})
            : localizedFormat(runText("CompletionEncoded", "%u files encoded into %@."), {encoded, folder});
    if (failed > 0 && skipped > 0)
        summary += u' ' + localizedFormat(runText("CompletionFailedSkipped", "%u failed, %u skipped."),
                                          {failed, skipped});
    else if (failed > 0)
        summary += u' ' + localizedFormat(runText("CompletionFailed", "%u failed."), {failed});
    else if (skipped > 0)
        summary += u' ' + localizedFormat(runText("CompletionSkipped", "%u skipped."), {skipped});
    return summary;
}

void RunWindowController::displayCompletion()
{
    QString details = completionSummary();
    if (encoderRun->failedCount() > 0)
        details += u' ' + runText("CompletionFailuresLogged", "The command log shows why.");
    if (!completionNote.isEmpty())
        details += QStringLiteral("\n\n") + completionNote;
    // Each loss beyond a failed file has a sentence of its own.
    const auto addLoss = [&details](quint32 count, const QString &format) {
        if (count > 0)
            details += QStringLiteral("\n\n") + localizedFormat(format, {count});
    };
    addLoss(encoderRun->libraryFailureCount(),
            runText("CompletionLibraryFailures", "The music library could not take %u files whole (playlist "
                                                 "entry or tags). The command log shows why."));
    addLoss(encoderRun->coverLossCount(),
            runText("CompletionCoverLosses",
                    "%u files were encoded without their cover picture. The command log shows why."));
    addLoss(encoderRun->tagLossCount(),
            runText("CompletionTagLosses",
                    "%u files were encoded without some of their tags. The command log shows why."));
    for (const QString &loss : std::as_const(setup.losses))
        details += QStringLiteral("\n\n") + loss;
    // The sheet waits on a window the user may not be looking at.
    if (DesktopNotification::applicationInBackground())
        DesktopNotification::show(setup.completionTitle, completionSummary());
    sheet = Sheets::beginInformationalAlertSheet(setup.window, setup.completionTitle, ButtonTitles::confirm(),
                                                 setup.completionMessage, details,
                                                 [this](int) { completionEnded(); });
}

void RunWindowController::completionEnded()
{
    if (DocumentRegistry *registry = DocumentRegistry::instance())
        registry->runDidEnd(setup.window);
    Workspace::shared().noteFileSystemChanged(setup.folder);
    if (encoderRun->taskCount() > 0)
        Workspace::shared().selectFile(encoderRun->task(0).value(kOutputFileKey).toString());
    finish();
}
