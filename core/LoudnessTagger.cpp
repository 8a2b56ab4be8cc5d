#include "core/LoudnessTagger.h"

#include "core/LameTunes.h"
#include "platform/LocalizedStrings.h"
#include "platform/LoudnessMeter.h"
#include "platform/MusicLibrary.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QThread>

struct LoudnessTagger::Measurement
{
    LoudnessMeter meter;
    LoudnessMeter::Problem problem = LoudnessMeter::Problem::Cancelled;
};

LoudnessTagger::LoudnessTagger(const QStringList &albums, const char *stringTable, QObject *parent)
    : QObject(parent), albums(albums), stringTable(stringTable)
{
}

LoudnessTagger::~LoudnessTagger()
{
    for (const File &file : std::as_const(files))
        if (file.thread)
            *file.cancelled = true;
    // A measurement gives up within one block of samples.
    for (const File &file : std::as_const(files))
        if (file.thread) {
            file.thread->wait();
            delete file.thread;
        }
}

QString LoudnessTagger::loudnessText(const char *key, const char *defaultText) const
{
    return localizedString(key, defaultText, stringTable);
}

void LoudnessTagger::measure(quint32 index, const QString &input)
{
    File &file = files[index];
    if (file.thread || file.measured || file.dropped)
        return;
    file.input = input;
    file.cancelled = std::make_shared<std::atomic<bool>>(false);
    file.measurement = std::make_shared<Measurement>();
    QThread *thread = QThread::create([input, measurement = file.measurement, cancelled = file.cancelled] {
        measurement->problem = measurement->meter.measure(input, *cancelled);
    });
    file.thread = thread;
    connect(thread, &QThread::finished, this, [this, index, thread] { measuredFile(index, thread); });
    thread->start();
}

void LoudnessTagger::measuredFile(quint32 index, QThread *thread)
{
    const auto file = files.find(index);
    if (file == files.end() || file->thread != thread)
        return;
    const bool wasBusy = isBusy();
    thread->wait();
    delete thread;
    file->thread = nullptr;
    file->measured = true;
    proceed(index);
    settleIfIdle(wasBusy);
}

void LoudnessTagger::encoded(quint32 index, const QString &output)
{
    File &file = files[index];
    file.encoded = true;
    file.output = output;
    // A file whose measurement never began has nothing to wait for.
    if (!file.thread)
        file.measured = true;
    // Rewriting the MP3 waits for the event loop, so that the run starts its next encoder first:
    // the encoders are never held up by the tags.
    file.tagsDue = true;
    QMetaObject::invokeMethod(
        this, [this, index] { writeDueTags(index); }, Qt::QueuedConnection);
}

void LoudnessTagger::writeDueTags(quint32 index)
{
    const auto file = files.find(index);
    if (file == files.end() || !file->tagsDue)
        return;
    const bool wasBusy = isBusy();
    file->tagsDue = false;
    proceed(index);
    settleIfIdle(wasBusy);
}

void LoudnessTagger::dropped(quint32 index)
{
    const bool wasBusy = isBusy();
    File &file = files[index];
    if (file.encoded)
        return;
    file.dropped = true;
    if (file.thread)
        *file.cancelled = true;
    finishAlbum(albums.value(index));
    settleIfIdle(wasBusy);
}

void LoudnessTagger::abandon()
{
    for (quint32 index = 0; index < quint32(albums.size()); ++index)
        if (!files.value(index).encoded)
            dropped(index);
    // What is encoded keeps its tags: the measurements of whole files are waited for.
    const QList<quint32> indexes = files.keys();
    for (const quint32 index : indexes)
        writeDueTags(index);
    for (const quint32 index : indexes)
        if (QThread *thread = files.value(index).thread)
            measuredFile(index, thread);
}

bool LoudnessTagger::isBusy() const
{
    return std::any_of(files.cbegin(), files.cend(),
                       [](const File &file) { return file.encoded && (!file.measured || file.tagsDue); });
}

void LoudnessTagger::settleIfIdle(bool wasBusy)
{
    if (wasBusy && !isBusy())
        emit settled();
}

void LoudnessTagger::proceed(quint32 index)
{
    const File &file = files.value(index);
    if (!file.encoded || !file.measured || file.tagsDue)
        return;
    writeTrackTags(index);
    const QString album = albums.value(index);
    if (album.isEmpty())
        files[index].measurement.reset(); // no album needs its meter (see finishAlbum)
    finishAlbum(album);
}

void LoudnessTagger::writeTrackTags(quint32 index)
{
    File &file = files[index];
    const QString name = QFileInfo(file.input.isEmpty() ? file.output : file.input).fileName();
    const Measurement *measurement = file.measurement.get();
    if (!measurement || measurement->problem != LoudnessMeter::Problem::None) {
        const bool unreadable = !measurement || measurement->problem == LoudnessMeter::Problem::Unreadable;
        emit logged(localizedFormat(
            loudnessText("LoudnessFailed", "The loudness of \"%@\" could not be measured (%@): "
                                           "the MP3 has no loudness tags."),
            {name, unreadable ? loudnessText("LoudnessUnreadable", "its audio cannot be read")
                              : loudnessText("LoudnessMeterFailed", "the loudness meter failed")}));
        emit tagsLost(index);
        return;
    }
    const std::optional<double> loudness = measurement->meter.loudness();
    if (!loudness) {
        // Silence has no loudness to bring anywhere; players leave such a file as it is.
        emit logged(localizedFormat(
            loudnessText("LoudnessSilent", "\"%@\" holds only silence: the MP3 has no track loudness tags."),
            {name}));
        return;
    }
    write(index,
          {{QStringLiteral("REPLAYGAIN_TRACK_GAIN"), LoudnessMeter::gainText(*loudness)},
           {QStringLiteral("REPLAYGAIN_TRACK_PEAK"), LoudnessMeter::peakText(measurement->meter.peak())}});
}

void LoudnessTagger::finishAlbum(const QString &album)
{
    if (album.isEmpty() || finishedAlbums.contains(album))
        return;
    QList<quint32> members;
    for (quint32 index = 0; index < quint32(albums.size()); ++index)
        if (albums.at(index) == album)
            members << index;
    bool whole = true;
    QList<const LoudnessMeter *> meters;
    for (const quint32 index : std::as_const(members)) {
        const File &file = files[index];
        if (!file.dropped && !(file.encoded && file.measured && !file.tagsDue))
            return; // the album's last file is not done yet
        if (file.dropped || !file.measurement || file.measurement->problem != LoudnessMeter::Problem::None)
            whole = false;
        else
            meters << &file.measurement->meter;
    }
    finishedAlbums << album;
    // Once the album is done, so are its files' meters. Each holds libebur128's 400-ms buffer, a
    // quarter of a megabyte for CD audio, which a batch of thousands of files must not gather.
    const auto release = qScopeGuard([&] {
        for (const quint32 index : std::as_const(members))
            if (const auto file = files.find(index); file != files.end())
                file->measurement.reset();
    });
    const auto encodedMembers = [&] {
        QList<quint32> encoded;
        for (const quint32 index : std::as_const(members))
            if (files.value(index).encoded)
                encoded << index;
        return encoded;
    }();
    // The file that spoiled the album is counted where the run ends already (failed, skipped, or
    // its own loudness lost); what it cost the others is said here.
    if (!whole) {
        if (!encodedMembers.isEmpty())
            emit logged(
                localizedFormat(loudnessText("AlbumLoudnessIncomplete",
                                             "The files of the album \"%@\" have track loudness tags only: "
                                             "not every file of the album was encoded and measured."),
                                {album}));
        return;
    }
    const std::optional<double> loudness = LoudnessMeter::albumLoudness(meters);
    if (!loudness)
        return;
    const QString gain = LoudnessMeter::gainText(*loudness);
    const QString peak = LoudnessMeter::peakText(LoudnessMeter::albumPeak(meters));
    for (const quint32 index : encodedMembers)
        write(index, {{QStringLiteral("REPLAYGAIN_ALBUM_GAIN"), gain},
                      {QStringLiteral("REPLAYGAIN_ALBUM_PEAK"), peak}});
}

bool LoudnessTagger::write(quint32 index, const QList<std::pair<QString, QString>> &texts)
{
    const QString output = files.value(index).output;
    const OSErr status = MusicLibrary::writeUserTexts(output, texts);
    if (status) {
        emit logged(localizedFormat(
            loudnessText("LoudnessTagsFailed", "The loudness tags of \"%@\" could not be written: %@."),
            {QFileInfo(output).fileName(), TunesErrorText(status)}));
        emit tagsLost(index);
    }
    return status == noErr;
}
