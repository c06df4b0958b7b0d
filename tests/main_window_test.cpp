// The main window driven with real mouse and key input: settings, list commands, messages, counter.
#include "Unit1.h"
#include "about.h"
#include "fake_dialogs.h"
#include "gauge.h"
#include "icons.h"
#include "preview_image.h"
#include "skin.h"
#include "test_support.h"
#include "updown.h"

#include <gtest/gtest.h>
#include <QAbstractItemDelegate>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace {

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        form.show();
        QApplication::setActiveWindow(&form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }

    void Type(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Backspace);
        else
            QTest::keyClicks(edit, text);
    }

    void AddRow(const QString& url, const QString& pic) {
        Type(form.ed_url, url);
        Type(form.ed_pic, pic);
        QTest::mouseClick(form.bt_add, Qt::LeftButton);
    }

    QTreeWidgetItem* Item(int i) { return form.sListView1->topLevelItem(i); }

    void ClickRow(int i) {
        const QRect r = form.sListView1->visualItemRect(Item(i));
        QTest::mouseClick(form.sListView1->viewport(), Qt::LeftButton, {}, QPoint(60, r.center().y()));
    }

    QStringList Urls() {
        QStringList urls;
        for (const WebsiteEntry& e : form.Rows()) urls << e.url;
        return urls;
    }

    const bool skinned = (ApplySkin(*qApp), true);  // the program's font and style sheet
    TFakeDialogs dialogs;
    TForm1 form{&dialogs};
};

TEST_F(MainWindowTest, StartsAsLaidOut) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Bildoro 1.0"));
    // Qt's own dialogs speak the window's language where Qt's translations are installed.
    if (QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                          QStringLiteral("/qtbase_de.qm"))) {
        EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Save As"), QStringLiteral("Speichern unter"));
    }
    EXPECT_EQ(form.centralWidget()->size(), QSize(654, 591));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "the window has a fixed size";
    EXPECT_EQ(form.centralWidget()->palette().color(QPalette::Window), QColor(209, 209, 209));
    EXPECT_EQ(form.sGroupBox1->geometry(), QRect(8, 8, 273, 273));
    EXPECT_EQ(form.sGroupBox3->geometry(), QRect(288, 8, 361, 273));
    EXPECT_EQ(form.sGroupBox4->geometry(), QRect(8, 284, 641, 249));
    EXPECT_EQ(form.sGroupBox2->geometry(), QRect(4, 532, 645, 57));
    EXPECT_EQ(form.ImagePreview1->geometry(), QRect(20, 20, 321, 241));
    EXPECT_EQ(form.sListView1->geometry(), QRect(0, 44, 433, 197));
    EXPECT_EQ(form.sListView1->columnWidth(0), 250);
    EXPECT_EQ(form.sListView1->columnWidth(1), 160);
    EXPECT_EQ(form.sListView1->headerItem()->text(0), QStringLiteral("URL"));
    EXPECT_EQ(form.sListView1->headerItem()->text(1), QStringLiteral("Bildname"));
    EXPECT_EQ(form.sStatusPanels[0]->width() + form.sStatusPanels[1]->width(), 400);
    const QLabel* last = form.sStatusPanels[2];  // 300 as laid out, but no further than the window's edge
    EXPECT_LE(last->x() + last->width(), form.statusBar()->width());
    EXPECT_GE(last->x() + last->width(), form.statusBar()->width() - 8);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(form.StatusText(i).isEmpty());
    EXPECT_EQ(form.sGauge1->MaxValue(), 100);
    EXPECT_EQ(form.sGauge1->Progress(), 0);
    EXPECT_EQ(form.sGauge1->PercentText(), QStringLiteral("0%"));
    EXPECT_EQ(form.sComboBox1->currentText(), QStringLiteral("1024 x 768"));
    EXPECT_EQ(form.edbreit->text(), QStringLiteral("320"));
    EXPECT_EQ(form.ed_height->text(), QStringLiteral("256"));
    EXPECT_TRUE(form.ed_height->isReadOnly());
    EXPECT_EQ(form.sDirectoryEdit1->maxLength(), 255);
    EXPECT_FALSE(form.sCheckBox1->isChecked());
    EXPECT_FALSE(form.sBitBtn3->isEnabled());
    EXPECT_FALSE(form.sBitBtn2->isEnabled());
    EXPECT_TRUE(form.lb_anzahl->text().isEmpty());
    EXPECT_EQ(form.sSpeedButton5->toolTip(), QStringLiteral("Alle markierten Einträge löschen"));
    EXPECT_TRUE(form.sSpeedButton1->toolTip().isEmpty());
    EXPECT_EQ(form.WB1->Width(), 1024);
    EXPECT_EQ(form.WB1->Height(), 768);
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(MainWindowTest, ResolutionEntriesSizeTheBrowserView) {
    const std::tuple<int, int, int> cases[] = {{0, 1280, 990}, {2, 800, 600}, {1, 1024, 768}};
    for (const auto& [index, w, h] : cases) {
        form.sComboBox1->setCurrentIndex(index);
        EXPECT_EQ(form.WB1->Width(), w);
        EXPECT_EQ(form.WB1->Height(), h);
    }
    // Typed text selects no entry and changes nothing.
    form.sComboBox1->setCurrentIndex(2);
    Type(form.sComboBox1->lineEdit(), QStringLiteral("1280 x 1"));
    EXPECT_EQ(form.WB1->Width(), 800);
    EXPECT_EQ(form.WB1->Height(), 600);
    // Choosing with the keyboard in the closed drop-down applies the entry.
    form.sComboBox1->setFocus();
    form.sComboBox1->setCurrentIndex(0);
    EXPECT_EQ(form.WB1->Width(), 1280);
    EXPECT_EQ(form.WB1->Height(), 990);
}

TEST_F(MainWindowTest, HeightFollowsTypedWidth) {
    Type(form.edbreit, QStringLiteral("7"));
    EXPECT_EQ(form.ed_height->text(), QStringLiteral("6"));
    Type(form.edbreit, QStringLiteral("5000"));  // beyond the arrows' range, still accepted
    EXPECT_EQ(form.ed_height->text(), QStringLiteral("4000"));
    form.edbreit->setText(QStringLiteral("-5"));  // pasted at once ("-" alone is no integer)
    EXPECT_EQ(form.ed_height->text(), QStringLiteral("-4"));
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(MainWindowTest, WidthThatIsNoIntegerShowsErrorAndKeepsHeight) {
    Type(form.edbreit, QStringLiteral("320"));
    dialogs.errors.clear();
    Type(form.edbreit, QString());  // cleared field
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.errors[0], QStringLiteral("'' ist kein gültiger Integerwert."));
    EXPECT_EQ(form.ed_height->text(), QStringLiteral("256"));
    dialogs.errors.clear();
    QTest::keyClicks(form.edbreit, QStringLiteral("1x"));  // "1" is fine, "1x" is not
    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.errors[0], QStringLiteral("'1x' ist kein gültiger Integerwert."));
    EXPECT_EQ(form.ed_height->text(), QStringLiteral("1"));
}

TEST_F(MainWindowTest, ArrowsStepWithinRangeWithoutSeparators) {
    Type(form.edbreit, QStringLiteral("999"));
    QTest::mouseClick(form.sUpDown1->UpButton(), Qt::LeftButton);
    EXPECT_EQ(form.edbreit->text(), QStringLiteral("1000"));
    EXPECT_EQ(form.ed_height->text(), QStringLiteral("800"));
    Type(form.edbreit, QStringLiteral("1280"));
    QTest::mouseClick(form.sUpDown1->UpButton(), Qt::LeftButton);
    EXPECT_EQ(form.edbreit->text(), QStringLiteral("1280"));
    Type(form.edbreit, QStringLiteral("10"));
    QTest::mouseClick(form.sUpDown1->DownButton(), Qt::LeftButton);
    EXPECT_EQ(form.edbreit->text(), QStringLiteral("10"));
    Type(form.edbreit, QStringLiteral("5000"));
    QTest::mouseClick(form.sUpDown1->DownButton(), Qt::LeftButton);
    EXPECT_EQ(form.edbreit->text(), QStringLiteral("1280"));
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(MainWindowTest, FirstFolderChangeEnablesStartForGood) {
    EXPECT_FALSE(form.sBitBtn3->isEnabled());
    Type(form.sDirectoryEdit1, QStringLiteral("/tmp/x"));
    EXPECT_TRUE(form.sBitBtn3->isEnabled());
    Type(form.sDirectoryEdit1, QString());
    EXPECT_TRUE(form.sBitBtn3->isEnabled());
}

TEST_F(MainWindowTest, FolderButtonChoosesAndRemembersTheFolder) {
    QTemporaryDir a, b;
    dialogs.directories = {a.path()};
    form.sDirectoryEdit1Button->trigger();
    EXPECT_EQ(form.sDirectoryEdit1->text(), a.path());
    EXPECT_TRUE(form.sBitBtn3->isEnabled());
    // Starts at the field's folder when it exists, else at the last choice; cancel keeps the field.
    Type(form.sDirectoryEdit1, b.path());
    form.sDirectoryEdit1Button->trigger();
    Type(form.sDirectoryEdit1, QStringLiteral("/does/not/exist"));
    form.sDirectoryEdit1Button->trigger();
    EXPECT_EQ(dialogs.directoryStarts, QStringList({QString(), b.path(), a.path()}));
    EXPECT_EQ(form.sDirectoryEdit1->text(), QStringLiteral("/does/not/exist"));
    // A chosen folder that does not exist is not taken.
    dialogs.directories = {QStringLiteral("/does/not/exist/either")};
    form.sDirectoryEdit1Button->trigger();
    EXPECT_EQ(form.sDirectoryEdit1->text(), QStringLiteral("/does/not/exist"));
}

TEST_F(MainWindowTest, AddChecksUrlFirstThenPictureName) {
    QTest::mouseClick(form.bt_add, Qt::LeftButton);
    EXPECT_EQ(dialogs.notices, QStringList{QStringLiteral("Sie müssen eine URL eingeben")});
    EXPECT_TRUE(form.ed_url->hasFocus());
    Type(form.ed_url, QStringLiteral("http://a"));
    QTest::mouseClick(form.bt_add, Qt::LeftButton);
    EXPECT_EQ(dialogs.notices.last(), QStringLiteral("Sie müssen einen Bildnamen eingeben"));
    EXPECT_TRUE(form.ed_pic->hasFocus());
    EXPECT_EQ(form.RowCount(), 0);
    EXPECT_TRUE(form.lb_anzahl->text().isEmpty());
}

TEST_F(MainWindowTest, AddAppendsRowsInOrderAndCounts) {
    AddRow(QStringLiteral("http://a"), QStringLiteral("a"));
    AddRow(QStringLiteral("  "), QStringLiteral("b c"));  // blanks count as present
    ASSERT_EQ(form.RowCount(), 2);
    EXPECT_EQ(form.Row(0), (WebsiteEntry{QStringLiteral("http://a"), QStringLiteral("a"), false}));
    EXPECT_EQ(form.Row(1), (WebsiteEntry{QStringLiteral("  "), QStringLiteral("b c"), false}));
    EXPECT_TRUE(form.ed_url->text().isEmpty());
    EXPECT_TRUE(form.ed_pic->text().isEmpty());
    EXPECT_TRUE(form.ed_url->hasFocus());
    EXPECT_EQ(form.lb_anzahl->text(), QStringLiteral("2"));
    EXPECT_TRUE(dialogs.notices.isEmpty());
}

TEST_F(MainWindowTest, SelectionFillsChangeFieldsAndChangeWritesRow) {
    AddRow(QStringLiteral("http://a"), QStringLiteral("a"));
    const QString longUrl = QStringLiteral("http://b.example/") + QString(200, u'x');
    AddRow(longUrl, QStringLiteral("b"));
    ClickRow(0);
    ClickRow(1);
    EXPECT_EQ(form.ed_change_url->text(), longUrl);
    EXPECT_EQ(form.ed_change_url->cursorPosition(), 0) << "a long address shows its start";
    EXPECT_EQ(form.ed_change_pic->text(), QStringLiteral("b"));
    EXPECT_TRUE(form.sBitBtn2->isEnabled());
    Type(form.ed_change_url, QString());
    Type(form.ed_change_pic, QString());
    QTest::mouseClick(form.sBitBtn2, Qt::LeftButton);
    EXPECT_EQ(form.Row(1), (WebsiteEntry{QString(), QString(), false}));
    EXPECT_EQ(dialogs.notices, QStringList{QStringLiteral("Eintrag geändert")});
    EXPECT_TRUE(form.sListView1->selectedItems().isEmpty());
    EXPECT_TRUE(form.ed_change_url->text().isEmpty());
    EXPECT_TRUE(form.ed_change_pic->text().isEmpty());
    EXPECT_FALSE(form.sBitBtn2->isEnabled());
    EXPECT_EQ(form.Row(0).url, QStringLiteral("http://a"));
}

TEST_F(MainWindowTest, ClickIntoEmptyListKeepsRowUnderEdit) {
    AddRow(QStringLiteral("http://a"), QStringLiteral("a"));
    ClickRow(0);
    QTest::mouseClick(form.sListView1->viewport(), Qt::LeftButton, {}, QPoint(100, 150));
    EXPECT_EQ(form.ed_change_url->text(), QStringLiteral("http://a"));
    EXPECT_TRUE(form.sBitBtn2->isEnabled());
    Type(form.ed_change_pic, QStringLiteral("neu"));
    QTest::mouseClick(form.sBitBtn2, Qt::LeftButton);
    EXPECT_EQ(form.Row(0).picture, QStringLiteral("neu"));
    EXPECT_EQ(dialogs.notices.last(), QStringLiteral("Eintrag geändert"));
}

TEST_F(MainWindowTest, DeleteCheckedRemovesThemAndReports) {
    for (const char* n : {"1", "2", "3", "4"}) AddRow(QStringLiteral("http://") + n, QString::fromLatin1(n));
    form.SetRowChecked(0, true);
    form.SetRowChecked(2, true);
    dialogs.answers = {true};
    QTest::mouseClick(form.sSpeedButton5, Qt::LeftButton);
    EXPECT_EQ(dialogs.questions,
              QStringList{QStringLiteral("Möchten Sie wirklich alle markierten Einträge löschen ?")});
    EXPECT_EQ(dialogs.notices, QStringList{QStringLiteral("Alle markierten Einträge gelöscht")});
    EXPECT_EQ(Urls(), QStringList({QStringLiteral("http://2"), QStringLiteral("http://4")}));
    EXPECT_EQ(form.lb_anzahl->text(), QStringLiteral("2"));
}

TEST_F(MainWindowTest, DeleteAskedEvenWithNothingCheckedAndNoKeepsAll) {
    AddRow(QStringLiteral("http://a"), QStringLiteral("a"));
    form.SetRowChecked(0, true);
    QTest::mouseClick(form.sSpeedButton5, Qt::LeftButton);  // no answer: No
    EXPECT_EQ(form.RowCount(), 1);
    EXPECT_TRUE(dialogs.notices.isEmpty());
    form.SetRowChecked(0, false);
    dialogs.answers = {true};
    QTest::mouseClick(form.sSpeedButton5, Qt::LeftButton);
    EXPECT_EQ(form.RowCount(), 1);
    EXPECT_EQ(dialogs.questions.size(), 2);
    EXPECT_EQ(dialogs.notices, QStringList{QStringLiteral("Alle markierten Einträge gelöscht")});
}

TEST_F(MainWindowTest, DeletingTheRowUnderEditDisablesChange) {
    AddRow(QStringLiteral("http://a"), QStringLiteral("a"));
    AddRow(QStringLiteral("http://b"), QStringLiteral("b"));
    ClickRow(1);
    form.SetRowChecked(1, true);
    dialogs.answers = {true};
    QTest::mouseClick(form.sSpeedButton5, Qt::LeftButton);
    EXPECT_EQ(form.RowCount(), 1);
    EXPECT_EQ(form.RowUnderEdit(), nullptr);
    EXPECT_FALSE(form.sBitBtn2->isEnabled());
    EXPECT_TRUE(form.ed_change_url->text().isEmpty());
    form.sBitBtn2Click();  // even when called directly, nothing is written to another row
    EXPECT_EQ(form.Row(0).url, QStringLiteral("http://a"));
}

TEST_F(MainWindowTest, RemovingAllRowsLeavesNothingUnderEditAndCountsZero) {
    AddRow(QStringLiteral("http://a"), QStringLiteral("a"));
    AddRow(QStringLiteral("http://b"), QStringLiteral("b"));
    ClickRow(1);
    form.RemoveAllRows();
    EXPECT_EQ(form.RowCount(), 0);
    EXPECT_EQ(form.RowUnderEdit(), nullptr);
    EXPECT_FALSE(form.sBitBtn2->isEnabled());
    EXPECT_EQ(form.lb_anzahl->text(), QStringLiteral("0"));
    AddRow(QStringLiteral("http://c"), QStringLiteral("c"));
    EXPECT_TRUE(form.sListView1->selectedItems().isEmpty());
    EXPECT_EQ(form.lb_anzahl->text(), QStringLiteral("1"));
}

TEST_F(MainWindowTest, CheckAndUncheckAll) {
    QTest::mouseClick(form.sSpeedButton3, Qt::LeftButton);  // empty list: nothing, no message
    EXPECT_TRUE(dialogs.notices.isEmpty());
    EXPECT_TRUE(form.lb_anzahl->text().isEmpty());
    AddRow(QStringLiteral("http://a"), QStringLiteral("a"));
    AddRow(QStringLiteral("http://b"), QStringLiteral("b"));
    QTest::mouseClick(form.sSpeedButton3, Qt::LeftButton);
    for (const WebsiteEntry& e : form.Rows()) EXPECT_TRUE(e.checked);
    QTest::mouseClick(form.sSpeedButton4, Qt::LeftButton);
    for (const WebsiteEntry& e : form.Rows()) EXPECT_FALSE(e.checked);
    EXPECT_TRUE(dialogs.notices.isEmpty());
}

TEST_F(MainWindowTest, UrlEditsInPlaceButPictureNameDoesNot) {
    AddRow(QStringLiteral("http://a"), QStringLiteral("a"));
    ClickRow(0);
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    ClickRow(0);  // a second click on the selected row's URL opens the editor
    QLineEdit* editor = nullptr;
    for (int i = 0; i < 50 && !editor; ++i) {
        QTest::qWait(20);
        editor = form.sListView1->viewport()->findChild<QLineEdit*>();
    }
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("http://x"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the list commits the edit through a queued call
    EXPECT_EQ(form.Row(0).url, QStringLiteral("http://x"));
    EXPECT_EQ(form.Row(0).picture, QStringLiteral("a"));
    EXPECT_EQ(form.lb_anzahl->text(), QStringLiteral("1"));
    QTest::mouseClick(form.sBitBtn2, Qt::LeftButton);  // writes back the edited URL, not the old one
    EXPECT_EQ(form.Row(0).url, QStringLiteral("http://x"));
    // The picture name column offers no editor.
    EXPECT_EQ(form.sListView1->itemDelegate()->createEditor(
                  form.sListView1->viewport(), QStyleOptionViewItem(), form.sListView1->model()->index(0, 1)),
              nullptr);
}

TEST_F(MainWindowTest, GaugeClampsAndShowsPercent) {
    TGauge& g = *form.sGauge1;
    g.SetMaxValue(4);
    g.SetProgress(3);
    EXPECT_EQ(g.PercentText(), QStringLiteral("75%"));
    g.SetProgress(9);
    EXPECT_EQ(g.Progress(), 4);
    g.SetMaxValue(2);  // lowers the progress with it
    EXPECT_EQ(g.Progress(), 2);
    g.SetProgress(-3);
    EXPECT_EQ(g.Progress(), 0);
    g.SetMaxValue(0);
    EXPECT_EQ(g.PercentText(), QStringLiteral("0%"));
}

TEST_F(MainWindowTest, ErrorsOfCommandsReachTheErrorBox) {
    form.Guarded([] { throw std::runtime_error("Datei x kann nicht geöffnet werden"); });
    EXPECT_EQ(dialogs.errors, QStringList{QStringLiteral("Datei x kann nicht geöffnet werden.")});
}

TEST_F(MainWindowTest, StatusPanelsAndLabelsFitTheFont) {
    const QLabel* panel = form.sStatusPanels[1];
    EXPECT_GE(form.sStatusPanels[0]->width(),
              panel->fontMetrics().horizontalAdvance(QStringLiteral("Bearbeite 9999 von 9999")));
    const QString url = QStringLiteral("http://example.org/") + QString(300, u'a') + QStringLiteral("/end");
    form.SetStatusText(1, url);
    EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->text()), panel->contentsRect().width());
    EXPECT_EQ(panel->toolTip(), url);
    EXPECT_LT(form.cb_filter->geometry().right(), form.sLabel5->x());
    for (QWidget* field : QList<QWidget*>{form.edbreit, form.ed_height, form.ed_pic, form.ed_change_pic,
                                          form.lb_anzahl})  // no label touches
        EXPECT_EQ(field->parentWidget()->childAt(field->x() - 2, field->y() + 10), nullptr);
}

// Enter is the box's button; Tab walks the layout and every stop shows the focus; menus and commands by key.
TEST_F(MainWindowTest, KeyboardReachesEveryCommandAndShowsTheFocus) {
    Type(form.ed_url, QStringLiteral("http://b"));
    Type(form.ed_pic, QStringLiteral("b"));
    QTest::keyClick(form.ed_url, Qt::Key_Return);
    ClickRow(0);
    Type(form.ed_change_pic, QStringLiteral("c"));
    QTest::keyClick(form.ed_change_url, Qt::Key_Return);
    EXPECT_EQ(form.Rows(), std::vector<WebsiteEntry>({{"http://b", "c"}}));
    ClickRow(0);
    Type(form.sDirectoryEdit1, QStringLiteral("/tmp"));  // enables the start button
    for (const QString& name :
         QStringLiteral("sDirectoryEdit1FolderButton sComboBox1 edbreit sCheckBox1 sBitBtn3 "
                        "sListView1 sSpeedButton1 sSpeedButton2 sSpeedButton3 sSpeedButton4 "
                        "sSpeedButton5 ed_url ed_pic bt_add ed_change_url ed_change_pic "
                        "sBitBtn2 sDirectoryEdit1")
             .split(u' ')) {
        QWidget* next = form.findChild<QWidget*>(name);
        const QImage before = next->grab().toImage();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_TRUE(next->hasFocus()) << qPrintable(name);
        EXPECT_NE(next->grab().toImage(), before) << qPrintable(name) << " shows no focus";
    }
    // Enter on the start button and Ctrl+R from anywhere start the run: a missing folder is said before it.
    form.sDirectoryEdit1->setText(QStringLiteral("/nonexistent-bildoro-folder"));
    form.sBitBtn3->setFocus();
    QTest::keyClick(form.sBitBtn3, Qt::Key_Return);
    QTest::keyClick(form.ed_url, Qt::Key_R, Qt::ControlModifier);
    ASSERT_EQ(dialogs.notices.size(), 3);
    EXPECT_TRUE(dialogs.notices[1].contains(QStringLiteral("/nonexistent-bildoro-folder")))
        << qPrintable(dialogs.notices[1]);
    EXPECT_EQ(dialogs.notices[2], dialogs.notices[1]);
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dialogs.fileFilters,
              QStringList({QStringLiteral("CSV-Dateien|*.csv"), QStringLiteral("CSV-Datei|*.csv")}));
    int closedByKey = 0;  // F1 shows the About box; Enter (its button) and Esc close it
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        QTimer::singleShot(0, [&, key] {
            QTest::keyClick(form.AboutForm, key);
            closedByKey += !form.AboutForm->isVisible();
            form.AboutForm->reject();  // a box left open must not hold the test
        });
        QTest::keyClick(&form, Qt::Key_F1);
        QApplication::setActiveWindow(&form);
    }
    EXPECT_EQ(closedByKey, 2);
    for (const char key : {'D', 'I', 'H'}) {
        QTest::keyClick(&form, Qt::Key(key), Qt::AltModifier);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu && menu->title().startsWith(u'&' + QChar(key))) << key;
        menu->close();
    }
    QTest::keyClick(&form, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(form.isVisible());
}

// Dropped list files are imported, web addresses offered for "Hinzufügen"; the output folder opens.
TEST_F(MainWindowTest, DropsAndTheOutputFolder) {
    QTemporaryDir dir;
    QFile list(dir.filePath(QStringLiteral("list.csv")));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly) && list.write("http://b.de;b\r\n") && list.flush());
    AddRow(QStringLiteral("http://a"), QStringLiteral("a"));
    auto drop = [&](const QUrl& url) {
        QMimeData mime;
        mime.setUrls({url});
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QDropEvent dropped(QPointF(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(&form, &enter);
        return enter.isAccepted() && QApplication::sendEvent(&form, &dropped);
    };
    EXPECT_FALSE(drop(QUrl::fromLocalFile(dir.path())));
    EXPECT_TRUE(drop(QUrl::fromLocalFile(list.fileName())));  // "No" to the question: rows added
    EXPECT_EQ(Urls(), QStringList({QStringLiteral("http://a"), QStringLiteral("http://b.de")}));
    EXPECT_TRUE(drop(QUrl(QStringLiteral("https://www.Example.org/a?b=1"))));
    EXPECT_EQ(form.ed_url->text(), QStringLiteral("https://www.example.org/a?b=1"));
    EXPECT_EQ(form.ed_pic->text(), QStringLiteral("example.org"));
    form.Ordner1->trigger();  // no folder yet
    form.sDirectoryEdit1->setText(dir.path());
    form.Ordner1->trigger();
    EXPECT_EQ(dialogs.notices, QStringList({QStringLiteral("Einlesen beendet"),
                                            QStringLiteral("Kein Ausgabeordner gewählt")}));
    EXPECT_EQ(dialogs.opened, QStringList{dir.path()});
}

// Each row's mark and tooltip say what it got (the completion message lists the warnings), the filter shows
// one kind of row, and checking and deleting touch only the rows shown.
TEST_F(MainWindowTest, RowMarksAndTheFilter) {
    const QString late = "Nicht rechtzeitig vollständig geladen, aufgenommen so weit geladen",
                  blank = "Fertig, aber das Bild ist fast einfarbig",
                  http = "Aufgenommen, aber die Seite antwortete mit ";
    const struct Case {
        bool ok;
        int status;
        bool timedOut, blank;
        RowMark mark;
        QString tip, warning;  // the tooltip's first lines; the row's words in the completion message
    } cases[] = {
        {true, 200, false, false, RowMark::Done, "Fertig", ""},
        {false, 500, false, false, RowMark::Failed, "Fehlgeschlagen (Laden): weg", ""},
        {true, 404, false, false, RowMark::HttpError, http + "HTTP 404", "HTTP 404"},
        {true, 503, false, true, RowMark::HttpError, http + "HTTP 503\n" + blank,
         "HTTP 503, Bild fast einfarbig"},
        {true, 0, true, false, RowMark::TimedOut, late, "nicht rechtzeitig vollständig geladen"},
        {true, 399, false, true, RowMark::Blank, blank, "Bild fast einfarbig"},
        {true, 0, false, false, RowMark::None, "", ""},  // not reached: no result shown
    };
    EXPECT_FALSE(form.cb_filter->isEnabled() || form.Fehlgeschlagene1->isEnabled());
    const int n = int(std::size(cases));
    for (int i = 0; i < n; ++i) form.AppendRow(QStringLiteral("http://%1").arg(i), QString());
    for (int i = 0; i < n; ++i) {
        const Case& c = cases[i];
        RowResult r;
        if (!c.ok) r.Fail(RowStage::Load, QStringLiteral("weg"));
        std::tie(r.httpStatus, r.timedOut, r.blank) = std::tuple(c.status, c.timedOut, c.blank);
        if (c.mark != RowMark::None) form.ShowRowResult(i, r, QStringLiteral("/o.jpg"));
        EXPECT_EQ(form.MarkOf(i), c.mark) << i;
        EXPECT_EQ(Item(i)->toolTip(0), c.tip.isEmpty() ? QString() : c.tip + "\nBild: /o.jpg") << i;
        EXPECT_EQ(RowWarnings(r).join(QStringLiteral(", ")), c.warning) << i;
    }
    EXPECT_EQ(Item(2)->icon(0).cacheKey(), RowHttpErrorIcon().cacheKey());
    ASSERT_TRUE(form.cb_filter->isEnabled() && form.Fehlgeschlagene1->isEnabled());
    for (const RowFilter filter : {RowFilter::Warnings, RowFilter::Failed}) {
        form.cb_filter->setCurrentIndex(int(filter));
        for (int i = 0; i < n; ++i) EXPECT_EQ(!Item(i)->isHidden(), FilterShows(filter, cases[i].mark)) << i;
    }
    EXPECT_TRUE(FilterShows(RowFilter::Warnings, RowMark::Blank) &&
                !FilterShows(RowFilter::Failed, RowMark::None));
    EXPECT_TRUE(FilterShows(RowFilter::Changed, RowMark::Changed) &&
                !FilterShows(RowFilter::Changed, RowMark::Done) &&
                !FilterShows(RowFilter::Changed, RowMark::Failed))
        << "\"Geändert\" shows the changed rows only";
    form.SetRowChecked(0, true);  // hidden, checked before: kept by the deletion of the rows shown
    QTest::mouseClick(form.sSpeedButton3, Qt::LeftButton);
    EXPECT_FALSE(form.Row(2).checked) << "a hidden row is not checked";
    dialogs.answers = {true};
    QTest::mouseClick(form.sSpeedButton5, Qt::LeftButton);
    EXPECT_EQ(Urls(), QStringList({"http://0", "http://2", "http://3", "http://4", "http://5", "http://6"}));
    EXPECT_EQ(form.cb_filter->currentIndex(), 0) << "the list changed: its results and the filter are gone";
    EXPECT_FALSE(form.cb_filter->isEnabled() || form.Fehlgeschlagene1->isEnabled() || Item(5)->isHidden());
    EXPECT_EQ(CompletionMessage(6, {}, 3, {{"http://2", "HTTP 404"}}),
              "Verarbeitung abgebrochen\n\n3 von 6 Einträgen bearbeitet\n\n1 davon mit Warnung:\nhttp://2 – "
              "HTTP 404");
}

// The desktop's opener that fails says so in a message, after it has ended; one that opens says nothing.
TEST(DesktopOpener, FailureIsSaidInAMessage) {
    struct Recording : TQtDialogs {
        using TQtDialogs::TQtDialogs;
        void ShowNotice(const QString& text) override { notices << text; }
        QStringList notices;
    };
    QTemporaryDir bin;
    const QByteArray path = qgetenv("PATH");
    const QString cannot = "\"/x\" kann nicht geöffnet werden: ";
    for (const auto& [script, said] :
         {std::pair<QByteArray, QString>{"exit 0", ""},
          {"exit 3", cannot + "Der Desktop hat kein Programm dafür"},
          {"exit 4", cannot + "Das Programm dafür meldete einen Fehler (Status 4)"},
          {"", cannot + "Der Desktop hat kein Programm dafür"}}) {
        QFile::remove(bin.filePath(QStringLiteral("xdg-open")));  // none on the PATH for the last case
        if (!script.isEmpty()) WriteShellScript(bin.filePath(QStringLiteral("xdg-open")), script);
        QWidget window;  // ends an opener still running with the case
        Recording dialogs(&window);
        qputenv("PATH", bin.path().toLocal8Bit());
        dialogs.OpenWithDesktop(QStringLiteral("/x"));
        qputenv("PATH", path);
        // An opener that succeeds says nothing: its wait runs to the end.
        (void)QTest::qWaitFor([&] { return !dialogs.notices.isEmpty(); }, said.isEmpty() ? 500 : 10000);
        EXPECT_EQ(dialogs.notices, said.isEmpty() ? QStringList() : QStringList{said}) << script.data();
    }
}

TEST_F(MainWindowTest, BeendenClosesTheWindow) {
    form.Beenden1->trigger();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(dialogs.questions.isEmpty());
}

}  // namespace
