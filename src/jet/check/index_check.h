// The check of one index against its table's rows:
//
//   - its tree, level by level from the root: each level's pages, linked left to right, are
//     the children its parent level names, in the same order (an intermediate page's tail
//     page is its last child, after those its entries name), and its usage map lists
//     exactly the tree's pages;
//   - its entries, in strictly increasing order of key and row pointer, name every live row
//     once (an index that ignores nulls may leave rows out) and no other row;
//   - each entry's key is the key computed from its row (row_keys.h), where keys are
//     compared;
//   - in a unique index no two rows share a key, all-null keys aside: by the computed keys
//     where they are compared, by the stored ones otherwise.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "jet/check/integrity_check.h"
#include "jet/check/row_keys.h"
#include "jet/io/page_cache.h"
#include "jet/pages/table_definition.h"

namespace vintrel::jet {

struct IndexFindings {
  std::vector<Fault> faults;
  std::set<uint32_t> tree;                // the pages of the index, to be claimed
  std::map<uint32_t, size_t> on_foreign;  // entries naming rows on each foreign page
};

// `what` names the index in faults, `mapped` are the pages its usage map lists, `live` the
// table's live row pointers (sorted) and `foreign` the pages its map lists that are not its
// data pages: entries naming rows there are counted, not matched. Damage to the index is a
// fault with `remedy`; rows sharing a key in a unique index lose rows. Raises a JetError
// for a tree that does not read.
IndexFindings CheckIndex(PageCache& pages, const Format& format, const std::string& what,
                         const RealIndex& index, const IndexKeys& keys, const std::vector<uint32_t>& mapped,
                         const std::vector<uint32_t>& live, const std::vector<uint32_t>& foreign,
                         Remedy remedy);

}  // namespace vintrel::jet
