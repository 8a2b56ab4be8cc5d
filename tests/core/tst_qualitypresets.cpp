// The quality entries: each one, chosen over any other settings, is what the store then shows and
// what the command line says; any knob moved afterwards makes the settings custom again.
#include "core/LamePrefs.h"
#include "core/QualityPresets.h"
#include "support/TestSettings.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_QualityPresets : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    // Settings that none of the entries holds, so that choosing one must write each of its keys.
    const QVariantMap scattered = {{PrefKey::ChannelMode, "m"},       {PrefKey::OutputSampleRate, 32.0f},
                                   {PrefKey::EnableFiltering, false}, {PrefKey::EnableHighpass, true},
                                   {PrefKey::LowerCutoff, 0.1f},      {PrefKey::BitRateMode, 2},
                                   {PrefKey::VBRQuality, 9},          {PrefKey::MinimumVBRBitRate, 128},
                                   {PrefKey::MaximumVBRBitRate, 160}, {PrefKey::VBREnforceMinimum, true},
                                   {PrefKey::VBRXingTag, false},      {PrefKey::CBRBitRate, 64},
                                   {PrefKey::CBRQuality, 7},          {PrefKey::CBRReservoir, false}};

  private slots:
    void entries_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("switches"); // the encoder's documented preset, as it is given
        QTest::addColumn<QString>("moved");    // a key whose change makes the settings custom
        QTest::addColumn<QVariant>("value");
        QTest::newRow("smallest") << 1 << "--vbr-new -V 5 -b 32 -B 320" << PrefKey::VBRQuality << QVariant(6);
        QTest::newRow("good") << 2 << "--vbr-new -V 4 -b 32 -B 320" << PrefKey::ChannelMode << QVariant("j");
        QTest::newRow("transparent") << 3 << "--vbr-new -V 2 -b 32 -B 320" << PrefKey::MaximumVBRBitRate
                                     << QVariant(256);
        QTest::newRow("best variable")
            << 4 << "--vbr-new -V 0 -b 32 -B 320" << PrefKey::OutputSampleRate << QVariant(44.1f);
        QTest::newRow("highest") << 5 << "-q 2 -b 320" << PrefKey::CBRReservoir << QVariant(false);
    }

    void entries()
    {
        QFETCH(int, tag);
        QFETCH(QString, switches);
        QFETCH(QString, moved);
        QFETCH(QVariant, value);
        const QString file = dir.filePath(QTest::currentDataTag());
        auto store = TestSettings::makeStore(file, scattered);
        QCOMPARE(QualityPresets::matching(*store), 0);
        QVERIFY(QualityPresets::apply(*store, tag));
        QCOMPARE(QualityPresets::matching(*store), tag);
        const QString line = LamePrefs::makeGlobalSwitches(*store, {}, false).value().join(u' ');
        QVERIFY2(line.contains(u' ' + switches + u' ') && !line.contains("-m ") &&
                     !line.contains("--resample") && !line.contains("-k ") && !line.contains("pass"),
                 qPrintable(line));
        // What was chosen is what the store holds after a restart.
        store.reset();
        store = std::make_unique<SettingsStore>(file);
        store->registerDefaults(LamePrefs::factoryValues());
        QCOMPARE(QualityPresets::matching(*store), tag);
        store = TestSettings::makeStore(file + "2");
        QVERIFY(QualityPresets::apply(*store, tag));
        if (value.typeId() == QMetaType::QString)
            store->setObject(value.toString(), moved);
        else if (value.typeId() == QMetaType::Bool)
            store->setBool(value.toBool(), moved);
        else if (value.typeId() == QMetaType::Float)
            store->setFloat(value.toFloat(), moved);
        else
            store->setInteger(value.toInt(), moved);
        QCOMPARE(QualityPresets::matching(*store), 0);
    }

    void factorySettingsAndUnknownTags()
    {
        auto store = TestSettings::makeStore(dir.filePath("factory"));
        // The factory's 128 kbit/s constant is none of the entries.
        QCOMPARE(QualityPresets::matching(*store), 0);
        QVERIFY(!QualityPresets::apply(*store, 0) && !QualityPresets::apply(*store, 6));
        QCOMPARE(store->integerForKey(PrefKey::BitRateMode), 1);
    }
};

QTEST_GUILESS_MAIN(tst_QualityPresets)
#include "tst_qualitypresets.moc"
