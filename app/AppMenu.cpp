#include "app/AppMenu.h"

#include "app/LameMaster.h"

#include <QAction>
#include <QApplication>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>

namespace {
QAction *makeAction(QObject *owner, const QString &title, const QKeySequence &shortcut)
{
    auto *action = new QAction(title, owner);
    action->setShortcut(shortcut);
    return action;
}
} // namespace

AppMenu::AppMenu(LameMaster *master) : QObject(master)
{
    newBatch = makeAction(this, tr("&New Batch"), QKeySequence::New);
    ripCD = makeAction(this, tr("&Rip Audio CD…"), QKeySequence(Qt::CTRL | Qt::Key_R));
    preferences = makeAction(this, tr("&Preferences…"), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    commandLog = makeAction(this, tr("Command &Log"), QKeySequence(Qt::CTRL | Qt::Key_L));
    clearLog = makeAction(this, tr("&Clear Log"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
    help = makeAction(this, tr("Orvik &Help"), QKeySequence::HelpContents);
    quit = makeAction(this, tr("&Quit"), QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);

    connect(newBatch, &QAction::triggered, master, &LameMaster::initiateBatch);
    connect(ripCD, &QAction::triggered, master, &LameMaster::ripCD);
    connect(preferences, &QAction::triggered, master, &LameMaster::showPreferences);
    connect(commandLog, &QAction::triggered, master, &LameMaster::showCommandLog);
    connect(clearLog, &QAction::triggered, master, &LameMaster::clearLog);
    connect(help, &QAction::triggered, master, &LameMaster::showHelp);
    connect(quit, &QAction::triggered, master, &LameMaster::quit);
}

void AppMenu::attach(QWidget *window)
{
    if (!window || window->property("orvikMenu").toBool())
        return;
    auto *bar = new QMenuBar(window);
    bar->setAccessibleName(tr("Menu bar"));
    QMenu *file = bar->addMenu(tr("&File"));
    file->addAction(newBatch);
    file->addAction(ripCD);
    file->addSeparator();
    file->addAction(preferences);
    file->addSeparator();
    file->addAction(quit);
    QMenu *log = bar->addMenu(tr("&Log"));
    log->addAction(commandLog);
    log->addAction(clearLog);
    QMenu *helpMenu = bar->addMenu(tr("&Help"));
    helpMenu->addAction(help);

    if (auto *main = qobject_cast<QMainWindow *>(window))
        main->setMenuBar(bar);
    else if (window->layout())
        window->layout()->setMenuBar(bar);
    else
        bar->deleteLater();
    window->setProperty("orvikMenu", true);
}
