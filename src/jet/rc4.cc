// Plain RC4, written out because it is only a few lines. The key schedule runs on every call:
// each page is masked with a key of its own (the database key with its page number mixed in),
// so there is no state to keep between calls.
#include "jet/rc4.h"

#include <array>
#include <numeric>
#include <utility>

namespace vintrel::jet {

void ApplyRc4(std::span<const uint8_t> key, std::span<uint8_t> data) {
  std::array<uint8_t, 256> state;
  std::iota(state.begin(), state.end(), 0);
  uint8_t j = 0;
  for (size_t i = 0; i < state.size(); ++i) {
    j = static_cast<uint8_t>(j + state[i] + key[i % key.size()]);
    std::swap(state[i], state[j]);
  }
  uint8_t a = 0;
  uint8_t b = 0;
  for (uint8_t& byte : data) {
    a = static_cast<uint8_t>(a + 1);
    b = static_cast<uint8_t>(b + state[a]);
    std::swap(state[a], state[b]);
    byte ^= state[static_cast<uint8_t>(state[a] + state[b])];
  }
}

}  // namespace vintrel::jet
