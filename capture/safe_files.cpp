// File steps that follow nothing planted in a folder.
#include "safe_files.h"

#include "texts.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

// The messages of a failed file step, in the texts' language: what could not be done to which file, and why.
enum class Step { Open, Read, Create, Write };

[[noreturn]] void Throw(Step step, const QString& fileName, const QString& why) {
    const char* const texts[] = {QT_TRANSLATE_NOOP("bildoro", "Cannot open \"%1\": %2"),
                                 QT_TRANSLATE_NOOP("bildoro", "Cannot read \"%1\": %2"),
                                 QT_TRANSLATE_NOOP("bildoro", "Cannot create \"%1\": %2"),
                                 QT_TRANSLATE_NOOP("bildoro", "Cannot write \"%1\": %2")};
    throw std::runtime_error(
        QCoreApplication::translate("bildoro", texts[int(step)]).arg(fileName, why).toStdString());
}

[[noreturn]] void Throw(Step step, const QString& fileName, int error) {
    Throw(step, fileName, SystemErrorText(error));
}

class Fd {
  public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset(int fd) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

  private:
    int m_fd;
};

// True for what a write must never replace or go through: a FIFO, a device, a socket.
bool IsSpecialFile(mode_t mode) {
    return S_ISFIFO(mode) || S_ISCHR(mode) || S_ISBLK(mode) || S_ISSOCK(mode);
}

QString EscapeText(const QString& picture) {
    return QCoreApplication::translate(
               "bildoro", "The picture name \"%1\" leads out of the output folder through a symbolic link")
        .arg(picture);
}

}  // namespace

QString NotARegularFileText() {
    return QCoreApplication::translate("bildoro", "not a regular file");
}

QByteArray ReadRegularFile(const QString& fileName, qint64 maxBytes) {
    const QByteArray path = QFile::encodeName(fileName);
    // Without blocking: opening a FIFO for reading would wait for a writer.
    Fd fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) Throw(Step::Open, fileName, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) Throw(Step::Read, fileName, errno);
    if (!S_ISREG(st.st_mode))
        Throw(Step::Read, fileName, S_ISDIR(st.st_mode) ? SystemErrorText(EISDIR) : NotARegularFileText());
    if (st.st_size > maxBytes)
        Throw(Step::Read, fileName,
              QCoreApplication::translate("bildoro", "the file is too large for a picture"));
    QByteArray data;
    data.resize(qsizetype(st.st_size));
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(fd.get(), data.data() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) Throw(Step::Read, fileName, errno);
        if (n == 0) break;  // it shrank meanwhile
        done += n;
    }
    data.truncate(done);
    return data;
}

void WriteFileReplacing(const QString& fileName, const QByteArray& data) {
    const QByteArray path = QFile::encodeName(fileName);
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash >= 0 ? path.left(slash + 1) : QByteArray();
    const QByteArray name = path.mid(slash + 1);
    if (name.isEmpty()) Throw(Step::Create, fileName, EISDIR);
    // A rename would put the file in place of a device or FIFO that others (or the system) rely on.
    if (struct stat st{}; ::lstat(path.constData(), &st) == 0 && IsSpecialFile(st.st_mode))
        Throw(Step::Create, fileName, NotARegularFileText());
    // A fresh file of our own beside the target: nothing planted can be under its name.
    QByteArray temporary;
    Fd fd(-1);
    for (int attempt = 0; attempt < 100 && fd.get() < 0; ++attempt) {
        temporary = folder + '.' + name.left(200) + '.' +
                    QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
        fd.reset(::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (fd.get() < 0 && errno != EEXIST) Throw(Step::Create, fileName, errno);
    }
    if (fd.get() < 0) Throw(Step::Create, fileName, EEXIST);
    const char* next = data.constData();
    size_t left = size_t(data.size());
    int error = 0;
    while (left > 0) {
        const ssize_t n = ::write(fd.get(), next, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            break;
        }
        next += n;
        left -= size_t(n);
    }
    if (::close(fd.release()) != 0 && error == 0) error = errno;
    if (error != 0) {
        // A picture that could not be written whole never takes the name: a half-written JPEG looks like a
        // picture but is none (a full disk, a file size limit).
        ::unlink(temporary.constData());
        Throw(Step::Write, fileName, error);
    }
    if (::rename(temporary.constData(), path.constData()) != 0) {
        const int why = errno;
        ::unlink(temporary.constData());
        Throw(Step::Create, fileName, why);
    }
}

void OpenRegularFileForWriting(QFile& file, bool append) {
    const QString fileName = file.fileName();
    const QByteArray path = QFile::encodeName(fileName);
    // Looked at before opening: opening a device may already act on it (a tape rewinds). Without blocking
    // and checked again once open: a FIFO opened for writing waits for a reader, and the name may change
    // in between.
    if (struct stat st{}; ::stat(path.constData(), &st) == 0 && IsSpecialFile(st.st_mode))
        Throw(Step::Write, fileName, NotARegularFileText());
    Fd fd(::open(path.constData(), (append ? O_RDWR | O_APPEND : O_WRONLY) | O_CREAT | O_NONBLOCK | O_CLOEXEC,
                 0666));
    if (fd.get() < 0) {
        if (errno == ENXIO) Throw(Step::Write, fileName, NotARegularFileText());
        Throw(Step::Write, fileName, errno);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) Throw(Step::Write, fileName, errno);
    if (!S_ISREG(st.st_mode))
        Throw(Step::Write, fileName, S_ISDIR(st.st_mode) ? SystemErrorText(EISDIR) : NotARegularFileText());
    if (!append && ::ftruncate(fd.get(), 0) != 0) Throw(Step::Write, fileName, errno);
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd.get(), append ? QIODevice::ReadWrite | QIODevice::Append : QIODevice::WriteOnly,
                   QFileDevice::AutoCloseHandle))
        Throw(Step::Write, fileName, file.errorString());
    fd.release();  // the file closes it now
}

QString PictureFolderEscapeReason(const QString& folder, const QString& picture) {
    const qsizetype slash = picture.lastIndexOf(u'/');
    if (slash < 0) return {};  // the picture itself is replaced by a rename, never followed
    Fd base(::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (base.get() < 0) return {};
    const QByteArray sub = QFile::encodeName(picture.left(slash));
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, base.get(), sub.constData(), &how, sizeof how);
    if (fd >= 0) {
        ::close(int(fd));
        return {};
    }
    if (errno == EXDEV) return EscapeText(picture);
    if (errno != ENOSYS) return {};
    // Kernels before 5.6: each subfolder looked at in turn, none may be a symbolic link.
    Fd at(::dup(base.get()));
    for (const QByteArray& part : sub.split('/')) {
        if (part.isEmpty() || part == ".") continue;
        const int next = ::openat(at.get(), part.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            if (errno == ELOOP || errno == ENOTDIR) {
                struct stat st {};
                if (::fstatat(at.get(), part.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISLNK(st.st_mode))
                    return EscapeText(picture);
            }
            return {};
        }
        at.reset(next);
    }
    return {};
}
