// The libFuzzer entry: every input is played on the game's own scenes.
#include <cstddef>
#include <cstdint>

#include "fuzz/player.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::play(data, size);
  return 0;
}
