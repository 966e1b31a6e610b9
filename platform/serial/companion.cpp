#include "companion.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

CompanionRun RunCompanion(const std::string& name, const std::vector<std::string>& args) {
    CompanionRun run;
    const QString program = QString::fromStdString(name);
    QString path =
        QStandardPaths::findExecutable(program, {QCoreApplication::applicationDirPath()});
    if (path.isEmpty()) path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        run.failure = "not found";
        return run;
    }
    QStringList arguments;
    for (const std::string& a : args) arguments << QString::fromStdString(a);
    QProcess process;
    process.start(path, arguments);
    if (!process.waitForStarted(-1)) {
        run.failure = "cannot be started: " + process.errorString().toStdString();
        return run;
    }
    run.started = true;
    process.closeWriteChannel();
    process.waitForFinished(-1);
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    run.crashed = process.exitStatus() == QProcess::CrashExit;
    run.status = run.crashed ? -1 : process.exitCode();
    return run;
}
