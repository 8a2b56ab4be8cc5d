#include "platform/LocalizedStrings.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTranslator>
#include <QtTest>

namespace {
QStringList placeholders(const QString &format)
{
    static const QRegularExpression directive(QStringLiteral("%[@ud%]"));
    QStringList found;
    for (QRegularExpressionMatchIterator it = directive.globalMatch(format); it.hasNext();)
        found << it.next().captured();
    return found;
}

QString unescaped(const QString &field)
{
    static const QRegularExpression escape(QStringLiteral(R"(\\(.))"));
    QString text;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator it = escape.globalMatch(field); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QChar c = match.captured(1).at(0);
        text += field.mid(from, match.capturedStart() - from);
        text += c == u'n' ? QChar(u'\n') : c == u't' ? QChar(u'\t') : c;
        from = match.capturedEnd();
    }
    return text + field.mid(from);
}
} // namespace

class TranslationsTest : public QObject
{
    Q_OBJECT

  private slots:
    // Every text the code and the window descriptions hold now, found the way the .ts files are
    // made, must have a German text in the built translation: a text added without German, or a
    // .ts file not brought up to date, fails here.
    void everyTextHasGerman()
    {
        QProcess lister;
        lister.start(QStringLiteral("python3"),
                     {QStringLiteral(ORVIK_SOURCE_DIR "/scripts/update-translations.py"), QStringLiteral("--list")});
        QVERIFY(lister.waitForFinished(120000));
        QVERIFY2(lister.exitCode() == 0, lister.readAllStandardError().constData());
        QTranslator german;
        QVERIFY(german.load(QStringLiteral(":/translations/orvik_de.qm")));

        QStringList problems;
        const QStringList lines = QString::fromUtf8(lister.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        for (const QString &line : lines) {
            const QStringList fields = line.split(u'\t');
            QCOMPARE(fields.size(), 4);
            const QByteArray context = unescaped(fields.at(0)).toUtf8();
            const QByteArray source = unescaped(fields.at(1)).toUtf8();
            const QByteArray comment = unescaped(fields.at(2)).toUtf8();
            const QString english = unescaped(fields.at(3));
            const QString translated = german.translate(context, source, comment.isEmpty() ? nullptr : comment.constData());
            if (translated.isEmpty())
                problems << QStringLiteral("%1/%2 has no German").arg(fields.at(0), fields.at(1));
            else if (placeholders(translated) != placeholders(english))
                problems << QStringLiteral("%1/%2 changes the placeholders of \"%3\"").arg(fields.at(0), fields.at(1), english);
        }
        // Every table and every window description is in the listing.
        for (const char *context : {"Global\t", "Progress\t", "Batch\t", "Rip\t", "BatchWindow\t", "progressSheet\t"})
            QVERIFY2(lines.filter(QRegularExpression(QStringLiteral("^") + QLatin1String(context))).size() > 5, context);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
    }

    void followsTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("translated");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("status");

        QTest::newRow("German") << "de_DE" << true << "Orvik beenden?" << "Restzeit: 0:05 (42%)";
        QTest::newRow("Austrian German") << "de_AT" << true << "Orvik beenden?" << "Restzeit: 0:05 (42%)";
        QTest::newRow("French, no translation") << "fr_FR" << false << "Quit Orvik?" << "ETA: 0:05 (42%)";
        QTest::newRow("English") << "en_US" << false << "Quit Orvik?" << "ETA: 0:05 (42%)";
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
        QCOMPARE(localizedFormat(localizedString("RemainingTime", "ETA: %@ (%d%%)", "Progress"), {"0:05", 42}), status);
    }
};

QTEST_GUILESS_MAIN(TranslationsTest)
#include "tst_translations.moc"
