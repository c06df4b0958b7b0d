// Pages that look alike: single-link groups of picture hashes within a small distance of each other.
#pragma once

#include <cstdint>
#include <vector>

// For each hash, the number of its group: hashes within `distance` bits of each other (0 to 63) are in one
// group, and so is whatever such pairs chain together. Groups of two or more are numbered 1, 2, ... in the
// order of their first hash; a hash that no other comes near has 0. Runs in about n log n plus the pairs
// that share one of distance + 1 bit ranges (two hashes within the distance always share one exactly), not
// n squared: 100,000 hashes take well under a second.
std::vector<int> GroupByHash(const std::vector<uint64_t>& hashes, int distance);
