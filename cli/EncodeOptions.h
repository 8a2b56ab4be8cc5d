#pragma once

#include <QString>
#include <QStringList>

// What the command line of orvik-encode asks for. Options and file names may come in any order;
// "--" ends the options, so that a file whose name starts with "-" can be given after it. Every
// other argument starting with "-" must be an option: a mistyped option is never taken for a file.
class EncodeOptions
{
  public:
    // What an existing MP3 of the same name makes of a file.
    enum class Conflicts { Skip, Replace, Rename };

    // Reads the arguments (without the program's name). Check error() first, then help and
    // version.
    static EncodeOptions parse(const QStringList &arguments);

    // Why the command line cannot be used; empty when it can.
    QString error() const { return problem; }
    // The usage text that --help prints and a bad command line is answered with.
    static QString usage();

    bool help = false;
    bool version = false;
    bool quiet = false;
    bool json = false;
    bool noLibrary = false;
    Conflicts conflicts = Conflicts::Skip;
    QString outputFolder; // empty: the batch destination setting
    quint32 jobs = 0;     // 0: the "Encode Files at Once" setting
    QString settingsFile; // empty: Orvik's own settings
    QStringList files;    // files and folders, as given

  private:
    QString problem;
};
