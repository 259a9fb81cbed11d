#include "tools/DemoKinds.h"

namespace demosaver {

std::vector<TSequenceMaker> DemoLogoMakers() { return {}; }

}  // namespace demosaver
