// Export and import of website lists from the main window.
#include "Unit1.h"
#include "dialogs.h"
#include "gauge.h"
#include "list_file.h"
#include "row_pipeline.h"

void TForm1::sSpeedButton2Click() {
    if (RowCount() == 0) {
        Dialogs().ShowNotice(QStringLiteral("Keine Einträge vorhanden"));
        return;
    }
    const QString path = Dialogs().GetSaveFileName(QStringLiteral("CSV-Datei|*.csv"), QStringLiteral("csv"));
    if (path.isEmpty()) return;

    Memo1.clear();
    const int count = RowCount();
    sGauge1->SetMaxValue(count - 1);
    for (int i = 0; i < count; ++i) {
        sGauge1->SetProgress(i);
        Memo1 << ListFileLine(Row(i));
    }
    // On failure the buffer keeps its lines and the gauge its value until the next command.
    WriteListFileLines(path, Memo1);
    Memo1.clear();
    Dialogs().ShowNotice(QStringLiteral("Export beendet"));
    sGauge1->SetProgress(0);
}

void TForm1::Import1Click() {
    const QString path = Dialogs().GetOpenFileName(QStringLiteral("CSV-Dateien|*.csv"));
    if (path.isEmpty()) return;
    ImportListFile(path);
}

void TForm1::ImportListFile(const QString& path) {
    if (RowCount() > 0 && Dialogs().AskYesNo(QStringLiteral("Sollen vorhandene Datensätze gelöscht werden?")))
        RemoveAllRows();

    Memo1.clear();
    Memo1 = ReadListFileLines(path);
    const int count = static_cast<int>(Memo1.size());
    // A list from others could make the user publish a picture of a local file: its file: rows are taken
    // only when the user says so, once per list.
    int localFiles = 0;
    for (const QString& line : std::as_const(Memo1))
        localFiles += AddressScheme(EntryFromListFileLine(line).url) == u"file";
    const bool takeLocalFiles =
        localFiles == 0 ||
        Dialogs().AskYesNo(
            QStringLiteral("Die Liste enthält %1 %2 mit lokalen Dateien (file:). Sollen lokale "
                           "Dateien geladen werden?\n\nBei „Nein“ werden diese Einträge nicht "
                           "übernommen.")
                .arg(localFiles)
                .arg(localFiles == 1 ? QStringLiteral("Eintrag") : QStringLiteral("Einträge")));
    if (count > 0) sGauge1->SetMaxValue(count - 1);
    // No repaint or relayout happens per row: the list and the gauge only schedule one for when the
    // handler has returned (10,000 rows take about 15 ms, see bench/import_bench.cpp).
    for (int i = 0; i < count; ++i) {
        sGauge1->SetProgress(i);
        // Cut at ";" into URL and picture name; a line without ";" gives an empty picture name.
        const WebsiteEntry row = EntryFromListFileLine(Memo1[i]);
        if (!takeLocalFiles && AddressScheme(row.url) == u"file") continue;
        AppendRow(row.url, row.picture);
    }
    Dialogs().ShowNotice(QStringLiteral("Einlesen beendet"));
    sGauge1->SetProgress(0);
}
