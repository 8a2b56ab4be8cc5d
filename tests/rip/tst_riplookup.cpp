// Rip windows of cue/bin images mounted by orvik-cddafs that name themselves: from CD-TEXT, and
// from a local server answering as MusicBrainz and the Cover Art Archive do.
#include "support/AudioFiles.h"
#include "support/CueDisc.h"
#include "support/LocalHttpServer.h"
#include "support/MusicBrainzAnswers.h"
#include "support/TunesSupport.h"
#include "support/widgets/BatchFixture.h"
#include "support/widgets/TestSheets.h"

#include "app/LameMaster.h"
#include "core/LamePrefs.h"
#include "platform/widgets/WindowDescription.h"
#include "rip/ReleaseChooser.h"
#include "rip/Ripper.h"

#include <QtTest>
#include <QtWidgets>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

using Answer = LocalHttpServer::Answer;

namespace {
template <typename T = QLineEdit> T *outlet(Ripper *rip, const char *name)
{
    return WindowDescription::outlet<T>(rip->window(), name);
}

QStringList rows(Ripper *rip)
{
    QStringList texts;
    const QAbstractItemModel *model = outlet<QTableView>(rip, "trackList")->model();
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, 0).data().toString();
    return texts;
}

// Title, artist, album, year and the front cover of an MP3.
QStringList tags(const QString &mp3)
{
    QStringList texts;
    for (const char *id : {"TIT2", "TPE1", "TALB", "TDRC"})
        texts << id3Frame(mp3, id);
    TagLib::MPEG::File file(QFile::encodeName(mp3).constData());
    const TagLib::ID3v2::FrameList pictures =
        file.ID3v2Tag() ? file.ID3v2Tag()->frameListMap()["APIC"] : TagLib::ID3v2::FrameList();
    const auto *front =
        pictures.isEmpty() ? nullptr : dynamic_cast<TagLib::ID3v2::AttachedPictureFrame *>(pictures.front());
    texts << (front ? QByteArray(front->picture().data(), int(front->picture().size())).toBase64() : "");
    return texts;
}
} // namespace

class TestRipLookup : public QObject
{
    Q_OBJECT

    QTemporaryDir work;
    QString point;
    QByteArray picture;
    std::unique_ptr<LocalHttpServer> server;

    // The image's disc ID: its tracks of 75 and 60 sectors, two seconds in.
    QString expectedDiscId() const { return MusicBrainzAnswers::discId(1, 2, 150 + 135, {150, 225}); }

    // Mounts the image (with its CD-TEXT, or without any) and answers with the window that opens.
    Ripper *mount(bool cdText)
    {
        point = CueDisc::mount(work.filePath(cdText ? "text.cue" : "plain.cue"), work.filePath("discs"));
        if (point.isEmpty() || !QTest::qWaitFor([&] { return Ripper::mountPoints().contains(point); }, 15000))
            return nullptr;
        return *std::find_if(Ripper::allControllers().cbegin(), Ripper::allControllers().cend(),
                             [&](Ripper *rip) { return rip->mountPoint() == point; });
    }

    void unmount()
    {
        if (!point.isEmpty())
            CueDisc::unmount(point);
        point.clear();
    }

    // Rips into a clean music folder; the rip folder.
    QString rip(Ripper *ripper, BatchFixture &fixture)
    {
        const QString destination = fixture.cleanMusicFolder();
        outlet<QPushButton>(ripper, "ripButton")->click();
        TestSheets::choose(TestSheets::waitForPanel(), destination);
        QMessageBox *notice = TestSheets::waitForAlert(60000);
        const QString folder = ripper->ripFolder();
        if (!notice || notice->text() != "All tracks done." || !TestSheets::click(notice, "OK") ||
            !BatchFixture::waitUntilEnded(ripper))
            return QString();
        return folder;
    }

    // Waits for the release chooser, then chooses `row` with Return, or dismisses it with Escape
    // (-1); the countries it listed.
    static QString answerChooser(int row)
    {
        ReleaseChooser *sheet = nullptr;
        if (!QTest::qWaitFor(
                [&] { return (sheet = qobject_cast<ReleaseChooser *>(QApplication::activeModalWidget())); },
                15000))
            return "no chooser";
        QStringList countries;
        for (int i = 0; i < sheet->table()->rowCount(); ++i)
            countries << sheet->table()->item(i, 3)->text();
        sheet->table()->selectRow(row);
        QTest::keyClick(sheet->table(), row >= 0 ? Qt::Key_Return : Qt::Key_Escape);
        return QTest::qWaitFor([] { return !QApplication::activeModalWidget(); }) ? countries.join(' ')
                                                                                  : "open";
    }

  private slots:
    void initTestCase()
    {
        if (!AudioFiles::haveProgram("sox") || !AudioFiles::haveProgram("lame"))
            QSKIP("sox and lame are needed to make and encode the test discs");
        QList<CueDisc::Track> tracks{{"Eins", 75}, {"Zwei", 60}};
        QByteArray sheet = BatchFixture::contents(CueDisc::write(work.path(), "disc", "Live", tracks));
        QByteArray plain = sheet;
        for (const QByteArray &line : sheet.split('\n'))
            if (line.contains("TITLE") || line.contains("PERFORMER"))
                plain.replace(line + '\n', "");
        sheet.replace("TITLE \"Zwei\"\n", "TITLE \"Up/Down\"\n    PERFORMER \"Guest\"\n");
        QVERIFY(BatchFixture::writeFile(work.filePath("plain.cue"), plain) &&
                BatchFixture::writeFile(work.filePath("text.cue"), sheet));
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(Qt::darkRed);
        QBuffer buffer(&picture);
        QVERIFY(image.save(&buffer, "JPG"));
    }

    void init()
    {
        server = std::make_unique<LocalHttpServer>();
        QDir(DiscLookup::cacheFolder()).removeRecursively();
        LamePrefs::preferences().setBool(false, PrefKey::ITunesIntegration);
        LamePrefs::preferences().setBool(true, PrefKey::LookUpDiscsOnline);
        for (const QString &key : {PrefKey::MusicBrainzServer, PrefKey::CoverArtServer})
            LamePrefs::preferences().setObject(server->address(), key);
    }

    void cleanup()
    {
        QVERIFY(BatchFixture::closeEverything());
        unmount();
    }

    // CD-TEXT names the disc in full; a disc the service does not know gets a link to add it.
    void cdTextAndALinkToAddTheDisc()
    {
        BatchFixture fixture(false);
        Ripper *ripper = mount(true);
        if (!ripper)
            QSKIP("FUSE cannot mount here (no /dev/fuse or no permission to mount)");
        QCOMPARE(ripper->discId().id(), expectedDiscId());
        QTRY_VERIFY_WITH_TIMEOUT(outlet<QLabel>(ripper, "lookupLine")
                                     ->text()
                                     .contains(server->address() + "/cdtoc/attach?id=" + expectedDiscId() +
                                               "&amp;tracks=2&amp;toc=1+2+285+150+225"),
                                 15000);
        QCOMPARE(outlet(ripper, "artistField")->text(), "The Band");
        QCOMPARE(outlet(ripper, "albumField")->text(), "Live");
        QCOMPARE(rows(ripper), (QStringList{"01: Eins", "02: Up/Down"}));
        const QString folder = rip(ripper, fixture);
        QCOMPARE(tags(folder + "/02. Up_Down.mp3").mid(0, 3), (QStringList{"Up/Down", "Guest", "Live"}));
        QCOMPARE(tags(folder + "/01. Eins.mp3").mid(0, 3), (QStringList{"Eins", "The Band", "Live"}));
    }

    // The answer comes after the user typed and offers two releases; the offer dismissed, the
    // lookup line's link makes it again. The chosen release and its cover name the rip; then, with
    // the lookup off, the cache alone names the disc; without the cache and the server the window
    // says the lookup failed and works as before.
    void namedOnlineThenFromTheCache()
    {
        BatchFixture fixture(false);
        const QList<MusicBrainzAnswers::Release> releases{
            {"mb-1", "First", "One", "1990", "GB", {"A", "B"}},
            {"mb-2", "Second", "Artist", "1999-05-01", "US", {"Drei", "Vier\x01"}, {"", "Guest"}}};
        const QString disc = expectedDiscId();
        server->answer("/ws/2/discid/" + disc,
                       {{200, MusicBrainzAnswers::discAnswer(disc, releases), {}, true}});
        server->answer("/release/mb-2/front-500", {{307, "", {{"Location", "/img/front.jpg"}}}});
        server->answer("/img/front.jpg", {{200, picture}});
        Ripper *ripper = mount(false);
        if (!ripper)
            QSKIP("FUSE cannot mount here (no /dev/fuse or no permission to mount)");
        QTRY_COMPARE_WITH_TIMEOUT(server->requests().size(), 1, 15000);
        QTest::keyClicks(outlet(ripper, "albumField"), "Mine");
        outlet<QTableView>(ripper, "trackList")->selectRow(0);
        QTest::keyClicks(outlet(ripper, "titleField"), "Typed");
        outlet<QTableView>(ripper, "trackList")->selectRow(1);
        server->release();
        QCOMPARE(answerChooser(-1), "GB US");
        QCOMPARE(outlet(ripper, "artistField")->text(), "");
        QCOMPARE(rows(ripper), (QStringList{"01: Typed", "02"}));
        // The lookup line's link, reached with the keyboard, offers the releases again.
        auto *line = outlet<QLabel>(ripper, "lookupLine");
        ripper->window()->activateWindow();
        QVERIFY(TestSheets::waitForKeyboard(ripper->window()));
        line->setFocus(Qt::TabFocusReason);
        QTest::keyClick(line, Qt::Key_Tab);
        QTest::keyClick(line, Qt::Key_Return);
        QCOMPARE(answerChooser(1), "GB US");
        // What the user typed before the answer came stays.
        QCOMPARE(outlet(ripper, "artistField")->text() + '|' + outlet(ripper, "albumField")->text() + '|' +
                     outlet(ripper, "yearField")->text() + '|' + outlet(ripper, "titleField")->text(),
                 "Artist|Mine|1999|Vier");
        QCOMPARE(rows(ripper), (QStringList{"01: Typed", "02: Vier"}));
        QTRY_VERIFY_WITH_TIMEOUT(!outlet<QLabel>(ripper, "coverView")->pixmap().isNull(), 15000);
        const QString folder = rip(ripper, fixture);
        QCOMPARE(QFileInfo(folder).fileName(), "Artist - Mine");
        QCOMPARE(BatchFixture::contents(folder + "/cover.jpg"), picture);
        const QString cover = picture.toBase64();
        QCOMPARE(tags(folder + "/01. Typed.mp3"), (QStringList{"Typed", "Artist", "Mine", "1999", cover}));
        QCOMPARE(tags(folder + "/02. Vier.mp3"), (QStringList{"Vier", "Guest", "Mine", "1999", cover}));

        const qsizetype asked = server->requests().size();
        const auto remount = [&] {
            const bool closed = BatchFixture::closeEverything();
            unmount();
            return closed && (ripper = mount(false));
        };
        LamePrefs::preferences().setBool(false, PrefKey::LookUpDiscsOnline);
        QVERIFY(remount());
        QCOMPARE(answerChooser(1), "GB US");
        QCOMPARE(outlet(ripper, "artistField")->text(), "Artist");
        QTRY_VERIFY_WITH_TIMEOUT(!outlet<QLabel>(ripper, "coverView")->pixmap().isNull(), 15000);
        QCOMPARE(server->requests().size(), asked);

        LamePrefs::preferences().setBool(true, PrefKey::LookUpDiscsOnline);
        QDir(DiscLookup::cacheFolder()).removeRecursively();
        server.reset();
        QVERIFY(remount());
        QTRY_VERIFY_WITH_TIMEOUT(
            outlet<QLabel>(ripper, "lookupLine")->text().startsWith("The disc lookup failed"), 15000);
        QCOMPARE(outlet(ripper, "artistField")->text(), "");
        QCOMPARE(rows(ripper), (QStringList{"01", "02"}));
    }
};

QTEST_MAIN(TestRipLookup)
#include "tst_riplookup.moc"
