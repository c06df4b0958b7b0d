// The report of a long run: JSON Lines written as rows end, read again by a resumed run.
#include "run_report.h"

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
#include <stdexcept>

namespace {

[[noreturn]] void ThrowReport(const QString& what, const QFile& file) {
    throw std::runtime_error(QCoreApplication::translate("bildoro-batch", "the report \"%1\" %2: %3")
                                 .arg(file.fileName(), what, file.errorString())
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
    if (!file.open(QIODevice::ReadOnly))
        ThrowReport(QCoreApplication::translate("bildoro-batch", "cannot be read"), file);
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.endsWith('\n')) break;  // cut off by a kill: the row runs again
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        const QJsonValue row = o.value(QStringLiteral("row"));
        // A row number that no list reaches (forged, or damaged) is a damaged line.
        const double number = row.toDouble(-1);
        if (!row.isDouble() || !(number >= 0 && number <= 9007199254740992.0) || number != std::floor(number))
            continue;
        // A later line of the same row (a run that went on) decides: a failure there undoes an earlier ok.
        const bool ok = o.value(QStringLiteral("status")).toString() == QLatin1String("ok");
        done.m_done.emplace_back(qint64(number), ok ? Key(o.value(QStringLiteral("url")).toString(),
                                                          o.value(QStringLiteral("path")).toString())
                                                    : 0);
    }
    if (file.error() != QFileDevice::NoError)
        ThrowReport(QCoreApplication::translate("bildoro-batch", "cannot be read"), file);
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

void TRunReport::Write(const ReportRow& row) {
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
    const QByteArray line = QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
    if (m_file.write(line) != line.size() || !m_file.flush())
        ThrowReport(QCoreApplication::translate("bildoro-batch", "cannot be written"), m_file);
}
