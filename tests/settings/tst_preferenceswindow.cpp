// The settings window driven through its real controls: what each control writes, what the
// window shows and repairs when it loads, the restore buttons, the bit rate range coupling and
// the window's height per tab.
#include "platform/WindowDescription.h"
#include "settings/LamePrefs.h"
#include "settings/PreferencesWindow.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
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

// The user layer as it is kept on disk: every key the program wrote, with its stored form.
QMap<QString, QString> userLayer()
{
    QSettings file(SettingsStore::standardFilePath(), QSettings::IniFormat);
    QMap<QString, QString> layer;
    for (const QString &key : file.allKeys())
        layer.insert(key, file.value(key).toString());
    return layer;
}

void clearUserLayer()
{
    for (const QString &key : userLayer().keys())
        store().removeObjectForKey(key);
}

// An absent value is an invalid QVariant; otherwise the type and value a read as object gives.
void compareObject(const QString &key, const QVariant &expected)
{
    const QVariant actual = store().objectForKey(key);
    QVERIFY2(actual.isValid() == expected.isValid(), qPrintable(key));
    if (!expected.isValid())
        return;
    QCOMPARE(actual.typeId(), expected.typeId());
    QCOMPARE(actual, expected);
}

int identifierOf(const QWidget *page)
{
    return page->property("identifier").toString().toInt();
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
        QVERIFY(prefs->prefsWindow());
        window = prefs->prefsWindow()->window();
        QVERIFY(window);
    }

    template <typename T> T *control(const QString &name)
    {
        T *found = window->findChild<T *>(name);
        if (!found)
            qWarning("no control %s", qPrintable(name));
        return found;
    }

    void choose(QComboBox *box, int tag)
    {
        const int index = box->findData(tag);
        QVERIFY2(index >= 0, qPrintable(box->objectName()));
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    static void typeInto(QLineEdit *field, const QString &text)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
    }

  private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(countingHandler); }

    void init()
    {
        clearUserLayer();
        corruptPreferences = 0;
        corruptNib = 0;
        reload();
    }

    void cleanup()
    {
        delete prefs;
        prefs = nullptr;
        window = nullptr;
    }

    void everyControlIsDescribed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<int>("tag");
        const QList<std::tuple<const char *, const char *, int>> rows = {
            {"channelMode", "QComboBox", 1},        {"mixdownRaw", "QCheckBox", 2},
            {"differentBlocks", "QCheckBox", 3},    {"bitRateMode", "QComboBox", 4},
            {"resampling", "QComboBox", 5},         {"constantQuality", "QSlider", 1},
            {"constantBitRate", "QComboBox", 2},    {"constantThresholdType", "QComboBox", 3},
            {"constantReservoir", "QCheckBox", 4},  {"averageQuality", "QSlider", 1},
            {"averageBitRate", "QComboBox", 2},     {"averageMinBitRate", "QComboBox", 3},
            {"averageMaxBitRate", "QComboBox", 4},  {"averageThresholdType", "QComboBox", 5},
            {"averageEnforceMin", "QCheckBox", 6},  {"averageXingInfo", "QCheckBox", 7},
            {"variableQuality", "QSlider", 1},      {"variableMinBitRate", "QComboBox", 2},
            {"variableMaxBitRate", "QComboBox", 3}, {"variableEnforceMin", "QCheckBox", 4},
            {"variableXingInfo", "QCheckBox", 5},   {"useFilters", "QCheckBox", 1},
            {"useLowPass", "QCheckBox", 2},         {"lowPassCutoff", "QLineEdit", 3},
            {"useLowWidth", "QCheckBox", 4},        {"lowPassWidth", "QLineEdit", 5},
            {"useHighPass", "QCheckBox", 6},        {"highPassCutoff", "QLineEdit", 7},
            {"useHighWidth", "QCheckBox", 8},       {"highPassWidth", "QLineEdit", 9},
            {"deemphasis", "QWidget", 1},           {"compliance", "QCheckBox", 2},
            {"checksum", "QCheckBox", 3},           {"original", "QCheckBox", 4},
            {"copyright", "QCheckBox", 5},          {"maskingModel", "QComboBox", 1},
            {"thresholdOffset", "QLineEdit", 2},    {"blockType", "QComboBox", 3},
            {"tonalityLimit", "QLineEdit", 4},      {"temporalMasking", "QCheckBox", 5},
            {"integrate", "QCheckBox", 1},          {"listFromDisc", "QCheckBox", 2},
            {"listFromBatch", "QCheckBox", 3},      {"restoreFormat", "QPushButton", 1},
            {"restoreConstant", "QPushButton", 2},  {"restoreAverage", "QPushButton", 3},
            {"restoreVariable", "QPushButton", 4},  {"restoreStream", "QPushButton", 6},
            {"restoreMasking", "QPushButton", 7},   {"restoreITunes", "QPushButton", 8},
        };
        for (const auto &[name, className, tag] : rows)
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(className) << tag;
    }

    void everyControlIsDescribed()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(int, tag);
        QWidget *found = control<QWidget>(name);
        QVERIFY(found);
        QVERIFY(found->inherits(qPrintable(className)));
        QCOMPARE(WindowDescription::tag(found), tag);
        QVERIFY(!found->accessibleName().isEmpty());
        QVERIFY(!found->toolTip().isEmpty());
    }

    void popupItemsCarryTheirTags_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("tags");
        const QList<int> rates = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
        QTest::newRow("channelMode") << "channelMode" << QList<int>{1, 2, 3, 4, 5, 6};
        QTest::newRow("bitRateMode") << "bitRateMode" << QList<int>{1, 2, 3, 4};
        QTest::newRow("resampling") << "resampling" << QList<int>{0, 32, 44, 48};
        for (const char *name : {"constantBitRate", "averageMinBitRate", "averageMaxBitRate",
                                 "variableMinBitRate", "variableMaxBitRate"})
            QTest::newRow(name) << name << rates;
        QTest::newRow("constantThresholdType") << "constantThresholdType" << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("averageThresholdType") << "averageThresholdType" << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("maskingModel") << "maskingModel" << QList<int>{1, 2, 3, 4};
        QTest::newRow("blockType") << "blockType" << QList<int>{1, 2, 3};
        QTest::newRow("averageBitRate")
            << "averageBitRate" << QList<int>{32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256};
    }

    void popupItemsCarryTheirTags()
    {
        QFETCH(QString, name);
        QFETCH(QList<int>, tags);
        auto *box = control<QComboBox>(name);
        QVERIFY(box);
        QList<int> actual;
        for (int i = 0; i < box->count(); ++i)
            actual.append(box->itemData(i).toInt());
        QCOMPARE(actual, tags);
    }

    void choosingAnItemWrites_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("before");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("encoder chooses the channel mode")
            << "channelMode" << 1 << PrefKey::ChannelMode << QVariant("s") << QVariant();
        QTest::newRow("dual channel")
            << "channelMode" << 5 << PrefKey::ChannelMode << QVariant() << QVariant("d");
        QTest::newRow("mono") << "channelMode" << 6 << PrefKey::ChannelMode << QVariant() << QVariant("m");
        QTest::newRow("VBR old") << "bitRateMode" << 4 << PrefKey::BitRateMode << QVariant() << QVariant(4);
        QTest::newRow("resample 44.1")
            << "resampling" << 44 << PrefKey::OutputSampleRate << QVariant() << QVariant(44.1f);
        QTest::newRow("resample 32") << "resampling" << 32 << PrefKey::OutputSampleRate << QVariant()
                                     << QVariant(32.0f);
        QTest::newRow("no resampling")
            << "resampling" << 0 << PrefKey::OutputSampleRate << QVariant(48.0f) << QVariant();
        QTest::newRow("CBR 192") << "constantBitRate" << 192 << PrefKey::CBRBitRate << QVariant()
                                 << QVariant(192);
        QTest::newRow("CBR ATH 4") << "constantThresholdType" << 4 << PrefKey::CBRATHType << QVariant()
                                   << QVariant(4);
        QTest::newRow("ABR ATH 0") << "averageThresholdType" << 0 << PrefKey::ABRATHType << QVariant()
                                   << QVariant(0);
        QTest::newRow("ABR minimum 64")
            << "averageMinBitRate" << 64 << PrefKey::MinimumABRBitRate << QVariant() << QVariant(64);
        QTest::newRow("VBR maximum 256")
            << "variableMaxBitRate" << 256 << PrefKey::MaximumVBRBitRate << QVariant() << QVariant(256);
        QTest::newRow("normal masking")
            << "maskingModel" << 1 << PrefKey::Masking << QVariant("--noath") << QVariant();
        QTest::newRow("ATH only") << "maskingModel" << 3 << PrefKey::Masking << QVariant()
                                  << QVariant("--athonly");
        QTest::newRow("ATH short") << "maskingModel" << 4 << PrefKey::Masking << QVariant()
                                   << QVariant("--athshort");
        QTest::newRow("no short blocks")
            << "blockType" << 2 << PrefKey::ShortBlocks << QVariant() << QVariant("--noshort");
        QTest::newRow("short blocks")
            << "blockType" << 1 << PrefKey::ShortBlocks << QVariant("--allshort") << QVariant("--short");
    }

    void choosingAnItemWrites()
    {
        QFETCH(QString, name);
        QFETCH(int, tag);
        QFETCH(QString, key);
        QFETCH(QVariant, before);
        QFETCH(QVariant, expected);
        if (before.typeId() == QMetaType::QString)
            store().setObject(before.toString(), key);
        else if (before.typeId() == QMetaType::Float)
            store().setFloat(before.toFloat(), key);
        auto *box = control<QComboBox>(name);
        QVERIFY(box);
        choose(box, tag);
        compareObject(key, expected);
        QCOMPARE(corruptNib, 0);
    }

    void checkBoxesWriteBooleans_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        const QList<std::pair<const char *, QString>> rows = {
            {"mixdownRaw", PrefKey::Mixdown},
            {"differentBlocks", PrefKey::DifferentBlocks},
            {"constantReservoir", PrefKey::CBRReservoir},
            {"averageEnforceMin", PrefKey::ABREnforceMinimum},
            {"averageXingInfo", PrefKey::ABRXingTag},
            {"variableEnforceMin", PrefKey::VBREnforceMinimum},
            {"variableXingInfo", PrefKey::VBRXingTag},
            {"useFilters", PrefKey::EnableFiltering},
            {"useLowPass", PrefKey::EnableLowpass},
            {"useLowWidth", PrefKey::ManualLowpassWidth},
            {"useHighPass", PrefKey::EnableHighpass},
            {"useHighWidth", PrefKey::ManualHighpassWidth},
            {"compliance", PrefKey::StrictISO},
            {"checksum", PrefKey::Checksum},
            {"original", PrefKey::MarkAsOriginal},
            {"copyright", PrefKey::MarkAsCopyright},
            {"temporalMasking", PrefKey::TemporalMasking},
            {"integrate", PrefKey::ITunesIntegration},
            {"listFromDisc", PrefKey::DiscPlaylists},
            {"listFromBatch", PrefKey::BatchPlaylists},
        };
        for (const auto &[name, key] : rows)
            QTest::newRow(name) << QString::fromLatin1(name) << key;
    }

    void checkBoxesWriteBooleans()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        auto *box = control<QCheckBox>(name);
        QVERIFY(box);
        const bool shown = box->isChecked();
        QCOMPARE(shown, store().boolForKey(key));
        // On the box itself: a click beside its label does nothing.
        const QPoint indicator(8, box->height() / 2);
        QTest::mouseClick(box, Qt::LeftButton, {}, indicator);
        compareObject(key, QVariant(!shown));
        QTest::mouseClick(box, Qt::LeftButton, {}, indicator);
        compareObject(key, QVariant(shown));
    }

    void slidersWriteIntegers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::newRow("CBR") << "constantQuality" << PrefKey::CBRQuality;
        QTest::newRow("ABR") << "averageQuality" << PrefKey::ABRQuality;
        QTest::newRow("VBR") << "variableQuality" << PrefKey::VBRQuality;
    }

    void slidersWriteIntegers()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        auto *slider = control<QSlider>(name);
        QVERIFY(slider);
        QCOMPARE(slider->minimum(), 0);
        QCOMPARE(slider->maximum(), 9);
        const int shown = slider->value();
        QCOMPARE(shown, store().integerForKey(key));
        QTest::keyClick(slider, Qt::Key_Right);
        compareObject(key, QVariant(shown + 1));
        QTest::keyClick(slider, Qt::Key_End);
        compareObject(key, QVariant(9));
        QCOMPARE(control<QLabel>(name + "Value")->text(), QStringLiteral("9"));
    }

    void typingIntoAFieldWrites_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("cutoff 17.5") << "lowPassCutoff" << PrefKey::UpperCutoff << "17.5"
                                     << "17.5" << QVariant(17.5f);
        QTest::newRow("emptied cutoff") << "lowPassCutoff" << PrefKey::UpperCutoff << ""
                                        << "" << QVariant();
        QTest::newRow("decimal comma") << "lowPassWidth" << PrefKey::LowpassWidth << "1,5"
                                       << "1.5" << QVariant(1.5f);
        QTest::newRow("letters are refused") << "highPassCutoff" << PrefKey::LowerCutoff << "abc"
                                             << "" << QVariant();
        QTest::newRow("letters between digits") << "highPassWidth" << PrefKey::HighpassWidth << "0x.2e5"
                                                << "0.25" << QVariant(0.25f);
        QTest::newRow("no sign for a frequency") << "highPassWidth" << PrefKey::HighpassWidth << "-3"
                                                 << "3" << QVariant(3.0f);
        // Emptying a field removes the user's value, so a registered one shows again.
        QTest::newRow("a point alone is empty") << "tonalityLimit" << PrefKey::TonalityLimit << "."
                                                << "" << QVariant(8.8717f);
        QTest::newRow("second point refused") << "tonalityLimit" << PrefKey::TonalityLimit << "8.8.7"
                                              << "8.87" << QVariant(8.87f);
        QTest::newRow("ATH lowered by 3") << "thresholdOffset" << PrefKey::ReduceATHBy << "3"
                                          << "3" << QVariant(3);
        QTest::newRow("ATH negative") << "thresholdOffset" << PrefKey::ReduceATHBy << "-4"
                                      << "-4" << QVariant(-4);
        QTest::newRow("ATH no fraction") << "thresholdOffset" << PrefKey::ReduceATHBy << "2.5"
                                         << "25" << QVariant(25);
        QTest::newRow("ATH sign alone is empty") << "thresholdOffset" << PrefKey::ReduceATHBy << "-"
                                                 << "" << QVariant(0);
        QTest::newRow("ATH too long") << "thresholdOffset" << PrefKey::ReduceATHBy << "123456789012"
                                      << "1234567890" << QVariant(1234567890);
    }

    void typingIntoAFieldWrites()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QVariant, expected);
        store().setInteger(99, key);
        reload();
        auto *field = control<QLineEdit>(name);
        QCOMPARE(field->text(), QStringLiteral("99"));
        QVERIFY(field);
        typeInto(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(field->text(), shown);
        compareObject(key, expected);
    }

    void pastedTextIsRefused()
    {
        auto *field = control<QLineEdit>("lowPassCutoff");
        typeInto(field, "16");
        QGuiApplication::clipboard()->setText("not a number");
        field->paste();
        QCOMPARE(field->text(), QStringLiteral("16"));
        QGuiApplication::clipboard()->setText("5");
        field->paste();
        QTest::keyClick(field, Qt::Key_Return);
        compareObject(PrefKey::UpperCutoff, QVariant(165.0f));
    }

    void averageBitRateTakesAnyNumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("expected");
        QTest::newRow("not in the list") << "150"
                                         << "150" << 150;
        QTest::newRow("prefix of an item stays itself") << "12"
                                                        << "12" << 12;
        QTest::newRow("letters refused") << "9a6"
                                         << "96" << 96;
        QTest::newRow("emptied keeps the stored rate") << ""
                                                       << "200" << 200;
    }

    void averageBitRateTakesAnyNumber()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, expected);
        store().setInteger(200, PrefKey::AverageBitRate);
        auto *box = control<QComboBox>("averageBitRate");
        QVERIFY(box && box->isEditable());
        typeInto(box->lineEdit(), typed);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
        QCOMPARE(box->currentText(), shown);
        compareObject(PrefKey::AverageBitRate, QVariant(expected));
        QCOMPARE(box->count(), 13);
    }

    void averageBitRateFromTheList()
    {
        auto *box = control<QComboBox>("averageBitRate");
        choose(box, 192);
        compareObject(PrefKey::AverageBitRate, QVariant(192));
    }

    void closingWritesWhatWasTyped()
    {
        QWidget *before = window;
        auto *field = control<QLineEdit>("lowPassWidth");
        typeInto(field, "2.5");
        auto *box = control<QComboBox>("averageBitRate");
        typeInto(box->lineEdit(), "170");
        QVERIFY(!store().objectForKey(PrefKey::LowpassWidth).isValid());
        QVERIFY(window->close());
        compareObject(PrefKey::LowpassWidth, QVariant(2.5f));
        compareObject(PrefKey::AverageBitRate, QVariant(170));
        QVERIFY(!window->isVisible());
        prefs->showWindow();
        QCOMPARE(prefs->prefsWindow()->window(), before);
        QVERIFY(before->isVisible());
    }

    void deemphasisWritesItsLetter_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("expected");
        QTest::newRow("50/15") << "deemphasis5015"
                               << "5";
        QTest::newRow("CCITT") << "deemphasisCCITT"
                               << "c";
        QTest::newRow("none") << "deemphasisNone"
                              << "n";
    }

    void deemphasisWritesItsLetter()
    {
        QFETCH(QString, cell);
        QFETCH(QString, expected);
        store().setObject("5", PrefKey::Deemphasis);
        control<QRadioButton>("deemphasisCCITT")->setChecked(true);
        QTest::mouseClick(control<QRadioButton>(cell), Qt::LeftButton);
        compareObject(PrefKey::Deemphasis, QVariant(expected));
    }

    void rangeCoupling_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("rate");
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("fromMinimum");
        QTest::newRow("VBR minimum 128") << "variableMinBitRate" << 128 << "variableMaxBitRate" << true;
        QTest::newRow("VBR maximum 96") << "variableMaxBitRate" << 96 << "variableMinBitRate" << false;
        QTest::newRow("ABR minimum 320") << "averageMinBitRate" << 320 << "averageMaxBitRate" << true;
        QTest::newRow("ABR maximum 32") << "averageMaxBitRate" << 32 << "averageMinBitRate" << false;
        QTest::newRow("ABR minimum 32") << "averageMinBitRate" << 32 << "averageMaxBitRate" << true;
    }

    void rangeCoupling()
    {
        QFETCH(QString, chosen);
        QFETCH(int, rate);
        QFETCH(QString, other);
        QFETCH(bool, fromMinimum);
        auto *box = control<QComboBox>(chosen);
        auto *partner = control<QComboBox>(other);
        const int selected = partner->currentIndex();
        choose(box, rate);
        auto *model = qobject_cast<QStandardItemModel *>(partner->model());
        QVERIFY(model);
        for (int i = 0; i < partner->count(); ++i) {
            const int tag = partner->itemData(i).toInt();
            QCOMPARE(model->item(i)->isEnabled(), fromMinimum ? tag > rate : tag < rate);
        }
        // The coupling leaves the partner's selection and the chosen popup's own items alone.
        QCOMPARE(partner->currentIndex(), selected);
        auto *ownModel = qobject_cast<QStandardItemModel *>(box->model());
        const QVariant partnerValue = partner->currentData();
        for (int i = 0; i < box->count(); ++i) {
            const int tag = box->itemData(i).toInt();
            const int other = partnerValue.toInt();
            QCOMPARE(ownModel->item(i)->isEnabled(), fromMinimum ? tag < other : tag > other);
        }
    }

    void loadingCouplesTheStoredRange()
    {
        // A minimum above the maximum stays selected; its items are shown disabled.
        store().setInteger(192, PrefKey::MinimumVBRBitRate);
        store().setInteger(128, PrefKey::MaximumVBRBitRate);
        reload();
        auto *minimum = control<QComboBox>("variableMinBitRate");
        auto *maximum = control<QComboBox>("variableMaxBitRate");
        QCOMPARE(minimum->currentData().toInt(), 192);
        QCOMPARE(maximum->currentData().toInt(), 128);
        auto *minModel = qobject_cast<QStandardItemModel *>(minimum->model());
        auto *maxModel = qobject_cast<QStandardItemModel *>(maximum->model());
        for (int i = 0; i < minimum->count(); ++i) {
            QCOMPARE(minModel->item(i)->isEnabled(), minimum->itemData(i).toInt() < 128);
            QCOMPARE(maxModel->item(i)->isEnabled(), maximum->itemData(i).toInt() > 192);
        }
        QCOMPARE(store().integerForKey(PrefKey::MinimumVBRBitRate), 192);
    }

    void loadingShowsTheStore_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("shown"); // an item tag, a text, a column or a check state
        QTest::newRow("joint stereo")
            << PrefKey::ChannelMode << QVariant("j") << "channelMode" << QVariant(3);
        QTest::newRow("absent channel mode")
            << PrefKey::ChannelMode << QVariant() << "channelMode" << QVariant(1);
        QTest::newRow("44.1 kHz") << PrefKey::OutputSampleRate << QVariant(44.1f) << "resampling"
                                  << QVariant(44);
        QTest::newRow("48 kHz") << PrefKey::OutputSampleRate << QVariant(48.0f) << "resampling"
                                << QVariant(48);
        QTest::newRow("ABR mode") << PrefKey::BitRateMode << QVariant(2) << "bitRateMode" << QVariant(2);
        QTest::newRow("CBR 160") << PrefKey::CBRBitRate << QVariant(160) << "constantBitRate"
                                 << QVariant(160);
        QTest::newRow("CBR rate not listed")
            << PrefKey::CBRBitRate << QVariant(150) << "constantBitRate" << QVariant(-1);
        QTest::newRow("average 150") << PrefKey::AverageBitRate << QVariant(150) << "averageBitRate"
                                     << QVariant("150");
        QTest::newRow("cutoff 17.5") << PrefKey::UpperCutoff << QVariant(17.5f) << "lowPassCutoff"
                                     << QVariant("17.5");
        QTest::newRow("absent cutoff")
            << PrefKey::UpperCutoff << QVariant() << "lowPassCutoff" << QVariant("");
        QTest::newRow("cutoff stored as text")
            << PrefKey::UpperCutoff << QVariant("18kHz") << "lowPassCutoff" << QVariant("18");
        QTest::newRow("large cutoff without exponent")
            << PrefKey::UpperCutoff << QVariant(123456789.0f) << "lowPassCutoff" << QVariant("123456792");
        QTest::newRow("registered tonality")
            << PrefKey::TonalityLimit << QVariant() << "tonalityLimit" << QVariant("8.8717");
        QTest::newRow("ATH lowered") << PrefKey::ReduceATHBy << QVariant(6) << "thresholdOffset"
                                     << QVariant("6");
        QTest::newRow("CCITT") << PrefKey::Deemphasis << QVariant("c") << "deemphasis" << QVariant(2);
        QTest::newRow("ATH only") << PrefKey::Masking << QVariant("--athonly") << "maskingModel"
                                  << QVariant(3);
        QTest::newRow("all short") << PrefKey::ShortBlocks << QVariant("--allshort") << "blockType"
                                   << QVariant(3);
        QTest::newRow("VBR quality") << PrefKey::VBRQuality << QVariant(7) << "variableQuality"
                                     << QVariant(7);
        QTest::newRow("copyright") << PrefKey::MarkAsCopyright << QVariant(true) << "copyright"
                                   << QVariant(true);
        QTest::newRow("no music library")
            << PrefKey::ITunesIntegration << QVariant(false) << "integrate" << QVariant(false);
    }

    void loadingShowsTheStore()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QString, name);
        QFETCH(QVariant, shown);
        switch (stored.typeId()) {
        case QMetaType::QString:
            store().setObject(stored.toString(), key);
            break;
        case QMetaType::Float:
            store().setFloat(stored.toFloat(), key);
            break;
        case QMetaType::Int:
            store().setInteger(stored.toInt(), key);
            break;
        case QMetaType::Bool:
            store().setBool(stored.toBool(), key);
            break;
        default:
            break;
        }
        reload();
        QWidget *shownBy = control<QWidget>(name);
        QVERIFY(shownBy);
        if (auto *box = qobject_cast<QComboBox *>(shownBy)) {
            if (box->isEditable())
                QCOMPARE(box->currentText(), shown.toString());
            else if (shown.toInt() < 0)
                QCOMPARE(box->currentIndex(), -1);
            else
                QCOMPARE(box->currentData().toInt(), shown.toInt());
        } else if (auto *field = qobject_cast<QLineEdit *>(shownBy)) {
            QCOMPARE(field->text(), shown.toString());
        } else if (auto *slider = qobject_cast<QSlider *>(shownBy)) {
            QCOMPARE(slider->value(), shown.toInt());
        } else if (auto *check = qobject_cast<QCheckBox *>(shownBy)) {
            QCOMPARE(check->isChecked(), shown.toBool());
        } else {
            const QList<QRadioButton *> cells = shownBy->findChildren<QRadioButton *>();
            for (QRadioButton *cell : cells)
                QCOMPARE(cell->isChecked(), cell->property("column").toInt() == shown.toInt());
        }
        QCOMPARE(corruptPreferences, 0);
    }

    void corruptValuesAreRepairedOnce_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("corrupt");
        QTest::addColumn<QVariant>("repaired"); // what a read as object gives afterwards
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("shown"); // item tag or column
        QTest::newRow("channel mode")
            << PrefKey::ChannelMode << QVariant("x") << QVariant() << "channelMode" << 1;
        QTest::newRow("channel mode upper case")
            << PrefKey::ChannelMode << QVariant("S") << QVariant() << "channelMode" << 1;
        QTest::newRow("bit rate mode")
            << PrefKey::BitRateMode << QVariant(7) << QVariant(1) << "bitRateMode" << 1;
        QTest::newRow("bit rate mode text")
            << PrefKey::BitRateMode << QVariant("CBR") << QVariant(1) << "bitRateMode" << 1;
        QTest::newRow("deemphasis upper case")
            << PrefKey::Deemphasis << QVariant("N") << QVariant("n") << "deemphasis" << 0;
        QTest::newRow("masking") << PrefKey::Masking << QVariant("--ath") << QVariant() << "maskingModel"
                                 << 1;
        QTest::newRow("short blocks")
            << PrefKey::ShortBlocks << QVariant("--long") << QVariant("--short") << "blockType" << 1;
    }

    void corruptValuesAreRepairedOnce()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, corrupt);
        QFETCH(QVariant, repaired);
        QFETCH(QString, name);
        QFETCH(int, shown);
        if (corrupt.typeId() == QMetaType::QString)
            store().setObject(corrupt.toString(), key);
        else
            store().setInteger(corrupt.toInt(), key);
        corruptPreferences = 0;
        reload();
        QCOMPARE(corruptPreferences, 1);
        compareObject(key, repaired);
        QWidget *shownBy = control<QWidget>(name);
        if (auto *box = qobject_cast<QComboBox *>(shownBy))
            QCOMPARE(box->currentData().toInt(), shown);
        else
            QVERIFY(control<QRadioButton>("deemphasisNone")->isChecked());
        // A second load finds nothing left to repair.
        reload();
        QCOMPARE(corruptPreferences, 1);
    }

    void allFiveRepairsLogOnceEach()
    {
        store().setObject("q", PrefKey::ChannelMode);
        store().setInteger(0, PrefKey::BitRateMode);
        store().setObject("x", PrefKey::Deemphasis);
        store().setObject("--notath", PrefKey::Masking);
        store().setObject("", PrefKey::ShortBlocks);
        corruptPreferences = 0;
        reload();
        QCOMPARE(corruptPreferences, 5);
        QVERIFY(!store().objectForKey(PrefKey::ChannelMode).isValid());
        QCOMPARE(store().integerForKey(PrefKey::BitRateMode), 1);
        QCOMPARE(store().stringForKey(PrefKey::Deemphasis), QStringLiteral("n"));
        QVERIFY(!store().objectForKey(PrefKey::Masking).isValid());
        QCOMPARE(store().stringForKey(PrefKey::ShortBlocks), QStringLiteral("--short"));
    }

    void restoreWritesExactlyItsGroup_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QVariantMap>("factory"); // an invalid value: the key is removed
        QTest::newRow("format") << "restoreFormat"
                                << QVariantMap{{PrefKey::ChannelMode, QVariant()},
                                               {PrefKey::Mixdown, false},
                                               {PrefKey::DifferentBlocks, false},
                                               {PrefKey::BitRateMode, 1},
                                               {PrefKey::OutputSampleRate, QVariant()}};
        QTest::newRow("CBR") << "restoreConstant"
                             << QVariantMap{{PrefKey::CBRQuality, 2},
                                            {PrefKey::CBRBitRate, 128},
                                            {PrefKey::CBRATHType, 2},
                                            {PrefKey::CBRReservoir, true}};
        QTest::newRow("ABR") << "restoreAverage"
                             << QVariantMap{
                                    {PrefKey::ABRQuality, 2},         {PrefKey::AverageBitRate, 128},
                                    {PrefKey::MinimumABRBitRate, 32}, {PrefKey::MaximumABRBitRate, 320},
                                    {PrefKey::ABRATHType, 2},         {PrefKey::ABREnforceMinimum, false},
                                    {PrefKey::ABRXingTag, true}};
        QTest::newRow("VBR") << "restoreVariable"
                             << QVariantMap{{PrefKey::VBRQuality, 4},
                                            {PrefKey::MinimumVBRBitRate, 32},
                                            {PrefKey::MaximumVBRBitRate, 320},
                                            {PrefKey::VBREnforceMinimum, false},
                                            {PrefKey::VBRXingTag, true}};
        QTest::newRow("stream") << "restoreStream"
                                << QVariantMap{{PrefKey::Deemphasis, QStringLiteral("n")},
                                               {PrefKey::StrictISO, false},
                                               {PrefKey::Checksum, false},
                                               {PrefKey::MarkAsOriginal, true},
                                               {PrefKey::MarkAsCopyright, false}};
        QTest::newRow("masking") << "restoreMasking"
                                 << QVariantMap{{PrefKey::Masking, QVariant()},
                                                {PrefKey::ReduceATHBy, 0},
                                                {PrefKey::ShortBlocks, QStringLiteral("--short")},
                                                {PrefKey::TonalityLimit, 8.8717f},
                                                {PrefKey::TemporalMasking, true}};
        QTest::newRow("music library") << "restoreITunes"
                                       << QVariantMap{{PrefKey::ITunesIntegration, true},
                                                      {PrefKey::DiscPlaylists, false},
                                                      {PrefKey::BatchPlaylists, true}};
    }

    void restoreWritesExactlyItsGroup()
    {
        QFETCH(QString, button);
        QFETCH(QVariantMap, factory);
        // Every setting of every group holds a value that is not its factory value.
        store().setObject("m", PrefKey::ChannelMode);
        store().setFloat(48.0f, PrefKey::OutputSampleRate);
        store().setObject("--athonly", PrefKey::Masking);
        store().setObject("c", PrefKey::Deemphasis);
        store().setObject("--noshort", PrefKey::ShortBlocks);
        store().setFloat(12.5f, PrefKey::TonalityLimit);
        store().setFloat(17.0f, PrefKey::UpperCutoff);
        for (const QString &key :
             {PrefKey::BitRateMode, PrefKey::CBRQuality, PrefKey::CBRATHType, PrefKey::ABRQuality,
              PrefKey::ABRATHType, PrefKey::VBRQuality, PrefKey::ReduceATHBy})
            store().setInteger(3, key);
        for (const QString &key :
             {PrefKey::CBRBitRate, PrefKey::AverageBitRate, PrefKey::MinimumABRBitRate,
              PrefKey::MaximumABRBitRate, PrefKey::MinimumVBRBitRate, PrefKey::MaximumVBRBitRate})
            store().setInteger(192, key);
        for (const QString &key :
             {PrefKey::Mixdown, PrefKey::DifferentBlocks, PrefKey::ABREnforceMinimum,
              PrefKey::VBREnforceMinimum, PrefKey::StrictISO, PrefKey::Checksum, PrefKey::MarkAsCopyright,
              PrefKey::DiscPlaylists, PrefKey::EnableFiltering})
            store().setBool(true, key);
        for (const QString &key :
             {PrefKey::CBRReservoir, PrefKey::ABRXingTag, PrefKey::VBRXingTag, PrefKey::MarkAsOriginal,
              PrefKey::TemporalMasking, PrefKey::ITunesIntegration, PrefKey::BatchPlaylists})
            store().setBool(false, key);
        const QMap<QString, QString> before = userLayer();

        QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);

        const QMap<QString, QString> after = userLayer();
        QSet<QString> keys(before.keyBegin(), before.keyEnd());
        keys.unite(QSet<QString>(after.keyBegin(), after.keyEnd()));
        for (const QString &key : keys) {
            if (factory.contains(key))
                compareObject(key, factory.value(key));
            else
                QVERIFY2(before.value(key) == after.value(key) && before.contains(key) == after.contains(key),
                         qPrintable(key));
        }
        for (auto it = factory.begin(); it != factory.end(); ++it)
            compareObject(it.key(), it.value());
        QCOMPARE(corruptNib, 0);
    }

    void restoreShowsTheFactoryValues()
    {
        store().setInteger(320, PrefKey::CBRBitRate);
        store().setInteger(9, PrefKey::CBRQuality);
        reload();
        QTest::mouseClick(control<QPushButton>("restoreConstant"), Qt::LeftButton);
        QCOMPARE(control<QComboBox>("constantBitRate")->currentData().toInt(), 128);
        QCOMPARE(control<QSlider>("constantQuality")->value(), 2);
        QCOMPARE(control<QLabel>("constantQualityValue")->text(), QStringLiteral("2"));
        QTest::mouseClick(control<QPushButton>("restoreMasking"), Qt::LeftButton);
        QCOMPARE(control<QLineEdit>("tonalityLimit")->text(), QStringLiteral("8.8717"));
        QCOMPARE(control<QLineEdit>("thresholdOffset")->text(), QStringLiteral("0"));
    }

    void unknownTagsChangeNothing_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<bool>("restore");
        QTest::newRow("restore 0") << 0 << true;
        QTest::newRow("restore 5, the filters") << 5 << true;
        QTest::newRow("restore 9") << 9 << true;
        QTest::newRow("format action 0") << 0 << false;
        QTest::newRow("format action 6") << 6 << false;
    }

    void unknownTagsChangeNothing()
    {
        QFETCH(int, tag);
        QFETCH(bool, restore);
        store().setObject("m", PrefKey::ChannelMode);
        const QMap<QString, QString> before = userLayer();
        QObject sender;
        sender.setProperty("tag", tag);
        if (restore)
            prefs->prefsWindow()->restoreDefaults(&sender);
        else
            prefs->prefsWindow()->formatChange(&sender);
        QCOMPARE(corruptNib, 1);
        QCOMPARE(userLayer(), before);
    }

    void tabSwitchResizesKeepingTheTopEdge_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        for (int from = 0; from < 5; ++from)
            for (int to = 0; to < 5; ++to)
                if (from != to)
                    QTest::addRow("%d to %d", from, to) << from << to;
    }

    void tabSwitchResizesKeepingTheTopEdge()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        auto *tabs = control<QTabWidget>("windowTabs");
        QCOMPARE(tabs->count(), 5);
        tabs->setCurrentIndex(from);
        QCOMPARE(window->height(), identifierOf(tabs->widget(from)));
        window->move(40, 60);
        const int top = window->geometry().top();
        const int oldHeight = window->height();
        const int newHeight = identifierOf(tabs->widget(to));
        QVERIFY(newHeight > 0);

        // The height the window has at the moment the new tab is shown.
        int heightWhenShown = -1;
        struct ShowWatcher : QObject
        {
            QWidget *window;
            int *seen;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Show)
                    *seen = window->height();
                return false;
            }
        } watcher;
        watcher.window = window;
        watcher.seen = &heightWhenShown;
        tabs->widget(to)->installEventFilter(&watcher);

        QTabBar *bar = tabs->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(to).center());
        tabs->widget(to)->removeEventFilter(&watcher);

        QCOMPARE(tabs->currentIndex(), to);
        QCOMPARE(window->height(), newHeight);
        QCOMPARE(window->geometry().top(), top);
        // Grown before a taller tab shows, shrunk only after a shorter one has.
        QCOMPARE(heightWhenShown, qMax(oldHeight, newHeight));
        QCOMPARE(store().integerForKey(PrefKey::SelectedTab), to);
    }

    void storedTabIsShownAtLoading_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("shown");
        QTest::newRow("absent") << QVariant() << 0;
        QTest::newRow("third") << QVariant(2) << 2;
        QTest::newRow("last") << QVariant(4) << 4;
        QTest::newRow("beyond the last") << QVariant(5) << 0;
        QTest::newRow("negative") << QVariant(-1) << 0;
    }

    void storedTabIsShownAtLoading()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, shown);
        if (stored.isValid())
            store().setInteger(stored.toInt(), PrefKey::SelectedTab);
        reload();
        auto *tabs = control<QTabWidget>("windowTabs");
        QCOMPARE(tabs->currentIndex(), shown);
        QCOMPARE(window->height(), identifierOf(tabs->widget(shown)));
        QCOMPARE(store().integerForKey(PrefKey::SelectedTab), shown);
    }

    void everyTabFitsItsHeight()
    {
        // The heights the description gives must hold each tab's controls, or the layout would
        // keep the window taller than asked.
        auto *tabs = control<QTabWidget>("windowTabs");
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QVERIFY2(window->minimumSizeHint().height() <= identifierOf(tabs->widget(i)),
                     qPrintable(tabs->tabText(i)));
        }
    }

    void changeShowsInNextRunsCommandLine()
    {
        choose(control<QComboBox>("bitRateMode"), 1);
        choose(control<QComboBox>("constantBitRate"), 192);
        const auto switches = LamePrefs().makeGlobalSwitches({}, false);
        QVERIFY(switches);
        const qsizetype at = switches->indexOf(QStringLiteral("-b"));
        QVERIFY(at >= 0 && at + 1 < switches->size());
        QCOMPARE(switches->at(at + 1), QStringLiteral("192"));
    }
};

QTEST_MAIN(PreferencesWindowTest)
#include "tst_preferenceswindow.moc"
