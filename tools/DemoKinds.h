#pragma once
// The demo show's sequences of the later kinds, one function per kind, each in its own file.
// DemoSequences() plays the basic kinds first, then these in this order.

#include <vector>

#include "tools/DemoSaver.h"

namespace demosaver {

// Puts transitions in front of blendable sequences already in the project (never the first).
std::vector<TSequenceMaker> DemoTransitionMakers();
std::vector<TSequenceMaker> DemoLogoMakers();
std::vector<TSequenceMaker> DemoTextMakers();
std::vector<TSequenceMaker> DemoWaveMakers();

}  // namespace demosaver
