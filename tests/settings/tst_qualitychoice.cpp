// The quality choice and the naming pattern above the settings window's tabs, driven through the
// real controls: an entry moves the knobs on the tabs, a knob moved by hand shows "Custom", and
// the pattern typed is what a batch reads.
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
        QVERIFY(quality && mode && variable && quality->accessibleName() == "Quality");
        // The factory settings are described by none of the entries; "Custom" cannot be chosen.
        QCOMPARE(quality->currentText(), "Custom");
        QVERIFY(!qobject_cast<QStandardItemModel *>(quality->model())
                     ->item(quality->currentIndex())
                     ->isEnabled());
        for (const auto &[tag, bitRateMode, vbrQuality] :
             {std::tuple(1, 3, 5), {2, 3, 4}, {3, 3, 2}, {4, 3, 0}, {5, 1, 0}}) {
            quality->setCurrentIndex(quality->findData(tag));
            emit quality->activated(quality->currentIndex());
            QVERIFY(mode->currentData() == bitRateMode &&
                    store->integerForKey(PrefKey::BitRateMode) == bitRateMode);
            QVERIFY(bitRateMode == 1 || variable->value() == vbrQuality);
            QCOMPARE(quality->currentData().toInt(), tag);
        }
        // A knob moved by hand makes the settings custom; moved back, the entry shows again.
        auto *reservoir = window->findChild<QCheckBox *>("constantReservoir");
        reservoir->click();
        QCOMPARE(quality->currentText(), "Custom");
        reservoir->click();
        QCOMPARE(quality->currentData().toInt(), 5);

        auto *pattern = window->findChild<QLineEdit *>("namePattern");
        QCOMPARE(pattern->text(), "{name}");
        for (const QString &typed : {"{artist}/{title}", ""}) {
            pattern->setFocus();
            pattern->selectAll();
            QTest::keyClick(pattern, Qt::Key_Delete);
            QTest::keyClicks(pattern, typed);
            QTest::keyClick(pattern, Qt::Key_Return);
            QCOMPARE(store->stringForKey(PrefKey::NamePattern), typed.isEmpty() ? "{name}" : typed);
        }
    }
};

QTEST_MAIN(tst_QualityChoice)
#include "tst_qualitychoice.moc"
