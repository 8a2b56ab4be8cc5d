#pragma once

#include "platform/AppleEvents.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Stands in for the music library under the signature "hook" while it lives, recording every
// event that reaches it, and puts the previous receiver back when destroyed.
class TunesRecorder
{
  public:
    struct Sent
    {
        QString printed; // AEPrintDesc of the event
        AEEventClass eventClass = 0;
        AEEventID eventID = 0;
        AESendMode sendMode = 0;
        long timeout = 0;
        AEReturnID returnID = 0;
        AETransactionID transactionID = 0;
        QString address; // AEPrintDesc of the target address
        bool hadReply = false;
        AppleEvent event{typeNull, nullptr}; // a copy, owned by the recorder
    };

    TunesRecorder();
    ~TunesRecorder();
    TunesRecorder(const TunesRecorder &) = delete;
    TunesRecorder &operator=(const TunesRecorder &) = delete;

    QList<Sent> sent;
    // The status answered for the event with that index (counting from 0); noErr otherwise.
    QHash<int, OSErr> failures;
    // When true, replies carry no direct object.
    bool answerWithoutObject = false;

    QStringList printed() const;
    // The direct object that the reply to the event with that index carried: 'long'(index + 1).
    static QString answerFor(int index);

  private:
    AEReceiver previous;
};

// Builds one short MP3 (sox and the real lame) the first time it is asked and copies it to
// `folder`/`name`; returns the new file's path, or an empty string when it could not be made.
QString makeTestMp3(const QString &folder, const QString &name);
// A short WAV file made by sox.
QString makeTestWav(const QString &folder, const QString &name);
QByteArray readWholeFile(const QString &path);
