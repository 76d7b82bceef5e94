#pragma once
// What the fuzz targets share: the check that stops a run at a disagreement
// with the model, and a reader of the fuzzer's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#define FUZZ_CHECK(cond, what)                          \
  do {                                                  \
    if (!(cond)) {                                      \
      std::fprintf(stderr, "disagreement: %s\n", what); \
      __builtin_trap();                                 \
    }                                                   \
  } while (0)

// Reads the input front to back; past its end every byte reads as 0.
struct FuzzReader {
  const uint8_t* data;
  std::size_t size;
  uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  // `bytes` bytes, most significant first.
  uint64_t Bits(int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = v << 8 | Byte();
    return v;
  }
};
