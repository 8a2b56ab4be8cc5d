#include "core/LamePrefs.h"
#include "core/SettingsStore.h"
#include "support/TestSettings.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <climits>

// The stored settings: the five read forms of each written form, persistence across a restart, a
// corrupt file and the repairs of the five checked settings.
class tst_SettingsStore : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

  private slots:
    void conversions_data()
    {
        QTest::addColumn<QVariant>("value"); // written in the form of its type; invalid: nothing
        QTest::addColumn<bool>("asBool");
        QTest::addColumn<int>("asInteger");
        QTest::addColumn<float>("asFloat");
        QTest::addColumn<QString>("asString");

        QTest::newRow("absent") << QVariant() << false << 0 << 0.0f << QString();
        QTest::newRow("real 44.1") << QVariant(44.1f) << true << 44 << 44.1f << "44.1";
        QTest::newRow("real 32") << QVariant(32.0f) << true << 32 << 32.0f << "32";
        QTest::newRow("real 8.8717") << QVariant(8.8717f) << true << 8 << 8.8717f << "8.8717";
        QTest::newRow("real -2.75") << QVariant(-2.75f) << true << -2 << -2.75f << "-2.75";
        QTest::newRow("real 0") << QVariant(0.0f) << false << 0 << 0.0f << "0";
        QTest::newRow("integer 128") << QVariant(128) << true << 128 << 128.0f << "128";
        QTest::newRow("integer -5") << QVariant(-5) << true << -5 << -5.0f << "-5";
        QTest::newRow("integer 0") << QVariant(0) << false << 0 << 0.0f << "0";
        QTest::newRow("boolean true") << QVariant(true) << true << 1 << 1.0f << "1";
        QTest::newRow("boolean false") << QVariant(false) << false << 0 << 0.0f << "0";
        QTest::newRow("text number") << QVariant("  42abc") << true << 42 << 42.0f << "  42abc";
        QTest::newRow("text real") << QVariant("-0.5x") << false << 0 << -0.5f << "-0.5x";
        QTest::newRow("text YES") << QVariant("YES") << true << 0 << 0.0f << "YES";
        QTest::newRow("text true") << QVariant("true") << true << 0 << 0.0f << "true";
        QTest::newRow("text no") << QVariant("no") << false << 0 << 0.0f << "no";
        QTest::newRow("text 007") << QVariant("007") << true << 7 << 7.0f << "007";
        QTest::newRow("text exponent") << QVariant("1.5e2kHz") << true << 1 << 150.0f << "1.5e2kHz";
        QTest::newRow("text too large")
            << QVariant("-99999999999") << true << INT_MIN << -1e11f << "-99999999999";
        QTest::newRow("text empty") << QVariant("") << false << 0 << 0.0f << "";
    }
    void conversions()
    {
        QFETCH(QVariant, value);
        QFETCH(bool, asBool);
        QFETCH(int, asInteger);
        QFETCH(float, asFloat);
        QFETCH(QString, asString);

        const QString file = dir.filePath("conversions.conf");
        const auto written = TestSettings::makeStore(file, {{"Key", value}}, {});
        // A fresh store made from the file alone answers every read as before.
        SettingsStore reread(file);
        for (const SettingsStore *store : {written.get(), &reread}) {
            QCOMPARE(store->boolForKey("Key"), asBool);
            QCOMPARE(store->integerForKey("Key"), asInteger);
            QCOMPARE(store->floatForKey("Key"), asFloat);
            QCOMPARE(store->stringForKey("Key"), asString);
            QCOMPARE(store->stringForKey("Key").isNull(), asString.isNull());
            QCOMPARE(store->objectForKey("Key"), value);
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
        QTemporaryDir folder;
        const QString path = folder.filePath("settings.conf");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
        file.close();

        QTest::ignoreMessage(QtWarningMsg, "Error: corrupt preferences");
        SettingsStore store(path);
        store.registerDefaults({{"Bit Rate Mode", 1}});
        QCOMPARE(store.integerForKey("Bit Rate Mode"), 1);
        QFile aside(path + ".corrupt");
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), contents);
        store.setInteger(2, "Bit Rate Mode");
        QCOMPARE(SettingsStore(path).integerForKey("Bit Rate Mode"), 2);
    }

    // A value a check refuses is logged once and repaired: removed, so the registered value (or
    // none) shows again, or set to the first allowed one.
    void repairs_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored"); // invalid: absent from both layers
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QVariant>("after");
        QTest::addColumn<bool>("logged");
        const auto row = [](const char *name, const QString &key, const QVariant &stored,
                            const QString &shown, const QVariant &after, bool logged) {
            QTest::newRow(name) << key << stored << shown << after << logged;
        };
        using namespace PrefKey;
        row("channel absent", ChannelMode, {}, "", {}, false);
        row("channel j", ChannelMode, "j", "j", "j", false);
        row("channel J", ChannelMode, "J", "", {}, true);
        row("mode 4", BitRateMode, 4, "4", 4, false);
        row("mode 7", BitRateMode, 7, "1", 1, true);
        row("deemphasis c", Deemphasis, "c", "c", "c", false);
        row("deemphasis N", Deemphasis, "N", "n", "n", true);
        row("masking absent", Masking, {}, "", {}, false);
        row("masking bad", Masking, "--ath", "", {}, true);
        row("short blocks ok", ShortBlocks, "--noshort", "--noshort", "--noshort", false);
        row("short blocks bad", ShortBlocks, "--Short", "--short", "--short", true);
        // 0, the factory value, stands for the machine's cores, at most 8; no number exceeds them.
        const QString cores = QString::number(std::min(QThread::idealThreadCount(), 8));
        row("files at once 0", EncodersAtOnce, 0, cores, 0, false);
        row("files at once 99", EncodersAtOnce, 99, QString::number(QThread::idealThreadCount()), 99, false);
        row("short blocks absent everywhere", ShortBlocks, {}, "--short", {}, true);
    }
    void repairs()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QString, shown);
        QFETCH(QVariant, after);
        QFETCH(bool, logged);
        const auto store = TestSettings::makeStore(dir.filePath("repairs.conf"), {{key, stored}});
        const LamePrefs prefs(*store);
        if (logged)
            QTest::ignoreMessage(QtWarningMsg, "Error: corrupt preferences");
        QTest::failOnWarning(QRegularExpression("."));
        using namespace PrefKey;
        const QString answer = key == ChannelMode   ? prefs.checkedChannelMode().value_or("")
                               : key == BitRateMode ? QString::number(prefs.checkedBitRateMode({1, 2, 3, 4}))
                               : key == Deemphasis  ? prefs.checkedDeemphasis()
                               : key == EncodersAtOnce ? QString::number(prefs.encodersAtOnce())
                               : key == Masking        ? prefs.checkedMasking().value_or("")
                                                       : prefs.checkedShortBlocks();
        QCOMPARE(answer, shown);
        QCOMPARE(store->objectForKey(key), after);
    }
};

QTEST_GUILESS_MAIN(tst_SettingsStore)
#include "tst_settingsstore.moc"
