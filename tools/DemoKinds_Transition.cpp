#include "tools/DemoKinds.h"

namespace demosaver {

std::vector<TSequenceMaker> DemoTransitionMakers() { return {}; }

}  // namespace demosaver
