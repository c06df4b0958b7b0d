// The picture names of one run: a name made from the address for a row that gives none, and the rows that
// would write the same picture as an earlier row of the run.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <unordered_map>
#include <vector>

// A picture name made from an address, safe for a file name: the host (with "-PORT" when one is given) and
// the path's parts joined by "_" ("https://example.com/shop/item-7" gives "example.com_shop_item-7"); for a
// local file its path, for an address without a host its scheme. Letters and digits of any script, ".", "-"
// and "_" stay, every other run of characters becomes one "-"; never empty, never starting with ".", at most
// 120 characters.
QString PictureNameFromAddress(const QString& url);

class TPictureNames {
  public:
    struct Claim {
        QString picture;     // the name the row writes
        qint64 sameAs = -1;  // the earlier row (from 0) that writes that picture already: the row must fail
    };

    // The picture row `row` (its place in the list, from 0) writes: `picture` as it stands, or, when empty, a
    // name made from `url` with "-2", "-3", ... added when an earlier row has it. A row that names its
    // picture and is asked for again (tried once more) keeps it. Holds about 20 bytes per row, not the names.
    Claim Take(qint64 row, const QString& url, const QString& picture);

    // Names every row writes beside its picture, as "<picture>.<variant>" (more widths, the kept capture):
    // they are claimed with it, so that no two rows write one file.
    void SetVariants(const QStringList& variants) { m_variants = variants; }

    // The reason a row fails whose picture an earlier row writes (`sameAs` from 0; the text counts from 1).
    static QString SamePictureText(qint64 sameAs);

  private:
    Claim TakeName(qint64 row, const QString& url, const QString& picture);
    static uint64_t Key(const QString& picture);
    // The row that writes the picture of `key`: the one stored already, or `row`, stored now.
    qint64 RowOf(uint64_t key, qint64 row);

    // An open-addressing table of the pictures' keys (0: free) and their rows: a list of millions of rows
    // keeps 12 bytes a slot instead of a node each.
    std::vector<uint64_t> m_keys;
    std::vector<uint32_t> m_rows;
    size_t m_used = 0;
    std::unordered_map<uint64_t, int> m_nextSuffix;  // by a made name's key: the next suffix to try
    QStringList m_variants;
};
