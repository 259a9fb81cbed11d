#include "tests/support/TestEnv.h"

#include "platform/MediaPlayer.h"
#include "platform/SysUtils.h"

#include <QApplication>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace testsupport {

namespace {
std::string GDir;
std::string GBase;  // taken before any test changes TMPDIR
// The process whose test uses a folder holds a lock on it, which goes with the process even
// when it is killed: a later run tells a forsaken folder from one in use by that lock.
constexpr const char FolderPrefix[] = "rizuder-tests-";
int GDirLock = -1;

bool SameFile(int Fd, const std::string& Path) {
  struct stat A {}, B {};
  return fstat(Fd, &A) == 0 && lstat(Path.c_str(), &B) == 0 && A.st_dev == B.st_dev && A.st_ino == B.st_ino;
}

// A new folder under GBase, locked before anything is put inside it.
std::string MakeLockedFolder() {
  for (int Try = 0; Try < 100; ++Try) {
    std::string Dir = GBase + "/" + FolderPrefix + "XXXXXX";
    if (!mkdtemp(Dir.data())) break;
    const int Fd = open(Dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (Fd < 0) continue;
    // Without locks on this file system nothing is cleared either: the folder is used as it is.
    if (flock(Fd, LOCK_EX) != 0 || SameFile(Fd, Dir)) {
      GDirLock = Fd;
      return Dir;
    }
    // Another run cleared it between its making and its locking.
    close(Fd);
  }
  std::abort();
}

// Removes the folders that runs killed before their end left behind.
void ClearForsakenFolders() {
  std::vector<fs::path> Found;
  std::error_code Ec;
  for (const auto& E : fs::directory_iterator(GBase, Ec))
    if (E.path().filename().string().starts_with(FolderPrefix)) Found.push_back(E.path());
  for (const fs::path& P : Found) {
    const int Fd = open(P.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (Fd < 0) continue;
    if (flock(Fd, LOCK_EX | LOCK_NB) == 0) fs::remove_all(P, Ec);
    close(Fd);
  }
}
std::vector<plat::MessageBoxRequest> GBoxes;
std::deque<int> GAnswers;

int RecordBox(const plat::MessageBoxRequest& R) {
  GBoxes.push_back(R);
  if (!GAnswers.empty()) {
    const int A = GAnswers.front();
    GAnswers.pop_front();
    return A;
  }
  if ((R.Flags & 0x0F) == plat::MB_YESNO) return (R.Flags & plat::MB_DEFBUTTON2) ? plat::IDNO : plat::IDYES;
  return plat::IDOK;
}

class IsolatingListener : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    GDir = MakeLockedFolder();
    for (const char* Sub : {"config", "data", "tmp"}) fs::create_directories(GDir + "/" + Sub);
    setenv("XDG_CONFIG_HOME", (GDir + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (GDir + "/data").c_str(), 1);
    setenv("TMPDIR", (GDir + "/tmp").c_str(), 1);
    // The private runtime directory (the single-instance socket lives there).
    fs::create_directory(GDir + "/run");
    fs::permissions(GDir + "/run", fs::perms::owner_all, fs::perm_options::replace);
    setenv("XDG_RUNTIME_DIR", (GDir + "/run").c_str(), 1);
    unsetenv("RIZUDER_SYSTEM_DIR");
    unsetenv("RIZUDER_REGISTRY_DIR");
    unsetenv("RIZUDER_PLATFORM");
    unsetenv("RIZUDER_STANDIN_DIR");
    unsetenv("PULSE_SERVER");  // a sound server only where a test starts its own
    GBoxes.clear();
    GAnswers.clear();
    plat::SetMessageBoxSink(RecordBox);
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    plat::SetTickHook({});
    plat::SetNowHook(nullptr);
    plat::SetShellHook({});
    plat::SetProgramFileName({});
    std::error_code Ec;
    if (!GDir.empty()) fs::remove_all(GDir, Ec);
    GDir.clear();
    if (GDirLock >= 0) close(GDirLock);
    GDirLock = -1;
  }
};
}  // namespace

const std::string& TestDir() { return GDir; }
std::string TempDir() { return GDir + "/tmp"; }
const std::vector<plat::MessageBoxRequest>& MessageBoxes() { return GBoxes; }
void QueueMessageBoxAnswer(int Answer) { GAnswers.push_back(Answer); }

std::vector<std::string> ListDir(const std::string& Dir) {
  std::vector<std::string> R;
  std::error_code Ec;
  for (const auto& E : fs::directory_iterator(Dir, Ec)) R.push_back(E.path().filename().string());
  std::sort(R.begin(), R.end());
  return R;
}

std::string ReadFileBytes(const std::string& Path) {
  std::ifstream F(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(F), {});
}

void WriteFileBytes(const std::string& Path, const std::string& Bytes) {
  std::ofstream F(Path, std::ios::binary | std::ios::trunc);
  F.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

std::string BuildPath(const std::string& Relative) {
  if (const char* Bin = std::getenv("RIZUDER_TEST_BIN"); Bin && *Bin) return std::string(Bin) + "/" + Relative;
  // Run by hand: the build tree holds this program under tests/<folder>/.
  std::string Self = fs::read_symlink("/proc/self/exe").string();
  const size_t At = Self.rfind("/tests/");
  return (At == std::string::npos ? std::string(".") : Self.substr(0, At)) + "/" + Relative;
}

std::string SourcePath(const std::string& Relative) {
  return std::string(RIZUDER_SOURCE_DIR) + "/" + Relative;
}

}  // namespace testsupport

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  testsupport::GBase = fs::temp_directory_path().string();
  testsupport::ClearForsakenFolders();
  ::testing::InitGoogleTest(&argc, argv);
  QApplication App(argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new testsupport::IsolatingListener);
  const int Result = RUN_ALL_TESTS();
  plat::EndMedia(Result);
  return Result;
}
