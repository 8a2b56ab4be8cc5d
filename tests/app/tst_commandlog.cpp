// The command log: the shell-like form of command lines, the two text styles, the order and
// joining of output chunks, clearing, and the window.
#include "app/CommandLog.h"
#include "settings/LamePrefs.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QtTest>

namespace {
// The character format of the character at `position` of the log's document.
QTextCharFormat formatAt(const CommandLog &log, int position)
{
    QTextCursor cursor(log.document());
    cursor.setPosition(position);
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    return cursor.charFormat();
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
    void init() { LamePrefs::preferences().removeObjectForKey(PrefKey::FixedPitchFontSize); }

    void quoting_data();
    void quoting();
    void eachSpecialCharacterIsQuoted();
    void commandsStandOnTheirOwnLines_data();
    void commandsStandOnTheirOwnLines();
    void nullTaskWritesNothing();
    void commandStyle();
    void outputStyleFollowsTheStoredSize();
    void clearing();
    void window();
    void followsTheEndOnlyWhenTheReaderIsThere();
};

void TestCommandLog::quoting_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");

    QTest::newRow("bare, single and double quotes")
        << "/usr/share/orvik/encoder/lame" << QStringList{"-h", "my file.aiff", "it's"}
        << "lame -h 'my file.aiff' \"it's\"";
    QTest::newRow("space and single quote with double quote and dollar")
        << "lame" << QStringList{"it's \"$HOME\""} << "lame \"it's \"$HOME\"\"";
    QTest::newRow("tab alone stays bare") << "lame" << QStringList{"a\tb"} << "lame a\tb";
    QTest::newRow("empty argument is one space") << "lame" << QStringList{"", "x"} << "lame  x";
    QTest::newRow("folder dropped from the program") << "/some/folder/lame" << QStringList() << "lame";
    QTest::newRow("trailing slash") << "/some/folder/" << QStringList() << "folder";
    QTest::newRow("characters outside the set stay bare")
        << "lame" << QStringList{"`id`", "a&b", "~/x", "#c", "!", "-x", "--tt", "é\nx"}
        << "lame `id` a&b ~/x #c ! -x --tt é\nx";
    QTest::newRow("argument never altered")
        << "lame" << QStringList{"a\\'b", "$(rm -rf /);"} << "lame \"a\\'b\" '$(rm -rf /);'";
}

void TestCommandLog::quoting()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);

    QCOMPARE(CommandLog::commandLine(program, arguments), expected);
    CommandLog log;
    logProcess(log, program, arguments);
    QCOMPARE(log.text(), u'\n' + expected + u'\n');
}

void TestCommandLog::eachSpecialCharacterIsQuoted()
{
    const QString specials = QStringLiteral("\"';\\[]{}()$=<>|*? ");
    QCOMPARE(specials.size(), 18);
    for (const QChar c : specials) {
        const QString argument = QStringLiteral("a") + c + QStringLiteral("b");
        const QString expected = c == u'\'' ? u'"' + argument + u'"' : u'\'' + argument + u'\'';
        QCOMPARE(CommandLog::commandLine("lame", {argument}), QStringLiteral("lame ") + expected);
    }
}

void TestCommandLog::commandsStandOnTheirOwnLines_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty log") << QStringList() << "\nlame -V\n";
    QTest::newRow("after a finished line") << QStringList{"done\n"} << "done\n\nlame -V\n";
    QTest::newRow("after an unfinished line") << QStringList{"50%"} << "50%\nlame -V\n";
    QTest::newRow("split chunks joined")
        << QStringList{"Encod", "ing x", ".wav\n"} << "Encoding x.wav\n\nlame -V\n";
    QTest::newRow("carriage returns break lines")
        << QStringList{"\r  1/40", "\r  2/40", "\r 40/40\n"} << "\n  1/40\n  2/40\n 40/40\n\nlame -V\n";
    QTest::newRow("CR LF split between chunks is one break")
        << QStringList{"a\r", "\nb\r\n"} << "a\nb\n\nlame -V\n";
    QTest::newRow("unicode passes") << QStringList{"Grüße ", "✓\n"} << "Grüße ✓\n\nlame -V\n";
}

void TestCommandLog::commandsStandOnTheirOwnLines()
{
    QFETCH(QStringList, before);
    QFETCH(QString, expected);

    CommandLog log;
    for (const QString &chunk : before)
        log.logOutput(chunk);
    logProcess(log, "/x/lame", {"-V"});
    QCOMPARE(log.text(), expected);
}

void TestCommandLog::nullTaskWritesNothing()
{
    CommandLog log;
    log.logOutput("x");
    log.logCommand(nullptr);
    QCOMPARE(log.text(), QStringLiteral("x"));
}

void TestCommandLog::commandStyle()
{
    CommandLog log;
    log.logOutput("out");
    logProcess(log, "lame", {"-h"});
    log.logOutput("more");

    const QString text = log.text();
    const int command = int(text.indexOf("lame"));
    for (int at = command; at < command + 7; ++at) {
        const QFont font = formatAt(log, at).font();
        QVERIFY2(font.bold(), qPrintable(QString("character %1").arg(at)));
        QCOMPARE(font.family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    }
    for (int at : {0, int(text.indexOf("more"))}) {
        const QFont font = formatAt(log, at).font();
        QVERIFY(!font.bold());
        QCOMPARE(font.family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    }
}

void TestCommandLog::outputStyleFollowsTheStoredSize()
{
    CommandLog log;
    SettingsStore &store = LamePrefs::preferences();
    const qreal defaultSize = QFontDatabase::systemFont(QFontDatabase::FixedFont).pointSizeF();

    log.logOutput("a");
    store.setFloat(17.5f, PrefKey::FixedPitchFontSize);
    log.logOutput("b");
    store.setFloat(9.0f, PrefKey::FixedPitchFontSize);
    log.logOutput("c");
    store.setFloat(0.0f, PrefKey::FixedPitchFontSize);
    log.logOutput("d");
    store.setObject("12", PrefKey::FixedPitchFontSize);
    log.logOutput("e");
    store.setFloat(-3.0f, PrefKey::FixedPitchFontSize);
    log.logOutput("f");

    QCOMPARE(log.text(), QStringLiteral("abcdef"));
    const QList<qreal> sizes = {defaultSize, 17.5, 9.0, defaultSize, 12.0, defaultSize};
    for (int at = 0; at < sizes.size(); ++at)
        QCOMPARE(formatAt(log, at).font().pointSizeF(), sizes.at(at));
}

void TestCommandLog::clearing()
{
    CommandLog log;
    logProcess(log, "lame", {"a"});
    log.logOutput("text\r");
    log.clearLog();
    QCOMPARE(log.text(), QString());
    logProcess(log, "lame", {"b"});
    QCOMPARE(log.text(), QStringLiteral("\nlame b\n"));
    QVERIFY(formatAt(log, 1).font().bold());

    // The window's own button does the same.
    auto *button = log.window()->findChild<QPushButton *>("clearLogButton");
    QVERIFY(button);
    button->click();
    QCOMPARE(log.text(), QString());
}

void TestCommandLog::window()
{
    CommandLog log;
    QWidget *window = log.window();
    QVERIFY(window);
    QVERIFY(window->isWindow());
    QCOMPARE(window->windowTitle(), QStringLiteral("Command Log"));
    QVERIFY(!window->isVisible());
    QVERIFY(log.textView()->isReadOnly());
    for (QWidget *control : window->findChildren<QWidget *>()) {
        if (control->focusPolicy() != Qt::NoFocus)
            QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
    }

    // Logging into a hidden window keeps everything for when it is shown.
    log.logOutput("hidden\n");
    log.showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(log.text(), QStringLiteral("hidden\n"));
    QCOMPARE(log.textView()->toPlainText(), QStringLiteral("hidden\n"));

    // What comes while the window is open or closed again is all shown when it opens next.
    log.logOutput("open\n");
    QCOMPARE(log.textView()->toPlainText(), QStringLiteral("hidden\nopen\n"));
    window->hide();
    log.logOutput("closed\n");
    log.showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(log.textView()->toPlainText(), QStringLiteral("hidden\nopen\nclosed\n"));
    log.clearLog();
    QCOMPARE(log.textView()->toPlainText(), QString());
}

void TestCommandLog::followsTheEndOnlyWhenTheReaderIsThere()
{
    CommandLog log;
    log.showWindow();
    QVERIFY(QTest::qWaitForWindowExposed(log.window()));
    QScrollBar *bar = log.textView()->verticalScrollBar();

    for (int i = 0; i < 500; ++i)
        log.logOutput(QStringLiteral("\r%1/500").arg(i));
    QCoreApplication::processEvents();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());

    bar->setValue(10);
    for (int i = 0; i < 100; ++i)
        log.logOutput(QStringLiteral("\rmore %1").arg(i));
    QCoreApplication::processEvents();
    QCOMPARE(bar->value(), 10);
}

QTEST_MAIN(TestCommandLog)
#include "tst_commandlog.moc"
