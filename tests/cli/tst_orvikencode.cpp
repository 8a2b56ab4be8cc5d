#include "support/AudioFiles.h"
#include "support/TunesSupport.h"

#include <taglib/mpegfile.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>
#include <unistd.h>

// orvik-encode and orvik's command line run as a user runs them: the built programs, the real lame on
// files made by sox; only the stop uses the stand-in encoder, for files that stay unfinished.
namespace {
QStringList states(const QJsonObject &report)
{
    QStringList states;
    for (const QJsonValue &file : report.value("files").toArray())
        states << file.toObject().value("state").toString();
    return states;
}
} // namespace

class tst_OrvikEncode : public QObject
{
    Q_OBJECT

    QTemporaryDir work;
    // A text under an audio name, Orvik's settings for 320 kbit/s, a file no settings store reads, an
    // MP3 there before.
    const QHash<QString, QByteArray> texts{{"text", "not audio at all\n"},
                                           {"320", "[General]\nCBR%20Bit%20Rate=i:320\n"},
                                           {"bad", "[General]\nBit%20Rate%20Mode=zzz\n"},
                                           {"old", "old"}};

    static QString built(const QString &name) { return QStringLiteral(ORVIK_BUILD_DIR "/") + name; }
    QString path(const QString &relative) const { return work.filePath(relative); }

    // The environment of a terminal without a display: neither program may need one for this.
    static QProcessEnvironment noDisplay()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        return environment;
    }

    // The exit status (-1 for a crash or a hang), standard output and standard error.
    std::tuple<int, QString, QString> run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.setProcessEnvironment(noDisplay());
        process.setWorkingDirectory(work.path());
        process.start(program, arguments);
        const bool ended = process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit;
        return {ended ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // "folder/name.wav" (or .flac) a second of sine, "name:title=T" tagged with title T, "name:kind" a text.
    bool makeInput(const QString &spec)
    {
        const QString name = spec.section(u':', 0, 0), kind = spec.section(u':', 1);
        QDir().mkpath(QFileInfo(path(name)).path());
        if (QFile out(path(name)); texts.contains(kind))
            return out.open(QIODevice::WriteOnly) && out.write(texts[kind]) == texts[kind].size();
        if (kind.startsWith("title="))
            return AudioFiles::run("sox",
                                   {"-n", "-r", "44100", "-c", "2", "-b", "16", "--comment",
                                    "TITLE=" + kind.mid(6), path(name), "synth", "1", "sine", "440"}) == 0;
        return AudioFiles::makeSine(path(name), 1);
    }

  private slots:
    void initTestCase() { QVERIFY(AudioFiles::haveProgram("lame") && AudioFiles::haveProgram("sox")); }
    void init() { QVERIFY(QDir(work.path()).removeRecursively() && QDir().mkpath(work.path())); }

    void commandLines_data()
    {
        // '|'-separated: inputs made, MP3s there before, states in the order encoded, MP3s of a second.
        QTest::addColumn<QString>("program");
        for (const char *column : {"inputs", "existing", "arguments", "states", "encoded"})
            QTest::addColumn<QStringList>(column);
        QTest::addColumn<int>("status");
        // Texts said ('|'-separated): on standard output for help and version, else on standard error.
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("usage"); // the usage text comes with it
        const auto list = [](const QString &text) { return text.split(u'|', Qt::SkipEmptyParts); };
        // A run of files, with --json -o out besides `arguments`.
        const auto encodes = [&](const char *name, const char *inputs, const char *existing,
                                 const char *arguments, const char *states, const char *encoded, int status,
                                 const char *said) {
            QTest::newRow(name) << QString("orvik-encode") << list(inputs) << list(existing)
                                << QString("--json -o out ").append(arguments).split(u' ') << list(states)
                                << list(encoded) << status << QString(said) << false;
        };
        encodes("a folder of WAV and FLAC, a bad file among them",
                "in/a.wav|in/b.flac|in/c.wav:text|in/sub/d.wav|in/notes.txt:text", "", "-j 2 --no-library in",
                "encoded|encoded|failed|encoded", "a.mp3|b.mp3|sub/d.mp3", 1,
                "Cannot encode \"c.wav\": it is not a WAV file.");
        // A title in the input reaches the MP3 both ways.
        encodes("tags through the music library", "in/t.flac:title=Song of Orvik", "", "in", "encoded",
                "t.mp3", 0, "Encoded \"t.flac\" as \"t.mp3\".");
        encodes("tags through the encoder, settings of a file given, a file named like an option after --",
                "in/t.flac:title=Song of Orvik|mine.conf:320|-x.wav", "",
                "--settings mine.conf --no-library -- in -x.wav", "encoded|encoded", "t.mp3|-x.mp3", 0,
                "Encoding \"-x.wav\" (2 of 2)");
        encodes("an existing MP3 is skipped, a missing file is named", "in/a.wav|in/b.wav", "a.mp3",
                "--no-library missing.wav in", "failed|skipped|encoded", "b.mp3", 1,
                "\"a.mp3\" exists: \"a.wav\" skipped|Cannot encode \"missing.wav\": it does not exist.");
        // --replace never replaces what the run itself wrote.
        encodes("--replace", "x/a.wav|y/a.wav", "a.mp3", "--replace --no-library x/a.wav y/a.wav",
                "encoded|skipped", "a.mp3", 1, "Replacing \"a.mp3\".|was written by this run");
        encodes("--rename", "in/a.wav|in/b.wav", "a.mp3", "--rename --no-library in", "encoded|encoded",
                "a 2.mp3|b.mp3", 0, "\"a.mp3\" exists: \"a.wav\" is written as \"a 2.mp3\".");

        // Command lines answered or refused before any file is encoded.
        const auto row = [&](const char *name, const char *arguments, int status, const char *said,
                             bool usage, const char *program = "orvik-encode") {
            QTest::newRow(name) << QString(program) << list("in/a.wav|empty/notes.txt:text|bad.conf:bad")
                                << QStringList() << QString(arguments).split(u' ') << QStringList()
                                << QStringList() << status << QString(said) << usage;
        };
        row("help", "--help", 0, "Usage: orvik-encode [OPTIONS] FILE...", true);
        row("version", "--version", 0, "orvik-encode (Orvik) ", false);
        row("unknown option", "--frobnicate in", 2, "unknown option \"--frobnicate\"", true);
        row("unknown short option among known ones", "-qx in", 2, "unknown option \"-x\"", true);
        row("a lone dash", "-", 2, "unknown option \"-\"", true);
        row("jobs without a value", "in -j", 2, "the option -j needs a value", true);
        row("jobs zero", "-j 0 in", 2, "needs a number of files from 1 to 256, not \"0\"", true);
        row("a value for a switch", "--json=yes in", 2, "the option --json takes no value", true);
        row("replace and rename", "--replace --rename in", 2,
            "--replace and --rename cannot be given together", true);
        row("no files", "--no-library", 2, "no files or folders to encode", true);
        row("a folder without audio", "-o out empty", 2,
            "\"empty\" holds no WAV, AIFF, FLAC, Ogg or Opus file", false);
        row("a settings file that cannot be read", "--settings missing.conf in", 2,
            "the settings file \"missing.conf\" cannot be read", false);
        // Only read: never repaired, nor moved aside.
        row("a settings file of another program", "--settings bad.conf in", 2,
            "\"bad.conf\" is not a settings file of Orvik", false);
        row("an output folder that cannot be made", "-o /proc/orvik in", 2,
            "the folder \"/proc/orvik\" cannot be created or written", false);
        // The window program answers these without a display, and never takes them for files.
        row("orvik help", "--help", 0, "Usage: orvik [FILE...]", true, "orvik");
        row("orvik version", "--version", 0, "Orvik ", false, "orvik");
        row("orvik unknown option", "song.wav --frobnicate", 2, "orvik: unknown option \"--frobnicate\"",
            true, "orvik");
    }

    void commandLines()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, inputs);
        QFETCH(QStringList, existing);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, states);
        QFETCH(QStringList, encoded);
        QFETCH(int, status);
        QFETCH(QString, said);
        QFETCH(bool, usage);
        for (const QString &input : inputs)
            QVERIFY2(makeInput(input), qPrintable(input));
        QVERIFY(QDir().mkpath(path("out")));
        for (const QString &name : existing)
            QVERIFY(makeInput("out/" + name + ":old"));

        const auto [code, out, err] = run(built(program), arguments);
        QCOMPARE(code, status);
        const QString &shown = status == 0 && states.isEmpty() ? out : err;
        for (const QString &text : said.split(u'|')) // texts of the row, all said
            QVERIFY2(shown.contains(text), qPrintable(shown));
        QCOMPARE(shown.contains("Usage: " + program), usage);
        if (states.isEmpty() && status != 0)
            QVERIFY(out.isEmpty());      // a refused command line prints nothing meant for a program
        QVERIFY(!err.contains("\x1b[")); // plain lines in a pipe, never a terminal's escapes
        if (!states.isEmpty()) {
            QJsonParseError error;
            const QJsonObject report = QJsonDocument::fromJson(out.toUtf8(), &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(out));
            QCOMPARE(report.value("exitStatus").toInt(), status);
            QCOMPARE(report.value("outputFolder").toString(), QDir(path("out")).canonicalPath());
            QCOMPARE(::states(report), states);
            // What did not become an MP3 says why.
            for (const QJsonValue &file : report.value("files").toArray())
                QCOMPARE(file.toObject().contains("reason"), file.toObject().value("state") != "encoded");
            QCOMPARE(report.value("counts").toObject().value("encoded").toInt(),
                     int(states.count("encoded")));
        }

        // A settings file given sets the bit rate; TagLib's measure of a short file is near enough.
        const int bitRate = arguments.contains("--settings") ? 320 : 128;
        for (const QString &name : encoded) {
            QVERIFY2(qAbs(AudioFiles::decodedSeconds(path("out/" + name)) - 1.0) < 0.1, qPrintable(name));
            TagLib::MPEG::File mp3(QFile::encodeName(path("out/" + name)).constData());
            QVERIFY(mp3.audioProperties() && qAbs(mp3.audioProperties()->bitrate() - bitRate) < 32);
        }
        for (const QString &name : existing)
            if (!encoded.contains(name))
                QCOMPARE(readWholeFile(path("out/" + name)), QByteArray("old"));
        // Nothing half-written or unasked for: only the MP3s encoded and those there before.
        QSet<QString> written;
        for (QDirIterator walk(path("out"), QDir::Files, QDirIterator::Subdirectories); walk.hasNext();)
            written << QDir(path("out")).relativeFilePath(walk.next());
        QCOMPARE(written,
                 QSet<QString>(encoded.cbegin(), encoded.cend()).unite({existing.cbegin(), existing.cend()}));
        // The inputs are only read, and nothing is put beside them.
        for (const QString &input : inputs) {
            const QString name = input.section(u':', 0, 0), kind = input.section(u':', 1);
            if (kind.startsWith("title="))
                QCOMPARE(id3Frame(path("out/" + QFileInfo(name).baseName() + ".mp3"), "TIT2"), kind.mid(6));
            else if (texts.contains(kind))
                QVERIFY2(
                    readWholeFile(path(name)) == texts[kind] &&
                        QFileInfo(path(name)).dir().entryList({QFileInfo(name).fileName() + '*'}).size() == 1,
                    qPrintable(name));
        }
    }

    // On a terminal the running and batch lines are taken back (cursor up, clear) before one that stays.
    void progressOnATerminal()
    {
        QVERIFY(QDir().mkpath(path("in")));
        QVERIFY(AudioFiles::makeSine(path("in/a.wav"), 20) && AudioFiles::makeSine(path("in/b.wav"), 20));
        // script gives the program a terminal of its own and copies what it shows.
        const auto [status, shown, err] =
            run("script", {"-qefc", built("orvik-encode") + " -j 1 --no-library -o out in", "/dev/null"});
        QCOMPARE(status, 0);
        QVERIFY2(shown.contains("Encoded \"b.wav\" as \"b.mp3\"."), qPrintable(shown));
        QVERIFY(shown.contains("\x1b[2A\r\x1b[J") || shown.contains("\x1b[1A\r\x1b[J"));
        QVERIFY(shown.contains(" of 2 files") && !shown.contains("Encoding \"a.wav\" (1 of 2)"));
        QVERIFY(shown.contains("2 files encoded into " + QDir(path("out")).canonicalPath() + "."));
    }

    void interrupt()
    {
        // A copy of the program finds the slow stand-in encoder beside itself first.
        const QString bin = path("bin");
        QVERIFY(QDir().mkpath(bin + "/resources/encoder"));
        QVERIFY(QFile::copy(built("orvik-encode"), bin + "/orvik-encode"));
        QVERIFY(QFile::setPermissions(bin + "/orvik-encode", QFileDevice::ExeOwner | QFileDevice::ReadOwner));
        QVERIFY(QFile::link(qEnvironmentVariable("ORVIK_HELPERS_DIR") + "/fake_lame",
                            bin + "/resources/encoder/lame"));
        QDir().mkpath(path("in"));
        for (const char *name : {"a", "b", "c", "d"})
            AudioFiles::writeFakeInput(path("in/%1.wav").arg(name), name[0] == 'a' ? 0.1 : 600);

        QProcess process;
        process.setProcessEnvironment(noDisplay());
        process.setWorkingDirectory(work.path());
        // A group of its own, as a shell gives a job: Ctrl+C reaches every process in it.
        process.setChildProcessModifier([] { setpgid(0, 0); });
        process.start(bin + "/orvik-encode", {"-j", "2", "--json", "-o", "out", "in"});
        QString errors;
        QTRY_VERIFY2_WITH_TIMEOUT((errors += QString::fromUtf8(process.readAllStandardError()),
                                   errors.contains("Encoded \"a.wav\"") &&
                                       QFileInfo::exists(path("out/b.mp3")) &&
                                       QFileInfo::exists(path("out/c.mp3"))),
                                  qPrintable(errors), 60000);

        // The encoders leave Ctrl+C to the program, which stops them in order.
        QStringList encoders;
        QDirIterator threads("/proc/" + QString::number(process.processId()) + "/task",
                             QDir::Dirs | QDir::NoDotAndDotDot);
        while (threads.hasNext())
            encoders += QString::fromLatin1(readWholeFile(threads.next() + "/children"))
                            .split(u' ', Qt::SkipEmptyParts);
        QCOMPARE(encoders.size(), 2);
        for (const QString &encoder : std::as_const(encoders)) {
            const QString status = QString::fromLatin1(readWholeFile("/proc/" + encoder + "/status"));
            const qulonglong ignored =
                status.section("SigIgn:", 1).section(u'\n', 0, 0).trimmed().toULongLong(nullptr, 16);
            QVERIFY2(ignored & (1ull << (SIGINT - 1)), qPrintable(encoder));
        }

        QCOMPARE(::kill(-pid_t(process.processId()), SIGINT), 0);
        QTRY_COMPARE_WITH_TIMEOUT(process.state(), QProcess::NotRunning, 60000);
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 128 + SIGINT);
        QCOMPARE(QDir(path("out")).entryList(QDir::Files), QStringList{"a.mp3"}); // no partial left
        const QJsonObject report = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
        QCOMPARE(states(report), QStringList({"encoded", "stopped", "stopped", "notStarted"}));
        QCOMPARE(report.value("interrupted").toBool(), true);
    }
};

QTEST_GUILESS_MAIN(tst_OrvikEncode)
#include "tst_orvikencode.moc"
