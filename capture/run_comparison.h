// This run against an earlier one: each row's picture matched by URL and picture name with what the earlier
// run's report says of it, changed or not by the distance of their hashes, and the rows it had that this
// run has not.
#pragma once

#include "picture_fingerprint.h"

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// The distance (in bits of the picture hash) above which a page counts as changed, and within which two
// pages of one run count as looking alike; and how far a channel of the mean colour may move before a page
// counts as changed whatever its hash (a wide area in another colour, over a layout that stays). Measured on
// the bench corpus (bench/fingerprint_bench.py): small live changes moved the hash up to 16 bits and the mean
// colour up to 6, real changes the hash 26 bits and more, or the colour 66.
inline constexpr int kDefaultChangeDistance = 20;
inline constexpr int kChangeColour = 8;
inline constexpr int kDefaultGroupDistance = 4;

// Calls `line` with each complete line of a run's report (JSON Lines) and its object, empty for a line that
// is none; a last line cut off by a kill is passed over. Returns the file's error text when it cannot be read
// (then `line` may have seen the lines before), or an empty text.
QString ForEachReportLine(const QString& path,
                          const std::function<void(const QByteArray&, const QJsonObject&)>& line);
// The row number of a report line: a whole number from 0 to 2^53 (a number no list reaches is damage), or -1.
qint64 ReportLineRow(const QJsonObject& line);

class TEarlierRun {
  public:
    // Reads the report of the earlier run. Lines that are no complete JSON object are passed over; the last
    // line of a URL and picture name counts. Throws std::runtime_error when the file cannot be read.
    static TEarlierRun FromReport(const QString& path);
    // The report of an earlier run in `folder`: the newest readable "*.jsonl" file there with at least one
    // row. With its file name; nullopt when there is none.
    static std::optional<std::pair<TEarlierRun, QString>> NewestIn(const QString& folder);

    struct Verdict {
        bool isNew = true;            // the earlier run had no such row
        bool wasOk = false;           // its row was ok
        std::optional<bool> changed;  // both pictures hashed: beyond the distance or not
        std::optional<int> distance;  // the distance of the hashes
    };
    // What the earlier run says of this row; marks it as seen. Changed: the hashes more than
    // `changeDistance` bits apart, or a channel of the mean colours more than kChangeColour.
    Verdict Compare(const QString& url, const QString& picture, const std::optional<TFingerprint>& print,
                    int changeDistance);

    struct Row {
        QString url, picture;
        bool ok = false;
        std::optional<TFingerprint> print;
        bool seen = false;
    };
    // The earlier rows that no Compare asked for, in the earlier report's order.
    std::vector<Row> Unseen() const;
    qint64 Rows() const { return qint64(m_order.size()); }

  private:
    QHash<QString, Row> m_rows;  // by URL, a NUL, and picture name
    std::vector<QString> m_order;
};
