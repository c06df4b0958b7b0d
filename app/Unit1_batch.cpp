// The batch run of the main window: every row of the list becomes a thumbnail.
#include "Unit1.h"

#include "Unit2.h"
#include "dialogs.h"
#include "gauge.h"
#include "icons.h"
#include "picture_names.h"
#include "preview_image.h"
#include "row_pipeline.h"
#include "run_engine.h"
#include "texts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <exception>
#include <map>
#include <numeric>

namespace {

// Keeps the hourglass up for exactly the length of the run, also when an error passes through.
class HourglassCursor {
  public:
    HourglassCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~HourglassCursor() { QApplication::restoreOverrideCursor(); }
};

constexpr int kListedFailures = 5;

}  // namespace

namespace {

// The first few rows of a list for the completion message, each with its reason, and how many more there are.
QString ListedRows(const std::vector<FailedRow>& rows) {
    QString text;
    for (size_t i = 0; i < rows.size() && i < size_t(kListedFailures); ++i)
        text += QStringLiteral("\n%1 – %2").arg(rows[i].url, rows[i].reason);
    if (rows.size() > size_t(kListedFailures))
        text += QStringLiteral("\n… und %1 weitere").arg(rows.size() - kListedFailures);
    return text;
}

}  // namespace

QString CompletionMessage(int rows, const std::vector<FailedRow>& failures, std::optional<int> doneBeforeStop,
                          const std::vector<FailedRow>& warnings, const QString& comparison) {
    QString text;
    if (doneBeforeStop) {
        text = QStringLiteral("Verarbeitung abgebrochen\n\n%1 von %2 Einträgen bearbeitet")
                   .arg(*doneBeforeStop)
                   .arg(rows);
        if (!failures.empty())
            text += QStringLiteral(", %1 davon fehlgeschlagen:").arg(failures.size()) + ListedRows(failures);
        if (!warnings.empty())
            text += QStringLiteral("\n\n%1 davon mit Warnung:").arg(warnings.size()) + ListedRows(warnings);
        if (!comparison.isEmpty()) text += QStringLiteral("\n\n") + comparison;
        return text;
    }
    text = QStringLiteral("Verarbeitung abgeschlossen");
    if (!failures.empty())
        text += QStringLiteral("\n\n%1 von %2 Einträgen fehlgeschlagen:").arg(failures.size()).arg(rows) +
                ListedRows(failures);
    if (!warnings.empty())
        text += QStringLiteral("\n\n%1 von %2 Einträgen mit Warnung:").arg(warnings.size()).arg(rows) +
                ListedRows(warnings);
    if (!comparison.isEmpty()) text += QStringLiteral("\n\n") + comparison;
    return text;
}

namespace {

bool HttpError(const RowResult& r) {
    return r.httpStatus >= 400;
}

}  // namespace

RowMark RowMarkOf(const RowResult& r, bool changed) {
    if (!r.ok) return RowMark::Failed;
    if (HttpError(r)) return RowMark::HttpError;
    if (r.timedOut) return RowMark::TimedOut;
    if (r.blank) return RowMark::Blank;
    return changed ? RowMark::Changed : RowMark::Done;
}

QStringList RowWarnings(const RowResult& r) {
    QStringList warnings;
    if (!r.ok) return warnings;
    if (HttpError(r)) warnings << QStringLiteral("HTTP %1").arg(r.httpStatus);
    if (r.timedOut) warnings << QStringLiteral("nicht rechtzeitig vollständig geladen");
    if (r.blank) warnings << QStringLiteral("Bild fast einfarbig");
    return warnings;
}

bool FilterShows(RowFilter filter, RowMark mark) {
    switch (filter) {
        case RowFilter::Failed:
            return mark == RowMark::Failed;
        case RowFilter::Warnings:
            return mark == RowMark::HttpError || mark == RowMark::TimedOut || mark == RowMark::Blank;
        case RowFilter::Changed:
            return mark == RowMark::Changed;
        case RowFilter::All:
            break;
    }
    return true;
}

void TForm1::SetRunning(bool running) {
    m_running = running;
    // Settings stay live during a run; starting again and editing the list wait for its end.
    SetStartEnabled(!running);
    EnableResultCommands();
    sGroupBox5->setEnabled(!running);
    sGroupBox6->setEnabled(!running);
    for (QToolButton* b : {sSpeedButton1, sSpeedButton3, sSpeedButton4, sSpeedButton5})
        b->setEnabled(!running);
    Import1->setEnabled(!running);
    // The capture controls set the page up: they change between runs, not under a row.
    Aufnahme1->setEnabled(!running);
    Abbrechen1->setEnabled(running);
    // Nothing dropped on the window lands in the list while a run reads it.
    setAcceptDrops(!running);
    sListView1->setEditTriggers(running
                                    ? QAbstractItemView::NoEditTriggers
                                    : QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
}

void TForm1::SetStartEnabled(bool enabled) {
    sBitBtn3->setEnabled(enabled);
    Starten1->setEnabled(enabled);
}

namespace {

// The window's side of a run over some rows of the list (all of them, or those run again): status texts
// before each row, the settings of its fields at the moment of use, the preview and the gauge after each row,
// and the failures and warnings for the completion message. The engine counts the rows of the run; the list
// holds them at the positions in `rows`.
class WindowRun : public TRunClient {
  public:
    WindowRun(TForm1& form, const bool& abort, std::vector<int> rows, TEarlierRun* earlier)
        : m_form(form), m_abort(abort), m_rows(std::move(rows)), m_earlier(earlier) {
        m_names.SetVariants(form.CaptureOptions().Variants());
    }

    // With an earlier run's report in the folder: how many rows of this run changed, and how many it did
    // not know.
    int Changed() const { return m_changed; }
    int New() const { return m_new; }

    int RowsDone() const { return m_done; }
    const std::vector<FailedRow>& Failures() const { return m_failures; }
    const std::vector<FailedRow>& Warnings() const { return m_warnings; }

    QString BeginRow(int k) override {
        const QString url = m_form.Row(m_rows.at(k)).url;
        m_form.SetStatusText(1, QStringLiteral("Scanne Seite: ") + url);
        m_form.SetStatusText(0, QStringLiteral("Bearbeite %1 von %2").arg(k).arg(m_rows.size() - 1));
        return url;
    }

    RowSettings SettingsOf(int k) override {
        TForm1& f = m_form;
        // A row without a picture name writes one made from its address; a row whose picture an earlier
        // row of the run writes fails.
        const int i = m_rows.at(k);
        const WebsiteEntry row = f.Row(i);
        const TPictureNames::Claim claim = m_names.Take(i, row.url, row.picture);
        m_pictures[i] = claim.picture;
        return {[&f] { return f.sDirectoryEdit1->text(); },
                [picture = claim.picture] { return picture; },
                [&f] { return f.edbreit->text(); },
                [&f] {
                    return f.GlattVerkleinern1->isChecked() ? ThumbnailFilter::Smooth
                                                            : ThumbnailFilter::Exact;
                },
                claim.sameAs >= 0 ? TPictureNames::SamePictureText(claim.sameAs) : QString(),
                std::make_shared<const TCaptureOptions>(f.CaptureOptions())};
    }

    void EndRow(int k, const QString& url, const RowResult& r) override {
        const int i = m_rows.at(k);
        RowResult result = r;
        result.reason = ExplainedNetworkError(result.reason);  // the browser's code, said in words first
        ++m_done;
        const auto named = m_pictures.find(i);
        const QString picture = named != m_pictures.end() ? named->second : m_form.Row(i).picture;
        const QString path = OutputPicturePath(m_form.sDirectoryEdit1->text(), picture,
                                               PictureExtension(m_form.CaptureOptions().format));
        if (named != m_pictures.end()) m_pictures.erase(named);
        // A capture that failed still shows the picture of that name, as the view always did.
        if (result.ok || result.stage == RowStage::Capture) {
            try {
                m_form.ImagePreview1->LoadPictureFile(
                    path, m_form.CaptureOptions().format == PictureFormat::Jpeg ? PictureFormats::Jpeg
                                                                                : PictureFormats::Gallery);
                m_form.sGauge1->SetProgress(k);
            } catch (const std::exception& e) {
                result.Fail(RowStage::Preview, QString::fromUtf8(e.what()));
            }
        }
        if (!result.ok) m_failures.push_back({url, result.reason});
        if (const QStringList warnings = RowWarnings(result); !warnings.isEmpty())
            m_warnings.push_back({url, warnings.join(QStringLiteral(", "))});
        std::optional<TEarlierRun::Verdict> verdict;
        if (m_earlier && result.ok) {
            verdict = m_earlier->Compare(url, picture, result.fingerprint, kDefaultChangeDistance);
            m_changed += verdict->changed.value_or(false);
            m_new += verdict->isNew;
        }
        m_form.ShowRowResult(i, result, path, verdict ? &*verdict : nullptr);
    }

    bool Stopping() const override { return m_abort; }

  private:
    TForm1& m_form;
    const bool& m_abort;
    const std::vector<int> m_rows;
    TEarlierRun* m_earlier;  // the report of an earlier run in the folder, if any
    int m_changed = 0, m_new = 0;
    std::vector<FailedRow> m_failures;
    std::vector<FailedRow> m_warnings;
    int m_done = 0;
    TPictureNames m_names;
    std::map<int, QString> m_pictures;  // the picture names of the rows under way
};

}  // namespace

void TForm1::sBitBtn3Click() {
    if (m_running) return;
    if (RowCount() == 0) {
        m_dialogs->ShowNotice(QStringLiteral("Keine Einträge vorhanden"));
        return;
    }
    std::vector<int> rows(RowCount());
    std::iota(rows.begin(), rows.end(), 0);
    RunRows(rows);
}

void TForm1::Fehlgeschlagene1Click() {
    if (m_running || !m_rowResultsShown) return;
    std::vector<int> rows;
    for (int i = 0; i < RowCount(); ++i) {
        const RowMark mark = MarkOf(i);
        if (mark == RowMark::None || mark == RowMark::Failed || mark == RowMark::TimedOut) rows.push_back(i);
    }
    if (rows.empty()) {
        m_dialogs->ShowNotice(QStringLiteral("Keine fehlgeschlagenen Einträge"));
        return;
    }
    RunRows(rows);
}

void TForm1::RunRows(const std::vector<int>& rows) {
    // An empty folder text would put the pictures into the file system's root (said by the check below).
    // A folder that is missing or cannot be written is said once, before any page loads.
    if (const QString why = UnwritableOutputFolderReason(sDirectoryEdit1->text(), false); !why.isEmpty()) {
        m_dialogs->ShowNotice(why);
        return;
    }
    m_abortRun = false;
    m_stopRequested = false;
    // A run of the whole list starts without marks; a run of some rows keeps the marks of the others.
    if (int(rows.size()) == RowCount()) {
        ClearRowResults();
    } else {
        for (int i : rows) ShowRowMark(i, RowMark::None, QString());
    }
    const int n = int(rows.size());
    int done = 0;
    std::vector<FailedRow> failures, warnings;
    // A report of an earlier run in the folder (one that bildoro-batch wrote there): each row is compared
    // with what it says.
    std::optional<std::pair<TEarlierRun, QString>> earlier = TEarlierRun::NewestIn(sDirectoryEdit1->text());
    QString comparison;
    {
        sGauge1->SetMaxValue(n - 1);
        HourglassCursor hourglass;
        SetRunning(true);
        TRunEngine engine({WB1}, m_pageTimeoutMs);
        engine.SetPageMemoryLimit(kDefaultPageMemoryMiB);  // a page that allocates without end ends its row
        WindowRun run(*this, m_abortRun, rows, earlier ? &earlier->first : nullptr);
        m_engine = &engine;
        engine.Run(n, run);
        m_engine = nullptr;
        done = run.RowsDone();
        failures = run.Failures();
        warnings = run.Warnings();
        if (earlier)
            comparison = QStringLiteral("Verglichen mit „%1“: %2 geändert, %3 neu")
                             .arg(earlier->second)
                             .arg(run.Changed())
                             .arg(run.New());
        SetStatusText(0, QString());
        SetStatusText(1, QString());
        SetRunning(false);
    }
    if (m_abortRun) {  // the window is closing: no message, no gallery
        sGauge1->SetProgress(0);
        return;
    }
    const bool stopped = m_stopRequested && done < n;
    m_dialogs->ShowNotice(CompletionMessage(n, failures, stopped ? std::optional<int>(done) : std::nullopt,
                                            warnings, comparison));
    sGauge1->SetProgress(0);
    // A stopped run shows no gallery: the user asked for the run to end.
    if (!stopped && sCheckBox1->isChecked()) ShowGallery(sDirectoryEdit1->text());
}

void TForm1::Abbrechen1Click() {
    if (!m_engine) return;
    m_stopRequested = true;
    m_engine->Stop();
}

void TForm1::ShowRowResult(int index, const RowResult& result, const QString& picturePath,
                           const TEarlierRun::Verdict* compared) {
    QStringList state;
    if (!result.ok)
        state << QStringLiteral("Fehlgeschlagen (%1): %2").arg(RowStageName(result.stage), result.reason);
    if (result.ok && HttpError(result))
        state << QStringLiteral("Aufgenommen, aber die Seite antwortete mit HTTP %1").arg(result.httpStatus);
    if (result.ok && result.timedOut)
        state << QStringLiteral("Nicht rechtzeitig vollständig geladen, aufgenommen so weit geladen");
    if (result.ok && result.blank) state << QStringLiteral("Fertig, aber das Bild ist fast einfarbig");
    const bool changed = compared && compared->changed.value_or(false);
    if (changed)
        state << QStringLiteral("Geändert seit dem letzten Lauf (Abstand %1 von 64)")
                     .arg(compared->distance.value_or(0));
    if (state.isEmpty()) state << QStringLiteral("Fertig");
    ShowRowMark(index, RowMarkOf(result, changed),
                state.join(u'\n') + QStringLiteral("\nBild: ") + picturePath);
}

void TForm1::ShowRowMark(int index, RowMark mark, const QString& toolTip) {
    QTreeWidgetItem* item = sListView1->topLevelItem(index);
    if (!item) return;
    QIcon icon;
    switch (mark) {
        case RowMark::Done:
            icon = RowDoneIcon();
            break;
        case RowMark::Failed:
            icon = RowFailedIcon();
            break;
        case RowMark::HttpError:
            icon = RowHttpErrorIcon();
            break;
        case RowMark::TimedOut:
            icon = RowTimedOutIcon();
            break;
        case RowMark::Blank:
            icon = RowBlankIcon();
            break;
        case RowMark::Changed:
            icon = RowChangedIcon();
            break;
        case RowMark::None:
            break;
    }
    if (mark != RowMark::None) m_rowResultsShown = true;
    item->setIcon(0, icon);
    item->setToolTip(0, toolTip);
    item->setData(0, kRowMarkRole, int(mark));
    ApplyFilter(item);
    EnableResultCommands();
}

void TForm1::EnableResultCommands() {
    cb_filter->setEnabled(m_rowResultsShown);
    Fehlgeschlagene1->setEnabled(!m_running && m_rowResultsShown);
}

RowMark TForm1::MarkOf(int index) const {
    const QTreeWidgetItem* item = sListView1->topLevelItem(index);
    return item ? RowMark(item->data(0, kRowMarkRole).toInt()) : RowMark::None;
}

void TForm1::ClearRowResults() {
    if (!m_rowResultsShown) return;
    m_rowResultsShown = false;
    for (int i = 0; i < RowCount(); ++i) {
        QTreeWidgetItem* item = sListView1->topLevelItem(i);
        item->setIcon(0, QIcon());
        item->setToolTip(0, QString());
        item->setData(0, kRowMarkRole, QVariant());
    }
    // Without results the filter has nothing to choose by: every row is shown (its change shows them).
    cb_filter->setCurrentIndex(0);
    EnableResultCommands();
}

void TForm1::cb_filterChange() {
    for (int i = 0; i < RowCount(); ++i) ApplyFilter(sListView1->topLevelItem(i));
}

void TForm1::ApplyFilter(QTreeWidgetItem* item) {
    const auto filter = RowFilter(std::max(0, cb_filter->currentIndex()));
    const bool shown = FilterShows(filter, RowMark(item->data(0, kRowMarkRole).toInt()));
    if (item->isHidden() == shown) item->setHidden(!shown);
}

std::vector<QTreeWidgetItem*> TForm1::ShownRows() const {
    std::vector<QTreeWidgetItem*> rows;
    for (int i = 0; i < RowCount(); ++i)
        if (QTreeWidgetItem* item = sListView1->topLevelItem(i); !item->isHidden()) rows.push_back(item);
    return rows;
}

void TForm1::ShowGallery(const QString& folder) {
    if (!Form2) return;
    Form2->OpenPicture = [this](const QString& path) { m_dialogs->OpenWithDesktop(path); };
    Form2->ShowForFolder(folder);
}
