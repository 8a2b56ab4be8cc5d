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

// The texts the translation script finds, as [context, source, disambiguation, English]; empty when
// it fails. `noRepository`: as in a source archive, where git finds no repository.
QJsonArray listTexts(bool noRepository)
{
    QProcess lister;
    if (noRepository)
        lister.setEnvironment(QProcess::systemEnvironment() << "GIT_DIR=/nonexistent");
    lister.start("python3", {ORVIK_SOURCE_DIR "/scripts/update-translations.py", "--list"});
    if (lister.waitForFinished(120000) && lister.exitStatus() == QProcess::NormalExit &&
        lister.exitCode() == 0)
        return QJsonDocument::fromJson(lister.readAllStandardOutput()).array();
    qWarning("%s", lister.readAllStandardError().constData());
    return {};
}
} // namespace

class TranslationsTest : public QObject
{
    Q_OBJECT

  private slots:
    // Every text the code and the window descriptions hold now, found the way the .ts files are
    // made, must have a German text in the built translation: a text added without German, or a
    // .ts file not brought up to date, fails here. A source archive has no repository to ask for
    // the files: the texts are found all the same.
    void everyTextHasGerman()
    {
        const QJsonArray texts = listTexts(false);
        QCOMPARE(listTexts(true), texts);
        QTranslator german;
        QVERIFY(german.load(QStringLiteral(":/translations/orvik_de.qm")));
        QStringList problems;
        QSet<QString> contexts;
        for (const QJsonValue &text : texts) {
            const QByteArray context = text[0].toString().toUtf8(), source = text[1].toString().toUtf8(),
                             comment = text[2].toString().toUtf8();
            const QString translated =
                german.translate(context, source, comment.isEmpty() ? nullptr : comment.data());
            const QString name = QString::fromUtf8(context + '/' + source);
            if (translated.isEmpty())
                problems << name + " has no German";
            else if (placeholders(translated) != placeholders(text[3].toString()))
                problems << name + " changes the placeholders of " + text[3].toString();
            contexts << text[0].toString();
        }
        // Every table, the windows and the menus are in the listing.
        for (const char *context :
             {"Global", "Progress", "Batch", "Rip", "BatchWindow", "progressSheet", "AppMenu"})
            QVERIFY2(contexts.contains(QLatin1String(context)), context);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    // The table is the context and the key the source text, as in the .ts files; a locale without
    // a translation, after one with, shows the default texts again.
    void followsTheLocale()
    {
        for (const auto &[locale, german] : {std::pair{"de_DE", true}, {"de_AT", true}, {"fr_FR", false}}) {
            QVERIFY(installTranslation(QLocale(QStringLiteral("de_DE"))));
            QCOMPARE(installTranslation(QLocale(locale)), german);
            QCOMPARE(localizedString("QuitTitle", "Quit Orvik?", "Global") + ' ' +
                         localizedFormat(localizedString("RemainingTime", "ETA: %@ (%d%%)", "Progress"),
                                         {"0:05", 42}),
                     QString(german ? "Orvik beenden? Restzeit: 0:05 (42%)" : "Quit Orvik? ETA: 0:05 (42%)"));
        }
    }
};

QTEST_GUILESS_MAIN(TranslationsTest)
#include "tst_translations.moc"
