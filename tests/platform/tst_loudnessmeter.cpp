#include "support/AudioFiles.h"

#include "platform/LoudnessMeter.h"

#include <QtTest>
#include <cmath>

// The meter against what the loudness standard fixes and sox measures on its own: a 1 kHz sine
// at A dBFS in both channels of a stereo file is A LUFS (the standard's own calibration signal),
// a mono file sounds from both speakers, an album is the power mean of its gated blocks.
class tst_LoudnessMeter : public QObject
{
    Q_OBJECT

    QTemporaryDir scratch;
    const std::atomic<bool> going{false};

    // A 10 s 1 kHz sine at `level` dBFS (silence when there is no level) at `rate` Hz.
    QString sine(const QString &name, int channels, std::optional<double> level, int rate = 44100)
    {
        const QString path = scratch.filePath(name + ".wav");
        QStringList arguments{"-D",  "-n",
                              "-r",  QString::number(rate),
                              "-c",  QString::number(channels),
                              "-b",  "16",
                              path,  "synth",
                              "10",  "sine",
                              "1000"};
        arguments += level ? QStringList{"vol", QString::number(*level) + "dB"} : QStringList{"vol", "0"};
        return AudioFiles::run("sox", arguments) == 0 ? path : QString();
    }

  private slots:
    void measure_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<std::optional<double>>("level"); // dBFS of the sine; none: silence
        QTest::addColumn<int>("rate");
        QTest::addColumn<LoudnessMeter::Problem>("problem");
        QTest::newRow("stereo at -23 dBFS")
            << 2 << std::optional(-23.0) << 44100 << LoudnessMeter::Problem::None;
        QTest::newRow("stereo at -9 dBFS, 48 kHz")
            << 2 << std::optional(-9.0) << 48000 << LoudnessMeter::Problem::None;
        QTest::newRow("mono counts twice")
            << 1 << std::optional(-23.0) << 44100 << LoudnessMeter::Problem::None;
        QTest::newRow("silence") << 2 << std::optional<double>() << 44100 << LoudnessMeter::Problem::None;
        // The encoder takes such a file; the meter's filters cannot be made for it.
        QTest::newRow("rate too low to measure")
            << 2 << std::optional(-23.0) << 15 << LoudnessMeter::Problem::Failed;
        QTest::newRow("not audio") << 0 << std::optional<double>() << 0 << LoudnessMeter::Problem::Unreadable;
    }
    void measure()
    {
        QFETCH(int, channels);
        QFETCH(std::optional<double>, level);
        QFETCH(int, rate);
        QFETCH(LoudnessMeter::Problem, problem);
        QString path = scratch.filePath("text.wav");
        if (channels == 0) {
            QFile text(path);
            QVERIFY(text.open(QIODevice::WriteOnly) && text.write(QByteArray(4096, 'x')) > 0);
        } else {
            path = sine(QTest::currentDataTag(), channels, level, rate);
            QVERIFY(!path.isEmpty());
        }
        LoudnessMeter meter;
        QCOMPARE(meter.measure(path, going), problem);
        QCOMPARE(meter.isMeasured(), problem == LoudnessMeter::Problem::None);
        if (problem != LoudnessMeter::Problem::None)
            return;
        QCOMPARE(meter.loudness().has_value(), level.has_value());
        if (level)
            QVERIFY2(std::abs(*meter.loudness() - *level) < 0.1,
                     qPrintable(QString::number(*meter.loudness())));
        QVERIFY(std::abs(meter.peak() - AudioFiles::levels(path).peak) < 1e-4);
    }

    void album()
    {
        const QList<double> levels{-23.0, -13.0};
        std::vector<LoudnessMeter> meters(size_t(levels.size()));
        QList<const LoudnessMeter *> album;
        double power = 0, peak = 0;
        for (qsizetype i = 0; i < levels.size(); ++i) {
            const QString path = sine(QString("album %1").arg(i), 2, levels.at(i));
            QCOMPARE(meters[size_t(i)].measure(path, going), LoudnessMeter::Problem::None);
            album << &meters[size_t(i)];
            power += std::pow(10.0, levels.at(i) / 10) / double(levels.size());
            peak = std::max(peak, AudioFiles::levels(path).peak);
        }
        QVERIFY(std::abs(*LoudnessMeter::albumLoudness(album) - 10 * std::log10(power)) < 0.1);
        QVERIFY(std::abs(LoudnessMeter::albumPeak(album) - peak) < 1e-4);
        // Stopped at once, the meter gives up and keeps nothing.
        const std::atomic<bool> cancelled{true};
        QCOMPARE(meters[0].measure(sine("cancelled", 2, -20.0), cancelled),
                 LoudnessMeter::Problem::Cancelled);
        QVERIFY(!meters[0].isMeasured());
    }
};

QTEST_GUILESS_MAIN(tst_LoudnessMeter)
#include "tst_loudnessmeter.moc"
