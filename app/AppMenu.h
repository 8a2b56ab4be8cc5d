#pragma once

#include <QObject>

class LameMaster;
class QAction;
class QWidget;

// The application's menu (New Batch, Rip Audio CD, Preferences, Command Log, Clear Log, Help,
// Quit). Every document window and the command-log window carries its own menu bar holding
// the same actions, so a shortcut works in whichever of them is active.
class AppMenu : public QObject
{
    Q_OBJECT

  public:
    explicit AppMenu(LameMaster *master);

    // Gives the window a menu bar, once; a window that has one already is left alone.
    void attach(QWidget *window);

  private:
    QAction *newBatch;
    QAction *ripCD;
    QAction *preferences;
    QAction *commandLog;
    QAction *clearLog;
    QAction *help;
    QAction *quit;
};
