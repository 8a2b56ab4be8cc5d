// orvik-encode: encodes audio files into MP3 files from a terminal or a script, with the settings,
// checks, tags, covers and music library of Orvik's batch windows, and no display.
#include "cli/EncodeJob.h"
#include "cli/EncodeOptions.h"
#include "cli/EncodeTexts.h"
#include "cli/InputFiles.h"
#include "cli/SignalPipe.h"
#include "core/LamePrefs.h"
#include "core/SettingsStore.h"
#include "platform/LocalizedStrings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {
void say(const QString &text, std::FILE *stream = stderr)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

int usageError(const QString &problem)
{
    say(QStringLiteral("orvik-encode: ") + problem + QStringLiteral("\n\n") + EncodeOptions::usage());
    return 2;
}

int failure(const QString &problem)
{
    say(QStringLiteral("orvik-encode: ") + problem + u'\n');
    return 2;
}

// The folder the files go to when none is given: the one the last batch wrote to, as a new batch
// window starts with it, else the user's music folder.
QString defaultOutputFolder(const SettingsStore &store)
{
    if (const QString last = store.stringForKey(PrefKey::BatchDestination); QFileInfo(last).isDir())
        return last;
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return music.isEmpty() ? QDir::homePath() + QStringLiteral("/Music") : music;
}

bool usableFolder(const QString &folder)
{
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        return false;
    QTemporaryFile probe(folder + QStringLiteral("/.orvik-XXXXXX"));
    return probe.open();
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Orvik"));
    installTranslation();
    // A closed standard error or output (a pager quit early) must not end the program before it
    // has removed what its encoders left half-written.
    std::signal(SIGPIPE, SIG_IGN);

    const EncodeOptions options = EncodeOptions::parse(QCoreApplication::arguments().mid(1));
    if (!options.error().isEmpty())
        return usageError(options.error());
    if (options.help) {
        say(EncodeOptions::usage(), stdout);
        return 0;
    }
    if (options.version) {
        say(QStringLiteral("orvik-encode (Orvik) " ORVIK_VERSION "\n"), stdout);
        return 0;
    }
    if (options.files.isEmpty())
        return usageError(encodeText("NoFiles", "no files or folders to encode"));

    // Another settings file is only read: a copy of it takes the repairs the run may make, so
    // that a file named by mistake is never changed, nor moved aside as unreadable.
    QTemporaryDir scratch;
    std::unique_ptr<SettingsStore> ownStore;
    std::unique_ptr<LamePrefs> preferences;
    if (!options.settingsFile.isEmpty()) {
        const QFileInfo file(options.settingsFile);
        const QString copy = scratch.filePath(QStringLiteral("settings.conf"));
        if (!file.isFile() || !file.isReadable() || !scratch.isValid() ||
            !QFile::copy(file.absoluteFilePath(), copy))
            return failure(
                localizedFormat(encodeText("SettingsUnreadable", "the settings file \"%@\" cannot be read"),
                                {options.settingsFile}));
        QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        ownStore = std::make_unique<SettingsStore>(copy);
        if (QFileInfo::exists(copy + QStringLiteral(".corrupt")))
            return failure(
                localizedFormat(encodeText("SettingsCorrupt", "\"%@\" is not a settings file of Orvik"),
                                {options.settingsFile}));
        ownStore->registerDefaults(LamePrefs::factoryValues());
        preferences = std::make_unique<LamePrefs>(*ownStore);
    } else {
        preferences = std::make_unique<LamePrefs>();
    }

    const QString outputFolder = QDir::cleanPath(QFileInfo(options.outputFolder.isEmpty()
                                                               ? defaultOutputFolder(preferences->settings())
                                                               : options.outputFolder)
                                                     .absoluteFilePath());
    if (!usableFolder(outputFolder))
        return failure(localizedFormat(
            encodeText("OutputUnusable", "the folder \"%@\" cannot be created or written"), {outputFolder}));

    const InputFiles inputs(options.files, outputFolder);
    for (const QString &folder : inputs.emptyFolders())
        say(localizedFormat(
                encodeText("EmptyFolder", "orvik-encode: \"%@\" holds no WAV, AIFF, FLAC, Ogg or Opus file"),
                {folder}) +
            u'\n');
    if (inputs.files().isEmpty())
        return failure(encodeText("NothingToEncode", "nothing to encode"));

    EncodeJob::Setup setup;
    setup.files = inputs.files();
    setup.outputFolder = outputFolder;
    setup.jobs = options.jobs > 0 ? options.jobs : preferences->encodersAtOnce();
    setup.conflicts = options.conflicts;
    setup.useLibrary = !options.noLibrary && preferences->useTunes();
    setup.makePlaylist = setup.useLibrary && preferences->batchPlaylists();
    setup.quiet = options.quiet;
    setup.json = options.json;

    SignalPipe stopSignals;
    EncodeJob job(setup, preferences.get());
    QObject::connect(&stopSignals, &SignalPipe::received, &job, &EncodeJob::interrupt);
    // The run may end before the event loop runs (every file failing at once): the loop then
    // ends as soon as it starts.
    QObject::connect(
        &job, &EncodeJob::finished, &application, [](int status) { QCoreApplication::exit(status); },
        Qt::QueuedConnection);
    job.start();
    return QCoreApplication::exec();
}
