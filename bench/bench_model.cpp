// Reading a screen saver's appended data as the show does (media unpacked to temporary files,
// the font installed, everything freed again), beside plain copies of the same number of bytes.

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/ScreenSaverFiles.h"
#include "persistence/ApplicationData.h"
#include "platform/Platform.h"
#include "tools/DemoSaver.h"

namespace {

namespace fs = std::filesystem;

std::string GDir;

// The demo with one extra medium of MiB mebibytes; made once per size.
const std::string& DemoFile(int MiB) {
  static std::vector<std::pair<int, std::string>> Made;
  for (const auto& [Size, Path] : Made)
    if (Size == MiB) return Path;
  const std::string Host = GDir + "/host.bin";
  if (!fs::exists(Host)) {
    std::FILE* F = std::fopen(Host.c_str(), "wb");
    std::fputs("a program image stands here", F);
    std::fclose(F);
  }
  demosaver::TDemoOptions Options;
  Options.HugeMediumBytes = int64_t{MiB} << 20;
  const std::string Out = GDir + "/demo" + std::to_string(MiB) + ".scr";
  demosaver::MakeScreenSaverFile(Host, Out, Options);
  Made.emplace_back(MiB, Out);
  return Made.back().second;
}

int64_t DataSize(const std::string& File) {
  TApplicationDataStream S(File, adaRead);
  return S.Size();
}

void BM_ReadDemoSaver(benchmark::State& State) {
  const std::string& File = DemoFile(static_cast<int>(State.range(0)));
  plat::SetProgramFileName(File);
  for (auto _ : State) {
    std::unique_ptr<TScreenSaverInfo> Info;
    std::unique_ptr<TScreenSaverProject> Project;
    LoadScreenSaverInfoAndProject(Info, Project);
    if (!Project) State.SkipWithError("the demo did not load");
  }
  State.SetBytesProcessed(State.iterations() * DataSize(File));
}
BENCHMARK(BM_ReadDemoSaver)->Arg(0)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same bytes through a 64 KiB buffer with read and write, into a file that is deleted.
void BM_PlainCopy64K(benchmark::State& State) {
  const std::string& File = DemoFile(static_cast<int>(State.range(0)));
  const int64_t Size = DataSize(File);
  const std::string Dest = GDir + "/copy.bin";
  std::vector<char> Buf(65536);
  for (auto _ : State) {
    const int In = ::open(File.c_str(), O_RDONLY);
    const int Out = ::open(Dest.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    for (int64_t Left = Size; Left > 0;) {
      const ssize_t N = ::read(In, Buf.data(), static_cast<size_t>(std::min<int64_t>(Left, 65536)));
      if (N <= 0 || ::write(Out, Buf.data(), static_cast<size_t>(N)) != N) {
        State.SkipWithError("copy failed");
        break;
      }
      Left -= N;
    }
    ::close(In);
    ::close(Out);
    ::unlink(Dest.c_str());
  }
  State.SetBytesProcessed(State.iterations() * Size);
}
BENCHMARK(BM_PlainCopy64K)->Arg(0)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole file copied by the system's own copy (copy_file_range or sendfile).
void BM_SystemCopy(benchmark::State& State) {
  const std::string& File = DemoFile(static_cast<int>(State.range(0)));
  const std::string Dest = GDir + "/copy.bin";
  for (auto _ : State) {
    fs::copy_file(File, Dest, fs::copy_options::overwrite_existing);
    fs::remove(Dest);
  }
  State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(fs::file_size(File)));
}
BENCHMARK(BM_SystemCopy)->Arg(0)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::string Tmpl = fs::temp_directory_path().string() + "/bench-model-XXXXXX";
  if (!::mkdtemp(Tmpl.data())) return 1;
  GDir = Tmpl;
  // Media and fonts are unpacked here, not among the system's temporary files.
  setenv("TMPDIR", GDir.c_str(), 1);
  QGuiApplication App(argc, argv);
  RegisterModelClasses();
  plat::SetMessageBoxSink([](const plat::MessageBoxRequest&) { return plat::IDOK; });
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code Ec;
  fs::remove_all(GDir, Ec);
  return 0;
}
