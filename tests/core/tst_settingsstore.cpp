#include "core/LamePrefs.h"
#include "core/SettingsStore.h"
#include "support/TestSettings.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

// The stored settings: reads of each written form, a restart, a corrupt file, the checked settings.
class tst_SettingsStore : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

  private slots:
    void conversions_data()
    {
        QTest::addColumn<QVariant>("value"); // written in the form of its type; invalid: nothing
        QTest::addColumn<QString>("reads");  // as a bool, an integer, a float and a string
        QTest::newRow("absent") << QVariant() << "false 0 0 null";
        QTest::newRow("real 44.1") << QVariant(44.1f) << "true 44 44.1 '44.1'";
        QTest::newRow("real 32") << QVariant(32.0f) << "true 32 32 '32'";
        QTest::newRow("real -2.75") << QVariant(-2.75f) << "true -2 -2.75 '-2.75'";
        QTest::newRow("integer 0") << QVariant(0) << "false 0 0 '0'";
        QTest::newRow("boolean true") << QVariant(true) << "true 1 1 '1'";
        QTest::newRow("text number") << QVariant("  42abc") << "true 42 42 '  42abc'";
        QTest::newRow("text real") << QVariant("-0.5x") << "false 0 -0.5 '-0.5x'";
        QTest::newRow("text YES") << QVariant("YES") << "true 0 0 'YES'";
        QTest::newRow("text 007") << QVariant("007") << "true 7 7 '007'";
        QTest::newRow("text exponent") << QVariant("1.5e2kHz") << "true 1 150 '1.5e2kHz'";
        QTest::newRow("text too large")
            << QVariant("-99999999999") << "true -2147483648 -1e+11 '-99999999999'";
        QTest::newRow("text empty") << QVariant("") << "false 0 0 ''";
    }
    void conversions()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, reads);
        const QString file = dir.filePath("conversions.conf");
        const auto written = TestSettings::makeStore(file, {{"Key", value}}, {});
        // A fresh store made from the file alone answers every read as before.
        SettingsStore reread(file);
        for (const SettingsStore *s : {written.get(), &reread}) {
            const QString text = s->stringForKey("Key");
            QCOMPARE(QStringList(
                         {s->boolForKey("Key") ? "true" : "false", QString::number(s->integerForKey("Key")),
                          QString::number(s->floatForKey("Key")), text.isNull() ? "null" : "'" + text + "'"})
                         .join(' '),
                     reads);
            QCOMPARE(s->objectForKey("Key"), value);
        }
        // Removing is kept across a restart too.
        written->removeObjectForKey("Key");
        QVERIFY(!SettingsStore(file).objectForKey("Key").isValid());
    }

    void corruptFileIsKeptAsideAndDefaultsServe_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("value without a form") << QByteArray("[General]\nBit%20Rate%20Mode=3\n");
        QTest::newRow("binary garbage") << QByteArray("\x00\xff\xfe[[[\x01=\x02\n", 11);
        QTest::newRow("bad number") << QByteArray("[General]\nCBR%20Bit%20Rate=i:12x\n");
    }
    void corruptFileIsKeptAsideAndDefaultsServe()
    {
        QFETCH(QByteArray, contents);
        const QString path = dir.filePath(QTest::currentDataTag() + QString(".conf"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() && file.flush());
        QTest::ignoreMessage(QtWarningMsg, "Error: corrupt preferences");
        SettingsStore store(path);
        store.registerDefaults({{"Bit Rate Mode", 1}});
        QCOMPARE(store.integerForKey("Bit Rate Mode"), 1);
        QFile aside(path + ".corrupt");
        QVERIFY(aside.open(QIODevice::ReadOnly) && aside.readAll() == contents);
        store.setInteger(2, "Bit Rate Mode");
        QCOMPARE(SettingsStore(path).integerForKey("Bit Rate Mode"), 2);
    }

    // A value a check refuses is repaired, logged once and stored: removed, so the registered value
    // (or none) shows again, or set to the first allowed one. Nothing stored stays nothing. Accepted
    // values are the argument builder's tests' (every value there must pass without a word).
    void repairs_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored"); // invalid: absent from both layers
        QTest::addColumn<QString>("shown");   // logged and stored where it differs from `stored`
        using namespace PrefKey;
        QTest::newRow("channel J") << ChannelMode << QVariant("J") << "";
        QTest::newRow("mode 7") << BitRateMode << QVariant(7) << "1";
        QTest::newRow("masking bad") << Masking << QVariant("--ath") << "";
        QTest::newRow("short blocks bad") << ShortBlocks << QVariant("--Short") << "--short";
        QTest::newRow("short blocks absent everywhere") << ShortBlocks << QVariant() << "--short";
    }
    void repairs()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QString, shown);
        const auto store = TestSettings::makeStore(dir.filePath("repairs.conf"), {{key, stored}});
        const LamePrefs prefs(*store);
        if (shown != stored.toString())
            QTest::ignoreMessage(QtWarningMsg, "Error: corrupt preferences");
        QTest::failOnWarning(QRegularExpression("."));
        using namespace PrefKey;
        const QString answer = key == ChannelMode   ? prefs.checkedChannelMode().value_or("")
                               : key == BitRateMode ? QString::number(prefs.checkedBitRateMode({1, 2, 3, 4}))
                               : key == Deemphasis  ? prefs.checkedDeemphasis()
                               : key == Masking     ? prefs.checkedMasking().value_or("")
                                                    : prefs.checkedShortBlocks();
        QCOMPARE(answer, shown);
        QCOMPARE(store->objectForKey(key).toString(), stored.isValid() ? shown : "");
    }

    // 0, the factory value, stands for the machine's cores, at most 8; no number exceeds the cores.
    void filesAtOnce()
    {
        const quint32 cores = quint32(QThread::idealThreadCount());
        QCOMPARE(LamePrefs::resolvedEncoders(0), std::min(cores, 8u));
        QCOMPARE(LamePrefs::resolvedEncoders(99), cores);
        QCOMPARE(LamePrefs::resolvedEncoders(1), 1u);
    }
};

QTEST_GUILESS_MAIN(tst_SettingsStore)
#include "tst_settingsstore.moc"
