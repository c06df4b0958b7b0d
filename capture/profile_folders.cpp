// The browser's private profile folders: owner markers and the sweep of folders whose owners are gone.
#include "profile_folders.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

// The start time of a running process (field 22 of /proc/<pid>/stat); 0 when it is gone.
quint64 StartTimeOf(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly)) return 0;
    const QByteArray text = stat.readAll();
    // "pid (name) state ...": the name may hold anything, so fields are counted from its last ')'.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0) return 0;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    return fields.size() > 19 ? fields[19].toULongLong() : 0;  // fields[0] is field 3
}

enum class Owners { Unknown, Running, Gone };

// Judges the owner marker of `folder`, read without following a link. Unknown when there is no marker or it
// is not one of ours (any line not "<pid> <start time>").
Owners OwnersOf(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + QLatin1String(kProfileOwnerFile));
    const int fd = open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Owners::Unknown;
    QFile file;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle)) {
        close(fd);
        return Owners::Unknown;
    }
    const QList<QByteArray> lines = file.read(4096).split('\n');
    Owners owners = Owners::Unknown;
    for (const QByteArray& line : lines) {
        if (line.isEmpty()) continue;
        const QList<QByteArray> fields = line.split(' ');
        bool pidOk = false, startOk = false;
        const qint64 pid = fields.value(0).toLongLong(&pidOk);
        const quint64 start = fields.value(1).toULongLong(&startOk);
        if (fields.size() != 2 || !pidOk || !startOk || pid <= 0) return Owners::Unknown;
        if (StartTimeOf(pid) == start) return Owners::Running;
        owners = Owners::Gone;
    }
    return owners;
}

// Takes an exclusive lock on `fd` within about a second.
bool LockWithin(int fd) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        const timespec pause{0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    return false;
}

}  // namespace

bool AddProfileOwner(const QString& folder, pid_t pid, QString* reason) {
    const quint64 start = StartTimeOf(pid);
    if (start == 0) {
        if (reason) *reason = QStringLiteral("process %1 is not running").arg(pid);
        return false;
    }
    const QString path = folder + QLatin1Char('/') + QLatin1String(kProfileOwnerFile);
    QByteArray lines;
    QFile old(path);
    if (old.open(QIODevice::ReadOnly)) lines = old.read(4096);
    lines += QByteArray::number(pid) + ' ' + QByteArray::number(start) + '\n';
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(lines) == lines.size() && file.commit()) return true;
    if (reason) *reason = file.errorString();
    return false;
}

int RemoveStaleProfileFolders(const QString& parent, const QString& prefix) {
    const uid_t self = geteuid();
    const QByteArray lockPath =
        QFile::encodeName(QStringLiteral("%1/.%2%3.lock").arg(parent, prefix).arg(self));
    const int lock = open(lockPath.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (lock < 0) return 0;
    struct stat lockStat {};
    // A lock file planted by someone else is not ours to wait on.
    if (fstat(lock, &lockStat) != 0 || !S_ISREG(lockStat.st_mode) || lockStat.st_uid != self ||
        !LockWithin(lock)) {
        close(lock);
        return 0;
    }
    int removed = 0;
    const QDir dir(parent);
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (!name.startsWith(prefix)) continue;
        const QString folder = dir.filePath(name);
        struct stat st {};
        // lstat: a link is not a folder here, whatever it points to.
        if (lstat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            st.st_uid != self)
            continue;
        // removeRecursively removes links inside as links, never what they point to.
        if (OwnersOf(folder) == Owners::Gone && QDir(folder).removeRecursively()) ++removed;
    }
    close(lock);  // ends the lock
    return removed;
}

QString ChooseProfileParent(const QString& preferred, const QStringList& shortFolders, qsizetype bytesBelow,
                            qsizetype maxBytes, QString* reason) {
    const auto fits = [&](const QString& folder) {
        return QFile::encodeName(folder).size() + bytesBelow <= maxBytes;
    };
    if (fits(preferred)) return preferred;
    QStringList refused{QStringLiteral("%1 is too long (%2 bytes; at most %3 fit)")
                            .arg(preferred)
                            .arg(QFile::encodeName(preferred).size())
                            .arg(maxBytes - bytesBelow)};
    const uid_t self = geteuid();
    for (const QString& folder : shortFolders) {
        const QByteArray path = QFile::encodeName(folder);
        struct stat st {};
        if (!fits(folder)) {
            refused << QStringLiteral("%1 is too long").arg(folder);
        } else if (stat(path.constData(), &st) != 0) {
            refused << QStringLiteral("%1: %2").arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        } else if (!S_ISDIR(st.st_mode)) {
            refused << QStringLiteral("%1 is not a folder").arg(folder);
        } else if (access(path.constData(), W_OK | X_OK) != 0) {
            refused << QStringLiteral("%1 is not writable").arg(folder);
        } else if ((st.st_uid == self || st.st_uid == 0) &&
                   ((st.st_mode & S_ISVTX) || (st.st_uid == self && !(st.st_mode & (S_IWGRP | S_IWOTH))))) {
            return folder;
        } else {
            refused << QStringLiteral("%1 belongs to someone else or lacks the sticky bit").arg(folder);
        }
    }
    if (reason) *reason = refused.join(QStringLiteral("; "));
    return {};
}
