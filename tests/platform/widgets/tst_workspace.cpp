#include "platform/FileManager.h"
#include "platform/widgets/WindowDescription.h"
#include "platform/widgets/Workspace.h"

#include <QAccessible>
#include <QComboBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/mount.h>
#include <unistd.h>

// What Orvik takes from the desktop: mount notifications from the kernel's mount table, the
// window descriptions and the file operations.
class tst_Workspace : public QObject
{
    Q_OBJECT

  private slots:
    void mountAndUnmountAreReported()
    {
        Workspace &workspace = Workspace::shared();
        QSignalSpy mounted(&workspace, &Workspace::didMount);
        QSignalSpy unmounted(&workspace, &Workspace::didUnmount);
        QTemporaryDir dir;
        const QString point = dir.filePath("volume");
        QVERIFY(QDir().mkpath(point));
        if (geteuid() != 0 ||
            ::mount("orvik-test", point.toLocal8Bit().constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("mounting needs root and a kernel that allows tmpfs mounts here");
        QTRY_VERIFY(!mounted.isEmpty());
        QCOMPARE(mounted.last().first().toString(), point);
        // A tmpfs is no removable volume.
        QVERIFY(!workspace.mountedRemovableVolumes().contains(point));
        QCOMPARE(::umount(point.toLocal8Bit().constData()), 0);
        QTRY_VERIFY(!unmounted.isEmpty());
        QCOMPARE(unmounted.last().first().toString(), point);
    }

    // Every control of every window can be found by a screen reader under a name of its own.
    void everyControlHasAName_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name : {"Batch", "Tags", "Rip", "Progress", "Preferences"})
            QTest::newRow(name) << name;
    }

    void everyControlHasAName()
    {
        QFETCH(QString, name);
        std::unique_ptr<QWidget> root(WindowDescription::load(name));
        QVERIFY(root);
        for (QWidget *control : root->findChildren<QWidget *>()) {
            if (!control->focusPolicy() || control->objectName().startsWith("qt_"))
                continue;
            QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(control);
            QVERIFY2(reader && !reader->text(QAccessible::Name).remove('&').isEmpty(),
                     qPrintable(control->objectName()));
        }
    }

    void itemTagsAndControlTags()
    {
        std::unique_ptr<QWidget> batch(WindowDescription::load("Batch"));
        auto *depth = WindowDescription::outlet<QComboBox>(batch.get(), "bitDepth");
        QVERIFY(depth);
        QCOMPARE(depth->itemData(1).toInt(), 16);
        QCOMPARE(WindowDescription::tag(batch->findChild<QWidget *>("tagsButton")), 3);
        QCOMPARE(WindowDescription::tag(nullptr), 0);
    }

    void missingDescriptionIsLogged()
    {
        QTest::ignoreMessage(QtWarningMsg, "Error: missing nib file");
        QVERIFY(!WindowDescription::load("NoSuchWindow"));
    }

    void fileOperations()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("song.mp3");
        QVERIFY(!FileManager::fileExistsAtPath(file));
        QVERIFY(!FileManager::isDeletableFileAtPath(file));
        QFile(file).open(QIODevice::WriteOnly);
        QVERIFY(FileManager::fileExistsAtPath(file));
        QVERIFY(FileManager::isDeletableFileAtPath(file));
        const QString link = dir.filePath("dangling");
        QVERIFY(QFile::link(dir.filePath("gone"), link));
        QVERIFY(FileManager::fileExistsAtPath(link));
        QVERIFY(FileManager::removeFileAtPath(link));
        QVERIFY(FileManager::removeFileAtPath(file));
        QVERIFY(!FileManager::removeFileAtPath(file));
    }
};

QTEST_MAIN(tst_Workspace)
#include "tst_workspace.moc"
