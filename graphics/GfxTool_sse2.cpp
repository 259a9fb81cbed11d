// Vector paths of Fade and Blend: four pixels per step, every byte widened to a 16-bit lane.
// They give exactly the plain paths' pixels (top byte 0 included) for every input.

#include <algorithm>
#include <cstring>

#include "graphics/GfxTool.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gfx {

#if defined(__SSE2__)

bool FastPathsAvailable() { return true; }

void FadeFast(TPixel* P, size_t Count, int Shift) {
  const int S = std::clamp(Shift, 0, 8);
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

namespace {
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
}  // namespace

void BlendFast(const uint8_t* Alpha, const TPixel* A, const TPixel* B, TPixel* Dest, size_t Count) {
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

#else  // no vector unit known here: the plain paths stand in

bool FastPathsAvailable() { return false; }
void FadeFast(TPixel* P, size_t Count, int Shift) { FadePlain(P, Count, Shift); }
void BlendFast(const uint8_t* Alpha, const TPixel* A, const TPixel* B, TPixel* Dest, size_t Count) {
  BlendPlain(Alpha, A, B, Dest, Count);
}

#endif

}  // namespace gfx
