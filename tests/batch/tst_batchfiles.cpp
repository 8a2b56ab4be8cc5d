#include "support/AudioFiles.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"
#include "core/OutputNames.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <fcntl.h>
#include <unistd.h>

namespace {
QStringList inputNames(const BatchEncoder *batch)
{
    QStringList names;
    for (const QVariantMap &task : batch->taskRecords())
        names << task.value(kInputFileKey).toString();
    return names;
}

template <typename T> T *child(QWidget *root, const char *name)
{
    return root->findChild<T *>(name);
}

QTableView *table(BatchEncoder *batch)
{
    return child<QTableView>(batch->window(), "fileList");
}

// Sends a drag of `paths` over the window and answers whether it would be dropped; with `drop`,
// drops it.
bool drag(BatchEncoder *batch, const QStringList &paths, bool drop = false)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(batch->window(), &enter);
    if (!enter.isAccepted() || !drop)
        return enter.isAccepted();
    QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(batch->window(), &dropped);
    return dropped.isAccepted();
}
} // namespace

// The batch window before its run: the ordered list without duplicates, the tags panel and its
// commit rule, the ways files come in and are refused, the raw-input options and output names.
class tst_BatchFiles : public QObject
{
    Q_OBJECT

    std::unique_ptr<BatchFixture> fixture;
    QTemporaryDir files;

    QString file(const QString &relative)
    {
        const QString path = files.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile(path).open(QIODevice::WriteOnly);
        return path;
    }

  private slots:
    void initTestCase()
    {
        fixture = std::make_unique<BatchFixture>(true);
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
    }

    void cleanup()
    {
        QVERIFY(BatchFixture::closeEverything());
        for (const QString &key : {PrefKey::BatchDestination, PrefKey::AddFilesFolder})
            LamePrefs::preferences().removeObjectForKey(key);
    }

    void cleanupTestCase() { fixture.reset(); }

    // The list is ordered by name without duplicates; tags typed in the panel are written back
    // before the selection moves, to the file they were typed for.
    void listAndTags()
    {
        BatchEncoder *batch =
            fixture->batchWith({"/f/b.aiff", "/f/A.aiff", "/f/track10.wav", "/f/track2.wav"});
        // The same name in another folder goes above the listed one; a listed path is not added again.
        for (const char *path : {"/g/B.AIFF", "/f/b.aiff"})
            batch->addFile(path, false);
        QCOMPARE(inputNames(batch),
                 (QStringList{"/f/A.aiff", "/g/B.AIFF", "/f/b.aiff", "/f/track10.wav", "/f/track2.wav"}));
        QCOMPARE(table(batch)->selectionModel()->selectedRows().value(0).row(), 2);
        QAbstractItemModel *model = table(batch)->model();
        QCOMPARE(model->data(model->index(1, 0)).toString(), QString("B.AIFF - /g"));

        // Without the panel, selecting touches no record.
        const QList<QVariantMap> before = batch->taskRecords();
        table(batch)->selectRow(1);
        table(batch)->selectRow(0);
        QCOMPARE(batch->taskRecords(), before);
        child<QPushButton>(batch->window(), "tagsButton")->click();
        auto *title = child<QLineEdit>(batch->tagsWindow(), "titleField");
        QTest::keyClicks(title, "First");
        QTest::keyClicks(child<QLineEdit>(batch->tagsWindow(), "yearField"), "MCMXC");
        table(batch)->selectRow(1);
        QCOMPARE(batch->taskRecords().at(0).value(kSongTitleKey).toString(), QString("First"));
        QCOMPARE(batch->taskRecords().at(0).value(kSongYearKey).toString(), QString("MCMXC"));
        QVERIFY(title->text().isEmpty());
        // A file added before the shown one moves it down; its tags still go to it.
        QTest::keyClicks(title, "Second");
        batch->addFile("/f/0.wav", false);
        QCOMPARE(batch->taskRecords().at(2).value(kSongTitleKey).toString(), QString("Second"));
        QVERIFY(!batch->taskRecords().at(0).contains(kSongTitleKey));
        table(batch)->selectRow(1);
        QCOMPARE(title->text(), QString("First"));
        title->clear();
        table(batch)->clearSelection();
        QVERIFY(!batch->taskRecords().at(1).contains(kSongTitleKey));
        QVERIFY(!title->isEnabled());
        QVERIFY(!child<QPushButton>(batch->window(), "tagsButton")->isEnabled());

        // The window outlives its controller until its deferred deletion; its table must not read
        // the task list that went with the controller.
        QPointer<QTableView> view = table(batch);
        int rows = -1;
        connect(batch, &QObject::destroyed, this,
                [&] { rows = view && view->model() ? view->model()->rowCount() : 0; });
        batch->window()->close();
        QTRY_COMPARE(rows, 0);
    }

    // A drag and a file opened with the application (the Add panel has its own test). Folders and names
    // that are not UTF-8 are refused with the reason in the log.
    void addingFiles_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("raw");
        QTest::addColumn<QList<QByteArray>>("names"); // a trailing "/" makes a folder, a leading "-" none
        QTest::addColumn<int>("added");               // -1: the drag is refused
        QTest::addColumn<QString>("logged");
        using Names = QList<QByteArray>;
        QTest::newRow("drag of audio files")
            << "drag" << false << Names{"x.wav", "y.AIFF", "a.flac", "b.OGG", "c.oga", "d.OPUS"} << 6 << "";
        QTest::newRow("drag, mixed-case extension") << "drag" << false << Names{"x.wav", "y.Wav"} << -1 << "";
        QTest::newRow("drag, raw input takes any file")
            << "drag" << true << Names{"x.wav", "y.Wav", "z.pcm"} << 3 << "";
        QTest::newRow("drag with a folder") << "drag" << true << Names{"x.wav", "folder/"} << -1 << "";
        QTest::newRow("drag with a missing file")
            << "drag" << false << Names{"x.wav", "-missing.wav"} << -1 << "";
        QTest::newRow("drag, name not UTF-8")
            << "drag" << false << Names{"bad\xff.wav"} << 0 << "not valid UTF-8";
        QTest::newRow("opened, name not UTF-8")
            << "open" << false << Names{"bad\xff.wav"} << 0 << "not valid UTF-8";
        QTest::newRow("opened folder") << "open" << false << Names{"folder.wav/"} << 0 << "is a folder";
    }

    void addingFiles()
    {
        QFETCH(QString, way);
        QFETCH(bool, raw);
        QFETCH(QList<QByteArray>, names);
        QFETCH(int, added);
        QFETCH(QString, logged);
        QStringList paths;
        const QString folder = files.filePath(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(folder));
        for (const QByteArray &name : names) {
            const QByteArray path = QFile::encodeName(folder) + '/' + name.mid(name.startsWith('-'));
            if (name.endsWith('/'))
                QVERIFY(QDir().mkpath(QFile::decodeName(path)));
            else if (!name.startsWith('-'))
                QVERIFY(::close(::creat(path.constData(), 0600)) == 0);
            paths << QFile::decodeName(path.endsWith('/') ? path.chopped(1) : path);
        }
        fixture->master().clearLog();
        BatchEncoder *batch = fixture->batchWith({});
        if (raw)
            child<QCheckBox>(batch->window(), "rawInputBox")->click();
        if (way == "open") {
            fixture->master().openFile(paths.first());
        } else {
            QCOMPARE(drag(batch, paths), added >= 0);
            QCOMPARE(drag(batch, paths, true), added >= 0);
        }
        QCOMPARE(batch->taskRecords().size(), qMax(added, 0));
        QVERIFY2(fixture->master().commandLog()->text().contains(logged), qPrintable(logged));
    }

    // Files chosen in the Add panel, which offers every kind; the list shows each file's length
    // and their total. A new window starts where the last batch went, unless that folder is gone,
    // and its Add panel where files were last added from.
    void addPanelAndRememberedFolders()
    {
        const QString chosen = files.filePath("chosen"), added = files.filePath("added");
        QVERIFY(QDir().mkpath(chosen) && QDir().mkpath(added) &&
                AudioFiles::makeSine(added + "/a.wav", 62.0) && AudioFiles::makeSine(added + "/b.wav", 1.0));
        BatchEncoder *batch = fixture->batchWith({});
        BatchFixture::button(batch, "addButton")->click();
        QFileDialog *panel = TestSheets::waitForPanel();
        QVERIFY(panel);
        QCOMPARE(panel->windowTitle(), QString("Select Files to Encode"));
        for (const char *pattern : {"*.flac", "*.OGG", "*.oga", "*.opus", "*.wav"})
            QVERIFY2(panel->nameFilters().first().contains(pattern), pattern);
        panel->setDirectory(added);
        panel->selectFile("\"a.wav\" \"b.wav\"");
        QMetaObject::invokeMethod(panel, "accept");
        QTRY_COMPARE(inputNames(batch), (QStringList{added + "/a.wav", added + "/b.wav"}));
        QTRY_COMPARE(table(batch)->model()->index(0, 1).data().toString(), QString("1:02"));
        QCOMPARE(child<QLabel>(batch->window(), "totalLength")->text(), QString("2 files, 1:03 in total"));
        BatchFixture::button(batch, "destinationButton")->click();
        TestSheets::choose(TestSheets::waitForPanel(), chosen);
        BatchFixture::encode(batch);
        QVERIFY(BatchFixture::answer("Batch complete.", "OK") && BatchFixture::waitUntilEnded(batch));
        for (const QString &expected : {chosen, fixture->cleanMusicFolder()}) {
            BatchEncoder *next = fixture->batchWith({});
            QCOMPARE(next->destination(), expected);
            BatchFixture::button(next, "addButton")->click();
            QFileDialog *panel = TestSheets::waitForPanel();
            QVERIFY(panel && panel->directory().absolutePath() == added);
            panel->reject();
            next->window()->close();
            QVERIFY(QDir(chosen).removeRecursively());
        }
    }

    // Encode hands the raw-input choices to the raw encoder and drops a genre the encoder does not
    // know (a known one is kept). A running window takes no files: one opened with the application
    // goes to a new window instead.
    void encodeAndTheRunningWindow()
    {
        BatchEncoder *batch =
            fixture->batchWith({fixture->fakeInput("a.pcm", 60.0), fixture->fakeInput("b.pcm", 60.0)});
        QWidget *window = batch->window();
        auto *rate = child<QComboBox>(window, "sampleRate");
        auto *depth = child<QComboBox>(window, "bitDepth");
        QVERIFY(!rate->isEnabled() && !depth->isEnabled());
        child<QCheckBox>(window, "rawInputBox")->click();
        child<QCheckBox>(window, "swapBytesBox")->click();
        // The rate goes to the encoder as it stands: only the listed ones can be chosen.
        QVERIFY(rate->isEnabled() && !rate->isEditable() && depth->isEnabled());
        depth->setCurrentIndex(2);
        rate->setCurrentIndex(1);
        table(batch)->selectRow(0);
        BatchFixture::button(batch, "tagsButton")->click();
        auto *genre = child<QComboBox>(batch->tagsWindow(), "genreField");
        genre->setEditText("Rock");
        table(batch)->selectRow(1);
        genre->setEditText("Not A Genre");
        BatchFixture::encode(batch);
        QVERIFY(!batch->tagsWindow()->isVisible());
        QCOMPARE(batch->taskRecords().at(0).value(kSongGenreKey).toString(), QString("Rock"));
        QVERIFY(!batch->taskRecords().at(1).contains(kSongGenreKey));
        QVERIFY(fixture->master().commandLog()->text().contains("\nlame_raw -x -r -s 22.05 --bitwidth 24 "));

        QVERIFY(QTest::qWaitFor([&] { return batch->runWindowController()->run()->isEncoderRunning(0); }));
        QVERIFY(!drag(batch, {file("late.wav")}));
        batch->addFile(file("late.wav"), false);
        QCOMPARE(batch->taskRecords().size(), 2);
        QVERIFY(fixture->master().openFile(file("opened.wav")));
        QCOMPARE(BatchEncoder::allControllers().size(), 2);
        QCOMPARE(inputNames(BatchEncoder::allControllers().last()),
                 QStringList{files.filePath("opened.wav")});
    }

    // The destination field takes a typed folder ("~" is the home folder, a relative path starts
    // there); Encode refuses a folder that is missing or cannot be written, and encodes nothing.
    void typedDestination_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("folder"); // where the MP3 goes, in the home folder; empty: refused
        QTest::addColumn<QString>("alert");
        const QString refused = "The folder \"%1\" %2. Choose another destination.";
        const QString none;
        QTest::newRow("tilde") << "~/typed" << QString("typed") << none;
        QTest::newRow("relative to home") << "typed/deeper/" << QString("typed/deeper") << none;
        QTest::newRow("absolute") << QDir::homePath() + "/typed/../typed" << QString("typed") << none;
        QTest::newRow("missing") << "~/typed/missing" << none
                                 << refused.arg("~/typed/missing", "does not exist");
        QTest::newRow("a file") << "~/typed/file" << none << refused.arg("~/typed/file", "cannot be written");
    }

    void typedDestination()
    {
        QFETCH(QString, typed);
        QFETCH(QString, folder);
        QFETCH(QString, alert);
        const QDir home = QDir::home();
        QVERIFY(home.mkpath("typed/deeper") && BatchFixture::writeFile(home.filePath("typed/file"), ""));
        const auto removeFolder = qScopeGuard([&] { QDir(home.filePath("typed")).removeRecursively(); });
        const QString music = fixture->cleanMusicFolder();
        BatchEncoder *batch = fixture->batchWith({fixture->fakeInput("song.wav", 0.1)});
        auto *field = child<QLineEdit>(batch->window(), "destinationPath");
        QCOMPARE(field->text(), QString("~/Music"));
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, typed);
        BatchFixture::encode(batch);
        QVERIFY(BatchFixture::answer(alert.isEmpty() ? "Batch complete." : alert, "OK"));
        if (!alert.isEmpty())
            QVERIFY(!batch->runWindowController() && batch->window()->isVisible());
        else
            QVERIFY(BatchFixture::waitUntilEnded(batch));
        QCOMPARE(QFileInfo::exists(home.filePath(folder + "/song.mp3")), !folder.isEmpty());
        QCOMPARE(QDir(music).entryList(QDir::Files), QStringList());
        QVERIFY(!QFileInfo::exists(home.filePath("typed/missing")));
    }

    void outputPaths()
    {
        // A name of 255 bytes at most, cut between characters (é is two bytes, 🎵 four).
        const QList<std::pair<QString, QString>> names{
            {"Song", "Song"},
            {"live.take.wav", "live.take"},
            {".wav", ".wav"},
            {QString(252, 'x') + ".ab", QString(251, 'x')},
            {QString(126, u'é') + ".ab", QString(125, u'é')},
            {"xxxx" + QString("🎵").repeated(62) + ".ab", "xxxx" + QString("🎵").repeated(61)}};
        for (const auto &[input, output] : names)
            QCOMPARE(OutputNames::forInput("/a/" + input, "/b"), "/b/" + output + ".mp3");
    }
};

QTEST_MAIN(tst_BatchFiles)
#include "tst_batchfiles.moc"
