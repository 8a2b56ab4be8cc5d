// The settings window driven through its real controls: what each control writes, the restore
// buttons, the bit rate range coupling, the repairs at loading and the window's height per tab.
#include "core/LamePrefs.h"
#include "settings/PreferencesWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

namespace {
int corruptPreferences = 0;
int corruptNib = 0;
QtMessageHandler previousHandler = nullptr;

void countingHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message == QLatin1String("Error: corrupt preferences"))
        ++corruptPreferences;
    else if (message == QLatin1String("Error: corrupt nib file"))
        ++corruptNib;
    else if (message.startsWith(QLatin1String("This plugin does not support")))
        return; // the offscreen platform has no window manager to raise or size windows
    previousHandler(type, context, message);
}

SettingsStore &store()
{
    return LamePrefs::preferences();
}

// A text is stored as text, a number as an integer; an invalid value leaves the key absent.
void put(const QString &key, const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        store().setObject(value.toString(), key);
    else if (value.isValid())
        store().setInteger(value.toInt(), key);
}

// The user layer as it is kept on disk: every key the program wrote, with its stored form.
QMap<QString, QString> userLayer()
{
    QSettings file(SettingsStore::standardFilePath(), QSettings::IniFormat);
    QMap<QString, QString> layer;
    for (const QString &key : file.allKeys())
        layer.insert(key, file.value(key).toString());
    return layer;
}

// An absent value is an invalid QVariant; otherwise the type and value a read as object gives.
void compareObject(const QString &key, const QVariant &expected)
{
    const QVariant actual = store().objectForKey(key);
    QVERIFY2(actual.typeId() == expected.typeId() && actual == expected,
             qPrintable(key + " holds " + actual.toString()));
}

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

// Each restore button with the factory values it writes (an invalid value: the key is removed). The
// filters ("") have no restore button: tag 5 is unknown to the restore action.
using Groups = QList<std::pair<QString, QVariantMap>>;
// clang-format off
const Groups groups = {
    {"restoreFormat", {{PrefKey::ChannelMode, {}}, {PrefKey::Mixdown, false},
        {PrefKey::DifferentBlocks, false}, {PrefKey::BitRateMode, 1}, {PrefKey::OutputSampleRate, {}}}},
    {"restoreConstant", {{PrefKey::CBRQuality, 2}, {PrefKey::CBRBitRate, 128}, {PrefKey::CBRATHType, 2},
        {PrefKey::CBRReservoir, true}}},
    {"restoreAverage", {{PrefKey::ABRQuality, 2}, {PrefKey::AverageBitRate, 128},
        {PrefKey::MinimumABRBitRate, 32}, {PrefKey::MaximumABRBitRate, 320}, {PrefKey::ABRATHType, 2},
        {PrefKey::ABREnforceMinimum, false}, {PrefKey::ABRXingTag, true}}},
    {"restoreVariable", {{PrefKey::VBRQuality, 4}, {PrefKey::MinimumVBRBitRate, 32},
        {PrefKey::MaximumVBRBitRate, 320}, {PrefKey::VBREnforceMinimum, false}, {PrefKey::VBRXingTag, true}}},
    {"", {{PrefKey::EnableFiltering, {}}, {PrefKey::UpperCutoff, {}}}},
    {"restoreStream", {{PrefKey::Deemphasis, "n"}, {PrefKey::StrictISO, false}, {PrefKey::Checksum, false},
        {PrefKey::MarkAsOriginal, true}, {PrefKey::MarkAsCopyright, false}}},
    {"restoreMasking", {{PrefKey::Masking, {}}, {PrefKey::ReduceATHBy, 0}, {PrefKey::ShortBlocks, "--short"},
        {PrefKey::TonalityLimit, 8.8717f}, {PrefKey::TemporalMasking, true}}},
    {"restoreITunes", {{PrefKey::ITunesIntegration, true}, {PrefKey::DiscPlaylists, false},
        {PrefKey::BatchPlaylists, true}}}};
// clang-format on

int heightOf(const QTabWidget *tabs, int index)
{
    return tabs->widget(index)->property("identifier").toString().toInt();
}
} // namespace

class PreferencesWindowTest : public QObject
{
    Q_OBJECT

  private:
    LamePrefs *prefs = nullptr;
    QWidget *window = nullptr;

    // A new settings controller whose window is loaded from the store as it stands now.
    void reload()
    {
        delete prefs;
        prefs = new LamePrefs;
        prefs->showWindow();
        window = prefs->prefsWindow()->window();
    }

    template <typename T = QWidget> T *control(const QString &name) { return window->findChild<T *>(name); }

    void choose(QComboBox *box, int tag)
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
    void initTestCase() { previousHandler = qInstallMessageHandler(countingHandler); }

    void init()
    {
        for (const QString &key : userLayer().keys())
            store().removeObjectForKey(key);
        corruptPreferences = corruptNib = 0;
        reload();
    }

    void cleanup() { delete std::exchange(prefs, nullptr); }

    void controlWritesItsValue_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("input"); // an item tag to choose or a text to type
        QTest::addColumn<QVariant>("before");
        QTest::addColumn<QVariant>("expected");
        QTest::addColumn<QString>("shown"); // at once and again after loading
        QTest::newRow("encoder chooses the channel mode")
            << "channelMode" << PrefKey::ChannelMode << "1" << QVariant("s") << QVariant() << "1";
        QTest::newRow("dual channel")
            << "channelMode" << PrefKey::ChannelMode << "5" << QVariant() << QVariant("d") << "5";
        QTest::newRow("resample 44.1")
            << "resampling" << PrefKey::OutputSampleRate << "44" << QVariant() << QVariant(44.1f) << "44";
        QTest::newRow("slider") << "constantQuality" << PrefKey::CBRQuality << "" << QVariant() << QVariant(9)
                                << "9";
        QTest::newRow("check box") << "copyright" << PrefKey::MarkAsCopyright << "" << QVariant()
                                   << QVariant(true) << "1";
        QTest::newRow("deemphasis cell")
            << "deemphasisCCITT" << PrefKey::Deemphasis << "" << QVariant() << QVariant("c") << "1";
        QTest::newRow("average rate not listed") << "averageBitRate" << PrefKey::AverageBitRate << "150"
                                                 << QVariant(200) << QVariant(150) << "150";
        QTest::newRow("cutoff 17.5") << "lowPassCutoff" << PrefKey::UpperCutoff << "17.5" << QVariant(99)
                                     << QVariant(17.5f) << "17.5";
        QTest::newRow("emptied cutoff")
            << "lowPassCutoff" << PrefKey::UpperCutoff << "" << QVariant(99) << QVariant() << "";
        QTest::newRow("letters refused") << "highPassWidth" << PrefKey::HighpassWidth << "0x.2e5"
                                         << QVariant(99) << QVariant(0.25f) << "0.25";
        QTest::newRow("ATH lowered by -4")
            << "thresholdOffset" << PrefKey::ReduceATHBy << "-4" << QVariant(99) << QVariant(-4) << "-4";
    }

    void controlWritesItsValue()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        QFETCH(QString, input);
        QFETCH(QVariant, before);
        QFETCH(QVariant, expected);
        QFETCH(QString, shown);
        put(key, before);
        reload();
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
        compareObject(key, expected);
        QCOMPARE(shownBy(widget), shown);
        reload();
        QCOMPARE(shownBy(control(name)), shown);
        QCOMPARE(corruptNib + corruptPreferences, 0);
    }

    void closingWritesWhatWasTyped()
    {
        auto *field = control<QLineEdit>("lowPassWidth");
        field->setFocus();
        QTest::keyClicks(field, "2.5");
        QVERIFY(!store().objectForKey(PrefKey::LowpassWidth).isValid());
        QVERIFY(window->close());
        compareObject(PrefKey::LowpassWidth, QVariant(2.5f));
    }

    void restoreWritesExactlyItsGroup_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QVariantMap>("factory");
        for (const auto &[button, factory] : groups)
            QTest::newRow(button.isEmpty() ? "unknown tag" : qPrintable(button))
                << button << (button.isEmpty() ? QVariantMap() : factory);
    }

    void restoreWritesExactlyItsGroup()
    {
        QFETCH(QString, button);
        QFETCH(QVariantMap, factory);
        for (const auto &group : groups)
            for (const QString &key : group.second.keys())
                store().setObject("changed", key); // unlike every factory value
        const QMap<QString, QString> before = userLayer();
        QObject unknown;
        unknown.setProperty("tag", 5);
        if (button.isEmpty())
            prefs->prefsWindow()->restoreDefaults(&unknown);
        else
            QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);

        const QMap<QString, QString> after = userLayer();
        for (auto it = factory.begin(); it != factory.end(); ++it)
            compareObject(it.key(), it.value());
        for (const QString &key : QSet<QString>(before.keyBegin(), before.keyEnd()) +
                                      QSet<QString>(after.keyBegin(), after.keyEnd()))
            if (!factory.contains(key))
                QVERIFY2(before.value(key, "absent") == after.value(key, "absent"), qPrintable(key));
        QCOMPARE(corruptNib, button.isEmpty() ? 1 : 0);
    }

    void rangeCoupling_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("rate");
        QTest::addColumn<QString>("other");
        QTest::newRow("VBR minimum 128") << "variableMinBitRate" << 128 << "variableMaxBitRate";
        QTest::newRow("ABR maximum 96") << "averageMaxBitRate" << 96 << "averageMinBitRate";
    }

    void rangeCoupling()
    {
        QFETCH(QString, chosen);
        QFETCH(int, rate);
        QFETCH(QString, other);
        auto *partner = control<QComboBox>(other);
        const int selected = partner->currentIndex();
        choose(control<QComboBox>(chosen), rate);
        auto *model = qobject_cast<QStandardItemModel *>(partner->model());
        for (int i = 0; i < partner->count(); ++i) {
            const int tag = partner->itemData(i).toInt();
            QCOMPARE(model->item(i)->isEnabled(), chosen.contains("Min") ? tag > rate : tag < rate);
        }
        QCOMPARE(partner->currentIndex(), selected);
    }

    void allFiveRepairsLogOnceEach()
    {
        store().setObject("q", PrefKey::ChannelMode);
        store().setInteger(0, PrefKey::BitRateMode);
        store().setObject("x", PrefKey::Deemphasis);
        store().setObject("--notath", PrefKey::Masking);
        store().setObject("", PrefKey::ShortBlocks);
        reload();
        QCOMPARE(corruptPreferences, 5);
        QVERIFY(!store().objectForKey(PrefKey::ChannelMode).isValid());
        QCOMPARE(store().integerForKey(PrefKey::BitRateMode), 1);
        QCOMPARE(store().stringForKey(PrefKey::Deemphasis), QStringLiteral("n"));
        QVERIFY(!store().objectForKey(PrefKey::Masking).isValid());
        QCOMPARE(store().stringForKey(PrefKey::ShortBlocks), QStringLiteral("--short"));
        reload(); // nothing is left to repair
        QCOMPARE(corruptPreferences, 5);
    }

    void storedTabThenSwitchKeepsTheTopEdge_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("to");
        QTest::newRow("beyond the last, then taller") << 5 << 0 << 1;
        QTest::newRow("negative, then shorter") << -1 << 0 << 2;
        QTest::newRow("third, then taller") << 2 << 2 << 0;
    }

    void storedTabThenSwitchKeepsTheTopEdge()
    {
        QFETCH(int, stored);
        QFETCH(int, shown);
        QFETCH(int, to);
        store().setInteger(stored, PrefKey::SelectedTab);
        reload();
        auto *tabs = control<QTabWidget>("windowTabs");
        QCOMPARE(tabs->currentIndex(), shown);
        QCOMPARE(store().integerForKey(PrefKey::SelectedTab), shown);
        const int oldHeight = window->height();
        QCOMPARE(oldHeight, heightOf(tabs, shown));
        window->move(40, 60);
        const int top = window->geometry().top();

        // The height the window has at the moment the new tab is shown.
        struct ShowWatcher : QObject
        {
            QWidget *window;
            int seen = -1;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Show)
                    seen = window->height();
                return false;
            }
        } watcher;
        watcher.window = window;
        tabs->widget(to)->installEventFilter(&watcher);
        QTabBar *bar = tabs->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(to).center());
        tabs->widget(to)->removeEventFilter(&watcher);

        QCOMPARE(window->height(), heightOf(tabs, to));
        QCOMPARE(window->geometry().top(), top);
        // Grown before a taller tab shows, shrunk only after a shorter one has.
        QCOMPARE(watcher.seen, qMax(oldHeight, heightOf(tabs, to)));
        QCOMPARE(store().integerForKey(PrefKey::SelectedTab), to);
    }

    void changeShowsInNextRunsCommandLine()
    {
        choose(control<QComboBox>("bitRateMode"), 1);
        choose(control<QComboBox>("constantBitRate"), 192);
        const auto switches = LamePrefs::makeGlobalSwitches(LamePrefs::preferences(), {}, false);
        QVERIFY(switches);
        const qsizetype at = switches->indexOf(QStringLiteral("-b"));
        QVERIFY(at >= 0 && at + 1 < switches->size());
        QCOMPARE(switches->at(at + 1), QStringLiteral("192"));
    }

    // Last, as the store cannot save again in this process once it failed.
    void unsavedSettingsAreSaidOnce()
    {
        auto *warning = control<QLabel>("saveWarning");
        QVERIFY(warning && warning->isHidden());
        // A file where the config folder should be: nothing can be written there, even by root.
        const QString folder = QFileInfo(SettingsStore::standardFilePath()).absolutePath();
        QVERIFY(QDir(folder).removeRecursively());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Error: cannot save preferences to "));
        QTest::failOnWarning(QRegularExpression("cannot save"));
        control<QCheckBox>("differentBlocks")->click();
        control<QCheckBox>("differentBlocks")->click();
        QVERIFY(warning->isVisible());
        QVERIFY2(warning->text().contains(folder), qPrintable(warning->text()));
        const auto *tabs = control<QTabWidget>("windowTabs");
        QVERIFY(window->height() > heightOf(tabs, tabs->currentIndex()));
        QVERIFY(QFile::remove(folder));
    }
};

QTEST_MAIN(PreferencesWindowTest)
#include "tst_preferenceswindow.moc"
