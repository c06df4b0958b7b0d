// Looking at the browser's renderer processes in /proc, and ending those that take too much memory.
#include "page_memory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <csignal>
#include <map>
#include <vector>

namespace {

QByteArray ReadProc(qint64 pid, const char* file) {
    QFile f(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The parent of a process, from /proc/PID/stat (after the command name, which may hold anything).
qint64 ParentOf(qint64 pid) {
    const QByteArray stat = ReadProc(pid, "stat");
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) return -1;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() : -1;
}

qint64 PrivateKiB(qint64 pid) {
    for (const QByteArray& line : ReadProc(pid, "status").split('\n'))
        if (line.startsWith("RssAnon:")) return line.mid(8).trimmed().split(' ').first().toLongLong();
    return 0;
}

}  // namespace

int TPageMemoryWatch::Check(qint64 browserPid) {
    if (browserPid <= 0) return 0;
    std::map<qint64, std::vector<qint64>> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number) children[ParentOf(pid)].push_back(pid);
    }
    int ended = 0;
    m_treeKiB = PrivateKiB(browserPid) + PrivateKiB(QCoreApplication::applicationPid());
    std::vector<qint64> below{browserPid};
    while (!below.empty()) {
        const qint64 pid = below.back();
        below.pop_back();
        for (const qint64 child : children[pid]) {
            below.push_back(child);
            const qint64 kib = PrivateKiB(child);
            m_treeKiB += kib;
            if (kib <= m_limitKiB || !ReadProc(child, "cmdline").contains("--type=renderer") ||
                ::kill(pid_t(child), SIGKILL) != 0)
                continue;
            m_ended.push_back({QElapsedTimer(), kib});
            m_ended.back().when.start();
            ++ended;
        }
    }
    return ended;
}

std::optional<qint64> TPageMemoryWatch::TakeEnded(qint64 withinMs) {
    while (!m_ended.empty() && m_ended.front().when.elapsed() > withinMs) m_ended.pop_front();
    if (m_ended.empty()) return std::nullopt;
    const qint64 mib = m_ended.front().kib / 1024;
    m_ended.pop_front();
    return mib;
}

QString TPageMemoryWatch::Reason(qint64 usedMiB) const {
    return QCoreApplication::translate("bildoro",
                                       "The page used more than %1 MiB of memory (%2 MiB); it was ended")
        .arg(LimitMiB())
        .arg(usedMiB);
}
