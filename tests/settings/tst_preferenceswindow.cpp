// The settings window driven through its real controls: what each control writes, the restore
// buttons, the bit rate range coupling, the window's height per tab and a store that cannot save.
#include "core/LamePrefs.h"
#include "settings/PreferencesWindow.h"
#include "support/TestSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTabWidget>
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
    return QString::number(qobject_cast<QSlider *>(control)->value());
}

// The settings each restore button puts back.
using namespace PrefKey;
const QList<std::pair<QString, QStringList>> restoreGroups = {
    {"restoreFormat", {ChannelMode, Mixdown, DifferentBlocks, BitRateMode, OutputSampleRate}},
    {"restoreConstant", {CBRQuality, CBRBitRate, CBRATHType, CBRReservoir}},
    {"restoreAverage",
     {ABRQuality, AverageBitRate, MinimumABRBitRate, MaximumABRBitRate, ABRATHType, ABREnforceMinimum,
      ABRXingTag}},
    {"restoreVariable", {VBRQuality, MinimumVBRBitRate, MaximumVBRBitRate, VBREnforceMinimum, VBRXingTag}},
    {"restoreStream", {PrefKey::Deemphasis, StrictISO, Checksum, MarkAsOriginal, MarkAsCopyright}},
    {"restoreMasking", {PrefKey::Masking, ReduceATHBy, ShortBlocks, TonalityLimit, TemporalMasking}},
    {"restoreITunes", {ITunesIntegration, DiscPlaylists, BatchPlaylists}}};

int heightOf(const QTabWidget *tabs, int index)
{
    return tabs->widget(index)->property("identifier").toString().toInt();
}
} // namespace

class PreferencesWindowTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<LamePrefs> prefs;
    QWidget *window = nullptr;

    // A new settings controller whose window is loaded from the store as it stands now.
    void reload()
    {
        prefs.reset();
        prefs = std::make_unique<LamePrefs>(*store);
        prefs->showWindow();
        window = prefs->prefsWindow()->window();
    }

    // A new store over the factory values and `user`, and the window loaded from it.
    void restart(const QVariantMap &user)
    {
        prefs.reset();
        store = TestSettings::makeStore(dir.filePath("config/settings.conf"), user);
        reload();
    }

    template <typename T = QWidget> T *control(const QString &name) { return window->findChild<T *>(name); }

    void compareObject(const QString &key, const QVariant &expected)
    {
        const QVariant actual = store->objectForKey(key);
        QVERIFY2(actual.typeId() == expected.typeId() && actual == expected,
                 qPrintable(key + " holds " + actual.toString()));
    }

    static void choose(QComboBox *box, int tag)
    {
        box->setCurrentIndex(box->findData(tag));
        emit box->activated(box->currentIndex());
    }

    static void typeInto(QLineEdit *field, const QString &text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

  private slots:
    void init()
    {
        QTest::failOnWarning(QRegularExpression("^Error:"));
        restart({});
    }
    void cleanup()
    {
        prefs.reset();
        store.reset();
    }

    void controlWritesItsValue_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("input"); // an item tag to choose or a text to type
        QTest::addColumn<QVariant>("before");
        QTest::addColumn<QVariant>("expected");
        QTest::addColumn<QString>("shown"); // at once and again after loading
        QTest::newRow("encoder chooses the channel mode")
            << "channelMode" << ChannelMode << "1" << QVariant("s") << QVariant() << "1";
        QTest::newRow("dual channel")
            << "channelMode" << ChannelMode << "5" << QVariant() << QVariant("d") << "5";
        QTest::newRow("resample 44.1")
            << "resampling" << OutputSampleRate << "44" << QVariant() << QVariant(44.1f) << "44";
        QTest::newRow("slider") << "constantQuality" << CBRQuality << "" << QVariant() << QVariant(9) << "9";
        QTest::newRow("check box") << "copyright" << MarkAsCopyright << "" << QVariant() << QVariant(true)
                                   << "1";
        QTest::newRow("deemphasis cell")
            << "deemphasisCCITT" << PrefKey::Deemphasis << "" << QVariant() << QVariant("c") << "1";
        QTest::newRow("average rate not listed")
            << "averageBitRate" << AverageBitRate << "150" << QVariant(200) << QVariant(150) << "150";
        QTest::newRow("cutoff 17.5") << "lowPassCutoff" << UpperCutoff << "17.5" << QVariant(99)
                                     << QVariant(17.5f) << "17.5";
        QTest::newRow("emptied cutoff")
            << "lowPassCutoff" << UpperCutoff << "" << QVariant(99) << QVariant() << "";
        QTest::newRow("letters refused")
            << "highPassWidth" << HighpassWidth << "0x.2e5" << QVariant(99) << QVariant(0.25f) << "0.25";
        // The Bit Rate tab's groups that the chosen mode does not use are disabled.
        QTest::newRow("average bit rate mode")
            << "bitRateMode" << BitRateMode << "2" << QVariant() << QVariant(2) << "2";
        QTest::newRow("variable bit rate mode")
            << "bitRateMode" << BitRateMode << "4" << QVariant() << QVariant(4) << "4";
        QTest::newRow("ATH lowered by -4")
            << "thresholdOffset" << ReduceATHBy << "-4" << QVariant(99) << QVariant(-4) << "-4";
    }

    void controlWritesItsValue()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        QFETCH(QString, input);
        QFETCH(QVariant, before);
        QFETCH(QVariant, expected);
        QFETCH(QString, shown);
        // The average group's controls take input only while its mode is chosen.
        QVariantMap user{{BitRateMode, name.startsWith("average") ? 2 : 1}};
        if (before.isValid())
            user.insert(key, before);
        restart(user);
        QWidget *widget = control(name);
        if (auto *box = qobject_cast<QComboBox *>(widget); box && !box->isEditable())
            choose(box, input.toInt());
        else if (box)
            typeInto(box->lineEdit(), input);
        else if (auto *field = qobject_cast<QLineEdit *>(widget))
            typeInto(field, input);
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
        compareObject(key, expected);
        QCOMPARE(shownBy(widget), shown);
        checkBitRateGroups();
        reload();
        QCOMPARE(shownBy(control(name)), shown);
        checkBitRateGroups();
    }

    void closingWritesWhatWasTyped()
    {
        auto *field = control<QLineEdit>("lowPassWidth");
        field->setFocus();
        QTest::keyClicks(field, "2.5");
        QVERIFY(!store->objectForKey(LowpassWidth).isValid());
        QVERIFY(window->close());
        compareObject(LowpassWidth, QVariant(2.5f));
    }

    // Each restore button writes its group's factory values, as DefaultPrefs.plist holds them, and
    // removes what has none; no other setting changes. The filters have no restore button (tag 5).
    void restoreWritesExactlyItsGroup()
    {
        const QVariantMap factory = LamePrefs::factoryValues();
        QStringList every = {EnableFiltering, UpperCutoff};
        for (const auto &group : restoreGroups)
            every += group.second;
        for (const auto &[button, keys] : restoreGroups + decltype(restoreGroups){{QString(), {}}}) {
            for (const QString &key : every)
                store->setObject("changed", key); // unlike every factory value
            QObject unknown;
            unknown.setProperty("tag", 5);
            if (button.isEmpty()) {
                QTest::ignoreMessage(QtWarningMsg, "Error: corrupt nib file");
                prefs->prefsWindow()->restoreDefaults(&unknown);
            } else {
                // Through the window's action: the groups the bit rate mode does not use are disabled.
                prefs->prefsWindow()->restoreDefaults(control<QPushButton>(button));
            }
            for (const QString &key : every) {
                QVariant expected = keys.contains(key) ? factory.value(key) : QVariant("changed");
                if (expected.typeId() == QMetaType::LongLong)
                    expected = expected.toInt();
                else if (expected.typeId() == QMetaType::Double)
                    expected = expected.toFloat();
                compareObject(key, expected);
            }
        }
    }

    // A bit rate range never ends below its start: choosing one end disables the other's items
    // beyond it, and leaves its selection alone.
    void rangeCoupling()
    {
        for (const auto &[chosen, rate, other] : {std::tuple("variableMinBitRate", 128, "variableMaxBitRate"),
                                                  std::tuple("averageMaxBitRate", 96, "averageMinBitRate")}) {
            auto *partner = control<QComboBox>(other);
            const int selected = partner->currentIndex();
            choose(control<QComboBox>(chosen), rate);
            auto *model = qobject_cast<QStandardItemModel *>(partner->model());
            for (int i = 0; i < partner->count(); ++i) {
                const int tag = partner->itemData(i).toInt();
                QCOMPARE(model->item(i)->isEnabled(),
                         QString(chosen).contains("Min") ? tag > rate : tag < rate);
            }
            QCOMPARE(partner->currentIndex(), selected);
        }
    }

    // Switching to a taller tab grows the window, to a shorter one shrinks it, and its top edge
    // stays; a stored tab that names none shows the first.
    void tabsSetTheHeight()
    {
        restart({{SelectedTab, 5}});
        auto *tabs = control<QTabWidget>("windowTabs");
        QCOMPARE(tabs->currentIndex(), 0);
        window->move(40, 60);
        const int top = window->geometry().top();
        for (int to : {1, 2, 0}) {
            QTabBar *bar = tabs->tabBar();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(to).center());
            QCOMPARE(window->height(), heightOf(tabs, to));
            QCOMPARE(window->geometry().top(), top);
            QCOMPARE(store->integerForKey(SelectedTab), to);
        }
    }

    // What cannot be saved serves the session, and the window says so once, not once per change.
    void unsavedSettingsAreSaidOnce()
    {
        auto *warning = control<QLabel>("saveWarning");
        QVERIFY(warning && warning->isHidden());
        // A file where the config folder should be: nothing can be written there, even by root.
        const QString folder = dir.filePath("config");
        QVERIFY(QDir(folder).removeRecursively());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Error: cannot save preferences to "));
        control<QCheckBox>("differentBlocks")->click();
        control<QCheckBox>("checksum")->click();
        QVERIFY(store->boolForKey(DifferentBlocks) && store->boolForKey(Checksum));
        QVERIFY(warning->isVisible());
        QVERIFY2(warning->text().contains(folder), qPrintable(warning->text()));
        const auto *tabs = control<QTabWidget>("windowTabs");
        QVERIFY(window->height() > heightOf(tabs, tabs->currentIndex()));
        QVERIFY(QFile::remove(folder));
    }
};

QTEST_MAIN(PreferencesWindowTest)
#include "tst_preferenceswindow.moc"
