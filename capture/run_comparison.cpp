// Reading an earlier run's report and comparing this run's rows with it.
#include "run_comparison.h"

#include "picture_fingerprint.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace {

QString Key(const QString& url, const QString& picture) {
    return url + QChar(0) + picture;
}

}  // namespace

QString ForEachReportLine(const QString& path,
                          const std::function<void(const QByteArray&, const QJsonObject&)>& line) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return file.errorString();
    while (!file.atEnd()) {
        const QByteArray text = file.readLine();
        if (!text.endsWith('\n')) break;  // cut off by a kill
        line(text, QJsonDocument::fromJson(text).object());
    }
    return file.error() == QFileDevice::NoError ? QString() : file.errorString();
}

qint64 ReportLineRow(const QJsonObject& line) {
    const QJsonValue row = line.value(QStringLiteral("row"));
    const double number = row.toDouble(-1);
    if (!row.isDouble() || !(number >= 0 && number <= 9007199254740992.0) || number != std::floor(number))
        return -1;
    return qint64(number);
}

TEarlierRun TEarlierRun::FromReport(const QString& path) {
    TEarlierRun earlier;
    const QString error = ForEachReportLine(path, [&earlier](const QByteArray&, const QJsonObject& o) {
        const QString status = o.value(QStringLiteral("status")).toString();
        if (status != QLatin1String("ok") && status != QLatin1String("failed")) return;  // vanished, damaged
        Row row{o.value(QStringLiteral("url")).toString(), o.value(QStringLiteral("picture")).toString(),
                status == QLatin1String("ok"),
                FingerprintFromText(o.value(QStringLiteral("phash")).toString(),
                                    o.value(QStringLiteral("mean_colour")).toString()),
                false};
        const QString key = Key(row.url, row.picture);
        if (!earlier.m_rows.contains(key)) earlier.m_order.push_back(key);
        earlier.m_rows.insert(key, std::move(row));
    });
    if (!error.isEmpty())
        throw std::runtime_error(
            QCoreApplication::translate("bildoro", "the earlier report \"%1\" cannot be read: %2")
                .arg(path, error)
                .toStdString());
    return earlier;
}

TEarlierRun::Verdict TEarlierRun::Compare(const QString& url, const QString& picture,
                                          const std::optional<TFingerprint>& print, int changeDistance) {
    Verdict verdict;
    const auto at = m_rows.find(Key(url, picture));
    if (at == m_rows.end()) return verdict;
    at->seen = true;
    verdict.isNew = false;
    verdict.wasOk = at->ok;
    if (print && at->print) {
        const TFingerprint& was = *at->print;
        verdict.distance = HashDistance(print->hash, was.hash);
        const int colour = std::max({std::abs(print->red - was.red), std::abs(print->green - was.green),
                                     std::abs(print->blue - was.blue)});
        verdict.changed = *verdict.distance > changeDistance || colour > kChangeColour;
    }
    return verdict;
}

std::optional<std::pair<TEarlierRun, QString>> TEarlierRun::NewestIn(const QString& folder) {
    if (folder.isEmpty()) return std::nullopt;
    const QFileInfoList reports =
        QDir(folder).entryInfoList({QStringLiteral("*.jsonl")}, QDir::Files | QDir::Readable, QDir::Time);
    for (const QFileInfo& report : reports) {
        try {
            TEarlierRun earlier = FromReport(report.filePath());
            if (earlier.Rows() > 0) return std::pair{std::move(earlier), report.fileName()};
        } catch (const std::exception&) {
            // Not readable after all: the next one.
        }
    }
    return std::nullopt;
}

std::vector<TEarlierRun::Row> TEarlierRun::Unseen() const {
    std::vector<Row> rows;
    for (const QString& key : m_order)
        if (const Row& row = m_rows[key]; !row.seen) rows.push_back(row);
    return rows;
}
