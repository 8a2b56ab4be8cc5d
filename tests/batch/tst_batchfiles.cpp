#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/CommandLog.h"
#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QUrl>
#include <QtTest>
#include <fcntl.h>
#include <unistd.h>

namespace {
QStringList inputNames(BatchEncoder *batch)
{
    QStringList names;
    for (const QVariantMap &task : batch->taskRecords())
        names << task.value(kInputFileKey).toString();
    return names;
}

QTableView *table(BatchEncoder *batch)
{
    return batch->window()->findChild<QTableView *>("fileList");
}

int selectedRow(BatchEncoder *batch)
{
    const QModelIndexList rows = table(batch)->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

template <typename T> T *child(QWidget *root, const char *name)
{
    return root->findChild<T *>(name);
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
    QWidget *window = batch->window();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    if (!enter.isAccepted() || !drop)
        return enter.isAccepted();
    QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &dropped);
    return dropped.isAccepted();
}
} // namespace

// The batch window before its run: the ordered list without duplicates, the tags panel and its
// commit rule, dragging, the raw-input options and the output paths.
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
        for (BatchEncoder *batch : BatchEncoder::allControllers())
            batch->abortRun();
        QTRY_VERIFY(BatchEncoder::allControllers().isEmpty());
    }

    void cleanupTestCase() { fixture.reset(); }

    void newWindowIsSetUp()
    {
        BatchEncoder *batch = fixture->batchWith({});
        QWidget *window = batch->window();
        QCOMPARE(child<QLineEdit>(window, "destinationPath")->text(), QString("~/Music"));
        auto *rate = child<QComboBox>(window, "sampleRate");
        QCOMPARE(rate->currentText(), QString("44.1"));
        QVERIFY(!rate->isEnabled());
        QVERIFY(!child<QComboBox>(window, "bitDepth")->isEnabled());
        for (const char *name : {"encodeButton", "removeButton", "tagsButton"})
            QVERIFY2(!child<QPushButton>(window, name)->isEnabled(), name);
        QCOMPARE(batch->options().value(kSampleRateKey).toString(), QString("44.1"));
        QVERIFY(!batch->options().contains(kBitDepthKey));
    }

    void listIsOrderedByNameWithoutDuplicates()
    {
        BatchEncoder *batch =
            fixture->batchWith({"/f/b.aiff", "/f/A.aiff", "/f/c.aiff", "/f/track10.wav", "/f/track2.wav"});
        QCOMPARE(inputNames(batch),
                 (QStringList{"/f/A.aiff", "/f/b.aiff", "/f/c.aiff", "/f/track10.wav", "/f/track2.wav"}));
        batch->addFile("/f/c.aiff", false);
        QCOMPARE(batch->taskRecords().size(), 5);
        QCOMPARE(selectedRow(batch), 2);
        // The same name in another folder goes above the listed one.
        batch->addFile("/g/B.AIFF", false);
        QCOMPARE(inputNames(batch).mid(1, 2), (QStringList{"/g/B.AIFF", "/f/b.aiff"}));
        QCOMPARE(selectedRow(batch), 1);
        // A path listed after another of the same name is refused as well.
        batch->addFile("/f/b.aiff", false);
        QCOMPARE(batch->taskRecords().size(), 6);
        QCOMPARE(selectedRow(batch), 2);
    }

    // The window outlives its controller until its deferred deletion; its table must not read the
    // task list that went with the controller.
    void tableOutlivingItsControllerShowsNoRows()
    {
        BatchEncoder *batch = fixture->batchWith({"/f/a.wav", "/f/b.wav"});
        QPointer<QTableView> table = child<QTableView>(batch->window(), "fileList");
        int rows = -1;
        connect(batch, &QObject::destroyed, this,
                [&] { rows = table && table->model() ? table->model()->rowCount() : 0; });
        batch->abortRun();
        QTRY_VERIFY(rows >= 0);
        QCOMPARE(rows, 0);
    }

    void rowText_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("text");
        QTest::newRow("top of the file system") << "/x.aiff"
                                                << "x.aiff - /";
        QTest::newRow("music folder") << QDir::homePath() + "/Music/s.wav"
                                      << "s.wav - ~/Music";
        QTest::newRow("elsewhere") << "/data/audio/s.wav"
                                   << "s.wav - /data/audio";
    }

    void rowText()
    {
        QFETCH(QString, path);
        QFETCH(QString, text);
        BatchEncoder *batch = fixture->batchWith({path});
        QAbstractItemModel *model = table(batch)->model();
        QCOMPARE(model->data(model->index(0, 0)).toString(), text);
    }

    void removing()
    {
        BatchEncoder *batch = fixture->batchWith({"/f/a.wav"});
        auto *remove = child<QPushButton>(batch->window(), "removeButton");
        auto *encode = child<QPushButton>(batch->window(), "encodeButton");
        QVERIFY(encode->isEnabled());
        QVERIFY(remove->isEnabled());
        remove->click();
        QVERIFY(batch->taskRecords().isEmpty());
        QVERIFY(!encode->isEnabled());
        QVERIFY(!remove->isEnabled());
        batch->addFile("/f/a.wav", false);
        batch->addFile("/f/b.wav", false);
        table(batch)->clearSelection();
        remove->click();
        QCOMPARE(batch->taskRecords().size(), 2);
    }

    void tagsAreCommittedBeforeTheSelectionMoves()
    {
        BatchEncoder *batch = fixture->batchWith({"/f/a.wav", "/f/b.wav"});
        table(batch)->selectRow(0);
        child<QPushButton>(batch->window(), "tagsButton")->click();
        QWidget *panel = batch->tagsWindow();
        QVERIFY(panel && panel->isVisible());
        auto *title = child<QLineEdit>(panel, "titleField");
        auto *year = child<QLineEdit>(panel, "yearField");
        QTest::keyClicks(title, "First");
        QTest::keyClicks(year, "MCMXC");
        table(batch)->selectRow(1);
        QCOMPARE(batch->taskRecords().at(0).value(kSongTitleKey).toString(), QString("First"));
        QCOMPARE(batch->taskRecords().at(0).value(kSongYearKey).toString(), QString("MCMXC"));
        QVERIFY(title->text().isEmpty());

        // A file added before the shown one moves it down; its tags still go to it.
        QTest::keyClicks(title, "Second");
        batch->addFile("/f/0.wav", false);
        QCOMPARE(inputNames(batch).at(2), QString("/f/b.wav"));
        QCOMPARE(batch->taskRecords().at(2).value(kSongTitleKey).toString(), QString("Second"));
        QVERIFY(!batch->taskRecords().at(0).contains(kSongTitleKey));

        table(batch)->selectRow(1);
        QCOMPARE(title->text(), QString("First"));
        title->clear();
        table(batch)->clearSelection();
        QVERIFY(!batch->taskRecords().at(1).contains(kSongTitleKey));
        QVERIFY(!title->isEnabled());
        QVERIFY(!child<QPushButton>(batch->window(), "tagsButton")->isEnabled());
    }

    void withoutTheTagsPanelSelectingTouchesNoRecord()
    {
        BatchEncoder *batch = fixture->batchWith({"/f/a.wav", "/f/b.wav"});
        const QList<QVariantMap> before = batch->taskRecords();
        table(batch)->selectRow(0);
        table(batch)->selectRow(1);
        QCOMPARE(batch->taskRecords(), before);
        QVERIFY(!batch->tagsWindow());
    }

    void dragging_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("raw");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("audio files") << QStringList{"x.wav", "y.AIFF"} << false << true;
        QTest::newRow("mixed-case extension") << QStringList{"x.wav", "y.Wav"} << false << false;
        QTest::newRow("lossless and Ogg kinds")
            << QStringList{"a.flac", "b.OGG", "c.oga", "d.OPUS"} << false << true;
        QTest::newRow("mixed-case new kind") << QStringList{"a.flac", "b.Flac"} << false << false;
        QTest::newRow("raw input takes any file") << QStringList{"x.wav", "y.Wav", "z.pcm"} << true << true;
        QTest::newRow("a folder refuses everything") << QStringList{"x.wav", "folder/"} << true << false;
        QTest::newRow("a missing file refuses everything")
            << QStringList{"x.wav", "-missing.wav"} << false << false;
    }

    void dragging()
    {
        QFETCH(QStringList, paths);
        QFETCH(bool, raw);
        QFETCH(bool, accepted);
        QStringList full;
        for (const QString &path : paths) {
            if (path.endsWith('/'))
                QDir().mkpath(files.filePath(path));
            full << (path.endsWith('/')     ? files.filePath(path.chopped(1))
                     : path.startsWith('-') ? files.filePath(path.mid(1))
                                            : file(path));
        }
        BatchEncoder *batch = fixture->batchWith({});
        if (raw)
            child<QCheckBox>(batch->window(), "rawInputBox")->click();
        QCOMPARE(drag(batch, full), accepted);
        QCOMPARE(drag(batch, full, true), accepted);
        QCOMPARE(batch->taskRecords().size(), accepted ? full.size() : 0);
    }

    // Folders and names that are not UTF-8 are refused on every way in, with the reason in the log.
    void refusedWhenAdded_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder opened") << "open" << QByteArray("folder.wav") << "is a folder";
        QTest::newRow("bad name opened") << "open" << QByteArray("bad\xff.wav") << "not valid UTF-8";
        QTest::newRow("bad name dragged") << "drag" << QByteArray("bad\xff.wav") << "not valid UTF-8";
    }

    void refusedWhenAdded()
    {
        QFETCH(QString, way);
        QFETCH(QByteArray, name);
        QFETCH(QString, reason);
        const QByteArray path = QFile::encodeName(files.path()) + '/' + name;
        if (name.startsWith("folder"))
            QVERIFY(QDir().mkpath(QFile::decodeName(path)));
        else
            QVERIFY(::close(::creat(path.constData(), 0600)) == 0);
        fixture->master().clearLog();
        BatchEncoder *batch = fixture->batchWith({});
        if (way == "open")
            fixture->master().openFile(QFile::decodeName(path));
        else
            QVERIFY(drag(batch, {QFile::decodeName(path)}, true));
        QVERIFY(batch->taskRecords().isEmpty());
        QVERIFY2(fixture->master().commandLog()->text().contains(reason), qPrintable(reason));
    }

    void runningWindowTakesNoFiles()
    {
        BatchEncoder *batch = fixture->batchWith({fixture->fakeInput("long.wav", 5.0)});
        BatchFixture::encode(batch);
        QVERIFY(BatchFixture::waitUntilEncoding(batch, 0));
        QVERIFY(!drag(batch, {file("late.wav")}));
        batch->addFile(file("late.wav"), false);
        QCOMPARE(batch->taskRecords().size(), 1);
        // A file opened with the application goes to a new window instead.
        QVERIFY(fixture->master().openFile(file("opened.wav")));
        QVERIFY(fixture->master().gopher() != batch);
        QCOMPARE(inputNames(fixture->master().gopher()), QStringList{files.filePath("opened.wav")});
    }

    void rawInputOptions()
    {
        BatchEncoder *batch = fixture->batchWith({fixture->fakeInput("song.pcm", 0.1)});
        QWidget *window = batch->window();
        child<QCheckBox>(window, "rawInputBox")->click();
        child<QCheckBox>(window, "swapBytesBox")->click();
        QVERIFY(child<QComboBox>(window, "sampleRate")->isEnabled());
        // The rate goes to the encoder as it stands: only the listed ones can be chosen.
        QVERIFY(!child<QComboBox>(window, "sampleRate")->isEditable());
        auto *depth = child<QComboBox>(window, "bitDepth");
        QVERIFY(depth->isEnabled());
        depth->setCurrentIndex(2);
        child<QComboBox>(window, "sampleRate")->setCurrentIndex(1);
        QCOMPARE(batch->options().value(kRawPCMInputKey).toBool(), true);
        QCOMPARE(batch->options().value(kSwapEndianKey).toBool(), true);
        BatchFixture::encode(batch);
        QCOMPARE(batch->options().value(kSampleRateKey).toString(), QString("22.05"));
        QCOMPARE(batch->options().value(kBitDepthKey).toString(), QString("24"));
        // Raw input runs the raw encoder, whose command line carries the raw switches.
        QProcess *encoder = batch->encoderProcess();
        QVERIFY(encoder);
        QCOMPARE(QFileInfo(encoder->program()).fileName(), QString("lame_raw"));
        const QStringList arguments = encoder->arguments();
        QCOMPARE(arguments.mid(0, 6), (QStringList{"-x", "-r", "-s", "22.05", "--bitwidth", "24"}));
    }

    void addPanelAddsTheChosenFiles()
    {
        const QString a = file("panel/a.wav");
        const QString b = file("panel/b.wav");
        BatchEncoder *batch = fixture->batchWith({});
        child<QPushButton>(batch->window(), "addButton")->click();
        QFileDialog *panel = TestSheets::waitForPanel();
        QVERIFY(panel);
        QCOMPARE(panel->windowTitle(), QString("Select Files to Encode"));
        QCOMPARE(panel->labelText(QFileDialog::Accept), QString("Add"));
        for (const char *pattern : {"*.flac", "*.OGG", "*.oga", "*.opus", "*.wav"})
            QVERIFY2(panel->nameFilters().first().contains(pattern), pattern);
        panel->setDirectory(files.filePath("panel"));
        panel->selectFile("\"a.wav\" \"b.wav\"");
        QMetaObject::invokeMethod(panel, "accept");
        QTRY_COMPARE(inputNames(batch), (QStringList{a, b}));
    }

    void genreUnknownToTheEncoderIsDropped_data()
    {
        QTest::addColumn<QString>("genre");
        QTest::addColumn<bool>("kept");
        QTest::newRow("known") << "Rock" << true;
        QTest::newRow("unknown") << "Not A Genre" << false;
    }

    void genreUnknownToTheEncoderIsDropped()
    {
        QFETCH(QString, genre);
        QFETCH(bool, kept);
        BatchEncoder *batch = fixture->batchWith({fixture->fakeInput("song.wav", 0.1)});
        child<QPushButton>(batch->window(), "tagsButton")->click();
        auto *field = child<QComboBox>(batch->tagsWindow(), "genreField");
        field->setEditText(genre);
        BatchFixture::encode(batch);
        QVERIFY(!batch->tagsWindow()->isVisible());
        QCOMPARE(batch->taskRecords().first().contains(kSongGenreKey), kept);
    }

    void outputPaths_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::newRow("extension replaced") << "/a/Song.aiff"
                                            << "/b/Song.mp3";
        QTest::newRow("no extension") << "/a/Song"
                                      << "/b/Song.mp3";
        QTest::newRow("last extension only") << "/a/live.take.wav"
                                             << "/b/live.take.mp3";
        QTest::newRow("hidden name") << "/a/.wav"
                                     << "/b/.wav.mp3";
        // A name of 255 bytes at most, cut between characters (é is two bytes, 🎵 four).
        QTest::newRow("long name") << "/a/" + QString(252, 'x') + ".ab"
                                   << "/b/" + QString(251, 'x') + ".mp3";
        QTest::newRow("long name, two-byte characters") << "/a/" + QString(126, u'é') + ".ab"
                                                        << "/b/" + QString(125, u'é') + ".mp3";
        QTest::newRow("long name, four-byte characters") << "/a/xxxx" + QString("🎵").repeated(62) + ".ab"
                                                         << "/b/xxxx" + QString("🎵").repeated(61) + ".mp3";
    }

    void outputPaths()
    {
        QFETCH(QString, input);
        QFETCH(QString, output);
        QCOMPARE(BatchEncoder::outputPathFor(input, "/b"), output);
    }
};

QTEST_MAIN(tst_BatchFiles)
#include "tst_batchfiles.moc"
