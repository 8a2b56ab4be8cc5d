// Records what a program writes, chunk by chunk as it reaches a reader through QProcess, so that
// parser tests can replay an encoder's real output exactly as the application received it.
//   record_transcript OUTPUT PROGRAM [ARGUMENTS...]
// Lines starting with "#" are notes; every other line is "out " or "err " and one chunk in base64.
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    QFile transcript(arguments.value(1));
    if (arguments.size() < 3 || !transcript.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QTextStream(stderr) << "usage: record_transcript OUTPUT PROGRAM [ARGUMENTS...]\n";
        return 2;
    }
    QTextStream stream(&transcript);
    stream << "# command: " << arguments.mid(2).join(u' ') << '\n';
    QProcess process;
    QObject::connect(&process, &QProcess::readyReadStandardOutput,
                     [&] { stream << "out " << process.readAllStandardOutput().toBase64() << '\n'; });
    QObject::connect(&process, &QProcess::readyReadStandardError,
                     [&] { stream << "err " << process.readAllStandardError().toBase64() << '\n'; });
    QObject::connect(&process, &QProcess::finished, [&](int code, QProcess::ExitStatus status) {
        stream << "# exit: " << code << (status == QProcess::CrashExit ? " (crashed)" : "") << '\n';
        application.quit();
    });
    QObject::connect(&process, &QProcess::errorOccurred, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            stream << "# failed to start\n";
            application.quit();
        }
    });
    process.start(arguments.at(2), arguments.mid(3));
    return application.exec();
}
