// What a browser run may leave behind: processes started from this test program and browser profile folders.
// Every browser of the program gets a private TMPDIR, so its profile folder lands there and every process
// started from here (bildoro-batch, Chromium and all its helpers) carries that folder in its environment
// or on its command line, which is how leftovers are found in /proc.
#pragma once

#include "chromium_process.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

namespace leftovers {

inline QTemporaryDir*& PrivateTmpSlot() {
    static QTemporaryDir* dir = nullptr;
    return dir;
}

// The private TMPDIR of this test program.
inline QString PrivateTmp() {
    return PrivateTmpSlot()->path();
}

inline QStringList ProfileFolders() {
    return QDir(PrivateTmp())
        .entryList({TChromiumProcess::ProfilePrefix() + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden);
}

inline QByteArray ReadProcFile(qint64 pid, const char* name) {
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

struct ProcessInfo {
    qint64 pid;
    QByteArray cmdline;  // arguments separated by spaces
};

// Every process other than this one whose command line names the private TMPDIR or whose TMPDIR is it or lies
// beneath it.
inline QList<ProcessInfo> LeftoverProcesses() {
    const QByteArray dir = QFile::encodeName(PrivateTmp());
    const QByteArray env = "TMPDIR=" + dir;
    QList<ProcessInfo> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid || pid == getpid()) continue;
        QByteArray cmd = ReadProcFile(pid, "cmdline");
        if (cmd.isEmpty()) continue;  // kernel threads and zombies
        // Each entry ends with a NUL; a browser's TMPDIR lies beneath the private TMPDIR, in its profile.
        const QByteArray environment = '\0' + ReadProcFile(pid, "environ");
        cmd.replace('\0', ' ');
        if (cmd.contains(dir) || environment.contains('\0' + env + '\0') ||
            environment.contains('\0' + env + '/'))
            found.push_back({pid, cmd.trimmed()});
    }
    return found;
}

// Main browser processes (the ones holding a DevTools pipe) started from here.
inline QList<qint64> BrowserProcesses() {
    QList<qint64> pids;
    for (const ProcessInfo& p : LeftoverProcesses())
        if (p.cmdline.contains("--remote-debugging-pipe") && !p.cmdline.contains("--type=")) pids << p.pid;
    return pids;
}

// Renderer processes of the browsers started from here.
inline QList<qint64> RendererProcesses() {
    QList<qint64> pids;
    for (const ProcessInfo& p : LeftoverProcesses())
        if (p.cmdline.contains("--type=renderer")) pids << p.pid;
    return pids;
}

// Kills every process of the list; returns how many were signalled.
inline int KillAll(const QList<qint64>& pids) {
    int n = 0;
    for (qint64 pid : pids)
        if (kill(static_cast<pid_t>(pid), SIGKILL) == 0) ++n;
    return n;
}

// Describes what is left: processes and profile folders. Empty when nothing is.
inline QString Describe() {
    QStringList parts;
    for (const ProcessInfo& p : LeftoverProcesses())
        parts << QStringLiteral("process %1: %2").arg(p.pid).arg(QString::fromLocal8Bit(p.cmdline.left(160)));
    for (const QString& f : ProfileFolders()) parts << QStringLiteral("profile folder %1").arg(f);
    return parts.join(u'\n');
}

// Waits up to ms for every leftover process and profile folder to be gone; returns what is still there.
// `allowedBrowsers` browsers (with their helpers and one profile folder each) may still run: a window that
// keeps its browser for the next run.
inline QString WaitUntilNothingLeft(int ms, int allowedBrowsers = 0) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const bool done = allowedBrowsers == 0 ? LeftoverProcesses().isEmpty() && ProfileFolders().isEmpty()
                                               : BrowserProcesses().size() <= allowedBrowsers &&
                                                     ProfileFolders().size() <= allowedBrowsers;
        if (done) return {};
        if (clock.elapsed() > ms) return Describe();
        QThread::msleep(50);
    }
}

// Gives the test program its private TMPDIR, and checks at the end that nothing is left in it.
class PrivateTmpEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        PrivateTmpSlot() = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/bildoro-faults-XXXXXX"));
        ASSERT_TRUE(PrivateTmpSlot()->isValid());
        m_old = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(PrivateTmp()));
    }
    void TearDown() override {
        const QString left = WaitUntilNothingLeft(10000);
        EXPECT_TRUE(left.isEmpty()) << qPrintable(left);
        if (m_old.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", m_old);
        delete PrivateTmpSlot();
        PrivateTmpSlot() = nullptr;
    }

  private:
    QByteArray m_old;
};

}  // namespace leftovers
