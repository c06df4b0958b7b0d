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

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <exception>
#include <map>

namespace {

// Keeps the hourglass up for exactly the length of the run, also when an error passes through.
class HourglassCursor {
  public:
    HourglassCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~HourglassCursor() { QApplication::restoreOverrideCursor(); }
};

constexpr int kListedFailures = 5;

}  // namespace

QString CompletionMessage(int rows, const std::vector<FailedRow>& failures,
                          std::optional<int> doneBeforeStop) {
    QString text;
    if (doneBeforeStop) {
        text = QStringLiteral("Verarbeitung abgebrochen\n\n%1 von %2 Einträgen bearbeitet")
                   .arg(*doneBeforeStop)
                   .arg(rows);
        if (failures.empty()) return text;
        text += QStringLiteral(", %1 davon fehlgeschlagen:").arg(failures.size());
    } else {
        text = QStringLiteral("Verarbeitung abgeschlossen");
        if (failures.empty()) return text;
        text += QStringLiteral("\n\n%1 von %2 Einträgen fehlgeschlagen:").arg(failures.size()).arg(rows);
    }
    for (size_t i = 0; i < failures.size() && i < size_t(kListedFailures); ++i)
        text += QStringLiteral("\n%1 – %2").arg(failures[i].url, failures[i].reason);
    if (failures.size() > size_t(kListedFailures))
        text += QStringLiteral("\n… und %1 weitere").arg(failures.size() - kListedFailures);
    return text;
}

void TForm1::SetRunning(bool running) {
    m_running = running;
    // Settings stay live during a run; starting again and editing the list wait for its end.
    sBitBtn3->setEnabled(!running);
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

namespace {

// The window's side of a run: status texts before each row, the settings of its fields at the moment of use,
// the preview and the gauge after each row, and the list of failures for the completion message.
class WindowRun : public TRunClient {
  public:
    WindowRun(TForm1& form, const bool& abort, std::vector<FailedRow>& failures)
        : m_form(form), m_abort(abort), m_failures(failures) {
        m_names.SetVariants(form.CaptureOptions().Variants());
    }

    int RowsDone() const { return m_done; }

    QString BeginRow(int i) override {
        const QString url = m_form.Row(i).url;
        m_form.SetStatusText(1, QStringLiteral("Scanne Seite: ") + url);
        m_form.SetStatusText(0, QStringLiteral("Bearbeite %1 von %2").arg(i).arg(m_form.RowCount() - 1));
        return url;
    }

    RowSettings SettingsOf(int i) override {
        TForm1& f = m_form;
        // A row without a picture name writes one made from its address; a row whose picture an earlier
        // row writes fails.
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

    void EndRow(int i, const QString& url, const RowResult& r) override {
        RowResult result = r;
        result.reason = ExplainedNetworkError(result.reason);  // the browser's code, said in words first
        ++m_done;
        const auto named = m_pictures.find(i);
        const QString path = OutputPicturePath(
            m_form.sDirectoryEdit1->text(), named != m_pictures.end() ? named->second : m_form.Row(i).picture,
            PictureExtension(m_form.CaptureOptions().format));
        if (named != m_pictures.end()) m_pictures.erase(named);
        // A capture that failed still shows the picture of that name, as the view always did.
        if (result.ok || result.stage == RowStage::Capture) {
            try {
                m_form.ImagePreview1->LoadPictureFile(
                    path, m_form.CaptureOptions().format == PictureFormat::Jpeg ? PictureFormats::Jpeg
                                                                                : PictureFormats::Gallery);
                m_form.sGauge1->SetProgress(i);
            } catch (const std::exception& e) {
                result.Fail(RowStage::Preview, QString::fromUtf8(e.what()));
            }
        }
        if (!result.ok) m_failures.push_back({url, result.reason});
        m_form.ShowRowResult(i, result, path);
    }

    bool Stopping() const override { return m_abort; }

  private:
    TForm1& m_form;
    const bool& m_abort;
    std::vector<FailedRow>& m_failures;
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
    // An empty folder text would put the pictures into the file system's root (said by the check below).
    // A folder that is missing or cannot be written is said once, before any page loads.
    if (const QString why = UnwritableOutputFolderReason(sDirectoryEdit1->text(), false); !why.isEmpty()) {
        m_dialogs->ShowNotice(why);
        return;
    }
    m_abortRun = false;
    m_stopRequested = false;
    ClearRowResults();
    std::vector<FailedRow> failures;
    const int n = RowCount();
    int done = 0;
    {
        sGauge1->SetMaxValue(n - 1);
        HourglassCursor hourglass;
        SetRunning(true);
        TRunEngine engine({WB1}, m_pageTimeoutMs);
        WindowRun run(*this, m_abortRun, failures);
        m_engine = &engine;
        engine.Run(n, run);
        m_engine = nullptr;
        done = run.RowsDone();
        SetStatusText(0, QString());
        SetStatusText(1, QString());
        SetRunning(false);
    }
    if (m_abortRun) {  // the window is closing: no message, no gallery
        sGauge1->SetProgress(0);
        return;
    }
    const bool stopped = m_stopRequested && done < n;
    m_dialogs->ShowNotice(CompletionMessage(n, failures, stopped ? std::optional<int>(done) : std::nullopt));
    sGauge1->SetProgress(0);
    // A stopped run shows no gallery: the user asked for the run to end.
    if (!stopped && sCheckBox1->isChecked()) ShowGallery(sDirectoryEdit1->text());
}

void TForm1::Abbrechen1Click() {
    if (!m_engine) return;
    m_stopRequested = true;
    m_engine->Stop();
}

void TForm1::ShowRowResult(int index, const RowResult& result, const QString& picturePath) {
    QTreeWidgetItem* item = sListView1->topLevelItem(index);
    if (!item) return;
    QIcon icon;
    QString state;
    if (!result.ok) {
        icon = RowFailedIcon();
        state = QStringLiteral("Fehlgeschlagen (%1): %2").arg(RowStageName(result.stage), result.reason);
    } else if (result.timedOut) {
        icon = RowTimedOutIcon();
        state = QStringLiteral("Nicht rechtzeitig vollständig geladen, aufgenommen so weit geladen");
    } else if (result.blank) {
        icon = RowBlankIcon();
        state = QStringLiteral("Fertig, aber das Bild ist fast einfarbig");
    } else {
        icon = RowDoneIcon();
        state = QStringLiteral("Fertig");
    }
    m_rowResultsShown = true;
    item->setIcon(0, icon);
    item->setToolTip(0, state + QStringLiteral("\nBild: ") + picturePath);
}

void TForm1::ClearRowResults() {
    if (!m_rowResultsShown) return;
    m_rowResultsShown = false;
    for (int i = 0; i < RowCount(); ++i) {
        QTreeWidgetItem* item = sListView1->topLevelItem(i);
        item->setIcon(0, QIcon());
        item->setToolTip(0, QString());
    }
}

void TForm1::ShowGallery(const QString& folder) {
    if (!Form2) return;
    Form2->OpenPicture = [this](const QString& path) { m_dialogs->OpenWithDesktop(path); };
    Form2->ShowForFolder(folder);
}
