#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"
#include "monitor/LameProgress.h"
#include "settings/PreferencesWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QWindow>
#include <QtTest>

namespace {
const int Stop = 1;
const int Skip = 2;

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A key as the keyboard gives it: to whatever has the focus.
void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key(key), modifiers);
}

// What a keyboard and a screen reader need of a window: each button showing has a mnemonic of
// its own, and each label is read as the text it shows.
void checkKeyboardAndReader(QWidget *window)
{
    QList<QKeySequence> mnemonics;
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        if (!button->isVisible() || button->text().isEmpty())
            continue;
        const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
        QVERIFY2(!mnemonic.isEmpty() && !mnemonics.contains(mnemonic), qPrintable(button->text()));
        mnemonics << mnemonic;
    }
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (label->isVisible() && !label->text().isEmpty())
            QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name),
                     label->buddy() ? QString(label->text()).remove(u'&') : label->text());
    }
}
} // namespace

// Escape and the close button on every alert, panel and window Orvik shows, and the batch main
// job done with the keyboard alone.
class tst_BatchKeyboard : public QObject
{
    Q_OBJECT

    std::unique_ptr<BatchFixture> fixture;
    QString music;

  private slots:
    void initTestCase()
    {
        fixture = std::make_unique<BatchFixture>(true);
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
    }

    void init()
    {
        // A music folder made a plain file by a test is a folder again.
        QFile::remove(QStandardPaths::writableLocation(QStandardPaths::MusicLocation));
        music = fixture->cleanMusicFolder();
    }

    void cleanup() { QVERIFY(BatchFixture::closeEverything()); }

    void cleanupTestCase() { fixture.reset(); }

    // No dismissal chooses a button that removes, replaces or stops anything: an alert with a
    // Cancel button answers Cancel, one without stays up; a panel is cancelled.
    void dismissals_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("staysUp");
        // Alerts without a Cancel button stay up; the settings window and the command log close
        // with Ctrl+W too.
        const QStringList staysUp{"conflict", "locked conflict", "destination", "completion"};
        for (const char *which :
             {"stop", "skip", "conflict", "locked conflict", "quit", "destination", "completion", "add panel",
              "rename panel", "tags panel", "destination panel", "preferences", "command log"})
            for (const char *how : {"Esc", "close", "Ctrl+W"})
                if (QByteArray(how) != "Ctrl+W" || QByteArray(which) == "preferences" ||
                    QByteArray(which) == "command log")
                    QTest::addRow("%s, %s", which, how) << which << how << staysUp.contains(which);
    }

    void dismissals()
    {
        QFETCH(QString, which);
        QFETCH(QString, how);
        QFETCH(bool, staysUp);
        const QString existing = music + "/song.mp3";
        const bool running = which == "stop" || which == "skip" || which == "quit";
        QStringList files{fixture->fakeInput("song.wav", running ? 3.0 : 0.1)};
        if (which.contains("conflict") || which == "rename panel")
            writeFile(existing, "existing");
        if (which == "locked conflict") // the output is the batch's own input: never replaced
            files = QStringList{existing};
        if (which == "destination") {
            QDir(music).removeRecursively();
            writeFile(music, "not a folder");
        }
        QPointer<BatchEncoder> batch = fixture->batchWith(files);
        QPointer<QWidget> shown;
        if (which == "preferences") {
            fixture->master().showPreferences();
            shown = fixture->master().preferences()->prefsWindow()->window();
        } else if (which == "command log") {
            fixture->master().showCommandLog();
            shown = fixture->master().commandLog()->window();
        } else if (which == "tags panel") {
            BatchFixture::button(batch, "tagsButton")->click();
            shown = batch->tagsWindow();
        } else if (which == "add panel" || which == "destination panel") {
            BatchFixture::button(batch, which == "add panel" ? "addButton" : "destinationButton")->click();
            shown = TestSheets::waitForPanel();
        } else {
            BatchFixture::encode(batch);
            if (running)
                QVERIFY(BatchFixture::waitUntilEncoding(batch, 0));
            if (which == "stop" || which == "skip")
                BatchFixture::interrupt(batch, which == "stop" ? Stop : Skip);
            if (which == "quit")
                fixture->master().quit();
            shown = TestSheets::waitForAlert();
            if (which == "rename panel") {
                QVERIFY(TestSheets::click(qobject_cast<QMessageBox *>(shown.data()), "Rename"));
                QTRY_VERIFY(shown.isNull() || !shown->isVisible());
                shown = TestSheets::waitForPanel();
            }
        }
        QVERIFY(shown && shown->isVisible());
        const QByteArray before = contents(existing);
        shown->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(shown));
        if (how == "close")
            shown->windowHandle()->close();
        else
            QTest::keySequence(shown->focusWidget() ? shown->focusWidget() : shown.data(), QKeySequence(how));
        QTest::qWait(100);
        QCOMPARE(shown && shown->isVisible(), staysUp);
        QCOMPARE(contents(existing), before);
        if (running) {
            QVERIFY(batch && batch->encoderProcess());
            QCOMPARE(batch->encoderProcess()->state(), QProcess::Running);
            QTRY_VERIFY(batch->progressController()->progressSheet()->isVisible());
        } else if (which == "tags panel") {
            // The panel stays down when its window is activated again.
            QEvent activated(QEvent::WindowActivate);
            QApplication::sendEvent(batch->window(), &activated);
            QVERIFY(!batch->tagsWindow()->isVisible());
        } else if (which == "add panel" || which == "destination panel") {
            QCOMPARE(batch->taskRecords().size(), 1);
            QCOMPARE(batch->destination(), music);
        } else if (which == "rename panel") {
            QMessageBox *completion = TestSheets::waitForAlert();
            QVERIFY(completion);
            QCOMPARE(completion->text(), QString("Encoding Complete"));
        }
    }

    // Files from the command line, tags typed in the tags panel, Encode, a name conflict and the
    // completion sheet: the keyboard alone, through the real windows. File names that read like
    // markup show as they are.
    void keyboardAlone()
    {
        writeFile(music + "/<i>b.mp3", "existing");
        for (const char *name : {"<i>a&b.wav", "<i>b.wav", "c.wav"})
            QVERIFY(fixture->master().openFile(fixture->fakeInput(name, 0.5)));
        BatchEncoder *batch = BatchEncoder::allControllers().last();
        auto *list = batch->window()->findChild<QTableView *>("fileList");
        QVERIFY(QTest::qWaitForWindowActive(batch->window()));
        checkKeyboardAndReader(batch->window());

        press(Qt::Key_I, Qt::AltModifier); // to the list, where the last file added is selected
        QCOMPARE(QApplication::focusWidget(), list);
        press(Qt::Key_Delete);
        QCOMPARE(batch->taskRecords().size(), 2);
        press(Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != list);
        press(Qt::Key_I, Qt::AltModifier);
        press(Qt::Key_Home, Qt::ControlModifier);

        press(Qt::Key_T, Qt::AltModifier); // a mnemonic clicks its button a moment later
        QTRY_VERIFY(batch->tagsWindow());
        QVERIFY(QTest::qWaitForWindowActive(batch->tagsWindow()));
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("titleField"));
        // The old ID3 genre 133 is a slur: the genre list leaves it out.
        QProcess lame;
        lame.setProcessChannelMode(QProcess::MergedChannels);
        lame.start("lame", {"--genre-list"});
        QVERIFY(lame.waitForFinished());
        const QString slur = QRegularExpression("^133 (.+)$", QRegularExpression::MultilineOption)
                                 .match(lame.readAll())
                                 .captured(1);
        QVERIFY(!slur.isEmpty());
        QCOMPARE(batch->tagsWindow()->findChild<QComboBox *>("genreField")->findText(slur), -1);
        QTest::keyClicks(static_cast<QWidget *>(nullptr), "Title A");
        press(Qt::Key_Escape);
        QVERIFY(!batch->tagsWindow()->isVisible());
        // The window manager gives the focus back to the batch window.
        batch->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(batch->window()));
        QCOMPARE(QApplication::focusWidget(), list);
        press(Qt::Key_Return);
        QVERIFY(batch->isRunning());
        QCOMPARE(batch->taskRecords().first().value(kSongTitleKey).toString(), QString("Title A"));

        QWidget *sheet = batch->progressController()->progressSheet();
        QTRY_COMPARE(batch->progressController()->taskText(),
                     QString("Encoding \"<i>a&b.wav\" as \"<i>a&b.mp3\""));
        checkKeyboardAndReader(sheet);
        QMessageBox *conflict = TestSheets::waitForAlert();
        QVERIFY(conflict);
        QVERIFY(QTest::qWaitForWindowActive(conflict));
        checkKeyboardAndReader(conflict);
        press(Qt::Key_E, Qt::AltModifier); // Replace
        QTRY_VERIFY(contents(music + "/<i>b.mp3") != "existing");
        QMessageBox *completion = TestSheets::waitForAlert();
        QVERIFY(completion);
        QCOMPARE(completion->text(), QString("Encoding Complete"));
        QVERIFY(QTest::qWaitForWindowActive(completion));
        checkKeyboardAndReader(completion);
        press(Qt::Key_Return);
        QVERIFY(BatchFixture::waitUntilEnded(batch));
        QVERIFY(QFileInfo::exists(music + "/<i>a&b.mp3"));

        fixture->master().showPreferences();
        QWidget *preferences = fixture->master().preferences()->prefsWindow()->window();
        auto *tabs = preferences->findChild<QTabWidget *>("windowTabs");
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            checkKeyboardAndReader(preferences);
        }
        preferences->close();
    }
};

QTEST_MAIN(tst_BatchKeyboard)
#include "tst_batchkeyboard.moc"
