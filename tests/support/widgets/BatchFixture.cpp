#include "support/widgets/BatchFixture.h"
#include "support/AudioFiles.h"
#include "support/widgets/TestSheets.h"

#include "app/LameMaster.h"
#include "batch/BatchEncoder.h"
#include "core/LamePrefs.h"
#include "monitor/LameProgress.h"
#include "platform/Resources.h"
#include "platform/widgets/WindowDescription.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>
#include <sndfile.h>

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
    for (BatchEncoder *batch : BatchEncoder::allControllers())
        batch->abortRun();
    QTest::qWait(50);
    delete theMaster;
}

QString BatchFixture::fakeInput(const QString &name, double seconds, int exitStatus)
{
    return AudioFiles::writeFakeInput(inputs.filePath(name), seconds, exitStatus);
}

QString BatchFixture::cleanMusicFolder() const
{
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
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

void BatchFixture::encode(BatchEncoder *batch)
{
    button(batch, "encodeButton")->click();
}

void BatchFixture::interrupt(BatchEncoder *batch, int tag)
{
    for (QPushButton *candidate : batch->progressController()->progressSheet()->findChildren<QPushButton *>())
        if (WindowDescription::tag(candidate) == tag)
            candidate->click();
}

bool BatchFixture::waitUntilEncoding(BatchEncoder *batch, quint32 index)
{
    return QTest::qWaitFor(
        [&] {
            return batch->currentTaskIndex() == index && batch->encoderProcess() &&
                   batch->encoderProcess()->state() == QProcess::Running;
        },
        15000);
}

bool BatchFixture::waitUntilEnded(BatchEncoder *batch)
{
    return QTest::qWaitFor([&] { return !BatchEncoder::allControllers().contains(batch); }, 15000);
}

bool BatchFixture::closeEverything()
{
    while (QMessageBox *alert = TestSheets::waitForAlert(0))
        delete alert;
    while (QFileDialog *panel = TestSheets::waitForPanel(0))
        delete panel;
    for (BatchEncoder *batch : BatchEncoder::allControllers())
        batch->abortRun();
    return QTest::qWaitFor([] { return BatchEncoder::allControllers().isEmpty(); });
}
