#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The files a command line names, each with the MP3 it becomes. A file given by name is taken
// whatever it is (the run checks every input and says why one cannot be encoded); a folder is
// searched, with its subfolders, for the kinds of audio a batch accepts, and its files keep
// their subfolders below the output folder, so that albums with the same track names do not
// meet in one folder. Hidden files and folders are left out.
class InputFiles
{
  public:
    struct File
    {
        QString input;  // absolute
        QString output; // absolute, in the output folder or one of its subfolders
    };

    // Collects the files of `arguments` (relative to the current folder) for `outputFolder`.
    InputFiles(const QStringList &arguments, const QString &outputFolder);

    QList<File> files() const { return found; }
    // The folders given that hold no audio file of an accepted kind.
    QStringList emptyFolders() const { return empty; }

  private:
    void add(const QString &input, const QString &outputFolder);

    QList<File> found;
    QStringList empty;
    QSet<QString> seen;
};
