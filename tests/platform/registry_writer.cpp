// Writes Count integer values "<prefix><i>" = i under Key, one store transaction each.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Registry.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const int Count = std::atoi(argv[3]);
  try {
    for (int I = 0; I < Count; ++I) {
      TRegistry R;
      R.SetRootKey(HKEY_CURRENT_USER);
      if (!R.OpenKey(argv[1], true)) return 3;
      R.WriteInteger(argv[2] + std::to_string(I), I);
    }
  } catch (const std::exception& E) {
    std::fprintf(stderr, "%s\n", E.what());
    return 1;
  }
  return 0;
}
