// Fade and Blend: the worked values, every pixel value on the plain and the fast path (forced
// through the processor flags), and a long seeded random run whose checksum must not depend on
// the path.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "graphics/GfxTool.h"
#include "persistence/CPUUtility.h"

namespace {

// The plain path, and the fast path on each vector unit it can use.
enum class Path { Plain, SSE2, AVX2 };

bool Available(Path P) {
  if (P == Path::Plain) return true;
  if (!gfx::FastPathsAvailable()) return false;
  return P == Path::SSE2 || gfx::BestVectorLevel() >= gfx::TVectorLevel::AVX2;
}

// Forces one path, through the processor flags, for the lifetime of the guard.
class ForcePath {
public:
  explicit ForcePath(Path P) {
    OverrideProcessorFeatures(P != Path::Plain, false);
    gfx::SetVectorLevel(P == Path::AVX2 ? gfx::TVectorLevel::AVX2 : gfx::TVectorLevel::SSE2);
  }
  ~ForcePath() {
    ClearProcessorOverride();
    gfx::SetVectorLevel(gfx::BestVectorLevel());
  }
};

const char* Name(Path P) { return P == Path::Plain ? "plain" : P == Path::SSE2 ? "sse2" : "avx2"; }

class FadeBlendTest : public ::testing::TestWithParam<Path> {
protected:
  void SetUp() override {
    if (!Available(GetParam())) GTEST_SKIP() << "this processor lacks " << Name(GetParam());
  }
};

TPixel FadeOne(TPixel P, int Shift) {
  TDIBRaster R(2, 2);
  R.Clear(P);
  R.Fade(Shift);
  return R.Bits[3];
}

TPixel BlendOne(TPixel A, TPixel B, uint8_t Alpha) {
  TDIBRaster Ra(2, 2), Rb(2, 2), D(2, 2);
  Ra.Clear(A);
  Rb.Clear(B);
  TAlphaChannel Al(2, 2);
  Al.Fill(Alpha);
  Al.Blend(&Ra, &Rb, &D);
  return D.Bits[2];
}

// c - ceil(c / 2^s): the fraction (2^s - 1) / 2^s kept, for each channel value.
std::array<uint32_t, 256> FadeTable(int S) {
  std::array<uint32_t, 256> T{};
  for (uint32_t C = 0; C < 256; ++C) T[C] = C - ((C + (1u << S) - 1) >> S);
  return T;
}

}  // namespace

TEST_P(FadeBlendTest, FadeWorkedValues) {
  ForcePath F(GetParam());
  EXPECT_EQ(FadeOne(0x00FF8001, 1), 0x007F4000u);
  EXPECT_EQ(FadeOne(0x00010203, 8), 0x00000102u);
  EXPECT_EQ(FadeOne(0x00FFFFFF, 0), 0u);
  EXPECT_EQ(FadeOne(0xFFFFFFFF, 2), 0x00BFBFBFu);  // c - ceil(c/4), top byte dropped
}

TEST_P(FadeBlendTest, FadeBeyondShiftEightActsAsEightAndBelowZeroAsZero) {
  ForcePath F(GetParam());
  for (int S : {9, 15, 16, 31, 32, 200, 255, 1000})
    EXPECT_EQ(FadeOne(0x00FF0180, S), 0x00FE007Fu) << "shift " << S;
  EXPECT_EQ(FadeOne(0x00FFFFFF, -1), 0u);
  EXPECT_EQ(FadeOne(0x00FFFFFF, INT32_MIN), 0u);
}

TEST_P(FadeBlendTest, FadeOfEveryColourAndEveryShiftFollowsTheFormula) {
  ForcePath F(GetParam());
  TDIBRaster R(1024, 1024);
  std::mt19937 Rng(1);
  for (int S = 0; S <= 8; ++S) {
    const auto T = FadeTable(S);
    for (uint32_t Chunk = 0; Chunk < 16; ++Chunk) {
      // Each chunk holds 2^20 distinct colours; the top byte is noise that must not matter.
      for (uint32_t I = 0; I < (1u << 20); ++I) R.Bits[I] = (Chunk << 20 | I) | (Rng() << 24);
      R.Fade(S);
      for (uint32_t I = 0; I < (1u << 20); ++I) {
        const uint32_t C = Chunk << 20 | I;
        const uint32_t Want = T[C & 0xFF] | T[(C >> 8) & 0xFF] << 8 | T[(C >> 16) & 0xFF] << 16;
        if (R.Bits[I] != Want) {
          ADD_FAILURE() << Name(GetParam()) << " shift " << S << " colour " << std::hex << C << " gave "
                        << R.Bits[I] << " want " << Want;
          return;
        }
      }
    }
  }
}

TEST_P(FadeBlendTest, BlendWorkedValues) {
  ForcePath F(GetParam());
  EXPECT_EQ(BlendOne(0x00123456, 0x00ABCDEF, 0), 0x00ABCDEFu);
  EXPECT_EQ(BlendOne(0x00FFFFFF, 0x00000000, 255), 0x00FEFEFEu);
  EXPECT_EQ(BlendOne(0x00000000, 0x00FFFFFF, 255), 0x00000000u);
  EXPECT_EQ(BlendOne(0x00C8C8C8, 0x00646464, 128), 0x00969696u);  // 200 over 100 gives 150
  EXPECT_EQ(BlendOne(0xFF000000, 0xFF000000, 77), 0u);
}

TEST_P(FadeBlendTest, BlendOfEveryChannelPairAndEveryAlphaFollowsTheFormula) {
  ForcePath F(GetParam());
  TDIBRaster A(256, 256), B(256, 256), D(256, 256);
  // Pixel a * 256 + b: blue blends a over b, green b over a, red (a xor $5A) over (255 - b),
  // so every channel meets every pair.
  for (uint32_t Ca = 0; Ca < 256; ++Ca)
    for (uint32_t Cb = 0; Cb < 256; ++Cb) {
      A.Bits[Ca * 256 + Cb] = Ca | Cb << 8 | (Ca ^ 0x5A) << 16 | 0x5A000000u;
      B.Bits[Ca * 256 + Cb] = Cb | Ca << 8 | (255 - Cb) << 16 | 0xA5000000u;
    }
  TAlphaChannel Al(256, 256);
  const auto Mix = [](int32_t X, int32_t Y, int32_t Alpha) {
    int32_t P = (X - Y) * Alpha;
    int32_t Q = P >= 0 ? P / 256 : -((-P + 255) / 256);  // floor
    return uint32_t(Y + Q);
  };
  for (int32_t Alpha = 0; Alpha < 256; ++Alpha) {
    Al.Fill(uint8_t(Alpha));
    Al.Blend(&A, &B, &D);
    for (int32_t Ca = 0; Ca < 256; ++Ca)
      for (int32_t Cb = 0; Cb < 256; ++Cb) {
        const uint32_t Want = Mix(Ca, Cb, Alpha) | Mix(Cb, Ca, Alpha) << 8 | Mix(Ca ^ 0x5A, 255 - Cb, Alpha) << 16;
        if (D.Bits[Ca * 256 + Cb] != Want) {
          ADD_FAILURE() << Name(GetParam()) << " alpha " << Alpha << " a " << Ca << " b " << Cb << " gave "
                        << std::hex << D.Bits[Ca * 256 + Cb] << " want " << Want;
          return;
        }
      }
  }
}

TEST_P(FadeBlendTest, BlendMayWriteIntoEitherInput) {
  ForcePath F(GetParam());
  TDIBRaster A(32, 8), B(32, 8), Want(32, 8);
  TAlphaChannel Al(32, 8);
  for (size_t I = 0; I < A.PixelCount(); ++I) {
    A.Bits[I] = uint32_t(I * 2654435761u);
    B.Bits[I] = uint32_t(I * 40503u + 17);
    Al.Data[I] = uint8_t(I * 7);
  }
  Al.Blend(&A, &B, &Want);
  Al.Blend(&A, &B, &B);
  EXPECT_EQ(std::memcmp(B.Bits, Want.Bits, Want.PixelCount() * 4), 0);
  for (size_t I = 0; I < B.PixelCount(); ++I) B.Bits[I] = uint32_t(I * 40503u + 17);
  Al.Blend(&A, &B, &A);
  EXPECT_EQ(std::memcmp(A.Bits, Want.Bits, Want.PixelCount() * 4), 0);
}

INSTANTIATE_TEST_SUITE_P(Paths, FadeBlendTest, ::testing::Values(Path::Plain, Path::SSE2, Path::AVX2),
                         [](const auto& Info) { return std::string(Name(Info.param)); });

// ---------------------------------------------------------------------------------------------

namespace {

// Bytes biased toward 0 and 255: the values vector code is most likely to get wrong.
uint8_t BiasedByte(std::mt19937& Rng) {
  const uint32_t R = Rng();
  switch (R & 3) {
    case 0:
      return 0;
    case 1:
      return 255;
    default:
      return uint8_t(R >> 8);
  }
}

TPixel BiasedPixel(std::mt19937& Rng) {
  return uint32_t(BiasedByte(Rng)) | uint32_t(BiasedByte(Rng)) << 8 | uint32_t(BiasedByte(Rng)) << 16 |
         uint32_t(BiasedByte(Rng)) << 24;
}

uint32_t Crc32(uint32_t Crc, const void* Data, size_t Len) {
  static const auto Table = [] {
    std::array<uint32_t, 256> T{};
    for (uint32_t I = 0; I < 256; ++I) {
      uint32_t C = I;
      for (int K = 0; K < 8; ++K) C = (C & 1) ? 0xEDB88320u ^ (C >> 1) : C >> 1;
      T[I] = C;
    }
    return T;
  }();
  const auto* P = static_cast<const uint8_t*>(Data);
  Crc = ~Crc;
  for (size_t I = 0; I < Len; ++I) Crc = Table[(Crc ^ P[I]) & 0xFF] ^ (Crc >> 8);
  return ~Crc;
}

// Seeded random operations through the public API; returns the checksum of every result.
uint32_t RandomRun(uint32_t Seed, int Operations, size_t& PixelsDone) {
  std::mt19937 Rng(Seed);
  uint32_t Crc = 0;
  PixelsDone = 0;
  for (int Op = 0; Op < Operations; ++Op) {
    const int W = 2 * int(1 + Rng() % 48), H = 2 * int(1 + Rng() % 24);
    TDIBRaster A(W, H), B(W, H), D(W, H);
    TAlphaChannel Al(W, H);
    for (size_t I = 0; I < A.PixelCount(); ++I) {
      A.Bits[I] = BiasedPixel(Rng);
      B.Bits[I] = BiasedPixel(Rng);
      D.Bits[I] = BiasedPixel(Rng);
      Al.Data[I] = BiasedByte(Rng);
    }
    // Mostly the admissible shifts, sometimes anything a masked byte can be.
    const int Shift = (Rng() & 3) ? int(Rng() % 10) : int(Rng() % 256);
    A.Fade(Shift);
    switch (Rng() % 3) {
      case 0:
        Al.Blend(&A, &B, &D);
        break;
      case 1:
        Al.Blend(&A, &B, &A);
        D.CopyTo(&B);
        break;
      default:
        Al.Blend(&A, &B, &B);
        break;
    }
    Crc = Crc32(Crc, A.Bits, A.PixelCount() * 4);
    Crc = Crc32(Crc, B.Bits, B.PixelCount() * 4);
    Crc = Crc32(Crc, D.Bits, D.PixelCount() * 4);
    PixelsDone += 2 * A.PixelCount();
  }
  return Crc;
}

}  // namespace

TEST(FadeBlendRandomTest, MillionsOfSeededOperationsGiveOneChecksumOnEveryPath) {
  size_t PlainPixels = 0;
  uint32_t Plain;
  {
    ForcePath F(Path::Plain);
    Plain = RandomRun(20240601, 3000, PlainPixels);
  }
  EXPECT_GT(PlainPixels, 2000000u);
  int Compared = 0;
  for (Path P : {Path::SSE2, Path::AVX2}) {
    if (!Available(P)) continue;
    ForcePath F(P);
    size_t Pixels = 0;
    const uint32_t Fast = RandomRun(20240601, 3000, Pixels);
    EXPECT_EQ(Pixels, PlainPixels);
    EXPECT_EQ(Plain, Fast) << Name(P) << ": " << std::hex << Plain << " vs " << Fast;
    ++Compared;
  }
  if (Compared == 0) GTEST_SKIP() << "no vector unit";
}

TEST(FadeBlendRandomTest, FastRoutinesHandleEveryCountIncludingOddTails) {
  for (Path Vp : {Path::SSE2, Path::AVX2}) {
    if (!Available(Vp)) continue;
    ForcePath F(Vp);
    std::mt19937 Rng(7);
    for (size_t N = 0; N <= 37; ++N)
      for (int S = 0; S <= 8; ++S) {
        std::vector<TPixel> P(N + 1), Q(N + 1), A(N), B(N), D1(N + 1), D2(N + 1);
        std::vector<uint8_t> Al(N);
        for (size_t I = 0; I < N; ++I) {
          P[I] = Q[I] = BiasedPixel(Rng);
          A[I] = BiasedPixel(Rng);
          B[I] = BiasedPixel(Rng);
          Al[I] = BiasedByte(Rng);
        }
        P[N] = Q[N] = D1[N] = D2[N] = 0xDEADBEEF;  // a guard that must stay
        gfx::FadePlain(P.data(), N, S);
        gfx::FadeFast(Q.data(), N, S);
        ASSERT_EQ(P, Q) << Name(Vp) << " count " << N << " shift " << S;
        gfx::BlendPlain(Al.data(), A.data(), B.data(), D1.data(), N);
        gfx::BlendFast(Al.data(), A.data(), B.data(), D2.data(), N);
        ASSERT_EQ(D1, D2) << Name(Vp) << " count " << N;
      }
  }
}

TEST(FadeBlendRandomTest, FillPixelsFillsExactlyTheRunAtAnyAlignment) {
  std::vector<TPixel> Buf(80);
  for (size_t Start = 0; Start < 8; ++Start)
    for (size_t N = 0; N < 40; ++N) {
      std::fill(Buf.begin(), Buf.end(), 1u);
      gfx::FillPixels(Buf.data() + Start, N, 0xAB00CDEF);
      for (size_t I = 0; I < Buf.size(); ++I)
        ASSERT_EQ(Buf[I], (I >= Start && I < Start + N) ? 0xAB00CDEFu : 1u) << Start << "+" << N << " at " << I;
    }
}
