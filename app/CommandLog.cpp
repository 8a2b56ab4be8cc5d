#include "app/CommandLog.h"

#include "core/CommandLine.h"

#include "core/LamePrefs.h"
#include "platform/LocalizedStrings.h"
#include "platform/Paths.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QWidget>
#include <cmath>

namespace {
// The longest line the log shows: far longer than any command or encoder line, short enough that
// laying it out never stalls the window.
constexpr qsizetype kLongestLine = 16384;

// The characters that end a line of the log's text.
bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator;
}

QTextCharFormat formatWithFont(const QFont &font)
{
    QTextCharFormat format;
    format.setFont(font, QTextCharFormat::FontPropertiesAll);
    return format;
}
} // namespace

CommandLog::CommandLog(QObject *parent) : QObject(parent)
{
    // Nobody undoes a log; an undo stack would only keep a second copy of everything appended.
    log = new QTextDocument(this);
    log->setUndoRedoEnabled(false);
    placeholder = new QTextDocument(this);
    placeholder->setDocumentLayout(new QPlainTextDocumentLayout(placeholder));

    logWindow = std::make_unique<QWidget>();
    logWindow->setWindowTitle(localizedString("Command Log", "Command Log", "Global"));
    logWindow->setAccessibleName(logWindow->windowTitle());
    logWindow->resize(720, 420);

    view = new QPlainTextEdit(logWindow.get());
    view->setObjectName(QStringLiteral("commandLog"));
    view->setAccessibleName(localizedString("Command Log", "Command Log", "Global"));
    view->setReadOnly(true);
    view->setDocument(placeholder);
    view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    const QString clearTitle = localizedString("Clear Log", "Clear Log", "Global");
    clearButton = new QPushButton(u'&' + clearTitle, logWindow.get());
    clearButton->setObjectName(QStringLiteral("clearLogButton"));
    clearButton->setAccessibleName(clearTitle);
    clearButton->setAutoDefault(false);
    connect(clearButton, &QPushButton::clicked, this, &CommandLog::clearLog);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clearButton);
    auto *layout = new QVBoxLayout(logWindow.get());
    layout->addWidget(view);
    layout->addLayout(buttons);

    QFont commandFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    const QFont small = QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont);
    if (small.pointSizeF() > 0)
        commandFont.setPointSizeF(small.pointSizeF());
    commandFont.setBold(true);
    commandFormat = formatWithFont(commandFont);

    logWindow->installEventFilter(this);
    for (const QKeySequence &key : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(key, logWindow.get()), &QShortcut::activated, logWindow.get(), &QWidget::close);
}

CommandLog::~CommandLog() = default;

void CommandLog::logCommand(const QString &program, const QStringList &arguments)
{
    append(u'\n' + CommandLine::quoted(program, arguments) + u'\n', commandFormat);
}

void CommandLog::logOutput(const QString &text)
{
    append(text, outputFormat());
}

const QTextCharFormat &CommandLog::outputFormat()
{
    // The size is the user's to change at any time, so it is read for every chunk; the format is
    // only made again when it differs.
    double size = LamePrefs::preferences().floatForKey(PrefKey::FixedPitchFontSize);
    if (!(size > 0.0) || !std::isfinite(size))
        size = 0.0;
    if (size != cachedOutputSize) {
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        if (size > 0.0)
            font.setPointSizeF(size);
        cachedOutputFormat = formatWithFont(font);
        cachedOutputSize = size;
    }
    return cachedOutputFormat;
}

bool CommandLog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == logWindow.get()) {
        if (event->type() == QEvent::Show)
            attachView(true);
        else if (event->type() == QEvent::Hide)
            attachView(false);
    }
    return QObject::eventFilter(watched, event);
}

void CommandLog::attachView(bool attach)
{
    const bool attached = view->document() == log;
    if (attach == attached)
        return;
    if (attach) {
        log->setDocumentLayout(new QPlainTextDocumentLayout(log));
        view->setDocument(log);
        view->moveCursor(QTextCursor::End);
        view->ensureCursorVisible();
    } else {
        view->setDocument(placeholder);
        // Without a layout the document only stores what is appended.
        log->setDocumentLayout(nullptr);
    }
}

void CommandLog::append(QString text, const QTextCharFormat &format)
{
    if (endsWithReturn && text.startsWith(u'\n'))
        text.remove(0, 1);
    if (text.isEmpty())
        return;
    endsWithReturn = text.endsWith(u'\r');
    text = cutLongLines(text);

    // Follow the end of the log only when the reader is already there; someone reading further
    // up keeps their place.
    QScrollBar *bar = view->verticalScrollBar();
    const bool following = scrollQueued || bar->value() == bar->maximum();

    QTextCursor cursor(log);
    cursor.movePosition(QTextCursor::End);
    // Inside an edit block the cursor does not work out where it stands on the screen, which
    // would lay out the text once more.
    cursor.beginEditBlock();
    cursor.insertText(text, format);
    cursor.endEditBlock();

    if (following && view->isVisible() && !scrollQueued) {
        scrollQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                scrollQueued = false;
                QScrollBar *bar = view->verticalScrollBar();
                bar->setValue(bar->maximum());
            },
            Qt::QueuedConnection);
    }
}

QString CommandLog::cutLongLines(const QString &text)
{
    // The common case, a short chunk on a short line, is only scanned back to its last break.
    if (leftOut == 0 && lineLength + text.size() <= kLongestLine) {
        qsizetype last = text.size() - 1;
        while (last >= 0 && !isLineBreak(text.at(last)))
            --last;
        lineLength = last < 0 ? lineLength + text.size() : text.size() - 1 - last;
        return text;
    }
    QString shown;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && !isLineBreak(text.at(end)))
            ++end;
        const qsizetype kept = qMin(end - start, kLongestLine - lineLength);
        shown += QStringView(text).mid(start, kept);
        lineLength += kept;
        leftOut += end - start - kept;
        if (end == text.size())
            break;
        if (leftOut > 0) {
            shown += localizedFormat(
                localizedString("LogLineCut", " … (%u more characters of this line left out)", "Global"),
                {QVariant::fromValue(quint64(leftOut))});
            leftOut = 0;
        }
        shown += text.at(end);
        lineLength = 0;
        start = end + 1;
    }
    return shown;
}

void CommandLog::clearLog()
{
    log->clear();
    endsWithReturn = false;
    lineLength = leftOut = 0;
}

void CommandLog::showWindow()
{
    logWindow->show();
    logWindow->raise();
    logWindow->activateWindow();
}

QWidget *CommandLog::window() const
{
    return logWindow.get();
}

QString CommandLog::text() const
{
    return log->toPlainText();
}
