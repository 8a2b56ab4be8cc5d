#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "app/SingleInstance.h"
#include "core/LamePrefs.h"
#include "platform/DiscWatcher.h"
#include "platform/LocalizedStrings.h"

#include <QApplication>
#include <QCoreApplication>
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

// The command line: files to open, or a request for help or the version. Options are never
// taken for files; a file whose name starts with "-" follows "--".
struct Launch
{
    QStringList files;
    bool help = false;
    bool version = false;
    QString badOption;
};

Launch readArguments(int argc, char *argv[])
{
    Launch launch;
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (onlyFiles || !argument.startsWith(u'-'))
            launch.files << QFileInfo(argument).absoluteFilePath();
        else if (argument == QLatin1String("--"))
            onlyFiles = true;
        else if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            launch.help = true;
        else if (argument == QLatin1String("--version"))
            launch.version = true;
        else if (launch.badOption.isEmpty())
            launch.badOption = argument;
    }
    return launch;
}

// Answers --help, --version and a bad option without a display: it needs none.
int answerWithoutWindow(int argc, char *argv[], const Launch &launch)
{
    QCoreApplication core(argc, argv);
    installTranslation();
    const QString usage = localizedString(
        "Usage",
        "Usage: orvik [FILE...]\n"
        "Opens a batch window with the given audio files; without files, a rip window for an audio CD\n"
        "in the drive, else an empty batch window.\n"
        "\n"
        "  -h, --help     print this help and exit\n"
        "      --version  print the version and exit\n"
        "      --         take every argument after it as a file\n"
        "\n"
        "To encode files from a terminal or a script, without a window, use orvik-encode.\n",
        "Global");
    if (!launch.badOption.isEmpty()) {
        const QString problem = localizedFormat(
            localizedString("UnknownOption", "unknown option \"%@\"", "Global"), {launch.badOption});
        std::fputs(("orvik: " + problem + "\n\n").toLocal8Bit().constData(), stderr);
        std::fputs(usage.toLocal8Bit().constData(), stderr);
        return 2;
    }
    if (launch.help)
        std::fputs(usage.toLocal8Bit().constData(), stdout);
    else
        std::fputs("Orvik " ORVIK_VERSION "\n", stdout);
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    const Launch launch = readArguments(argc, argv);
    if (launch.help || launch.version || !launch.badOption.isEmpty())
        return answerWithoutWindow(argc, argv, launch);
    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "orvik: no graphical display is available (DISPLAY and WAYLAND_DISPLAY are unset)\n");
        return 1;
    }
    // Qt reads options of its own from the command line; the arguments were all read above, so
    // it gets none (a file named "-style" stays a file).
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    installTranslation();
    QApplication::setApplicationName(QStringLiteral("Orvik"));
    QApplication::setApplicationDisplayName(QStringLiteral("Orvik"));
    QApplication::setDesktopFileName(QStringLiteral("orvik"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/orvik.svg")));

    const QStringList files = launch.files;

    SingleInstance instance;
    const SingleInstance::Role role = instance.claim(files);
    if (role == SingleInstance::Role::Forwarded)
        return 0;
    // Said once, on standard error, so that whoever starts Orvik from a terminal knows why a second
    // launch opens a second application instead of a window of this one.
    if (role == SingleInstance::Role::Alone)
        qInfo("Orvik: no session bus, so each launch of Orvik runs on its own.");

    LameMaster master;
    DiscWatcher discs;
    // A drive's read offset is corrected where the disc is read, so that every reader of the
    // volume (and the checksums it sums) gets the disc's samples where they belong.
    discs.mountOptions = [] {
        return QStringList{QStringLiteral("--read-offset"),
                           QString::number(LamePrefs::preferences().integerForKey(PrefKey::DriveReadOffset))};
    };
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
