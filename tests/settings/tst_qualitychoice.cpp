// The quality choice and the naming pattern above the settings window's tabs, driven through the
// real controls: an entry moves the knobs on the tabs, a knob moved by hand shows "Custom", and
// the pattern typed is what a batch reads.
#include "core/LamePrefs.h"
#include "settings/PreferencesWindow.h"
#include "support/TestSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

class tst_QualityChoice : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

  private slots:
    void choices()
    {
        auto store = TestSettings::makeStore(dir.filePath("settings.conf"));
        LamePrefs prefs(*store);
        QWidget *window = PreferencesWindow::showWindow(&prefs)->window();
        auto *quality = window->findChild<QComboBox *>("quality");
        auto *mode = window->findChild<QComboBox *>("bitRateMode");
        auto *variable = window->findChild<QSlider *>("variableQuality");
        QVERIFY(quality && mode && variable);
        QCOMPARE(quality->accessibleName(), "Quality");
        // The factory settings are described by none of the entries; "Custom" cannot be chosen.
        QCOMPARE(quality->currentText(), "Custom");
        const auto *items = qobject_cast<QStandardItemModel *>(quality->model());
        QVERIFY(!items->item(quality->currentIndex())->isEnabled());

        const struct
        {
            int tag, mode, variable;
        } entries[] = {{1, 3, 5}, {2, 3, 4}, {3, 3, 2}, {4, 3, 0}, {5, 1, 0}};
        for (const auto &entry : entries) {
            quality->setCurrentIndex(quality->findData(entry.tag));
            emit quality->activated(quality->currentIndex());
            QCOMPARE(mode->currentData().toInt(), entry.mode);
            if (entry.mode == 3)
                QCOMPARE(variable->value(), entry.variable);
            QCOMPARE(quality->currentData().toInt(), entry.tag);
            QCOMPARE(store->integerForKey(PrefKey::BitRateMode), entry.mode);
        }
        // A knob moved by hand: the settings are custom now; moved back, the entry shows again.
        auto *reservoir = window->findChild<QCheckBox *>("constantReservoir");
        reservoir->click();
        QCOMPARE(quality->currentText(), "Custom");
        reservoir->click();
        QCOMPARE(quality->currentData().toInt(), 5);

        auto *pattern = window->findChild<QLineEdit *>("namePattern");
        QCOMPARE(pattern->text(), "{name}");
        pattern->setFocus();
        pattern->selectAll();
        QTest::keyClicks(pattern, "{artist}/{title}");
        QTest::keyClick(pattern, Qt::Key_Return);
        QCOMPARE(store->stringForKey(PrefKey::NamePattern), "{artist}/{title}");
        pattern->selectAll();
        QTest::keyClick(pattern, Qt::Key_Delete);
        QTest::keyClick(pattern, Qt::Key_Return);
        QCOMPARE(store->stringForKey(PrefKey::NamePattern), "{name}");
    }
};

QTEST_MAIN(tst_QualityChoice)
#include "tst_qualitychoice.moc"
