#include "platform/FileManager.h"
#include "platform/Resources.h"
#include "platform/widgets/WindowDescription.h"
#include "platform/widgets/Workspace.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/mount.h>
#include <unistd.h>

// What Orvik takes from the desktop: mount notifications from the kernel's mount table, the
// window descriptions, resources found on disk and the file operations.
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

    void everyDescriptionLoads_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("outlets");
        QTest::newRow("Batch") << "Batch"
                               << QStringList{"QTableView:fileList",       "QPushButton:addButton",
                                              "QPushButton:removeButton",  "QPushButton:tagsButton",
                                              "QPushButton:encodeButton",  "QPushButton:destinationButton",
                                              "QLineEdit:destinationPath", "QCheckBox:rawInputBox",
                                              "QCheckBox:swapBytesBox",    "QComboBox:sampleRate",
                                              "QComboBox:bitDepth"};
        QTest::newRow("Tags") << "Tags" << QStringList{"QLineEdit:titleField",  "QLineEdit:yearField",
                                                       "QLineEdit:artistField", "QLineEdit:albumField",
                                                       "QLineEdit:trackField",  "QComboBox:genreField",
                                                       "QLineEdit:commentField"};
    }

    void everyDescriptionLoads()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, outlets);
        std::unique_ptr<QWidget> root(WindowDescription::load(name));
        QVERIFY(root);
        for (const QString &outlet : outlets) {
            const QString className = outlet.section(':', 0, 0);
            const QString objectName = outlet.section(':', 1);
            QWidget *child = root->findChild<QWidget *>(objectName);
            QVERIFY2(child, qPrintable(outlet));
            QVERIFY2(child->inherits(className.toLatin1()), qPrintable(outlet));
            QVERIFY2(!child->accessibleName().isEmpty(), qPrintable(objectName + " has no accessible name"));
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

    void resourcesAreFound()
    {
        const QString help = Resources::pathForResource("orvik", "html");
        QVERIFY(help.endsWith("/orvik.html"));
        QVERIFY(QFileInfo(help).isFile());
        QVERIFY(Resources::pathForResource("no-such-resource").isEmpty());
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
