// Vector paths of Fade and Blend: every byte widened to a 16-bit lane, four pixels per SSE2
// register, eight per AVX2 register (compiled for AVX2 here and chosen only when the processor
// has it). They give exactly the plain paths' pixels (top byte 0 included) for every input.
// Also the pixel fill, which every path shares, and the fast stretch: a column plan made once per
// geometry, rows put together from vector loads of the source row, repeated rows copied.

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <vector>

#include "graphics/GfxTool.h"
#include "graphics/GfxTool_p.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace gfx {

#if defined(__SSE2__)

namespace {
TVectorLevel DetectBest() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2")    ? TVectorLevel::AVX2
         : __builtin_cpu_supports("ssse3") ? TVectorLevel::SSSE3
                                           : TVectorLevel::SSE2;
}
const TVectorLevel GBest = DetectBest();
std::atomic<TVectorLevel> GLevel{GBest};
}  // namespace

bool FastPathsAvailable() { return true; }
TVectorLevel BestVectorLevel() { return GBest; }
TVectorLevel VectorLevel() { return GLevel.load(std::memory_order_relaxed); }
void SetVectorLevel(TVectorLevel Level) {
  GLevel.store(std::clamp(Level, TVectorLevel::SSE2, GBest), std::memory_order_relaxed);
}

void FillPixels(TPixel* P, size_t Count, TPixel Value) {
  const __m128i V = _mm_set1_epi32(int(Value));
  size_t I = 0;
  // Single pixels up to a 16-byte boundary, then whole registers.
  while (I < Count && (reinterpret_cast<uintptr_t>(P + I) & 15) != 0) P[I++] = Value;
  for (; I + 16 <= Count; I += 16) {
    _mm_store_si128(reinterpret_cast<__m128i*>(P + I), V);
    _mm_store_si128(reinterpret_cast<__m128i*>(P + I + 4), V);
    _mm_store_si128(reinterpret_cast<__m128i*>(P + I + 8), V);
    _mm_store_si128(reinterpret_cast<__m128i*>(P + I + 12), V);
  }
  for (; I < Count; ++I) P[I] = Value;
}

namespace {

__attribute__((target("avx2"))) void FadeAVX2(TPixel* P, size_t Count, int S) {
  const __m256i Zero = _mm256_setzero_si256();
  const __m256i Colour = _mm256_set1_epi32(0x00FFFFFF);
  const __m128i Cnt = _mm_cvtsi32_si128(S);
  size_t I = 0;
  for (; I + 8 <= Count; I += 8) {
    const __m256i V = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(P + I));
    __m256i L = _mm256_unpacklo_epi8(V, Zero), H = _mm256_unpackhi_epi8(V, Zero);
    L = _mm256_srl_epi16(_mm256_sub_epi16(_mm256_sll_epi16(L, Cnt), L), Cnt);
    H = _mm256_srl_epi16(_mm256_sub_epi16(_mm256_sll_epi16(H, Cnt), H), Cnt);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(P + I), _mm256_and_si256(_mm256_packus_epi16(L, H), Colour));
  }
  if (I < Count) FadePlain(P + I, Count - I, S);
}

__attribute__((target("avx2"))) void BlendAVX2(const uint8_t* Alpha, const TPixel* A, const TPixel* B,
                                               TPixel* Dest, size_t Count) {
  const __m256i Zero = _mm256_setzero_si256();
  const __m256i LowByte = _mm256_set1_epi16(0x00FF);
  const __m256i Colour = _mm256_set1_epi32(0x00FFFFFF);
  const __m256i Spread = _mm256_set1_epi32(0x01010101);
  size_t I = 0;
  for (; I + 8 <= Count; I += 8) {
    // Eight alpha bytes, each repeated over its pixel's four bytes; the unpacks below work
    // within 128-bit halves, on pixels and alphas alike, so they stay paired.
    const __m128i Al8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(Alpha + I));
    const __m256i Al = _mm256_mullo_epi32(_mm256_cvtepu8_epi32(Al8), Spread);
    const __m256i Va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(A + I));
    const __m256i Vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(B + I));
    const __m256i AlLo = _mm256_unpacklo_epi8(Al, Zero), AlHi = _mm256_unpackhi_epi8(Al, Zero);
    const __m256i ALo = _mm256_unpacklo_epi8(Va, Zero), AHi = _mm256_unpackhi_epi8(Va, Zero);
    const __m256i BLo = _mm256_unpacklo_epi8(Vb, Zero), BHi = _mm256_unpackhi_epi8(Vb, Zero);
    __m256i Lo = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(ALo, BLo), AlLo), 8);
    __m256i Hi = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_sub_epi16(AHi, BHi), AlHi), 8);
    Lo = _mm256_and_si256(_mm256_add_epi16(Lo, BLo), LowByte);
    Hi = _mm256_and_si256(_mm256_add_epi16(Hi, BHi), LowByte);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Dest + I), _mm256_and_si256(_mm256_packus_epi16(Lo, Hi), Colour));
  }
  if (I < Count) BlendPlain(Alpha + I, A + I, B + I, Dest + I, Count - I);
}

void FadeSSE2(TPixel* P, size_t Count, int S);
void BlendSSE2(const uint8_t* Alpha, const TPixel* A, const TPixel* B, TPixel* Dest, size_t Count);

}  // namespace

void FadeFast(TPixel* P, size_t Count, int Shift) {
  const int S = std::clamp(Shift, 0, 8);
  if (VectorLevel() == TVectorLevel::AVX2)
    FadeAVX2(P, Count, S);
  else
    FadeSSE2(P, Count, S);
}

void BlendFast(const uint8_t* Alpha, const TPixel* A, const TPixel* B, TPixel* Dest, size_t Count) {
  if (VectorLevel() == TVectorLevel::AVX2)
    BlendAVX2(Alpha, A, B, Dest, Count);
  else
    BlendSSE2(Alpha, A, B, Dest, Count);
}

namespace {

void FadeSSE2(TPixel* P, size_t Count, int S) {
  const __m128i Zero = _mm_setzero_si128();
  const __m128i Colour = _mm_set1_epi32(0x00FFFFFF);
  const __m128i Cnt = _mm_cvtsi32_si128(S);
  size_t I = 0;
  // For shifts up to 8 no lane exceeds 255 * 256, so (c shl s - c) shr s is exact in 16 bits.
  for (; I + 8 <= Count; I += 8) {
    __m128i V0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P + I));
    __m128i V1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P + I + 4));
    __m128i L0 = _mm_unpacklo_epi8(V0, Zero), H0 = _mm_unpackhi_epi8(V0, Zero);
    __m128i L1 = _mm_unpacklo_epi8(V1, Zero), H1 = _mm_unpackhi_epi8(V1, Zero);
    L0 = _mm_srl_epi16(_mm_sub_epi16(_mm_sll_epi16(L0, Cnt), L0), Cnt);
    H0 = _mm_srl_epi16(_mm_sub_epi16(_mm_sll_epi16(H0, Cnt), H0), Cnt);
    L1 = _mm_srl_epi16(_mm_sub_epi16(_mm_sll_epi16(L1, Cnt), L1), Cnt);
    H1 = _mm_srl_epi16(_mm_sub_epi16(_mm_sll_epi16(H1, Cnt), H1), Cnt);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(P + I), _mm_and_si128(_mm_packus_epi16(L0, H0), Colour));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(P + I + 4), _mm_and_si128(_mm_packus_epi16(L1, H1), Colour));
  }
  if (I < Count) FadePlain(P + I, Count - I, S);
}

// Blends four pixels: d = b + ((a - b) * alpha) shr 8 with 16-bit lanes. The product keeps only
// its low 16 bits, but the low 8 bits of the result do not depend on the bits it loses.
inline __m128i Blend4(__m128i Va, __m128i Vb, uint32_t Alpha4) {
  const __m128i Zero = _mm_setzero_si128();
  const __m128i LowByte = _mm_set1_epi16(0x00FF);
  __m128i Al = _mm_cvtsi32_si128(int(Alpha4));
  Al = _mm_unpacklo_epi8(Al, Al);   // a0 a0 a1 a1 a2 a2 a3 a3
  Al = _mm_unpacklo_epi16(Al, Al);  // each pixel's alpha in its four bytes
  const __m128i AlLo = _mm_unpacklo_epi8(Al, Zero), AlHi = _mm_unpackhi_epi8(Al, Zero);
  const __m128i ALo = _mm_unpacklo_epi8(Va, Zero), AHi = _mm_unpackhi_epi8(Va, Zero);
  const __m128i BLo = _mm_unpacklo_epi8(Vb, Zero), BHi = _mm_unpackhi_epi8(Vb, Zero);
  __m128i Lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_sub_epi16(ALo, BLo), AlLo), 8);
  __m128i Hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_sub_epi16(AHi, BHi), AlHi), 8);
  Lo = _mm_and_si128(_mm_add_epi16(Lo, BLo), LowByte);
  Hi = _mm_and_si128(_mm_add_epi16(Hi, BHi), LowByte);
  return _mm_and_si128(_mm_packus_epi16(Lo, Hi), _mm_set1_epi32(0x00FFFFFF));
}

void BlendSSE2(const uint8_t* Alpha, const TPixel* A, const TPixel* B, TPixel* Dest, size_t Count) {
  size_t I = 0;
  for (; I + 8 <= Count; I += 8) {
    uint32_t Al0, Al1;
    std::memcpy(&Al0, Alpha + I, 4);
    std::memcpy(&Al1, Alpha + I + 4, 4);
    const __m128i A0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(A + I));
    const __m128i A1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(A + I + 4));
    const __m128i B0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(B + I));
    const __m128i B1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(B + I + 4));
    // Both loads happen before the stores, so Dest may be A or B.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dest + I), Blend4(A0, B0, Al0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dest + I + 4), Blend4(A1, B1, Al1));
  }
  if (I < Count) BlendPlain(Alpha + I, A + I, B + I, Dest + I, Count - I);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The stretch's row on SSE2: four pixels from one unaligned load, rearranged by a shuffle whose
// control the plan holds (a jump into one of the shuffles, as the control must be a constant).

namespace stretch {

namespace {
#define RIZ_SHUF1(C) \
  case C:            \
    return _mm_shuffle_epi32(V, C);
#define RIZ_SHUF4(C) RIZ_SHUF1(C) RIZ_SHUF1(C + 1) RIZ_SHUF1(C + 2) RIZ_SHUF1(C + 3)
#define RIZ_SHUF16(C) RIZ_SHUF4(C) RIZ_SHUF4(C + 4) RIZ_SHUF4(C + 8) RIZ_SHUF4(C + 12)
#define RIZ_SHUF64(C) RIZ_SHUF16(C) RIZ_SHUF16(C + 16) RIZ_SHUF16(C + 32) RIZ_SHUF16(C + 48)
inline __m128i Shuffle(__m128i V, uint8_t Control) {
  switch (Control) {
    RIZ_SHUF64(0)
    RIZ_SHUF64(64)
    RIZ_SHUF64(128)
    RIZ_SHUF64(192)
  }
  return V;
}
#undef RIZ_SHUF1
#undef RIZ_SHUF4
#undef RIZ_SHUF16
#undef RIZ_SHUF64
}  // namespace

void RowSSE2(const uint32_t* Src, uint32_t* Out, const TRowPlan& P) {
  constexpr uint32_t Opaque = 0xFF000000u;
  const __m128i OpaqueV = _mm_set1_epi32(int(Opaque));
  // Locals, since the stores below may alias anything.
  const size_t First = P.First, Groups = P.Groups;
  const uint8_t* const Kind = P.Kind;
  const int32_t* const Base = P.Base;
  const uint8_t* const Lanes = P.Lanes;
  uint32_t* D = Out + First;
  const int32_t* M = P.Map + First;
  for (size_t G = 0; G < Groups; ++G, D += 4, M += 4) {
    __m128i V;
    if (Kind[G] == gkOneLoad)
      V = Shuffle(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Src + Base[G])), Lanes[G]);
    else
      V = _mm_setr_epi32(int(Src[M[0]]), int(Src[M[1]]), int(Src[M[2]]), int(Src[M[3]]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(D), _mm_or_si128(V, OpaqueV));
  }
}

}  // namespace stretch

#else  // no vector unit known here: the plain paths stand in

bool FastPathsAvailable() { return false; }
TVectorLevel BestVectorLevel() { return TVectorLevel::None; }
TVectorLevel VectorLevel() { return TVectorLevel::None; }
void SetVectorLevel(TVectorLevel) {}
void FillPixels(TPixel* P, size_t Count, TPixel Value) { std::fill_n(P, Count, Value); }
void FadeFast(TPixel* P, size_t Count, int Shift) { FadePlain(P, Count, Shift); }
void BlendFast(const uint8_t* Alpha, const TPixel* A, const TPixel* B, TPixel* Dest, size_t Count) {
  BlendPlain(Alpha, A, B, Dest, Count);
}

namespace stretch {
// Never chosen here (FastPathsAvailable is false); a plan without a vector unit has no groups.
void RowSSE2(const uint32_t*, uint32_t*, const TRowPlan&) {}
}  // namespace stretch

#endif

// ---------------------------------------------------------------------------------------------
// The fast stretch

namespace stretch {

namespace {

struct TPlanKey {
  int W = 0, SrcX = 0, SrcW = 0, DestW = 0, X0 = 0, X1 = 0;
  TVectorLevel Level = TVectorLevel::None;
  friend bool operator==(const TPlanKey&, const TPlanKey&) = default;
};

struct TPlan {
  TPlanKey Key;
  bool Made = false;
  std::vector<int32_t> Map, Base;
  std::vector<uint8_t> Kind, Lanes;
  TRowPlan View;
};

void MakePlan(TPlan& P, const TPlanKey& K) {
  P.Key = K;
  P.Made = true;
  const size_t Cols = size_t(K.X1 - K.X0);
  P.Map.assign(Cols, 0);
  // The plain stretch's rule, column by column; the columns inside the source row form one run.
  size_t First = Cols, Last = 0;
  for (size_t I = 0; I < Cols; ++I) {
    const int64_t Sx = K.SrcX + (int64_t(K.X0) + int64_t(I)) * K.SrcW / K.DestW;
    if (Sx >= 0 && Sx < K.W) {
      P.Map[I] = int32_t(Sx);
      First = std::min(First, I);
      Last = I + 1;
    }
  }
  if (First > Last) First = Last;
  const size_t Width = K.Level == TVectorLevel::AVX2 ? 8 : K.Level == TVectorLevel::None ? 0 : 4;
  const size_t Groups = Width ? (Last - First) / Width : 0;
  P.Kind.assign(Groups, gkScattered);
  P.Base.assign(Groups, 0);
  if (K.Level == TVectorLevel::SSSE3)
    P.Lanes.assign(Groups * 16, 0x80);
  else
    P.Lanes.assign(K.Level == TVectorLevel::AVX2 ? Groups * 8 : Groups, 0);
  for (size_t G = 0; G < Groups; ++G) {
    const int32_t* M = P.Map.data() + First + G * Width;
    const int64_t Span = int64_t(M[Width - 1]) - M[0];
    // A load must stay inside the source row: near its end it starts earlier.
    if (K.Level == TVectorLevel::SSE2) {
      if (K.W < 4 || Span > 3) continue;
      const int32_t B = std::min(M[0], K.W - 4);
      uint8_t Control = 0;
      for (size_t L = 0; L < 4; ++L) Control = uint8_t(Control | ((M[L] - B) << (2 * L)));
      P.Kind[G] = gkOneLoad;
      P.Base[G] = B;
      P.Lanes[G] = Control;
    } else if (K.Level == TVectorLevel::SSSE3) {
      const int Reach = Span <= 3 ? 4 : Span <= 7 ? 8 : 0;
      if (Reach == 0 || K.W < Reach) continue;
      const int32_t B = std::min(M[0], K.W - Reach);
      for (size_t L = 0; L < 4; ++L)
        for (size_t Byte = 0; Byte < 4; ++Byte)
          P.Lanes[G * 16 + 4 * L + Byte] = uint8_t(0x70 + 4 * (M[L] - B) + int(Byte));
      P.Kind[G] = Reach == 4 ? gkOneLoad : gkTwoLoads;
      P.Base[G] = B;
    } else {
      const int Reach = Span <= 7 ? 8 : Span <= 15 ? 16 : 0;
      if (Reach == 0 || K.W < Reach) continue;
      const int32_t B = std::min(M[0], K.W - Reach);
      for (size_t L = 0; L < 8; ++L) P.Lanes[G * 8 + L] = uint8_t(M[L] - B);
      P.Kind[G] = Reach == 8 ? gkOneLoad : gkTwoLoads;
      P.Base[G] = B;
    }
  }
  P.View = TRowPlan{Cols,   First,         First + Groups * Width, Last, P.Map.data(),
                    Groups, P.Kind.data(), P.Base.data(),          P.Lanes.data()};
}

// A few geometries are kept: a paint clipped to several rectangles alternates between them.
const TRowPlan& PlanFor(const TPlanKey& K) {
  thread_local std::array<TPlan, 4> Plans;
  thread_local size_t Next = 0;
  for (TPlan& P : Plans)
    if (P.Made && P.Key == K) return P.View;
  TPlan& P = Plans[Next];
  Next = (Next + 1) % Plans.size();
  MakePlan(P, K);
  return P.View;
}

}  // namespace

void StretchFast(const uint32_t* Src, int W, int H, int SrcX, int SrcY, int SrcW, int SrcH,
                 int DestW, int DestH, int X0, int Y0, int X1, int Y1, uint32_t* Out,
                 ptrdiff_t OutStride) {
  const TVectorLevel Level = VectorLevel();
  const TRowPlan& Plan = PlanFor(TPlanKey{W, SrcX, SrcW, DestW, X0, X1, Level});
  void (*const Row)(const uint32_t*, uint32_t*, const TRowPlan&) = Level == TVectorLevel::AVX2    ? RowAVX2
                                                                   : Level == TVectorLevel::SSSE3 ? RowSSSE3
                                                                                                  : RowSSE2;
  constexpr uint32_t Opaque = 0xFF000000u;
  const size_t Bytes = Plan.Cols * sizeof(uint32_t);
  int64_t PrevSy = INT64_MIN;
  uint32_t* Prev = nullptr;
  for (int Dy = Y0; Dy < Y1; ++Dy) {
    uint32_t* R = Out + ptrdiff_t(Dy - Y0) * OutStride;
    const int64_t Sy = SrcY + int64_t(Dy) * SrcH / DestH;
    if (Prev && Sy == PrevSy)
      std::memcpy(R, Prev, Bytes);  // the row just made, still in the cache
    else if (Sy < 0 || Sy >= H)
      std::fill_n(R, Plan.Cols, Opaque);
    else {
      // The vector routine does the groups; the black edges and the odd columns are done here.
      const uint32_t* S = Src + Sy * W;
      std::fill_n(R, Plan.First, Opaque);
      Row(S, R, Plan);
      for (size_t I = Plan.GroupsEnd; I < Plan.Last; ++I) R[I] = S[Plan.Map[I]] | Opaque;
      std::fill(R + Plan.Last, R + Plan.Cols, Opaque);
    }
    PrevSy = Sy;
    Prev = R;
  }
}

}  // namespace stretch

}  // namespace gfx
