#pragma once
// The installer's main block: the forms in their order, the backdrop as main form, the loop.
// Returns the exit code: 0 after the wizard, 1 when the carried screen saver could not be read.
int InstallerEntry();
