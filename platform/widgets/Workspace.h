#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

struct libmnt_monitor;
class QSocketNotifier;

// What the desktop offers the application: notifications when a volume is mounted or unmounted
// (from libmount's monitor of the kernel mount table, no polling), the list of mounted removable
// volumes, showing a file in the file manager, opening a file with its default application and
// the alert sound.
class Workspace : public QObject
{
    Q_OBJECT

  public:
    static Workspace &shared();

    // Mount points of removable block devices and of audio discs mounted by orvik-cddafs.
    QStringList mountedRemovableVolumes() const;

    // Shows the file selected in the file manager (FileManager1 over D-Bus), or opens its folder
    // when no file manager answers.
    void selectFile(const QString &path);
    // Opens a file with the user's default application; false when nothing could be asked to.
    bool openFile(const QString &path);
    // Tells the desktop that the folder's contents changed. File managers on Linux watch their
    // folders themselves, so there is nothing to say.
    void noteFileSystemChanged(const QString &) {}
    void beep();

  signals:
    void didMount(const QString &mountPoint);
    void didUnmount(const QString &mountPoint);
    // A file was shown in the file manager (or its folder opened).
    void fileShown(const QString &path);

  private:
    Workspace();
    ~Workspace() override;
    void mountTableChanged();
    static QSet<QString> currentMountPoints();

    libmnt_monitor *monitor = nullptr;
    QSocketNotifier *notifier = nullptr;
    QSet<QString> mounted;
};
