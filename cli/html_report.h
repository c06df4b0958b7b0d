// The report page of a run: one HTML file that shows every row's thumbnail with what the row got, with
// filters, sorting and a search, and needs nothing but itself and the pictures beside it.
#pragma once

#include "run_report.h"

#include <QByteArray>
#include <QString>
#include <vector>

// The page for these rows. The thumbnails are referenced relative to `folder` (where the page is written),
// so that the page opens from a file and from a web server alike. Every text of the rows (addresses, titles,
// reasons: what pages and lists sent) reaches the page as data and is shown as text, never as markup.
QByteArray HtmlReport(const std::vector<ReportEntry>& entries, const QString& folder);

// Writes the page to `file` (replacing what is there, never half-written). Throws std::runtime_error.
void WriteHtmlReport(const QString& file, const std::vector<ReportEntry>& entries);
