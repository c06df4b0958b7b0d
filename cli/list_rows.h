// The rows of a list file as they come, for lists of any size; with --shard, only this run's share.
#pragma once

#include "list_file.h"
#include "picture_names.h"

#include <optional>

struct ListRow {
    qint64 index = 0;  // in the whole list, from 0
    WebsiteEntry
        entry;  // with the picture name the row writes (made from the address when the list gives none)
    qint64 sameAs = -1;  // the earlier row that writes this picture already: this row must fail
};

class TListRows {
  public:
    // Opens the list (throws ListFileError); takes the rows i with i mod shards == shard - 1.
    TListRows(const QString& path, int shard = 1, int shards = 1, const QStringList& variants = {})
        : m_reader(path), m_shard(shard - 1), m_shards(std::max(1, shards)) {
        m_names.SetVariants(variants);
    }

    // The next row of this share, or std::nullopt after the last. Blank lines and lines whose first
    // character other than a blank is "#" are no rows (they are not counted either). Throws ListFileError
    // when reading fails.
    std::optional<ListRow> Next() {
        while (std::optional<QString> line = m_reader.NextLine()) {
            const QString text = line->trimmed();
            if (text.isEmpty() || text.startsWith(u'#')) continue;
            const qint64 index = m_next++;
            WebsiteEntry entry = EntryFromListFileLine(*line);
            // Every row's name is taken, this share's or not, so that all shares name their pictures alike.
            const TPictureNames::Claim claim = m_names.Take(index, entry.url, entry.picture);
            if (index % m_shards != m_shard) continue;
            entry.picture = claim.picture;
            return ListRow{index, std::move(entry), claim.sameAs};
        }
        return std::nullopt;
    }

  private:
    TListFileReader m_reader;
    TPictureNames m_names;
    int m_shard;
    int m_shards;
    qint64 m_next = 0;
};
