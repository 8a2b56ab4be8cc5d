#pragma once

#include "platform/widgets/ButtonTitles.h"
#include "platform/widgets/DocumentRegistry.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class AppMenu;
class CommandLog;
class DiscWatcher;
class LamePrefs;

// The application controller. It owns the settings controller and the command log for the
// life of the application, keeps the registry of idle batch windows (its bureaucrats) with the
// one that receives files opened with the application (the gopher) first, places every new
// document window one cascade step from the last, and opens batch and rip windows on request
// and whenever a volume is mounted.
class LameMaster : public QObject, public ButtonTitles, public DocumentRegistry
{
    Q_OBJECT

  public:
    explicit LameMaster(QObject *parent = nullptr);
    ~LameMaster() override;

    LamePrefs *preferences() const { return prefs.get(); }
    CommandLog *commandLog() const { return log.get(); }

    // Moves a new document window, before it is first shown, one cascade step from the last
    // window placed (the first keeps its place and becomes the anchor), and gives it the menu.
    void positionWindow(QWidget *window) override;
    QPointF nextPosition() const { return next; }

    QString confirmButtonTitle() override;
    QString cancelButtonTitle() override;
    QString saveButtonTitle() override;
    QString chooseButtonTitle() override;

    void registerBureaucrat(FileReceiver *receiver) override;
    void unregisterBureaucrat(FileReceiver *receiver) override;
    void setGopher(FileReceiver *receiver) override;
    FileReceiver *gopher() const { return theGopher; }
    const QList<FileReceiver *> &bureaucrats() const { return registry; }

    void runDidEnd(QWidget *window) override;

    // A file opened with the application: it goes to the gopher, which is made when there is none.
    bool openFile(const QString &path) override;
    // Start-up without files: a rip window for a mounted audio CD, else an empty batch window.
    bool openUntitledFile();
    // Orvik has started with these files, or with none: then the disc in a drive gets its rip
    // window, and only without one an empty batch window opens. A disc the watcher is still
    // mounting is waited for.
    void launched(const QStringList &files, DiscWatcher *discs);
    // The help page shown inside Orvik, when no browser could be started for it; null otherwise.
    QWidget *helpWindow() const { return helpViewer; }

  public slots:
    void ripCD();
    void initiateBatch();
    void showPreferences();
    void showHelp();
    void showCommandLog();
    void clearLog();
    void volumeMounted(const QString &mountPoint);
    // Quits Orvik; while any batch or rip is encoding it asks once, and stops every encoder first.
    void quit();

  private:
    void openLaunchWindow();
    QString cachedTitle(QString &cache, const char *key, const char *defaultText);

    std::unique_ptr<LamePrefs> prefs;
    std::unique_ptr<CommandLog> log;
    std::unique_ptr<AppMenu> menu;
    QString confirmTitle;
    QString cancelTitle;
    QString saveTitle;
    QString chooseTitle;
    QPointF next;
    QList<FileReceiver *> registry;
    FileReceiver *theGopher = nullptr;
    bool quitting = false;
    QPointer<QWidget> helpViewer;
};
