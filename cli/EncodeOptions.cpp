#include "cli/EncodeOptions.h"

#include "cli/EncodeTexts.h"

namespace {
// The most files encoded at once that is taken from the command line: more only queue up
// behind the machine's cores and multiply the open files.
constexpr quint32 kMostJobs = 256;
} // namespace

QString EncodeOptions::usage()
{
    return encodeText(
        "Usage",
        "Usage: orvik-encode [OPTIONS] FILE...\n"
        "Encodes audio files into MP3 files with lame, with Orvik's settings, tags, covers and music\n"
        "library. A folder given as FILE is searched, with its subfolders, for WAV, AIFF, FLAC, Ogg\n"
        "and Opus files; their MP3 files keep the subfolders below the output folder.\n"
        "\n"
        "  -o, --output DIR     write the MP3 files into DIR (default: the folder of the last batch,\n"
        "                       else the music folder)\n"
        "  -j, --jobs N         encode N files at once (default: the number chosen in the settings)\n"
        "      --replace        replace an MP3 file that exists already\n"
        "      --rename         write under a free name (\"Song 2.mp3\") when the name is taken\n"
        "                       (without either, a file whose MP3 exists is skipped)\n"
        "      --no-library     do not hand the MP3 files to the music library this time\n"
        "      --settings FILE  read the settings from FILE instead of Orvik's own\n"
        "      --json           print a summary in JSON on standard output\n"
        "  -q, --quiet          print only what went wrong\n"
        "      --version        print the version and exit\n"
        "  -h, --help           print this help and exit\n"
        "\n"
        "Exit status: 0 every file encoded, 1 some file failed, was skipped or lost its tags, cover\n"
        "or playlist entry, 2 bad usage or nothing to encode, 130 stopped by Ctrl+C.\n");
}

EncodeOptions EncodeOptions::parse(const QStringList &arguments)
{
    EncodeOptions options;
    QString &problem = options.problem;
    bool replace = false;
    bool rename = false;
    bool onlyFiles = false;

    // A value comes glued to its option ("-j2", "--jobs=2") or as the next argument.
    const auto takeValue = [&](qsizetype &i, const QString &option, const QString &glued, bool hasGlued) {
        if (hasGlued)
            return glued;
        if (i + 1 < arguments.size())
            return arguments.at(++i);
        problem = localizedFormat(encodeText("MissingValue", "the option %@ needs a value"), {option});
        return QString();
    };
    const auto setJobs = [&](const QString &option, const QString &value) {
        bool ok = false;
        const uint jobs = value.toUInt(&ok);
        if (!ok || jobs < 1 || jobs > kMostJobs)
            problem = localizedFormat(
                encodeText("BadJobs", "the option %@ needs a number of files from 1 to %u, not \"%@\""),
                {option, kMostJobs, value});
        else
            options.jobs = jobs;
    };

    for (qsizetype i = 0; i < arguments.size() && problem.isEmpty(); ++i) {
        const QString argument = arguments.at(i);
        if (onlyFiles || !argument.startsWith(u'-')) {
            options.files << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            onlyFiles = true;
            continue;
        }
        if (argument.startsWith(QLatin1String("--"))) {
            const qsizetype equals = argument.indexOf(u'=');
            const QString name = equals < 0 ? argument : argument.left(equals);
            const bool takesValue = name == QLatin1String("--output") || name == QLatin1String("--jobs") ||
                                    name == QLatin1String("--settings");
            QString value;
            if (takesValue) {
                value = takeValue(i, name, argument.mid(equals + 1), equals >= 0);
                if (problem.isEmpty() && value.isEmpty())
                    problem =
                        localizedFormat(encodeText("MissingValue", "the option %@ needs a value"), {name});
            } else if (equals >= 0) {
                problem = localizedFormat(encodeText("NoValue", "the option %@ takes no value"), {name});
            }
            if (!problem.isEmpty())
                continue;
            if (name == QLatin1String("--output"))
                options.outputFolder = value;
            else if (name == QLatin1String("--jobs"))
                setJobs(name, value);
            else if (name == QLatin1String("--settings"))
                options.settingsFile = value;
            else if (name == QLatin1String("--replace"))
                replace = true;
            else if (name == QLatin1String("--rename"))
                rename = true;
            else if (name == QLatin1String("--no-library"))
                options.noLibrary = true;
            else if (name == QLatin1String("--json"))
                options.json = true;
            else if (name == QLatin1String("--quiet"))
                options.quiet = true;
            else if (name == QLatin1String("--version"))
                options.version = true;
            else if (name == QLatin1String("--help"))
                options.help = true;
            else
                problem = localizedFormat(encodeText("UnknownOption", "unknown option \"%@\""), {argument});
            continue;
        }
        // Short options, which may be grouped ("-qj2"); -o and -j take the rest as their value.
        for (qsizetype c = 1; c < argument.size() && problem.isEmpty(); ++c) {
            const QChar letter = argument.at(c);
            const QString option = QStringLiteral("-") + letter;
            const QString rest = argument.mid(c + 1);
            if (letter == u'q') {
                options.quiet = true;
            } else if (letter == u'h') {
                options.help = true;
            } else if (letter == u'o' || letter == u'j') {
                const QString value = takeValue(i, option, rest, !rest.isEmpty());
                if (!problem.isEmpty())
                    break;
                if (letter == u'j')
                    setJobs(option, value);
                else if (value.isEmpty())
                    problem =
                        localizedFormat(encodeText("MissingValue", "the option %@ needs a value"), {option});
                else
                    options.outputFolder = value;
                break;
            } else {
                problem = localizedFormat(encodeText("UnknownOption", "unknown option \"%@\""),
                                          {argument.size() == 1 ? argument : option});
            }
        }
        // A lone "-" would mean standard input elsewhere, which is not read here.
        if (argument.size() == 1)
            problem = localizedFormat(encodeText("UnknownOption", "unknown option \"%@\""), {argument});
    }
    if (problem.isEmpty() && replace && rename)
        problem = encodeText("ReplaceAndRename", "--replace and --rename cannot be given together");
    if (problem.isEmpty())
        options.conflicts = replace ? Conflicts::Replace : rename ? Conflicts::Rename : Conflicts::Skip;
    return options;
}
