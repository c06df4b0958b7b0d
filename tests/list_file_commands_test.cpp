// The window's export and import: dialogs, questions, messages, progress, rows and the files written.
#include "Unit1.h"
#include "fake_dialogs.h"
#include "gauge.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<unreadable>";
    return f.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

class ListFileCommands : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    void AddRows(const std::vector<WebsiteEntry>& rows) {
        for (const WebsiteEntry& r : rows) form.AppendRow(r.url, r.picture);
    }
    // The gauge's progress while each message is on screen, then after the command.
    void WatchGauge() {
        d.onNotice = [this](const QString&) { m_gaugeAtNotice << form.sGauge1->Progress(); };
    }

    QTemporaryDir m_dir;
    TFakeDialogs d;
    TForm1 form{&d};
    QList<int> m_gaugeAtNotice;
};

// --- Export ------------------------------------------------------------------------------------------

TEST_F(ListFileCommands, ExportWritesEveryRowWithCrLfAndResetsTheGaugeAfterTheMessage) {
    AddRows({{"http://a.de", "a"}, {u"http://ö.de"_qs, u"Öl"_qs}, {"http://c.de", "c"}});
    form.SetRowChecked(1, true);
    d.fileNames.push_back(Path("out.csv"));
    WatchGauge();
    form.sSpeedButton2->click();
    EXPECT_EQ(d.fileFilters, QStringList({"CSV-Datei|*.csv"}));
    EXPECT_EQ(d.suffixes, QStringList({"csv"}));
    EXPECT_EQ(ReadBytes(Path("out.csv")),
              QByteArray("http://a.de;a\r\nhttp://\xc3\xb6.de;\xc3\x96l\r\nhttp://c.de;c\r\n"));
    EXPECT_EQ(d.notices, QStringList({"Export beendet"}));
    EXPECT_EQ(m_gaugeAtNotice, QList<int>({2}));  // the last index stays while the message shows
    EXPECT_EQ(form.sGauge1->MaxValue(), 2);
    EXPECT_EQ(form.sGauge1->Progress(), 0);
    EXPECT_TRUE(form.Memo1.isEmpty());
    EXPECT_TRUE(d.errors.isEmpty());
}

TEST_F(ListFileCommands, ExportOfAnEmptyListShowsNoDialog) {
    d.fileNames.push_back(Path("never.csv"));
    form.Exportieren1->trigger();
    EXPECT_EQ(d.notices, QStringList({"Keine Einträge vorhanden"}));
    EXPECT_TRUE(d.fileFilters.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Path("never.csv")));
}

TEST_F(ListFileCommands, CancelledExportChangesNothing) {
    AddRows({{"u", "p"}});
    form.sGauge1->SetMaxValue(50);
    form.sGauge1->SetProgress(7);
    form.sSpeedButton2Click();
    EXPECT_TRUE(d.notices.isEmpty());
    EXPECT_EQ(form.sGauge1->MaxValue(), 50);
    EXPECT_EQ(form.sGauge1->Progress(), 7);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList());
}

TEST_F(ListFileCommands, ExportReplacesAnExistingFileWithoutAsking) {
    WriteBytes(Path("old.csv"), "x;1\r\ny;2\r\nz;3\r\n");
    AddRows({{"u", "p"}});
    d.fileNames.push_back(Path("old.csv"));
    form.sSpeedButton2Click();
    EXPECT_EQ(ReadBytes(Path("old.csv")), QByteArray("u;p\r\n"));
    EXPECT_TRUE(d.questions.isEmpty());
}

TEST_F(ListFileCommands, ExportThatCannotCreateTheFileShowsTheErrorAndKeepsTheBuffer) {
    AddRows({{"a", "1"}, {"b", "2"}});
    for (const QString& target : {Path("missing/out.csv"), m_dir.path()}) {
        SCOPED_TRACE(target.toStdString());
        d.errors.clear();
        d.fileNames.push_back(target);
        form.sSpeedButton2->click();
        const QString reason = target == m_dir.path()
                                   ? "Ist ein Ordner"
                                   : "Die Datei oder das Verzeichnis konnte nicht gefunden werden";
        EXPECT_EQ(d.errors,
                  QStringList({u"Datei \"%1\" kann nicht erstellt werden. %2."_qs.arg(target, reason)}));
        EXPECT_TRUE(d.notices.isEmpty());
        EXPECT_EQ(form.Memo1, QStringList({"a;1", "b;2"}));
        EXPECT_EQ(form.sGauge1->Progress(), 1);
        EXPECT_EQ(form.RowCount(), 2);
    }
}

// --- Import ------------------------------------------------------------------------------------------

TEST_F(ListFileCommands, ImportIntoAnEmptyListAsksNothing) {
    WriteBytes(Path("in.csv"), "http://a.de;a\r\nhttp://b.de;b\r\n");
    d.fileNames.push_back(Path("in.csv"));
    WatchGauge();
    form.sSpeedButton1->click();
    EXPECT_EQ(d.fileFilters, QStringList({"CSV-Dateien|*.csv"}));
    EXPECT_TRUE(d.questions.isEmpty());
    EXPECT_EQ(form.Rows(), std::vector<WebsiteEntry>({{"http://a.de", "a"}, {"http://b.de", "b"}}));
    EXPECT_EQ(d.notices, QStringList({"Einlesen beendet"}));
    EXPECT_EQ(m_gaugeAtNotice, QList<int>({1}));
    EXPECT_EQ(form.sGauge1->Progress(), 0);
    EXPECT_EQ(form.lb_anzahl->text(), "2");
    EXPECT_EQ(form.Memo1, QStringList({"http://a.de;a", "http://b.de;b"}));  // kept until the next command
    EXPECT_TRUE(form.sListView1->updatesEnabled());
}

struct ExistingRowsCase {
    const char* name;
    bool chooseFile;
    bool answer;
    QStringList questions;
    std::vector<WebsiteEntry> rows;
};

class ImportIntoExistingRows : public ListFileCommands,
                               public ::testing::WithParamInterface<ExistingRowsCase> {};

TEST_P(ImportIntoExistingRows, ClearsOnlyOnYes) {
    const ExistingRowsCase& c = GetParam();
    AddRows({{"old1", "o1"}, {"old2", "o2"}});
    WriteBytes(Path("in.csv"), "new1;n1\r\nnew2;n2\r\n");
    if (c.chooseFile) d.fileNames.push_back(Path("in.csv"));
    d.answers.push_back(c.answer);
    form.Import1->trigger();
    EXPECT_EQ(d.questions, c.questions);
    EXPECT_EQ(form.Rows(), c.rows);
    EXPECT_EQ(form.lb_anzahl->text(), QString::number(c.rows.size()));
}

const QStringList kClearQuestion = {"Sollen vorhandene Datensätze gelöscht werden?"};

INSTANTIATE_TEST_SUITE_P(
    Answers, ImportIntoExistingRows,
    ::testing::Values(ExistingRowsCase{"Yes", true, true, kClearQuestion, {{"new1", "n1"}, {"new2", "n2"}}},
                      ExistingRowsCase{"No",
                                       true,
                                       false,
                                       kClearQuestion,
                                       {{"old1", "o1"}, {"old2", "o2"}, {"new1", "n1"}, {"new2", "n2"}}},
                      ExistingRowsCase{"DialogCancelled", false, true, {}, {{"old1", "o1"}, {"old2", "o2"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// A list that holds local files asks once whether to load them; "No" leaves those rows out.
TEST_F(ListFileCommands, ImportOfLocalFilesAsksOnce) {
    WriteBytes(Path("in.csv"), "http://a.de;a\r\nfile:///etc/shadow;harmlos\r\n FILE:///root/x;b\r\n");
    for (const bool answer : {true, false}) {
        SCOPED_TRACE(answer);
        form.RemoveAllRows();
        d.questions.clear();
        d.fileNames.push_back(Path("in.csv"));
        d.answers.push_back(answer);
        form.Import1->trigger();
        ASSERT_EQ(d.questions.size(), 1);
        EXPECT_TRUE(d.questions[0].startsWith("Die Liste enthält 2 Einträge mit lokalen Dateien (file:)."));
        EXPECT_EQ(form.Rows().size(), answer ? 3u : 1u);
        EXPECT_EQ(form.Rows()[0].url, "http://a.de");
    }
}

TEST_F(ListFileCommands, ImportOfAMissingFileAfterYesLeavesTheListEmpty) {
    AddRows({{"old", "o"}});
    d.fileNames.push_back(Path("gone.csv"));
    d.answers.push_back(true);
    form.sSpeedButton1->click();
    EXPECT_EQ(
        d.errors,
        QStringList(
            {u"Datei %1 kann nicht geöffnet werden. Die Datei oder das Verzeichnis konnte nicht gefunden werden."_qs
                 .arg(Path("gone.csv"))}));
    EXPECT_EQ(form.RowCount(), 0);
    EXPECT_TRUE(d.notices.isEmpty());
}

TEST_F(ListFileCommands, ImportOfAFolderShowsTheError) {
    d.fileNames.push_back(m_dir.path());
    form.Import1->trigger();
    EXPECT_EQ(d.errors,
              QStringList({u"Datei %1 kann nicht geöffnet werden. Ist ein Ordner."_qs.arg(m_dir.path())}));
    EXPECT_TRUE(d.notices.isEmpty());
}

TEST_F(ListFileCommands, ImportOfAZeroByteFileAddsNothingAndStillReports) {
    WriteBytes(Path("zero.csv"), "");
    form.sGauge1->SetMaxValue(9);
    d.fileNames.push_back(Path("zero.csv"));
    WatchGauge();
    form.sSpeedButton1->click();
    EXPECT_EQ(form.RowCount(), 0);
    EXPECT_EQ(d.notices, QStringList({"Einlesen beendet"}));
    EXPECT_EQ(m_gaugeAtNotice, QList<int>({0}));
    EXPECT_EQ(form.sGauge1->MaxValue(), 9);  // no lines: the maximum is not touched
}

struct FileCase {
    const char* name;
    QByteArray bytes;
    std::vector<WebsiteEntry> rows;
};

class ImportFile : public ListFileCommands, public ::testing::WithParamInterface<FileCase> {};

TEST_P(ImportFile, GivesTheRows) {
    WriteBytes(Path("in.csv"), GetParam().bytes);
    d.fileNames.push_back(Path("in.csv"));
    form.sSpeedButton1->click();
    EXPECT_TRUE(d.errors.isEmpty()) << d.errors.join('\n').toStdString();
    EXPECT_EQ(form.Rows(), GetParam().rows);
}

const std::vector<WebsiteEntry> kAB = {{"http://a.de", "a"}, {"http://b.de", "b"}};

INSTANTIATE_TEST_SUITE_P(
    Files, ImportFile,
    ::testing::Values(
        FileCase{"CrLf", "http://a.de;a\r\nhttp://b.de;b\r\n", kAB},
        FileCase{"LfOnly", "http://a.de;a\nhttp://b.de;b\n", kAB},
        FileCase{"CrOnly", "http://a.de;a\rhttp://b.de;b\r", kAB},
        FileCase{"NoFinalBreak", "http://a.de;a\r\nhttp://b.de;b", kAB},
        FileCase{"ThreeFields", "a;b;c\r\n", {{"a", "b"}}}, FileCase{"SemicolonAlone", ";\r\n", {{"", ""}}},
        FileCase{"NoSemicolonAndBlankLine",
                 "http://bare.de\r\n\r\nx;y\r\n",
                 {{"http://bare.de", ""}, {"", ""}, {"x", "y"}}},
        FileCase{"NulInTheMiddle", QByteArray("a;1\r\nb;2\0c;3\r\n", 14), {{"a", "1"}, {"b", "2"}}},
        FileCase{"Windows1252",
                 "http://m\xfcller.de;K\xe4se\r\n\xc4pfel;\xdf\r\n",
                 {{u"http://müller.de"_qs, u"Käse"_qs}, {u"Äpfel"_qs, u"ß"_qs}}},
        FileCase{"Line5000", "u;" + QByteArray(4998, 'p') + "\r\n", {{"u", QString(4094, u'p')}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListFileCommands, RoundTripThroughTheWindow) {
    const std::vector<WebsiteEntry> rows = {{"http://a.de", "a"}, {u"http://ü.de"_qs, u"Bär"_qs}};
    AddRows(rows);
    form.SetRowChecked(0, true);
    d.fileNames.push_back(Path("rt.csv"));
    form.sSpeedButton2Click();

    TFakeDialogs d2;
    TForm1 other(&d2);
    d2.fileNames.push_back(Path("rt.csv"));
    other.sSpeedButton1->click();
    EXPECT_TRUE(d2.questions.isEmpty());
    EXPECT_EQ(other.Rows(), rows);  // unchecked: the mark is not stored
}

}  // namespace
