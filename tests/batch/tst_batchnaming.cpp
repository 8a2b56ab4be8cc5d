// Batches that name their files by a pattern, and one answer to the name conflicts of a whole
// batch: the real encoder writes the tree the pattern names, a pattern leaving the destination
// starts nothing, and an answer given for all files answers every later conflict alike.
#include "support/AudioFiles.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"

#include <QCheckBox>
#include <QDirIterator>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

class tst_BatchNaming : public QObject
{
    Q_OBJECT

    std::unique_ptr<BatchFixture> fixture;
    QTemporaryDir inputs;
    QString music;

    // The files below the music folder, relative to it, sorted.
    QStringList written() const
    {
        QStringList files;
        for (QDirIterator it(music, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            files << QDir(music).relativeFilePath(it.next());
        files.sort();
        return files;
    }

    // A short sine at `name`, of the type its extension names, carrying `tags`.
    QString input(const QString &name, const QStringList &tags = {})
    {
        const QString path = inputs.filePath(name);
        QStringList arguments{"-n"};
        for (const QString &tag : tags)
            arguments << "--add-comment" << tag;
        return QFileInfo::exists(path) || AudioFiles::run("sox", arguments << path << "synth"
                                                                           << "0.3"
                                                                           << "sine"
                                                                           << "440") == 0
                   ? path
                   : QString();
    }

  private slots:
    void initTestCase()
    {
        QVERIFY2(AudioFiles::haveProgram("lame") && AudioFiles::haveProgram("sox"), "need lame and sox");
        fixture = std::make_unique<BatchFixture>(false);
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
    }
    void init() { music = fixture->cleanMusicFolder(); }
    void cleanup()
    {
        LamePrefs::preferences().removeObjectForKey(PrefKey::NamePattern);
        QVERIFY(BatchFixture::closeEverything());
    }
    void cleanupTestCase() { fixture.reset(); }

    // Two inputs the pattern gives one name meet the conflict question like any existing file.
    void tree()
    {
        LamePrefs::preferences().setObject("{artist}/{album}/{track} {title}", PrefKey::NamePattern);
        const QStringList one{"ARTIST=AC/DC", "ALBUM=Live", "TRACKNUMBER=1/9", "TITLE=One"};
        const QStringList files{
            input("a.flac", one),
            input("b.flac", {"ARTIST=AC/DC", "ALBUM=Live", "TRACKNUMBER=2", "TITLE=Two?"}),
            input("c.flac", {"COMMENT=no names"}), input("d.flac", one)};
        QVERIFY(!files.contains(QString()));
        BatchEncoder *batch = fixture->batchWith(files);
        BatchFixture::encode(batch);
        QMessageBox *alert = TestSheets::waitForAlert(120000);
        QVERIFY(alert && alert->text() == "Duplicate Filename \"01 One.mp3\"");
        QVERIFY(TestSheets::click(alert, "Skip"));
        QVERIFY(TestSheets::click(TestSheets::waitForAlert(120000), "OK"));
        QVERIFY(BatchFixture::waitUntilEnded(batch));
        QCOMPARE(written(), QStringList({"AC_DC/Live/01 One.mp3", "AC_DC/Live/02 Two_.mp3", "c/c/c c.mp3"}));
        QVERIFY(AudioFiles::decodedSeconds(music + "/c/c/c c.mp3") > 0.2);
    }

    void refused()
    {
        for (const QString &pattern :
             {QString("../{name}"), inputs.filePath("{name}"), QString("{name} {year}")}) {
            LamePrefs::preferences().setObject(pattern, PrefKey::NamePattern);
            BatchEncoder *batch = fixture->batchWith({input("song.wav")});
            BatchFixture::encode(batch);
            QMessageBox *alert = TestSheets::waitForAlert();
            QVERIFY(alert && alert->text() == "Cannot Name the Files");
            QVERIFY2(alert->informativeText().contains('"' + pattern + '"'),
                     qPrintable(alert->informativeText()));
            QVERIFY(TestSheets::click(alert, "OK"));
            QVERIFY(!batch->runWindowController() &&
                    BatchFixture::button(batch, "encodeButton")->isEnabled());
            QVERIFY(written().isEmpty() && !QFileInfo::exists(inputs.filePath("song.mp3")));
            batch->window()->close();
        }
    }

    void answerForAll_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("forAll");
        QTest::addColumn<QStringList>("expected"); // the files written, beside those kept
        QTest::newRow("skip all") << "Skip" << true << QStringList();
        QTest::newRow("skip each") << "Skip" << false << QStringList();
        QTest::newRow("replace all") << "Replace" << true << QStringList{"a.mp3", "b.mp3", "c.mp3"};
        QTest::newRow("keep both") << "Rename" << true << QStringList{"a 2.mp3", "b 2.mp3", "c 3.mp3"};
    }

    void answerForAll()
    {
        QFETCH(QString, answer);
        QFETCH(bool, forAll);
        QFETCH(QStringList, expected);
        QStringList all = expected + QStringList{"a.mp3", "b.mp3", "c.mp3", "c 2.mp3"};
        for (const QString &name : all.mid(expected.size()))
            QVERIFY(BatchFixture::writeFile(music + '/' + name, "old"));
        BatchEncoder *batch = fixture->batchWith({input("a.wav"), input("b.wav"), input("c.wav")});
        BatchFixture::encode(batch);
        int questions = 0;
        QMessageBox *alert = nullptr;
        while ((alert = TestSheets::waitForAlert(120000)) && alert->text().startsWith("Duplicate Filename")) {
            QCheckBox *box = alert->checkBox();
            QVERIFY(box && box->accessibleName() == "Apply to all files of this batch");
            box->setChecked(forAll);
            // Escape chooses nothing, however the box is set.
            QTest::keyClick(alert, Qt::Key_Escape);
            QVERIFY(alert->isVisible() && TestSheets::click(alert, answer));
            ++questions;
            if (answer == "Rename") {
                QFileDialog *panel = TestSheets::waitForPanel();
                QVERIFY(panel && QFileInfo(panel->selectedFiles().value(0)).fileName() == "a 2.mp3");
                TestSheets::choose(panel, panel->selectedFiles().value(0));
            }
        }
        QCOMPARE(questions, forAll ? 1 : 3);
        QVERIFY(TestSheets::click(alert, "OK"));
        QVERIFY(BatchFixture::waitUntilEnded(batch));
        all.removeDuplicates();
        all.sort();
        QCOMPARE(written(), all);
        for (const QString &name : all)
            QCOMPARE(BatchFixture::contents(music + '/' + name) == "old", !expected.contains(name));
    }
};

QTEST_MAIN(tst_BatchNaming)
#include "tst_batchnaming.moc"
