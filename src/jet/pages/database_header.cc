#include "jet/pages/database_header.h"

#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <algorithm>
#include <vector>

#include "jet/coding.h"
#include "jet/jet_error.h"
#include "jet/rc4.h"

namespace vintrel::jet {
namespace {

// The masked area is RC4 with a fixed key: applying it masks and unmasks alike.
void ToggleMask(std::span<uint8_t> bytes, const Format& format) {
  constexpr uint8_t kMaskKey[4] = {kHeaderMaskKey & 0xFF, (kHeaderMaskKey >> 8) & 0xFF,
                                   (kHeaderMaskKey >> 16) & 0xFF, kHeaderMaskKey >> 24};
  ApplyRc4(kMaskKey, bytes.subspan(kMaskedAreaOffset, format.masked_area_size));
}

// The integer part of the creation date as four little-endian bytes.
std::array<uint8_t, 4> PasswordMask(const ByteView& page) {
  double date = page.F64(kCreationDateOffset);
  int32_t whole = 0;
  if (std::isfinite(date) && date > INT32_MIN && date < INT32_MAX) whole = static_cast<int32_t>(date);
  uint32_t bits = static_cast<uint32_t>(whole);
  return {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
          static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
}

constexpr size_t kJet4VersionOffset = 0x98;
constexpr uint8_t kJet4Version[8] = {0x54, 0x06, 0x00, 0x00, '4', '.', '0', 0x00};
constexpr size_t kTrailerSize = 512;

}  // namespace

DatabaseHeader ReadDatabaseHeader(const PageSource& source, const std::string& path) {
  const std::string unrecognized = "Unrecognized database format '" + path + "'.";
  constexpr size_t kNeeded = kMaskedAreaOffset + 128;
  if (source.size() < kNeeded) throw JetError(unrecognized);
  std::vector<uint8_t> bytes(kNeeded);
  source.Read(0, bytes);
  if (bytes[0] != static_cast<uint8_t>(PageType::kDatabaseDefinition) ||
      std::memcmp(bytes.data() + kSignatureOffset, kJetSignature, sizeof kJetSignature) != 0) {
    throw JetError(unrecognized);
  }
  DatabaseHeader header{};
  switch (bytes[kVersionOffset]) {
    case 0: header.format = &kJet3Format; break;
    case 1: header.format = &kJet4Format; break;
    default: throw JetError(unrecognized);
  }
  const Format& format = *header.format;
  if (source.size() < format.page_size * 3ULL) {
    RaiseDamaged("database definition", 0,
                 "the file holds fewer than the three pages every database has");
  }
  ToggleMask(bytes, format);

  ByteView page(bytes, "database definition", 0);
  header.code_page = page.U16(kCodePageOffset);
  header.database_key = page.U32(kDatabaseKeyOffset);
  header.sort_order = format.version == Version::kJet3 ? page.U16(kSortOrderOffsetJet3)
                                                       : page.U32(kSortOrderOffsetJet4);
  std::array<uint8_t, 4> mask{};
  if (format.version == Version::kJet4) mask = PasswordMask(page);
  for (size_t i = 0; i < format.password_size; ++i) {
    if ((page.U8(kPasswordOffset + i) ^ mask[i % 4]) != 0) header.has_password = true;
  }
  return header;
}

std::vector<uint8_t> Jet4DefinitionPage(std::span<const uint8_t> jet3_page, double created) {
  std::vector<uint8_t> source(jet3_page.begin(), jet3_page.end());
  ToggleMask(source, kJet3Format);
  ByteView jet3(source, "database definition", 0);
  std::vector<uint8_t> page(kJet4Format.page_size, 0);
  // The signature, then the masked area's leading fields up to Jet 3's sort order.
  std::copy_n(source.begin(), kSortOrderOffsetJet3 - 2, page.begin());
  page[kVersionOffset] = 1;
  PutU16(page, kCodePageOffset, jet3.U16(kCodePageOffset));
  PutU32(page, kSortOrderOffsetJet4, kGeneralSortOrder);
  std::memcpy(page.data() + kCreationDateOffset, &created, sizeof created);
  const std::array<uint8_t, 4> mask = PasswordMask(ByteView(page, "database definition", 0));
  for (size_t i = 0; i < kJet4Format.password_size; ++i) page[kPasswordOffset + i] = mask[i % 4];
  std::copy(std::begin(kJet4Version), std::end(kJet4Version), page.begin() + kJet4VersionOffset);
  std::copy(source.end() - kTrailerSize, source.end(), page.end() - kTrailerSize);
  ToggleMask(page, kJet4Format);
  return page;
}

std::vector<uint8_t> PlainDefinitionPage(std::span<const uint8_t> page, const Format& format) {
  std::vector<uint8_t> bytes(page.begin(), page.end());
  ToggleMask(bytes, format);
  PutU32(bytes, kDatabaseKeyOffset, 0);
  ToggleMask(bytes, format);
  return bytes;
}

}  // namespace vintrel::jet
