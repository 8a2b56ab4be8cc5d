#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class BatchEncoder;
class LameMaster;
class QMessageBox;
class QPushButton;

// A batch window driven as a user would: files added, Encode pressed, the progress sheet's
// buttons clicked. With `fakeEncoder`, the encoder is the test's stand-in, whose input files
// say how long it runs and how it ends.
class BatchFixture
{
  public:
    explicit BatchFixture(bool fakeEncoder);
    ~BatchFixture();

    LameMaster &master() { return *theMaster; }
    // An input file for the stand-in encoder: a WAV file of a few samples.
    QString fakeInput(const QString &name, double seconds, int exitStatus = 0);
    QString inputFolder() const { return inputs.path(); }
    // The music folder, emptied.
    QString cleanMusicFolder() const;

    BatchEncoder *batchWith(const QStringList &files);
    static QPushButton *button(BatchEncoder *batch, const char *name);
    static void encode(BatchEncoder *batch);
    // Clicks Stop (tag 1) or Skip (tag 2) on the progress sheet.
    static void interrupt(BatchEncoder *batch, int tag);
    // Waits until the encoder of file `index` runs.
    static bool waitUntilEncoding(BatchEncoder *batch, quint32 index);
    // Takes down every alert and panel and ends every batch, so that a failed test leaves nothing
    // behind for the next one; false when a batch is still there after the wait.
    static bool closeEverything();
    // Waits until the batch controller is gone.
    static bool waitUntilEnded(BatchEncoder *batch);

  private:
    LameMaster *theMaster;
    QTemporaryDir inputs;
    QTemporaryDir fakeFolder;
};
