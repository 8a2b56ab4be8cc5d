#include "platform/LocalizedStrings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTranslator>
#include <QtTest>

namespace {
QStringList placeholders(const QString &format)
{
    static const QRegularExpression directive(QStringLiteral("%[@udn%]"));
    QStringList found;
    for (QRegularExpressionMatchIterator it = directive.globalMatch(format); it.hasNext();)
        found << it.next().captured();
    return found;
}
} // namespace

class TranslationsTest : public QObject
{
    Q_OBJECT

    // The texts the translation script finds, as [context, source, disambiguation, English];
    // `noRepository`: as in a source archive, where git finds no repository.
    static bool listTexts(bool noRepository, QJsonArray &texts)
    {
        QProcess lister;
        if (noRepository) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("GIT_DIR"), QStringLiteral("/nonexistent"));
            lister.setProcessEnvironment(environment);
        }
        lister.start(
            QStringLiteral("python3"),
            {QStringLiteral(ORVIK_SOURCE_DIR "/scripts/update-translations.py"), QStringLiteral("--list")});
        if (!lister.waitForFinished(120000) || lister.exitStatus() != QProcess::NormalExit ||
            lister.exitCode() != 0) {
            qWarning("%s", lister.readAllStandardError().constData());
            return false;
        }
        texts = QJsonDocument::fromJson(lister.readAllStandardOutput()).array();
        return true;
    }

  private slots:
    // Every text the code and the window descriptions hold now, found the way the .ts files are
    // made, must have a German text in the built translation: a text added without German, or a
    // .ts file not brought up to date, fails here. A source archive has no repository to ask for
    // the files: the texts are found all the same.
    void everyTextHasGerman()
    {
        QJsonArray texts;
        QVERIFY(listTexts(false, texts));
        QJsonArray withoutRepository;
        QVERIFY(listTexts(true, withoutRepository));
        QCOMPARE(withoutRepository, texts);
        QTranslator german;
        QVERIFY(german.load(QStringLiteral(":/translations/orvik_de.qm")));

        QStringList problems;
        QSet<QString> contexts;
        for (const QJsonValue &text : texts) {
            const QByteArray context = text[0].toString().toUtf8();
            const QByteArray source = text[1].toString().toUtf8();
            const QByteArray comment = text[2].toString().toUtf8();
            const QString english = text[3].toString();
            const QString translated =
                german.translate(context, source, comment.isEmpty() ? nullptr : comment.data());
            const QString name = QString::fromUtf8(context + '/' + source);
            if (translated.isEmpty())
                problems << name + QStringLiteral(" has no German");
            else if (placeholders(translated) != placeholders(english))
                problems << name + QStringLiteral(" changes the placeholders of ") + english;
            contexts << text[0].toString();
        }
        // Every table, the windows and the menus are in the listing.
        for (const char *context :
             {"Global", "Progress", "Batch", "Rip", "BatchWindow", "progressSheet", "AppMenu"})
            QVERIFY2(contexts.contains(QLatin1String(context)), context);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void followsTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("translated");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("status");

        QTest::newRow("German") << "de_DE" << true << "Orvik beenden?"
                                << "Restzeit: 0:05 (42%)";
        QTest::newRow("Austrian German") << "de_AT" << true << "Orvik beenden?"
                                         << "Restzeit: 0:05 (42%)";
        QTest::newRow("French, no translation") << "fr_FR" << false << "Quit Orvik?"
                                                << "ETA: 0:05 (42%)";
        QTest::newRow("English") << "en_US" << false << "Quit Orvik?"
                                 << "ETA: 0:05 (42%)";
    }

    // The table is the context and the key the source text, as in the .ts files; a locale without
    // a translation, after one with, shows the default texts again.
    void followsTheLocale()
    {
        QFETCH(QString, locale);
        QFETCH(bool, translated);
        QFETCH(QString, title);
        QFETCH(QString, status);
        QVERIFY(installTranslation(QLocale(QStringLiteral("de_DE"))));
        QCOMPARE(installTranslation(QLocale(locale)), translated);
        QCOMPARE(localizedString("QuitTitle", "Quit Orvik?", "Global"), title);
        QCOMPARE(
            localizedFormat(localizedString("RemainingTime", "ETA: %@ (%d%%)", "Progress"), {"0:05", 42}),
            status);
    }
};

QTEST_GUILESS_MAIN(TranslationsTest)
#include "tst_translations.moc"
