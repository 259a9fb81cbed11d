// The fuzzer's seed corpus is what the writer writes (set RIZUDER_UPDATE_TEST_INPUTS=1 to write
// it again, together with the hand-made malformed inputs); every seed reads without error and
// every malformed input kept under the tests ends in an error.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/fuzz/FuzzClasses.h"
#include "tests/persistence/HostileInputs.h"
#include "tests/support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

const std::string SeedDir = std::string(RIZUDER_SOURCE_DIR) + "/tests/fuzz/corpus/object_record";
const std::string MalformedDir = std::string(RIZUDER_SOURCE_DIR) + "/tests/persistence/test-inputs/malformed";

bool Updating() { return std::getenv("RIZUDER_UPDATE_TEST_INPUTS") != nullptr; }

class FuzzCorpus : public ::testing::Test {
protected:
  void SetUp() override { fuzzc::RegisterFuzzClasses(); }
};

fuzzc::TReadOutcome Read(const std::string& B) {
  return fuzzc::ReadRecords(reinterpret_cast<const uint8_t*>(B.data()), B.size());
}

}  // namespace

TEST_F(FuzzCorpus, SeedsAreWhatTheWriterWrites) {
  if (Updating()) {
    fs::create_directories(SeedDir);
    for (const auto& [Name, Bytes] : fuzzc::SeedRecords()) testsupport::WriteFileBytes(SeedDir + "/" + Name, Bytes);
    fs::create_directories(MalformedDir);
    for (const HostileInput& H : HostileInputs())
      testsupport::WriteFileBytes(MalformedDir + "/hand-made-" + H.Name + ".bin", H.Bytes);
  }
  for (const auto& [Name, Bytes] : fuzzc::SeedRecords())
    EXPECT_EQ(testsupport::ReadFileBytes(SeedDir + "/" + Name), Bytes) << Name;
}

TEST_F(FuzzCorpus, EverySeedReadsWithoutError) {
  int Seeds = 0;
  for (const auto& E : fs::directory_iterator(SeedDir)) {
    const fuzzc::TReadOutcome R = Read(testsupport::ReadFileBytes(E.path().string()));
    EXPECT_FALSE(R.Failed) << E.path() << ": " << R.Error;
    EXPECT_GE(R.Records, 1) << E.path();
    ++Seeds;
  }
  EXPECT_GE(Seeds, 5);
}

TEST_F(FuzzCorpus, EveryMalformedInputEndsInAnError) {
  int Inputs = 0;
  for (const auto& E : fs::directory_iterator(MalformedDir)) {
    const fuzzc::TReadOutcome R = Read(testsupport::ReadFileBytes(E.path().string()));
    EXPECT_TRUE(R.Failed) << E.path();
    ++Inputs;
  }
  EXPECT_GE(Inputs, static_cast<int>(HostileInputs().size()));
}
