#include "tools/DemoKinds.h"

namespace demosaver {

std::vector<TSequenceMaker> DemoTextMakers() { return {}; }

}  // namespace demosaver
