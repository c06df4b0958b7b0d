// bildoro-batch run as a separate program, as a user runs it: its exit status, standard output and error.
#pragma once

#include <gtest/gtest.h>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

struct BatchProcess {
    int exitCode = -1;
    bool crashed = false;
    QString out, err;

    // The result line of the row whose picture path ends in "/<picture>.jpg"; empty when there is none.
    QString LineFor(const QString& picture) const {
        for (const QString& line : out.split(u'\n'))
            if ((line.startsWith(QStringLiteral("ok: ")) || line.startsWith(QStringLiteral("failed: "))) &&
                line.contains(u'/' + picture + QStringLiteral(".jpg")))
                return line;
        return {};
    }
};

// Runs bildoro-batch with args (and input on its standard input); a run that does not end within timeoutMs is
// a test failure and is killed.
inline BatchProcess RunBatchProcess(const QStringList& args,
                                    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                                    const QByteArray& input = {}, int timeoutMs = 180000) {
    QProcess p;
    // English messages unless a test asks for another language.
    QProcessEnvironment environment = env;
    if (!environment.contains(QStringLiteral("LC_ALL")))
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(environment);
    p.start(QStringLiteral(BILDORO_BINARY_DIR "/cli/bildoro-batch"), args);
    BatchProcess r;
    if (!p.waitForStarted(10000)) {
        ADD_FAILURE() << "cannot start bildoro-batch";
        return r;
    }
    if (!input.isEmpty()) p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        ADD_FAILURE() << "bildoro-batch did not end within " << timeoutMs
                      << " ms: " << qPrintable(args.join(u' '));
        p.kill();
        p.waitForFinished();
    }
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = r.crashed ? -1 : p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
