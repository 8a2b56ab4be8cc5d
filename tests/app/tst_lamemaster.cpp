#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "app/SingleInstance.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"
#include "monitor/LameProgress.h"
#include "platform/LocalizedStrings.h"
#include "rip/Ripper.h"
#include "settings/PreferencesWindow.h"
#include "support/AudioFiles.h"
#include "support/CueDisc.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include <QDBusConnection>
#include <QTextBrowser>
#include <QtTest>
#include <QtWidgets>

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

// The application controller: gopher, cascade, start-up and quitting, a second launch, the windows'
// names and languages, the translation, the command log (opened files: batch tests).
class tst_LameMaster : public QObject
{
    Q_OBJECT

    QTemporaryDir work;

  private slots:
    void initTestCase()
    {
        QApplication::setQuitOnLastWindowClosed(false);
        QLocale::setDefault(QLocale::c());
    }

    void registryKeepsTheGopherFirst()
    {
        LameMaster master;
        BatchEncoder *a = BatchEncoder::initWithPreferences(master.preferences());
        BatchEncoder *b = BatchEncoder::initWithPreferences(master.preferences());
        // A window that becomes active makes itself the gopher; start from a known order, once the
        // last window shown has become active and so the gopher.
        QTRY_VERIFY(master.gopher() == b);
        for (BatchEncoder *batch : {a, b, a, b})
            master.unregisterBureaucrat(batch);
        for (BatchEncoder *batch : {a, b, a})
            master.registerBureaucrat(batch);
        using Registry = QList<FileReceiver *>;
        QVERIFY(master.bureaucrats() == (Registry{a, b}) && master.gopher() == a);
        master.setGopher(b);
        QVERIFY(master.bureaucrats() == (Registry{b, a}) && master.gopher() == b);
        // Closing a window ends its controller, which leaves the registry.
        b->window()->close();
        QTRY_VERIFY(master.bureaucrats() == Registry{a} && master.gopher() == a);
        a->window()->close();
        QTRY_VERIFY(master.bureaucrats().isEmpty() && !master.gopher());
    }

    // The first window keeps its place; the rest follow one step each, also after the first closed;
    // a step off the screen starts again from its edge.
    void cascade()
    {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const QPoint corner(area.right() - 250, area.bottom() - 180);
        using Steps = QList<std::pair<QRect, QPoint>>; // as a description places a window, where it goes
        for (const Steps &steps :
             {Steps{{{100, 80, 200, 150}, {100, 80}},
                    {{400, 300, 200, 150}, {124, 104}},
                    {{10, 10, 9, 9}, {148, 128}}},
              Steps{{{corner, QSize(200, 150)}, corner}, {{0, 0, 240, 170}, area.topLeft()}}}) {
            LameMaster master;
            for (const auto &[geometry, placed] : steps) {
                QWidget window;
                window.setGeometry(geometry);
                master.positionWindow(&window);
                QCOMPARE(window.pos(), placed);
            }
        }
    }

    // With only the completion notice up, nothing is encoding any more: Quit asks nothing.
    void quitAfterTheRun()
    {
        const auto alertsUp = [] { // the texts of the alerts showing now
            QStringList texts;
            for (QWidget *window : QApplication::topLevelWidgets())
                if (auto *alert = qobject_cast<QMessageBox *>(window); alert && alert->isVisible())
                    texts << alert->text();
            return texts;
        };
        BatchFixture fixture(true);
        BatchFixture::encode(fixture.batchWith({fixture.fakeInput("song.wav", 0.1)}));
        QTRY_COMPARE_WITH_TIMEOUT(alertsUp(), QStringList{"Batch complete."}, 15000);
        fixture.master().quit();
        QCOMPARE(alertsUp(), QStringList{"Batch complete."});
    }

    // Without a browser that can be started, the help page opens in a window of Orvik's own.
    void helpWithoutBrowser()
    {
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        qputenv("BROWSER", "false");
        LameMaster master;
        master.showHelp();
        qputenv("PATH", path);
        auto *page = qobject_cast<QTextBrowser *>(master.helpWindow());
        QVERIFY(page && QTest::qWaitForWindowActive(page));
        QVERIFY(page->toPlainText().contains("The batch window"));
        QTest::keyClick(page, Qt::Key_Escape);
        QTRY_VERIFY(!master.helpWindow());
    }

    // Orvik started again while this process holds the session's name.
    void launches_data()
    {
        QTest::addColumn<QStringList>("environment"); // NAME=value, or NAME alone to remove it
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("exitCode"); // -1: still running, with a window of its own
        const auto row = [](const char *name, const QStringList &environment, const QStringList &files,
                            int exitCode) { QTest::newRow(name) << environment << files << exitCode; };
        row("a second launch hands its files over", {}, {"/tmp/first song.wav", "/tmp/second;$x.aiff"}, 0);
        row("without a session bus each launch runs on its own",
            {"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"}, {"/tmp/a.wav"}, -1);
        row("without a display it says so and fails", {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM=xcb"},
            {}, 1);
    }
    void launches()
    {
        QFETCH(QStringList, environment);
        QFETCH(QStringList, files);
        QFETCH(int, exitCode);
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run the suite under dbus-run-session");
        SingleInstance instance;
        QStringList received;
        instance.filesOpened = [&](const QStringList &opened) { received = opened; };
        QCOMPARE(instance.claim({}), SingleInstance::Role::Primary);
        const auto release =
            qScopeGuard([] { QDBusConnection::sessionBus().unregisterService(SingleInstance::serviceName); });
        QProcessEnvironment settings = QProcessEnvironment::systemEnvironment();
        for (const QString &setting : environment)
            setting.contains('=') ? settings.insert(setting.section('=', 0, 0), setting.section('=', 1))
                                  : settings.remove(setting);
        QProcess orvik;
        orvik.setProcessEnvironment(settings);
        orvik.start(ORVIK_BUILD_DIR "/orvik", files);
        QVERIFY(orvik.waitForStarted());
        if (exitCode < 0) {
            QByteArray said;
            QTRY_VERIFY_WITH_TIMEOUT((said += orvik.readAllStandardError()).contains("runs on its own"),
                                     20000);
            QCOMPARE(orvik.state(), QProcess::Running);
            orvik.kill();
        }
        // The hand-over is answered by this process's event loop.
        QTRY_COMPARE_WITH_TIMEOUT(orvik.state(), QProcess::NotRunning, 20000);
        QVERIFY(exitCode < 0 || (orvik.exitStatus() == QProcess::NormalExit && orvik.exitCode() == exitCode));
        QTRY_COMPARE_WITH_TIMEOUT(received, exitCode ? QStringList() : files, 20000);
        QVERIFY(exitCode != 1 ||
                QRegularExpression("^[^\n]*display[^\n]*\n$").match(orvik.readAllStandardError()).hasMatch());
    }

    // The command log: command lines in a shell-like form, output chunks joined.
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

    // What a user reads in each language: the batch and rip windows' titles; the Encode button's text,
    // name and tip; the folder panels' confirm button and the Add panel's filter; the raw sample rates
    // and the settings window's resampling rate as the language writes numbers (the encoder gets them
    // as always); then the sheet's counts in their plural forms, with two files running and with one.
    void languages_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("texts");
        const auto row = [](const char *locale, const QStringList &texts) {
            QTest::newRow(locale) << QString(locale) << texts;
        };
        row("en_US",
            {"Batch Encoding|Rip Audio CD - Languages|&Encode|Encode|Encode every file of the list into "
             "the destination folder.|Choose|Choose|Audio files|16|22.05|24|32|44.1|48|44.1 kHz",
             "0 done, 2 running, 0 left", "1 done, 1 running, 0 left"});
        row("de_DE",
            {"Stapelkodierung|Audio-CD rippen – Languages|&Kodieren|Kodieren|Jede Datei der Liste in den "
             "Zielordner kodieren.|Auswählen|Auswählen|Audiodateien|16|22,05|24|32|44,1|48|44,1 kHz",
             "0 fertig, 2 laufen, 0 übrig", "1 fertig, 1 läuft, 0 übrig"});
    }
    void languages()
    {
        QFETCH(QString, locale);
        QFETCH(QStringList, texts);
        // Austrian German falls back to the German file; a locale without one shows the default texts.
        QVERIFY(installTranslation(QLocale("de_AT")));
        QCOMPARE(installTranslation(QLocale(locale)), locale.startsWith("de"));
        QLocale::setDefault(QLocale(locale));
        const auto english = qScopeGuard([] {
            installTranslation(QLocale("en_US"));
            QLocale::setDefault(QLocale::c());
        });
        BatchFixture fixture(true);
        LamePrefs::preferences().setInteger(2, PrefKey::EncodersAtOnce);
        BatchEncoder *batch =
            fixture.batchWith({fixture.fakeInput("a.wav", 60), fixture.fakeInput("b.wav", 60)});
        // A folder laid out as the audio-CD file system shows a disc of one track.
        const QString disc = work.filePath("Languages");
        QVERIFY(QDir().mkpath(disc) && !AudioFiles::writeFakeInput(disc + "/1 One.aiff", 1).isEmpty());
        QVERIFY(BatchFixture::writeFile(disc + "/.TOC.plist", CueDisc::tableOfContents({"1"})));
        Ripper *ripper = Ripper::initWithPreferences(fixture.master().preferences(), disc);
        QVERIFY(ripper);
        QStringList shown;
        for (QWidget *window : std::initializer_list<QWidget *>{batch->window(), ripper->window()}) {
            // A screen reader announces a document window by the title a sighted user reads.
            QCOMPARE(QAccessible::queryAccessibleInterface(window)->text(QAccessible::Name),
                     window->windowTitle());
            shown << window->windowTitle().remove(QRegularExpression(" \\d+$"));
        }
        QPushButton *encode = BatchFixture::button(batch, "encodeButton"),
                    *add = BatchFixture::button(batch, "addButton");
        shown << encode->text() << encode->accessibleName() << encode->toolTip();
        for (QPushButton *button : {BatchFixture::button(batch, "destinationButton"),
                                    ripper->window()->findChild<QPushButton *>("ripButton"), add}) {
            button->click();
            QFileDialog *panel = TestSheets::waitForPanel();
            QVERIFY(panel);
            shown << (button == add ? panel->nameFilters().value(0).section(" (", 0, 0)
                                    : panel->labelText(QFileDialog::Accept).remove(u'&'));
            panel->reject();
            QTRY_VERIFY(!TestSheets::waitForPanel(0));
        }
        ripper->window()->close();
        auto *rates = batch->window()->findChild<QComboBox *>("sampleRate");
        for (int i = 0; i < rates->count(); ++i)
            shown << rates->itemText(i);
        QWidget *settings = PreferencesWindow::showWindow(fixture.master().preferences())->window();
        auto *resampling = settings->findChild<QComboBox *>("resampling");
        shown << resampling->itemText(resampling->findData(44));
        settings->close();
        QCOMPARE(shown.join('|'), texts[0]);

        // The encoder reads the raw sample rate as always.
        batch->window()->findChild<QCheckBox *>("rawInputBox")->click();
        rates->setCurrentIndex(1);
        BatchFixture::encode(batch);
        QCOMPARE(batch->options().value(kSampleRateKey).toString(), QString("22.05"));
        LameProgress *progress = BatchFixture::sheet(batch);
        QTRY_COMPARE(progress->positionText(), texts[1]);
        for (QPushButton *skip : progress->progressSheet()->findChildren<QPushButton *>())
            if (skip->isVisible() && skip->accessibleName().contains("a.wav"))
                skip->click();
        QVERIFY(TestSheets::click(TestSheets::waitForAlert(), fixture.master().confirmButtonTitle()));
        QTRY_COMPARE(progress->positionText(), texts[2]);
        LamePrefs::preferences().removeObjectForKey(PrefKey::EncodersAtOnce);
    }
};

QTEST_MAIN(tst_LameMaster)
#include "tst_lamemaster.moc"
