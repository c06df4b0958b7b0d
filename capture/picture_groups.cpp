// Single-link grouping of picture hashes by multi-index hashing.
#include "picture_groups.h"

#include "picture_fingerprint.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace {

// Disjoint sets over the distinct hashes.
class Sets {
  public:
    explicit Sets(size_t n) : m_parent(n) { std::iota(m_parent.begin(), m_parent.end(), size_t(0)); }
    size_t Find(size_t i) {
        while (m_parent[i] != i) i = m_parent[i] = m_parent[m_parent[i]];
        return i;
    }
    void Join(size_t a, size_t b) {
        a = Find(a);
        b = Find(b);
        if (a != b) m_parent[std::max(a, b)] = std::min(a, b);
    }

  private:
    std::vector<size_t> m_parent;
};

}  // namespace

std::vector<int> GroupByHash(const std::vector<uint64_t>& hashes, int distance) {
    distance = std::clamp(distance, 0, 63);
    // Equal hashes are one entry: a thousand copies of one parked page cost one, not a million pairs.
    std::vector<uint64_t> distinct(hashes);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    Sets sets(distinct.size());
    // Two hashes within `distance` bits agree exactly on at least one of distance + 1 bit ranges: only the
    // hashes that share a range's bits are compared.
    const int ranges = distance + 1;
    for (int r = 0; r < ranges && distance > 0; ++r) {
        const int from = 64 * r / ranges, to = 64 * (r + 1) / ranges;
        const uint64_t mask = (to - from == 64 ? ~uint64_t(0) : ((uint64_t(1) << (to - from)) - 1)) << from;
        std::unordered_map<uint64_t, std::vector<size_t>> buckets;
        for (size_t i = 0; i < distinct.size(); ++i) buckets[distinct[i] & mask].push_back(i);
        for (const auto& [bits, members] : buckets)
            for (size_t a = 0; a < members.size(); ++a)
                for (size_t b = a + 1; b < members.size(); ++b)
                    if (HashDistance(distinct[members[a]], distinct[members[b]]) <= distance)
                        sets.Join(members[a], members[b]);
    }
    // Each input's set, then the sets with two or more inputs numbered in the order of their first input.
    std::vector<size_t> setOf(hashes.size());
    std::vector<int> size(distinct.size(), 0);
    for (size_t i = 0; i < hashes.size(); ++i) {
        const size_t at =
            size_t(std::lower_bound(distinct.begin(), distinct.end(), hashes[i]) - distinct.begin());
        setOf[i] = sets.Find(at);
        ++size[setOf[i]];
    }
    std::vector<int> number(distinct.size(), 0), groups(hashes.size(), 0);
    int next = 0;
    for (size_t i = 0; i < hashes.size(); ++i) {
        if (size[setOf[i]] < 2) continue;
        if (number[setOf[i]] == 0) number[setOf[i]] = ++next;
        groups[i] = number[setOf[i]];
    }
    return groups;
}
