// The settings window driven through its real controls: what each control writes, the quality
// choice, the restore buttons, the bit rate range coupling and a store that cannot save.
#include "core/LamePrefs.h"
#include "settings/PreferencesWindow.h"
#include "support/TestSettings.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// What a control shows: a popup its item tag, a check box 1 or 0, the rest their text or value.
QString shownBy(QWidget *control)
{
    if (auto *box = qobject_cast<QComboBox *>(control))
        return box->isEditable() ? box->currentText() : box->currentData().toString();
    if (auto *field = qobject_cast<QLineEdit *>(control))
        return field->text();
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        return button->isChecked() ? "1" : "0";
    return control->property("value").toString();
}

using namespace PrefKey;

} // namespace

class PreferencesWindowTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<LamePrefs> prefs;
    QWidget *window = nullptr;

    // A new settings controller whose window is loaded from the store as it stands now, or from a
    // new store over the factory values and `user`.
    void reload(const QVariantMap *user = nullptr)
    {
        prefs.reset();
        if (user)
            store = TestSettings::makeStore(dir.filePath("config/settings.conf"), *user);
        prefs = std::make_unique<LamePrefs>(*store);
        window = PreferencesWindow::showWindow(prefs.get())->window();
    }

    template <typename T = QWidget> T *control(const QString &name) { return window->findChild<T *>(name); }

    void compareObject(const QString &key, const QVariant &expected)
    {
        QCOMPARE(store->objectForKey(key).typeId(), expected.typeId());
        QCOMPARE(store->objectForKey(key), expected);
    }

    static void choose(QComboBox *box, int tag)
    {
        box->setCurrentIndex(box->findData(tag));
        emit box->activated(box->currentIndex());
    }

    static void typeInto(QLineEdit *field, const QString &text, bool end = true)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
        if (end)
            QTest::keyClick(field, Qt::Key_Return);
    }

  private slots:
    void init()
    {
        QTest::failOnWarning(QRegularExpression("^Error:"));
        const QVariantMap none;
        reload(&none);
    }

    void controlWritesItsValue_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("input"); // an item tag to choose or a text to type
        QTest::addColumn<QVariant>("before");
        QTest::addColumn<QVariant>("expected");
        QTest::addColumn<QString>("shown"); // at once and again after loading
        QTest::addColumn<QString>("locale");
        const auto row = [](const char *name, const char *control, const QString &key, const char *input,
                            const QVariant &expected, const char *shown, const QVariant &before = {},
                            const char *locale = "C") {
            QTest::newRow(name) << QString(control) << key << QString(input) << before << expected
                                << QString(shown) << QString(locale);
        };
        row("dual channel", "channelMode", ChannelMode, "5", "d", "5");
        row("name pattern", "namePattern", NamePattern, "{artist}/{title}", "{artist}/{title}",
            "{artist}/{title}");
        row("resample 44.1", "resampling", OutputSampleRate, "44", 44.1f, "44");
        row("slider", "constantQuality", CBRQuality, "", 9, "9");
        row("check box", "copyright", MarkAsCopyright, "", true, "1");
        row("deemphasis cell", "deemphasisCCITT", PrefKey::Deemphasis, "", "c", "1");
        row("average rate not listed", "averageBitRate", AverageBitRate, "150", 150, "150");
        row("emptied cutoff", "lowPassCutoff", UpperCutoff, "", {}, "", 99);
        row("letters refused", "highPassWidth", HighpassWidth, "0x.2e5", 0.25f, "0.25", 99);
        // Reals show and are typed with the locale's decimal separator (a point or a comma typed is
        // taken for it); these end by closing the window, which writes what is typed but not ended.
        row("German comma", "lowPassCutoff", UpperCutoff, "17,5", 17.5f, "17,5", 99, "de_DE");
        row("German point", "lowPassCutoff", UpperCutoff, "17.5", 17.5f, "17,5", 99, "de_DE");
        row("English comma", "lowPassCutoff", UpperCutoff, "17,5", 17.5f, "17.5", 99, "en_US");
        // The Bit Rate tab's groups that the chosen mode does not use are disabled.
        row("average bit rate mode", "bitRateMode", BitRateMode, "2", 2, "2");
        row("variable bit rate mode", "bitRateMode", BitRateMode, "4", 4, "4");
        row("ATH lowered by -4", "thresholdOffset", ReduceATHBy, "-4", -4, "-4", 99);
        row("disc lookup off", "lookUpDiscs", LookUpDiscsOnline, "", false, "0");
        row("server address trimmed", "musicBrainzServer", MusicBrainzServer, " http://127.0.0.1:5 ",
            "http://127.0.0.1:5", "http://127.0.0.1:5");
        row("emptied server", "coverArtServer", CoverArtServer, " ", "https://coverartarchive.org",
            "https://coverartarchive.org", "x");
        row("AccurateRip server trimmed", "accurateRipServer", AccurateRipServer, " http://127.0.0.1:7 ",
            "http://127.0.0.1:7", "http://127.0.0.1:7", "x");
        // A bit rate range never ends below its start: one end disables the other's items beyond it.
        row("variable minimum", "variableMinBitRate", MinimumVBRBitRate, "128", 128, "128");
        row("average maximum", "averageMaxBitRate", MaximumABRBitRate, "96", 96, "96");
        // The window's only spin box: typed into as the user does, through its field.
        row("drive read offset", "qt_spinbox_lineedit", DriveReadOffset, "-667", -667, "-667 samples", 6);
    }
    void controlWritesItsValue()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        QFETCH(QString, input);
        QFETCH(QVariant, before);
        QFETCH(QVariant, expected);
        QFETCH(QString, shown);
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        // The average group's controls take input only while its mode is chosen.
        QVariantMap user{{BitRateMode, name.startsWith("average") ? 2 : 1}};
        if (before.isValid())
            user.insert(key, before);
        reload(&user);
        QWidget *widget = control(name);
        // A range's other end, whose selection stays.
        const bool minimum = name.contains("MinBitRate"), range = minimum || name.contains("MaxBitRate");
        auto *partner =
            range
                ? control<QComboBox>(QString(name).replace(minimum ? "Min" : "Max", minimum ? "Max" : "Min"))
                : nullptr;
        const int selected = range ? partner->currentIndex() : -1;
        if (auto *box = qobject_cast<QComboBox *>(widget); box && !box->isEditable())
            choose(box, input.toInt());
        else if (auto *field = box ? box->lineEdit() : qobject_cast<QLineEdit *>(widget))
            typeInto(field, input, locale == "C");
        else if (qobject_cast<QAbstractButton *>(widget))
            QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(8, widget->height() / 2));
        else
            QTest::keyClick(widget, Qt::Key_End);
        const auto checkBitRateGroups = [&] {
            const int mode = qMin(store->integerForKey(BitRateMode), 3);
            for (const auto &[group, used] :
                 {std::pair{"constantGroup", 1}, {"averageGroup", 2}, {"variableGroup", 3}})
                QVERIFY2(control(group)->isEnabled() == (used == mode), group);
        };
        if (locale != "C") {
            QVERIFY(store->objectForKey(key) == before && window->close());
            // The settings file keeps reals in one form for every locale.
            const QSettings file(dir.filePath("config/settings.conf"), QSettings::IniFormat);
            QCOMPARE(file.value(key).toString(), "f:" + QString::number(expected.toFloat()));
        }
        compareObject(key, expected);
        QCOMPARE(shownBy(widget), shown);
        for (int i = 0; range && i < partner->count(); ++i) {
            const int tag = partner->itemData(i).toInt();
            QCOMPARE(qobject_cast<QStandardItemModel *>(partner->model())->item(i)->isEnabled(),
                     minimum ? tag > input.toInt() : tag < input.toInt());
            QCOMPARE(partner->currentIndex(), selected); // its selection is left alone
        }
        checkBitRateGroups();
        reload();
        QCOMPARE(shownBy(control(name)), shown);
        checkBitRateGroups();
    }

    // Each quality entry, chosen over settings none of them holds, moves the knobs on the tabs and
    // is what the command line says, also after a restart; a knob moved makes the settings custom,
    // which shows as "Custom" and cannot be chosen. The factory settings are custom too.
    void qualityChoice()
    {
        const auto quality = [this] { return control<QComboBox>("quality"); };
        QVERIFY(quality() && quality()->accessibleName() == "Quality" &&
                quality()->currentText() == "Custom");
        QVERIFY(!qobject_cast<QStandardItemModel *>(quality()->model())
                     ->item(quality()->currentIndex())
                     ->isEnabled());
        const QVariantMap odd{{ChannelMode, "m"},     {OutputSampleRate, 32.0f}, {EnableFiltering, false},
                              {EnableHighpass, true}, {LowerCutoff, 0.1f},       {BitRateMode, 2},
                              {VBRQuality, 9},        {MaximumVBRBitRate, 160},  {VBREnforceMinimum, true},
                              {CBRBitRate, 64},       {CBRReservoir, false}};
        // The entry, the encoder's documented preset, and a knob whose change to `value` makes it custom.
        for (const auto &[tag, switches, moved, value] :
             {std::tuple{1, " --vbr-new -V 5 -b 32 -B 320 ", VBRQuality, "6"},
              {2, " --vbr-new -V 4 -b 32 -B 320 ", ChannelMode, "j"},
              {3, " --vbr-new -V 2 -b 32 -B 320 ", MaximumVBRBitRate, "256"},
              {4, " --vbr-new -V 0 -b 32 -B 320 ", OutputSampleRate, "44.1"},
              {5, " -q 2 -b 320 ", CBRReservoir, "false"}}) {
            reload(&odd);
            QCOMPARE(quality()->currentText(), "Custom");
            choose(quality(), tag);
            const QString line = LamePrefs::makeGlobalSwitches(*store, {}, false).value().join(u' ');
            for (const char *absent : {"-m ", "--resample", "-k ", "pass", "-F"})
                QVERIFY2(line.contains(switches) && !line.contains(absent), qPrintable(line));
            // The Bit Rate tab shows the entry's mode and, for a variable one, its quality.
            QCOMPARE(shownBy(control("bitRateMode")), tag == 5 ? "1" : "3");
            QVERIFY(tag == 5 ||
                    shownBy(control("variableQuality")) == QString(switches).section("-V ", 1, 1).left(1));
            prefs.reset(); // a restart
            store = std::make_unique<SettingsStore>(dir.filePath("config/settings.conf"));
            store->registerDefaults(LamePrefs::factoryValues());
            reload();
            QCOMPARE(quality()->currentData().toInt(), tag);
            store->setObject(value, moved);
            reload();
            QCOMPARE(quality()->currentText(), "Custom");
        }
        // Moved by hand and back, the entry shows again.
        store->setBool(true, CBRReservoir);
        reload();
        QCOMPARE(quality()->currentData().toInt(), 5);
        auto *reservoir = control<QAbstractButton>("constantReservoir");
        reservoir->click();
        QCOMPARE(quality()->currentText(), "Custom");
        reservoir->click();
        QCOMPARE(quality()->currentData().toInt(), 5);
        // An emptied naming pattern stands for the factory one.
        typeInto(control<QLineEdit>("namePattern"), "");
        compareObject(NamePattern, QString("{name}"));
    }

    // Each restore button writes its group's factory values, as DefaultPrefs.plist holds them, and
    // removes the settings that have none; each setting has one button, and the filters none.
    void restoreAndUnsaved()
    {
        const QVariantMap factory = LamePrefs::factoryValues();
        const QStringList keys = factory.keys() + QStringList{ChannelMode, OutputSampleRate, PrefKey::Masking,
                                                              EnableFiltering, UpperCutoff};
        QStringList restored;
        for (QPushButton *button : window->findChildren<QPushButton *>(QRegularExpression("^restore"))) {
            for (const QString &key : keys)
                store->setObject("changed", key); // unlike every factory value
            // Through the window's action: a disabled group's button takes no click.
            PreferencesWindow::showWindow(prefs.get())->restoreDefaults(button);
            for (const QString &key : keys) {
                if (store->objectForKey(key).toString() == "changed")
                    continue;
                QVERIFY2(!restored.contains(key), qPrintable(key));
                restored << key;
                QVariant expected = factory.value(key);
                if (expected.typeId() == QMetaType::LongLong)
                    expected = expected.toInt();
                else if (expected.typeId() == QMetaType::Double)
                    expected = expected.toFloat();
                // The window shows, and so restores, the number of files at once this machine takes.
                if (key == PrefKey::EncodersAtOnce)
                    expected = int(LamePrefs::resolvedEncoders(expected.toInt()));
                compareObject(key, expected);
            }
        }
        QStringList expected(keys.begin(), keys.end() - 2);
        expected.removeOne(PrefKey::NamePattern); // above the tabs, in no group
        expected.sort();
        restored.sort();
        QCOMPARE(restored, expected);

        // What cannot be saved serves the session, and the window says so.
        auto *warning = control<QLabel>("saveWarning");
        QVERIFY(warning && warning->isHidden());
        // A file where the config folder should be: nothing can be written there, even by root.
        const QString folder = dir.filePath("config");
        QVERIFY(QDir(folder).removeRecursively() && QFile(folder).open(QIODevice::WriteOnly));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Error: cannot save preferences to "));
        control<QAbstractButton>("differentBlocks")->click();
        control<QAbstractButton>("checksum")->click();
        QVERIFY(store->boolForKey(DifferentBlocks) && store->boolForKey(Checksum) && warning->isVisible());
        QVERIFY2(warning->text().contains(folder), qPrintable(warning->text()));
        QVERIFY(QFile::remove(folder));
    }
};

QTEST_MAIN(PreferencesWindowTest)
#include "tst_preferenceswindow.moc"
