#include "persistence/CPUUtility.h"

#include "platform/Platform.h"

bool MMXAvailable = false;
bool ThreeDNowAvailable = false;

namespace {
bool GOverridden = false;
bool GMMX = false, G3DNow = false;

struct CPUUtilityStartup {
  CPUUtilityStartup() { DetectProcessorFeatures(); }
} GCPUUtilityStartup;
}  // namespace

void DetectProcessorFeatures() {
  if (!plat::HasCpuid()) return;
  if (plat::Cpuid(1).Edx & (1u << 23)) MMXAvailable = true;
  if (plat::Cpuid(0x80000000u).Eax >= 0x80000001u &&
      (plat::Cpuid(0x80000001u).Edx & (1u << 31)))
    ThreeDNowAvailable = true;
}

bool HasMMX() { return GOverridden ? GMMX : MMXAvailable; }
bool Has3DNow() { return GOverridden ? G3DNow : ThreeDNowAvailable; }

void OverrideProcessorFeatures(bool MMX, bool ThreeDNow) {
  GOverridden = true;
  GMMX = MMX;
  G3DNow = ThreeDNow;
}

void ClearProcessorOverride() { GOverridden = false; }
