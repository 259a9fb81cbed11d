#pragma once
// Builds an installer that carries a demo screen saver: a copy of the installer program, then
// behind its trailer the saver's info record and the complete screen-saver file (which ends in
// its own trailer), then the installer's trailer.

#include <string>

#include "tools/DemoSaver.h"

namespace demosaver {

// Appends Info's record and the bytes of SaverFile to a copy of InstallerHost, written as Out
// (mode 0755; Out appears complete or not at all).
void MakeInstallerFromSaver(const std::string& InstallerHost, const std::string& SaverFile,
                            const std::string& Out);
// The same with a demo saver made from SaverHost and Options on the way.
void MakeInstallerFile(const std::string& InstallerHost, const std::string& SaverHost,
                       const std::string& Out, const TDemoOptions& Options);

}  // namespace demosaver
