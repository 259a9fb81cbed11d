// Full-screen frame operations on 1600 x 1200 rasters, each on the plain and the fast path,
// beside memcpy of the same bytes (the memory bound) and pixman's composite of the equivalent
// operation (the peer). Bytes processed count one frame (7.68 MB) per iteration; the stretch is
// also measured over a table of enlarging, shrinking and odd sizes, beside pixman's.

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <iterator>
#include <random>
#include <string>

#include "graphics/GfxTool.h"
#include "graphics/GraphicObjects.h"
#include "persistence/CPUUtility.h"

namespace {

constexpr int W = 1600, H = 1200;
constexpr int64_t FrameBytes = int64_t(W) * H * 4;

void Randomize(TDIBRaster& R, uint32_t Seed) {
  std::mt19937 Rng(Seed);
  for (size_t I = 0; I < R.PixelCount(); ++I) R.Bits[I] = Rng() & 0x00FFFFFF;
}

// Range(0): 0 the plain path, 1 the fast path on SSE2, 2 the fast path on AVX2, 3 the fast path
// on SSSE3 (the last two where the processor has them; otherwise the run is skipped).
const char* const PathNames[] = {"plain", "fast sse2", "fast avx2", "fast ssse3"};

void ForcePath(benchmark::State& State) {
  const auto Level = State.range(0) == 2   ? gfx::TVectorLevel::AVX2
                     : State.range(0) == 3 ? gfx::TVectorLevel::SSSE3
                                           : gfx::TVectorLevel::SSE2;
  if (State.range(0) != 0 && (!gfx::FastPathsAvailable() || gfx::BestVectorLevel() < Level)) {
    State.SkipWithError("this processor lacks the vector unit");
    return;
  }
  OverrideProcessorFeatures(State.range(0) != 0, false);
  gfx::SetVectorLevel(Level);
  State.SetLabel(PathNames[State.range(0)]);
}

void Done(benchmark::State& State) {
  State.SetBytesProcessed(State.iterations() * FrameBytes);
  ClearProcessorOverride();
  gfx::SetVectorLevel(gfx::BestVectorLevel());
}

// The control needs a GUI; offscreen unless told otherwise.
void EnsureGui() {
  static int Argc = 1;
  static char Name[] = "bench_graphics";
  static char* Argv[] = {Name, nullptr};
  if (QCoreApplication::instance()) return;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static QApplication App(Argc, Argv);
}

pixman_image_t* Wrap(TDIBRaster& R) {
  return pixman_image_create_bits(PIXMAN_x8r8g8b8, R.Width, R.Height, R.Bits, R.Width * 4);
}

}  // namespace

static void BM_Memcpy(benchmark::State& State) {
  TDIBRaster A(W, H), B(W, H);
  Randomize(A, 1);
  for (auto _ : State) {
    std::memcpy(B.Bits, A.Bits, size_t(FrameBytes));
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * FrameBytes);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);

static void BM_Fade(benchmark::State& State) {
  ForcePath(State);
  TDIBRaster R(W, H);
  Randomize(R, 2);
  for (auto _ : State) {
    R.Fade(3);
    benchmark::ClobberMemory();
  }
  Done(State);
}
BENCHMARK(BM_Fade)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// Fade's peer: every pixel times a constant, in place (IN with a solid source).
static void BM_PixmanFade(benchmark::State& State) {
  TDIBRaster R(W, H);
  Randomize(R, 2);
  pixman_image_t* Dst = Wrap(R);
  const pixman_color_t C = {0, 0, 0, uint16_t(0xE000)};
  pixman_image_t* Solid = pixman_image_create_solid_fill(&C);
  for (auto _ : State) {
    pixman_image_composite32(PIXMAN_OP_IN, Solid, nullptr, Dst, 0, 0, 0, 0, 0, 0, W, H);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(Solid);
  pixman_image_unref(Dst);
  State.SetBytesProcessed(State.iterations() * FrameBytes);
}
BENCHMARK(BM_PixmanFade)->Unit(benchmark::kMicrosecond);

// Fade's other peer: source times a constant mask into a second picture.
static void BM_PixmanFadeSrcMask(benchmark::State& State) {
  TDIBRaster R(W, H), D(W, H);
  Randomize(R, 2);
  pixman_image_t* Src = Wrap(R);
  pixman_image_t* Dst = Wrap(D);
  const pixman_color_t C = {0, 0, 0, uint16_t(0xE000)};
  pixman_image_t* Mask = pixman_image_create_solid_fill(&C);
  for (auto _ : State) {
    pixman_image_composite32(PIXMAN_OP_SRC, Src, Mask, Dst, 0, 0, 0, 0, 0, 0, W, H);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(Mask);
  pixman_image_unref(Src);
  pixman_image_unref(Dst);
  State.SetBytesProcessed(State.iterations() * FrameBytes);
}
BENCHMARK(BM_PixmanFadeSrcMask)->Unit(benchmark::kMicrosecond);

static void BM_Blend(benchmark::State& State) {
  ForcePath(State);
  TDIBRaster A(W, H), B(W, H), D(W, H);
  Randomize(A, 3);
  Randomize(B, 4);
  TAlphaChannel Al(W, H);
  std::mt19937 Rng(5);
  for (size_t I = 0; I < Al.PixelCount(); ++I) Al.Data[I] = uint8_t(Rng());
  for (auto _ : State) {
    Al.Blend(&A, &B, &D);
    benchmark::ClobberMemory();
  }
  Done(State);
}
BENCHMARK(BM_Blend)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// Blend's peer: A through the alpha mask over B, written into B (OVER, x888 source, a8 mask).
static void BM_PixmanBlend(benchmark::State& State) {
  TDIBRaster A(W, H), B(W, H);
  Randomize(A, 3);
  Randomize(B, 4);
  std::unique_ptr<uint8_t[]> AlphaBits(new uint8_t[size_t(W) * H]);
  std::mt19937 Rng(5);
  for (size_t I = 0; I < size_t(W) * H; ++I) AlphaBits[I] = uint8_t(Rng());
  pixman_image_t* Src = Wrap(A);
  pixman_image_t* Dst = Wrap(B);
  pixman_image_t* Mask = pixman_image_create_bits(PIXMAN_a8, W, H, reinterpret_cast<uint32_t*>(AlphaBits.get()), W);
  for (auto _ : State) {
    pixman_image_composite32(PIXMAN_OP_OVER, Src, Mask, Dst, 0, 0, 0, 0, 0, 0, W, H);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(Mask);
  pixman_image_unref(Src);
  pixman_image_unref(Dst);
  State.SetBytesProcessed(State.iterations() * FrameBytes);
}
BENCHMARK(BM_PixmanBlend)->Unit(benchmark::kMicrosecond);

static void BM_CopyTo(benchmark::State& State) {
  ForcePath(State);
  TDIBRaster A(W, H), B(W, H);
  Randomize(A, 6);
  for (auto _ : State) {
    A.CopyTo(&B);
    benchmark::ClobberMemory();
  }
  Done(State);
}
BENCHMARK(BM_CopyTo)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

static void BM_CopyRect(benchmark::State& State) {
  ForcePath(State);
  TDIBRaster A(W, H), B(W, H);
  Randomize(A, 7);
  for (auto _ : State) {
    A.CopyRect(&B, A.BoundsRect());
    benchmark::ClobberMemory();
  }
  Done(State);
}
BENCHMARK(BM_CopyRect)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

static void BM_PixmanCopy(benchmark::State& State) {
  TDIBRaster A(W, H), B(W, H);
  Randomize(A, 6);
  pixman_image_t* Src = Wrap(A);
  pixman_image_t* Dst = Wrap(B);
  for (auto _ : State) {
    pixman_image_composite32(PIXMAN_OP_SRC, Src, nullptr, Dst, 0, 0, 0, 0, 0, 0, W, H);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(Src);
  pixman_image_unref(Dst);
  State.SetBytesProcessed(State.iterations() * FrameBytes);
}
BENCHMARK(BM_PixmanCopy)->Unit(benchmark::kMicrosecond);

static void BM_Clear(benchmark::State& State) {
  ForcePath(State);
  TDIBRaster A(W, H);
  for (auto _ : State) {
    A.Clear(0x00123456);
    benchmark::ClobberMemory();
  }
  Done(State);
}
BENCHMARK(BM_Clear)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

static void BM_PixmanFill(benchmark::State& State) {
  TDIBRaster A(W, H);
  for (auto _ : State) {
    pixman_fill(A.Bits, W, 32, 0, 0, W, H, 0x00123456);
    benchmark::ClobberMemory();
  }
  State.SetBytesProcessed(State.iterations() * FrameBytes);
}
BENCHMARK(BM_PixmanFill)->Unit(benchmark::kMicrosecond);

// The control's paint: its 1600 x 1200 raster stretched over a 1920 x 1200 client area, through
// the widget's own paint event into a picture (as into a backing store).
static void BM_PaintControl(benchmark::State& State) {
  EnsureGui();
  ForcePath(State);
  TCustomGraphics C;
  C.resize(1920, 1200);
  C.SetRasterSize(W, H);
  Randomize(*C.Raster(), 8);
  QImage Target(1920, 1200, QImage::Format_RGB32);
  for (auto _ : State) {
    C.render(&Target);
    benchmark::ClobberMemory();
  }
  Done(State);
}
BENCHMARK(BM_PaintControl)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

// The stretch alone, straight into a picture of the client's size.
static void BM_StretchToImage(benchmark::State& State) {
  ForcePath(State);
  TDIBRaster R(W, H);
  Randomize(R, 8);
  QImage Target(1920, 1200, QImage::Format_RGB32);
  plat::TPaintTarget DC(&Target);
  for (auto _ : State) {
    R.StretchToDC(&DC, 0, 0, W, H, 0, 0, 1920, 1200, plat::COLORONCOLOR);
    benchmark::ClobberMemory();
  }
  Done(State);
}
BENCHMARK(BM_StretchToImage)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

static void BM_PixmanStretch(benchmark::State& State) {
  TDIBRaster R(W, H);
  Randomize(R, 8);
  QImage Target(1920, 1200, QImage::Format_RGB32);
  pixman_image_t* Src = Wrap(R);
  pixman_image_t* Dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, 1920, 1200,
                                                 reinterpret_cast<uint32_t*>(Target.bits()), 1920 * 4);
  pixman_transform_t T;
  pixman_transform_init_scale(&T, pixman_double_to_fixed(double(W) / 1920), pixman_double_to_fixed(double(H) / 1200));
  pixman_image_set_transform(Src, &T);
  pixman_image_set_filter(Src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  for (auto _ : State) {
    pixman_image_composite32(PIXMAN_OP_SRC, Src, nullptr, Dst, 0, 0, 0, 0, 0, 0, 1920, 1200);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(Src);
  pixman_image_unref(Dst);
  State.SetBytesProcessed(State.iterations() * FrameBytes);
}
BENCHMARK(BM_PixmanStretch)->Unit(benchmark::kMicrosecond);

namespace {
// Source block (taken from the top-left of a raster of at least that size) and destination.
struct TStretchSize {
  int SrcW, SrcH, DestW, DestH;
  const char* Name;
};
constexpr TStretchSize StretchSizes[] = {
    {1600, 1200, 1920, 1200, "1600x1200 to 1920x1200"},
    {1600, 1200, 1920, 1080, "1600x1200 to 1920x1080"},
    {800, 600, 1920, 1200, "800x600 to 1920x1200"},
    {640, 480, 2560, 1440, "640x480 to 2560x1440"},
    {1023, 767, 1601, 1199, "1023x767 to 1601x1199"},
    {1600, 1200, 1600, 1200, "1600x1200 unscaled"},
    {1600, 1200, 1024, 768, "1600x1200 to 1024x768"},
    {1600, 1200, 800, 600, "1600x1200 to 800x600"},
    {2048, 1536, 1280, 720, "2048x1536 to 1280x720"},
    {1600, 1200, 152, 112, "1600x1200 to 152x112 (preview)"},
};
constexpr int64_t StretchSizeCount = int64_t(std::size(StretchSizes));

int64_t DestBytes(const TStretchSize& S) { return int64_t(S.DestW) * S.DestH * 4; }
}  // namespace

// The stretch into a picture of the destination's size for enlarging, shrinking and odd
// sizes; Range(0) the path as above, Range(1) the size. Bytes processed count the destination.
static void BM_StretchSizes(benchmark::State& State) {
  ForcePath(State);
  const TStretchSize& S = StretchSizes[State.range(1)];
  TDIBRaster R(S.SrcW, S.SrcH);
  Randomize(R, 9);
  QImage Target(S.DestW, S.DestH, QImage::Format_RGB32);
  plat::TPaintTarget DC(&Target);
  for (auto _ : State) {
    R.StretchToDC(&DC, 0, 0, S.SrcW, S.SrcH, 0, 0, S.DestW, S.DestH, plat::COLORONCOLOR);
    benchmark::ClobberMemory();
  }
  ClearProcessorOverride();
  gfx::SetVectorLevel(gfx::BestVectorLevel());
  State.SetBytesProcessed(State.iterations() * DestBytes(S));
  State.SetLabel(std::string(PathNames[State.range(0)]) + ", " + S.Name);
}
BENCHMARK(BM_StretchSizes)
    ->ArgsProduct({{0, 1, 2, 3}, benchmark::CreateDenseRange(0, StretchSizeCount - 1, 1)})
    ->Unit(benchmark::kMicrosecond);

static void BM_PixmanStretchSizes(benchmark::State& State) {
  const TStretchSize& S = StretchSizes[State.range(0)];
  TDIBRaster R(S.SrcW, S.SrcH);
  Randomize(R, 9);
  QImage Target(S.DestW, S.DestH, QImage::Format_RGB32);
  pixman_image_t* Src = Wrap(R);
  pixman_image_t* Dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, S.DestW, S.DestH,
                                                 reinterpret_cast<uint32_t*>(Target.bits()), int(Target.bytesPerLine()));
  pixman_transform_t T;
  pixman_transform_init_scale(&T, pixman_double_to_fixed(double(S.SrcW) / S.DestW),
                              pixman_double_to_fixed(double(S.SrcH) / S.DestH));
  pixman_image_set_transform(Src, &T);
  pixman_image_set_filter(Src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  for (auto _ : State) {
    pixman_image_composite32(PIXMAN_OP_SRC, Src, nullptr, Dst, 0, 0, 0, 0, 0, 0, S.DestW, S.DestH);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(Src);
  pixman_image_unref(Dst);
  State.SetBytesProcessed(State.iterations() * DestBytes(S));
  State.SetLabel(S.Name);
}
BENCHMARK(BM_PixmanStretchSizes)->DenseRange(0, StretchSizeCount - 1, 1)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
