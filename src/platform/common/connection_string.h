// OLE DB connection strings: `key=value` pairs separated by `;`. Keys are case-insensitive,
// spaces around keys and values are ignored, and a value may be quoted with ' or " (a quote
// character is doubled inside such a value) so that it can hold `;` and spaces.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vintrel {

class ConnectionString {
 public:
  // Raises RaisedError with the provider's text when the string is malformed.
  static ConnectionString Parse(std::u16string_view text);

  // The value of `key`; where a key is given twice, the last one counts.
  std::optional<std::u16string> Get(std::u16string_view key) const;

 private:
  std::map<std::u16string, std::u16string> values_;  // by key in lower case
};

}  // namespace vintrel
