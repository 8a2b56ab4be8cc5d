#include "support/widgets/BatchFixture.h"
#include "support/AudioFiles.h"
#include "support/widgets/TestSheets.h"

#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "monitor/LameProgress.h"
#include "platform/Resources.h"
#include "platform/widgets/WindowDescription.h"
#include "rip/Ripper.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QStandardPaths>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

BatchFixture::BatchFixture(bool fakeEncoder) : theMaster(new LameMaster)
{
    QApplication::setQuitOnLastWindowClosed(false);
    if (fakeEncoder) {
        const QString fake = qEnvironmentVariable("ORVIK_HELPERS_DIR") + QStringLiteral("/fake_lame");
        QFile::link(fake, fakeFolder.filePath("lame"));
        QFile::link(fake, fakeFolder.filePath("lame_raw"));
        Resources::prependSearchFolder(fakeFolder.path());
    }
}

BatchFixture::~BatchFixture()
{
    closeEverything();
    delete theMaster;
}

QString BatchFixture::fakeInput(const QString &name, double seconds, int exitStatus)
{
    return AudioFiles::writeFakeInput(inputs.filePath(name), seconds, exitStatus);
}

QString BatchFixture::cleanMusicFolder() const
{
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    QFile::remove(music); // a test may have made it a plain file
    QDir(music).removeRecursively();
    QDir().mkpath(music);
    return music;
}

BatchEncoder *BatchFixture::batchWith(const QStringList &files)
{
    BatchEncoder *batch = BatchEncoder::initWithPreferences(theMaster->preferences());
    for (const QString &file : files)
        batch->addFile(file, false);
    return batch;
}

QPushButton *BatchFixture::button(BatchEncoder *batch, const char *name)
{
    return WindowDescription::outlet<QPushButton>(batch->window(), name);
}

void BatchFixture::interrupt(LameProgress *progress, SheetButton button)
{
    for (QPushButton *candidate : progress->progressSheet()->findChildren<QPushButton *>())
        if (WindowDescription::tag(candidate) == button)
            candidate->click();
}

bool BatchFixture::answer(const QString &text, const QString &button, int timeout)
{
    QMessageBox *alert = TestSheets::waitForAlert(timeout);
    if (alert && (alert->text() == text || alert->informativeText() == text))
        return TestSheets::click(alert, button);
    qWarning() << "expected" << text << "but"
               << (alert ? alert->text() + " / " + alert->informativeText() : "no alert");
    return false;
}

bool BatchFixture::closeEverything()
{
    while (QMessageBox *alert = TestSheets::waitForAlert(0))
        delete alert;
    while (QFileDialog *panel = TestSheets::waitForPanel(0))
        delete panel;
    for (RunWindowController *run : QList(RunWindowController::all()))
        run->abort();
    for (BatchEncoder *batch : BatchEncoder::allControllers())
        batch->window()->close();
    for (Ripper *ripper : Ripper::allControllers())
        ripper->window()->close();
    return QTest::qWaitFor(
        [] { return BatchEncoder::allControllers().isEmpty() && Ripper::allControllers().isEmpty(); });
}

bool BatchFixture::writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool BatchFixture::setImmutable(const QString &path, bool on)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
}
