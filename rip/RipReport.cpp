#include "rip/RipReport.h"

#include "core/AccurateRipLookup.h"
#include "core/CommandLine.h"
#include "core/EncoderRun.h"
#include "core/LamePrefs.h"
#include "platform/DiscFileAttributes.h"
#include "platform/LocalizedStrings.h"
#include "platform/PropertyList.h"
#include "platform/widgets/CommandLogSink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QThread>

namespace {
QString ripText(const char *key, const char *defaultText)
{
    return localizedString(key, defaultText, "Rip");
}

QString trackList(const QStringList &numbers)
{
    return QLocale().createSeparatedList(numbers);
}
} // namespace

RipReport::RipReport(const Setup &setup, const EncoderRun *run, QObject *parent)
    : QObject(parent), setup(setup), run(run),
      disc(AccurateRipDisc::fromTableOfContents(
          PropertyList::fromFile(QDir(setup.mountPoint).filePath(QStringLiteral(".TOC.plist"))).toMap()))
{
    connect(run, &EncoderRun::encoderStarted, this,
            [this](quint32, const QString &program, const QStringList &arguments) {
                if (commandLine.isEmpty())
                    commandLine = CommandLine::quoted(program, arguments);
            });
    // Without the user's leave to go online, or without the disc's IDs (a volume that is not an
    // audio CD's as orvik-cddafs presents it), the database is not asked and the sheet says nothing.
    if (!setup.online || !disc.isValid()) {
        answer = Answer::NotAsked;
        reason = setup.online ? QStringLiteral("the table of contents gives no disc IDs")
                              : QStringLiteral("online lookups are off");
        return;
    }
    lookup = new AccurateRipLookup(disc, setup.server, this);
    connect(lookup, &AccurateRipLookup::found, this, [this](const QList<AccurateRipDisc::Pressing> &found) {
        pressings = found;
        lookupEnded(Answer::Found);
    });
    connect(lookup, &AccurateRipLookup::notFound, this, [this] { lookupEnded(Answer::NotFound); });
    connect(lookup, &AccurateRipLookup::failed, this,
            [this](const QString &why) { lookupEnded(Answer::Failed, why); });
    lookup->start();
}

RipReport::~RipReport()
{
    if (worker) {
        worker->wait();
        delete worker;
    }
}

void RipReport::lookupEnded(Answer given, const QString &why)
{
    answer = given;
    reason = why;
    conclude();
}

void RipReport::finish(std::function<void(const QString &)> done)
{
    whenDone = std::move(done);
    QList<TrackResult> toRead;
    QStringList inputs;
    QList<bool> encoded;
    for (quint32 i = 0; i < run->taskCount(); ++i) {
        TrackResult track;
        track.number = run->task(i).value(kSongTrackNoKey).toString().section(u'/', 0, 0);
        track.file = QFileInfo(run->task(i).value(kOutputFileKey).toString()).fileName();
        toRead.append(track);
        inputs.append(run->task(i).value(kInputFileKey).toString());
        // Only a track whose file was encoded whole is worth its checksums.
        encoded.append(run->fileState(i) == EncoderRun::FileState::Done);
    }
    worker = QThread::create([this, toRead, inputs, encoded]() mutable {
        for (int i = 0; i < toRead.size(); ++i) {
            toRead[i].unreadable = DiscFileAttributes::read(inputs[i], "user.orvik.unreadable-sectors");
            if (!encoded[i])
                continue;
            const QStringList sums =
                DiscFileAttributes::read(inputs[i], "user.orvik.accuraterip").split(u' ');
            bool ok1 = false, ok2 = false;
            if (sums.size() == 2) {
                toRead[i].v1 = sums[0].toUInt(&ok1, 16);
                toRead[i].v2 = sums[1].toUInt(&ok2, 16);
            }
            toRead[i].checked = ok1 && ok2;
        }
        QMetaObject::invokeMethod(
            this, [this, toRead] { checksumsRead(toRead); }, Qt::QueuedConnection);
    });
    worker->start();
}

void RipReport::checksumsRead(const QList<TrackResult> &read)
{
    tracks = read;
    tracksRead = true;
    conclude();
}

void RipReport::conclude()
{
    if (!tracksRead || answer == Answer::Waiting || !whenDone)
        return;
    for (TrackResult &track : tracks)
        if (track.checked && answer == Answer::Found)
            track.verdict = disc.verdict(pressings, track.number.toInt(), track.v1, track.v2);
    QString line = summary(answer, reason, tracks);
    if (!writeLog())
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) +
                ripText("RipLogUnwritten", "The rip log could not be written into the rip folder.");
    // The command log keeps what the sheet said, a log that could not be written with it.
    if (!line.isEmpty())
        CommandLogSink::logLine(line);
    const auto done = std::exchange(whenDone, nullptr);
    done(line);
}

QString RipReport::summary(Answer answer, const QString &reason, const QList<TrackResult> &tracks)
{
    if (answer == Answer::NotAsked)
        return QString();
    if (answer == Answer::NotFound)
        return ripText("AccurateRipNotFound", "AccurateRip: the disc is not in the database.");
    if (answer != Answer::Found)
        return localizedFormat(
            ripText("AccurateRipFailed", "AccurateRip: the rip could not be checked (%@)."), {reason});
    QStringList notAccurate, unknown;
    quint32 accurate = 0, checked = 0;
    int lowest = 0;
    for (const TrackResult &track : tracks) {
        if (!track.checked)
            continue;
        ++checked;
        if (track.verdict.kind == AccurateRipDisc::Verdict::Accurate) {
            ++accurate;
            lowest = lowest == 0 ? track.verdict.confidence : qMin(lowest, track.verdict.confidence);
        } else if (track.verdict.kind == AccurateRipDisc::Verdict::NotAccurate) {
            notAccurate.append(track.number);
        } else {
            unknown.append(track.number);
        }
    }
    // One line, whatever went wrong: the tracks that did not match come first, as they ask for
    // the user's action. Tracks that were not encoded whole are counted but not checked.
    const auto total = quint32(tracks.size());
    if (notAccurate.size() == 1)
        return localizedFormat(ripText("AccurateRipMismatchOne",
                                       "AccurateRip: %u of %u tracks accurate; track %@ "
                                       "does not match. Rip again, or clean the disc."),
                               {accurate, total, notAccurate.first()});
    if (!notAccurate.isEmpty())
        return localizedFormat(ripText("AccurateRipMismatch",
                                       "AccurateRip: %u of %u tracks accurate; tracks %@ do "
                                       "not match. Rip again, or clean the disc."),
                               {accurate, total, trackList(notAccurate)});
    if (!unknown.isEmpty())
        return localizedFormat(
            ripText("AccurateRipUnknown",
                    "AccurateRip: %u of %u tracks accurate; the database has no checksum of %@."),
            {accurate, total, trackList(unknown)});
    if (checked == 0)
        return ripText("AccurateRipNothing",
                       "AccurateRip: no track was read whole, so none could be checked.");
    if (checked < total)
        return localizedFormat(ripText("AccurateRipSome",
                                       "AccurateRip: %u of %u tracks accurately ripped (lowest "
                                       "confidence %u); the others could not be checked."),
                               {checked, total, lowest});
    return localizedFormat(ripText("AccurateRipAccurate",
                                   "AccurateRip: all %u tracks accurately ripped (lowest confidence %u)."),
                           {checked, lowest});
}

bool RipReport::writeLog() const
{
    const QString source = DiscFileAttributes::read(setup.mountPoint, "user.orvik.source");
    const QString offset = DiscFileAttributes::read(setup.mountPoint, "user.orvik.read-offset");
    QString log;
    log += QStringLiteral("Orvik " ORVIK_VERSION " rip log\n\n");
    log += QStringLiteral("Source:          %1\n").arg(source.isEmpty() ? setup.mountPoint : source);
    log += QStringLiteral("Read offset:     %1\n")
               .arg(offset.isEmpty() ? QStringLiteral("unknown") : offset + QStringLiteral(" samples"));
    log += QStringLiteral("MusicBrainz ID:  %1\n").arg(setup.musicBrainzId);
    log += QStringLiteral("AccurateRip ID:  %1\n").arg(disc.isValid() ? disc.idText() : QString());
    log += QStringLiteral("FreeDB ID:       %1\n")
               .arg(disc.isValid() ? AccurateRipDisc::hexText(disc.freedbId()) : QString());
    log += QStringLiteral("Command line:    %1\n").arg(commandLine);
    log += QStringLiteral("Result:          %1\n\n")
               .arg(answer == Answer::NotAsked ? QStringLiteral("AccurateRip not asked: ") + reason
                                               : summary(answer, reason, tracks));
    for (const TrackResult &track : tracks) {
        QString result;
        // A disc the database was not asked about, or could not answer for, is not a disc it lacks.
        if (!track.checked || (answer != Answer::Found && answer != Answer::NotFound))
            result = QStringLiteral("not checked");
        else if (answer == Answer::NotFound || track.verdict.kind == AccurateRipDisc::Verdict::NotInDatabase)
            result = QStringLiteral("not in database");
        else if (track.verdict.kind == AccurateRipDisc::Verdict::Accurate)
            result = QStringLiteral("accurate (confidence %1)").arg(track.verdict.confidence);
        else
            result = QStringLiteral("not accurate");
        log += QStringLiteral("Track %1  %2\n  unreadable sectors: %3  AccurateRip v1: %4  v2: %5  %6\n")
                   .arg(track.number, track.file,
                        track.unreadable.isEmpty() ? QStringLiteral("-") : track.unreadable,
                        track.checked ? AccurateRipDisc::hexText(track.v1) : QStringLiteral("-"),
                        track.checked ? AccurateRipDisc::hexText(track.v2) : QStringLiteral("-"), result);
    }
    QSaveFile file(QDir(setup.folder).filePath(QStringLiteral("rip.log")));
    if (file.open(QIODevice::WriteOnly))
        file.write(log.toUtf8());
    return file.commit();
}
