// Ripper: a rip window, its track list, the rip folder and the disc's part in the run, which
// encodes the tracks with its window side (a RunWindowController).
#include "rip/Ripper.h"

#include "core/LamePrefs.h"
#include "core/OutputNames.h"
#include "monitor/RunWindowController.h"
#include "platform/AudioFormats.h"
#include "platform/DiscFileAttributes.h"
#include "platform/LocalizedStrings.h"
#include "platform/widgets/ButtonTitles.h"
#include "platform/widgets/DocumentRegistry.h"
#include "platform/widgets/FileDrops.h"
#include "platform/widgets/Sheets.h"
#include "platform/widgets/WindowDescription.h"
#include "platform/widgets/Workspace.h"
#include "rip/DiscTrackList.h"
#include "rip/RipReport.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTableView>

namespace {
QSet<QString> ripMountPoints;
QList<Ripper *> controllers;

DocumentRegistry *registry()
{
    return DocumentRegistry::instance();
}

// What replaces "/" in folder and file names. A translation holding "/" itself would put the
// separator back into the name, so it is refused for the default.
QString replacementSeparator()
{
    const QString separator = Ripper::ripText("ReplacementSeparator", "_");
    return separator.contains(u'/') ? QStringLiteral("_") : separator;
}

QString withoutSlashes(QString text)
{
    return text.replace(u'/', replacementSeparator());
}

} // namespace

QString Ripper::ripText(const char *key, const char *defaultText)
{
    return localizedString(key, defaultText, "Rip");
}

const QSet<QString> &Ripper::mountPoints()
{
    return ripMountPoints;
}

const QList<Ripper *> &Ripper::allControllers()
{
    return controllers;
}

QString Ripper::ripFolderName(const QString &artist, const QString &album)
{
    if (!artist.isEmpty() && !album.isEmpty())
        return withoutSlashes(artist) + ripText("InternalSeparator", " - ") + withoutSlashes(album);
    if (!artist.isEmpty() || !album.isEmpty())
        return withoutSlashes(artist + album);
    return ripText("UnknownCD", "Unknown");
}

QString Ripper::trackFileName(const QVariantMap &track)
{
    const QString number = track.value(kSongTrackNoKey).toString();
    // Players, file managers and playlists know an MP3 by its extension.
    const QString name =
        track.contains(kSongTitleKey)
            ? localizedFormat(ripText("RipNameFormat", "%@. %@"),
                              {number, withoutSlashes(track.value(kSongTitleKey).toString())})
            : localizedFormat(ripText("UntitledRipFormat", "%@"), {number});
    return OutputNames::mp3FileName(name);
}

Ripper *Ripper::initWithPreferences(LamePrefs *preferences, const QString &mountPoint)
{
    if (!preferences)
        return nullptr;
    QString chosen;
    if (!mountPoint.isEmpty()) {
        // One window a disc: start-up may have opened it before the mount was announced.
        if (!ripMountPoints.contains(mountPoint) && DiscTrackList::isAudioCD(mountPoint))
            chosen = mountPoint;
    } else {
        for (const QString &volume : Workspace::shared().mountedRemovableVolumes())
            if (DiscTrackList::isAudioCD(volume) && !ripMountPoints.contains(volume)) {
                chosen = volume;
                break;
            }
    }
    if (chosen.isEmpty())
        return nullptr;
    const DiscTrackList disc = DiscTrackList::read(chosen, ripText("CDTrackPrefix", "Track "));
    if (disc.tracks.isEmpty())
        return nullptr;
    auto *ripper = new Ripper(preferences, chosen, disc);
    if (!ripper->setUpWindow(disc)) {
        delete ripper;
        return nullptr;
    }
    return ripper;
}

Ripper::Ripper(LamePrefs *prefs, const QString &mountPoint, const DiscTrackList &discList)
    : preferences(prefs), discPath(mountPoint), tracks(discList.tracks), disc(discList.discId)
{
    globalOptions = {{kRawPCMInputKey, false}, {kSwapEndianKey, false}};
    controllers.append(this);
}

Ripper::~Ripper()
{
    controllers.removeOne(this);
    if (ripWindow)
        ripMountPoints.remove(discPath);
    // The window outlives this controller until its deferred deletion: its table must not keep
    // a model that reads our records.
    if (trackList)
        trackList->setModel(nullptr);
    if (ripWindow) {
        ripWindow->removeEventFilter(this);
        ripWindow->deleteLater();
    }
}

QString Ripper::volumeName() const
{
    return QFileInfo(discPath).fileName();
}

bool Ripper::setUpWindow(const DiscTrackList &discList)
{
    ripWindow = qobject_cast<QMainWindow *>(WindowDescription::load(QStringLiteral("Rip")));
    if (!ripWindow)
        return false;
    using WindowDescription::Outlet;
    if (!WindowDescription::findOutlets(
            ripWindow, Outlet{&trackList, "trackList"}, Outlet{&artistField, "artistField"},
            Outlet{&albumField, "albumField"}, Outlet{&yearField, "yearField"},
            Outlet{&genreField, "genreField"}, Outlet{&titleField, "titleField"},
            Outlet{&commentField, "commentField"}, Outlet{&ripButton, "ripButton"},
            Outlet{&lookupLine, "lookupLine"}, Outlet{&coverView, "coverView"})) {
        delete ripWindow;
        ripWindow = nullptr;
        return false;
    }
    ripMountPoints.insert(discPath);
    ripWindow->setAttribute(Qt::WA_DeleteOnClose, false);
    ripWindow->installEventFilter(this);
    FileDrops::acceptDrops(
        ripWindow, [this](const QStringList &paths, bool generic) { return draggingEntered(paths, generic); },
        [](const QStringList &paths) {
            // The files go to a batch window: a rip window lists only its disc.
            for (const QString &path : paths)
                if (registry())
                    registry()->openFile(path);
        });

    trackModel = new QStandardItemModel(0, 1, ripWindow);
    trackList->setModel(trackModel);
    showTracks();
    connect(trackList->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        selectionShouldChange();
        tableViewSelectionDidChange();
    });
    yearField->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), yearField));
    genreField->setCurrentIndex(-1);
    genreField->clearEditText();
    if (!discList.albumProposal.isEmpty())
        albumField->setText(discList.albumProposal);
    if (!discList.artistProposal.isEmpty())
        artistField->setText(discList.artistProposal);
    for (QLineEdit *field : {artistField, albumField, yearField})
        connect(field, &QLineEdit::textEdited, this, [this, field] { typedFields.insert(field); });
    connect(titleField, &QLineEdit::textEdited, this, [this] { typedTitles.insert(shownRow); });
    lookupLine->hide();
    coverView->hide();
    connect(ripButton, &QPushButton::clicked, this, &Ripper::beginRip);
    connect(&Workspace::shared(), &Workspace::didUnmount, this, &Ripper::volumeUnmounted);

    ripWindow->setWindowFilePath(discPath);
    ripWindow->setWindowTitle(localizedFormat(ripText("WindowTitle", "Rip Audio CD - %@"), {volumeName()}));
    if (registry())
        registry()->positionWindow(ripWindow);
    ripWindow->show();
    ripWindow->raise();
    ripWindow->activateWindow();
    startLookup();
    return true;
}

void Ripper::release()
{
    if (ending)
        return;
    ending = true;
    Sheets::dismiss(sheet);
    // Closed rather than hidden, so that closing the last window still ends the application.
    if (ripWindow && ripWindow->isVisible())
        ripWindow->close();
    deleteLater();
}

// ---- The track list ----

void Ripper::showTracks()
{
    trackModel->setRowCount(int(tracks.size()));
    for (int row = 0; row < tracks.size(); ++row)
        showTrack(row);
}

void Ripper::showTrack(int row)
{
    const QVariantMap &track = tracks.at(row);
    const QString number = track.value(kSongTrackNoKey).toString();
    const QString text = track.contains(kSongTitleKey)
                             ? localizedFormat(ripText("TrackNameFormat", "%@: %@"),
                                               {number, track.value(kSongTitleKey).toString()})
                             : localizedFormat(ripText("UntitledTrackFormat", "%@"), {number});
    auto *item = new QStandardItem(text);
    item->setEditable(false);
    trackModel->setItem(row, 0, item);
}

void Ripper::selectionShouldChange()
{
    if (shownRow < 0 || shownRow >= tracks.size())
        return;
    QVariantMap &track = tracks[shownRow];
    for (const auto &[key, field] :
         {std::pair{&kSongTitleKey, titleField}, {&kSongCommentKey, commentField}}) {
        if (field->text().isEmpty())
            track.remove(*key);
        else
            track.insert(*key, field->text());
    }
    showTrack(shownRow);
}

void Ripper::tableViewSelectionDidChange()
{
    const QModelIndexList rows = trackList->selectionModel()->selectedRows();
    shownRow = rows.isEmpty() ? -1 : rows.first().row();
    const QVariantMap track = tracks.value(shownRow);
    titleField->setEnabled(shownRow >= 0);
    commentField->setEnabled(shownRow >= 0);
    titleField->setText(track.value(kSongTitleKey).toString());
    commentField->setText(track.value(kSongCommentKey).toString());
}

bool Ripper::draggingEntered(const QStringList &paths, bool genericAllowed) const
{
    if (!genericAllowed || paths.isEmpty())
        return false;
    for (const QString &path : paths) {
        const QFileInfo file(path);
        if (file.isDir() || !AudioFormats::isAccepted(path))
            return false;
    }
    return true;
}

bool Ripper::eventFilter(QObject *watched, QEvent *event)
{
    // While a rip goes on, its window side decides whether the window may close.
    if (watched == ripWindow && event->type() == QEvent::Close)
        release();
    return false;
}

// ---- The run ----

void Ripper::beginRip()
{
    if (runWindow || ending || (sheet && sheet->isVisible()))
        return;
    Sheets::OpenPanelOptions options;
    options.title = ripText("SelectPanelTitle", "Select Destination Folder");
    options.prompt = ButtonTitles::choose();
    options.chooseFiles = false;
    options.chooseDirectories = true;
    options.directory = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (options.directory.isEmpty())
        options.directory = QDir::homePath() + QStringLiteral("/Music");
    sheet = Sheets::beginOpenPanel(ripWindow, options, [this](int answer, QFileDialog *panel) {
        const QStringList chosen = Sheets::filenames(panel);
        selectionPanelDidEnd(answer, chosen.isEmpty() ? QString() : chosen.first());
    });
}

void Ripper::selectionPanelDidEnd(int answer, const QString &destination)
{
    if (answer != 1 || destination.isEmpty() || runWindow || ending)
        return;
    const std::pair<const QString *, QString> discTags[] = {{&kSongArtistKey, artistField->text()},
                                                            {&kSongAlbumKey, albumField->text()},
                                                            {&kSongYearKey, yearField->text()},
                                                            {&kSongGenreKey, genreField->currentText()}};
    for (const auto &[key, text] : discTags)
        if (!text.isEmpty())
            globalOptions.insert(*key, text);
    selectionShouldChange();
    shownRow = -1;
    trackList->clearSelection();

    const QString name = ripFolderName(globalOptions.value(kSongArtistKey).toString(),
                                       globalOptions.value(kSongAlbumKey).toString());
    const QDir chosen(destination);
    // A long artist and album are cut to fit a file name; a dangling link takes the name as much
    // as a file does.
    QString path = chosen.filePath(OutputNames::numberedName(name, 1));
    for (int k = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++k)
        path = chosen.filePath(OutputNames::numberedName(name, k));
    if (!QDir().mkdir(path)) {
        sheet = Sheets::beginAlertSheet(
            ripWindow, ripText("CantCreateTitle", "Can't Create Folder"), ButtonTitles::confirm(), QString(),
            QString(), localizedFormat(ripText("CantCreateMessage", "Can't create \"%@\"."), {path}),
            nullptr);
        return;
    }
    folder = path;

    // The encoder knows only its own genre names; the music library takes any.
    const bool useLibrary = preferences->useTunes();
    QStringList genres;
    for (int i = 0; i < genreField->count(); ++i)
        genres << genreField->itemText(i);
    if (!useLibrary && !genres.contains(globalOptions.value(kSongGenreKey).toString()))
        globalOptions.remove(kSongGenreKey);

    runTasks.clear();
    const QString count = QString::number(tracks.size());
    for (QVariantMap &track : tracks) {
        track.insert(kOutputFileKey, QDir(folder).filePath(trackFileName(track)));
        QVariantMap task = track;
        // A track's own artist (on a compilation) stays.
        for (const QString *key : {&kSongArtistKey, &kSongAlbumKey, &kSongYearKey, &kSongGenreKey})
            if (globalOptions.contains(*key) && !task.contains(*key))
                task.insert(*key, globalOptions.value(*key));
        task.insert(kSongTrackNoKey, task.value(kSongTrackNoKey).toString() + u'/' + count);
        runTasks.append(task);
    }

    ripButton->setEnabled(false);
    for (QWidget *field : std::initializer_list<QWidget *>{artistField, albumField, yearField, genreField,
                                                           titleField, commentField, trackList})
        field->setEnabled(false);
    RunWindowController::Setup window;
    window.window = ripWindow;
    window.stringTable = "Rip";
    window.folder = folder;
    window.stopTitle = ripText("StopRipTitle", "Stop rip?");
    window.stopMessage = localizedFormat(ripText("StopRipMessage", "Stop ripping \"%@\"?"), {volumeName()});
    window.skipTitle = ripText("SkipTaskTitle", "Skip track?");
    window.skipMessage = [this](quint32 index) {
        const QString number = tracks.value(index).value(kSongTrackNoKey).toString();
        return localizedFormat(ripText("SkipTaskMessage", "Skip track %@?"), {number});
    };
    window.completionTitle = ripText("CompletionTitle", "Rip Complete");
    window.completionMessage =
        localizedFormat(ripText("CompletionMessage", "All tracks done."), {volumeName()});
    if (const QString loss = writeCoverFile(); !loss.isEmpty())
        window.losses << loss;
    // The disc's checksums are compared with the AccurateRip database before the sheet says
    // the rip is done.
    window.beforeCompletion = [this](std::function<void(const QString &)> done) {
        if (!report || discGone)
            return done(QString());
        report->finish(std::move(done));
    };
    runWindow = new RunWindowController(window, this);
    connect(runWindow, &RunWindowController::ended, this, &Ripper::release);
    EncoderRun::Setup run{&runTasks, preferences, globalOptions, folder, useLibrary};
    run.makePlaylist = useLibrary && preferences->discPlaylists();
    run.playlistName = name;
    run.sourceProblem = [this](const QVariantMap &task) { return readProblem(task); };
    // One drive reads one place at a time: tracks read side by side would only make it seek.
    run.maxEncoders = 1;
    // Every read of the disc may be a seek of the drive: none is made on the window's thread.
    run.slowInputs = true;
    run.cover = cover;
    run.oneAlbum = true;
    const RipReport::Setup check{discPath, folder, disc.id(),
                                 preferences->settings().stringForKey(PrefKey::AccurateRipServer),
                                 preferences->settings().boolForKey(PrefKey::LookUpDiscsOnline)};
    report = new RipReport(check, runWindow->run(), this);
    runWindow->start(run);
}

QString Ripper::readProblem(const QVariantMap &task) const
{
    const QString input = task.value(kInputFileKey).toString();
    // A track whose file could not be found when the disc was listed.
    if (const QString problem = task.value(kTrackFileProblemKey).toString(); !problem.isEmpty())
        return problem;
    if (discGone || !QFileInfo::exists(input))
        return ripText("DiscGone", "the disc was unmounted");
    // The audio-CD file system counts the sectors it could not read; without the attribute
    // (another file system) nothing is known against the track.
    const QString unreadable = DiscFileAttributes::read(input, "user.orvik.unreadable-sectors");
    if (unreadable.isEmpty() || unreadable == u"0")
        return QString();
    return localizedFormat(ripText("UnreadableSectors", "%@ sectors of the disc could not be read"),
                           {unreadable});
}

void Ripper::volumeUnmounted(const QString &path)
{
    if (path != discPath)
        return;
    discGone = true;
    if (!runWindow) {
        release();
        return;
    }
    // What the encoder reads now is no longer the disc: the track fails, and so do the tracks
    // still to come, before they start (the run asks readProblem).
    runWindow->run()->failRunning(ripText("DiscGone", "the disc was unmounted"));
}
