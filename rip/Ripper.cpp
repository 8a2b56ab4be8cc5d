// Ripper: a rip window, its track list and the window side of its run. The run itself is an
// EncoderRun; this side chooses the rip folder, shows the progress sheet, asks the Stop and Skip
// questions and shows the completion notice.
#include "rip/Ripper.h"

#include "core/OutputNames.h"

#include "core/LamePrefs.h"
#include "monitor/LameProgress.h"
#include "platform/AudioFormats.h"
#include "platform/LocalizedStrings.h"
#include "platform/widgets/ButtonTitles.h"
#include "platform/widgets/CommandLogSink.h"
#include "platform/widgets/DocumentRegistry.h"
#include "platform/widgets/FileDrops.h"
#include "platform/widgets/Sheets.h"
#include "platform/widgets/WindowDescription.h"
#include "platform/widgets/Workspace.h"
#include "rip/DiscTrackList.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTableView>

#include <sys/xattr.h>

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
    auto *ripper = new Ripper(preferences, chosen, disc.tracks);
    if (!ripper->setUpWindow(disc.albumProposal)) {
        delete ripper;
        return nullptr;
    }
    return ripper;
}

Ripper::Ripper(LamePrefs *prefs, const QString &mountPoint, const QList<QVariantMap> &discTracks)
    : preferences(prefs), discPath(mountPoint), tracks(discTracks)
{
    globalOptions = {{kRawPCMInputKey, false}, {kSwapEndianKey, false}};
    controllers.append(this);
}

Ripper::~Ripper()
{
    controllers.removeOne(this);
    if (ripWindow)
        ripMountPoints.remove(discPath);
    delete run;
    run = nullptr;
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

bool Ripper::setUpWindow(const QString &albumProposal)
{
    ripWindow = qobject_cast<QMainWindow *>(WindowDescription::load(QStringLiteral("Rip")));
    if (!ripWindow)
        return false;
    using WindowDescription::outlet;
    trackList = outlet<QTableView>(ripWindow, "trackList");
    artistField = outlet<QLineEdit>(ripWindow, "artistField");
    albumField = outlet<QLineEdit>(ripWindow, "albumField");
    yearField = outlet<QLineEdit>(ripWindow, "yearField");
    genreField = outlet<QComboBox>(ripWindow, "genreField");
    titleField = outlet<QLineEdit>(ripWindow, "titleField");
    commentField = outlet<QLineEdit>(ripWindow, "commentField");
    ripButton = outlet<QPushButton>(ripWindow, "ripButton");
    if (!trackList || !artistField || !albumField || !yearField || !genreField || !titleField ||
        !commentField || !ripButton) {
        qWarning("Error: corrupt nib file");
        delete ripWindow;
        ripWindow = nullptr;
        return false;
    }
    ripMountPoints.insert(discPath);
    ripWindow->setAttribute(Qt::WA_DeleteOnClose, false);
    ripWindow->installEventFilter(this);
    ripWindow->setAcceptDrops(true);

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
    if (!albumProposal.isEmpty())
        albumField->setText(albumProposal);
    connect(ripButton, &QPushButton::clicked, this, &Ripper::beginRip);
    connect(&Workspace::shared(), &Workspace::didUnmount, this, &Ripper::volumeUnmounted);

    ripWindow->setWindowFilePath(discPath);
    ripWindow->setWindowTitle(localizedFormat(ripText("WindowTitle", "Rip Audio CD - %@"), {volumeName()}));
    if (registry())
        registry()->positionWindow(ripWindow);
    ripWindow->show();
    ripWindow->raise();
    ripWindow->activateWindow();
    return true;
}

void Ripper::release()
{
    if (ending)
        return;
    ending = true;
    // A panel or question still up answers no one: its answer would reach an ended controller.
    if (sheet) {
        sheet->disconnect();
        sheet->hide();
        sheet->deleteLater();
    }
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
    if (watched != ripWindow)
        return false;
    switch (event->type()) {
    case QEvent::Close:
        if (ending)
            return false;
        if (progress) {
            // A rip is never ended under its encoder: closing asks the Stop question, unless a
            // question is up already.
            event->ignore();
            if (run && !run->isInteracting() && !(sheet && sheet->isVisible())) {
                stopProcess(progress);
                closingWindow = run->isInteracting();
            }
            return true;
        }
        release();
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return FileDrops::handle(
            event, [this](const QStringList &paths, bool generic) { return draggingEntered(paths, generic); },
            [](const QStringList &paths) {
                // The files go to a batch window: a rip window lists only its disc.
                for (const QString &path : paths)
                    if (registry())
                        registry()->openFile(path);
            });
    default:
        return false;
    }
}

// ---- The run ----

void Ripper::beginRip()
{
    if (progress || ending || (sheet && sheet->isVisible()))
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
    if (answer != 1 || destination.isEmpty() || progress || ending)
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

    EncoderRun::Setup setup;
    setup.preferences = preferences;
    setup.outputFolder = folder;
    setup.useLibrary = preferences->useTunes();
    setup.makePlaylist = setup.useLibrary && preferences->discPlaylists();
    setup.playlistName = name;
    setup.stringTable = "Rip";
    setup.sourceProblem = [this](const QVariantMap &task) { return readProblem(task); };
    // One drive reads one place at a time: tracks read side by side would only make it seek.
    setup.maxEncoders = 1;
    // Every read of the disc may be a seek of the drive: none is made on the window's thread.
    setup.slowInputs = true;

    // The encoder knows only its own genre names; the music library takes any.
    QStringList genres;
    for (int i = 0; i < genreField->count(); ++i)
        genres << genreField->itemText(i);
    if (!setup.useLibrary && !genres.contains(globalOptions.value(kSongGenreKey).toString()))
        globalOptions.remove(kSongGenreKey);
    setup.options = globalOptions;

    runTasks.clear();
    const QString count = QString::number(tracks.size());
    for (QVariantMap &track : tracks) {
        track.insert(kOutputFileKey, QDir(folder).filePath(trackFileName(track)));
        QVariantMap task = track;
        for (const QString *key : {&kSongArtistKey, &kSongAlbumKey, &kSongYearKey, &kSongGenreKey})
            if (globalOptions.contains(*key))
                task.insert(*key, globalOptions.value(*key));
        task.insert(kSongTrackNoKey, task.value(kSongTrackNoKey).toString() + u'/' + count);
        runTasks.append(task);
    }
    setup.tasks = &runTasks;

    ripButton->setEnabled(false);
    for (QWidget *field : std::initializer_list<QWidget *>{artistField, albumField, yearField, genreField,
                                                           titleField, commentField, trackList})
        field->setEnabled(false);
    progress = new LameProgress(this);
    connect(progress, &LameProgress::stopRequested, this, &Ripper::stopProcess);
    connect(progress, &LameProgress::skipRequested, this, &Ripper::skipTask);
    run = new EncoderRun(this);
    connectRun();
    run->start(setup);
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
    char value[32] = {};
    const QByteArray path = QFile::encodeName(input);
    const ssize_t size = getxattr(path.constData(), "user.orvik.unreadable-sectors", value, sizeof value - 1);
    if (size <= 0 || QByteArray(value, int(size)).trimmed() == "0")
        return QString();
    return localizedFormat(ripText("UnreadableSectors", "%@ sectors of the disc could not be read"),
                           {QString::fromLatin1(QByteArray(value, int(size)).trimmed())});
}

void Ripper::connectRun()
{
    connect(run, &EncoderRun::encoderPrepared, this, [this](QProcess *process, quint32 index) {
        progress->setTask(&runTasks.at(index));
        progress->setFile(index + 1, quint32(runTasks.size()));
        progress->attachToTool(process);
    });
    // Puts the sheet back too when a question had taken it down.
    connect(run, &EncoderRun::encoderLaunched, this, [this] { progress->attachToWindow(ripWindow); });
    connect(run, &EncoderRun::resumed, progress, &LameProgress::resume);
    connect(run, &EncoderRun::fileEnded, progress, &LameProgress::reset);
    connect(run, &EncoderRun::completed, this, [this] {
        progress->hide();
        displayCompletion();
    });
    connect(run, &EncoderRun::stopped, this, &Ripper::abortRun);
    connect(run, &EncoderRun::logged, this, &CommandLogSink::logLine);
}

void Ripper::stopProcess(LameProgress *)
{
    if (!progress || !run || run->isInteracting() || ending)
        return;
    progress->suspend();
    run->questionStarted();
    sheet = Sheets::beginAlertSheet(
        ripWindow, ripText("StopRipTitle", "Stop rip?"), ButtonTitles::confirm(), ButtonTitles::cancel(),
        QString(), localizedFormat(ripText("StopRipMessage", "Stop ripping \"%@\"?"), {volumeName()}),
        [this](int answer) { confirmStopDidEnd(answer); });
}

void Ripper::skipTask(LameProgress *)
{
    if (!progress || !run || run->isInteracting() || ending)
        return;
    progress->suspend();
    run->questionStarted();
    const quint32 index = run->currentIndex();
    const QString number = tracks.value(index).value(kSongTrackNoKey).toString();
    sheet = Sheets::beginAlertSheet(ripWindow, ripText("SkipTaskTitle", "Skip track?"),
                                    ButtonTitles::confirm(), ButtonTitles::cancel(), QString(),
                                    localizedFormat(ripText("SkipTaskMessage", "Skip track %@?"), {number}),
                                    [this, index](int answer) { run->skipAnswered(index, answer == 1); });
}

void Ripper::confirmStopDidEnd(int answer)
{
    const bool closing = closingWindow;
    closingWindow = false;
    if (answer == 1 && registry() && !closing)
        registry()->runDidEnd(ripWindow);
    run->stopAnswered(answer == 1);
}

void Ripper::abortRun()
{
    if (progress)
        progress->reset();
    if (run)
        run->abort();
    release();
}

void Ripper::displayCompletion()
{
    QString message = localizedFormat(ripText("CompletionMessage", "All tracks done."), {volumeName()});
    if (run->failedCount() > 0)
        message += QStringLiteral("\n\n") +
                   localizedFormat(ripText("CompletionFailures",
                                           "%u of %u tracks could not be ripped. The command log shows why."),
                                   {run->failedCount(), quint32(runTasks.size())});
    if (run->libraryFailureCount() > 0)
        message += QStringLiteral("\n\n") +
                   localizedFormat(ripText("CompletionLibraryFailures",
                                           "The music library could not take %u tracks whole (playlist "
                                           "entry or tags). The command log shows why."),
                                   {run->libraryFailureCount()});
    if (run->tagLossCount() > 0)
        message += QStringLiteral("\n\n") +
                   localizedFormat(ripText("CompletionTagLosses",
                                           "%u tracks were ripped without some of their tags. The command "
                                           "log shows why."),
                                   {run->tagLossCount()});
    sheet = Sheets::beginInformationalAlertSheet(ripWindow, ripText("CompletionTitle", "Rip Complete"),
                                                 ButtonTitles::confirm(), message,
                                                 [this](int) { completionEnded(); });
}

void Ripper::completionEnded()
{
    if (registry())
        registry()->runDidEnd(ripWindow);
    Workspace::shared().noteFileSystemChanged(folder);
    if (!tracks.isEmpty())
        Workspace::shared().selectFile(tracks.first().value(kOutputFileKey).toString());
    release();
}

void Ripper::volumeUnmounted(const QString &path)
{
    if (path != discPath)
        return;
    discGone = true;
    if (!progress) {
        release();
        return;
    }
    // What the encoder reads now is no longer the disc: the track fails (the run asks
    // readProblem), and so do the tracks still to come, before they start.
    if (QProcess *encoder = run ? run->process() : nullptr;
        encoder && encoder->state() != QProcess::NotRunning)
        encoder->terminate();
}
