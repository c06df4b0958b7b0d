// The main window Form1: settings, preview, website list, progress and status bar.
#pragma once

#include "browser_host.h"
#include "row_pipeline.h"
#include "run_comparison.h"
#include "website_entry.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
class TAboutForm;
class TForm2;
class TPreviewImage;
class TDialogs;
class TGauge;
class TRunEngine;
class TUpDown;

// A row of a batch run that failed, or that was captured with a warning, for the completion message.
struct FailedRow {
    QString url;
    QString reason;
};

// "Verarbeitung abgeschlossen", followed, when rows failed, by how many and the first few with reasons, and
// then, under a heading of their own, the rows captured with a warning. A run stopped after `doneBeforeStop`
// of its rows says "Verarbeitung abgebrochen" and how many rows were done.
QString CompletionMessage(int rows, const std::vector<FailedRow>& failures,
                          std::optional<int> doneBeforeStop = std::nullopt,
                          const std::vector<FailedRow>& warnings = {}, const QString& comparison = {});

// What a row got in the last run, as its mark in the list shows it: the most serious of what it got.
// Changed: the page's picture differs from the one an earlier run's report in the folder has of it.
enum class RowMark { None, Done, Failed, HttpError, TimedOut, Blank, Changed };
RowMark RowMarkOf(const RowResult& result, bool changed = false);
// What is amiss with a row that was captured, in the completion message's words: the page's HTTP error status
// ("HTTP 404"), a page not complete in time, a picture of one colour. Empty for a row that is fine or failed.
QStringList RowWarnings(const RowResult& result);

// The rows the list shows under the filter above it: all, the failed ones, or those captured with a warning.
enum class RowFilter { All, Failed, Warnings, Changed };
bool FilterShows(RowFilter filter, RowMark mark);

class TForm1 : public QMainWindow {
    Q_OBJECT
  public:
    // The dialogs are borrowed; nullptr uses the real ones.
    explicit TForm1(TDialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~TForm1() override;

    // --- Controls, named as in the window's layout ---------------------------------------------------
    QGroupBox* sGroupBox1;  // "Einstellungen"
    QLabel* sLabel1;
    QLineEdit* sDirectoryEdit1;
    QAction* sDirectoryEdit1Button;
    QToolButton* sDirectoryEdit1FolderButton;  // shows sDirectoryEdit1Button at the field's right end
    QLabel* sLabel2;
    QComboBox* sComboBox1;
    QLabel* sLabel3;
    QLabel* sLabel4;
    QLineEdit* edbreit;
    TUpDown* sUpDown1;
    QLabel* sLabel6;
    QLineEdit* ed_height;
    QCheckBox* sCheckBox1;
    QPushButton* sBitBtn3;  // "Verarbeitung starten"
    QWidget* sPanel1;
    TBrowserHost* WB1;
    QGroupBox* sGroupBox3;  // "Vorschau"
    TPreviewImage* ImagePreview1;
    QGroupBox* sGroupBox4;  // "Website - Liste"
    QToolButton* sSpeedButton1;
    QToolButton* sSpeedButton2;
    QToolButton* sSpeedButton3;
    QToolButton* sSpeedButton4;
    QToolButton* sSpeedButton5;
    QLabel* sLabel5;
    QLabel* lb_anzahl;
    QComboBox* cb_filter;  // shows all rows, or only those the last run failed or warned about
    QTreeWidget* sListView1;
    QGroupBox* sGroupBox5;  // "Hinzufügen"
    QLineEdit* ed_url;
    QLineEdit* ed_pic;
    QPushButton* bt_add;
    QGroupBox* sGroupBox6;  // "Ändern"
    QLineEdit* ed_change_url;
    QLineEdit* ed_change_pic;
    QPushButton* sBitBtn2;  // "Eintrag ändern"
    QGroupBox* sGroupBox2;  // "Fortschritt"
    TGauge* sGauge1;
    QLabel* sStatusPanels[3];   // show their texts elided in the middle when too long, in full as tooltip
    QStringList Memo1;          // hidden line buffer of the list-file commands
    QAction* Ordner1;           // "Ausgabeordner öffnen"
    QAction* Abbrechen1;        // "Verarbeitung abbrechen"
    QAction* Starten1;          // "Verarbeitung starten" (Ctrl+R): the start button from anywhere
    QAction* Fehlgeschlagene1;  // "Fehlgeschlagene erneut verarbeiten"
    QAction* Beenden1;
    QAction* Exportieren1;
    QAction* Import1;
    QAction* About1;
    QAction* GlattVerkleinern1;  // "Datei" -> "Glatt verkleinern": smooth thumbnails, off at start
    QAction* Aufnahme1;          // "Datei" -> "Aufnahme-Einstellungen …": the capture controls
    TAboutForm* AboutForm;
    TForm2* Form2 = nullptr;  // the gallery window, created by the program entry

    // --- Handlers -------------------------------------------------------------------------------------
    void bt_addClick();
    void sBitBtn2Click();
    void sSpeedButton3Click();
    void sSpeedButton4Click();
    void sSpeedButton5Click();
    void sListView1SelectItem(QTreeWidgetItem* item, bool selected);
    void sListView1Change();
    void sListView1Deletion(QTreeWidgetItem* item);
    void sComboBox1Change();
    void edbreitChange();
    void sDirectoryEdit1Change();
    void sDirectoryEdit1ButtonClick();
    void About1Click();
    void Beenden1Click();
    void Abbrechen1Click();                    // stops the run under way
    void Ordner1Click();                       // opens the output folder in the desktop's file manager
    void sSpeedButton2Click();                 // export
    void Import1Click();                       // import
    void ImportListFile(const QString& path);  // the import of a chosen or dropped list file
    void sBitBtn3Click();                      // batch run
    // Runs again the rows of the last run that did not come out whole: failed, not complete in time, or not
    // reached by a run that was stopped. The other rows keep their marks.
    void Fehlgeschlagene1Click();
    void cb_filterChange();
    void WB1BeforeNavigate2(const QString& url);
    void WB1DocumentComplete(const QString& url);

    // --- The website list as the other commands see it ------------------------------------------------
    int RowCount() const;
    WebsiteEntry Row(int index) const;
    std::vector<WebsiteEntry> Rows() const;
    void AppendRow(const QString& url, const QString& picture);
    void RemoveAllRows();
    void SetRowChecked(int index, bool checked);
    QTreeWidgetItem* RowUnderEdit() const { return m_rowUnderEdit; }
    // The result of a run's row in its URL cell: a state icon, and the reason and picture path as tooltip.
    // `compared`: what the earlier run's report in the folder says of the row, when there is one.
    void ShowRowResult(int index, const RowResult& result, const QString& picturePath,
                       const TEarlierRun::Verdict* compared = nullptr);
    // Takes every row's result away (a new run starts, or the list was edited); the filter shows all rows
    // again.
    void ClearRowResults();
    RowMark MarkOf(int index) const;

    // --- Status bar and application title ------------------------------------------------------------
    void SetStatusText(int panel, const QString& text);
    QString StatusText(int panel) const;

    TDialogs& Dialogs() { return *m_dialogs; }

    // The batch run: whether one is going, and the bound of its wait for each page.
    bool IsRunning() const { return m_running; }
    void SetPageTimeoutMs(int ms) { m_pageTimeoutMs = ms; }
    // The capture controls of the next runs ("Aufnahme-Einstellungen"); the program's own picture at start.
    const TCaptureOptions& CaptureOptions() const { return *m_capture; }
    void SetCaptureOptions(const TCaptureOptions& options);
    // Opens the dialog of the capture controls; OK takes them.
    void Aufnahme1Click();

    // Runs a command handler; an escaping error is shown in the error box and never crosses the event loop.
    void Guarded(const std::function<void()>& command);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    static constexpr int kRowMarkRole = Qt::UserRole + 1;  // the RowMark of a row's URL cell
    void BuildSettings();
    void BuildPreview();
    void BuildWebsiteList();
    void BuildProgressAndStatus();
    void BuildMenu();
    void BuildKeyboard();
    void DeleteRow(QTreeWidgetItem* item);
    void SetRunning(bool running);
    void SetStartEnabled(bool enabled);
    void RunRows(const std::vector<int>& rows);
    void ShowRowMark(int index, RowMark mark, const QString& toolTip);
    // The filter and "Fehlgeschlagene erneut verarbeiten" while a run's marks are shown (the latter not
    // during a run).
    void EnableResultCommands();
    void ApplyFilter(QTreeWidgetItem* item);
    std::vector<QTreeWidgetItem*> ShownRows() const;
    void AddResultCommands(QMenu* datei);
    void sListView1Edited(QTreeWidgetItem* item, int column);
    void ShowGallery(const QString& folder);

    std::unique_ptr<TDialogs> m_ownDialogs;
    TDialogs* m_dialogs;
    QTreeWidgetItem* m_rowUnderEdit = nullptr;
    QString m_rowUnderEditUrl;    // the URL the "Ändern" field was last given from that row
    bool m_deletingRows = false;  // selection changes while rows are deleted are no selections
    QString m_chooserStart;       // folder chosen last with the folder button
    bool m_centred = false;
    QString m_statusTexts[3];
    bool m_running = false;
    bool m_abortRun = false;       // the window is closing: the run ends without message
    bool m_stopRequested = false;  // "Verarbeitung abbrechen" was chosen
    bool m_rowResultsShown = false;
    TRunEngine* m_engine = nullptr;  // the run under way, if any
    int m_pageTimeoutMs = kDefaultPageTimeoutMs;
    std::shared_ptr<const TCaptureOptions> m_capture = std::make_shared<const TCaptureOptions>();
    std::shared_ptr<TBrowser> m_browser;  // WB1's
};
