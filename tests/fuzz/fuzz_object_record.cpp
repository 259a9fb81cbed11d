// libFuzzer target: reads object records from arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/FuzzClasses.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static const bool Registered = [] {
    fuzzc::RegisterFuzzClasses();
    return true;
  }();
  (void)Registered;
  fuzzc::ReadRecords(Data, Size);
  return 0;
}
