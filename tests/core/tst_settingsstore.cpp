#include "core/LamePrefs.h"
#include "core/SettingsStore.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// The stored settings: the five read forms of each written form, the registration layer under
// the user layer, persistence across a restart, a corrupt file, the factory values and the
// repairs of the five checked settings.
class tst_SettingsStore : public QObject
{
    Q_OBJECT

    enum Form { Boolean, Integer, Real, Text };

  private slots:
    void conversions_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("asBool");
        QTest::addColumn<int>("asInteger");
        QTest::addColumn<float>("asFloat");
        QTest::addColumn<QString>("asString");

        QTest::newRow("real 44.1") << int(Real) << QVariant(44.1f) << true << 44 << 44.1f << "44.1";
        QTest::newRow("real 32") << int(Real) << QVariant(32.0f) << true << 32 << 32.0f << "32";
        QTest::newRow("real 8.8717") << int(Real) << QVariant(8.8717f) << true << 8 << 8.8717f << "8.8717";
        QTest::newRow("real -2.75") << int(Real) << QVariant(-2.75f) << true << -2 << -2.75f << "-2.75";
        QTest::newRow("real 0") << int(Real) << QVariant(0.0f) << false << 0 << 0.0f << "0";
        QTest::newRow("integer 128") << int(Integer) << QVariant(128) << true << 128 << 128.0f << "128";
        QTest::newRow("integer -5") << int(Integer) << QVariant(-5) << true << -5 << -5.0f << "-5";
        QTest::newRow("integer 0") << int(Integer) << QVariant(0) << false << 0 << 0.0f << "0";
        QTest::newRow("boolean true") << int(Boolean) << QVariant(true) << true << 1 << 1.0f << "1";
        QTest::newRow("boolean false") << int(Boolean) << QVariant(false) << false << 0 << 0.0f << "0";
        QTest::newRow("text number") << int(Text) << QVariant("  42abc") << true << 42 << 42.0f << "  42abc";
        QTest::newRow("text real") << int(Text) << QVariant("-0.5x") << false << 0 << -0.5f << "-0.5x";
        QTest::newRow("text YES") << int(Text) << QVariant("YES") << true << 0 << 0.0f << "YES";
        QTest::newRow("text true") << int(Text) << QVariant("true") << true << 0 << 0.0f << "true";
        QTest::newRow("text no") << int(Text) << QVariant("no") << false << 0 << 0.0f << "no";
        QTest::newRow("text 007") << int(Text) << QVariant("007") << true << 7 << 7.0f << "007";
        QTest::newRow("text exponent")
            << int(Text) << QVariant("1.5e2kHz") << true << 1 << 150.0f << "1.5e2kHz";
        QTest::newRow("text empty") << int(Text) << QVariant("") << false << 0 << 0.0f << "";
    }

    void conversions()
    {
        QFETCH(int, form);
        QFETCH(QVariant, value);
        QFETCH(bool, asBool);
        QFETCH(int, asInteger);
        QFETCH(float, asFloat);
        QFETCH(QString, asString);

        QTemporaryDir dir;
        const QString file = dir.filePath("settings.conf");
        {
            SettingsStore store(file);
            write(store, Form(form), value);
            check(store, asBool, asInteger, asFloat, asString, value);
        }
        // A fresh store made from the file alone answers every read as before.
        SettingsStore restarted(file);
        check(restarted, asBool, asInteger, asFloat, asString, value);
    }

    void absentKeyReadsAsNothing()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath("settings.conf"));
        QCOMPARE(store.boolForKey("Missing"), false);
        QCOMPARE(store.integerForKey("Missing"), 0);
        QCOMPARE(store.floatForKey("Missing"), 0.0f);
        QVERIFY(store.stringForKey("Missing").isNull());
        QVERIFY(!store.objectForKey("Missing").isValid());
    }

    void removingRevealsTheRegisteredValue()
    {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath("settings.conf"));
        store.registerDefaults({{"Registered", QString("j")}});
        store.setObject("m", "Registered");
        store.setObject("s", "Unregistered");
        QCOMPARE(store.stringForKey("Registered"), QString("m"));
        store.removeObjectForKey("Registered");
        store.removeObjectForKey("Unregistered");
        QCOMPARE(store.stringForKey("Registered"), QString("j"));
        QVERIFY(store.stringForKey("Unregistered").isNull());
        // Removing is kept across a restart too.
        SettingsStore restarted(dir.filePath("settings.conf"));
        QVERIFY(restarted.stringForKey("Unregistered").isNull());
    }

    void corruptFileIsKeptAsideAndDefaultsServe_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("value without a form") << QByteArray("[General]\nBit%20Rate%20Mode=3\n");
        static const char garbage[] = "\x00\xff\xfe[[[\x01=\x02\n";
        QTest::newRow("binary garbage") << QByteArray(garbage, sizeof garbage - 1);
        QTest::newRow("bad number") << QByteArray("[General]\nCBR%20Bit%20Rate=i:12x\n");
    }

    void corruptFileIsKeptAsideAndDefaultsServe()
    {
        QFETCH(QByteArray, contents);
        QTemporaryDir dir;
        const QString path = dir.filePath("settings.conf");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();

        QTest::ignoreMessage(QtWarningMsg, "Error: corrupt preferences");
        SettingsStore store(path);
        store.registerDefaults({{"Bit Rate Mode", 1}});
        QCOMPARE(store.integerForKey("Bit Rate Mode"), 1);

        QFile aside(path + ".corrupt");
        QVERIFY(aside.open(QIODevice::ReadOnly));
        QCOMPARE(aside.readAll(), contents);

        store.setInteger(2, "Bit Rate Mode");
        SettingsStore restarted(path);
        QCOMPARE(restarted.integerForKey("Bit Rate Mode"), 2);
    }

    // What cannot be written serves the session and is reported once, not once per write.
    void unwritableFolderIsReportedOnce()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("Orvik")); // a file where the folder should be, even for root
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        SettingsStore store(dir.filePath("Orvik/Orvik.conf"));
        QVERIFY(store.canSave());
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^Error: cannot save preferences to .*Orvik.conf"));
        QTest::failOnWarning(QRegularExpression("cannot save"));
        store.setInteger(2, "Bit Rate Mode");
        store.removeObjectForKey("Bit Rate Mode");
        store.setBool(true, "Checksum");
        QVERIFY(!store.canSave());
        QCOMPARE(store.boolForKey("Checksum"), true);
    }

    void factoryValues()
    {
        LamePrefs prefs;
        QCOMPARE(prefs.useTunes(), true);
        QCOMPARE(prefs.discPlaylists(), false);
        QCOMPARE(prefs.batchPlaylists(), true);
        SettingsStore &store = LamePrefs::preferences();
        // Everything the encoder is always given has a registered value...
        for (const QString &key :
             {PrefKey::BitRateMode, PrefKey::Deemphasis, PrefKey::ShortBlocks, PrefKey::CBRQuality,
              PrefKey::CBRBitRate, PrefKey::CBRATHType, PrefKey::ABRQuality, PrefKey::AverageBitRate,
              PrefKey::MinimumABRBitRate, PrefKey::MaximumABRBitRate, PrefKey::ABRATHType,
              PrefKey::VBRQuality, PrefKey::MinimumVBRBitRate, PrefKey::MaximumVBRBitRate})
            QVERIFY2(store.objectForKey(key).isValid(), qPrintable(key));
        // ...and nothing whose empty state must stay selectable.
        for (const QString &key :
             {PrefKey::ChannelMode, PrefKey::OutputSampleRate, PrefKey::Masking, PrefKey::UpperCutoff,
              PrefKey::LowpassWidth, PrefKey::LowerCutoff, PrefKey::HighpassWidth})
            QVERIFY2(!store.objectForKey(key).isValid(), qPrintable(key));
        QCOMPARE(store.stringForKey(PrefKey::TonalityLimit), QString("8.8717"));
        QCOMPARE(store.integerForKey(PrefKey::BitRateMode), 1);
    }

    void repairs_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("logged");
        QTest::addColumn<QVariant>("after");

        QTest::newRow("channel absent") << PrefKey::ChannelMode << QVariant() << "" << false << QVariant();
        QTest::newRow("channel j") << PrefKey::ChannelMode << QVariant("j") << "j" << false << QVariant("j");
        QTest::newRow("channel J") << PrefKey::ChannelMode << QVariant("J") << "" << true << QVariant();
        QTest::newRow("mode 4") << PrefKey::BitRateMode << QVariant(4) << "4" << false << QVariant(4);
        QTest::newRow("mode 7") << PrefKey::BitRateMode << QVariant(7) << "1" << true << QVariant(1);
        QTest::newRow("deemphasis c")
            << PrefKey::Deemphasis << QVariant("c") << "c" << false << QVariant("c");
        QTest::newRow("deemphasis N") << PrefKey::Deemphasis << QVariant("N") << "n" << true << QVariant("n");
        QTest::newRow("masking absent") << PrefKey::Masking << QVariant() << "" << false << QVariant();
        QTest::newRow("masking bad") << PrefKey::Masking << QVariant("--ath") << "" << true << QVariant();
        QTest::newRow("short blocks ok")
            << PrefKey::ShortBlocks << QVariant("--noshort") << "--noshort" << false << QVariant("--noshort");
        QTest::newRow("short blocks bad")
            << PrefKey::ShortBlocks << QVariant("--Short") << "--short" << true << QVariant("--short");
    }

    void repairs()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QString, shown);
        QFETCH(bool, logged);
        QFETCH(QVariant, after);

        LamePrefs prefs;
        SettingsStore &store = LamePrefs::preferences();
        if (stored.typeId() == QMetaType::Int)
            store.setInteger(stored.toInt(), key);
        else if (stored.isValid())
            store.setObject(stored.toString(), key);
        else
            store.removeObjectForKey(key);
        if (logged)
            QTest::ignoreMessage(QtWarningMsg, "Error: corrupt preferences");

        QString answer;
        if (key == PrefKey::ChannelMode)
            answer = prefs.checkedChannelMode().value_or(QString());
        else if (key == PrefKey::BitRateMode)
            answer = QString::number(prefs.checkedBitRateMode({1, 2, 3, 4}));
        else if (key == PrefKey::Deemphasis)
            answer = prefs.checkedDeemphasis();
        else if (key == PrefKey::Masking)
            answer = prefs.checkedMasking().value_or(QString());
        else
            answer = prefs.checkedShortBlocks();
        QCOMPARE(answer, shown);
        QCOMPARE(store.objectForKey(key), after);
        store.removeObjectForKey(key);
    }

    void shortBlocksAbsentEverywhereIsReportedEachTime()
    {
        // With the registered value gone too, every check logs the repair again.
        QTemporaryDir dir;
        LamePrefs prefs;
        SettingsStore &store = LamePrefs::preferences();
        store.registerDefaults({{PrefKey::ShortBlocks, QVariant()}});
        for (int launch = 0; launch < 2; ++launch) {
            QTest::ignoreMessage(QtWarningMsg, "Error: corrupt preferences");
            QCOMPARE(prefs.checkedShortBlocks(), QString("--short"));
        }
        store.registerDefaults({{PrefKey::ShortBlocks, QString("--short")}});
    }

  private:
    static void write(SettingsStore &store, Form form, const QVariant &value)
    {
        switch (form) {
        case Boolean:
            store.setBool(value.toBool(), "Key");
            break;
        case Integer:
            store.setInteger(value.toInt(), "Key");
            break;
        case Real:
            store.setFloat(value.toFloat(), "Key");
            break;
        case Text:
            store.setObject(value.toString(), "Key");
            break;
        }
    }

    static void check(const SettingsStore &store, bool asBool, int asInteger, float asFloat,
                      const QString &asString, const QVariant &object)
    {
        QCOMPARE(store.boolForKey("Key"), asBool);
        QCOMPARE(store.integerForKey("Key"), asInteger);
        QCOMPARE(store.floatForKey("Key"), asFloat);
        QCOMPARE(store.stringForKey("Key"), asString);
        QCOMPARE(store.objectForKey("Key"), object);
    }
};

QTEST_GUILESS_MAIN(tst_SettingsStore)
#include "tst_settingsstore.moc"
