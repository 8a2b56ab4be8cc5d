#pragma once

#include "platform/AppleEvents.h"

#include <QHash>
#include <QList>
#include <QStringList>

// Stands in for the music library under the signature "hook" while it lives, recording every event
// that reaches it; the reply to event i (from 0) carries 'long'(i + 1) unless told otherwise.
class TunesRecorder
{
  public:
    struct Sent
    {
        QString printed;
        AESendMode sendMode = 0;
        QString file; // the path of a 'fsrf' direct object
    };

    TunesRecorder();
    ~TunesRecorder() { AESetReceiver(fourCharCode("hook"), previous); }
    TunesRecorder(const TunesRecorder &) = delete;
    TunesRecorder &operator=(const TunesRecorder &) = delete;
    QStringList printed() const;

    QList<Sent> sent;
    QHash<int, OSErr> failures; // status answered for the event with that index
    bool answerWithoutObject = false;

  private:
    AEReceiver previous;
};

// A short MP3 (sox and the real lame, made once) or WAV copied to `folder`/`name`; empty on failure.
QString makeTestMp3(const QString &folder, const QString &name);
QString makeTestWav(const QString &folder, const QString &name);
QByteArray readWholeFile(const QString &path);
