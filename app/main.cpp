#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "app/SingleInstance.h"
#include "platform/DiscWatcher.h"
#include "platform/LocalizedStrings.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace {
bool hasDisplay()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return true;
    return !qgetenv("DISPLAY").isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty();
}
} // namespace

int main(int argc, char *argv[])
{
    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "orvik: no graphical display is available (DISPLAY and WAYLAND_DISPLAY are unset)\n");
        return 1;
    }
    QApplication application(argc, argv);
    installTranslation();
    QApplication::setApplicationName(QStringLiteral("Orvik"));
    QApplication::setApplicationDisplayName(QStringLiteral("Orvik"));
    QApplication::setDesktopFileName(QStringLiteral("orvik"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/orvik.svg")));

    QStringList files;
    const QStringList arguments = QApplication::arguments().mid(1);
    for (const QString &argument : arguments)
        files << QFileInfo(argument).absoluteFilePath();

    SingleInstance instance;
    if (instance.claim(files) == SingleInstance::Role::Forwarded)
        return 0;

    LameMaster master;
    DiscWatcher discs;
    QObject::connect(&discs, &DiscWatcher::message, master.commandLog(), &CommandLog::logOutput);
    discs.start();
    instance.filesOpened = [&master](const QStringList &opened) {
        for (const QString &file : opened)
            master.openFile(file);
        if (!opened.isEmpty())
            return;
        // A plain second launch brings Orvik forward, or opens a window when none is showing.
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->isWindow() && !window->inherits("QMenu")) {
                window->raise();
                window->activateWindow();
                return;
            }
        }
        master.openUntitledFile();
    };
    master.launched(files, &discs);
    return application.exec();
}
