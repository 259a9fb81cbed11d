// Vector paths of the smoothing: four pixels per SSE2 register, eight per AVX2 register (compiled
// for AVX2 here and chosen only when the processor has it), each processor path's own average.
// They give exactly the scalar models' pixels (top byte included) for every input.

#include <algorithm>

#include "graphics/GfxFilters.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace gfx {

#if defined(__SSE2__)

namespace {

inline __m128i Load(const TPixel* P) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(P)); }

// floor((u + l + r + d) / 4) per byte, in 16-bit lanes.
inline __m128i Quarter4(__m128i U, __m128i L, __m128i R, __m128i D) {
  const __m128i Z = _mm_setzero_si128();
  __m128i Lo = _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(U, Z), _mm_unpacklo_epi8(L, Z)),
                             _mm_add_epi16(_mm_unpacklo_epi8(R, Z), _mm_unpacklo_epi8(D, Z)));
  __m128i Hi = _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(U, Z), _mm_unpackhi_epi8(L, Z)),
                             _mm_add_epi16(_mm_unpackhi_epi8(R, Z), _mm_unpackhi_epi8(D, Z)));
  return _mm_packus_epi16(_mm_srli_epi16(Lo, 2), _mm_srli_epi16(Hi, 2));
}

template <int PathNo>
void SmoothVector(const TPixel* Src, TPixel* Dst, size_t W, size_t From, size_t To) {
  const __m128i Colour = _mm_set1_epi32(0x00FFFFFF);
  size_t I = From;
  for (; I + 4 <= To; I += 4) {
    const __m128i U = Load(Src + I - W), L = Load(Src + I - 1), R = Load(Src + I + 1),
                  D = Load(Src + I + W);
    __m128i V;
    if constexpr (PathNo == 2)
      V = _mm_avg_epu8(_mm_avg_epu8(U, L), _mm_avg_epu8(R, D));
    else if constexpr (PathNo == 1)
      V = Quarter4(U, L, R, D);
    else
      V = _mm_and_si128(Quarter4(U, L, R, D), Colour);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dst + I), V);
  }
  if (I < To) SmoothScalarRange(PathNo == 2 ? TSmoothPath::ThreeDNow : PathNo == 1 ? TSmoothPath::MMX
                                                                                  : TSmoothPath::Plain,
                                Src, Dst, W, I, To);
}

__attribute__((target("avx2"))) inline __m256i Load8(const TPixel* P) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(P)); }

__attribute__((target("avx2"))) inline __m256i Quarter8(__m256i U, __m256i L, __m256i R, __m256i D) {
  const __m256i Z = _mm256_setzero_si256();
  // The unpacks and the pack work within 128-bit halves alike, so the pixels keep their places.
  __m256i Lo = _mm256_add_epi16(_mm256_add_epi16(_mm256_unpacklo_epi8(U, Z), _mm256_unpacklo_epi8(L, Z)),
                                _mm256_add_epi16(_mm256_unpacklo_epi8(R, Z), _mm256_unpacklo_epi8(D, Z)));
  __m256i Hi = _mm256_add_epi16(_mm256_add_epi16(_mm256_unpackhi_epi8(U, Z), _mm256_unpackhi_epi8(L, Z)),
                                _mm256_add_epi16(_mm256_unpackhi_epi8(R, Z), _mm256_unpackhi_epi8(D, Z)));
  return _mm256_packus_epi16(_mm256_srli_epi16(Lo, 2), _mm256_srli_epi16(Hi, 2));
}

template <int PathNo>
__attribute__((target("avx2"))) void SmoothVectorAVX2(const TPixel* Src, TPixel* Dst, size_t W, size_t From,
                                                      size_t To) {
  const __m256i Colour = _mm256_set1_epi32(0x00FFFFFF);
  size_t I = From;
  for (; I + 8 <= To; I += 8) {
    const __m256i U = Load8(Src + I - W), L = Load8(Src + I - 1), R = Load8(Src + I + 1),
                  D = Load8(Src + I + W);
    __m256i V;
    if constexpr (PathNo == 2)
      V = _mm256_avg_epu8(_mm256_avg_epu8(U, L), _mm256_avg_epu8(R, D));
    else if constexpr (PathNo == 1)
      V = Quarter8(U, L, R, D);
    else
      V = _mm256_and_si256(Quarter8(U, L, R, D), Colour);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Dst + I), V);
  }
  SmoothVector<PathNo>(Src, Dst, W, I, To);
}

template <int PathNo>
void SmoothDispatch(const TPixel* Src, TPixel* Dst, size_t W, size_t From, size_t To) {
  if (VectorLevel() == TVectorLevel::AVX2)
    SmoothVectorAVX2<PathNo>(Src, Dst, W, From, To);
  else
    SmoothVector<PathNo>(Src, Dst, W, From, To);
}

}  // namespace

void SmoothFast(TSmoothPath Path, const TPixel* Src, TPixel* Dst, int Width, int Height) {
  if (Width <= 0 || Height <= 0) return;
  const size_t W = size_t(Width), N = W * size_t(Height);
  FillPixels(Dst, W, 0);
  FillPixels(Dst + (N - W), W, 0);
  if (N < 2 * W) return;
  switch (Path) {
    case TSmoothPath::Plain: SmoothDispatch<0>(Src, Dst, W, W, N - W); break;
    case TSmoothPath::MMX: SmoothDispatch<1>(Src, Dst, W, W, N - W); break;
    case TSmoothPath::ThreeDNow: SmoothDispatch<2>(Src, Dst, W, W, N - W); break;
  }
}

#else

void SmoothFast(TSmoothPath Path, const TPixel* Src, TPixel* Dst, int Width, int Height) {
  SmoothScalar(Path, Src, Dst, Width, Height);
}

#endif

}  // namespace gfx
