#pragma once

#include <QByteArray>
#include <QString>

// A short MP3 (sox and the real lame, made once) or WAV copied to `folder`/`name`; empty on failure.
QString makeTestMp3(const QString &folder, const QString &name);
QString makeTestWav(const QString &folder, const QString &name);
QByteArray readWholeFile(const QString &path);
