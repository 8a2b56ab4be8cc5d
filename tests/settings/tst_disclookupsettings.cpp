// The settings window's disc lookup controls: what they show and what they store.
#include "core/LamePrefs.h"
#include "settings/PreferencesWindow.h"
#include "support/TestSettings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

class TestDiscLookupSettings : public QObject
{
    Q_OBJECT

  private slots:
    void controls_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed"); // into a field; empty: the check box is clicked
        QTest::addColumn<QVariant>("stored");
        QTest::newRow("online") << "lookUpDiscs" << PrefKey::LookUpDiscsOnline << "" << QVariant(false);
        QTest::newRow("MusicBrainz") << "musicBrainzServer" << PrefKey::MusicBrainzServer
                                     << " http://127.0.0.1:5000 " << QVariant("http://127.0.0.1:5000");
        QTest::newRow("emptied") << "coverArtServer" << PrefKey::CoverArtServer << " "
                                 << QVariant("https://coverartarchive.org");
    }

    void controls()
    {
        QFETCH(QString, control);
        QFETCH(QString, key);
        QFETCH(QString, typed);
        QFETCH(QVariant, stored);
        QTemporaryDir dir;
        auto store = TestSettings::makeStore(dir.filePath("settings.conf"), {{PrefKey::CoverArtServer, "x"}});
        LamePrefs prefs(*store);
        QWidget *window = PreferencesWindow::showWindow(&prefs)->window();
        QWidget *widget = window->findChild<QWidget *>(control);
        QVERIFY(widget && !widget->accessibleName().isEmpty());
        if (auto *box = qobject_cast<QCheckBox *>(widget)) {
            QVERIFY(box->isChecked());
            box->click();
        } else {
            auto *field = qobject_cast<QLineEdit *>(widget);
            QCOMPARE(field->text(), store->stringForKey(key));
            field->setFocus();
            field->selectAll();
            QTest::keyClicks(field, typed);
            QTest::keyClick(field, Qt::Key_Return);
            QCOMPARE(field->text(), stored.toString());
        }
        QCOMPARE(store->objectForKey(key).toString(), stored.toString());
    }
};

QTEST_MAIN(TestDiscLookupSettings)
#include "tst_disclookupsettings.moc"
