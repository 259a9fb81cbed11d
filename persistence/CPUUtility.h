#pragma once
// Processor features, taken once at start-up.

extern bool MMXAvailable;
extern bool ThreeDNowAvailable;

bool HasMMX();
bool Has3DNow();
// Reads the processor (run once at start-up; a flag is only ever set, never cleared).
void DetectProcessorFeatures();

// Tests force each path; ClearProcessorOverride returns to the detected flags.
void OverrideProcessorFeatures(bool MMX, bool ThreeDNow);
void ClearProcessorOverride();
