// B-spline flight paths: the worked values, the clamped ends, the knot vector, degrees outside
// the point count, growth of the point block, and the "CurvePoints" record, read back whole,
// damaged and short. Evaluation is checked against a literal Cox-de Boor recursion over every
// point, in both rounding modes the program meets.

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "graphics/BSplines.h"
#include "persistence/PropertyBags.h"
#include "platform/Registry.h"

namespace {

class BSplines : public ::testing::Test {
protected:
  void SetUp() override { RegisterBSplinesClasses(); }
};

std::unique_ptr<TBSpline> Curve(std::initializer_list<TPoint> Points, int32_t Degree = 3) {
  auto C = std::make_unique<TBSpline>();
  C->SetDegree(Degree);
  for (const TPoint& P : Points) C->AddPoint(P);
  return C;
}

// Runs F with the rounding mode of the show (toward zero) and restores the mode.
template <class F>
void TowardZero(F&& Body) {
  const int Saved = std::fegetround();
  std::fesetround(FE_TOWARDZERO);
  Body();
  std::fesetround(Saved);
}

// ---- The evaluation as written down: knots, recursion and sum over every point.

double Sgl(double X) { return static_cast<float>(X); }

double RefBasis(const std::vector<int32_t>& T, int I, int K, double U) {
  if (K == 1) return (T[I] <= U && U < T[I + 1]) ? 1.0 : 0.0;
  const int D1 = T[I + K - 1] - T[I];
  const int D2 = T[I + K] - T[I + 1];
  if (D1 == 0 && D2 == 0) return 0.0;
  if (D1 == 0) return Sgl(RefBasis(T, I + 1, K - 1, U) * Sgl(Sgl(T[I + K] - U) / D2));
  if (D2 == 0) return Sgl(RefBasis(T, I, K - 1, U) * Sgl(Sgl(U - T[I]) / D1));
  return Sgl(Sgl(RefBasis(T, I, K - 1, U) * Sgl(Sgl(U - T[I]) / D1)) +
             Sgl(RefBasis(T, I + 1, K - 1, U) * Sgl(Sgl(T[I + K] - U) / D2)));
}

TPoint RefPoint(const std::vector<TPoint>& P, int K, double T, double TMax) {
  const int N = int(P.size());
  std::vector<int32_t> Knots(size_t(N + K));
  for (int J = 0; J < N + K; ++J) Knots[size_t(J)] = J < K ? 0 : (J <= N - 1 ? J - K + 1 : N - K + 1);
  if (std::fabs(Sgl(T - TMax)) < 0.000001) return P.back();
  const double U = Sgl(Sgl(double(N - K + 1) * T) / TMax);
  TPoint R;
  for (int I = 0; I < N; ++I) {
    const double B = RefBasis(Knots, I, K, U);
    R.X += int32_t(std::trunc(Sgl(P[size_t(I)].X * B)));
    R.Y += int32_t(std::trunc(Sgl(P[size_t(I)].Y * B)));
  }
  return R;
}

// The offset of the 4-byte value stored under Name inside the block Block of a stream record.
size_t ValueOffset(const std::vector<uint8_t>& Bytes, const std::string& Block, const std::string& Name) {
  auto Find = [&](const std::string& S, size_t From) {
    for (size_t I = From; I + S.size() <= Bytes.size(); ++I)
      if (std::memcmp(Bytes.data() + I, S.data(), S.size()) == 0) return I;
    return std::string::npos;
  };
  const size_t B = Find(Block, 0);
  if (B == std::string::npos) return B;
  const size_t V = Find(Name, B + Block.size());
  return V == std::string::npos ? V : V + Name.size();
}

std::vector<uint8_t> Record(TBSpline& C) {
  TMemoryStream S;
  TStreamPropertyBag(S).WriteObject(&C);
  return S.Bytes();
}

std::unique_ptr<TBSpline> ReadRecord(const std::vector<uint8_t>& Bytes) {
  TMemoryStream S;
  S.WriteBuffer(Bytes.data(), int32_t(Bytes.size()));
  S.SetPosition(0);
  auto C = std::make_unique<TBSpline>();
  TReflectivePersistent* Into = C.get();
  TStreamPropertyBag(S).ReadObject(Into);
  return C;
}

}  // namespace

TEST_F(BSplines, ANewCurveHasRoomButNoPoint) {
  TBSpline C;
  EXPECT_EQ(C.Degree(), 3);
  EXPECT_EQ(C.Capacity(), 16);
  EXPECT_EQ(C.Count(), 0);
  EXPECT_FALSE(C.KnotsValid());
  EXPECT_EQ(C.GetPoint(0, 8000), Point(0, 0));
  EXPECT_EQ(C.GetPoint(8000, 8000), Point(0, 0));
  EXPECT_EQ(C.KnotCount(5), 8);
  EXPECT_THROW(C.Points(0), ERangeError);
  ASSERT_NE(GetReflectiveClass("TBSpline"), nullptr);
  EXPECT_EQ(GetReflectiveClass("TBSpline")->Create()->ClassName(), "TBSpline");
}

TEST_F(BSplines, OnePointIsTheCurveForEveryTime) {
  const auto CPtr = Curve({{-7, 12}});
  TBSpline& C = *CPtr;
  for (double T : {0.0, 1.0, 4000.0, 8000.0, 9000.0}) EXPECT_EQ(C.GetPoint(T, 8000), Point(-7, 12)) << T;
}

TEST_F(BSplines, TwoPointsAreAStraightLineWithTheWholeSumTruncated) {
  const auto CPtr = Curve({{0, 0}, {64, 64}});
  TBSpline& C = *CPtr;
  EXPECT_EQ(C.GetPoint(4000, 8000), Point(32, 32));
  EXPECT_EQ(C.GetPoint(0, 8000), Point(0, 0));
  EXPECT_EQ(C.GetPoint(8000, 8000), Point(64, 64));
  // 10 + (0 - 10) * 0.05 = 9.5: the sum is truncated, not the offset alone.
  const auto BackPtr = Curve({{10, 10}, {0, 0}});
  TBSpline& Back = *BackPtr;
  EXPECT_EQ(Back.GetPoint(400, 8000), Point(9, 9));
  // Toward zero on both sides of the origin.
  const auto NegPtr = Curve({{0, 0}, {-10, 10}});
  TBSpline& Neg = *NegPtr;
  EXPECT_EQ(Neg.GetPoint(2000, 8000), Point(-2, 2));
  TowardZero([&] {
    EXPECT_EQ(Back.GetPoint(400, 8000), Point(9, 9));
    EXPECT_EQ(Neg.GetPoint(2000, 8000), Point(-2, 2));
  });
}

TEST_F(BSplines, AnEmptyRangeHasOnlyItsEnd) {
  // 0 / 0 has no value; a sequence of no duration shows where its path ends.
  const auto TwoPtr = Curve({{0, 0}, {64, 64}});
  TBSpline& Two = *TwoPtr;
  EXPECT_EQ(Two.GetPoint(0, 0), Point(64, 64));
  EXPECT_EQ(Two.GetPoint(-1, -1), Point(64, 64));
  const auto ThreePtr = Curve({{0, 0}, {100, 0}, {100, 100}});
  TBSpline& Three = *ThreePtr;
  EXPECT_EQ(Three.GetPoint(0, 0), Point(100, 100));
}

TEST_F(BSplines, TheWorkedQuadraticExample) {
  const auto CPtr = Curve({{0, 0}, {100, 0}, {100, 100}});
  TBSpline& C = *CPtr;
  C.EnsureKnots();
  EXPECT_EQ(C.Knots(), (std::vector<int32_t>{0, 0, 0, 1, 1, 1}));
  EXPECT_DOUBLE_EQ(C.Basis(0, 3, 0.5), 0.25);
  EXPECT_DOUBLE_EQ(C.Basis(1, 3, 0.5), 0.5);
  EXPECT_DOUBLE_EQ(C.Basis(2, 3, 0.5), 0.25);
  EXPECT_EQ(C.GetPoint(4000, 8000), Point(75, 25));
  TowardZero([&] { EXPECT_EQ(C.GetPoint(4000, 8000), Point(75, 25)); });
  // The half-open lowest order: at the last knot every first-order function is zero.
  EXPECT_EQ(C.Basis(2, 1, 1.0), 0.0);
  EXPECT_EQ(C.Basis(2, 1, 0.0), 1.0);
  EXPECT_THROW(C.Basis(2, 5, 0.5), ERangeError) << "beyond the knots";
  EXPECT_THROW(C.Basis(-1, 2, 0.5), ERangeError);
}

TEST_F(BSplines, TheKnotVectorIsClampedAndUniform) {
  const auto CPtr = Curve({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}});
  TBSpline& C = *CPtr;
  C.EnsureKnots();
  EXPECT_TRUE(C.KnotsValid());
  EXPECT_EQ(C.Knots(), (std::vector<int32_t>{0, 0, 0, 1, 2, 3, 3, 3}));
  C.SetDegree(2);
  EXPECT_FALSE(C.KnotsValid());
  C.EnsureKnots();
  EXPECT_EQ(C.Knots(), (std::vector<int32_t>{0, 0, 1, 2, 3, 4, 4}));
  C.AddPoint(Point(5, 5));
  EXPECT_FALSE(C.KnotsValid()) << "a new point makes the knots stale";
}

TEST_F(BSplines, EveryCurveStartsAtItsFirstPointAndEndsAtItsLast) {
  const std::vector<TPoint> Pts = {{13, -40}, {700, 20}, {-300, 500}, {640, 480}, {5, 5}, {900, -100}};
  for (int N = 3; N <= 6; ++N)
    for (int K = 1; K <= N; ++K) {
      TBSpline C;
      C.SetDegree(K);
      for (int I = 0; I < N; ++I) C.AddPoint(Pts[size_t(I)]);
      EXPECT_EQ(C.GetPoint(0, 8000), Pts[0]) << N << " points, order " << K;
      EXPECT_EQ(C.GetPoint(8000, 8000), Pts[size_t(N - 1)]) << N << " points, order " << K;
    }
}

TEST_F(BSplines, EvaluationMatchesTheRecursionOverEveryPoint) {
  // The curve only works out the basis functions of the knot span that holds u; the others
  // must really be zero, in both rounding modes, for any order up to the point count.
  std::mt19937 Rng(20251209);
  std::uniform_int_distribution<int> Coord(-5000, 5000), Count(3, 12), Time(0, 7999);
  auto Check = [&] {
    for (int Round = 0; Round < 300; ++Round) {
      const int N = Count(Rng);
      std::vector<TPoint> Pts;
      TBSpline C;
      const int K = std::uniform_int_distribution<int>(1, N)(Rng);
      C.SetDegree(K);
      for (int I = 0; I < N; ++I) {
        Pts.push_back(Point(Coord(Rng), Coord(Rng)));
        C.AddPoint(Pts.back());
      }
      for (int S = 0; S < 8; ++S) {
        const double T = Time(Rng);
        ASSERT_EQ(C.GetPoint(T, 8000), RefPoint(Pts, K, T, 8000)) << N << " points, order " << K << ", T " << T;
      }
    }
  };
  Check();
  TowardZero(Check);
}

TEST_F(BSplines, AnOrderAboveThePointCountIsEvaluatedAsTheWholeBezierCurve) {
  // Taken literally such a curve has no basis function above zero and sits at (0, 0) until
  // it jumps to its end; it flies as the curve of order Count instead.
  const auto HighPtr = Curve({{0, 0}, {100, 0}, {100, 100}}, 7);
  TBSpline& High = *HighPtr;
  const auto SamePtr = Curve({{0, 0}, {100, 0}, {100, 100}}, 3);
  TBSpline& Same = *SamePtr;
  EXPECT_EQ(High.Degree(), 7) << "the stored order stays as given";
  EXPECT_EQ(High.EvaluatedOrder(), 3);
  for (double T : {0.0, 1000.0, 4000.0, 7999.0, 8000.0}) EXPECT_EQ(High.GetPoint(T, 8000), Same.GetPoint(T, 8000)) << T;
  EXPECT_EQ(High.GetPoint(4000, 8000), Point(75, 25));

  // An order far beyond anything costs no more than the bounded one and overflows nothing.
  TBSpline Huge;
  for (int I = 0; I < 2000; ++I) Huge.AddPoint(Point(I, (I * 37) % 500));
  Huge.SetDegree(INT32_MAX);
  EXPECT_EQ(Huge.EvaluatedOrder(), TBSpline::MaxEvaluatedOrder);
  EXPECT_EQ(Huge.GetPoint(0, 8000), Point(0, 0));
  EXPECT_EQ(Huge.GetPoint(8000, 8000), Point(1999, (1999 * 37) % 500));
  const TPoint Mid = Huge.GetPoint(4000, 8000);
  EXPECT_GT(Mid.X, 900);
  EXPECT_LT(Mid.X, 1100);
}

TEST_F(BSplines, AnOrderBelowOneStepsFromPointToPoint) {
  for (int32_t Degree : {0, -3, INT32_MIN}) {
    const auto CPtr = Curve({{1, 1}, {2, 2}, {3, 3}}, Degree);
    TBSpline& C = *CPtr;
    EXPECT_EQ(C.EvaluatedOrder(), 1);
    EXPECT_EQ(C.GetPoint(800, 8000), Point(1, 1)) << Degree;
    EXPECT_EQ(C.GetPoint(4000, 8000), Point(2, 2)) << Degree;
    EXPECT_EQ(C.GetPoint(7200, 8000), Point(3, 3)) << Degree;
    EXPECT_EQ(C.GetPoint(8000, 8000), Point(3, 3)) << Degree;
  }
}

TEST_F(BSplines, CoordinatesThatDoNotFitRaiseTheRunTimesErrors) {
  const auto WidePtr = Curve({{INT32_MIN, 0}, {INT32_MAX, 0}});
  TBSpline& Wide = *WidePtr;
  EXPECT_THROW(Wide.GetPoint(10, 100), EIntOverflow);
  const auto FarPtr = Curve({{INT32_MAX, 0}, {0, 0}, {0, 0}});
  TBSpline& Far = *FarPtr;
  // Single precision rounds 2^31 - 1 up to 2^31 in the nearest mode, which no longer fits.
  EXPECT_THROW(Far.GetPoint(0, 8000), ERangeError);
}

TEST_F(BSplines, ThePointBlockDoublesWhenFull) {
  TBSpline C;
  for (int I = 0; I < 16; ++I) EXPECT_EQ(C.AddPoint(Point(I, -I)), I);
  EXPECT_EQ(C.Capacity(), 16);
  EXPECT_EQ(C.AddPoint(Point(16, -16)), 16);
  EXPECT_EQ(C.Capacity(), 32);
  for (int I = 0; I < 17; ++I) EXPECT_EQ(C.Points(I), Point(I, -I));

  C.Clear();
  EXPECT_EQ(C.Count(), 0);
  EXPECT_EQ(C.Capacity(), 32) << "clearing keeps the room";
  EXPECT_EQ(C.GetPoint(100, 200), Point(0, 0));
  EXPECT_THROW(C.SetCapacity(-1), ERangeError);
  EXPECT_THROW(C.SetCapacity(TBSpline::MaxEntries + 1), ERangeError);
}

TEST_F(BSplines, ALoadedCurveHasNoSpareRoom) {
  const auto FivePtr = Curve({{1, 2}, {3, 4}, {5, 6}, {7, 8}, {9, 10}});
  TBSpline& Five = *FivePtr;
  Five.SetDegree(4);
  std::unique_ptr<TBSpline> Read = ReadRecord(Record(Five));
  EXPECT_EQ(Read->Count(), 5);
  EXPECT_EQ(Read->Capacity(), 5);
  EXPECT_EQ(Read->Degree(), 4);
  EXPECT_FALSE(Read->KnotsValid());
  for (int I = 0; I < 5; ++I) EXPECT_EQ(Read->Points(I), Five.Points(I));
  EXPECT_EQ(Read->GetPoint(3000, 8000), Five.GetPoint(3000, 8000));
  Read->AddPoint(Point(11, 12));
  EXPECT_EQ(Read->Capacity(), 10);

  // A curve read without points has no room to double; the next point still finds a place.
  TBSpline None;
  std::unique_ptr<TBSpline> Empty = ReadRecord(Record(None));
  EXPECT_EQ(Empty->Capacity(), 0);
  EXPECT_EQ(Empty->AddPoint(Point(4, 4)), 0);
  EXPECT_GE(Empty->Capacity(), 1);
  EXPECT_EQ(Empty->GetPoint(0, 1), Point(4, 4));
}

TEST_F(BSplines, TheCurvePointsBlockHoldsTheCountAndEveryCoordinate) {
  const std::string Key = "Software\\Test\\Curve";
  const auto CPtr = Curve({{1, -2}, {0x01020304, -0x7F000000}});
  TBSpline& C = *CPtr;
  C.SaveToRegistry(Key, HKEY_CURRENT_USER);
  TRegistry Reg;
  ASSERT_TRUE(Reg.OpenKeyReadOnly(Key + "\\InnerProperties\\CurvePoints"));
  int32_t Count = 0;
  EXPECT_EQ(Reg.ReadBinaryData("Count", &Count, 4), 4);
  EXPECT_EQ(Count, 2);
  uint8_t Points[32] = {};
  ASSERT_EQ(Reg.ReadBinaryData("Points", Points, sizeof Points), 16);
  const uint8_t Expected[16] = {1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1, 0, 0, 0, 0x81};
  EXPECT_EQ(std::memcmp(Points, Expected, 16), 0);
  Reg.CloseKey();

  TBSpline Back;
  ASSERT_TRUE(Back.LoadFromRegistry(Key, HKEY_CURRENT_USER));
  EXPECT_EQ(Back.Count(), 2);
  EXPECT_EQ(Back.Points(1), Point(0x01020304, -0x7F000000));
  EXPECT_EQ(Back.Degree(), 3);

  // A "Points" value shorter than the count announces is refused, not half read.
  ASSERT_TRUE(Reg.OpenKey(Key + "\\InnerProperties\\CurvePoints", false));
  Reg.WriteBinaryData("Points", Expected, 8);
  Reg.CloseKey();
  TBSpline Short;
  EXPECT_THROW(Short.LoadFromRegistry(Key, HKEY_CURRENT_USER), EReadError);
}

TEST_F(BSplines, ADamagedCountIsRefusedWithoutGuessing) {
  const auto CPtr = Curve({{10, 20}, {30, 40}, {50, 60}});
  TBSpline& C = *CPtr;
  const std::vector<uint8_t> Good = Record(C);
  const size_t At = ValueOffset(Good, "CurvePoints", "Count");
  ASSERT_NE(At, std::string::npos);
  int32_t Stored;
  std::memcpy(&Stored, Good.data() + At, 4);
  ASSERT_EQ(Stored, 3) << "the count follows its name";

  auto WithCount = [&](int32_t N) {
    std::vector<uint8_t> Bad = Good;
    std::memcpy(Bad.data() + At, &N, 4);
    return Bad;
  };
  EXPECT_THROW(ReadRecord(WithCount(-1)), ERangeError);
  EXPECT_THROW(ReadRecord(WithCount(INT32_MIN)), ERangeError);
  EXPECT_THROW(ReadRecord(WithCount(TBSpline::MaxEntries + 1)), ERangeError);
  // More points announced than stored: the block ends first.
  EXPECT_ANY_THROW(ReadRecord(WithCount(4)));
  EXPECT_ANY_THROW(ReadRecord(WithCount(1000000)));
  // Fewer: the curve takes as many as announced, and the record goes on behind its block.
  const std::unique_ptr<TBSpline> Two = ReadRecord(WithCount(2));
  EXPECT_EQ(Two->Count(), 2);
  EXPECT_EQ(Two->Points(1), Point(30, 40));
  // The record unharmed still reads.
  EXPECT_EQ(ReadRecord(Good)->Points(2), Point(50, 60));
}

TEST_F(BSplines, AFailedReadLeavesNoStaleKnotsBehind) {
  const auto CPtr = Curve({{0, 0}, {100, 0}, {100, 100}});
  TBSpline& C = *CPtr;
  C.EnsureKnots();
  const auto LongerPtr = Curve({{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}});
  TBSpline& Longer = *LongerPtr;
  std::vector<uint8_t> Bytes = Record(Longer);
  Bytes.resize(Bytes.size() - 20);  // the points are cut short
  TMemoryStream S;
  S.WriteBuffer(Bytes.data(), int32_t(Bytes.size()));
  S.SetPosition(0);
  TReflectivePersistent* Into = &C;
  EXPECT_ANY_THROW(TStreamPropertyBag(S).ReadObject(Into));
  // Whatever count the failed read left, evaluating stays within the knots.
  EXPECT_NO_THROW(C.GetPoint(4000, 8000));
}

TEST_F(BSplines, CopiesTakeTheOrderAndEveryPoint) {
  const auto CPtr = Curve({{5, 6}, {7, 8}, {9, 10}, {11, 12}}, 2);
  TBSpline& C = *CPtr;
  const auto DPtr = Curve({{0, 0}}, 5);
  TBSpline& D = *DPtr;
  D.Assign(C);
  EXPECT_EQ(D.Degree(), 2);
  ASSERT_EQ(D.Count(), 4);
  for (int I = 0; I < 4; ++I) EXPECT_EQ(D.Points(I), C.Points(I));
  EXPECT_EQ(D.GetPoint(1234, 8000), C.GetPoint(1234, 8000));
  std::unique_ptr<TBSpline> E = CloneOf(C);
  EXPECT_EQ(E->Count(), 4);
  EXPECT_EQ(E->Points(3), Point(11, 12));
  D.Assign(D);
  EXPECT_EQ(D.Count(), 4) << "assigning a curve to itself keeps its points";
}
