// The report of a long run: JSON Lines written as rows end, read again by a resumed run.
#include "run_report.h"

#include "picture_fingerprint.h"
#include "picture_groups.h"
#include "safe_files.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace {

[[noreturn]] void ThrowReport(const QString& what, const QFile& file) {
    throw std::runtime_error(QCoreApplication::translate("bildoro-batch", "the report \"%1\" %2: %3")
                                 .arg(file.fileName(), what, file.errorString())
                                 .toStdString());
}

// Each complete line of the report at `path` (see ForEachReportLine); throws when it cannot be read.
void ForEachLine(const QString& path,
                 const std::function<void(const QByteArray&, const QJsonObject&)>& line) {
    if (const QString error = ForEachReportLine(path, line); !error.isEmpty())
        throw std::runtime_error(
            QCoreApplication::translate("bildoro-batch", "the report \"%1\" %2: %3")
                .arg(path, QCoreApplication::translate("bildoro-batch", "cannot be read"), error)
                .toStdString());
}

QString StatusWord(ReportRow::Status status) {
    switch (status) {
        case ReportRow::Status::Ok:
            return QStringLiteral("ok");
        case ReportRow::Status::Failed:
            return QStringLiteral("failed");
    }
    return {};
}

QJsonValue Milliseconds(double ms) {
    return std::round(ms * 10) / 10;
}

}  // namespace

uint32_t TDoneRows::Key(const QString& url, const QString& path) {
    const QByteArray hash =
        QCryptographicHash::hash((url + QChar(0) + path).toUtf8(), QCryptographicHash::Sha1).left(4);
    const uint32_t key = uint32_t(uchar(hash[0])) << 24 | uint32_t(uchar(hash[1])) << 16 |
                         uint32_t(uchar(hash[2])) << 8 | uint32_t(uchar(hash[3]));
    return key | 1;  // never 0, which means "not done"
}

bool TDoneRows::Contains(qint64 row, const QString& url, const QString& path) const {
    const auto at = std::lower_bound(m_done.begin(), m_done.end(), std::pair<qint64, uint32_t>(row, 0),
                                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return at != m_done.end() && at->first == row && at->second == Key(url, path);
}

TDoneRows TDoneRows::FromReport(const QString& path) {
    TDoneRows done;
    QFile file(path);
    if (!file.exists()) return done;
    ForEachLine(path, [&done](const QByteArray&, const QJsonObject& o) {
        // A line without a row number a list can have is a damaged line (a run cut off by a kill left its
        // last line half: that row runs again).
        const qint64 row = ReportLineRow(o);
        if (row < 0) return;
        // A later line of the same row (a run that went on) decides: a failure there undoes an earlier ok.
        const bool ok = o.value(QStringLiteral("status")).toString() == QLatin1String("ok");
        done.m_done.emplace_back(row, ok ? Key(o.value(QStringLiteral("url")).toString(),
                                               o.value(QStringLiteral("path")).toString())
                                         : 0);
    });
    // Sorted by row, the last line of each row kept.
    std::stable_sort(done.m_done.begin(), done.m_done.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::pair<qint64, uint32_t>> last;
    for (const auto& entry : done.m_done) {
        if (!last.empty() && last.back().first == entry.first)
            last.back() = entry;
        else
            last.push_back(entry);
    }
    std::erase_if(last, [](const auto& entry) { return entry.second == 0; });
    last.shrink_to_fit();
    done.m_done = std::move(last);
    return done;
}

TRunReport::TRunReport(const QString& path, bool append) : m_file(path) {
    // Refuses a FIFO or a device at the name before anything is written to it or waited on.
    OpenRegularFileForWriting(m_file, append);
    if (!append || m_file.size() == 0) return;
    // A line cut off by a kill is removed, so that the report stays one whole JSON object per line.
    qint64 end = m_file.size();
    while (end > 0) {
        const qint64 from = std::max<qint64>(0, end - 65536);
        if (!m_file.seek(from))
            ThrowReport(QCoreApplication::translate("bildoro-batch", "cannot be read"), m_file);
        const QByteArray block = m_file.read(end - from);
        if (block.size() != end - from)
            ThrowReport(QCoreApplication::translate("bildoro-batch", "cannot be read"), m_file);
        const qsizetype newline = block.lastIndexOf('\n');
        if (newline >= 0) {
            end = from + newline + 1;
            break;
        }
        end = from;
    }
    if (end < m_file.size() && !m_file.resize(end))
        ThrowReport(QCoreApplication::translate("bildoro-batch", "cannot be written"), m_file);
}

QJsonObject ReportLine(const ReportRow& row) {
    QJsonObject o{
        {QStringLiteral("row"), double(row.row)},           {QStringLiteral("url"), row.url},
        {QStringLiteral("picture"), row.picture},           {QStringLiteral("path"), row.path},
        {QStringLiteral("status"), StatusWord(row.status)}, {QStringLiteral("attempts"), row.attempts},
        {QStringLiteral("consent"), QJsonValue::Null}};
    const RowResult* r = row.result;
    if (r) {
        if (!r->ok) {
            o.insert(QStringLiteral("reason"), r->reason);
            o.insert(QStringLiteral("stage"), RowStageKey(r->stage));
        }
        // The consent dialog found on the page: its platform and whether it was refused or hidden; null
        // when none was found (or the dialogs were kept).
        if (!r->consentPlatform.isEmpty())
            o.insert(QStringLiteral("consent"), QJsonObject{{QStringLiteral("platform"), r->consentPlatform},
                                                            {QStringLiteral("handled"), r->consentHandled}});
        o.insert(QStringLiteral("timed_out"), r->timedOut);
        o.insert(QStringLiteral("blank"), r->ok ? QJsonValue(r->blank) : QJsonValue::Null);
        o.insert(QStringLiteral("http_status"),
                 r->httpStatus > 0 ? QJsonValue(r->httpStatus) : QJsonValue::Null);
        o.insert(QStringLiteral("final_url"),
                 r->finalUrl.isEmpty() ? QJsonValue::Null : QJsonValue(r->finalUrl));
        o.insert(QStringLiteral("title"),
                 r->httpStatus > 0 || !r->title.isEmpty() ? QJsonValue(r->title) : QJsonValue::Null);
        // A stage the failed row never reached has no time.
        const bool captured = r->ok || (r->stage != RowStage::Load && r->stage != RowStage::Check &&
                                        r->stage != RowStage::Wait);
        const bool reduced = captured && (r->ok || r->stage == RowStage::Reduce || r->reduceMs > 0);
        o.insert(QStringLiteral("load_ms"), Milliseconds(r->loadMs));
        o.insert(QStringLiteral("capture_ms"), captured ? Milliseconds(r->captureMs) : QJsonValue::Null);
        o.insert(QStringLiteral("reduce_ms"), reduced ? Milliseconds(r->reduceMs) : QJsonValue::Null);
        const bool picture = r->ok && r->width > 0;
        o.insert(QStringLiteral("bytes"), picture ? QJsonValue(double(r->bytes)) : QJsonValue::Null);
        o.insert(QStringLiteral("width"), picture ? QJsonValue(r->width) : QJsonValue::Null);
        o.insert(QStringLiteral("height"), picture ? QJsonValue(r->height) : QJsonValue::Null);
        o.insert(QStringLiteral("files"),
                 r->ok ? QJsonValue(QJsonArray::fromStringList(r->files)) : QJsonValue::Null);
    }
    // The settings that shaped the picture, when they are not the program's own (the lines of a plain run
    // stay as they were, for the scripts that read them).
    if (const TCaptureOptions* c = row.capture;
        c &&
        (c->format != PictureFormat::Jpeg || c->DeviceScale() != 1 || c->fullPage || !c->element.isEmpty())) {
        o.insert(QStringLiteral("format"), PictureFormatName(c->format));
        o.insert(QStringLiteral("scale"), c->DeviceScale());
        o.insert(QStringLiteral("full_page"), c->fullPage);
        o.insert(QStringLiteral("element"), c->element.isEmpty() ? QJsonValue::Null : QJsonValue(c->element));
    }
    // The picture's fingerprint: its perceptual hash and mean colour.
    if (r && r->ok && r->fingerprint) {
        o.insert(QStringLiteral("phash"), HashText(r->fingerprint->hash));
        o.insert(QStringLiteral("mean_colour"), ColourText(*r->fingerprint));
    }
    if (const TEarlierRun::Verdict* v = row.verdict) {
        o.insert(QStringLiteral("previous_status"),
                 v->isNew ? QJsonValue::Null
                          : QJsonValue(v->wasOk ? QStringLiteral("ok") : QStringLiteral("failed")));
        o.insert(QStringLiteral("new"), v->isNew);
        o.insert(QStringLiteral("changed"), v->changed ? QJsonValue(*v->changed) : QJsonValue::Null);
        o.insert(QStringLiteral("distance"), v->distance ? QJsonValue(*v->distance) : QJsonValue::Null);
    }
    return o;
}

QJsonObject VanishedLine(const TEarlierRun::Row& row) {
    return {{QStringLiteral("row"), QJsonValue::Null},
            {QStringLiteral("url"), row.url},
            {QStringLiteral("picture"), row.picture},
            {QStringLiteral("status"), QStringLiteral("vanished")},
            {QStringLiteral("previous_status"), row.ok ? QStringLiteral("ok") : QStringLiteral("failed")}};
}

void TRunReport::Write(const QJsonObject& o) {
    const QByteArray line = QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
    if (m_file.write(line) != line.size() || !m_file.flush())
        ThrowReport(QCoreApplication::translate("bildoro-batch", "cannot be written"), m_file);
}

ReportEntry EntryFromLine(const QJsonObject& o) {
    auto text = [&o](const char* key) { return o.value(QLatin1String(key)).toString(); };
    ReportEntry e;
    e.row = ReportLineRow(o);
    e.url = text("url");
    e.picture = text("picture");
    e.path = text("path");
    e.status = text("status");
    e.reason = text("reason");
    e.title = text("title");
    e.httpStatus = o.value(QStringLiteral("http_status")).toInt();
    e.hash = HashFromText(text("phash"));
    e.colour = text("mean_colour");
    e.previousStatus = text("previous_status");
    e.compared = o.contains(QStringLiteral("new")) || e.status == QLatin1String("vanished");
    e.isNew = o.value(QStringLiteral("new")).toBool();
    if (const QJsonValue v = o.value(QStringLiteral("changed")); v.isBool()) e.changed = v.toBool();
    if (const QJsonValue v = o.value(QStringLiteral("distance")); v.isDouble()) e.distance = v.toInt();
    return e;
}

std::vector<ReportEntry> ReadReportEntries(const QString& path) {
    std::map<qint64, ReportEntry> rows;  // the last line of each row
    std::vector<ReportEntry> vanished;
    ForEachLine(path, [&](const QByteArray&, const QJsonObject& o) {
        ReportEntry e = EntryFromLine(o);
        if (e.row >= 0)
            rows[e.row] = std::move(e);
        else if (e.status == QLatin1String("vanished"))
            vanished.push_back(std::move(e));
    });
    std::vector<ReportEntry> entries;
    entries.reserve(rows.size() + vanished.size());
    for (auto& [row, e] : rows) entries.push_back(std::move(e));
    for (ReportEntry& e : vanished) entries.push_back(std::move(e));
    return entries;
}

std::vector<std::pair<int, size_t>> GroupEntries(std::vector<ReportEntry>& entries, int distance) {
    std::vector<uint64_t> hashes;
    std::vector<size_t> hashed;  // the entries with a picture of this run
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].row >= 0 && entries[i].status == QLatin1String("ok") && entries[i].hash) {
            hashes.push_back(*entries[i].hash);
            hashed.push_back(i);
        }
    const std::vector<int> groups = GroupByHash(hashes, distance);
    std::vector<std::pair<int, size_t>> sizes;  // by group number - 1: size, first entry
    for (size_t k = 0; k < hashed.size(); ++k) {
        ReportEntry& e = entries[hashed[k]];
        e.group = groups[k];
        if (e.group == 0) continue;
        if (size_t(e.group) > sizes.size()) sizes.resize(size_t(e.group), {0, hashed[k]});
        ++sizes[size_t(e.group) - 1].first;
    }
    std::stable_sort(sizes.begin(), sizes.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    return sizes;
}

void WriteReportGroups(const QString& path, const std::vector<ReportEntry>& entries) {
    std::map<qint64, int> groupOf;
    for (const ReportEntry& e : entries)
        if (e.row >= 0) groupOf[e.row] = e.group;
    QByteArray data;
    ForEachLine(path, [&](const QByteArray& text, QJsonObject o) {
        const qint64 row = ReportLineRow(o);
        if (row < 0) {  // a vanished row, or a line that is no row's: as it was
            data += text;
            return;
        }
        const int group = groupOf.count(row) ? groupOf[row] : 0;
        o.insert(QStringLiteral("group"), group > 0 ? QJsonValue(group) : QJsonValue::Null);
        data += QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
    });
    WriteFileReplacing(path, data);
}
