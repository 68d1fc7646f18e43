#include "platform/common/compaction_request.h"

#include <algorithm>
#include <optional>

#include "compaction/raised_error.h"
#include "platform/common/connection_string.h"

namespace vintrel {
namespace {

constexpr std::u16string_view kProvider = u"Microsoft.Jet.OLEDB.4.0";
constexpr std::u16string_view kJet4EngineType = u"5";

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

std::u16string DataSource(const ConnectionString& connection) {
  std::optional<std::u16string> provider = connection.Get(u"Provider");
  if (!provider || !EqualIgnoringCase(*provider, kProvider)) {
    throw RaisedError(u"Provider cannot be found. It may not be properly installed.");
  }
  std::optional<std::u16string> source = connection.Get(u"Data Source");
  if (!source || source->empty()) {
    throw RaisedError(u"The connection string names no Data Source.");
  }
  return *source;
}

}  // namespace

CompactionRequest ReadCompactionRequest(std::u16string_view source, std::u16string_view destination) {
  const ConnectionString from = ConnectionString::Parse(source);
  const ConnectionString to = ConnectionString::Parse(destination);
  CompactionRequest request{DataSource(from), DataSource(to)};
  std::optional<std::u16string> engine_type = to.Get(u"Jet OLEDB:Engine Type");
  if (engine_type && *engine_type != kJet4EngineType) {
    throw RaisedError(u"Jet OLEDB:Engine Type " + *engine_type +
                      u" is not supported: the copy can only be written as 5, the Jet 4 format.");
  }
  return request;
}

}  // namespace vintrel
