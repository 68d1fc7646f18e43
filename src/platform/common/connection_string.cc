// Parsed in one pass, in UTF-16 throughout, since the strings arrive from the pass as they would
// go to the platform's provider. Keys are folded to lower case in ASCII only, which is enough
// for the provider's keys. Every malformed form raises the same description.
#include "platform/common/connection_string.h"

#include "compaction/raised_error.h"

namespace vintrel {
namespace {

constexpr char16_t kMalformed[] =
    u"The connection string is not a list of key=value pairs separated by semicolons.";

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::u16string Lower(std::u16string_view text) {
  std::u16string lower(text);
  for (char16_t& c : lower) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return lower;
}

// Reads one value starting at `position` (just after the `=`); leaves `position` at the `;`
// that ends it, or at the end.
std::u16string ReadValue(std::u16string_view text, size_t& position) {
  while (position < text.size() && IsSpace(text[position])) ++position;
  if (position < text.size() && (text[position] == u'"' || text[position] == u'\'')) {
    const char16_t quote = text[position++];
    std::u16string value;
    for (;;) {
      if (position >= text.size()) throw RaisedError(kMalformed);
      if (text[position] == quote) {
        if (position + 1 < text.size() && text[position + 1] == quote) {
          value += quote;
          position += 2;
          continue;
        }
        ++position;
        break;
      }
      value += text[position++];
    }
    while (position < text.size() && IsSpace(text[position])) ++position;
    if (position < text.size() && text[position] != u';') throw RaisedError(kMalformed);
    return value;
  }
  const size_t end = std::min(text.find(u';', position), text.size());
  std::u16string value(Trim(text.substr(position, end - position)));
  position = end;
  return value;
}

}  // namespace

ConnectionString ConnectionString::Parse(std::u16string_view text) {
  ConnectionString parsed;
  size_t position = 0;
  while (position < text.size()) {
    const size_t equals = text.find(u'=', position);
    const size_t semicolon = text.find(u';', position);
    if (semicolon < equals) {
      // An empty pair (`;;` or a trailing `;`) is allowed; a key without a value is not.
      if (!Trim(text.substr(position, semicolon - position)).empty()) throw RaisedError(kMalformed);
      position = semicolon + 1;
      continue;
    }
    if (equals == std::u16string_view::npos) {
      if (!Trim(text.substr(position)).empty()) throw RaisedError(kMalformed);
      break;
    }
    const std::u16string_view key = Trim(text.substr(position, equals - position));
    if (key.empty()) throw RaisedError(kMalformed);
    position = equals + 1;
    parsed.values_[Lower(key)] = ReadValue(text, position);
    if (position < text.size()) ++position;  // the `;`
  }
  return parsed;
}

std::optional<std::u16string> ConnectionString::Get(std::u16string_view key) const {
  const auto found = values_.find(Lower(key));
  if (found == values_.end()) return std::nullopt;
  return found->second;
}

}  // namespace vintrel
