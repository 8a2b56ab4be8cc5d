#include "cli/TerminalProgress.h"

#include "cli/EncodeTexts.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
// The columns a text takes on a terminal: wide characters take two, combining ones none.
int columns(const QString &text)
{
    int total = 0;
    for (const char32_t c : text.toUcs4())
        total += std::max(0, wcwidth(wchar_t(c)));
    return total;
}

// `text` cut at its end to `room` columns, with "..." where it was cut.
QString fitted(const QString &text, int room)
{
    if (columns(text) <= room)
        return text;
    QString cut;
    int used = 0;
    for (const char32_t c : text.toUcs4()) {
        const int width = std::max(0, wcwidth(wchar_t(c)));
        if (used + width > room - 3)
            break;
        cut += QString::fromUcs4(&c, 1);
        used += width;
    }
    return cut + QStringLiteral("...");
}

QString duration(double seconds)
{
    const qint64 whole = qint64(std::ceil(seconds));
    const QString minutesSeconds =
        QStringLiteral("%1:%2").arg((whole / 60) % 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
    return whole >= 3600
               ? QStringLiteral("%1:%2").arg(whole / 3600).arg(minutesSeconds.rightJustified(5, u'0'))
               : minutesSeconds;
}
} // namespace

TerminalProgress::TerminalProgress(Mode mode, quint32 fileCount, std::FILE *stream, QObject *parent)
    : QObject(parent), mode(mode), fileCount(fileCount), stream(stream)
{
    clock.start();
    redraw.setSingleShot(true);
    // Lame reports many times a second per file; a terminal redrawn ten times a second reads
    // as smoothly and costs a fraction of that.
    redraw.setInterval(100);
    connect(&redraw, &QTimer::timeout, this, &TerminalProgress::draw);
}

TerminalProgress::~TerminalProgress()
{
    finish();
}

TerminalProgress::Mode TerminalProgress::modeFor(std::FILE *stream, bool quiet)
{
    if (quiet)
        return Mode::Quiet;
    return isatty(fileno(stream)) ? Mode::Terminal : Mode::Lines;
}

void TerminalProgress::fileStarted(quint32 index, const QString &name)
{
    if (mode == Mode::Lines)
        line(localizedFormat(encodeText("Encoding", "Encoding \"%@\" (%u of %u)"),
                             {name, index + 1, fileCount}));
    if (mode != Mode::Terminal)
        return;
    running.insert(index, {name, 0, QString()});
    scheduleDraw();
}

void TerminalProgress::fileProgress(quint32 index, double fraction, const QString &timeLeft)
{
    const auto file = running.find(index);
    if (file == running.end())
        return;
    file->fraction = fraction;
    file->timeLeft = timeLeft;
    scheduleDraw();
}

void TerminalProgress::fileEnded(quint32 index)
{
    if (running.remove(index))
        scheduleDraw();
}

void TerminalProgress::batchProgress(double fraction, quint32 ended)
{
    batchFraction = fraction;
    endedCount = ended;
    if (mode == Mode::Terminal)
        scheduleDraw();
}

void TerminalProgress::line(const QString &text, bool problem)
{
    if (mode == Mode::Quiet && !problem)
        return;
    clearBlock();
    write(text + u'\n');
    if (mode == Mode::Terminal && !finished)
        draw();
    else
        std::fflush(stream);
}

void TerminalProgress::finish()
{
    if (finished)
        return;
    redraw.stop();
    clearBlock();
    finished = true;
    std::fflush(stream);
}

void TerminalProgress::scheduleDraw()
{
    if (!finished && !redraw.isActive())
        redraw.start();
}

void TerminalProgress::clearBlock()
{
    if (blockLines > 0)
        write(QStringLiteral("\x1b[%1A\r\x1b[J").arg(blockLines));
    blockLines = 0;
}

int TerminalProgress::width() const
{
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

QString TerminalProgress::bar(double fraction, int width) const
{
    const int filled = int(std::lround(std::clamp(fraction, 0.0, 1.0) * width));
    return u'[' + QString(filled, u'#') + QString(width - filled, u'-') + u']';
}

void TerminalProgress::draw()
{
    if (mode != Mode::Terminal || finished)
        return;
    redraw.stop();
    clearBlock();
    // A line as wide as the terminal would wrap on some terminals and break the redrawing.
    const int room = std::max(20, width() - 1);
    QStringList lines;
    for (const Running &file : std::as_const(running)) {
        const QString head = QStringLiteral("%1% %2 %3  ")
                                 .arg(int(file.fraction * 100), 3)
                                 .arg(bar(file.fraction, 20))
                                 .arg(file.timeLeft.trimmed(), 6);
        lines << fitted(head + file.name, room);
    }
    QString batch = QStringLiteral("%1% %2 ").arg(int(batchFraction * 100), 3).arg(bar(batchFraction, 20)) +
                    localizedFormat(encodeText("BatchEnded", "%u of %u files"), {endedCount, fileCount});
    const double elapsed = double(clock.elapsed()) / 1000.0;
    // The whole batch's time left, from how fast it went so far; too rough at its very start.
    if (batchFraction > 0.02 && batchFraction < 1.0)
        batch += localizedFormat(encodeText("BatchLeft", ", about %@ left"),
                                 {duration(elapsed * (1.0 - batchFraction) / batchFraction)});
    lines << fitted(batch, room);
    for (const QString &text : std::as_const(lines))
        write(text + u'\n');
    blockLines = int(lines.size());
    std::fflush(stream);
}

void TerminalProgress::write(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}
