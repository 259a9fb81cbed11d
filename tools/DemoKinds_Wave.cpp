#include "tools/DemoKinds.h"

namespace demosaver {

std::vector<TSequenceMaker> DemoWaveMakers() { return {}; }

}  // namespace demosaver
