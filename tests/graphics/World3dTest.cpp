// The 3-D world and the particle system: projection with the world the particle-wave sequence
// builds, rotations, translation on both processor paths, the three ways of drawing, and the
// order of the frame operations.

#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "graphics/ParticleSystems.h"
#include "graphics/World3d.h"
#include "persistence/CPUUtility.h"
#include "tests/support/ProgramFPU.h"

namespace {

class World3dTest : public ::testing::Test {
protected:
  void TearDown() override { ClearProcessorOverride(); }
  testsupport::ProgramFPU Program;
};

// The world of the particle-wave sequence for a raster W x H.
TWorld3d SequenceWorld(int W, int H) {
  return TWorld3d(NullVector, float(-((W + H) / 2)), NullAngles, Point(W / 2, H / 2));
}

// One particle system with the given points, all white unless told otherwise.
void Fill(TParticleSystem& S, const std::vector<TVector3>& Points, TPixel Color = 0x00FFFFFF) {
  S.SetCount(int32_t(Points.size()));
  for (size_t I = 0; I < Points.size(); ++I) {
    S.Vertices[I] = Points[I];
    S.Colors[I] = Color;
  }
}

void ExpectNear(const TVector3& V, float X, float Y, float Z, float Tolerance = 1e-6f) {
  EXPECT_NEAR(V.x, X, Tolerance);
  EXPECT_NEAR(V.y, Y, Tolerance);
  EXPECT_NEAR(V.z, Z, Tolerance);
}

// Pixels of a raster that are not Background, as "x,y".
std::vector<std::string> Changed(const TDIBRaster& R, TPixel Background = 0) {
  std::vector<std::string> Out;
  for (int Y = 0; Y < R.Height; ++Y)
    for (int X = 0; X < R.Width; ++X)
      if ((R.Bits[Y * R.Width + X] & 0xFFFFFF) != Background)
        Out.push_back(std::to_string(X) + "," + std::to_string(Y));
  return Out;
}

// ---------------------------------------------------------------------------------------------
// Projection

TEST_F(World3dTest, ParticleAtDepthZeroLandsOnePixelPerUnitFromTheCentre) {
  TWorld3d World = SequenceWorld(640, 480);
  EXPECT_EQ(World.Focal, -560.0f);
  EXPECT_EQ(World.Center.X, 320);
  EXPECT_EQ(World.Center.Y, 240);
  TParticleSystem S;
  World.Add(&S);
  EXPECT_EQ(S.World, &World);
  Fill(S, {{10, -20, 0}});
  TDIBRaster R(640, 480);
  S.Raster = &R;
  World.RenderAll();
  EXPECT_EQ(S.Projected[0].X, 330);
  EXPECT_EQ(S.Projected[0].Y, 220);
  EXPECT_EQ(Changed(R), std::vector<std::string>{"330,220"});
}

TEST_F(World3dTest, DepthPullsTowardTheCentreAndTheEyePlaneFallsOutside) {
  const TPoint C = Point(320, 240);
  // z = -D: half as far; z = D: the integer indefinite; z = 2D (behind the eye): mirrored.
  const std::vector<TVector3> In = {{100, 60, 560}, {100, 60, -560}, {10, 20, -1120}, {0, 0, -560}};
  std::vector<TPoint> Out(In.size());
  ProjectVertices(In.data(), Out.data(), int(In.size()), -560.0f, C);
  EXPECT_EQ(Out[0].X, 370);
  EXPECT_EQ(Out[0].Y, 270);
  EXPECT_EQ(Out[1].X, INT32_MIN);
  EXPECT_EQ(Out[1].Y, INT32_MIN);
  EXPECT_EQ(Out[2].X, 310);
  EXPECT_EQ(Out[2].Y, 220);
  EXPECT_EQ(Out[3].X, INT32_MIN);  // 0 * infinity is no number either
}

TEST_F(World3dTest, ScreenCoordinatesAreTruncatedTowardZero) {
  const std::vector<TVector3> In = {{-0.9f, -0.9f, 0}, {0.9f, 1.99f, 0}, {-1.5f, 2.5f, 0}};
  std::vector<TPoint> Out(In.size());
  ProjectVertices(In.data(), Out.data(), int(In.size()), -100.0f, Point(0, 0));
  EXPECT_EQ(Out[0].X, 0);
  EXPECT_EQ(Out[0].Y, 0);
  EXPECT_EQ(Out[1].X, 0);
  EXPECT_EQ(Out[1].Y, 1);
  EXPECT_EQ(Out[2].X, -1);
  EXPECT_EQ(Out[2].Y, 2);
}

TEST_F(World3dTest, PointsBeyondTheIntegerRangeBecomeTheIndefiniteValue) {
  const std::vector<TVector3> In = {{3e9f, 10, 0}, {10, -3e9f, 0}, {NAN, 0, 0}};
  std::vector<TPoint> Out(In.size());
  ProjectVertices(In.data(), Out.data(), int(In.size()), -560.0f, Point(320, 240));
  EXPECT_EQ(Out[0].X, INT32_MIN);
  EXPECT_EQ(Out[0].Y, 250);
  EXPECT_EQ(Out[1].X, 330);
  EXPECT_EQ(Out[1].Y, INT32_MIN);
  EXPECT_EQ(Out[2].X, INT32_MIN);
}

// ---------------------------------------------------------------------------------------------
// Rotation and translation

TEST_F(World3dTest, RotationsTurnTheAxesIntoEachOther) {
  ExpectNear(RotateVector({1, 0, 0}, {0, 0, 90}), 0, 1, 0);
  ExpectNear(RotateVector({0, 1, 0}, {90, 0, 0}), 0, 0, 1);
  ExpectNear(RotateVector({1, 0, 0}, {0, 90, 0}), 0, 0, -1);
  ExpectNear(RotateVector({0, 0, 1}, {0, 90, 0}), 1, 0, 0);
  // About x first, then y, then z: (0, 1, 0) goes to z, then to x, and z leaves it alone.
  ExpectNear(RotateVector({0, 1, 0}, {90, 90, 90}), 0, 1, 0);
  ExpectNear(RotateVector({0, 1, 0}, {90, 90, 0}), 1, 0, 0);
  // A full turn comes back (up to the error of single precision).
  ExpectNear(RotateVector({3, -2, 5}, {360, 0, 0}), 3, -2, 5, 1e-5f);
}

TEST_F(World3dTest, RotationInPlaceEqualsRotationIntoAnotherBuffer) {
  std::mt19937 Rng(7);
  std::uniform_real_distribution<float> U(-500, 500);
  std::vector<TVector3> Src(257), Dst(257);
  for (TVector3& V : Src) V = {U(Rng), U(Rng), U(Rng)};
  std::vector<TVector3> Same = Src;
  const TAngles3 A{33.3f, -71.5f, 190.25f};
  RotateVertices(Src.data(), Dst.data(), int(Src.size()), A);
  RotateVertices(Same.data(), Same.data(), int(Same.size()), A);
  for (size_t I = 0; I < Src.size(); ++I) {
    EXPECT_EQ(Dst[I].x, Same[I].x);
    EXPECT_EQ(Dst[I].y, Same[I].y);
    EXPECT_EQ(Dst[I].z, Same[I].z);
    // One vector at a time gives the same bits as the buffer.
    const TVector3 One = RotateVector(Src[I], A);
    EXPECT_EQ(One.x, Dst[I].x);
    EXPECT_EQ(One.z, Dst[I].z);
  }
}

TEST_F(World3dTest, ZeroPointsTouchNothing) {
  RotateVertices(nullptr, nullptr, 0, {10, 20, 30});
  TranslateVertices(nullptr, nullptr, 0, {1, 2, 3});
  ProjectVertices(nullptr, nullptr, 0, -560, Point(1, 1));
  TVector3 V{1, 2, 3};
  RotateVertices(&V, &V, -4, {90, 0, 0});
  EXPECT_EQ(V.y, 2.0f);
}

TEST_F(World3dTest, PlainTranslationRoundsTowardZero) {
  OverrideProcessorFeatures(true, false);
  const float Third = std::ldexp(1.0f, -24) * 1.5f;  // three quarters of the step above 1
  const TVector3 Src[2] = {{1, 1, -1}, {std::ldexp(1.0f, -130), 0, 0}};
  TVector3 Dst[2];
  TranslateVertices(Src, Dst, 1, {Third, 0.5f, -Third});
  TranslateVertices(Src + 1, Dst + 1, 1, {0, 0, 0});
  EXPECT_EQ(Dst[0].x, 1.0f);
  EXPECT_EQ(Dst[0].y, 1.5f);
  EXPECT_EQ(Dst[0].z, -1.0f);
  EXPECT_EQ(Dst[1].x, std::ldexp(1.0f, -130));  // a denormal stays
}

TEST_F(World3dTest, ThreeDNowTranslationRoundsToNearestFlushesAndSaturates) {
  OverrideProcessorFeatures(false, true);
  const float Step = std::ldexp(1.0f, -23);
  const float Third = std::ldexp(1.0f, -24) * 1.5f;
  const TVector3 Src[3] = {{1, 1 + Step, -1},
                          {std::ldexp(1.0f, -130), 1, FLT_MAX},
                          {1.5f * FLT_MIN, 0, -1.5f * FLT_MIN}};
  TVector3 Dst[3];
  const TVector3 Off{Third, std::ldexp(1.0f, -24), -Third};
  TranslateVertices(Src, Dst, 1, Off);
  EXPECT_EQ(Dst[0].x, 1 + Step);          // nearest, up
  EXPECT_EQ(Dst[0].y, 1 + 2 * Step);      // a tie goes to the even neighbour
  EXPECT_EQ(Dst[0].z, -1 - Step);
  TranslateVertices(Src + 1, Dst + 1, 1, {0, std::ldexp(1.0f, -25), FLT_MAX});
  EXPECT_EQ(Dst[1].x, 0.0f);              // a denormal source counts as zero
  EXPECT_EQ(Dst[1].y, 1.0f);              // below half a step
  EXPECT_EQ(Dst[1].z, FLT_MAX);           // saturated, not infinite
  TranslateVertices(Src + 2, Dst + 2, 1, {-FLT_MIN, 0, FLT_MIN});
  EXPECT_EQ(Dst[2].x, 0.0f);              // a result below the smallest normal is zero
  EXPECT_FALSE(std::signbit(Dst[2].x));
  EXPECT_EQ(Dst[2].z, 0.0f);
  EXPECT_TRUE(std::signbit(Dst[2].z));
}

TEST(World3dNearest, ThreeDNowAdditionEqualsTheProcessorsNearestRoundingForNormalSums) {
  // Under round-to-nearest the processor's own single addition is the reference.
  const int Saved = std::fegetround();
  std::mt19937 Rng(1234);
  std::uniform_int_distribution<int> Exp(-60, 60);
  std::uniform_real_distribution<float> Mant(-2, 2);
  for (const int Mode : {FE_TONEAREST, FE_TOWARDZERO, FE_DOWNWARD}) {
    int Compared = 0;
    for (int I = 0; I < 200000; ++I) {
      const float A = std::ldexp(Mant(Rng), Exp(Rng));
      const float B = std::ldexp(Mant(Rng), Exp(Rng) / (I % 3 + 1));
      std::fesetround(FE_TONEAREST);
      volatile float Ref = A;
      Ref = Ref + B;
      std::fesetround(Mode);
      const float Got = fpu::Add3DNow(A, B);
      if (std::fpclassify(Ref) != FP_NORMAL) continue;
      ++Compared;
      ASSERT_EQ(Got, Ref) << A << " + " << B << " in mode " << Mode;
    }
    EXPECT_GT(Compared, 190000);
  }
  std::fesetround(Saved);
  // Saturation where the processor's addition would overflow to infinity.
  EXPECT_EQ(fpu::Add3DNow(FLT_MAX, FLT_MAX), FLT_MAX);
  EXPECT_EQ(fpu::Add3DNow(-FLT_MAX, -FLT_MAX), -FLT_MAX);
}

TEST_F(World3dTest, ThreeDNowPathIsChosenOnEveryCall) {
  const TVector3 Src{1, 0, 0};
  const TVector3 Off{std::ldexp(1.0f, -24) * 1.5f, 0, 0};
  TVector3 Dst;
  OverrideProcessorFeatures(false, true);
  TranslateVertices(&Src, &Dst, 1, Off);
  EXPECT_GT(Dst.x, 1.0f);
  ClearProcessorOverride();
  OverrideProcessorFeatures(false, false);
  TranslateVertices(&Src, &Dst, 1, Off);
  EXPECT_EQ(Dst.x, 1.0f);
}

TEST_F(World3dTest, CameraTurnsAndMovesTheWholeSystem) {
  // Camera turned 90 degrees about z: the system appears turned back by the same angle, and its
  // position is seen turned back too.
  TWorld3d World(NullVector, -560, Angles3(0, 0, 90), Point(320, 240));
  TParticleSystem S;
  World.Add(&S);
  Fill(S, {{10, 0, 0}});
  S.Position = {5, 0, 0};
  S.Transform();
  ExpectNear(S.Transformed[0], 0, -15, 0, 1e-5f);
  // Camera moved: the system is seen relative to it.
  World.CameraAngles = NullAngles;
  World.CameraPos = {0, 0, -100};
  S.Transform();
  ExpectNear(S.Transformed[0], 15, 0, 100, 1e-5f);
}

// ---------------------------------------------------------------------------------------------
// Drawing

TEST_F(World3dTest, AdditiveModeAddsHalfTheColourSaturating) {
  TWorld3d World = SequenceWorld(64, 64);
  TParticleSystem S;
  World.Add(&S);
  Fill(S, {{0, 0, 0}, {0, 0, 0}}, 0x00808080);
  S.SetRenderMode(rmDrawMixMode);
  TDIBRaster R(64, 64);
  R.Clear(0x00FF8000);
  S.Raster = &R;
  S.Colors[1] = 0;  // the second particle on the same pixel adds nothing
  World.RenderAll();
  EXPECT_EQ(R.Bits[32 * 64 + 32] & 0xFFFFFF, 0x00FFC040u);
  EXPECT_EQ(R.Bits[32 * 64 + 31] & 0xFFFFFF, 0x00FF8000u);
}

TEST_F(World3dTest, ParticlesOutsideTheRasterLeaveItUnchangedInEveryMode) {
  for (const TRenderMode M : {rmDraw, rmDrawMixMode, rmDrawStars}) {
    TWorld3d World = SequenceWorld(64, 48);
    TParticleSystem S;
    World.Add(&S);
    // Left of, right of, above and below the raster, on the eye plane, and (glow only) on the
    // border rows and columns.
    Fill(S, {{-33, 0, 0}, {32, 0, 0}, {0, -25, 0}, {0, 24, 0}, {0, 0, -56}, {-32, 0, 0}, {0, 23, 0}});
    S.SetRenderMode(M);
    TDIBRaster R(64, 48);
    S.Raster = &R;
    World.RenderAll();
    const std::vector<std::string> Got = Changed(R);
    if (M == rmDrawStars) {
      EXPECT_TRUE(Got.empty()) << "mode " << int(M) << ": " << Got.size();
    } else {
      // Column 0 and row 47 are inside the raster for single pixels.
      EXPECT_EQ(Got, (std::vector<std::string>{"0,24", "32,47"})) << "mode " << int(M);
    }
  }
}

TEST_F(World3dTest, StarsGlowAndSwitchingBackDrawsSinglePixels) {
  TWorld3d World = SequenceWorld(16, 16);
  TParticleSystem S;
  World.Add(&S);
  Fill(S, {{0, 0, 0}});
  TDIBRaster R(16, 16);
  S.Raster = &R;
  S.SetRenderMode(rmDrawStars);
  EXPECT_EQ(S.RenderMode, rmDrawStars);
  World.RenderAll();
  EXPECT_EQ(Changed(R), (std::vector<std::string>{"8,7", "7,8", "8,8", "9,8", "8,9"}));
  EXPECT_EQ(R.Bits[8 * 16 + 8] & 0xFFFFFF, 0x007F7F7Fu);
  EXPECT_EQ(R.Bits[8 * 16 + 9] & 0xFFFFFF, 0x003F3F3Fu);
  R.Clear(0);
  S.SetRenderMode(rmDraw);
  World.RenderAll();
  EXPECT_EQ(Changed(R), std::vector<std::string>{"8,8"});
  // An unknown mode changes the mode only: the draw routine stays.
  S.SetRenderMode(TRenderMode(7));
  EXPECT_EQ(S.RenderMode, TRenderMode(7));
  R.Clear(0);
  World.RenderAll();
  EXPECT_EQ(Changed(R), std::vector<std::string>{"8,8"});
}

TEST_F(World3dTest, DrawingWithoutARasterOrIntoARefusedOneDoesNothing) {
  TWorld3d World = SequenceWorld(16, 16);
  TParticleSystem S;
  World.Add(&S);
  Fill(S, {{0, 0, 0}});
  World.RenderAll();
  TDIBRaster Refused(0, 0);
  S.Raster = &Refused;
  for (const TRenderMode M : {rmDraw, rmDrawMixMode, rmDrawStars}) {
    S.SetRenderMode(M);
    World.RenderAll();
  }
  EXPECT_EQ(Refused.Bits, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Particle system and world

TEST_F(World3dTest, EmptySystemOnlyTurnsAndMoves) {
  TWorld3d World = SequenceWorld(32, 32);
  TParticleSystem S;
  World.Add(&S);
  EXPECT_EQ(S.Count, 0);
  EXPECT_EQ(S.Vertices, nullptr);
  S.Velocity = {1, 2, 3};
  S.AngularVelocity = {10, 20, 30};
  TDIBRaster R(32, 32);
  S.Raster = &R;
  World.RenderAll();
  World.RenderAll();
  EXPECT_EQ(S.Position.x, 2.0f);
  EXPECT_EQ(S.Position.z, 6.0f);
  EXPECT_EQ(S.Rotation.y, 40.0f);
  EXPECT_TRUE(Changed(R).empty());
}

TEST_F(World3dTest, SetCountDiscardsEverythingAndRefusesImpossibleCounts) {
  TParticleSystem S;
  Fill(S, {{1, 2, 3}, {4, 5, 6}});
  S.SetCount(3);
  ASSERT_EQ(S.Count, 3);
  for (int I = 0; I < 3; ++I) {
    EXPECT_EQ(S.Vertices[I].x, 0.0f);
    EXPECT_EQ(S.Vertices[I].z, 0.0f);
    EXPECT_EQ(S.Colors[I], 0u);
  }
  S.SetCount(-5);
  EXPECT_EQ(S.Count, 0);
  EXPECT_THROW(S.SetCount(TParticleSystem::MaxCount + 1), ERangeError);
  EXPECT_EQ(S.Count, 0);
  EXPECT_EQ(S.Vertices, nullptr);
}

// Records the frame operations in a shared log.
class TRecorder : public TObject3d {
public:
  TRecorder(std::string* Log, char Tag) : FLog(Log), FTag(Tag) {}
  void Move() override { *FLog += FTag + std::string("m"); }
  void Transform() override { *FLog += FTag + std::string("t"); }
  void Project() override { *FLog += FTag + std::string("p"); }
  void Draw() override { *FLog += FTag + std::string("d "); }

private:
  std::string* FLog;
  char FTag;
};

TEST_F(World3dTest, RenderAllRunsEachVisibleObjectsFourStepsInListOrder) {
  std::string Log;
  TRecorder A(&Log, 'a'), B(&Log, 'b'), C(&Log, 'c');
  TWorld3d World(NullVector, -1, NullAngles, Point(0, 0));
  World.Add(&A);
  World.Add(&B);
  World.Add(&C);
  B.Visible = false;
  World.RenderAll();
  EXPECT_EQ(Log, "amatapad cmctcpcd ");
  EXPECT_EQ(World.Count(), 3);
  EXPECT_EQ(World.Objects(2), &C);
  EXPECT_THROW(World.Objects(3), EListError);
  EXPECT_THROW(World.Objects(-1), EListError);
}

}  // namespace
