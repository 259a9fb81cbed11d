// Throughput of an object record carrying a 64 MiB embedded stream, written and read back
// through a memory stream and through a file, beside a plain memcpy and a plain file copy of
// the same bytes.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "persistence/PropertyBags.h"
#include "persistence/ReflectionObjects.h"
#include "platform/Classes.h"

namespace {

constexpr int32_t PayloadSize = 64 << 20;

class TBenchMedia : public TReflectivePersistent {
  RIZ_REFLECTIVE(TBenchMedia, TReflectivePersistent)
public:
  int32_t MediaID = 0;
  TStream* Source = nullptr;  // written from here
  TStream* Dest = nullptr;    // read into here
  void WriteInnerProperties(TPropertyBag& Bag) override {
    Source->SetPosition(0);
    Bag.WriteStream("MediaContent", *Source);
  }
  void ReadInnerProperties(TPropertyBag& Bag) override { Bag.ReadStream("MediaContent", *Dest); }
};

}  // namespace

RIZ_PUBLISHED(TBenchMedia) {
  D.Integer("MediaID", &TBenchMedia::MediaID);
}

namespace {

TMemoryStream& Payload() {
  static TMemoryStream S = [] {
    TMemoryStream M;
    M.SetSize(static_cast<int64_t>(PayloadSize));
    for (int32_t I = 0; I < PayloadSize; ++I) M.Memory()[I] = static_cast<uint8_t>(I * 2654435761u >> 24);
    return M;
  }();
  return S;
}

std::string TempName(const char* Tag) {
  const char* Dir = std::getenv("TMPDIR");
  return std::string(Dir && *Dir ? Dir : "/tmp") + "/rizuder-bench-" + Tag + "-" + std::to_string(getpid());
}

void WriteRecord(TStream& To) {
  TBenchMedia M;
  M.Source = &Payload();
  TStreamPropertyBag Bag(To);
  Bag.WriteObject(&M);
}

void ReadRecord(TStream& From, TStream& Into) {
  TBenchMedia M;
  M.Dest = &Into;
  TStreamPropertyBag Bag(From);
  TReflectivePersistent* P = &M;
  Bag.ReadObject(P);
}

void BM_RecordWrite_Memory(benchmark::State& State) {
  TMemoryStream Out;
  Out.SetSize(static_cast<int64_t>(PayloadSize) + 65536);
  for (auto _ : State) {
    Out.SetPosition(0);
    WriteRecord(Out);
  }
  State.SetBytesProcessed(State.iterations() * int64_t{PayloadSize});
}

void BM_RecordRead_Memory(benchmark::State& State) {
  TMemoryStream Record;
  WriteRecord(Record);
  TMemoryStream Into;
  Into.SetSize(static_cast<int64_t>(PayloadSize));
  for (auto _ : State) {
    Record.SetPosition(0);
    Into.SetPosition(0);
    ReadRecord(Record, Into);
  }
  if (std::memcmp(Into.Memory(), Payload().Memory(), PayloadSize) != 0) State.SkipWithError("payload differs");
  State.SetBytesProcessed(State.iterations() * int64_t{PayloadSize});
}

void BM_RecordWrite_File(benchmark::State& State) {
  const std::string Name = TempName("write");
  for (auto _ : State) {
    TFileStream F(Name, fmCreate);
    WriteRecord(F);
  }
  std::remove(Name.c_str());
  State.SetBytesProcessed(State.iterations() * int64_t{PayloadSize});
}

void BM_RecordRead_File(benchmark::State& State) {
  const std::string Name = TempName("read");
  {
    TFileStream F(Name, fmCreate);
    WriteRecord(F);
  }
  const std::string Copy = TempName("readcopy");
  for (auto _ : State) {
    TFileStream In(Name, fmOpenRead | fmShareDenyWrite);
    TFileStream Out(Copy, fmCreate);
    ReadRecord(In, Out);
  }
  std::remove(Name.c_str());
  std::remove(Copy.c_str());
  State.SetBytesProcessed(State.iterations() * int64_t{PayloadSize});
}

void BM_PlainMemcpy(benchmark::State& State) {
  std::vector<uint8_t> To(PayloadSize);
  for (auto _ : State) {
    std::memcpy(To.data(), Payload().Memory(), PayloadSize);
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * int64_t{PayloadSize});
}

// read()/write() in 64 KiB steps, as a plain copy program does.
void BM_PlainFileCopy(benchmark::State& State) {
  const std::string From = TempName("from");
  const std::string To = TempName("to");
  {
    TFileStream F(From, fmCreate);
    F.WriteBuffer(Payload().Memory(), PayloadSize);
  }
  std::vector<char> Buf(65536);
  for (auto _ : State) {
    const int In = ::open(From.c_str(), O_RDONLY);
    const int Out = ::open(To.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
    ssize_t N;
    while ((N = ::read(In, Buf.data(), Buf.size())) > 0)
      if (::write(Out, Buf.data(), static_cast<size_t>(N)) != N) State.SkipWithError("short write");
    ::close(In);
    ::close(Out);
  }
  std::remove(From.c_str());
  std::remove(To.c_str());
  State.SetBytesProcessed(State.iterations() * int64_t{PayloadSize});
}

}  // namespace

BENCHMARK(BM_RecordWrite_Memory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordRead_Memory)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainMemcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordWrite_File)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RecordRead_File)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainFileCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
