// The particle-wave configuration (defaults, scaling, its stored record in the object stream and
// the registry) and the wave figure's motion: positions, colours, phase and rotation.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "graphics/ParticleWaves.h"
#include "persistence/PropertyBags.h"
#include "platform/Classes.h"
#include "tests/support/ProgramFPU.h"

namespace {

class ParticleWavesTest : public ::testing::Test {
protected:
  void SetUp() override { RegisterParticleSystemsCfgClasses(); }
  testsupport::ProgramFPU Program;
};

constexpr double Rad = 57.29577951308232;

void SetAxis(TWaveConfig& C, int Wave, int Axis, float Phase, TOscillator Amp, TOscillator Freq) {
  TWaveAxis& A = C.Waves.At(Wave, Axis);
  A.Phase = Phase;
  A.AmpOsc = Amp;
  A.FreqOsc = Freq;
}

// A configuration with every value away from its default.
void MakeUnusual(TWaveConfig& C) {
  C.Name = "Spirale";
  C.ParticleCount = 777;
  C.MotionBlur = 3;
  C.SmoothFilter = true;
  C.TransMapFilter = true;
  C.RenderMode = rmDrawStars;
  C.TransMapMode = tmmApplyAfter;
  C.TransMapStyle = tmsWavedZoomCombined;
  C.ZoomCenterX = 40;
  C.ZoomCenterY = -60;
  C.Speed = 0.125f;
  C.Pos = 3.5f;
  C.BaseRed = 1;
  C.BaseGreen = 2;
  C.BaseBlue = 3;
  C.AmpRed = 4;
  C.AmpGreen = 5;
  C.AmpBlue = 6;
  C.FreqRed = 7;
  C.FreqGreen = 8;
  C.FreqBlue = 9;
  C.ShiftRed = 10;
  C.ShiftGreen = 11;
  C.ShiftBlue = 12;
  C.Width = 1024;
  C.Height = 768;
  for (size_t I = 0; I < C.Waves.Axes.size(); ++I) {
    TWaveAxis& A = C.Waves.Axes[I];
    const float B = float(I) * 7;
    A = {B + 1, {B + 2, B + 3, B + 4}, {B + 5, B + 6, B + 0.5f}};
  }
  C.Angle = {10, 20, 30};
  C.Rot = {0.5f, -1, 2};
  for (size_t I = 0; I < 16; ++I) {
    C.SinMagicParams[I] = float(I) + 0.25f;
    C.SinMagicParams2[I] = -float(I) * 2;
  }
}

void ExpectSame(const TWaveConfig& A, const TWaveConfig& B) {
  EXPECT_EQ(A.Name, B.Name);
  EXPECT_EQ(A.ParticleCount, B.ParticleCount);
  EXPECT_EQ(A.MotionBlur, B.MotionBlur);
  EXPECT_EQ(A.SmoothFilter, B.SmoothFilter);
  EXPECT_EQ(A.TransMapFilter, B.TransMapFilter);
  EXPECT_EQ(A.RenderMode, B.RenderMode);
  EXPECT_EQ(A.TransMapMode, B.TransMapMode);
  EXPECT_EQ(A.TransMapStyle, B.TransMapStyle);
  EXPECT_EQ(A.ZoomCenterX, B.ZoomCenterX);
  EXPECT_EQ(A.ZoomCenterY, B.ZoomCenterY);
  const float TWaveConfig::*Singles[] = {
      &TWaveConfig::Speed,   &TWaveConfig::Pos,      &TWaveConfig::BaseRed,    &TWaveConfig::BaseGreen,
      &TWaveConfig::BaseBlue, &TWaveConfig::AmpRed,  &TWaveConfig::AmpGreen,   &TWaveConfig::AmpBlue,
      &TWaveConfig::FreqRed, &TWaveConfig::FreqGreen, &TWaveConfig::FreqBlue,  &TWaveConfig::ShiftRed,
      &TWaveConfig::ShiftGreen, &TWaveConfig::ShiftBlue};
  for (auto F : Singles) EXPECT_EQ(A.*F, B.*F);
  EXPECT_EQ(A.Width, B.Width);
  EXPECT_EQ(A.Height, B.Height);
  EXPECT_EQ(std::memcmp(&A.Waves, &B.Waves, sizeof A.Waves), 0);
  EXPECT_EQ(std::memcmp(&A.Angle, &B.Angle, sizeof A.Angle), 0);
  EXPECT_EQ(std::memcmp(&A.Rot, &B.Rot, sizeof A.Rot), 0);
  EXPECT_EQ(A.SinMagicParams, B.SinMagicParams);
  EXPECT_EQ(A.SinMagicParams2, B.SinMagicParams2);
}

// ---------------------------------------------------------------------------------------------
// Configuration

TEST_F(ParticleWavesTest, NewConfigurationHoldsTheDefaults) {
  TWaveConfig C;
  EXPECT_EQ(C.Name, "Empty");
  EXPECT_EQ(C.ParticleCount, 200);
  EXPECT_EQ(C.MotionBlur, 0);
  EXPECT_FALSE(C.SmoothFilter);
  EXPECT_FALSE(C.TransMapFilter);
  EXPECT_EQ(C.RenderMode, rmDraw);
  EXPECT_EQ(C.TransMapMode, tmmApplyBefore);
  EXPECT_EQ(C.TransMapStyle, tmsWaved);
  EXPECT_EQ(C.ZoomCenterX, 0);
  EXPECT_EQ(C.ZoomCenterY, 0);
  EXPECT_EQ(C.Speed, 0.05f);
  EXPECT_EQ(C.Pos, 0.0f);
  EXPECT_EQ(C.FreqRed, 1.0f);
  EXPECT_EQ(C.FreqBlue, 1.0f);
  EXPECT_EQ(C.ShiftRed, 0.1f);
  EXPECT_EQ(C.ShiftGreen, 0.2f);
  EXPECT_EQ(C.ShiftBlue, 0.3f);
  EXPECT_EQ(C.AmpGreen, 0.0f);
  EXPECT_EQ(C.BaseBlue, 0.0f);
  EXPECT_EQ(C.Width, 256);
  EXPECT_EQ(C.Height, 256);
  // Only wave 0 x and y are set: a circle of radius 128.
  for (int W = 0; W < 3; ++W)
    for (int A = 0; A < 3; ++A) {
      const TWaveAxis& X = C.Waves.At(W, A);
      const bool Set = W == 0 && A < 2;
      EXPECT_EQ(X.Phase, W == 0 && A == 0 ? 90.0f : 0.0f);
      EXPECT_EQ(X.AmpOsc.Offset, Set ? 128.0f : 0.0f);
      EXPECT_EQ(X.FreqOsc.Offset, Set ? 1.0f : 0.0f);
      EXPECT_EQ(X.AmpOsc.Amp, 0.0f);
      EXPECT_EQ(X.FreqOsc.Freq, 0.0f);
    }
  EXPECT_EQ(C.Angle.x, 0.0f);
  EXPECT_EQ(C.Rot.z, 0.0f);
  for (float P : C.SinMagicParams) EXPECT_EQ(P, 0.0f);
  for (float P : C.SinMagicParams2) EXPECT_EQ(P, 0.0f);
}

TEST_F(ParticleWavesTest, ScaleToRasterScalesTheAmplitudesPerAxis) {
  TWaveConfig C;
  SetAxis(C, 1, waX, 33, {10, 4, 7}, {2, 3, 4});
  SetAxis(C, 0, waZ, 12, {64, 32, 5}, {6, 7, 8});
  SetAxis(C, 2, waY, 0, {-16, 8, 1}, {1, 1, 1});
  C.Width = 640;
  C.Height = 480;
  C.ScaleToRaster(256, 256);
  EXPECT_EQ(C.Waves.At(0, waX).AmpOsc.Offset, 320.0f);  // x 2.5
  EXPECT_EQ(C.Waves.At(0, waY).AmpOsc.Offset, 240.0f);  // y 1.875
  EXPECT_EQ(C.Waves.At(1, waX).AmpOsc.Offset, 25.0f);
  EXPECT_EQ(C.Waves.At(1, waX).AmpOsc.Amp, 10.0f);
  EXPECT_EQ(C.Waves.At(0, waZ).AmpOsc.Offset, 140.0f);  // z 2.1875
  EXPECT_EQ(C.Waves.At(0, waZ).AmpOsc.Amp, 70.0f);
  EXPECT_EQ(C.Waves.At(2, waY).AmpOsc.Offset, -30.0f);
  EXPECT_EQ(C.Waves.At(2, waY).AmpOsc.Amp, 15.0f);
  // Phases, the amplitude oscillators' frequencies and the frequency oscillators stay.
  EXPECT_EQ(C.Waves.At(1, waX).Phase, 33.0f);
  EXPECT_EQ(C.Waves.At(1, waX).AmpOsc.Freq, 7.0f);
  EXPECT_EQ(C.Waves.At(0, waZ).FreqOsc.Offset, 6.0f);
  EXPECT_EQ(C.Waves.At(0, waZ).FreqOsc.Amp, 7.0f);
  // The quotient is truncated to single precision: 100 * 1/3 of 256.
  TWaveConfig T;
  T.Width = 100;
  T.Waves.At(0, waX).AmpOsc.Offset = 1;
  T.ScaleToRaster(3, 256);
  EXPECT_EQ(T.Waves.At(0, waX).AmpOsc.Offset, 33.333332f);
}

TEST_F(ParticleWavesTest, ScaleToRasterRaisesOnAnOverflowingSizeSum) {
  TWaveConfig C;
  C.Width = INT32_MAX;
  C.Height = 1;
  EXPECT_THROW(C.ScaleToRaster(256, 256), EIntOverflow);
}

TEST_F(ParticleWavesTest, ScaleSinParamsTurnsPercentAmplitudesIntoPixels) {
  TWaveConfig C;
  for (size_t I = 0; I < 16; ++I) C.SinMagicParams[I] = C.SinMagicParams2[I] = 10;
  C.SinMagicParams[3] = 50;
  C.SinMagicParams[11] = -25;
  C.ScaleSinParams(640, 480);
  EXPECT_EQ(C.SinMagicParams[0], 64.0f);
  EXPECT_EQ(C.SinMagicParams[3], 320.0f);
  EXPECT_EQ(C.SinMagicParams[8], 48.0f);
  EXPECT_EQ(C.SinMagicParams[11], -120.0f);
  for (size_t K = 4; K < 8; ++K) {
    EXPECT_EQ(C.SinMagicParams[K], 10.0f);      // x frequencies
    EXPECT_EQ(C.SinMagicParams[K + 8], 10.0f);  // y frequencies
  }
  for (float P : C.SinMagicParams2) EXPECT_EQ(P, 10.0f);
}

TEST_F(ParticleWavesTest, CopiesCarryTheInnerValues) {
  TWaveConfig A;
  MakeUnusual(A);
  TWaveConfig B;
  B.Assign(A);
  ExpectSame(A, B);
  std::unique_ptr<TWaveConfig> C = CloneOf(A);
  ExpectSame(A, *C);
}

TEST_F(ParticleWavesTest, StreamRecordCarriesTheWaveTableAsLittleEndianSingles) {
  TWaveConfig A;
  MakeUnusual(A);
  TMemoryStream S;
  {
    TStreamPropertyBag Bag(S);
    Bag.WriteObject(&A);
  }
  // The wave table as 63 singles in the documented order, per axis: Phase, AmpOsc Offset, Amp,
  // Freq, FreqOsc Offset, Amp, Freq.
  std::vector<uint8_t> Expected;
  for (const TWaveAxis& X : A.Waves.Axes)
    for (float F : {X.Phase, X.AmpOsc.Offset, X.AmpOsc.Amp, X.AmpOsc.Freq, X.FreqOsc.Offset,
                    X.FreqOsc.Amp, X.FreqOsc.Freq}) {
      uint32_t Bits;
      std::memcpy(&Bits, &F, 4);
      for (int K = 0; K < 4; ++K) Expected.push_back(uint8_t(Bits >> (8 * K)));
    }
  ASSERT_EQ(Expected.size(), 252u);
  const std::vector<uint8_t>& Bytes = S.Bytes();
  const std::string Name = "Waves";
  auto At = std::search(Bytes.begin(), Bytes.end(), Expected.begin(), Expected.end());
  ASSERT_NE(At, Bytes.end());
  EXPECT_TRUE(std::equal(Name.begin(), Name.end(), At - 5));
  // Angle, Rot and both parameter blocks follow in this order.
  const auto Find = [&](const std::string& N) {
    return std::search(Bytes.begin(), Bytes.end(), N.begin(), N.end()) - Bytes.begin();
  };
  const auto PWaves = At - Bytes.begin();
  EXPECT_LT(PWaves, Find("Angle"));
  EXPECT_LT(Find("Angle"), Find("Rot"));
  EXPECT_LT(Find("Rot"), Find("SinMagicParams"));
  EXPECT_LT(Find("SinMagicParams"), Find("SinMagicParams2"));

  TWaveConfig B;
  S.SetPosition(0);
  ASSERT_TRUE(B.LoadFromStream(S));
  ExpectSame(A, B);
  EXPECT_EQ(S.Position(), S.Size());
}

TEST_F(ParticleWavesTest, RegistryRecordRoundTrips) {
  TWaveConfig A;
  MakeUnusual(A);
  A.SaveToRegistry("Software\\Zerozezu\\WaveTest", HKEY_CURRENT_USER);
  TWaveConfig B;
  ASSERT_TRUE(B.LoadFromRegistry("Software\\Zerozezu\\WaveTest", HKEY_CURRENT_USER));
  ExpectSame(A, B);
}

// Writes its wave table 12 bytes short, under the stored name of the real class.
class TShortWaves : public TWaveConfig {
  RIZ_REFLECTIVE(TShortWaves, TWaveConfig)
public:
  void WriteInnerProperties(TPropertyBag& Bag) override {
    Bag.WriteBinaryValue("Waves", &Waves, 240);
    Bag.WriteBinaryValue("Angle", &Angle, sizeof Angle);
    Bag.WriteBinaryValue("Rot", &Rot, sizeof Rot);
    Bag.WriteBinaryValue("SinMagicParams", &SinMagicParams, sizeof SinMagicParams);
    Bag.WriteBinaryValue("SinMagicParams2", &SinMagicParams2, sizeof SinMagicParams2);
  }
};
}  // namespace
RIZ_PUBLISHED_AS(TShortWaves, "TWaveConfig") {}
namespace {

TEST_F(ParticleWavesTest, WaveTableOfAnotherSizeFailsInTheBag) {
  TShortWaves Short;
  MakeUnusual(Short);
  TMemoryStream S;
  {
    TStreamPropertyBag Bag(S);
    Bag.WriteObject(&Short);
  }
  TWaveConfig B;
  S.SetPosition(0);
  EXPECT_THROW(B.LoadFromStream(S), EPropertyBagError);
}

// ---------------------------------------------------------------------------------------------
// Motion

TEST_F(ParticleWavesTest, NewConfigurationMakesABlackCircle) {
  TWaveConfig C;
  TParticleWaves P;
  P.ApplyConfig(C);
  ASSERT_EQ(P.Count, 200);
  P.Move();
  EXPECT_EQ(P.Pos, 0.05f);
  // The particle angle is a running sum truncated at every step: it falls behind i * 1.8 by up
  // to a thousandth of a degree toward the end of the figure.
  for (int I = 0; I < 200; ++I) {
    const double Theta = I * 1.8 / Rad;
    EXPECT_NEAR(P.Vertices[I].x, 128 * std::cos(Theta), 5e-3) << I;
    EXPECT_NEAR(P.Vertices[I].y, 128 * std::sin(Theta), 5e-3) << I;
    EXPECT_EQ(P.Vertices[I].z, 0.0f);
    EXPECT_EQ(P.Colors[I], 0u);
  }
  // Particle 0 is exactly on the x axis.
  EXPECT_EQ(P.Vertices[0].y, 0.0f);
}

TEST_F(ParticleWavesTest, LaterWavesAddAndASilentFirstWaveClearsItsAxis) {
  TWaveConfig C;
  C.ParticleCount = 8;
  SetAxis(C, 1, waX, 0, {10, 0, 0}, {2, 0, 0});   // adds 10 sin(2 theta) to x
  SetAxis(C, 2, waZ, 90, {5, 0, 0}, {1, 0, 0});   // z = 5 cos(theta), wave 0 z is silent
  TParticleWaves P;
  P.ApplyConfig(C);
  for (int I = 0; I < 8; ++I) P.Vertices[I] = {99, 99, 99};
  P.Move();
  for (int I = 0; I < 8; ++I) {
    const double T = I * 45 / Rad;
    EXPECT_NEAR(P.Vertices[I].x, 128 * std::cos(T) + 10 * std::sin(2 * T), 5e-4) << I;
    EXPECT_NEAR(P.Vertices[I].y, 128 * std::sin(T), 5e-4) << I;
    EXPECT_NEAR(P.Vertices[I].z, 5 * std::cos(T), 5e-5) << I;
  }
  // With every z wave silent the coordinate is 0 whatever was there.
  C.Waves.At(2, waZ).AmpOsc.Offset = 0;
  P.ApplyConfig(C);
  for (int I = 0; I < 8; ++I) P.Vertices[I].z = 42;
  P.Move();
  for (int I = 0; I < 8; ++I) EXPECT_EQ(P.Vertices[I].z, 0.0f);
}

TEST_F(ParticleWavesTest, AHugeStoredCountIsRefusedBeforeAllocating) {
  TWaveConfig C;
  TParticleWaves P;
  C.ParticleCount = TParticleWaves::MaxConfiguredParticles;
  EXPECT_NO_THROW(P.ApplyConfig(C));
  C.ParticleCount = 0x1FFFFFF;
  EXPECT_THROW(P.ApplyConfig(C), ERangeError);
}

TEST_F(ParticleWavesTest, AmplitudeAndFrequencyOscillateWithThePhase) {
  TWaveConfig C;
  C.ParticleCount = 4;
  C.Pos = 1;
  // Amplitude 100 + 50 sin(Pos * 90 degrees): 150 at phase 1.
  SetAxis(C, 0, waX, 90, {100, 50, 90}, {1, 0, 0});
  // Frequency 1 + 1 sin(Pos * 90 degrees): 2 at phase 1, so y = 128 sin(2 theta).
  SetAxis(C, 0, waY, 0, {128, 0, 0}, {1, 1, 90});
  TParticleWaves P;
  P.ApplyConfig(C);
  P.Move();
  EXPECT_NEAR(P.Vertices[0].x, 150, 1e-4);
  EXPECT_NEAR(P.Vertices[2].x, -150, 1e-3);
  EXPECT_NEAR(P.Vertices[1].y, 0, 1e-3);  // 128 sin(180 degrees)
  EXPECT_EQ(P.Pos, 1.05f);
  // Half a period of the amplitude later (phase 3): 100 - 50.
  P.Pos = 3;
  P.Move();
  EXPECT_NEAR(P.Vertices[0].x, 50, 1e-4);
}

TEST_F(ParticleWavesTest, ColoursFollowTheirSinesRoundedTowardZeroAndClamped) {
  TWaveConfig C;
  C.ParticleCount = 4;
  C.BaseRed = 100;
  C.AmpRed = 100;  // 100 + 100 sin(theta) at 0, 90, 180 and 270 degrees
  C.BaseGreen = 300;
  C.BaseBlue = 10.9f;
  C.ShiftRed = C.ShiftGreen = C.ShiftBlue = 0;
  TParticleWaves P;
  P.ApplyConfig(C);
  P.Move();
  EXPECT_EQ(P.Colors[0], 0x64FF0Au);
  // 90 degrees is a hair short of pi/2 in single precision: 199.99998, truncated to 199.
  EXPECT_EQ(P.Colors[1], 0xC7FF0Au);
  // 180 degrees is a hair short of pi: the sine is just above 0.
  EXPECT_EQ(P.Colors[2] >> 16, 100u);
  EXPECT_EQ(P.Colors[3] >> 16, 0u);
  // Negative values clamp to 0.
  C.BaseGreen = -5;
  C.AmpRed = 0;
  P.ApplyConfig(C);
  P.Move();
  EXPECT_EQ(P.Colors[0], 0x64000Au);
}

TEST_F(ParticleWavesTest, ColourDriftsWithThePhase) {
  TWaveConfig C;
  C.ParticleCount = 2;
  C.AmpBlue = 200;
  C.ShiftBlue = 0.5f;  // radians per unit of Pos
  C.Pos = 2;
  TParticleWaves P;
  P.ApplyConfig(C);
  P.Move();
  EXPECT_EQ(P.Colors[0], TPixel(200 * std::sin(1.0)));  // 168
}

TEST_F(ParticleWavesTest, AChannelBeyondThirtyTwoBitsRaisesTheRangeError) {
  TWaveConfig C;
  C.ParticleCount = 2;
  C.BaseGreen = 3e9f;
  TParticleWaves P;
  P.ApplyConfig(C);
  EXPECT_THROW(P.Move(), ERangeError);
}

TEST_F(ParticleWavesTest, SineBeyondTheUnitsRangeIsZero) {
  EXPECT_EQ(fpu::Sin(9223372036854775808.0), 0.0);
  EXPECT_EQ(fpu::Sin(-1e30), 0.0);
  EXPECT_NE(fpu::Sin(4611686018427387904.0), 0.0);
  EXPECT_TRUE(std::isnan(fpu::Sin(NAN)));
}

TEST_F(ParticleWavesTest, ApplyConfigTakesCountModeAndRotation) {
  TWaveConfig C;
  C.ParticleCount = 9;
  C.RenderMode = rmDrawMixMode;
  C.Angle = {10, 20, 30};
  C.Rot = {1, 2, 3};
  C.Speed = 0.5f;
  C.Pos = 7;
  TParticleWaves P;
  P.ApplyConfig(C);
  EXPECT_EQ(P.Count, 9);
  EXPECT_EQ(P.RenderMode, rmDrawMixMode);
  EXPECT_EQ(P.Rotation.y, 20.0f);
  EXPECT_EQ(P.AngularVelocity.z, 3.0f);
  P.Move();
  EXPECT_EQ(P.Rotation.x, 11.0f);
  EXPECT_EQ(P.Rotation.z, 33.0f);
  EXPECT_EQ(P.Pos, 7.5f);
  // A damaged negative count gives an empty figure; zero particles move nothing.
  C.ParticleCount = -3;
  P.ApplyConfig(C);
  EXPECT_EQ(P.Count, 0);
  P.Move();
  EXPECT_EQ(P.Pos, 7.5f);
}

TEST_F(ParticleWavesTest, FigureRendersOntoItsCircleInTheWorld) {
  TWaveConfig C;
  C.BaseRed = C.BaseGreen = C.BaseBlue = 255;
  TParticleWaves P;
  P.ApplyConfig(C);
  TWorld3d World(NullVector, -300, NullAngles, Point(150, 150));
  World.Add(&P);
  TDIBRaster R(300, 300);
  P.Raster = &R;
  World.RenderAll();
  int Lit = 0;
  for (int Y = 0; Y < 300; ++Y)
    for (int X = 0; X < 300; ++X)
      if (R.Bits[Y * 300 + X] & 0xFFFFFF) {
        ++Lit;
        EXPECT_NEAR(std::hypot(X - 150, Y - 150), 128, 1.5) << X << "," << Y;
      }
  EXPECT_GT(Lit, 180);
  EXPECT_LE(Lit, 200);
}

}  // namespace
