// The window's batch run end to end, with the real Chromium and pages served on 127.0.0.1: files on disk,
// status texts, gauge, messages, the wait bound, and the same bytes as bildoro-batch.
#include "Unit1.h"
#include "Unit2.h"
#include "batch_process.h"
#include "capture_dialog.h"
#include "fake_dialogs.h"
#include "gauge.h"
#include "icons.h"
#include "jpeg_image.h"
#include "leftover_check.h"
#include "local_http_server.h"
#include "picture_outputs.h"
#include "picture_samples.h"
#include "preview_image.h"
#include "test_pages.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

[[maybe_unused]] ::testing::Environment* const g_tmpEnv =
    ::testing::AddGlobalTestEnvironment(new leftovers::PrivateTmpEnvironment);

QSize PictureSize(const QString& file) {
    TJpegImage jpeg;
    jpeg.LoadFromFile(file);
    return {jpeg.Width(), jpeg.Height()};
}

QStringList Files(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

class BatchRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server.AddRoute(QStringLiteral("/red"), ColourPage("#ff0000"));
        server.AddRoute(QStringLiteral("/green"), ColourPage("#00ff00"));
        server.AddRoute(QStringLiteral("/blue"), ColourPage("#0000ff"));
        server.AddRoute(QStringLiteral("/slow"),
                        "<!doctype html><body style='background:#ff0000'><img src='/never.png'></body>");
        server.AddNeverAnswering(QStringLiteral("/never.png"));
        ASSERT_TRUE(out.isValid());
        form.show();
        form.sDirectoryEdit1->setText(out.path());
        // What the window shows while each page loads: the first navigation of every row.
        QObject::connect(form.WB1, &TBrowserHost::BeforeNavigate2, [this](const QString&) {
            EXPECT_FALSE(form.Aufnahme1->isEnabled());
            const QString panel0 = form.StatusText(0);
            if (seenPanel0.isEmpty() || seenPanel0.last() != panel0) {
                seenPanel0 << panel0;
                gaugeAtRowStart << form.sGauge1->PercentText();
                startEnabled << form.sBitBtn3->isEnabled();
                cursorIsHourglass << (QApplication::overrideCursor() &&
                                      QApplication::overrideCursor()->shape() == Qt::WaitCursor);
            }
        });
        dialogs.onNotice = [this](const QString&) {
            gaugeAtNotice = form.sGauge1->PercentText();
            panelsAtNotice = {form.StatusText(0), form.StatusText(1)};
            cursorAtNotice = QApplication::overrideCursor() != nullptr;
        };
    }

    void Add(const QString& path, const QString& picture) { form.AppendRow(server.Url(path), picture); }
    QString Out(const QString& picture) { return out.path() + u'/' + picture + QStringLiteral(".jpg"); }

    void Run() { QTest::mouseClick(form.sBitBtn3, Qt::LeftButton); }

    LocalHttpServer server;
    QTemporaryDir out;
    TFakeDialogs dialogs;
    TForm1 form{&dialogs};
    QStringList seenPanel0, gaugeAtRowStart, panelsAtNotice;
    QList<bool> startEnabled, cursorIsHourglass;
    QString gaugeAtNotice;
    bool cursorAtNotice = true;
};

TEST_F(BatchRunTest, FiveRowsGiveFiveThumbnailsWithStatusAndGauge) {
    const char* pages[] = {"/red", "/green", "/blue", "/red", "/green"};
    for (int i = 0; i < 5; ++i) Add(QString::fromLatin1(pages[i]), QStringLiteral("p%1").arg(i));
    form.SetRowChecked(1, true);  // check marks play no part
    Run();
    EXPECT_EQ(Files(out.path()), QStringList({"p0.jpg", "p1.jpg", "p2.jpg", "p3.jpg", "p4.jpg"}));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(PictureSize(Out(QStringLiteral("p%1").arg(i))), QSize(320, 240));
    EXPECT_GT(CentreColour(Out("p2")).blue(), 240) << "row 2 shows the blue page";
    EXPECT_GT(CentreColour(Out("p1")).green(), 240);
    EXPECT_EQ(seenPanel0, QStringList({"Bearbeite 0 von 4", "Bearbeite 1 von 4", "Bearbeite 2 von 4",
                                       "Bearbeite 3 von 4", "Bearbeite 4 von 4"}));
    EXPECT_EQ(gaugeAtRowStart, QStringList({"0%", "0%", "25%", "50%", "75%"}));
    EXPECT_EQ(gaugeAtNotice, QStringLiteral("100%"));
    EXPECT_EQ(panelsAtNotice, QStringList({QString(), QString()}));
    EXPECT_FALSE(cursorAtNotice) << "the cursor is restored before the message";
    for (bool hourglass : cursorIsHourglass) EXPECT_TRUE(hourglass);
    for (bool enabled : startEnabled) EXPECT_FALSE(enabled) << "no second run while one is going";
    EXPECT_EQ(dialogs.notices, QStringList{QStringLiteral("Verarbeitung abgeschlossen")});
    EXPECT_EQ(form.sGauge1->Progress(), 0);
    EXPECT_TRUE(form.sBitBtn3->isEnabled());
    EXPECT_EQ(form.StatusText(2), server.Url(QStringLiteral("/green")));
    EXPECT_EQ(form.ImagePreview1->Bitmap().Width(), 320) << "the preview shows the last thumbnail";
}

TEST_F(BatchRunTest, OneRowKeepsGaugeAtZeroPercent) {
    Add(QStringLiteral("/red"), QStringLiteral("one"));
    Run();
    EXPECT_EQ(seenPanel0, QStringList{QStringLiteral("Bearbeite 0 von 0")});
    EXPECT_EQ(gaugeAtRowStart, QStringList{QStringLiteral("0%")});
    EXPECT_EQ(gaugeAtNotice, QStringLiteral("0%"));
    EXPECT_EQ(form.sGauge1->MaxValue(), 0);
    EXPECT_EQ(Files(out.path()), QStringList{QStringLiteral("one.jpg")});
}

TEST_F(BatchRunTest, EmptyListChangesNothing) {
    form.sGauge1->SetMaxValue(100);
    Run();
    EXPECT_EQ(dialogs.notices, QStringList{QStringLiteral("Keine Einträge vorhanden")});
    EXPECT_EQ(form.sGauge1->MaxValue(), 100);
    EXPECT_TRUE(form.StatusText(0).isEmpty());
    EXPECT_TRUE(Files(out.path()).isEmpty());
}

TEST_F(BatchRunTest, LaterRowWithSamePictureNameFailsAndKeepsTheFirst) {
    Add(QStringLiteral("/red"), QStringLiteral("same"));
    Add(QStringLiteral("/blue"), QStringLiteral("same"));
    Run();
    EXPECT_EQ(Files(out.path()), QStringList{QStringLiteral("same.jpg")});
    const QColor c = CentreColour(Out("same"));
    EXPECT_GT(c.red(), 200);
    EXPECT_LT(c.blue(), 50);
    ASSERT_EQ(dialogs.notices.size(), 1);
    EXPECT_TRUE(dialogs.notices[0].contains(server.Url(QStringLiteral("/blue")) +
                                            QStringLiteral(" – Dasselbe Bild wie Zeile 1")))
        << qPrintable(dialogs.notices[0]);
}

TEST_F(BatchRunTest, WidthThatIsNoNumberLeavesFullCapturesAndListsFailures) {
    Add(QStringLiteral("/red"), QStringLiteral("a"));
    Add(QStringLiteral("/green"), QStringLiteral("b"));
    form.edbreit->setText(QStringLiteral("abc"));
    dialogs.errors.clear();
    Run();
    EXPECT_EQ(PictureSize(Out("a")), QSize(1024, 768));
    EXPECT_EQ(PictureSize(Out("b")), QSize(1024, 768));
    ASSERT_EQ(dialogs.notices.size(), 1);
    const QString message = dialogs.notices[0];
    EXPECT_TRUE(
        message.startsWith(QStringLiteral("Verarbeitung abgeschlossen\n\n2 von 2 Einträgen fehlgeschlagen:")))
        << qPrintable(message);
    EXPECT_TRUE(message.contains(server.Url(QStringLiteral("/red")) +
                                 QStringLiteral(" – 'abc' ist kein gültiger Integerwert")))
        << qPrintable(message);
    EXPECT_TRUE(form.ImagePreview1->Bitmap().IsEmpty()) << "the preview does not change";
    EXPECT_TRUE(dialogs.errors.isEmpty()) << "a row's failure raises no error box";
}

TEST_F(BatchRunTest, MissingOutputFolderWritesNothing) {
    Add(QStringLiteral("/red"), QStringLiteral("a"));
    const QString missing = out.path() + QStringLiteral("/missing");
    form.sDirectoryEdit1->setText(missing);
    const qsizetype requests = server.Requests().size();
    Run();
    EXPECT_FALSE(QFileInfo::exists(missing));
    // Said once, before any page loads.
    EXPECT_EQ(dialogs.notices,
              QStringList{QStringLiteral("Der Ausgabeordner \"%1\" existiert nicht").arg(missing)});
    EXPECT_EQ(server.Requests().size(), requests);
}

TEST_F(BatchRunTest, PageThatNeverCompletesIsCapturedAfterTheBound) {
    form.SetPageTimeoutMs(
        5000);  // long enough for the browser to start and commit the page on a loaded machine
    Add(QStringLiteral("/slow"), QStringLiteral("slow"));
    Add(QStringLiteral("/green"), QStringLiteral("next"));
    Run();
    ASSERT_EQ(dialogs.notices, QStringList{"Verarbeitung abgeschlossen\n\n1 von 2 Einträgen mit Warnung:\n" +
                                           server.Url("/slow") + " – nicht rechtzeitig vollständig geladen"})
        << qPrintable(dialogs.notices.join(u'\n'));
    EXPECT_EQ(PictureSize(Out("slow")), QSize(320, 240));
    EXPECT_GT(CentreColour(Out("slow")).red(), 200) << "captured as far as it got";
    EXPECT_EQ(PictureSize(Out("next")), QSize(320, 240));
}

// Esc ends the slow row at once, unwritten, and starts no other; the rows done show their results until the
// list changes. "Fehlgeschlagene erneut verarbeiten" then runs only the rows that did not come out whole.
TEST_F(BatchRunTest, EscapeStopsTheRunAndEachRowDoneShowsItsResult) {
    Add(QStringLiteral("/red"), QStringLiteral("a"));
    form.AppendRow(QStringLiteral("http://127.0.0.1:9/"), QStringLiteral("bad"));  // a port no browser opens
    Add(QStringLiteral("/slow"), QStringLiteral("b"));
    Add(QStringLiteral("/green"), QStringLiteral("c"));
    QApplication::setActiveWindow(&form);
    bool stopped = false;  // the first run only
    QObject::connect(form.WB1, &TBrowserHost::BeforeNavigate2, [&](const QString& url) {
        if (url.endsWith(QStringLiteral("/slow")) && !std::exchange(stopped, true))
            QTimer::singleShot(300, [&] { QTest::keyClick(&form, Qt::Key_Escape); });
    });
    Run();
    EXPECT_EQ(Files(out.path()), QStringList{QStringLiteral("a.jpg")}) << "no b.jpg, no .$$$, no c.jpg";
    EXPECT_TRUE(server.RequestsFor(QStringLiteral("/green")).isEmpty());
    EXPECT_EQ(dialogs.notices,
              QStringList{QStringLiteral("Verarbeitung abgebrochen\n\n2 von 4 Einträgen bearbeitet, "
                                         "1 davon fehlgeschlagen:\nhttp://127.0.0.1:9/ – "
                                         "Port nicht erlaubt (net::ERR_UNSAFE_PORT)")});
    QTreeWidgetItem* row[2] = {form.sListView1->topLevelItem(0), form.sListView1->topLevelItem(1)};
    EXPECT_EQ(row[0]->icon(0).cacheKey(), RowDoneIcon().cacheKey());
    EXPECT_EQ(row[0]->toolTip(0), QStringLiteral("Fertig\nBild: ") + Out("a"));
    EXPECT_EQ(row[1]->icon(0).cacheKey(), RowFailedIcon().cacheKey());
    EXPECT_EQ(row[1]->toolTip(0),
              QStringLiteral("Fehlgeschlagen (Laden): Port nicht erlaubt (net::ERR_UNSAFE_PORT)\nBild: ") +
                  Out("bad"));

    // Run again: the failed row and the two the stop left; the done row keeps its mark and is not loaded.
    dialogs.notices.clear();
    server.ClearRequests();
    form.SetPageTimeoutMs(3000);
    form.Fehlgeschlagene1->trigger();
    EXPECT_TRUE(server.RequestsFor(QStringLiteral("/red")).isEmpty());
    EXPECT_EQ(server.RequestsFor(QStringLiteral("/slow")).size(), 1);
    EXPECT_EQ(server.RequestsFor(QStringLiteral("/green")).size(), 1);
    EXPECT_EQ(Files(out.path()), QStringList({"a.jpg", "b.jpg", "c.jpg"}));
    EXPECT_EQ(dialogs.notices,
              QStringList{QStringLiteral("Verarbeitung abgeschlossen\n\n1 von 3 Einträgen fehlgeschlagen:\n"
                                         "http://127.0.0.1:9/ – Port nicht erlaubt (net::ERR_UNSAFE_PORT)\n\n"
                                         "1 von 3 Einträgen mit Warnung:\n") +
                          server.Url(QStringLiteral("/slow")) +
                          QStringLiteral(" – nicht rechtzeitig vollständig geladen")});
    EXPECT_EQ(row[0]->toolTip(0), QStringLiteral("Fertig\nBild: ") + Out("a"));
    for (const auto& [i, mark] :
         {std::pair{0, RowMark::Done}, {1, RowMark::Failed}, {2, RowMark::TimedOut}, {3, RowMark::Done}})
        EXPECT_EQ(form.MarkOf(i), mark) << i;
    Add(QStringLiteral("/green"), QStringLiteral("more"));
    EXPECT_TRUE(row[0]->icon(0).isNull() && row[1]->icon(0).isNull() && row[1]->toolTip(0).isEmpty());
}

TEST_F(BatchRunTest, FolderTextEndingInSlashIsUsedAsItStands) {
    form.sDirectoryEdit1->setText(out.path() + u'/');
    Add(QStringLiteral("/red"), QStringLiteral("x"));
    Run();
    EXPECT_EQ(Files(out.path()), QStringList{QStringLiteral("x.jpg")});
    EXPECT_EQ(dialogs.notices, QStringList{QStringLiteral("Verarbeitung abgeschlossen")});
}

TEST_F(BatchRunTest, LargestResolutionGivesThumbnailsOf248Rows) {
    form.sComboBox1->setCurrentIndex(0);
    Add(QStringLiteral("/red"), QStringLiteral("big"));
    Run();
    EXPECT_EQ(PictureSize(Out("big")), QSize(320, 248));
}

TEST_F(BatchRunTest, WindowAndCommandLineWriteTheSameBytes) {
    Add(QStringLiteral("/red"), QStringLiteral("r"));
    Add(QStringLiteral("/blue"), QStringLiteral("b"));
    form.sComboBox1->setCurrentIndex(2);
    form.edbreit->setText(QStringLiteral("200"));
    Run();
    QTemporaryDir cliOut;
    const QString list = cliOut.path() + QStringLiteral("/list.csv");
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write((server.Url(QStringLiteral("/red")) + QStringLiteral(";r\r\n") +
             server.Url(QStringLiteral("/blue")) + QStringLiteral(";b\r\n"))
                .toUtf8());
    f.close();
    const BatchProcess cli = RunBatchProcess(
        {list, QStringLiteral("-o"), cliOut.path() + QStringLiteral("/pics"), QStringLiteral("--resolution"),
         QStringLiteral("800x600"), QStringLiteral("--width"), QStringLiteral("200")});
    EXPECT_EQ(cli.exitCode, 0) << qPrintable(cli.err);
    for (const char* name : {"r", "b"}) {
        QFile a(Out(QString::fromLatin1(name)));
        QFile b(cliOut.path() + QStringLiteral("/pics/") + name + QStringLiteral(".jpg"));
        ASSERT_TRUE(a.open(QIODevice::ReadOnly));
        ASSERT_TRUE(b.open(QIODevice::ReadOnly));
        EXPECT_EQ(a.readAll(), b.readAll()) << name;
    }
    EXPECT_EQ(PictureSize(Out("r")), QSize(200, 150));
}

// "Glatt verkleinern" is off at start and read when each row is reduced: turned on while the second row
// loads, it reduces that row smoothly and leaves the first one exact.
TEST_F(BatchRunTest, SmoothItemIsReadWhenEachRowIsReduced) {
    server.AddRoute(QStringLiteral("/stripes1"), StripesPage());
    server.AddRoute(QStringLiteral("/stripes2"), StripesPage());
    EXPECT_FALSE(form.GlattVerkleinern1->isChecked());
    Add(QStringLiteral("/stripes1"), QStringLiteral("exact"));
    Add(QStringLiteral("/stripes2"), QStringLiteral("smooth"));
    QObject::connect(form.WB1, &TBrowserHost::BeforeNavigate2, [this](const QString& url) {
        if (url.endsWith(u"/stripes2")) form.GlattVerkleinern1->setChecked(true);
    });
    Run();
    TJpegImage exact, smooth;
    exact.LoadFromFile(Out("exact"));
    smooth.LoadFromFile(Out("smooth"));
    EXPECT_GT(GreySpread(exact.ToBitmap(), 100), 64);
    EXPECT_LT(GreySpread(smooth.ToBitmap(), 100), 40);
}

// "Aufnahme-Einstellungen": a field that cannot be used keeps the dialog open and says why; the fields taken
// shape the next run (a phone's dark page as WebP with one more width), and its pictures are previewed.
TEST_F(BatchRunTest, CaptureSettingsDialogShapesTheRun) {
    server.AddRoute(
        QStringLiteral("/scheme"),
        Page("",
             "<meta name=viewport content='width=device-width'><style>body{background:#ff0000}@media "
             "(prefers-color-scheme:dark) and "
             "(max-width:500px){body{background:#0000ff}}</style>"));
    Add(QStringLiteral("/scheme"), QStringLiteral("phone"));
    TCaptureDialog dialog(&form);
    dialog.SetOptions(form.CaptureOptions());
    dialog.hide->setPlainText(QStringLiteral("div{color:red}"));
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(dialog.problem->text().contains(QStringLiteral("ist kein CSS-Selektor")))
        << qPrintable(dialog.problem->text());
    dialog.hide->clear();
    dialog.mobile->setChecked(true);
    dialog.dark->setChecked(true);
    dialog.format->setCurrentIndex(2);
    dialog.widths->setText(QStringLiteral("100"));
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted) << qPrintable(dialog.problem->text());
    TCaptureOptions options;
    ASSERT_TRUE(dialog.Read(options).isEmpty());
    form.SetCaptureOptions(options);
    EXPECT_EQ(form.WB1->Width(), kMobileWidth);
    Run();
    EXPECT_EQ(dialogs.notices.value(0), "Verarbeitung abgeschlossen\n\n1 von 1 Einträgen mit Warnung:\n" +
                                            server.Url("/scheme") + " – Bild fast einfarbig");
    auto webp = [this](const char* name) {
        QFile file(out.filePath(QString::fromLatin1(name)));
        return DecodeWebp(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    };
    const QImage picture = webp("phone.webp");
    ASSERT_EQ(picture.size(), QSize(320, 693));
    EXPECT_TRUE(NearColour(picture.pixelColor(160, 300), QColor(0, 0, 255)));
    EXPECT_EQ(webp("phone.100.webp").width(), 100);
    EXPECT_EQ(form.ImagePreview1->Bitmap().Width(), 320);
}

// A report of an earlier run in the folder: each row is compared with what it says, the changed row marked.
TEST_F(BatchRunTest, EarlierReportInTheFolderSaysWhatChanged) {
    server.AddRoute(QStringLiteral("/stripes"), StripesPage());
    server.AddRoute(QStringLiteral("/plain"), Page("", "<style>body{background:#00ff00}</style>"));
    Add(QStringLiteral("/stripes"), QStringLiteral("s"));
    Add(QStringLiteral("/plain"), QStringLiteral("g"));  // one colour: the hash 0, the colour exact
    Add(QStringLiteral("/blue"), QStringLiteral("b"));   // not in the report: new
    QFile report(out.filePath(QStringLiteral("earlier.jsonl")));
    ASSERT_TRUE(report.open(QIODevice::WriteOnly));
    for (const auto& [path, picture, hash, colour] :
         {std::tuple{"/stripes", "s", "ffffffffffffffff", "#808080"},
          {"/plain", "g", "0000000000000000", "#00ff00"}})
        report.write(
            QStringLiteral(
                R"({"row":0,"url":"%1","picture":"%2","status":"ok","phash":"%3","mean_colour":"%4"})"
                "\n")
                .arg(server.Url(path), picture, hash, colour)
                .toUtf8());
    report.close();
    Run();
    ASSERT_EQ(dialogs.notices.size(), 1);
    EXPECT_TRUE(
        dialogs.notices[0].endsWith(QStringLiteral("\n\nVerglichen mit „earlier.jsonl“: 1 geändert, 1 neu")))
        << qPrintable(dialogs.notices[0]);
    EXPECT_EQ(form.MarkOf(0), RowMark::Changed);
    EXPECT_TRUE(form.sListView1->topLevelItem(0)->toolTip(0).startsWith(
        QStringLiteral("Geändert seit dem letzten Lauf")));
    EXPECT_EQ(form.MarkOf(1), RowMark::Blank);
}

TEST_F(BatchRunTest, GalleryOpensOnTheOutputFolderAfterTheMessage) {
    TForm2 gallery;
    form.Form2 = &gallery;
    form.sCheckBox1->setChecked(true);
    Add(QStringLiteral("/red"), QStringLiteral("g"));
    bool shownAfterNotice = false;
    dialogs.onNotice = [&](const QString&) {
        // Once the message is closed the gallery opens modally; close it as the user would.
        QTimer::singleShot(300, [&] {
            shownAfterNotice = gallery.isVisible();
            gallery.close();
        });
    };
    Run();
    EXPECT_TRUE(shownAfterNotice);
    EXPECT_FALSE(gallery.isVisible());
}

}  // namespace
