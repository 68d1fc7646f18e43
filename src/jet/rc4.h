// RC4, with which Jet masks part of its first page and, when a database key is set, every
// further page.
#pragma once

#include <cstdint>
#include <span>

namespace vintrel::jet {

// XORs `data` in place with the RC4 stream of `key`.
void ApplyRc4(std::span<const uint8_t> key, std::span<uint8_t> data);

}  // namespace vintrel::jet
