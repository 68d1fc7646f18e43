// Entries are walked once, in key order, with only the previous entry kept; the stored keys
// are hashed and looked up among the computed ones by row pointer.
#include "jet/check/index_check.h"

#include <algorithm>
#include <optional>

#include "jet/check/report_text.h"
#include "jet/coding.h"
#include "jet/jet_error.h"
#include "jet/keys/index_key.h"
#include "jet/pages/index_page.h"

namespace vintrel::jet {
namespace {

// The pages of the tree; faults of its links go to `faults`.
std::set<uint32_t> WalkTree(PageCache& pages, const Format& format, const std::string& what, uint32_t root,
                            Remedy remedy, std::vector<Fault>& faults) {
  std::set<uint32_t> tree;
  std::vector<uint32_t> expected = {root};
  while (!expected.empty()) {
    std::vector<uint32_t> level, children;
    for (uint32_t page = expected.front(); page != 0;) {
      if (!tree.insert(page).second) RaiseDamaged("index page", page, "it is reached twice");
      IndexPage read = ReadIndexPage(pages, format, page);
      level.push_back(page);
      if (!read.leaf) {
        for (const IndexEntry& entry : read.entries) children.push_back(entry.child_page);
        if (read.tail_page != 0) children.push_back(read.tail_page);
      }
      page = read.next_page;
    }
    if (level != expected) {
      faults.push_back(
          {remedy, what + ": the pages of a level are not linked in the order their parents name them"});
    }
    expected = std::move(children);
  }
  return tree;
}

// Rows whose computed keys are equal, all-null ones aside; the first of them, if any.
size_t SharedComputedKeys(const IndexKeys& keys, std::optional<uint32_t>& first) {
  std::vector<RowKey> by_key;
  for (const RowKey& key : keys.keys) {
    if (!key.all_null) by_key.push_back(key);
  }
  std::sort(by_key.begin(), by_key.end(), [](const RowKey& a, const RowKey& b) {
    return a.hash != b.hash ? a.hash < b.hash : a.row < b.row;
  });
  size_t shared = 0;
  for (size_t k = 1; k < by_key.size(); ++k) {
    if (by_key[k].hash == by_key[k - 1].hash && shared++ == 0) first = by_key[k].row;
  }
  return shared;
}

}  // namespace

IndexFindings CheckIndex(PageCache& pages, const Format& format, const std::string& what,
                         const RealIndex& index, const IndexKeys& keys, const std::vector<uint32_t>& mapped,
                         const std::vector<uint32_t>& live, const std::vector<uint32_t>& foreign,
                         Remedy remedy) {
  IndexFindings findings;
  std::vector<Fault>& faults = findings.faults;
  findings.tree = WalkTree(pages, format, what, index.root_page, remedy, faults);
  if (std::vector<uint32_t>(findings.tree.begin(), findings.tree.end()) != mapped) {
    faults.push_back({remedy, what + ": its usage map does not list exactly the pages of its tree"});
  }

  const bool compared = keys.encoder && keys.not_compared.empty();
  for (uint32_t page : foreign) findings.on_foreign[page] = 0;
  IndexReader entries(pages, format, index.root_page);
  IndexEntry entry;
  std::vector<uint8_t> previous, current;  // an entry's key and row pointer, as entries sort
  std::vector<uint32_t> named;
  std::optional<uint32_t> first_mismatch, first_shared;
  size_t mismatches = 0, shared = 0;
  for (bool first = true; entries.Next(entry); first = false) {
    const uint32_t row = PackRowPointer(entry.data_page, entry.data_row);
    current = entry.key;
    AppendEntryPointer(current, row);
    if (!first && !(previous < current)) {
      faults.push_back({remedy, what + ": entries are out of order at " + RowName(row)});
    }
    // Stored keys tell equal values apart only where computed ones are not compared.
    if (!first && !compared && index.unique() && previous.size() == current.size() &&
        std::equal(entry.key.begin(), entry.key.end(), previous.begin()) && !IsAllNullKey(index, entry.key) &&
        shared++ == 0) {
      first_shared = row;
    }
    previous.swap(current);
    if (auto on_foreign = findings.on_foreign.find(entry.data_page);
        on_foreign != findings.on_foreign.end()) {
      ++on_foreign->second;
      continue;
    }
    named.push_back(row);
    // An entry naming no row is a fault of the one-to-one match below.
    if (!compared) continue;
    auto found = std::lower_bound(keys.keys.begin(), keys.keys.end(), RowKey{row, 0, false});
    if (found != keys.keys.end() && found->row == row && found->hash != KeyHash(entry.key) &&
        mismatches++ == 0) {
      first_mismatch = row;
    }
  }
  if (first_mismatch) {
    faults.push_back(
        {remedy,
         what + ": the key of " + RowName(*first_mismatch) + " does not match the row's values" +
             (mismatches > 1 ? " (nor do " + std::to_string(mismatches - 1) + " more entries' keys)" : "")});
  }
  std::sort(named.begin(), named.end());
  const bool subset = std::includes(live.begin(), live.end(), named.begin(), named.end()) &&
                      std::adjacent_find(named.begin(), named.end()) == named.end();
  if (!subset || (!index.ignores_nulls() && named.size() != live.size())) {
    faults.push_back({remedy, what + " has " + std::to_string(named.size()) +
                                  " entries that do not match the " + std::to_string(live.size()) +
                                  " rows one to one"});
  }
  if (compared && index.unique()) shared = SharedComputedKeys(keys, first_shared);
  if (shared > 0) {
    faults.push_back({Remedy::kRowsLost,
                      what + " is unique, but " + RowName(*first_shared) + " has the key of another row" +
                          (shared > 1 ? " (and " + Count(shared - 1, "more row") + ")" : "")});
  }
  return findings;
}

}  // namespace vintrel::jet
