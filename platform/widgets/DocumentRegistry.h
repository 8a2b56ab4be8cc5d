#pragma once

#include <QString>

class QWidget;

// A document window that can be given a file opened with the application.
class FileReceiver
{
  public:
    virtual void addFile(const QString &path, bool fromDrag) = 0;

  protected:
    ~FileReceiver() = default;
};

// What a document window tells the application about itself, and asks of it: a place on the
// screen before it first shows; whether it takes files opened with the application (idle batch
// windows enter the registry, and its first entry, the gopher, receives them); and when its run
// has ended. The application controller registers itself here when it is created, so that the
// windows reach it without depending on it.
class DocumentRegistry
{
  public:
    // The application controller, or nullptr before it exists (and for a window tested alone).
    static DocumentRegistry *instance();

    virtual void positionWindow(QWidget *window) = 0;

    virtual void registerBureaucrat(FileReceiver *receiver) = 0;
    virtual void unregisterBureaucrat(FileReceiver *receiver) = 0;
    virtual void setGopher(FileReceiver *receiver) = 0;
    // A file opened with the application, or dropped on a window that lists no files: it goes to
    // the gopher, made when there is none. False when no window could take it.
    virtual bool openFile(const QString &path) = 0;

    // A document's run has ended and its window is about to close. The application stays open
    // with a new window when that window was the last one showing.
    virtual void runDidEnd(QWidget *window) = 0;

  protected:
    DocumentRegistry();
    virtual ~DocumentRegistry();
    DocumentRegistry(const DocumentRegistry &) = delete;
    DocumentRegistry &operator=(const DocumentRegistry &) = delete;
};
