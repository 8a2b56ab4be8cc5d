// The quality entries: each, chosen over settings none of them holds, is what the store shows,
// also after a restart, and what the command line says; one knob moved makes the settings custom.
#include "core/QualityPresets.h"
#include "support/TestSettings.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_QualityPresets : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

  private slots:
    void entries_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("switches"); // the encoder's documented preset
        QTest::addColumn<QString>("moved");    // a key whose change to `value` makes the settings custom
        QTest::addColumn<QString>("value");
        QTest::newRow("smallest") << 1 << " --vbr-new -V 5 -b 32 -B 320 " << PrefKey::VBRQuality << "6";
        QTest::newRow("good") << 2 << " --vbr-new -V 4 -b 32 -B 320 " << PrefKey::ChannelMode << "j";
        QTest::newRow("transparent") << 3 << " --vbr-new -V 2 -b 32 -B 320 " << PrefKey::MaximumVBRBitRate
                                     << "256";
        QTest::newRow("best variable")
            << 4 << " --vbr-new -V 0 -b 32 -B 320 " << PrefKey::OutputSampleRate << "44.1";
        QTest::newRow("highest") << 5 << " -q 2 -b 320 " << PrefKey::CBRReservoir << "false";
    }

    void entries()
    {
        QFETCH(int, tag);
        QFETCH(QString, switches);
        QFETCH(QString, moved);
        QFETCH(QString, value);
        const QString file = dir.filePath(QTest::currentDataTag());
        auto store = TestSettings::makeStore(file, {{PrefKey::ChannelMode, "m"},
                                                    {PrefKey::OutputSampleRate, 32.0f},
                                                    {PrefKey::EnableFiltering, false},
                                                    {PrefKey::EnableHighpass, true},
                                                    {PrefKey::LowerCutoff, 0.1f},
                                                    {PrefKey::BitRateMode, 2},
                                                    {PrefKey::VBRQuality, 9},
                                                    {PrefKey::MaximumVBRBitRate, 160},
                                                    {PrefKey::VBREnforceMinimum, true},
                                                    {PrefKey::CBRBitRate, 64},
                                                    {PrefKey::CBRReservoir, false}});
        QVERIFY(QualityPresets::matching(*store) == 0 && QualityPresets::apply(*store, tag));
        const QString line = LamePrefs::makeGlobalSwitches(*store, {}, false).value().join(u' ');
        for (const char *absent : {"-m ", "--resample", "-k ", "pass", "-F"})
            QVERIFY2(line.contains(switches) && !line.contains(absent), qPrintable(line));
        store = std::make_unique<SettingsStore>(file); // a restart
        store->registerDefaults(LamePrefs::factoryValues());
        QCOMPARE(QualityPresets::matching(*store), tag);
        store->setObject(value, moved);
        QCOMPARE(QualityPresets::matching(*store), 0);
    }

    void factorySettingsAreCustom()
    {
        auto store = TestSettings::makeStore(dir.filePath("factory"));
        QCOMPARE(QualityPresets::matching(*store), 0);
        QVERIFY(!QualityPresets::apply(*store, 0) && !QualityPresets::apply(*store, 6));
        QCOMPARE(store->integerForKey(PrefKey::BitRateMode), 1);
    }
};

QTEST_GUILESS_MAIN(tst_QualityPresets)
#include "tst_qualitypresets.moc"
