#pragma once

#include <QString>
#include <QStringList>

class BatchEncoder;
class QProcess;
class QWidget;

// What the document and progress controllers ask of the application controller. The application
// controller registers itself here when it is created, so that the lower layers reach it the way
// a document reaches its application's delegate, without depending on the app layer.
class ApplicationDelegate
{
  public:
    // The application controller, or nullptr before it exists (and in tests that run without one).
    static ApplicationDelegate *instance();
    // The controller's confirm and cancel button titles, or the default texts without one.
    static QString confirmTitle();
    static QString cancelTitle();
    // One line for the command log, set apart by line breaks; dropped without a controller.
    static void logLine(const QString &text);

    virtual void positionWindow(QWidget *window) = 0;

    virtual QString confirmButtonTitle() = 0;
    virtual QString cancelButtonTitle() = 0;
    virtual QString saveButtonTitle() = 0;

    virtual void registerBureaucrat(BatchEncoder *controller) = 0;
    virtual void unregisterBureaucrat(BatchEncoder *controller) = 0;
    virtual void setGopher(BatchEncoder *controller) = 0;

    // A document's run has ended and its window is about to close. The application stays open
    // with a new window when that window was the last one showing.
    virtual void runDidEnd(QWidget *window) = 0;
    // A file opened with the application, as a file dropped on a rip window is: it goes to a
    // batch window. False when no batch window could take it.
    virtual bool openFile(const QString &) { return false; }
    // The command log: the command line of a process about to run, and a chunk of its output.
    virtual void logCommand(const QProcess *task) = 0;
    virtual void logOutput(const QString &text) = 0;

  protected:
    ApplicationDelegate();
    virtual ~ApplicationDelegate();
    ApplicationDelegate(const ApplicationDelegate &) = delete;
    ApplicationDelegate &operator=(const ApplicationDelegate &) = delete;
};
