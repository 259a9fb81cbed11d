// Stand-ins for the 9x password modules: they record their call in $RIZUDER_STANDIN_LOG.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
void Log(const char* What, const char* Provider, uintptr_t Window) {
  if (const char* Path = std::getenv("RIZUDER_STANDIN_LOG")) {
    if (FILE* F = std::fopen(Path, "a")) {
      std::fprintf(F, "%s %s %lu\n", What, Provider ? Provider : "-", static_cast<unsigned long>(Window));
      std::fclose(F);
    }
  }
}
}  // namespace

extern "C" {
#ifdef STANDIN_MPR
__attribute__((visibility("default"))) unsigned PwdChangePasswordA(const char* Provider, uintptr_t Window,
                                                                   unsigned, unsigned) {
  Log("PwdChangePasswordA", Provider, Window);
  return 0;
}
#endif
#ifdef STANDIN_PASSWORD
__attribute__((visibility("default"))) int VerifyScreenSavePwd(uintptr_t Window) {
  Log("VerifyScreenSavePwd", nullptr, Window);
  const char* Answer = std::getenv("RIZUDER_STANDIN_ANSWER");
  return Answer && Answer[0] == '1';
}
#endif
#ifdef STANDIN_EMPTY
__attribute__((visibility("default"))) int Unrelated() { return 0; }
#endif
}
