// The report of a long run: one JSON object per row as it ends (JSON Lines), and what a resumed run reads of
// an earlier report.
#pragma once

#include "row_pipeline.h"

#include <QFile>
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
};

// Appends report lines to a file, each written through to the file at once.
class TRunReport {
  public:
    // Opens `path`: appended to when `append` (a line cut off at its end is closed first), otherwise
    // emptied. Throws std::runtime_error when it cannot be opened.
    TRunReport(const QString& path, bool append);
    // Writes the line of `row`. Throws std::runtime_error when the write fails (disk full).
    void Write(const ReportRow& row);

  private:
    QFile m_file;
};
