// Ripper: the disc lookup's side of a rip window. The window asks for the disc's names when it
// opens and fills them in as they come, into what the user has not typed; the answer, the choice
// among several releases and the cover never hold up the window, and a rip that has begun keeps
// what the fields held.
#include "core/LamePrefs.h"
#include "platform/LocalizedStrings.h"
#include "platform/widgets/CommandLogSink.h"
#include "rip/ReleaseChooser.h"
#include "rip/Ripper.h"

#include <QBuffer>
#include <QDesktopServices>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPixmap>
#include <QSaveFile>
#include <QStandardItemModel>
#include <QTableView>
#include <QUrl>

void Ripper::startLookup()
{
    if (!disc.isValid())
        return;
    const SettingsStore &settings = preferences->settings();
    DiscLookup::Setup setup;
    setup.discId = disc.id();
    setup.trackCount = disc.trackCount();
    setup.online = settings.boolForKey(PrefKey::LookUpDiscsOnline);
    setup.musicBrainzServer = settings.stringForKey(PrefKey::MusicBrainzServer);
    setup.coverServer = settings.stringForKey(PrefKey::CoverArtServer);
    lookup = new DiscLookup(setup, this);
    connect(lookup, &DiscLookup::found, this,
            [this](const QList<DiscRelease> &found) { lookupFound(found); });
    connect(lookup, &DiscLookup::notFound, this, [this, server = setup.musicBrainzServer] {
        showLookupLine(localizedFormat(
            ripText("DiscNotFound", "This disc is not in MusicBrainz yet. <a href=\"%@\">Add it…</a>"),
            {disc.submissionUrl(server).toHtmlEscaped()}));
    });
    connect(lookup, &DiscLookup::failed, this, [this](const QString &reason) {
        showLookupLine(localizedFormat(ripText("LookupFailed", "The disc lookup failed: %@."), {reason}));
    });
    connect(lookup, &DiscLookup::coverFound, this, &Ripper::showCover);
    connect(lookup, &DiscLookup::coverFailed, this, [this](const QString &reason) {
        showLookupLine(localizedFormat(ripText("CoverFailed", "No cover: %@."), {reason}));
    });
    connect(lookupLine, &QLabel::linkActivated, this, [this](const QString &link) {
        if (link == u"choose")
            chooseRelease();
        else
            QDesktopServices::openUrl(QUrl(link));
    });
    if (setup.online)
        showLookupLine(ripText("LookingUp", "Looking the disc up…"));
    lookup->start();
}

void Ripper::showLookupLine(const QString &line)
{
    lookupLine->setText(line);
    // Only a line with a link takes the focus, so that the keyboard reaches the link.
    lookupLine->setTextInteractionFlags(line.contains(u"<a ")
                                            ? Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard
                                            : Qt::NoTextInteraction);
    lookupLine->setVisible(!line.isEmpty());
}

void Ripper::lookupFound(const QList<DiscRelease> &found)
{
    // A rip that has begun encodes what the fields held.
    if (runWindow || ending)
        return;
    releases = found;
    if (releases.size() == 1) {
        applyRelease(releases.first());
        return;
    }
    showLookupLine(localizedFormat(
        ripText("SeveralReleases", "%d releases hold this disc. <a href=\"choose\">Choose one…</a>"),
        {int(releases.size())}));
    chooseRelease();
}

void Ripper::chooseRelease()
{
    if (runWindow || ending || releases.isEmpty() || (sheet && sheet->isVisible()))
        return;
    auto *chooser = new ReleaseChooser(ripWindow, releases);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    connect(chooser, &QDialog::accepted, this, [this, chooser] {
        if (const int row = chooser->chosenRow(); row >= 0 && row < releases.size() && !runWindow)
            applyRelease(releases.at(row));
    });
    sheet = chooser;
    chooser->open();
}

void Ripper::applyRelease(const DiscRelease &release)
{
    for (const auto &[field, value] :
         {std::pair{artistField, release.artist}, {albumField, release.title}, {yearField, release.year}})
        if (!typedFields.contains(field) && !value.isEmpty())
            field->setText(value);
    for (int row = 0; row < tracks.size() && row < release.tracks.size(); ++row) {
        QVariantMap &track = tracks[row];
        const DiscRelease::Track &named = release.tracks.at(row);
        if (!typedTitles.contains(row) && !named.title.isEmpty()) {
            track.insert(kSongTitleKey, named.title);
            if (row == shownRow)
                titleField->setText(named.title);
        }
        if (named.artist.isEmpty())
            track.remove(kSongArtistKey);
        else
            track.insert(kSongArtistKey, named.artist);
        showTrack(row);
    }
    showLookupLine(
        localizedFormat(ripText("ReleaseFound", "Named after “%@” in MusicBrainz."), {release.title}));
    cover.clear();
    coverView->clear();
    coverView->hide();
    lookup->fetchCover(release.id);
}

void Ripper::showCover(const QByteArray &picture)
{
    QPixmap pixmap;
    if (runWindow || !pixmap.loadFromData(picture)) {
        if (!runWindow)
            showLookupLine(localizedFormat(ripText("CoverFailed", "No cover: %@."),
                                           {ripText("CoverNotPicture", "the cover is not a picture")}));
        return;
    }
    cover = picture;
    coverView->setPixmap(pixmap.scaled(coverView->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    coverView->show();
}

QString Ripper::writeCoverFile()
{
    if (cover.isEmpty())
        return QString();
    // Players and file managers look for the album's picture under this name, as a JPEG.
    QByteArray jpeg = cover;
    if (!jpeg.startsWith("\xff\xd8\xff")) {
        jpeg.clear();
        QBuffer buffer(&jpeg);
        QImage::fromData(cover).save(&buffer, "JPG");
    }
    QSaveFile file(QDir(folder).filePath(QStringLiteral("cover.jpg")));
    if (!jpeg.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size() &&
        file.commit())
        return QString();
    CommandLogSink::logLine(
        localizedFormat(ripText("CoverFileFailed", "The cover could not be saved as \"%@\": %@."),
                        {file.fileName(), file.errorString()}));
    return ripText("CompletionCoverFileLost",
                   "The cover was not saved in the folder. The command log shows why.");
}
