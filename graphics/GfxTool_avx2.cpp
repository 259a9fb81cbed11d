// The stretch's row routine on AVX2: eight output pixels per step, rearranged from one or two
// unaligned loads of the source row with a lane permute. This unit is compiled for AVX2 and
// called only when the processor has it; it must stay free of inline library code (see
// GfxTool_p.h).

#include <immintrin.h>

#include "graphics/GfxTool_p.h"

namespace gfx::stretch {

void RowAVX2(const uint32_t* Src, uint32_t* Out, const TRowPlan& P) {
  constexpr uint32_t Opaque = 0xFF000000u;
  const __m256i OpaqueV = _mm256_set1_epi32(int(Opaque));
  // Locals, since the stores below may alias anything.
  const size_t First = P.First, Groups = P.Groups;
  const int32_t* const Map = P.Map;
  const uint8_t* const Kind = P.Kind;
  const int32_t* const Base = P.Base;
  const uint8_t* const Lanes = P.Lanes;
  uint32_t* D = Out + First;
  for (size_t G = 0; G < Groups; ++G, D += 8) {
    const __m256i L = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(Lanes + 8 * G)));
    const uint32_t* S = Src + Base[G];
    __m256i V;
    if (Kind[G] == gkOneLoad) {
      V = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(S)), L);
    } else if (Kind[G] == gkTwoLoads) {
      // The permute looks at the low three bits only; bit 3 says which load the pixel is in.
      const __m256i Lo = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(S)), L);
      const __m256i Hi = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(S + 8)), L);
      V = _mm256_castps_si256(_mm256_blendv_ps(_mm256_castsi256_ps(Lo), _mm256_castsi256_ps(Hi),
                                               _mm256_castsi256_ps(_mm256_slli_epi32(L, 28))));
    } else {
      const __m256i Cols8 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Map + First + 8 * G));
      V = _mm256_i32gather_epi32(reinterpret_cast<const int*>(Src), Cols8, 4);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(D), _mm256_or_si256(V, OpaqueV));
  }
}

}  // namespace gfx::stretch
