// The rows of a list file as they come, for lists of any size; with --shard, only this run's share.
#pragma once

#include "list_file.h"

#include <optional>

struct ListRow {
    qint64 index = 0;  // in the whole list, from 0
    WebsiteEntry entry;
};

class TListRows {
  public:
    // Opens the list (throws ListFileError); takes the rows i with i mod shards == shard - 1.
    TListRows(const QString& path, int shard = 1, int shards = 1)
        : m_reader(path), m_shard(shard - 1), m_shards(std::max(1, shards)) {}

    // The next row of this share, or std::nullopt after the last. Throws ListFileError when reading fails.
    std::optional<ListRow> Next() {
        while (std::optional<QString> line = m_reader.NextLine()) {
            const qint64 index = m_next++;
            if (index % m_shards == m_shard) return ListRow{index, EntryFromListFileLine(*line)};
        }
        return std::nullopt;
    }

  private:
    TListFileReader m_reader;
    int m_shard;
    int m_shards;
    qint64 m_next = 0;
};
