#pragma once
// Every test runs in its own directories: XDG_CONFIG_HOME, XDG_DATA_HOME and TMPDIR point into
// a fresh folder that is removed afterwards; a folder that a killed run left behind is removed
// by the next test program that starts. Message boxes are recorded, never shown.

#include <deque>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace testsupport {

// How long a test waits for something that should happen: far beyond what a loaded machine
// needs, so that only a fault runs into it. Waiting costs nothing when it happens at once.
constexpr int PatientMs = 60000;

// The current test's own folder (with config/, data/ and tmp/ inside).
const std::string& TestDir();
// The current test's temporary directory (TMPDIR), without trailing '/'.
std::string TempDir();
// Message boxes requested since the test started.
const std::vector<plat::MessageBoxRequest>& MessageBoxes();
// Answers for the next message boxes, in order; afterwards every box answers its default.
void QueueMessageBoxAnswer(int Answer);
// Files in a directory (names only), sorted.
std::vector<std::string> ListDir(const std::string& Dir);
// Whole file as bytes / write bytes to a file.
std::string ReadFileBytes(const std::string& Path);
void WriteFileBytes(const std::string& Path, const std::string& Bytes);
// Path of a built program or helper in the build tree (RIZUDER_TEST_BIN or the test's folder).
std::string BuildPath(const std::string& Relative);
// Path of a file in the source tree.
std::string SourcePath(const std::string& Relative);

}  // namespace testsupport
