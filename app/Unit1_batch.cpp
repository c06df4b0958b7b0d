// The batch run of the main window: every row of the list becomes a thumbnail.
#include "Unit1.h"

#include "dialogs.h"
#include "gauge.h"
#include "preview_image.h"
#include "row_pipeline.h"
#include "Unit2.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <exception>

namespace {

// Keeps the hourglass up for exactly the length of the run, also when an error passes through.
class HourglassCursor {
public:
    HourglassCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~HourglassCursor() { QApplication::restoreOverrideCursor(); }
};

constexpr int kListedFailures = 5;

}  // namespace

QString CompletionMessage(int rows, const std::vector<FailedRow>& failures) {
    QString text = QStringLiteral("Verarbeitung abgeschlossen");
    if (failures.empty()) return text;
    text += QStringLiteral("\n\n%1 von %2 Einträgen fehlgeschlagen:").arg(failures.size()).arg(rows);
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
    for (QToolButton* b : {sSpeedButton1, sSpeedButton3, sSpeedButton4, sSpeedButton5}) b->setEnabled(!running);
    Import1->setEnabled(!running);
    sListView1->setEditTriggers(running ? QAbstractItemView::NoEditTriggers
                                        : QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
}

void TForm1::sBitBtn3Click() {
    if (m_running) return;
    if (RowCount() == 0) {
        m_dialogs->ShowNotice(QStringLiteral("Keine Einträge vorhanden"));
        return;
    }
    m_abortRun = false;
    std::vector<FailedRow> failures;
    const int n = RowCount();
    {
        sGauge1->SetMaxValue(n - 1);
        HourglassCursor hourglass;
        SetRunning(true);
        for (int i = 0; i < n && !m_abortRun; ++i) {
            QString url;
            RowResult result;
            try {
                url = Row(i).url;
                SetStatusText(1, QStringLiteral("Scanne Seite: ") + url);
                SetStatusText(0, QStringLiteral("Bearbeite %1 von %2").arg(i).arg(RowCount() - 1));
                WB1->Navigate(url);
                result.timedOut = !WaitUntilComplete(*WB1, m_pageTimeoutMs);
                if (m_abortRun) break;
                const RowSettings settings{[this] { return sDirectoryEdit1->text(); },
                                           [this, i] { return Row(i).picture; }, [this] { return edbreit->text(); }};
                const bool timedOut = result.timedOut;
                result = CaptureAndReduce(*WB1, settings);
                result.timedOut = timedOut;
                if (result.ok || result.stage == RowStage::Capture) {
                    const QString path = OutputPicturePath(sDirectoryEdit1->text(), Row(i).picture);
                    try {
                        ImagePreview1->LoadPictureFile(path);
                        sGauge1->SetProgress(i);
                    } catch (const std::exception& e) {
                        result.Fail(RowStage::Preview, QString::fromUtf8(e.what()));
                    }
                }
            } catch (const std::exception& e) {
                result.Fail(RowStage::Load, QString::fromUtf8(e.what()));
            }
            if (!result.ok) failures.push_back({url, result.reason});
        }
        SetStatusText(0, QString());
        SetStatusText(1, QString());
        SetRunning(false);
    }
    if (m_abortRun) return;  // the window is closing: no message, no gallery
    m_dialogs->ShowNotice(CompletionMessage(n, failures));
    sGauge1->SetProgress(0);
    if (sCheckBox1->isChecked()) ShowGallery(sDirectoryEdit1->text());
}

void TForm1::ShowGallery(const QString& folder) {
    if (Form2) Form2->ShowForFolder(folder);
}
