// The picture names of one run.
#include "picture_names.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QUrl>

#include <algorithm>

namespace {

constexpr qsizetype kMaxDerivedName = 120;

// Letters and digits of any script, ".", "-" and "_" stay; every other run of characters becomes one "-".
QString SafeForFileName(const QString& text) {
    QString safe;
    for (QChar c : text) {
        if (c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u'_')
            safe += c;
        else if (!safe.endsWith(u'-'))
            safe += u'-';
    }
    return safe;
}

}  // namespace

QString PictureNameFromAddress(const QString& url) {
    const QUrl address(url.trimmed());
    QString name = address.host();
    if (name.isEmpty() && !address.isLocalFile()) name = address.scheme().toLower();
    if (address.port() >= 0) name += QStringLiteral("-%1").arg(address.port());
    for (const QString& part : address.path().split(u'/', Qt::SkipEmptyParts))
        name += (name.isEmpty() ? QString() : QStringLiteral("_")) + SafeForFileName(part);
    name = SafeForFileName(name);
    // No hidden file ("." first), no ".." part, nothing that reads as an option.
    while (name.startsWith(u'.') || name.startsWith(u'-') || name.startsWith(u'_')) name.remove(0, 1);
    name.truncate(kMaxDerivedName);
    while (name.endsWith(u'-') || name.endsWith(u'_')) name.chop(1);
    return name.isEmpty() ? QStringLiteral("page") : name;
}

uint64_t TPictureNames::Key(const QString& picture) {
    // "a/./b" and "a//b" are the same file as "a/b".
    const QByteArray hash =
        QCryptographicHash::hash(QDir::cleanPath(picture).toUtf8(), QCryptographicHash::Sha1);
    uint64_t key = 0;
    for (int i = 0; i < 8; ++i) key = key << 8 | uchar(hash[i]);
    return key | 1;  // never 0, which marks a free slot
}

qint64 TPictureNames::RowOf(uint64_t key, qint64 row) {
    if ((m_used + 1) * 4 > m_keys.size() * 3) {
        // Grown to twice the size, every key placed anew.
        std::vector<uint64_t> keys(std::max<size_t>(1024, m_keys.size() * 2), 0);
        std::vector<uint32_t> rows(keys.size(), 0);
        for (size_t i = 0; i < m_keys.size(); ++i) {
            if (!m_keys[i]) continue;
            size_t at = m_keys[i] % keys.size();
            while (keys[at]) at = (at + 1) % keys.size();
            keys[at] = m_keys[i];
            rows[at] = m_rows[i];
        }
        m_keys.swap(keys);
        m_rows.swap(rows);
    }
    size_t at = key % m_keys.size();
    for (; m_keys[at]; at = (at + 1) % m_keys.size())
        if (m_keys[at] == key) return m_rows[at];
    m_keys[at] = key;
    // Rows beyond four thousand million are not told apart (no list comes near).
    m_rows[at] = uint32_t(std::min<qint64>(row, UINT32_MAX));
    ++m_used;
    return row;
}

TPictureNames::Claim TPictureNames::Take(qint64 row, const QString& url, const QString& picture) {
    Claim claim = TakeName(row, url, picture);
    const qint64 stored = std::min<qint64>(row, UINT32_MAX);
    for (const QString& variant : m_variants) {
        const qint64 writer = RowOf(Key(claim.picture + u'.' + variant), row);
        if (claim.sameAs < 0 && writer != row && writer != stored) claim.sameAs = writer;
    }
    return claim;
}

TPictureNames::Claim TPictureNames::TakeName(qint64 row, const QString& url, const QString& picture) {
    const qint64 stored = std::min<qint64>(row, UINT32_MAX);
    if (!picture.isEmpty()) {
        const qint64 writer = RowOf(Key(picture), row);
        return {picture, writer == row || writer == stored ? -1 : writer};
    }
    const QString base = PictureNameFromAddress(url);
    // Where the search for a free suffix of this name goes on: a list of one address a million times takes
    // a million steps, not half a million million.
    int& next = m_nextSuffix.try_emplace(Key(base), 1).first->second;
    for (;; ++next) {
        const QString name = next == 1 ? base : QStringLiteral("%1-%2").arg(base).arg(next);
        const qint64 writer = RowOf(Key(name), row);
        if (writer == row || writer == stored) return {name, -1};
    }
}

QString TPictureNames::SamePictureText(qint64 sameAs) {
    return QCoreApplication::translate("bildoro", "The same picture as row %1").arg(sameAs + 1);
}
