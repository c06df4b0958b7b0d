// The report of a long run: one JSON object per row as it ends (JSON Lines), and what a resumed run reads of
// an earlier report.
#pragma once

#include "row_pipeline.h"
#include "run_comparison.h"

#include <QFile>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// The rows that a report records as done ("ok"), each with the URL and output path it was done for. Holds
// 16 bytes per done row, not the rows' texts, and never more than the report's lines: reports of millions of
// rows fit, and a forged row number costs nothing.
class TDoneRows {
  public:
    // Reads the report at `path`; a missing file records nothing. Lines that are no complete JSON object (a
    // line cut off when a run was killed) or whose row is no whole number from 0 to 2^53 are passed over.
    // Throws std::runtime_error when the file exists but cannot be read.
    static TDoneRows FromReport(const QString& path);

    // True when row `row` was done for this URL and path.
    bool Contains(qint64 row, const QString& url, const QString& path) const;

  private:
    static uint32_t Key(const QString& url, const QString& path);
    std::vector<std::pair<qint64, uint32_t>> m_done;  // by row; the last line of a row counts
};

// What one report line says of a row.
struct ReportRow {
    qint64 row = 0;  // index in the whole list, from 0
    QString url;
    QString picture;
    QString path;
    enum class Status { Ok, Failed } status = Status::Ok;
    int attempts = 0;
    const RowResult* result = nullptr;
    const TCaptureOptions* capture = nullptr;  // the settings that shaped the picture
    // With a comparison: what the earlier run says of the row (its status, changed, the distance).
    const TEarlierRun::Verdict* verdict = nullptr;
};

// The JSON object of a row's report line.
QJsonObject ReportLine(const ReportRow& row);
// The line of a row the earlier run had and this run has not: status "vanished", no row number.
QJsonObject VanishedLine(const TEarlierRun::Row& row);

// What the end of a run reads of a report line: for the groups, the summary and the report page.
struct ReportEntry {
    qint64 row = -1;  // -1 for a vanished row
    QString url, picture, path, status, reason, title;
    int httpStatus = 0;
    std::optional<uint64_t> hash;
    QString colour;          // the mean colour, "#rrggbb"
    bool compared = false;   // the run was compared with an earlier one
    bool isNew = false;      // and the earlier run had no such row
    QString previousStatus;  // with a comparison: "ok" or "failed", empty for a new row
    std::optional<bool> changed;
    std::optional<int> distance;
    int group = 0;  // 0: no other row looks like it
};
ReportEntry EntryFromLine(const QJsonObject& line);
// The rows of a report, the last line of each row (and each vanished row), in the order of the rows.
std::vector<ReportEntry> ReadReportEntries(const QString& path);
// Gives the rows within `distance` of each other their group numbers, and returns the groups of two or more
// rows, largest first, each as its size and the index of its first row's entry.
std::vector<std::pair<int, size_t>> GroupEntries(std::vector<ReportEntry>& entries, int distance);
// Writes each row's group into its lines of the report at `path` ("group": a number, or null), replacing the
// file whole (never half-written).
void WriteReportGroups(const QString& path, const std::vector<ReportEntry>& entries);

// Appends report lines to a file, each written through to the file at once.
class TRunReport {
  public:
    // Opens `path`: appended to when `append` (a line cut off at its end is closed first), otherwise
    // emptied. Throws std::runtime_error when it cannot be opened.
    TRunReport(const QString& path, bool append);
    // Writes a line. Throws std::runtime_error when the write fails (disk full).
    void Write(const QJsonObject& line);

  private:
    QFile m_file;
};
