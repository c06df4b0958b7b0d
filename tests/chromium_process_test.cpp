// The Chromium process: finding it, its switches, the pipe's framing, and that nothing survives it
// (processes or profile folder), whether it quits, is killed, or this program is killed.
#include "chromium_process.h"
#include "browser_error.h"
#include "profile_folders.h"
#include "test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <csignal>

namespace {

// A temporary folder of this test run that receives every profile folder (TMPDIR), so leftovers are seen.
QTemporaryDir* g_tmp = nullptr;

QStringList ProfileFolders() {
    return QDir(g_tmp->path())
        .entryList({TChromiumProcess::ProfilePrefix() + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden);
}

class PrivateTmpDir : public ::testing::Environment {
  public:
    void SetUp() override {
        g_tmp = new QTemporaryDir;
        ASSERT_TRUE(g_tmp->isValid());
        m_old = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(g_tmp->path()));
    }
    void TearDown() override {
        EXPECT_TRUE(ProfileFolders().isEmpty()) << qPrintable(ProfileFolders().join(' '));
        // Nor anything else (a killed browser's scratch files); the sweep's hidden lock file may stay.
        const QStringList left = QDir(g_tmp->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        EXPECT_TRUE(left.isEmpty()) << qPrintable(left.join(' '));
        qputenv("TMPDIR", m_old);
        delete g_tmp;
    }

  private:
    QByteArray m_old;
};
[[maybe_unused]] ::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new PrivateTmpDir);

bool GroupGone(qint64 pgid) {
    return kill(-static_cast<pid_t>(pgid), 0) == -1 && errno == ESRCH;
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QThread::msleep(2);
    }
    return true;
}

// A stand-in browser: a shell script that gets the pipe on fds 3 and 4 like Chromium.
QString FakeBrowser(const QTemporaryDir& dir, const QByteArray& body) {
    return WriteShellScript(dir.filePath(QStringLiteral("fake-browser")), body);
}

// Collects messages and the exit of a process.
struct Listener {
    explicit Listener(TChromiumProcess& p) {
        QObject::connect(&p, &TChromiumProcess::MessageReceived,
                         [this](const QByteArray& m) { messages << m; });
        QObject::connect(&p, &TChromiumProcess::Exited, [this](const QString& r) {
            ++exits;
            reason = r;
        });
    }
    QList<QByteArray> messages;
    int exits = 0;
    QString reason;
};

// ---- Finding the browser and its switches ----

TEST(ChromiumExecutable, NamedByTheEnvironmentOrFoundOnPath) {
    const QByteArray old = qgetenv("BILDORO_CHROMIUM");
    struct Case {
        const char* env;
        bool set;
        QString expected;
    };
    const QString sh = QStandardPaths::findExecutable(QStringLiteral("sh"));
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    for (const Case& c : {Case{"/usr/bin/env", true, QStringLiteral("/usr/bin/env")}, Case{"sh", true, sh},
                          Case{"no-such-browser-anywhere", true, QString()}, Case{"", false, chromium}}) {
        if (c.set)
            qputenv("BILDORO_CHROMIUM", c.env);
        else
            qunsetenv("BILDORO_CHROMIUM");
        EXPECT_EQ(TChromiumProcess::FindExecutable(), c.expected) << c.env;
    }
    if (old.isNull())
        qunsetenv("BILDORO_CHROMIUM");
    else
        qputenv("BILDORO_CHROMIUM", old);
}

TEST(ChromiumSwitches, PipeNotPortAndSandboxOffOnlyForRoot) {
    const QStringList s = TChromiumProcess::Switches();
    EXPECT_TRUE(s.contains(QStringLiteral("--headless")));
    EXPECT_TRUE(s.contains(QStringLiteral("--remote-debugging-pipe")));
    EXPECT_TRUE(s.filter(QStringLiteral("--remote-debugging-port")).isEmpty());
    EXPECT_EQ(s.contains(QStringLiteral("--no-sandbox")), geteuid() == 0);
}

// ---- The pipe ----

TEST(ChromiumPipe, MessagesComeBackWholeAndInOrderWhateverTheirSize) {
    QTemporaryDir dir;
    TChromiumProcess process;
    Listener got(process);
    process.Start(FakeBrowser(dir, "exec cat <&3 >&4"));
    const QList<QByteArray> sent{"first", "", QByteArray(3 * 1024 * 1024, 'x') + "end", "{\"id\":1}", "last"};
    for (const QByteArray& m : sent) process.SendMessage(m);
    WaitFor(
        [&] {
            process.Pump(100);
            return got.messages.size() >= sent.size();
        },
        10000);
    EXPECT_EQ(got.messages, sent);
    EXPECT_EQ(got.exits, 0);
    process.Shutdown();
}

TEST(ChromiumPipe, BrowserGetsOnlyItsPipeNotTheProgramsFiles) {
    // Inheritable on purpose; they also take the low numbers, so the pipe ends land above 4 or on 3 and 4.
    QList<int> strays;
    for (int i = 0; i < 8; ++i) strays << open("/dev/null", O_RDONLY);
    QTemporaryDir dir;
    TChromiumProcess process;
    Listener got(process);
    // The listing goes to a file: a command substitution would hold a pipe of the shell's own open.
    process.Start(
        FakeBrowser(dir, "ls /proc/$$/fd > \"$0.fds\"; printf 'x\\0' >&4; exec cat <&3 >/dev/null"));
    WaitFor(
        [&] {
            process.Pump(100);
            return !got.messages.isEmpty();
        },
        10000);
    for (int fd : strays) close(fd);
    QFile file(dir.filePath(QStringLiteral("fake-browser.fds")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QList<QByteArray> fds = file.readAll().simplified().split(' ');
    // The shell keeps its own handles (its script) at 10 and above; the strays sit below 10 as well.
    fds.removeIf([](const QByteArray& fd) { return fd.toInt() >= 10; });
    EXPECT_EQ(fds, (QList<QByteArray>{"0", "1", "2", "3", "4"})) << fds.join(' ').constData();
    process.Shutdown();
}

TEST(ChromiumPipe, SendingAfterTheEndFailsLoudly) {
    QTemporaryDir dir;
    TChromiumProcess process;
    Listener got(process);
    process.Start(FakeBrowser(dir, "exit 0"));
    WaitFor(
        [&] {
            process.Pump(100);
            return got.exits > 0;
        },
        10000);
    EXPECT_EQ(got.exits, 1);
    EXPECT_FALSE(got.reason.isEmpty());
    EXPECT_FALSE(process.IsRunning());
    EXPECT_THROW(process.SendMessage("{}"), TBrowserError);
    process.Shutdown();
    EXPECT_TRUE(ProfileFolders().isEmpty());
}

TEST(ChromiumPipe, BrowserThatEndsSaysHowAndWhatItLastWrote) {
    QTemporaryDir dir;
    // The last two lines, a terminal's colour codes and a tab dropped, the long one cut short.
    const std::pair<QByteArray, QStringList> cases[] = {
        {"printf 'early\\nfirst\\n\\033[31mno\\tdisplay\\033[0m %0900d\\n' 0 >&2; exit 3",
         {"exit status 3", "first | no display 000"}},
        {"kill -9 $$", {"killed by signal 9 (SIGKILL)"}}};
    for (const auto& [script, mentions] : cases) {
        TChromiumProcess process;
        Listener got(process);
        process.Start(FakeBrowser(dir, script));
        WaitFor([&] { return process.Pump(100), got.exits > 0; }, 10000);
        for (const QString& m : mentions) EXPECT_TRUE(got.reason.contains(m)) << qPrintable(got.reason);
        EXPECT_FALSE(got.reason.contains(QLatin1String("early")) || got.reason.contains(QChar(0x1b)));
        EXPECT_LT(got.reason.size(), 500);
        process.Shutdown();
    }
}

TEST(ChromiumPipe, BrowserThatStoppedReadingEndsWithoutTakingTheProgramAlong) {
    QTemporaryDir dir;
    TChromiumProcess process;
    Listener got(process);
    // Closes its command pipe but keeps the event pipe open: our write meets a pipe without reader.
    process.Start(FakeBrowser(dir, "exec 3<&-; sleep 0.5"));
    QThread::msleep(200);
    for (int i = 0; i < 3 && process.IsRunning(); ++i) process.SendMessage("{\"id\":1}");
    EXPECT_FALSE(process.IsRunning());
    EXPECT_EQ(got.exits, 1);
    EXPECT_TRUE(got.reason.contains(QStringLiteral("command pipe"))) << qPrintable(got.reason);
    process.Shutdown();
}

// ---- Starting fails loudly and leaves nothing ----

TEST(ChromiumStart, ProgramThatCannotRunIsReportedWithTheReason) {
    QTemporaryDir dir;
    const QString notProgram = dir.filePath(QStringLiteral("garbage"));
    {
        QFile f(notProgram);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\x01\x02\x03 not a program"));
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    struct Case {
        QString executable;
        const char* mentions;
    };
    for (const Case& c :
         {Case{notProgram, "exec"}, Case{dir.filePath(QStringLiteral("absent")), "not an executable"},
          Case{QString(), "not an executable"}}) {
        TChromiumProcess process;
        try {
            process.Start(c.executable);
            ADD_FAILURE() << "started " << qPrintable(c.executable);
        } catch (const TBrowserError& e) {
            EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
        }
        EXPECT_FALSE(process.IsRunning());
        EXPECT_TRUE(ProfileFolders().isEmpty());
    }
}

// ---- Profile folders left by a program killed outright are removed at the next start ----

TEST(ChromiumStart, RemovesStaleProfileFoldersOfOursAndNothingElse) {
    const QString prefix = g_tmp->path() + QLatin1Char('/') + TChromiumProcess::ProfilePrefix();
    QTemporaryDir outside;
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    };
    const QByteArray self = QByteArray::number(getpid());
    struct Case {
        const char* name;
        QByteArray marker;  // owner marker's text; null: none
        bool removed;
    };
    // This process with a start time it never had: an owner gone, its process id reused.
    const Case cases[] = {{"stale", self + " 1\n", true},
                          {"live", QByteArray(), false},  // marked below by this process
                          {"unmarked", QByteArray(), false},
                          {"garbage", "not a marker", false}};
    for (const Case& c : cases) {
        const QString folder = prefix + QLatin1String(c.name);
        ASSERT_TRUE(QDir().mkdir(folder));
        if (!c.marker.isNull()) ASSERT_TRUE(write(folder + QStringLiteral("/owner"), c.marker));
        // A link inside a stale folder goes, what it points to stays.
        QFile::link(outside.path(), folder + QStringLiteral("/link"));
    }
    ASSERT_TRUE(AddProfileOwner(prefix + QStringLiteral("live"), getpid()));
    // A link with our prefix to a folder that looks stale is neither followed nor removed.
    ASSERT_TRUE(write(outside.filePath(QStringLiteral("owner")), cases[0].marker));
    ASSERT_TRUE(QFile::link(outside.path(), prefix + QStringLiteral("planted-link")));

    QTemporaryDir dir;
    TChromiumProcess process;
    process.Start(FakeBrowser(dir, "exec cat <&3 >/dev/null"));
    for (const Case& c : cases)
        EXPECT_EQ(QFileInfo::exists(prefix + QLatin1String(c.name)), !c.removed) << c.name;
    EXPECT_TRUE(QFileInfo(prefix + QStringLiteral("planted-link")).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(outside.filePath(QStringLiteral("owner"))));
    process.Shutdown();
    for (const Case& c : cases) QDir(prefix + QLatin1String(c.name)).removeRecursively();
    QFile::remove(prefix + QStringLiteral("planted-link"));
}

TEST(ChromiumStart, ShortFolderTakenOnlyIfNobodyElseCanRemoveWhatIsMadeThere) {
    QTemporaryDir dir;
    for (const auto& [mode, chosen] : {std::pair{0777, false}, {01777, true}, {0700, true}}) {
        const QString folder = dir.filePath(QString::number(mode, 8));
        ASSERT_TRUE(QDir().mkdir(folder) && chmod(QFile::encodeName(folder).constData(), mode) == 0);
        // The preferred folder is too long by a byte; this one fits exactly.
        EXPECT_EQ(
            ChooseProfileParent(folder + QStringLiteral("/x"), {folder}, 9, folder.size() + 10) == folder,
            chosen)
            << mode;
    }
}

// ---- The real browser leaves nothing behind ----

TEST(ChromiumLifetime, ShutdownEndsEveryProcessAndRemovesTheProfile) {
    TChromiumProcess process;
    process.Start(TChromiumProcess::FindExecutable());
    const qint64 pid = process.ProcessId();
    const QString profile = process.ProfileDir();
    ASSERT_GT(pid, 0);
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(profile).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(profile.startsWith(g_tmp->path() + QLatin1Char('/') + TChromiumProcess::ProfilePrefix()));
    // The files Chromium keeps outside its profile land inside the private folder too.
    QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
    ASSERT_TRUE(environ.open(QIODevice::ReadOnly));
    const QByteArray env = '\0' + environ.readAll();
    for (const char* name : {"HOME", "TMPDIR", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        EXPECT_TRUE(env.contains('\0' + QByteArray(name) + '=' + QFile::encodeName(profile) + '/')) << name;
    process.SendMessage(R"({"id":1,"method":"Browser.getVersion"})");
    Listener got(process);
    WaitFor(
        [&] {
            process.Pump(100);
            return !got.messages.isEmpty();
        },
        10000);
    ASSERT_EQ(got.messages.size(), 1);
    EXPECT_TRUE(got.messages.first().contains("\"id\":1"));
    process.Shutdown();
    EXPECT_TRUE(GroupGone(pid));
    EXPECT_FALSE(QFileInfo::exists(profile));
    process.Shutdown();  // twice is harmless
}

TEST(ChromiumLifetime, HelperInAGroupOfItsOwnDoesNotOutliveTheBrowser) {
    QTemporaryDir dir;
    TChromiumProcess process;
    Listener got(process);
    // Like the crash reporter: started by the browser, in a session and process group of its own.
    process.Start(FakeBrowser(dir, "setsid sleep 60 & printf '%s\\0' $! >&4; exec cat <&3 >/dev/null"));
    WaitFor(
        [&] {
            process.Pump(100);
            return !got.messages.isEmpty();
        },
        10000);
    ASSERT_EQ(got.messages.size(), 1);
    const pid_t helper = got.messages.first().toInt();
    ASSERT_GT(helper, 0);
    QThread::msleep(100);  // setsid has run
    process.Shutdown();
    EXPECT_TRUE(kill(helper, 0) == -1 && errno == ESRCH) << "helper " << helper << " survived";
}

TEST(ChromiumLifetime, BrowserLeavesNothingInTheUsersHome) {
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME"),
                     oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CACHE_HOME");
    {
        TChromiumProcess process;
        Listener got(process);
        process.Start(TChromiumProcess::FindExecutable());
        process.SendMessage(
            R"({"id":1,"method":"Target.createTarget","params":{"url":"about:blank","newWindow":true}})");
        WaitFor(
            [&] {
                process.Pump(100);
                return !got.messages.isEmpty();
            },
            10000);
        EXPECT_EQ(got.messages.size(), 1);
        QThread::msleep(500);  // the crash reporter starts alongside
        process.Shutdown();
    }
    qputenv("HOME", oldHome);
    auto restore = [](const char* name, const QByteArray& value) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    };
    restore("XDG_CONFIG_HOME", oldConfig);
    restore("XDG_CACHE_HOME", oldCache);
    const QStringList left =
        QDir(home.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    EXPECT_TRUE(left.isEmpty()) << qPrintable(left.join(' '));
}

TEST(ChromiumLifetime, KilledBrowserIsReportedAndLeavesNothing) {
    TChromiumProcess process;
    Listener got(process);
    process.Start(TChromiumProcess::FindExecutable());
    const qint64 pid = process.ProcessId();
    const QString profile = process.ProfileDir();
    process.SendMessage(R"({"id":1,"method":"Browser.getVersion"})");
    WaitFor(
        [&] {
            process.Pump(100);
            return !got.messages.isEmpty();
        },
        10000);
    ASSERT_EQ(kill(static_cast<pid_t>(pid), SIGKILL), 0);
    ASSERT_TRUE(WaitFor(
        [&] {
            process.Pump(100);
            return got.exits > 0;
        },
        10000));
    EXPECT_EQ(got.exits, 1);
    // The guardian reaps what the browser left and removes the profile without being asked.
    EXPECT_TRUE(WaitFor([&] { return GroupGone(pid) && !QFileInfo::exists(profile); }, 10000));
    process.Shutdown();
}

TEST(ChromiumLifetime, LongTemporaryFolderStillGivesAWorkingPageAndLeavesNothing) {
    // A build sandbox's TMPDIR: Chromium's socket beneath a profile folder there would pass the length limit.
    const QString longTmp = (g_tmp->path() + QStringLiteral("/long-")).leftJustified(100, QLatin1Char('x'));
    ASSERT_TRUE(QDir().mkpath(longTmp));
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(longTmp));
    TChromiumProcess process;
    Listener got(process);
    process.Start(TChromiumProcess::FindExecutable());
    qputenv("TMPDIR", oldTmp);
    int id = 0;
    auto call = [&](const char* method, const QJsonObject& params, const QString& session = {}) {
        QJsonObject command{{"id", ++id}, {"method", method}, {"params", params}}, answer;
        if (!session.isEmpty()) command["sessionId"] = session;
        process.SendMessage(QJsonDocument(command).toJson(QJsonDocument::Compact));
        WaitFor(
            [&] {
                for (process.Pump(100); !got.messages.isEmpty();)
                    if (const QJsonObject m = QJsonDocument::fromJson(got.messages.takeFirst()).object();
                        m["id"] == id)
                        answer = m["result"].toObject();
                return !answer.isEmpty() || got.exits > 0;
            },
            10000);
        return answer;
    };
    const QString target =
        call("Target.createTarget", {{"url", "about:blank"}, {"newWindow", true}})["targetId"].toString();
    const QString session =
        call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}})["sessionId"].toString();
    EXPECT_EQ(
        call("Runtime.evaluate", {{"expression", "6*7"}}, session)["result"].toObject()["value"].toInt(), 42)
        << qPrintable(got.reason);
    const QString profile = process.ProfileDir();
    process.Shutdown();
    EXPECT_FALSE(QFileInfo::exists(profile)) << qPrintable(profile);
    EXPECT_TRUE(QDir(longTmp).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    QDir(longTmp).removeRecursively();
}

// Run in a child copy of this test program: starts a browser, tells the parent, and waits to be killed.
TEST(ChromiumLifetimeChild, HoldBrowserUntilKilled) {
    if (qEnvironmentVariableIsEmpty("BILDORO_TEST_HOLD_BROWSER"))
        GTEST_SKIP() << "only as the child of a test";
    TChromiumProcess process;
    process.Start(TChromiumProcess::FindExecutable());
    std::printf("browser %lld %s %s\n", static_cast<long long>(process.ProcessId()),
                qPrintable(process.ProfileDir()), qgetenv("TMPDIR").constData());
    std::fflush(stdout);
    QThread::sleep(60);
}

TEST(ChromiumLifetime, ProgramKilledLeavesNoBrowserAndNoProfile) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BILDORO_TEST_HOLD_BROWSER"), QStringLiteral("1"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=ChromiumLifetimeChild.HoldBrowserUntilKilled")});
    ASSERT_TRUE(child.waitForStarted(5000));
    QByteArray line;
    auto announced = [&] {
        return line.indexOf('\n', std::max<qsizetype>(0, line.indexOf("browser "))) > 0 &&
               line.contains("browser ");
    };
    while (!announced() && child.waitForReadyRead(20000)) line += child.readAllStandardOutput();
    const qsizetype at = line.indexOf("browser ");
    ASSERT_GE(at, 0) << line.constData();
    const QList<QByteArray> parts = line.mid(at).trimmed().split(' ');
    ASSERT_EQ(parts.size(), 4);
    const qint64 pid = parts[1].toLongLong();
    const QString profile = QFile::decodeName(parts[2]);
    ASSERT_TRUE(QFileInfo(profile).isDir());
    ASSERT_FALSE(GroupGone(pid));
    child.kill();  // SIGKILL: no destructor runs
    child.waitForFinished(5000);
    EXPECT_TRUE(WaitFor([&] { return GroupGone(pid); }, 15000)) << "Chromium survived the program";
    EXPECT_TRUE(WaitFor([&] { return !QFileInfo::exists(profile); }, 15000)) << "profile folder left";
    // The killed child's own TMPDIR, made inside ours (the profile folder may lie elsewhere).
    const QString childTmp = QFile::decodeName(parts[3]);
    ASSERT_TRUE(childTmp.startsWith(g_tmp->path() + QLatin1Char('/'))) << qPrintable(childTmp);
    QDir(childTmp).removeRecursively();
}

}  // namespace
