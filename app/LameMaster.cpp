#include "app/LameMaster.h"

#include "app/AppMenu.h"
#include "app/CommandLog.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"
#include "monitor/RunWindowController.h"
#include "platform/DiscWatcher.h"
#include "platform/LocalizedStrings.h"
#include "platform/Resources.h"
#include "platform/widgets/Sheets.h"
#include "platform/widgets/Workspace.h"
#include "rip/Ripper.h"
#include "settings/PreferencesWindow.h"

#include <QApplication>
#include <QDialog>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace {
// How far each document window lands from the previous one, right and down: about a title bar.
constexpr qreal cascadeStep = 24.0;
// How long start-up waits for a disc that is still being mounted before it opens a window anyway:
// a drive that takes this long to read its disc must not leave Orvik without a window.
constexpr int launchWaitMs = 10000;
} // namespace

LameMaster::LameMaster(QObject *parent)
    : QObject(parent), prefs(std::make_unique<LamePrefs>()), log(std::make_unique<CommandLog>()),
      menu(std::make_unique<AppMenu>(this))
{
    registry.reserve(4);
    connect(&Workspace::shared(), &Workspace::didMount, this, &LameMaster::volumeMounted);
}

LameMaster::~LameMaster()
{
    disconnect(&Workspace::shared(), nullptr, this, nullptr);
    // The menu's actions belong to this object; let the windows' menu bars drop them first.
    menu.reset();
}

void LameMaster::positionWindow(QWidget *window)
{
    if (!window)
        return;
    menu->attach(window);
    QScreen *screen = window->screen() ? window->screen() : QApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 16, 1 << 16);
    if (!window->testAttribute(Qt::WA_Moved)) {
        // A description that gives no place puts the window near the top of the screen's middle.
        window->move(area.left() + qMax(0, (area.width() - window->width()) / 2),
                     area.top() + qMax(0, (area.height() - window->height()) / 4));
    }
    const QPoint topLeft = window->pos();
    if (next == QPointF(0, 0)) {
        // The first window keeps the place its description gives it and becomes the anchor.
        next = topLeft;
        return;
    }
    const QSize size = window->frameGeometry().size().expandedTo(window->size());
    QPointF point = next + QPointF(cascadeStep, cascadeStep);
    // Keep the whole window on the screen's available area: a cascade that would run off an
    // edge starts again from that edge's opposite side.
    if (point.x() + size.width() > area.right() + 1 || point.x() < area.left())
        point.setX(area.left());
    if (point.y() + size.height() > area.bottom() + 1 || point.y() < area.top())
        point.setY(area.top());
    next = point;
    window->move(next.toPoint());
}

QString LameMaster::cachedTitle(QString &cache, const char *key, const char *defaultText)
{
    if (cache.isNull())
        cache = localizedString(key, defaultText, "Global");
    return cache;
}

QString LameMaster::confirmButtonTitle()
{
    return cachedTitle(confirmTitle, "ConfirmButtonTitle", "OK");
}

QString LameMaster::cancelButtonTitle()
{
    return cachedTitle(cancelTitle, "CancelButtonTitle", "Cancel");
}

QString LameMaster::saveButtonTitle()
{
    return cachedTitle(saveTitle, "SaveButtonTitle", "Save");
}

QString LameMaster::chooseButtonTitle()
{
    return cachedTitle(chooseTitle, "ChooseButtonTitle", "Choose");
}

void LameMaster::registerBureaucrat(FileReceiver *receiver)
{
    if (!receiver || registry.contains(receiver))
        return;
    registry.append(receiver);
    if (!theGopher)
        theGopher = registry.first();
}

void LameMaster::unregisterBureaucrat(FileReceiver *receiver)
{
    if (!receiver || !registry.removeOne(receiver))
        return;
    if (theGopher == receiver)
        theGopher = registry.isEmpty() ? nullptr : registry.first();
}

void LameMaster::setGopher(FileReceiver *receiver)
{
    registerBureaucrat(receiver);
    if (!receiver)
        return;
    theGopher = receiver;
    registry.removeOne(receiver);
    registry.prepend(receiver);
}

void LameMaster::runDidEnd(QWidget *window)
{
    if (quitting)
        return;
    for (QWidget *other : QApplication::topLevelWidgets()) {
        // The ending window's own panels and sheets go with it.
        if (other != window && other->isVisible() && !qobject_cast<QDialog *>(other) &&
            !(window && window->isAncestorOf(other)) && other->parentWidget() != window)
            return;
    }
    openUntitledFile();
}

bool LameMaster::openFile(const QString &path)
{
    if (!theGopher)
        BatchEncoder::initWithPreferences(prefs.get());
    if (!theGopher)
        return false;
    theGopher->addFile(path, false);
    return true;
}

bool LameMaster::openUntitledFile()
{
    if (!Ripper::initWithPreferences(prefs.get(), QString()))
        BatchEncoder::initWithPreferences(prefs.get());
    return true;
}

void LameMaster::launched(const QStringList &files, DiscWatcher *discs)
{
    for (const QString &file : files)
        openFile(file);
    if (!files.isEmpty())
        return;
    if (!discs || !discs->isMounting()) {
        openLaunchWindow();
        return;
    }
    auto opened = std::make_shared<bool>(false);
    const auto open = [this, opened] {
        if (!std::exchange(*opened, true))
            openLaunchWindow();
    };
    connect(discs, &DiscWatcher::mountsSettled, this, open, Qt::SingleShotConnection);
    QTimer::singleShot(launchWaitMs, this, open);
}

void LameMaster::openLaunchWindow()
{
    // The disc's window may be open already: the mount's own notification can come first.
    if (Ripper::allControllers().isEmpty())
        openUntitledFile();
}

void LameMaster::ripCD()
{
    if (!Ripper::initWithPreferences(prefs.get(), QString()))
        Workspace::shared().beep();
}

void LameMaster::initiateBatch()
{
    BatchEncoder::initWithPreferences(prefs.get());
}

void LameMaster::showPreferences()
{
    PreferencesWindow::showWindow(prefs.get());
}

void LameMaster::showHelp()
{
    const QString page = Resources::pathForResource(QStringLiteral("orvik"), QStringLiteral("html"));
    if (Workspace::shared().openFile(page))
        return;
    // No browser could be started (none installed, or no desktop to ask): the page is simple
    // enough to be read in a window of Orvik's own, and its links still go to the browser.
    if (!helpViewer) {
        auto *browser = new QTextBrowser;
        browser->setAttribute(Qt::WA_DeleteOnClose);
        browser->setWindowTitle(localizedString("HelpTitle", "Orvik Help", "Global"));
        browser->setAccessibleName(localizedString("HelpTitle", "Orvik Help", "Global"));
        browser->setOpenExternalLinks(true);
        browser->setSource(page.isEmpty() ? QUrl(QStringLiteral("qrc:/help/orvik.html"))
                                          : QUrl::fromLocalFile(page));
        browser->resize(640, 600);
        for (const QKeySequence &key : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
            connect(new QShortcut(key, browser), &QShortcut::activated, browser, &QWidget::close);
        helpViewer = browser;
    }
    helpViewer->show();
    helpViewer->raise();
    helpViewer->activateWindow();
}

void LameMaster::showCommandLog()
{
    log->showWindow();
    menu->attach(log->window());
}

void LameMaster::clearLog()
{
    log->clearLog();
}

void LameMaster::volumeMounted(const QString &mountPoint)
{
    Ripper::initWithPreferences(prefs.get(), mountPoint);
}

void LameMaster::quit()
{
    if (quitting)
        return;
    const QList<RunWindowController *> &runs = RunWindowController::all();
    if (std::none_of(runs.cbegin(), runs.cend(),
                     [](const RunWindowController *run) { return run->isEncoding(); })) {
        QApplication::quit();
        return;
    }
    quitting = true;
    Sheets::beginAlertSheet(
        nullptr, localizedString("QuitTitle", "Quit Orvik?", "Global"),
        localizedString("QuitButtonTitle", "Quit", "Global"), cancelButtonTitle(), QString(),
        localizedString("QuitMessage",
                        "Encoding is still in progress. Quitting stops it and removes the files that are not "
                        "finished.",
                        "Global"),
        [this](int answer) {
            if (answer != 1) {
                quitting = false;
                return;
            }
            // Ending a run may end its controller.
            for (RunWindowController *run : QList(RunWindowController::all()))
                if (run->isEncoding())
                    run->abort();
            QApplication::quit();
            quitting = false;
        });
}
