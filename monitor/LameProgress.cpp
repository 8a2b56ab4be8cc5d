#include "monitor/LameProgress.h"

#include "core/LamePrefs.h"
#include "platform/LocalizedStrings.h"
#include "platform/Paths.h"
#include "platform/widgets/CommandLogSink.h"
#include "platform/widgets/WindowDescription.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace {
const char *const kTable = "Progress";

// The progress bar counts in thousandths of the file.
constexpr int kBarSteps = 1000;

QString progressText(const char *key, const char *defaultText)
{
    return localizedString(key, defaultText, kTable);
}

bool hasPath(const QVariantMap &task, const QString &key)
{
    const auto value = task.constFind(key);
    return value != task.constEnd() && !value->isNull();
}

void logOutput(const QString &text)
{
    if (CommandLogSink *log = CommandLogSink::instance())
        log->logOutput(text);
}

QString textOf(const QLabel *field)
{
    return field ? field->text() : QString();
}

void setText(QLabel *field, const QString &text)
{
    if (field)
        field->setText(text);
}

// The encoder's details take a line only once the encoder has said something about them, and
// their box shows only when one of them has.
void setDetail(QLabel *field, const QString &text)
{
    if (!field)
        return;
    field->setText(text);
    field->setHidden(text.isEmpty());
    if (QWidget *box = field->parentWidget(); box && box->objectName() == QLatin1String("encoderDetails")) {
        const QList<QLabel *> details = box->findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
        box->setHidden(std::all_of(details.cbegin(), details.cend(),
                                   [](const QLabel *detail) { return detail->text().isEmpty(); }));
    }
}
} // namespace

LameProgress::LameProgress(QObject *parent) : QObject(parent)
{
    QWidget *root = WindowDescription::load(QStringLiteral("Progress"));
    progressSheet_ = qobject_cast<QDialog *>(root);
    if (!progressSheet_) {
        if (root) {
            qWarning("Error: missing nib file");
            delete root;
        }
        return;
    }
    taskField = WindowDescription::outlet<QLabel>(root, "taskField");
    positionField = WindowDescription::outlet<QLabel>(root, "positionField");
    encoderVersionField = WindowDescription::outlet<QLabel>(root, "encoderVersionField");
    modelVersionField = WindowDescription::outlet<QLabel>(root, "modelVersionField");
    highPassField = WindowDescription::outlet<QLabel>(root, "highPassField");
    lowPassField = WindowDescription::outlet<QLabel>(root, "lowPassField");
    remainingTime = WindowDescription::outlet<QLabel>(root, "remainingTime");
    progressBar = WindowDescription::outlet<QProgressBar>(root, "progressBar");
    if (progressBar)
        progressBar->setRange(0, kBarSteps);
    // A progress bar repaints itself at once on every change; lame reports many times a second,
    // so the bar takes the latest value at most ten times a second.
    barTimer.setSingleShot(true);
    barTimer.setInterval(100);
    connect(&barTimer, &QTimer::timeout, this, [this] {
        if (progressBar)
            progressBar->setValue(barValue);
    });

    // The task, position and remaining time keep their line while empty, so that the bar stays
    // where it is as the texts arrive.
    for (QLabel *field : {taskField.data(), positionField.data(), remainingTime.data()}) {
        if (field)
            field->setMinimumHeight(field->fontMetrics().height());
    }
    for (QLabel *field :
         {encoderVersionField.data(), modelVersionField.data(), highPassField.data(), lowPassField.data()})
        setDetail(field, QString());

    for (const char *name : {"stopButton", "skipButton"}) {
        if (QPushButton *button = WindowDescription::outlet<QPushButton>(root, name))
            connect(button, &QPushButton::clicked, this, [this, button] { interruptProcess(button); });
    }
    // The sheet goes down only when its controller says so: Escape and the window manager's
    // close button would otherwise hide it while the encoder runs on behind it. Closing all
    // windows when the application quits still closes it.
    progressSheet_->installEventFilter(this);
}

LameProgress::~LameProgress()
{
    detachFromTool();
    if (docWindow_)
        hide();
    // The destruction may come from a click on one of the sheet's own buttons.
    if (progressSheet_)
        progressSheet_->deleteLater();
}

// Installed on the sheet alone. The sheet is not looked at here: its events go on while it is
// being destroyed, when it is no longer a dialog.
bool LameProgress::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close && event->spontaneous()) {
        event->ignore();
        return true;
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
        return true;
    return QObject::eventFilter(watched, event);
}

void LameProgress::beginSheet(QWidget *window)
{
    if (!progressSheet_ || !window)
        return;
    if (progressSheet_->parentWidget() != window)
        progressSheet_->setParent(window, Qt::Sheet);
    progressSheet_->setWindowModality(Qt::WindowModal);
    progressSheet_->show();
}

void LameProgress::endSheet()
{
    if (!progressSheet_)
        return;
    progressSheet_->hide();
    // While it is down the sheet belongs to this controller alone, so that closing the document
    // window cannot take the sheet with it.
    if (progressSheet_->parentWidget())
        progressSheet_->setParent(nullptr, progressSheet_->windowFlags());
}

void LameProgress::attachToWindow(QWidget *window)
{
    if (!window) {
        hide();
        return;
    }
    if (!docWindow_) {
        beginSheet(window);
    } else if (window == docWindow_) {
        if (suspended)
            resume();
    } else {
        endSheet();
        beginSheet(window);
    }
    docWindow_ = window;
    suspended = false;
}

void LameProgress::hide()
{
    if (!docWindow_)
        return;
    if (!suspended)
        endSheet();
    reset();
    docWindow_ = nullptr;
    suspended = false;
}

void LameProgress::suspend()
{
    if (!docWindow_ || suspended)
        return;
    endSheet();
    suspended = true;
}

void LameProgress::resume()
{
    if (!docWindow_ || !suspended)
        return;
    beginSheet(docWindow_);
    suspended = false;
}

void LameProgress::reset()
{
    detachFromTool();
    setText(taskField, QString());
    setText(positionField, QString());
    setDetail(encoderVersionField, QString());
    setDetail(modelVersionField, QString());
    setDetail(highPassField, QString());
    setDetail(lowPassField, QString());
    setText(remainingTime, QString());
    barTimer.stop();
    barValue = 0;
    if (progressBar)
        progressBar->setValue(0);
}

void LameProgress::setTask(const QVariantMap *task)
{
    if (!task || !hasPath(*task, kInputFileKey) || !hasPath(*task, kOutputFileKey))
        return;
    const QString format = progressText("SourceAndTarget", "Encoding \"%@\" as \"%@\"");
    setText(taskField, localizedFormat(format, {lastPathComponent(task->value(kInputFileKey).toString()),
                                                lastPathComponent(task->value(kOutputFileKey).toString())}));
}

void LameProgress::setFile(quint32 position, quint32 total)
{
    const QString format = progressText("FilePosition", "File %u of %u");
    setText(positionField, localizedFormat(format, {position, total}));
}

void LameProgress::attachToTool(QProcess *tool)
{
    detachFromTool();
    if (!tool)
        return;
    tool_ = tool;
    // The document controller observes the same end; whichever of us runs first may let go of
    // this process, or even attach the next one, so each handler checks whose end it is.
    toolConnections << connect(tool, &QProcess::finished, this, [this, tool] { toolDidExit(tool); });
    toolConnections << connect(tool, &QProcess::errorOccurred, this,
                               [this, tool](QProcess::ProcessError error) {
                                   if (error == QProcess::FailedToStart)
                                       toolDidExit(tool);
                               });
    toolOutput.clear();
    if (CommandLogSink *log = CommandLogSink::instance())
        log->logCommand(tool);
    // QProcess announces only the channels it reads through pipes: merged error output arrives
    // as standard output, and a channel sent to a file or another process is never announced.
    toolConnections << connect(tool, &QProcess::readyReadStandardOutput, this, [this, tool] {
        if (tool == tool_)
            processOutput(EncoderOutputParser::Stream::Output, tool->readAllStandardOutput());
    });
    toolConnections << connect(tool, &QProcess::readyReadStandardError, this, [this, tool] {
        if (tool == tool_)
            processOutput(EncoderOutputParser::Stream::Error, tool->readAllStandardError());
    });
}

void LameProgress::detachFromTool()
{
    if (!tool_ && toolConnections.isEmpty())
        return;
    for (const QMetaObject::Connection &connection : std::as_const(toolConnections))
        disconnect(connection);
    toolConnections.clear();
    tool_ = nullptr;
    // Bytes of a character that never got finished still reach the log.
    for (auto stream : {EncoderOutputParser::Stream::Output, EncoderOutputParser::Stream::Error}) {
        const QString rest = toolOutput.finishStream(stream);
        if (!rest.isEmpty())
            logOutput(rest);
    }
    toolOutput.clear();
}

void LameProgress::toolDidExit(QProcess *process)
{
    if (process == tool_)
        detachFromTool();
}

void LameProgress::processOutput(EncoderOutputParser::Stream stream, const QByteArray &data)
{
    if (!tool_ || data.isEmpty())
        return;
    const QString chunk = toolOutput.decode(stream, data);
    if (chunk.isEmpty())
        return;
    logOutput(chunk);
    for (const EncoderOutputParser::Update &update : toolOutput.consume(chunk))
        apply(update);
}

void LameProgress::apply(const EncoderOutputParser::Update &update)
{
    using Field = EncoderOutputParser::Field;
    switch (update.field) {
    case Field::EncoderVersion:
        setDetail(encoderVersionField,
                  localizedFormat(progressText("LAMEVersion", "LAME version %@"), {update.version}));
        break;
    case Field::ModelVersion:
        setDetail(modelVersionField,
                  localizedFormat(progressText("GPSYCHOVersion", "GPSYCHO version %@"), {update.version}));
        break;
    case Field::LowPass:
        setDetail(lowPassField,
                  update.filterDisabled
                      ? progressText("LowPassDisabled", "Warning: Low pass filter disabled")
                      : localizedFormat(progressText("LowPassStatus", "Upper transition band: %u Hz - %u Hz"),
                                        {update.bandLow, update.bandHigh}));
        break;
    case Field::HighPass:
        setDetail(highPassField, update.filterDisabled
                                     ? progressText("HighPassDisabled", "Warning: High pass filter disabled")
                                     : localizedFormat(progressText("HighPassStatus",
                                                                    "Lower transition band: %u Hz - %u Hz"),
                                                       {update.bandLow, update.bandHigh}));
        break;
    case Field::Progress:
        // A record without a time left moves the bar and leaves the last estimate standing.
        if (!update.timeLeft.isEmpty())
            setText(remainingTime, localizedFormat(progressText("RemainingTime", "ETA: %@ (%d%%)"),
                                                   {update.timeLeft, update.percent}));
        barValue = qRound(update.fraction() * kBarSteps);
        if (progressBar && !barTimer.isActive())
            barTimer.start();
        break;
    }
}

void LameProgress::interruptProcess(QObject *control)
{
    const int tag = WindowDescription::tag(control);
    if (tag == 1)
        emit stopRequested(this);
    else if (tag == 2)
        emit skipRequested(this);
    else
        qWarning("Error: corrupt nib file");
}

QString LameProgress::taskText() const
{
    return textOf(taskField);
}

QString LameProgress::positionText() const
{
    return textOf(positionField);
}

QString LameProgress::encoderVersionText() const
{
    return textOf(encoderVersionField);
}

QString LameProgress::modelVersionText() const
{
    return textOf(modelVersionField);
}

QString LameProgress::highPassText() const
{
    return textOf(highPassField);
}

QString LameProgress::lowPassText() const
{
    return textOf(lowPassField);
}

QString LameProgress::remainingTimeText() const
{
    return textOf(remainingTime);
}

double LameProgress::progress() const
{
    return progressBar ? double(barValue) / kBarSteps : 0.0;
}
