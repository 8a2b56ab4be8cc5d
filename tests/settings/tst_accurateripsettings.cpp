// The settings window's rip check controls: what they show, store and restore.
#include "core/LamePrefs.h"
#include "settings/PreferencesWindow.h"
#include "support/TestSettings.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

class TestAccurateRipSettings : public QObject
{
    Q_OBJECT

  private slots:
    void controls()
    {
        QTemporaryDir dir;
        auto store =
            TestSettings::makeStore(dir.filePath("settings.conf"),
                                    {{PrefKey::AccurateRipServer, "x"}, {PrefKey::DriveReadOffset, "6"}});
        LamePrefs prefs(*store);
        PreferencesWindow *settings = PreferencesWindow::showWindow(&prefs);
        QWidget *window = settings->window();
        auto *server = window->findChild<QLineEdit *>("accurateRipServer");
        auto *offset = window->findChild<QSpinBox *>("driveReadOffset");
        QVERIFY(server && offset && !server->accessibleName().isEmpty() &&
                !offset->accessibleName().isEmpty());
        QCOMPARE(server->text(), "x");
        QCOMPARE(offset->value(), 6);
        server->setFocus();
        server->selectAll();
        QTest::keyClicks(server, " http://127.0.0.1:7 ");
        QTest::keyClick(server, Qt::Key_Return);
        offset->setFocus();
        offset->selectAll();
        QTest::keyClicks(offset, "-667");
        QTest::keyClick(offset, Qt::Key_Return);
        QCOMPARE(store->stringForKey(PrefKey::AccurateRipServer), "http://127.0.0.1:7");
        QCOMPARE(store->integerForKey(PrefKey::DriveReadOffset), -667);
        // The audio CD group's restore button puts both back.
        settings->restoreDefaults(window->findChild<QPushButton *>("restoreDiscLookup"));
        QCOMPARE(server->text(), "http://www.accuraterip.com");
        QCOMPARE(offset->value(), 0);
        QCOMPARE(store->integerForKey(PrefKey::DriveReadOffset), 0);
    }
};

QTEST_MAIN(TestAccurateRipSettings)
#include "tst_accurateripsettings.moc"
