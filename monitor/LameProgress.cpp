#include "monitor/LameProgress.h"

#include "core/LamePrefs.h"
#include "platform/LocalizedStrings.h"
#include "platform/Paths.h"
#include "platform/widgets/WindowDescription.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace {
const char *const kTable = "Progress";

// The progress bar counts in thousandths of the file.
constexpr int kBarSteps = 1000;
// How often the sheet of several encoders is redrawn, in milliseconds.
constexpr int kRunRedraw = 250;

QString progressText(const char *key, const char *defaultText)
{
    return localizedString(key, defaultText, kTable);
}

bool hasPath(const QVariantMap &task, const QString &key)
{
    const auto value = task.constFind(key);
    return value != task.constEnd() && !value->isNull();
}

QString textOf(const QLabel *field)
{
    return field ? field->text() : QString();
}

// A time left as the encoder prints it: "4:05", "1:02:03".
QString clockText(qint64 seconds)
{
    const qint64 hours = seconds / 3600;
    const QString minutesAndSeconds =
        QStringLiteral("%1:%2")
            .arg(hours ? (seconds / 60) % 60 : seconds / 60, hours ? 2 : 1, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours ? QStringLiteral("%1:").arg(hours) + minutesAndSeconds : minutesAndSeconds;
}

// A question up on `window` that must keep the user's eyes and keys: an alert or panel modal to
// the window (or to a window it belongs to), or one modal to the whole application.
QWidget *openQuestion(const QWidget *window, const QWidget *sheet)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget == sheet || !widget->isVisible())
            continue;
        if (widget->windowModality() == Qt::ApplicationModal)
            return widget;
        if (widget->windowModality() == Qt::WindowModal)
            for (const QWidget *owner = widget->parentWidget(); owner; owner = owner->parentWidget())
                if (owner == window)
                    return widget;
    }
    return nullptr;
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
    runningFiles = WindowDescription::outlet<QWidget>(root, "runningFiles");
    if (runningFiles)
        runningFiles->hide();
    runTimer.setInterval(kRunRedraw);
    connect(&runTimer, &QTimer::timeout, this, &LameProgress::redrawRun);
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
    stopWaiting();
    if (docWindow_)
        hide();
    // The destruction may come from a click on one of the sheet's own buttons.
    if (progressSheet_)
        progressSheet_->deleteLater();
}

// Installed on the sheet and on the question the sheet waits for. The sheet is not looked at
// here: its events go on while it is being destroyed, when it is no longer a dialog.
bool LameProgress::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == awaitedQuestion.data()) {
        // From the event loop: the question's answer may put up the next question first.
        if (event->type() == QEvent::Hide)
            QMetaObject::invokeMethod(this, &LameProgress::showAfterQuestion, Qt::QueuedConnection);
        return false;
    }
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
    // Shown over a question, the sheet would take its keys and hide it from the mouse, and the
    // run would wait for an answer that can no longer be given.
    if (QWidget *question = openQuestion(window, progressSheet_)) {
        if (question != awaitedQuestion) {
            stopWaiting();
            awaitedQuestion = question;
            question->installEventFilter(this);
            awaitedGone = connect(question, &QObject::destroyed, this, &LameProgress::showAfterQuestion,
                                  Qt::QueuedConnection);
        }
        return;
    }
    stopWaiting();
    if (progressSheet_->parentWidget() != window)
        progressSheet_->setParent(window, Qt::Sheet);
    progressSheet_->setWindowModality(Qt::WindowModal);
    progressSheet_->show();
}

void LameProgress::endSheet()
{
    stopWaiting();
    if (!progressSheet_)
        return;
    progressSheet_->hide();
    // While it is down the sheet belongs to this controller alone, so that closing the document
    // window cannot take the sheet with it.
    if (progressSheet_->parentWidget())
        progressSheet_->setParent(nullptr, progressSheet_->windowFlags());
}

void LameProgress::stopWaiting()
{
    disconnect(awaitedGone);
    if (awaitedQuestion)
        awaitedQuestion->removeEventFilter(this);
    awaitedQuestion = nullptr;
}

void LameProgress::showAfterQuestion()
{
    // Shows the sheet only if it still should be up and is not: it may have been taken down, or
    // shown on another window, while the question was up.
    if (!docWindow_ || suspended || !progressSheet_ || progressSheet_->isVisible())
        return;
    if (awaitedQuestion && awaitedQuestion->isVisible())
        return;
    beginSheet(docWindow_);
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
    runTimer.stop();
    while (!fileLines.empty())
        dropFileLine(fileLines.begin()->first);
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

void LameProgress::showRun(quint32 files, quint32 encoders)
{
    severalAtOnce = std::min(files, encoders) > 1;
    if (!severalAtOnce || !progressSheet_)
        return;
    // The whole run takes the place of the current file: no one file is current, so the task
    // line and the sheet's own Skip button go, and each running file gets a line of its own.
    if (taskField)
        taskField->hide();
    if (QPushButton *skip = WindowDescription::outlet<QPushButton>(progressSheet_, "skipButton"))
        skip->hide();
    if (progressBar)
        progressBar->setAccessibleName(progressText("RunProgress", "Progress of the whole batch"));
    if (runningFiles) {
        runningFiles->show();
        // Room for every encoder from the start, so that the sheet keeps its size as files come
        // and go.
        const int lineHeight = std::max(progressSheet_->fontMetrics().height(),
                                        QPushButton(QStringLiteral("X")).sizeHint().height());
        const int spacing = runningFiles->layout() ? runningFiles->layout()->spacing() : 0;
        runningFiles->setMinimumHeight(int(std::min(files, encoders)) * (lineHeight + spacing));
    }
    secondsLeft = -1;
    runClock.start();
    redrawRun();
    runTimer.start();
}

void LameProgress::fileStarted(quint32 index, const QVariantMap &task, quint32 total)
{
    if (severalAtOnce) {
        addFileLine(index, task);
        return;
    }
    if (hasPath(task, kInputFileKey) && hasPath(task, kOutputFileKey))
        setText(taskField, localizedFormat(progressText("SourceAndTarget", "Encoding \"%@\" as \"%@\""),
                                           {lastPathComponent(task.value(kInputFileKey).toString()),
                                            lastPathComponent(task.value(kOutputFileKey).toString())}));
    setText(positionField,
            localizedFormat(progressText("FilePosition", "File %u of %u"), {index + 1, total}));
}

void LameProgress::fileUpdated(quint32 index, const EncoderOutputParser::Update &update)
{
    if (!severalAtOnce) {
        apply(update);
        return;
    }
    const auto found = fileLines.find(index);
    if (found == fileLines.end())
        return;
    FileLine &file = *found->second;
    if (update.field == EncoderOutputParser::Field::Progress) {
        file.fraction = update.fraction();
        return;
    }
    file.details.insert_or_assign(update.field, update);
    if (found == fileLines.begin())
        apply(update);
}

void LameProgress::fileEnded(quint32 index)
{
    if (!severalAtOnce) {
        reset();
        return;
    }
    const bool first = !fileLines.empty() && fileLines.begin()->first == index;
    dropFileLine(index);
    if (first)
        showDetailsOf(fileLines.empty() ? nullptr : fileLines.begin()->second.get());
}

void LameProgress::setRunState(const RunState &state)
{
    runState = state;
}

void LameProgress::showDetailsOf(const FileLine *file)
{
    using Field = EncoderOutputParser::Field;
    const std::pair<Field, QLabel *> fields[] = {{Field::EncoderVersion, encoderVersionField},
                                                 {Field::ModelVersion, modelVersionField},
                                                 {Field::LowPass, lowPassField},
                                                 {Field::HighPass, highPassField}};
    for (const auto &[field, label] : fields) {
        if (file && file->details.count(field))
            apply(file->details.at(field));
        else
            setDetail(label, QString());
    }
}

void LameProgress::addFileLine(quint32 index, const QVariantMap &task)
{
    dropFileLine(index);
    auto file = std::make_unique<FileLine>();
    if (runningFiles && runningFiles->layout()) {
        const QString name = lastPathComponent(task.value(kInputFileKey).toString());
        auto *line = new QWidget(runningFiles);
        auto *layout = new QHBoxLayout(line);
        layout->setContentsMargins(0, 0, 0, 0);
        auto *label = new QLabel(line);
        label->setTextFormat(Qt::PlainText);
        // A long name is cut in its middle, where it differs least from its neighbours; its whole
        // text stays its name and its tip.
        const int nameWidth = label->fontMetrics().averageCharWidth() * 32;
        label->setFixedWidth(nameWidth);
        label->setText(label->fontMetrics().elidedText(name, Qt::ElideMiddle, nameWidth));
        label->setAccessibleName(name);
        label->setToolTip(name);
        auto *bar = new QProgressBar(line);
        bar->setRange(0, kBarSteps);
        bar->setValue(0);
        bar->setTextVisible(false);
        bar->setAccessibleName(localizedFormat(progressText("FileProgress", "Progress of \"%@\""), {name}));
        auto *skip = new QPushButton(progressText("SkipFileButton", "Skip"), line);
        skip->setAutoDefault(false);
        skip->setAccessibleName(localizedFormat(progressText("SkipFileName", "Skip %@"), {name}));
        skip->setToolTip(progressText("SkipFileTip", "Stop encoding this file and remove what it wrote"));
        connect(skip, &QPushButton::clicked, this, [this, index] { emit skipFileRequested(index); });
        layout->addWidget(label);
        layout->addWidget(bar, 1);
        layout->addWidget(skip);
        const auto before = std::distance(fileLines.begin(), fileLines.lower_bound(index));
        static_cast<QBoxLayout *>(runningFiles->layout())->insertWidget(int(before), line);
        file->line = line;
        file->bar = bar;
    }
    fileLines[index] = std::move(file);
}

QStringList LameProgress::runningFileNames() const
{
    QStringList names;
    for (const auto &[index, file] : fileLines)
        if (file->line)
            if (auto *label = file->line->findChild<QLabel *>())
                names << label->accessibleName();
    return names;
}

void LameProgress::dropFileLine(quint32 index)
{
    const auto found = fileLines.find(index);
    if (found == fileLines.end())
        return;
    // The line may hold the Skip button being clicked.
    if (found->second->line)
        found->second->line->deleteLater();
    fileLines.erase(found);
}

// Redrawn on a timer rather than on every line an encoder prints: with many encoders, their
// lines would otherwise keep the sheet repainting all the time.
void LameProgress::redrawRun()
{
    // Each count in the form its number takes ("1 running" and "2 running" differ in some languages).
    setText(positionField,
            localizedFormat(progressText("RunPosition", "%@, %@, %@"),
                            {localizedCount("RunDone", "%n done", "Progress", int(runState.done)),
                             localizedCount("RunRunning", "%n running", "Progress", int(runState.running)),
                             localizedCount("RunLeft", "%n left", "Progress", int(runState.left))}));
    if (progressBar)
        progressBar->setValue(qRound(runState.fraction * kBarSteps));
    for (const auto &[index, file] : fileLines)
        if (file->bar)
            file->bar->setValue(qRound(file->fraction * kBarSteps));
    const QString left = runTimeLeft();
    if (!left.isEmpty())
        setText(remainingTime, left);
}

QString LameProgress::runTimeLeft()
{
    const double fraction = runState.fraction;
    const double elapsed = runClock.elapsed() / 1000.0;
    // The first seconds say too little about the pace to guess from.
    if (fraction < 0.01 || elapsed < 2)
        return {};
    const double measured = elapsed * (1 - fraction) / fraction;
    // The time shown counts down by itself and follows the measured pace only slowly, so that one
    // file ending early or late does not make it jump.
    if (secondsLeft < 0)
        secondsLeft = measured;
    else {
        const double counted = std::max(0.0, secondsLeft - kRunRedraw / 1000.0);
        secondsLeft = counted + 0.1 * (measured - counted);
    }
    // Whole five seconds, or whole ten seconds above a minute: steadier than the second.
    const double step = secondsLeft < 60 ? 5 : 10;
    const auto shown = qint64(std::ceil(secondsLeft / step) * step);
    return localizedFormat(progressText("RemainingTime", "ETA: %@ (%d%%)"),
                           {clockText(shown), int(fraction * 100)});
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
        emit stopRequested();
    else if (tag == 2)
        emit skipRequested();
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
