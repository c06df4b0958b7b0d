// One headless Chromium process and its DevTools pipe (NUL-terminated messages on the child's fds 3 and 4).
#pragma once

#include "devtools_transport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QSocketNotifier;
class TDevToolsClient;

// Chromium runs under a small guardian process of ours that adopts every process Chromium leaves behind
// (child subreaper), reaps them, and removes the private profile folder once the last one is gone. So nothing
// remains after Chromium exits for whatever reason: closed pipe, crash, kill, or this program being killed
// (Chromium exits on EOF of its command pipe).
class TChromiumProcess : public TDevToolsTransport {
    Q_OBJECT
  public:
    explicit TChromiumProcess(QObject* parent = nullptr);
    // Shuts the browser down (see Shutdown).
    ~TChromiumProcess() override;

    // The browser to run: $BILDORO_CHROMIUM when set, else the first of chromium, chromium-browser and
    // google-chrome on PATH. Empty when there is none.
    static QString FindExecutable();
    // The command-line switches the browser gets besides --user-data-dir (--no-sandbox only when running as
    // root).
    static QStringList Switches();
    // Folder under which the private profile folders are made: the temporary folder ($TMPDIR or /tmp), unless
    // the browser's socket paths beneath it would pass the length limit of a Unix socket name; then a short
    // shared temporary folder (/tmp or /var/tmp). Empty when none fits; *problem (when given) then says why.
    static QString ProfileParent(QString* problem = nullptr);
    // Name prefix of the profile folders, so tests can find leftovers.
    static QString ProfilePrefix() { return QStringLiteral("bildoro-chromium-"); }

    // Starts `executable` with a fresh profile folder (mode 0700). Returns once the browser program has been
    // executed; the browser reads its pipe when it is ready. Throws TBrowserError when the profile folder,
    // the pipes or the processes cannot be made, or the program cannot be executed. The browser's stderr is
    // kept (its last few kilobytes) to say why it ended; BILDORO_CHROMIUM_STDERR set passes it on as well.
    // `extraSwitches` go after the program's own.
    void Start(const QString& executable, const QStringList& extraSwitches = {});
    // True from Start until the pipe closes (the browser exited or was shut down).
    bool IsRunning() const override { return m_readFd >= 0 && !m_exited; }
    // Process id of the browser (also its process group id); 0 before Start.
    qint64 ProcessId() const override { return m_browserPid; }
    // Process id of the guardian that reaps the browser's processes; 0 before Start.
    qint64 GuardianProcessId() const override { return m_guardianPid; }
    QString ProfileDir() const override { return m_profileDir; }

    // Queues one message (the NUL is appended here) and writes what the pipe takes without blocking.
    // Throws TBrowserError when the browser is not running.
    void SendMessage(const QByteArray& message) override;
    // Waits up to timeoutMs for pipe traffic without running the event loop, writes pending output, and
    // delivers every complete message (MessageReceived) and an exit (Exited) before returning.
    // Returns false when nothing happened within timeoutMs.
    bool Pump(int timeoutMs) override;

    // Ends the browser: closes its command pipe (it then exits by itself), waits up to a few seconds for
    // the guardian to finish, then kills the browser's process group, and removes the profile folder if it is
    // still there. Bounded in time; safe to call more than once.
    void Shutdown() override;
    // Kills the browser's process group at once, then as Shutdown.
    void Kill() override;

    // MessageReceived carries a message without its NUL; Exited comes when the pipe closes, with why: the
    // browser's exit status and the last lines it wrote on stderr, when known.

  private:
    void ReadAvailable();
    void WritePending();
    void HandleEof(const QString& reason, int exitWaitMs);
    bool WaitForGuardian(int timeoutMs);
    void DrainStderr();
    QString EndDetails(int exitWaitMs);

    int m_readFd = -1;    // our end of the browser's fd 4
    int m_writeFd = -1;   // our end of the browser's fd 3
    int m_stderrFd = -1;  // our end of the browser's stderr
    int m_exitFd = -1;    // the guardian reports the browser's wait status here
    bool m_echoStderr = false;
    QByteArray m_stderrTail;  // the last few kilobytes the browser wrote on stderr
    qint64 m_browserPid = 0;
    qint64 m_guardianPid = 0;
    bool m_guardianReaped = false;
    bool m_exited = false;
    QString m_profileDir;
    QByteArray m_inBuffer;
    qsizetype m_scanFrom = 0;  // where to look for the next NUL in m_inBuffer
    QByteArray m_outBuffer;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QSocketNotifier* m_stderrNotifier = nullptr;
};

// Starts Chromium (TChromiumProcess::FindExecutable) and returns the protocol client over its pipe, which has
// asked for the browser's user agent and told it never to save downloads. Throws TBrowserError when no
// browser is found or it cannot be started; one that dies at once is returned dead (its DeathReason says
// why). `extraSwitches` go to the browser after its usual ones.
std::shared_ptr<TDevToolsClient> LaunchChromium(const QStringList& extraSwitches = {});
// The switches that send every request of the browser through `proxy` (http://, https:// or socks5://), the
// machine's own addresses too.
QStringList ProxySwitches(const QString& proxy);

// The browser that the pages of a run share: the running one, or a new one started when asked for after the
// last one died or was ended. Its holders are those of its client (the hosts): the browser ends, and its
// private folder goes, when the last of them lets go or it dies and they let go.
class TBrowser {
  public:
    using Launcher = std::function<std::shared_ptr<TDevToolsClient>()>;
    explicit TBrowser(Launcher launch = [] { return LaunchChromium(); }) : m_launch(std::move(launch)) {}

    // Ends the running browser, if any (its pages fail with `reason`); the next Client() starts another.
    void End(const QString& reason);

    // The running browser's client, or that of one started now. Throws TBrowserError when none can be
    // started.
    std::shared_ptr<TDevToolsClient> Client();
    // The running browser's client, or null; never starts one.
    std::shared_ptr<TDevToolsClient> Running() const;

  private:
    Launcher m_launch;
    std::weak_ptr<TDevToolsClient> m_client;
};
