// The command log: command lines in a shell-like form, output chunks joined, text styles, the window.
#include "app/CommandLog.h"
#include "core/LamePrefs.h"

#include <QtTest>
#include <QtWidgets>

class TestCommandLog : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void lines_data()
    {
        QTest::addColumn<QStringList>("chunks"); // output before the command; "<clear>" clears
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QStringList &chunks, const QStringList &command,
                            const QString &text) { QTest::newRow(name) << chunks << command << text; };
        const QStringList lame = {"/x/lame", "-V"};
        // Bare where nothing needs quotes, single quotes, double quotes around a single quote (nothing
        // escaped inside), a tab alone bare, an empty argument as nothing, the program's folder dropped.
        row("quoting", {},
            {"/usr/share/orvik/encoder/lame", "-h", "my file.aiff", "it's", "it's \"$HOME\"", "a\tb", "",
             "`id`", "a&b", "~/x", "#c", "!", "é\nx", "a\\'b"},
            "\nlame -h 'my file.aiff' \"it's\" \"it's \"$HOME\"\" a\tb  `id` a&b ~/x #c ! é\nx \"a\\'b\"\n");
        row("after a finished line", {"done\n"}, lame, "done\n\nlame -V\n");
        // Split chunks are joined, a carriage return breaks the line, CR LF split between chunks is
        // one break, and an unfinished line is ended before the command.
        row("output joined", {"Encod", "ing x", ".wav\n", "\r  1/40", "\r 40/40\n", "a\r", "\nb\r\n", "50%"},
            lame, "Encoding x.wav\n\n  1/40\n 40/40\na\nb\n50%\nlame -V\n");
        row("cleared: the command starts at the top", {"text\r", "<clear>"}, lame, "\nlame -V\n");
        // A line of megabytes would stall the window for minutes: it is shown cut, with a note.
        const QString cut = " … (%1 more characters of this line left out)", huge(10 << 20, u'x');
        row("10 MB argument", {}, {"lame", huge},
            "\nlame " + huge.left(16384 - 5) + cut.arg(huge.size() + 5 - 16384) + "\n");
        row("long line over two chunks, then a short one",
            {QString(10000, u'y'), QString(10000, u'y') + "\nok\r"}, lame,
            QString(16384, u'y') + cut.arg(20000 - 16384) + "\nok\nlame -V\n");
    }

    void lines()
    {
        QFETCH(QStringList, chunks);
        QFETCH(QStringList, command);
        QFETCH(QString, expected);
        CommandLog log;
        for (const QString &chunk : chunks)
            chunk == "<clear>" ? log.clearLog() : log.logOutput(chunk);
        const QString program = command.takeFirst();
        log.logCommand(program, command);
        QCOMPARE(log.text(), expected);
    }

    // Commands in bold in the system font; output in the fixed-pitch font at the size stored when it
    // came, or the font's own size when the stored one is not a size. The window.
    void textStylesAndTheWindow()
    {
        CommandLog log;
        log.logCommand("lame", {});
        const auto fontAt = [&](int position) { // of the character at `position`
            QTextCursor cursor(log.document());
            cursor.setPosition(position + 1);
            return cursor.charFormat().font();
        };
        QVERIFY(fontAt(1).bold() && fontAt(4).bold() &&
                fontAt(1).family() == QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
        SettingsStore &store = LamePrefs::preferences();
        const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        for (const auto &[stored, size] : QList<std::pair<QVariant, qreal>>{
                 {17.5f, 17.5}, {"12", 12.0}, {0.0f, fixed.pointSizeF()}, {-3.0f, fixed.pointSizeF()}}) {
            stored.typeId() == QMetaType::Float
                ? store.setFloat(stored.toFloat(), PrefKey::FixedPitchFontSize)
                : store.setObject(stored.toString(), PrefKey::FixedPitchFontSize);
            log.logOutput("x");
            const QFont font = fontAt(int(log.text().size()) - 1);
            QVERIFY(!font.bold() && font.family() == fixed.family());
            QCOMPARE(font.pointSizeF(), size);
        }
        store.removeObjectForKey(PrefKey::FixedPitchFontSize);

        // The view shows the log only while the window is open; what came meanwhile is shown on opening.
        log.clearLog();
        log.logOutput("hidden\n");
        log.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(log.window()));
        log.logOutput("open\n");
        QCOMPARE(log.textView()->toPlainText(), "hidden\nopen\n");
        log.window()->hide();
        log.logOutput("closed\n");
        log.showWindow();
        QVERIFY(QTest::qWaitForWindowExposed(log.window()));
        QCOMPARE(log.textView()->toPlainText(), "hidden\nopen\nclosed\n");
        log.window()->findChild<QPushButton *>("clearLogButton")->click();
        QCOMPARE(log.text(), QString());
    }
};

QTEST_MAIN(TestCommandLog)
#include "tst_commandlog.moc"
