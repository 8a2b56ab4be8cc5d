#pragma once

#include "monitor/RunWindowController.h"
#include "support/TunesSupport.h"

#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

class BatchEncoder;
class LameMaster;
class LameProgress;

// The application controller with batch (and rip) windows driven as a user would: files added,
// Encode pressed, the progress sheet's buttons clicked. With `fakeEncoder`, the encoder is the
// test's stand-in, whose input files say how long it runs and how it ends.
class BatchFixture
{
  public:
    enum SheetButton { Stop = 1, Skip = 2 };

    explicit BatchFixture(bool fakeEncoder);
    ~BatchFixture();

    LameMaster &master() { return *theMaster; }
    // An input file for the stand-in encoder: a WAV file of a few samples.
    QString fakeInput(const QString &name, double seconds, int exitStatus = 0);
    // The music folder, emptied.
    QString cleanMusicFolder() const;

    BatchEncoder *batchWith(const QStringList &files);
    static QPushButton *button(BatchEncoder *batch, const char *name);
    static void encode(BatchEncoder *batch) { button(batch, "encodeButton")->click(); }
    // The progress sheet of a batch or rip whose run has begun.
    template <typename Controller> static LameProgress *sheet(Controller *controller)
    {
        return controller->runWindowController()->progress();
    }
    static void interrupt(LameProgress *progress, SheetButton button);
    // Waits for an alert whose title or message reads `text` and clicks `button` on it; false (with
    // what was up instead) when there is no such alert or button.
    static bool answer(const QString &text, const QString &button, int timeout = 15000);
    // Takes down every alert and panel and ends every batch and rip, so that a failed test leaves
    // nothing behind for the next one; false when a window is still there after the wait.
    static bool closeEverything();

    // Waits until the encoder of record `index` runs.
    template <typename Controller> static bool waitUntilEncoding(Controller *controller, quint32 index)
    {
        return QTest::qWaitFor(
            [&] {
                const RunWindowController *window = controller->runWindowController();
                return window && window->run()->currentIndex() == index &&
                       window->run()->isEncoderRunning(index);
            },
            15000);
    }
    // Waits until a batch or rip controller is gone.
    template <typename Controller> static bool waitUntilEnded(Controller *controller)
    {
        return QTest::qWaitFor([&] { return !Controller::allControllers().contains(controller); }, 15000);
    }

    static QByteArray contents(const QString &path) { return readWholeFile(path); }
    static bool writeFile(const QString &path, const QByteArray &bytes);
    // Sets or clears the immutable flag (needs root and a file system that has it).
    static bool setImmutable(const QString &path, bool on);

  private:
    LameMaster *theMaster;
    QTemporaryDir inputs;
    QTemporaryDir fakeFolder;
};
