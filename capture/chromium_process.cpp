// One headless Chromium process and its DevTools pipe: starting it beneath the guardian, the pipe, the end.
#include "chromium_process.h"

#include "bounds.h"
#include "browser_error.h"
#include "devtools_client.h"
#include "process_guardian.h"
#include "profile_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <utility>

extern char** environ;

namespace {

QString ErrnoText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// The longest Unix socket name Chromium makes lies beneath its TMPDIR (the profile folder's "tmp"): its
// singleton socket, "<profile folder>/tmp/org.chromium.Chromium.XXXXXX/SingletonSocket" (measured with
// Chromium 156; other builds give that folder a shorter name). A socket name holds at most 107 bytes (108
// with its NUL); with a longer one Chromium aborts as it starts ("Socket path too long").
constexpr char kLongestSocketInProfile[] = "/tmp/org.chromium.Chromium.XXXXXX/SingletonSocket";
constexpr qsizetype kSocketNameMax = sizeof(sockaddr_un::sun_path) - 1;
// Short shared temporary folders for the profile folder when the temporary folder is too long.
const QStringList kShortTempFolders{QStringLiteral("/tmp"), QStringLiteral("/var/tmp")};

// How much of the browser's stderr is kept, and of one of its lines shown in a message.
constexpr qsizetype kStderrTailBytes = 64 * 1024;
constexpr qsizetype kShownLineChars = 240;

QString ExitStatusText(int status) {
    if (WIFEXITED(status)) return QStringLiteral("exit status %1").arg(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) {
        const char* name = sigabbrev_np(WTERMSIG(status));
        return QStringLiteral("killed by signal %1%2")
            .arg(WTERMSIG(status))
            .arg(name ? QStringLiteral(" (SIG%1)").arg(QLatin1String(name)) : QString());
    }
    return QStringLiteral("wait status %1").arg(status);
}

// What the browser last wrote on stderr, fit for a message: its last fatal log line when there is one
// (Chromium's helpers write more as they end after it), else its last two lines. Each line is bounded;
// control and format characters (terminal control sequences, text direction overrides) are dropped.
QString StderrSummary(const QByteArray& tail) {
    QStringList lines;
    for (const QByteArray& raw : tail.split('\n')) {
        const QString text = QString::fromUtf8(raw);
        QString line;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            const QChar::Category category = c.category();
            if (c == QLatin1Char('\x1b') && i + 1 < text.size() && text[i + 1] == QLatin1Char('[')) {
                // A terminal's control sequence: ESC [, parameters, one final character from @ to ~.
                for (i += 2; i < text.size() && (text[i] < QLatin1Char('@') || text[i] > QLatin1Char('~'));)
                    ++i;
            } else if (c == QLatin1Char('\t')) {
                line += QLatin1Char(' ');
            } else if (category != QChar::Other_Control && category != QChar::Other_Format &&
                       category != QChar::Separator_Line && category != QChar::Separator_Paragraph) {
                line += c;
            }
        }
        line = line.simplified();
        if (line.size() > kShownLineChars) {
            line.truncate(line.at(kShownLineChars - 1).isHighSurrogate() ? kShownLineChars - 1
                                                                         : kShownLineChars);
            line += QStringLiteral("...");
        }
        if (!line.isEmpty()) lines << line;
    }
    for (qsizetype i = lines.size() - 1; i >= 0; --i)
        if (lines[i].contains(QStringLiteral(":FATAL:"))) return lines[i];
    return lines.mid(std::max<qsizetype>(0, lines.size() - 2)).join(QStringLiteral(" | "));
}

}  // namespace

TChromiumProcess::TChromiumProcess(QObject* parent) : TDevToolsTransport(parent) {}

TChromiumProcess::~TChromiumProcess() {
    Shutdown();
}

QString TChromiumProcess::FindExecutable() {
    const QString chosen = qEnvironmentVariable("BILDORO_CHROMIUM");
    if (!chosen.isEmpty()) {
        if (chosen.contains(QLatin1Char('/'))) return QFileInfo(chosen).absoluteFilePath();
        return QStandardPaths::findExecutable(chosen);
    }
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty()) return found;
    }
    return {};
}

QStringList TChromiumProcess::Switches() {
    QStringList switches{
        QStringLiteral("--headless"), QStringLiteral("--remote-debugging-pipe"),
        QStringLiteral("--no-startup-window"), QStringLiteral("--disable-gpu"),
        QStringLiteral("--disable-quic"), QStringLiteral("--no-first-run"),
        QStringLiteral("--no-default-browser-check"), QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
        // A page left for the next row is never gone back to: kept in the back-forward cache
        // it would hold its renderer (its memory, and its timers' work) beside the next one's.
        // The browser's own toolbar parts drawn as web pages (the reload button, the address
        // field's list) are never seen here, yet they took a renderer of their own that redrew
        // the reload button's animation while any page loaded: about a third of the renderers'
        // work, and 100 MiB, with eight pages under way.
        QStringLiteral("--disable-features=BackForwardCache,WebUIReloadButton,WebUIOmniboxPopup,"
                       "WebUIOmniboxAimPopup")};
    // Chromium's sandbox cannot run as root; anyone else keeps it.
    if (geteuid() == 0) switches << QStringLiteral("--no-sandbox");
    return switches;
}

QString TChromiumProcess::ProfileParent(QString* problem) {
    // Beneath the parent: "/", the folder's name (prefix and mkdtemp's six characters), its longest socket
    // name.
    const qsizetype below = 1 + QFile::encodeName(ProfilePrefix()).size() + 6 +
                            static_cast<qsizetype>(sizeof kLongestSocketInProfile - 1);
    QString refused;
    const QString parent =
        ChooseProfileParent(QDir::tempPath(), kShortTempFolders, below, kSocketNameMax, &refused);
    if (parent.isEmpty() && problem)
        *problem =
            QStringLiteral(
                "no temporary folder is short enough for the browser's socket names (%1); set TMPDIR to a "
                "shorter folder")
                .arg(refused);
    return parent;
}

void TChromiumProcess::Start(const QString& executable, const QStringList& extraSwitches) {
    if (m_readFd >= 0) throw TBrowserError(QStringLiteral("Chromium is already running"));
    const QFileInfo exe(executable);
    if (executable.isEmpty() || !exe.isFile() || !exe.isExecutable())
        throw TBrowserError(
            QStringLiteral("Cannot start Chromium: \"%1\" is not an executable file").arg(executable));

    QString noParent;
    const QString parent = ProfileParent(&noParent);
    if (parent.isEmpty())
        throw TBrowserError(QStringLiteral("Cannot create the browser's profile folder: ") + noParent);
    // Folders of browsers whose program and guardian were killed outright are removed before a new one. A
    // given TMPDIR always leads to the same parent, so the folders of earlier runs are found there.
    RemoveStaleProfileFolders(parent, ProfilePrefix());
    QByteArray templ =
        QFile::encodeName(parent + QLatin1Char('/') + ProfilePrefix() + QStringLiteral("XXXXXX"));
    if (!mkdtemp(templ.data()))  // mkdtemp makes it with mode 0700
        throw TBrowserError(QStringLiteral("Cannot create the browser's profile folder in %1: %2")
                                .arg(parent, ErrnoText(errno)));
    m_profileDir = QFile::decodeName(templ);
    QString unprepared;
    if (!AddProfileOwner(m_profileDir, getpid(), &unprepared))
        unprepared = QStringLiteral("its owner marker cannot be written: ") + unprepared;
    for (const char* sub : {"/home", "/tmp"})
        if (unprepared.isEmpty() && mkdir((templ + sub).constData(), 0700) != 0)
            unprepared =
                QStringLiteral("%1 cannot be made: %2").arg(QLatin1String(sub + 1), ErrnoText(errno));
    if (!unprepared.isEmpty()) {
        QDir(m_profileDir).removeRecursively();
        throw TBrowserError(QStringLiteral("Cannot prepare the browser's profile folder %1: %2")
                                .arg(std::exchange(m_profileDir, QString()), unprepared));
    }

    LaunchPlan plan;
    plan.executable = QFile::encodeName(exe.absoluteFilePath()).toStdString();
    plan.args.push_back(plan.executable);
    for (const QString& s : Switches()) plan.args.push_back(s.toStdString());
    for (const QString& s : extraSwitches) plan.args.push_back(s.toStdString());
    plan.args.push_back("--user-data-dir=" + templ.toStdString());
    for (std::string& a : plan.args) plan.argv.push_back(a.data());
    plan.argv.push_back(nullptr);
    plan.profileDir = templ.toStdString();
    m_echoStderr = qEnvironmentVariableIsSet("BILDORO_CHROMIUM_STDERR");
    // Chromium keeps files outside its profile whatever its switches: the certificate store under HOME, the
    // crash-report database and caches under the config and cache folders, scratch files (left behind when
    // it is killed) under TMPDIR. Pointed into the private folder, they go with it; the user's home and
    // temporary folder stay untouched. Prepared here: after fork there is no allocating.
    const std::string root = templ.toStdString();
    const std::pair<std::string, std::string> moved[] = {{"HOME=", root + "/home"},
                                                         {"XDG_DATA_HOME=", root + "/xdg-data"},
                                                         {"XDG_CONFIG_HOME=", root + "/xdg-config"},
                                                         {"XDG_CACHE_HOME=", root + "/xdg-cache"},
                                                         {"TMPDIR=", root + "/tmp"}};
    for (char** e = environ; *e; ++e)
        if (std::none_of(std::begin(moved), std::end(moved), [e](const auto& m) {
                return std::strncmp(*e, m.first.c_str(), m.first.size()) == 0;
            }))
            plan.env.emplace_back(*e);
    for (const auto& [name, value] : moved) plan.env.push_back(name + value);
    for (std::string& e : plan.env) plan.envp.push_back(e.data());
    plan.envp.push_back(nullptr);

    int commandPipe[2] = {-1, -1};
    int eventPipe[2] = {-1, -1};
    int statusPipe[2] = {-1, -1};
    int exitPipe[2] = {-1, -1};
    int stderrPipe[2] = {-1, -1};
    auto fail = [&](const QString& what, int err) {
        for (int* p : {commandPipe, eventPipe, statusPipe, exitPipe, stderrPipe}) {
            CloseFd(p[0]);
            CloseFd(p[1]);
        }
        CloseFd(plan.devNull);
        QDir(m_profileDir).removeRecursively();
        m_profileDir.clear();
        throw TBrowserError(
            QStringLiteral("Cannot start Chromium (%1): %2: %3").arg(executable, what, ErrnoText(err)));
    };
    if (pipe2(commandPipe, O_CLOEXEC) != 0 || pipe2(eventPipe, O_CLOEXEC) != 0 ||
        pipe2(statusPipe, O_CLOEXEC) != 0 || pipe2(exitPipe, O_CLOEXEC) != 0 ||
        pipe2(stderrPipe, O_CLOEXEC) != 0)
        fail(QStringLiteral("pipe"), errno);
    plan.devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (plan.devNull < 0) fail(QStringLiteral("/dev/null"), errno);
    plan.commandRead = commandPipe[0];
    plan.eventWrite = eventPipe[1];
    plan.statusWrite = statusPipe[1];
    plan.exitWrite = exitPipe[1];
    plan.stderrWrite = stderrPipe[1];

    const pid_t guardian = ForkGuardian(plan);
    if (guardian < 0) fail(QStringLiteral("fork"), errno);

    m_guardianPid = guardian;
    m_guardianReaped = false;
    // The guardian removes the folder itself once the browser is gone; until then a sweep leaves it alone.
    AddProfileOwner(m_profileDir, guardian);
    CloseFd(commandPipe[0]);
    CloseFd(eventPipe[1]);
    CloseFd(statusPipe[1]);
    CloseFd(exitPipe[1]);
    CloseFd(stderrPipe[1]);
    CloseFd(plan.devNull);
    m_writeFd = commandPipe[1];
    m_readFd = eventPipe[0];
    m_exitFd = exitPipe[0];
    m_stderrFd = stderrPipe[0];
    m_stderrTail.clear();
    for (int fd : {m_writeFd, m_readFd, m_stderrFd}) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);

    // The guardian sends the browser's pid; the browser sends -errno only if exec failed. EOF = exec done.
    int value = 0;
    bool eof = false;
    QString problem;
    if (!ReadIntWithin(statusPipe[0], &value, kBrowserStartReportMs, &eof) || value <= 0) {
        // The browser's failed exec may arrive before the guardian's report of its pid: a pid after the
        // error means the exec failed, not the fork.
        const int error = -value;
        int pid = 0;
        const bool execFailed =
            value < 0 && ReadIntWithin(statusPipe[0], &pid, kBrowserExecFailureReportMs, &eof) && pid > 0;
        if (execFailed) m_browserPid = pid;
        problem = value >= 0   ? QStringLiteral("the launcher did not report the browser's process")
                  : execFailed ? QStringLiteral("exec: ") + ErrnoText(error)
                               : QStringLiteral("fork: ") + ErrnoText(error);
    } else {
        m_browserPid = value;
        if (ReadIntWithin(statusPipe[0], &value, kBrowserStartReportMs, &eof))
            problem = QStringLiteral("exec: ") + ErrnoText(-value);
        else if (!eof)
            problem = QStringLiteral("the browser program did not start within %1 s")
                          .arg(kBrowserStartReportMs / 1000);
    }
    CloseFd(statusPipe[0]);
    if (!problem.isEmpty()) {
        m_exited = true;
        Shutdown();
        throw TBrowserError(QStringLiteral("Cannot start Chromium (%1): %2").arg(executable, problem));
    }

    m_exited = false;
    m_readNotifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, [this] { ReadAvailable(); });
    m_writeNotifier = new QSocketNotifier(m_writeFd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] { WritePending(); });
    // Drained all along, so that a browser that writes much there never blocks on it.
    m_stderrNotifier = new QSocketNotifier(m_stderrFd, QSocketNotifier::Read, this);
    connect(m_stderrNotifier, &QSocketNotifier::activated, this, [this] { DrainStderr(); });
}

void TChromiumProcess::SendMessage(const QByteArray& message) {
    if (!IsRunning()) throw TBrowserError(QStringLiteral("Chromium is not running"));
    m_outBuffer.append(message);
    m_outBuffer.append('\0');
    WritePending();
}

namespace {

// write() to a pipe whose reader is gone raises SIGPIPE, which would end the whole program; the signal is
// held back for this thread and a SIGPIPE caused here is taken off again, so the caller just sees EPIPE.
ssize_t WriteWithoutSigpipe(int fd, const char* data, size_t size) {
    sigset_t pipeOnly, old;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &old);
    const ssize_t n = write(fd, data, size);
    const int err = errno;
    if (n < 0 && err == EPIPE && !wasPending) {
        const timespec none{0, 0};
        while (sigtimedwait(&pipeOnly, nullptr, &none) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = err;
    return n;
}

}  // namespace

void TChromiumProcess::WritePending() {
    while (!m_outBuffer.isEmpty() && m_writeFd >= 0) {
        const ssize_t n =
            WriteWithoutSigpipe(m_writeFd, m_outBuffer.constData(), static_cast<size_t>(m_outBuffer.size()));
        if (n > 0) {
            m_outBuffer.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        // EPIPE: the browser is gone; the read side reports it.
        m_outBuffer.clear();
        HandleEof(QStringLiteral("Chromium closed its command pipe (%1)").arg(ErrnoText(errno)), 0);
        return;
    }
    if (m_writeNotifier) m_writeNotifier->setEnabled(!m_outBuffer.isEmpty());
}

void TChromiumProcess::ReadAvailable() {
    if (m_readFd < 0 || m_exited) return;
    char chunk[1 << 16];
    bool eof = false;
    QString eofReason;
    int exitWaitMs = 0;
    for (;;) {
        const ssize_t n = read(m_readFd, chunk, sizeof chunk);
        if (n > 0) {
            m_inBuffer.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        eof = true;
        eofReason = n == 0 ? QStringLiteral("Chromium exited")
                           : QStringLiteral("reading from Chromium failed: %1").arg(ErrnoText(errno));
        // The end of its event pipe comes as the browser exits: the guardian reports how in a moment.
        exitWaitMs = n == 0 ? kBrowserExitStatusWaitMs : 0;
        break;
    }
    // Messages are handed out in order; a handler may shut the process down, which empties the buffer.
    while (m_readFd >= 0 && !m_inBuffer.isEmpty()) {
        const qsizetype nul = m_inBuffer.indexOf('\0', m_scanFrom);
        if (nul < 0) {
            m_scanFrom = m_inBuffer.size();
            break;
        }
        const QByteArray message = m_inBuffer.left(nul);
        m_inBuffer.remove(0, nul + 1);
        m_scanFrom = 0;
        Q_EMIT MessageReceived(message);
    }
    if (eof && m_readFd >= 0) HandleEof(eofReason, exitWaitMs);
}

void TChromiumProcess::HandleEof(const QString& reason, int exitWaitMs) {
    if (m_exited) return;
    m_exited = true;
    if (m_readNotifier) m_readNotifier->setEnabled(false);
    if (m_writeNotifier) m_writeNotifier->setEnabled(false);
    const QString details = EndDetails(exitWaitMs);
    Q_EMIT Exited(details.isEmpty() ? reason : QStringLiteral("%1 (%2)").arg(reason, details));
}

QString TChromiumProcess::EndDetails(int exitWaitMs) {
    QStringList details;
    int status = 0;
    bool eof = false;
    if (m_exitFd >= 0 && ReadIntWithin(m_exitFd, &status, exitWaitMs, &eof)) {
        details << ExitStatusText(status);
        CloseFd(m_exitFd);
    }
    DrainStderr();  // once the browser is gone, all it wrote is there
    const QString said = StderrSummary(m_stderrTail);
    if (!said.isEmpty()) details << QStringLiteral("its last words on stderr: ") + said;
    return details.join(QStringLiteral("; "));
}

void TChromiumProcess::DrainStderr() {
    char chunk[4096];
    while (m_stderrFd >= 0) {
        const ssize_t n = read(m_stderrFd, chunk, sizeof chunk);
        if (n > 0) {
            for (ssize_t done = 0, w = 0; m_echoStderr && done < n; done += w)
                if ((w = write(STDERR_FILENO, chunk + done, static_cast<size_t>(n - done))) <= 0) break;
            m_stderrTail.append(chunk, n);
            if (m_stderrTail.size() > kStderrTailBytes)
                m_stderrTail.remove(0, m_stderrTail.size() - kStderrTailBytes);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        // The end: no process of the browser's is left to write.
        if (m_stderrNotifier) m_stderrNotifier->setEnabled(false);
        CloseFd(m_stderrFd);
    }
}

bool TChromiumProcess::Pump(int timeoutMs) {
    if (!IsRunning()) return false;
    pollfd fds[3] = {{m_readFd, POLLIN, 0},
                     {m_writeFd, static_cast<short>(m_outBuffer.isEmpty() ? 0 : POLLOUT), 0},
                     {m_stderrFd, POLLIN, 0}};
    int r = poll(fds, 3, timeoutMs);
    if (r < 0 && errno == EINTR) return true;
    if (r <= 0) return false;
    if (fds[2].revents) DrainStderr();
    if (fds[1].revents) WritePending();
    if (fds[0].revents) ReadAvailable();
    return true;
}

bool TChromiumProcess::WaitForGuardian(int timeoutMs) {
    if (m_guardianPid <= 0 || m_guardianReaped) return true;
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        int st = 0;
        const pid_t r = waitpid(static_cast<pid_t>(m_guardianPid), &st, WNOHANG);
        if (r == static_cast<pid_t>(m_guardianPid) || (r < 0 && errno == ECHILD)) {
            m_guardianReaped = true;
            return true;
        }
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long long elapsed =
            (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000;
        if (elapsed >= timeoutMs) return false;
        DrainStderr();  // a browser blocked on a full stderr would never end
        timespec pause{0, 5 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
}

void TChromiumProcess::Shutdown() {
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    delete m_stderrNotifier;
    m_stderrNotifier = nullptr;
    // EOF on its fd 3 makes the browser exit by itself; the guardian then reaps and removes the profile.
    CloseFd(m_writeFd);
    m_outBuffer.clear();
    if (m_guardianPid > 0 && !m_guardianReaped) {
        if (!WaitForGuardian(kGuardianCleanUpMs)) {
            if (m_browserPid > 0) kill(-static_cast<pid_t>(m_browserPid), SIGKILL);
            kill(static_cast<pid_t>(m_guardianPid), SIGTERM);
            if (!WaitForGuardian(kGuardianAfterTermMs)) {
                kill(static_cast<pid_t>(m_guardianPid), SIGKILL);
                WaitForGuardian(kGuardianAfterKillMs);
            }
        }
    }
    CloseFd(m_readFd);
    DrainStderr();
    CloseFd(m_stderrFd);
    CloseFd(m_exitFd);
    m_inBuffer.clear();
    m_scanFrom = 0;
    m_exited = true;
    if (!m_profileDir.isEmpty() && QFileInfo::exists(m_profileDir)) QDir(m_profileDir).removeRecursively();
}

void TChromiumProcess::Kill() {
    // The guardian reaps it, sweeps its helpers and removes the profile as after any end.
    if (m_browserPid > 0 && !m_exited) kill(-static_cast<pid_t>(m_browserPid), SIGKILL);
    Shutdown();
}

QStringList ProxySwitches(const QString& proxy) {
    // Without "<-loopback>", requests to the machine's own addresses would go past the proxy.
    return {QStringLiteral("--proxy-server=") + proxy, QStringLiteral("--proxy-bypass-list=<-loopback>")};
}

std::shared_ptr<TDevToolsClient> LaunchChromium(const QStringList& extraSwitches) {
    const QString exe = TChromiumProcess::FindExecutable();
    if (exe.isEmpty()) {
        const QString chosen = qEnvironmentVariable("BILDORO_CHROMIUM");
        throw TBrowserError(
            chosen.isEmpty()
                ? QStringLiteral("No browser found: none of chromium, chromium-browser, google-chrome "
                                 "is on PATH (BILDORO_CHROMIUM may name another)")
                : QStringLiteral("No browser found: BILDORO_CHROMIUM names \"%1\", which is not an "
                                 "executable on PATH")
                      .arg(chosen));
    }
    auto process = std::make_unique<TChromiumProcess>();
    process->Start(exe, extraSwitches);
    std::shared_ptr<TDevToolsClient> client = TDevToolsClient::Over(std::move(process));
    try {
        // Learnt early: the first page's set-up needs it.
        client->AskUserAgent();
        // Pages never save downloads anywhere.
        client->Send(QStringLiteral("Browser.setDownloadBehavior"),
                     {{QStringLiteral("behavior"), QStringLiteral("deny")}});
    } catch (const TBrowserError&) {
        // It died at once; DeathReason() says so, and the first command of the caller fails with it.
    }
    return client;
}

std::shared_ptr<TDevToolsClient> TBrowser::Client() {
    if (std::shared_ptr<TDevToolsClient> running = Running()) return running;
    std::shared_ptr<TDevToolsClient> client = m_launch();
    m_client = client;
    return client;
}

void TBrowser::End(const QString& reason) {
    if (std::shared_ptr<TDevToolsClient> running = Running()) running->Terminate(reason);
}

std::shared_ptr<TDevToolsClient> TBrowser::Running() const {
    std::shared_ptr<TDevToolsClient> client = m_client.lock();
    return client && client->IsAlive() ? client : nullptr;
}
