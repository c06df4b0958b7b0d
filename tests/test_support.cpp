// Helpers shared by the tests.
#include "test_support.h"

#include <QFile>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void UsePrivateRuntimeDir() {
    static char dir[] = "/tmp/bildoro-test-runtime-XXXXXX";
    static bool made = false;
    if (made) return;
    if (!mkdtemp(dir)) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    made = true;
    setenv("XDG_RUNTIME_DIR", dir, 1);
    std::atexit([] { rmdir(dir); });
}

QList<SpecialFile> MakeSpecialFiles(const QString& folder, const QString& stem, const QString& suffix) {
    QList<SpecialFile> files;
    const QString fifo = folder + u'/' + stem + QStringLiteral("-fifo") + suffix;
    if (::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0)
        files.append({QStringLiteral("fifo"), fifo});
    const QString socketPath = folder + u'/' + stem + QStringLiteral("-socket") + suffix;
    const QByteArray name = QFile::encodeName(socketPath);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && size_t(name.size()) < sizeof address.sun_path) {
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            files.append({QStringLiteral("socket"), socketPath});
    }
    if (fd >= 0) ::close(fd);
    const QString device = folder + u'/' + stem + QStringLiteral("-device") + suffix;
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(1, 3)) == 0)
        files.append({QStringLiteral("device"), device});
    return files;
}

QString WriteShellScript(const QString& path, const QByteArray& body, bool executable) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write("#!/bin/sh\n" + body + "\n") < 0)
        std::abort();  // a test that cannot write into its own folder tests nothing
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                        (executable ? QFileDevice::ExeOwner : QFileDevice::Permissions()));
    return path;
}

bool IsStillSpecial(const SpecialFile& file) {
    struct stat st {};
    if (::lstat(QFile::encodeName(file.path).constData(), &st) != 0) return false;
    if (file.kind == QLatin1String("fifo")) return S_ISFIFO(st.st_mode);
    if (file.kind == QLatin1String("socket")) return S_ISSOCK(st.st_mode);
    return S_ISCHR(st.st_mode) && st.st_rdev == makedev(1, 3);
}

int InChildWithFileSizeLimit(unsigned long limit, const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);  // writes past the limit then fail with EFBIG instead of killing
        const rlimit lim{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        int status = 99;
        try {
            status = body();
        } catch (...) {
        }
        ::_exit(status);
    }
    int status = -1;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}
