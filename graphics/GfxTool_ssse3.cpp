// The stretch's row routine on SSSE3: four output pixels per group, rearranged from one or two
// unaligned loads of the source row with a byte shuffle. This unit is compiled for SSSE3 and
// called only when the processor has it; it must stay free of inline library code (see
// GfxTool_p.h).

#include <tmmintrin.h>

#include "graphics/GfxTool_p.h"

namespace gfx::stretch {

namespace {

// The four pixels of group G, whose output columns start at M in the plan's map, by its
// control C and Mask, the top bits of C's bytes. C shuffles the first load as it stands (bit 7
// zeroes the bytes of the second); less 0x80 it shuffles the second load. A group's first pixel
// always comes from the first load, so bit 0 of Mask marks a scattered group.
__attribute__((always_inline)) inline __m128i Group(const uint32_t* Src, const TRowPlan& P, size_t G,
                                                    const int32_t* M, __m128i C, int Mask) {
  if (Mask & 1) return _mm_setr_epi32(int(Src[M[0]]), int(Src[M[1]]), int(Src[M[2]]), int(Src[M[3]]));
  const uint32_t* S = Src + P.Base[G];
  const __m128i V = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(S)), C);
  if (Mask == 0) return V;
  return _mm_or_si128(V, _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(S + 4)),
                                          _mm_sub_epi8(C, _mm_set1_epi8(char(0x80)))));
}

}  // namespace

void RowSSSE3(const uint32_t* Src, uint32_t* Out, const TRowPlan& P) {
  constexpr uint32_t Opaque = 0xFF000000u;
  const __m128i OpaqueV = _mm_set1_epi32(int(Opaque));
  // Locals, since the stores below may alias anything.
  const TRowPlan Plan = P;
  const size_t First = Plan.First, Groups = Plan.Groups;
  uint32_t* D = Out + First;
  const int32_t* M = Plan.Map + First;
  size_t G = 0;
  // Two groups a step. Where neither control has bit 7 anywhere, both take one load (the common
  // case of enlarging); telling so from the controls saves loads, which bound this loop.
  for (; G + 2 <= Groups; G += 2, D += 8, M += 8) {
    const __m128i C0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Plan.Lanes + 16 * G));
    const __m128i C1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Plan.Lanes + 16 * G + 16));
    __m128i V0, V1;
    if (_mm_movemask_epi8(_mm_or_si128(C0, C1)) == 0) {
      V0 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Src + Plan.Base[G])), C0);
      V1 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Src + Plan.Base[G + 1])), C1);
    } else {
      V0 = Group(Src, Plan, G, M, C0, _mm_movemask_epi8(C0));
      V1 = Group(Src, Plan, G + 1, M + 4, C1, _mm_movemask_epi8(C1));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(D), _mm_or_si128(V0, OpaqueV));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(D + 4), _mm_or_si128(V1, OpaqueV));
  }
  if (G < Groups) {
    const __m128i C = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Plan.Lanes + 16 * G));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(D), _mm_or_si128(Group(Src, Plan, G, M, C, _mm_movemask_epi8(C)), OpaqueV));
  }
}

}  // namespace gfx::stretch
