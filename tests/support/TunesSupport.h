#pragma once

#include <QByteArray>
#include <QString>

// A short MP3 (sox and the real lame, made once) or WAV copied to `folder`/`name`; empty on failure.
QString makeTestMp3(const QString &folder, const QString &name);
QString makeTestWav(const QString &folder, const QString &name);
QByteArray readWholeFile(const QString &path);
// The text of the first ID3v2 frame `id` in the MP3 at `path`; empty when there is none.
QString id3Frame(const QString &path, const char *id);
