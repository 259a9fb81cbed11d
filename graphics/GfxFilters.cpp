#include "graphics/GfxFilters.h"

#include <algorithm>
#include <cmath>

#include "persistence/BasicUtility.h"
#include "persistence/CPUUtility.h"
#include "persistence/FPUControl.h"

namespace {

// 180 / pi in extended precision: degrees become radians by dividing by it.
constexpr long double DegPerRad = 57.29577951308232L;

// One arithmetic step of the program's floating-point unit: the exact (or extended) result
// narrowed to single precision in the current rounding mode.
inline float F(long double V) { return static_cast<float>(V); }

// Float to Integer, truncating; a value outside the Integer range (or NaN) is the range error.
inline int Trunc32(float V) {
  if (!(V >= -2147483648.0f && V < 2147483648.0f)) throw ERangeError(SRangeError);
  return static_cast<int>(V);
}

// sin(((I * 360) * Freq / Size) / (180 / pi)) * Amp, each step in single precision.
inline float SineTerm(int I, int Size, float Amp, float Freq) {
  const int Deg = CheckedMul(I, 360);
  const float A = F(F(F(static_cast<long double>(Deg) * Freq) / Size) / DegPerRad);
  return F(FullSin(A) * Amp);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TMonadicFilter

void TMonadicFilter::Execute(TDIBRaster* ASource, TDIBRaster* ADest) {
  SetSource(ASource);
  SetDest(ADest);
  Apply();
}

void TMonadicFilter::SetSource(TDIBRaster* Raster) {
  Source = Raster;
  Width = Raster ? Raster->Width : 0;
  Height = Raster ? Raster->Height : 0;
}

void TMonadicFilter::SetDest(TDIBRaster* Raster) { Dest = Raster; }

int TMonadicFilter::GetOptions() { return 0; }

bool TMonadicFilter::RastersFit(size_t Count) const {
  if (!Source || !Dest || Source == Dest || !Source->Bits || !Dest->Bits) return false;
  if (Width <= 0 || Height <= 0 || size_t(Width) * size_t(Height) != Count) return false;
  return Source->Width == Width && Source->Height == Height && Dest->Width == Width &&
         Dest->Height == Height;
}

// ---------------------------------------------------------------------------------------------
// TTranslationMap

TTranslationMap::TTranslationMap(int AWidth, int AHeight) {
  MakeEven(AWidth, AHeight);
  if (AWidth < 0 || AHeight < 0) throw ERangeError(SRangeError);
  Width = AWidth;
  Height = AHeight;
  const int Bytes = CheckedMul(CheckedMul(Width, Height), 4);
  if (Bytes / 4 > MaxRasterPixels) throw ERangeError(SRangeError);
  FMap.resize(size_t(Bytes / 4));
  Reset();
}

int32_t TTranslationMap::Entry(int I) const {
  if (I < 0 || size_t(I) >= FMap.size()) throw ERangeError(SRangeError);
  return FMap[size_t(I)];
}

void TTranslationMap::Reset() {
  for (size_t I = 0; I < FMap.size(); ++I) FMap[I] = int32_t(I * 4);
}

void TTranslationMap::SetEntry(int X, int Y, int SrcX, int SrcY) {
  SrcX = ReflectIntoRange(SrcX, 0, CheckedSub(Width, 1));
  SrcY = ReflectIntoRange(SrcY, 0, CheckedSub(Height, 1));
  const int Index = CheckedAdd(CheckedMul(Y, Width), X);
  const int Offset = CheckedMul(CheckedAdd(CheckedMul(SrcY, Width), SrcX), 4);
  // Both stay inside the map's own block, whatever Width and Height were set to since.
  if (Index < 0 || size_t(Index) >= FMap.size()) throw ERangeError(SRangeError);
  if (Offset < 0 || size_t(Offset) / 4 >= FMap.size()) throw ERangeError(SRangeError);
  FMap[size_t(Index)] = Offset;
}

void TTranslationMap::Apply() {
  const size_t N = FMap.size();
  if (!RastersFit(N)) return;
  const auto* Src = reinterpret_cast<const uint8_t*>(Source->Bits);
  TPixel* Dst = Dest->Bits;
  const int32_t* M = FMap.data();
  for (size_t I = 0; I < N; ++I) Dst[I] = *reinterpret_cast<const TPixel*>(Src + M[I]);
}

void TTranslationMap::MakeWaved(const TSinParams& P) {
  TSinLineBuffer XT, YT;
  BuildSinTables(*this, XT, YT, P);
  for (int X = 0; X < Width; ++X)
    for (int Y = 0; Y < Height; ++Y)
      SetEntry(X, Y, Trunc32(F(static_cast<long double>(X) + YT[size_t(Y)])),
               Trunc32(F(static_cast<long double>(Y) + XT[size_t(X)])));
}

void TTranslationMap::MakeWavedZoom(const TSinParams& P, int CenterX, int CenterY, bool Averaged) {
  TSinLineBuffer ZX, ZY;
  BuildZoomTables(*this, ZX, ZY, P);
  for (int X = 0; X < Width; ++X) {
    for (int Y = 0; Y < Height; ++Y) {
      float Fx, Fy;
      if (Averaged) {
        Fx = F(1.0L - F(F(static_cast<long double>(ZX[size_t(X)]) + ZY[size_t(Y)]) / 2.0L));
        Fy = Fx;
      } else {
        Fx = F(1.0L - ZX[size_t(X)]);
        Fy = F(1.0L - ZY[size_t(Y)]);
      }
      SetEntry(X, Y, Lerp(CenterX, X, Fx), Lerp(CenterY, Y, Fy));
    }
  }
}

void TTranslationMap::MakeWavedZoomCombined(const TSinParams& WaveP, const TSinParams& ZoomP,
                                            int CenterX, int CenterY) {
  TSinLineBuffer XT, YT, ZX, ZY;
  BuildSinTables(*this, XT, YT, WaveP);
  BuildZoomTables(*this, ZX, ZY, ZoomP);
  for (int X = 0; X < Width; ++X) {
    for (int Y = 0; Y < Height; ++Y) {
      const float Fz = F(1.0L - F(F(static_cast<long double>(ZX[size_t(X)]) + ZY[size_t(Y)]) / 2.0L));
      const int Wx = Trunc32(F(static_cast<long double>(X) + YT[size_t(Y)]));
      const int Wy = Trunc32(F(static_cast<long double>(Y) + XT[size_t(X)]));
      SetEntry(X, Y, Lerp(CenterX, Wx, Fz), Lerp(CenterY, Wy, Fz));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Map tables

namespace {

void SinTable(TSinLineBuffer& T, int Size, const float* Amp, const float* Freq) {
  T.assign(size_t(std::max(Size, 0)), 0.0f);
  for (int I = 0; I < Size; ++I) {
    float S = 0.0f;
    for (int K = 0; K < 4; ++K) S = F(static_cast<long double>(S) + SineTerm(I, Size, Amp[K], Freq[K]));
    T[size_t(I)] = F(static_cast<long double>(Trunc32(S)));
  }
}

void ZoomTable(TSinLineBuffer& T, int Size, const float* Amp, const float* Freq) {
  T.assign(size_t(std::max(Size, 0)), 0.0f);
  for (int I = 0; I < Size; ++I) {
    float Z = 0.0f;
    for (int K = 0; K < 4; ++K) {
      const float Term = SineTerm(I, Size, Amp[K], Freq[K]);
      Z = F(static_cast<long double>(Term) + F(static_cast<long double>(Z) + Amp[K]));
    }
    T[size_t(I)] = Z;
  }
}

}  // namespace

void BuildSinTables(const TMonadicFilter& Filter, TSinLineBuffer& XT, TSinLineBuffer& YT,
                    const TSinParams& P) {
  SinTable(XT, Filter.Width, &P[0], &P[4]);
  SinTable(YT, Filter.Height, &P[8], &P[12]);
}

void BuildZoomTables(const TMonadicFilter& Filter, TSinLineBuffer& ZX, TSinLineBuffer& ZY,
                     const TSinParams& P) {
  ZoomTable(ZX, Filter.Width, &P[0], &P[4]);
  ZoomTable(ZY, Filter.Height, &P[8], &P[12]);
}

// ---------------------------------------------------------------------------------------------
// TFastSmooth

void TFastSmooth::Apply() {
  if (Width <= 0 || Height <= 0) return;
  if (!RastersFit(size_t(Width) * size_t(Height))) return;
  const gfx::TSmoothPath Path = gfx::SmoothPathFromFlags();
  gfx::SmoothFast(Path, Source->Bits, Dest->Bits, Width, Height);
}

namespace gfx {

TSmoothPath SmoothPathFromFlags() {
  if (Has3DNow()) return TSmoothPath::ThreeDNow;
  if (HasMMX()) return TSmoothPath::MMX;
  return TSmoothPath::Plain;
}

namespace {

inline TPixel SmoothPlain(TPixel U, TPixel L, TPixel R, TPixel D) {
  // Four 8-bit values sum to at most 10 bits: red and blue share a word without meeting.
  const uint32_t RB = (U & 0x00FF00FFu) + (L & 0x00FF00FFu) + (R & 0x00FF00FFu) + (D & 0x00FF00FFu);
  const uint32_t G = (U & 0x0000FF00u) + (L & 0x0000FF00u) + (R & 0x0000FF00u) + (D & 0x0000FF00u);
  return ((RB >> 2) & 0x00FF00FFu) | ((G >> 2) & 0x0000FF00u);
}

inline TPixel SmoothMMX(TPixel U, TPixel L, TPixel R, TPixel D) {
  const uint32_t Top = ((U >> 24) + (L >> 24) + (R >> 24) + (D >> 24)) >> 2;
  return SmoothPlain(U, L, R, D) | (Top << 24);
}

inline uint32_t AvgBytes(uint32_t A, uint32_t B) {
  // floor((a + b + 1) / 2) per byte: (a | b) - ((a ^ b) >> 1), the shift kept within each byte.
  return (A | B) - (((A ^ B) >> 1) & 0x7F7F7F7Fu);
}

inline TPixel SmoothThreeDNow(TPixel U, TPixel L, TPixel R, TPixel D) {
  return AvgBytes(AvgBytes(U, L), AvgBytes(R, D));
}

template <TPixel (*Avg)(TPixel, TPixel, TPixel, TPixel)>
void SmoothRange(const TPixel* Src, TPixel* Dst, size_t W, size_t From, size_t To) {
  for (size_t I = From; I < To; ++I) Dst[I] = Avg(Src[I - W], Src[I - 1], Src[I + 1], Src[I + W]);
}

}  // namespace

void SmoothScalarRange(TSmoothPath Path, const TPixel* Src, TPixel* Dst, size_t W, size_t From,
                       size_t To) {
  switch (Path) {
    case TSmoothPath::Plain: SmoothRange<SmoothPlain>(Src, Dst, W, From, To); break;
    case TSmoothPath::MMX: SmoothRange<SmoothMMX>(Src, Dst, W, From, To); break;
    case TSmoothPath::ThreeDNow: SmoothRange<SmoothThreeDNow>(Src, Dst, W, From, To); break;
  }
}

void SmoothScalar(TSmoothPath Path, const TPixel* Src, TPixel* Dst, int Width, int Height) {
  if (Width <= 0 || Height <= 0) return;
  const size_t W = size_t(Width), N = W * size_t(Height);
  std::fill_n(Dst, W, 0u);
  std::fill_n(Dst + (N - W), W, 0u);
  if (N >= 2 * W) SmoothScalarRange(Path, Src, Dst, W, W, N - W);
}

}  // namespace gfx

// ---------------------------------------------------------------------------------------------
// TRefractionMap

namespace {

// A block of AWidth x AHeight values, the sizes rounded up to even; as for the translation map,
// a size no raster can have is refused.
size_t FieldSize(int& AWidth, int& AHeight) {
  MakeEven(AWidth, AHeight);
  if (AWidth < 0 || AHeight < 0) throw ERangeError(SRangeError);
  const int Bytes = CheckedMul(CheckedMul(AWidth, AHeight), 2);
  if (Bytes / 2 > MaxRasterPixels) throw ERangeError(SRangeError);
  return size_t(Bytes / 2);
}

// The low 8 bits of a 64-bit truncation. A value that has no 64-bit integer (NaN, where the
// index allows no refraction, or beyond the range) converts to the integer indefinite,
// $8000000000000000, whose low bits are 0.
int32_t LowByteOfTrunc(float V) {
  if (!(V > -9223372036854775808.0f && V < 9223372036854775808.0f)) return 0;
  return int32_t(static_cast<int64_t>(V) & 0xFF);
}

inline int16_t SaturateToSmallInt(int V) { return int16_t(std::clamp(V, -32768, 32767)); }

}  // namespace

TRefractionMap::TRefractionMap(int AWidth, int AHeight) {
  const size_t N = FieldSize(AWidth, AHeight);
  Width = AWidth;
  Height = AHeight;
  Heights.assign(N, 0);
}

void TRefractionMap::SetRefraction(float N) {
  RefrIndex = N;
  for (int D = -2048; D <= 2047; ++D) {
    const int A = D / 4;
    const long double S = FullSin(FullArcTan(A));
    const float Q = F(S / N);
    // arcsin(Q) as arctan2(Q, sqrt(1 - Q * Q)).
    const float Root = F(std::sqrt(static_cast<long double>(F(1.0L - F(static_cast<long double>(Q) * Q)))));
    FTable[size_t(D + 2048)] = LowByteOfTrunc(F(FullTan(FullArcTan2(Q, Root)) * A));
  }
}

void TRefractionMap::Apply() {
  const size_t N = Heights.size();
  if (!RastersFit(N) || N < size_t(Width) + 1) return;
  const int64_t W = Width;
  const int16_t* Hgt = Heights.data();
  const int32_t* T = FTable.data() + 2048;
  const TPixel* Src = Source->Bits;
  TPixel* Dst = Dest->Bits;
  const int64_t Last = int64_t(N) - W - 2;
  for (int64_t I = 0; I <= Last; ++I) {
    const int Dx = (Hgt[I + 1] - Hgt[I]) % 2048;
    const int Dy = (Hgt[I + W] - Hgt[I]) % 2048;
    const int64_t Ox = Dx < 0 ? -T[Dx] : T[Dx];
    const int64_t Oy = Dy < 0 ? -T[Dy] * W : T[Dy] * W;
    const int64_t S = I + Ox + Oy;
    if (S >= 0 && S < int64_t(N)) Dst[I] = Src[S];
  }
}

void TRefractionMap::AddSinWave(float Amp, float Phase, float Freq) {
  const int W = Width, H = Height;
  if (W <= 0 || H <= 0 || size_t(W) * size_t(H) != Heights.size()) return;
  const float Den = F(static_cast<long double>(W) * DegPerRad);
  for (int X = 1; X <= W - 2; ++X) {
    const int Deg = CheckedMul(X, 360);
    const float Num = F(static_cast<long double>(F(static_cast<long double>(Deg) * Freq)) + Phase);
    const float Arg = F(static_cast<long double>(Num) / Den);
    const int V = Trunc32(F(FullSin(Arg) * Amp));
    for (int Y = 1; Y <= H - 2; ++Y) {
      int16_t& Hgt = Heights[size_t(Y) * size_t(W) + size_t(X)];
      Hgt = SaturateToSmallInt(Hgt + V);
    }
  }
}

void TRefractionMap::FillHeights(int X, int Y, int AWidth, int AHeight, int16_t Value) {
  const int W = Width, H = Height;
  if (W <= 0 || H <= 0 || size_t(W) * size_t(H) != Heights.size()) return;
  const int64_t X0 = std::max<int64_t>(X, 0), Y0 = std::max<int64_t>(Y, 0);
  const int64_t X1 = std::min<int64_t>(int64_t(X) + AWidth, W), Y1 = std::min<int64_t>(int64_t(Y) + AHeight, H);
  for (int64_t Yi = Y0; Yi < Y1; ++Yi)
    for (int64_t Xi = X0; Xi < X1; ++Xi) Heights[size_t(Yi * W + Xi)] = Value;
}

// ---------------------------------------------------------------------------------------------
// TWaterize

TWaterize::TWaterize(int AWidth, int AHeight) {
  Maps[0] = std::make_unique<TRefractionMap>(AWidth, AHeight);
  Maps[1] = std::make_unique<TRefractionMap>(AWidth, AHeight);
  Width = Maps[0]->Width;
  Height = Maps[0]->Height;
  SetRefraction(2.0f);
}

void TWaterize::SetRefraction(float N) {
  Maps[0]->SetRefraction(N);
  Maps[1]->SetRefraction(N);
}

void TWaterize::Apply() {
  if (!RastersFit(Maps[0]->Heights.size())) return;
  Maps[0]->Execute(Source, Dest);
  WaterStep();
}

void TWaterize::WaterStep() {
  const size_t N = Maps[0]->Heights.size();
  if (Width <= 0 || Height < 2 || size_t(Width) * size_t(Height) != N || Maps[1]->Heights.size() != N) return;
  std::swap(Maps[0], Maps[1]);
  gfx::WaterStepRange(Maps[0]->Heights.data(), Maps[1]->Heights.data(), size_t(Width), size_t(Width),
                      N - size_t(Width));
}

namespace gfx {

void WaterStepRange(const int16_t* M0, int16_t* M1, size_t W, size_t From, size_t To) {
  for (size_t I = From; I < To; ++I) {
    const int N = (M0[I - W] + M0[I - 1] + M0[I + 1] + M0[I + W]) / 2 - M1[I];
    M1[I] = int16_t(N - (N >> 4));  // the low 16 bits, unchecked
  }
}

}  // namespace gfx
