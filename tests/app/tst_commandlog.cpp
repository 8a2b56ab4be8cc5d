// The command log: the shell-like form of command lines, the joining of output chunks, the two
// text styles, clearing, and the window.
#include "app/CommandLog.h"
#include "core/LamePrefs.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTextCursor>
#include <QtTest>

namespace {
// The font of the character at `position` of the log.
QFont fontAt(const CommandLog &log, int position)
{
    QTextCursor cursor(log.document());
    cursor.setPosition(position);
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    return cursor.charFormat().font();
}

void logProcess(CommandLog &log, const QString &program, const QStringList &arguments)
{
    QProcess task;
    task.setProgram(program);
    task.setArguments(arguments);
    log.logCommand(&task);
}
} // namespace

class TestCommandLog : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void lines_data()
    {
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        // A command alone in the log, in its shell-like form.
        auto command = [](const char *name, const QString &program, const QStringList &arguments,
                          const QString &line) {
            QTest::newRow(name) << QStringList() << program << arguments << u'\n' + line + u'\n';
        };
        // Output chunks, then a command.
        auto after = [](const char *name, const QStringList &chunks, const QString &text) {
            QTest::newRow(name) << chunks << "/x/lame" << QStringList{"-V"} << text;
        };

        command("bare, single and double quotes", "/usr/share/orvik/encoder/lame",
                {"-h", "my file.aiff", "it's"}, "lame -h 'my file.aiff' \"it's\"");
        command("space and single quote", "lame", {"it's \"$HOME\""}, "lame \"it's \"$HOME\"\"");
        command("tab alone stays bare", "lame", {"a\tb"}, "lame a\tb");
        command("empty argument is one space", "lame", {"", "x"}, "lame  x");
        command("folder dropped from the program", "/some/folder/lame", {}, "lame");
        command("nothing escaped, characters outside the set bare", "lame",
                {"`id`", "a&b", "~/x", "#c", "!", "é\nx", "a\\'b"}, "lame `id` a&b ~/x #c ! é\nx \"a\\'b\"");
        after("after a finished line", {"done\n"}, "done\n\nlame -V\n");
        after("after an unfinished line", {"50%"}, "50%\nlame -V\n");
        after("split chunks joined", {"Encod", "ing x", ".wav\n"}, "Encoding x.wav\n\nlame -V\n");
        after("carriage returns break lines", {"\r  1/40", "\r 40/40\n"}, "\n  1/40\n 40/40\n\nlame -V\n");
        after("CR LF split between chunks is one break", {"a\r", "\nb\r\n"}, "a\nb\n\nlame -V\n");
        after("cleared: the command starts at the top", {"text\r", "<clear>"}, "\nlame -V\n");
        // A line of megabytes would stall the window for minutes: it is shown cut, with a note.
        const QString cut = QStringLiteral(" … (%1 more characters of this line left out)");
        const QString tenMegabytes(10 * 1024 * 1024, u'x');
        command("10 MB argument", "lame", {tenMegabytes},
                "lame " + tenMegabytes.left(16384 - 5) + cut.arg(tenMegabytes.size() + 5 - 16384));
        after("long line over two chunks, then a short one",
              {QString(10000, u'y'), QString(10000, u'y') + "\nok\r"},
              QString(16384, u'y') + cut.arg(20000 - 16384) + "\nok\nlame -V\n");
    }

    void lines()
    {
        QFETCH(QStringList, chunks);
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);

        CommandLog log;
        for (const QString &chunk : chunks)
            chunk == "<clear>" ? log.clearLog() : log.logOutput(chunk);
        logProcess(log, program, arguments);
        QCOMPARE(log.text(), expected);
    }

    void textStyles()
    {
        // Commands in bold in the system font; output in the fixed-pitch font at the size stored when
        // it came, or the font's own size when the stored one is not a size.
        CommandLog log;
        logProcess(log, "lame", {"-h"});
        for (int at = 1; at < 8; ++at) {
            QVERIFY(fontAt(log, at).bold());
            QCOMPARE(fontAt(log, at).family(),
                     QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
        }
        SettingsStore &store = LamePrefs::preferences();
        const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        const QList<std::pair<QVariant, qreal>> sizes = {
            {17.5f, 17.5}, {"12", 12.0}, {0.0f, fixed.pointSizeF()}, {-3.0f, fixed.pointSizeF()}};
        for (const auto &[stored, size] : sizes) {
            if (stored.typeId() == QMetaType::Float)
                store.setFloat(stored.toFloat(), PrefKey::FixedPitchFontSize);
            else
                store.setObject(stored.toString(), PrefKey::FixedPitchFontSize);
            log.logOutput("x");
            const QFont font = fontAt(log, int(log.text().size()) - 1);
            QVERIFY(!font.bold());
            QCOMPARE(font.family(), fixed.family());
            QCOMPARE(font.pointSizeF(), size);
        }
        store.removeObjectForKey(PrefKey::FixedPitchFontSize);
    }

    void hiddenWindowMissesNothing()
    {
        // The view shows the log only while the window is open; what came meanwhile is shown on opening.
        CommandLog log;
        log.logOutput("hidden\n");
        log.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(log.window()));
        log.logOutput("open\n");
        QCOMPARE(log.textView()->toPlainText(), QStringLiteral("hidden\nopen\n"));
        log.window()->hide();
        log.logOutput("closed\n");
        log.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(log.window()));
        QCOMPARE(log.textView()->toPlainText(), QStringLiteral("hidden\nopen\nclosed\n"));
        log.window()->findChild<QPushButton *>("clearLogButton")->click();
        QCOMPARE(log.text(), QString());
    }
};

QTEST_MAIN(TestCommandLog)
#include "tst_commandlog.moc"
