#include "graphics/BSplines.h"

#include <algorithm>
#include <cmath>

#include "persistence/PropertyBags.h"

namespace {

constexpr int32_t InitialCapacity = 16;

// One operation of the program's floating-point unit: the exact result rounded to single
// precision in the current rounding mode.
inline double Sgl(double X) { return static_cast<float>(X); }

// Truncation toward zero that must fit 32 bits.
int32_t Trunc32(double X) {
  const double T = std::trunc(X);
  if (!(T >= -2147483648.0 && T <= 2147483647.0)) throw ERangeError(SRangeError);
  return static_cast<int32_t>(T);
}

void PutInt32(uint8_t* P, int32_t V) {
  const auto U = static_cast<uint32_t>(V);
  P[0] = uint8_t(U);
  P[1] = uint8_t(U >> 8);
  P[2] = uint8_t(U >> 16);
  P[3] = uint8_t(U >> 24);
}

int32_t GetInt32(const uint8_t* P) {
  return static_cast<int32_t>(uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 |
                              uint32_t(P[3]) << 24);
}

}  // namespace

RIZ_PUBLISHED(TBSpline) { D.Integer("Degree", &TBSpline::Degree, &TBSpline::SetDegree); }

TBSpline::TBSpline() { SetCapacity(InitialCapacity); }

TBSpline::~TBSpline() = default;

int32_t TBSpline::AddPoint(const TPoint& P) {
  Grow();
  FPoints[size_t(FCount - 1)] = P;
  return FCount - 1;
}

void TBSpline::Clear() { FCount = 0; }

void TBSpline::SetCapacity(int32_t NewCapacity) {
  if (NewCapacity < 0 || NewCapacity > MaxEntries) throw ERangeError(SRangeError);
  FPoints.resize(size_t(NewCapacity));
  FCapacity = NewCapacity;
  if (FCount > FCapacity) {
    FCount = FCapacity;
    FKnotsValid = false;
  }
}

void TBSpline::Grow() {
  const int32_t NewCount = CheckedAdd(FCount, int32_t{1});
  if (NewCount > FCapacity) {
    int32_t NewCapacity = std::min(CheckedMul(FCapacity, int32_t{2}), MaxEntries);
    // A curve read without points has no room to double.
    if (NewCapacity < NewCount) NewCapacity = std::max(NewCount, InitialCapacity);
    SetCapacity(NewCapacity);
  }
  FCount = NewCount;
  FKnotsValid = false;
}

void TBSpline::SetDegree(int32_t Value) {
  FDegree = Value;
  SetCapacity(FCapacity);
  FKnotsValid = false;
}

int32_t TBSpline::EvaluatedOrder() const {
  return std::clamp(FDegree, 1, std::clamp(FCount, 1, MaxEvaluatedOrder));
}

int32_t TBSpline::KnotCount(int32_t N) const { return CheckedAdd(N, FDegree); }

void TBSpline::ComputeKnots() {
  const int32_t N = FCount;
  const int32_t K = EvaluatedOrder();
  const int32_t Total = CheckedAdd(N, K);
  if (Total > MaxEntries) throw ERangeError(SRangeError);
  FKnots.resize(size_t(Total));
  const int32_t Last = CheckedAdd(CheckedSub(N, K), int32_t{1});
  for (int32_t J = 0; J < Total; ++J) {
    if (J < K)
      FKnots[size_t(J)] = 0;
    else if (J <= N - 1)
      FKnots[size_t(J)] = J - K + 1;
    else
      FKnots[size_t(J)] = Last;
  }
}

void TBSpline::EnsureKnots() {
  // The size check also catches a count changed by a read that failed halfway.
  if (FKnotsValid && FKnots.size() == size_t(FCount) + size_t(EvaluatedOrder())) return;
  ComputeKnots();
  FKnotsValid = true;
}

void TBSpline::BasisRow(int32_t I, int32_t Span, int32_t K, double U, std::vector<double>& Out) const {
  if (I < 0 || Span < 1 || K < 1) throw ERangeError(SRangeError);
  // Order 1 is needed for I .. I + Span + K - 2, which reads knots up to I + Span + K - 1.
  const int32_t M = CheckedSub(CheckedAdd(Span, K), int32_t{1});
  const int32_t LastKnot = CheckedAdd(I, M);
  if (size_t(LastKnot) >= FKnots.size()) throw ERangeError(SRangeError);
  const int32_t* T = FKnots.data();

  // Out is the working row: order 1 over M functions, shrinking by one with every order.
  std::vector<double>& V = Out;
  V.resize(static_cast<size_t>(M));
  for (int32_t J = 0; J < M; ++J) V[size_t(J)] = (T[I + J] <= U && U < T[I + J + 1]) ? 1.0 : 0.0;
  // Order by order, N(i, k) from N(i, k - 1) and N(i + 1, k - 1), in place.
  for (int32_t Ord = 2; Ord <= K; ++Ord) {
    for (int32_t J = 0; J + Ord <= M; ++J) {
      const int32_t Idx = I + J;
      const int32_t D1 = CheckedSub(T[Idx + Ord - 1], T[Idx]);
      const int32_t D2 = CheckedSub(T[Idx + Ord], T[Idx + 1]);
      double R;
      if (D1 == 0 && D2 == 0) {
        R = 0.0;
      } else if (D1 == 0) {
        R = Sgl(V[size_t(J) + 1] * Sgl(Sgl(T[Idx + Ord] - U) / D2));
      } else if (D2 == 0) {
        R = Sgl(V[size_t(J)] * Sgl(Sgl(U - T[Idx]) / D1));
      } else {
        const double Left = Sgl(V[size_t(J)] * Sgl(Sgl(U - T[Idx]) / D1));
        const double Right = Sgl(V[size_t(J) + 1] * Sgl(Sgl(T[Idx + Ord] - U) / D2));
        R = Sgl(Left + Right);
      }
      V[size_t(J)] = R;
    }
  }
  V.resize(static_cast<size_t>(Span));
}

double TBSpline::Basis(int32_t I, int32_t K, double U) {
  std::vector<double> Row;
  BasisRow(I, 1, K, U, Row);
  return Row[0];
}

TPoint TBSpline::GetPoint(double T, double TMax) {
  EnsureKnots();
  TPoint Result{0, 0};
  if (FCount == 0) return Result;
  if (FCount == 1) return FPoints[0];
  const TPoint& Last = FPoints[size_t(FCount - 1)];
  // Without a range there is only its end (and 0 / 0 has no value).
  if (!(TMax > 0)) return Last;

  if (FCount == 2) {
    const TPoint& P0 = FPoints[0];
    const TPoint& P1 = FPoints[1];
    auto Line = [&](int32_t A, int32_t B) {
      const double Diff = CheckedSub(B, A);
      return Trunc32(Sgl(Sgl(Sgl(Diff * T) / TMax) + A));
    };
    return Point(Line(P0.X, P1.X), Line(P0.Y, P1.Y));
  }

  // The half-open basis is zero everywhere at the end of the knot range.
  if (std::fabs(Sgl(T - TMax)) < 0.000001) return Last;

  const int32_t K = EvaluatedOrder();
  const int32_t N = FCount;
  const double U = Sgl(Sgl(double(CheckedAdd(CheckedSub(N, K), int32_t{1})) * T) / TMax);

  // Only the K basis functions over the knot span that holds U can be non-zero; every other
  // one would add a truncated zero.
  const int32_t* Knots = FKnots.data();
  const int32_t* SpanEnd = std::upper_bound(Knots + (K - 1), Knots + N + 1, U,
                                            [](double V, int32_t Knot) { return V < Knot; });
  const int32_t S = int32_t(SpanEnd - Knots) - 1;
  if (S < K - 1 || S > N - 1) return Result;

  std::vector<double>& B = FBasis;
  BasisRow(S - K + 1, K, K, U, B);
  for (int32_t J = 0; J < K; ++J) {
    const TPoint& P = FPoints[size_t(S - K + 1 + J)];
    Result.X = CheckedAdd(Result.X, Trunc32(Sgl(P.X * B[size_t(J)])));
    Result.Y = CheckedAdd(Result.Y, Trunc32(Sgl(P.Y * B[size_t(J)])));
  }
  return Result;
}

void TBSpline::CheckPointIndex(int32_t Index) const {
  if (Index < 0 || Index >= FCount) throw ERangeError(SRangeError);
}

TPoint TBSpline::Points(int32_t Index) const {
  CheckPointIndex(Index);
  return FPoints[size_t(Index)];
}

void TBSpline::SetPoints(int32_t Index, const TPoint& P) {
  CheckPointIndex(Index);
  FPoints[size_t(Index)] = P;
}

void TBSpline::AssignInnerProperties(const TReflectivePersistent& Source) {
  inherited::AssignInnerProperties(Source);
  const auto& Src = static_cast<const TBSpline&>(Source);
  Clear();
  for (int32_t I = 0; I < Src.FCount; ++I) AddPoint(Src.FPoints[size_t(I)]);
}

void TBSpline::ReadInnerProperties(TPropertyBag& Bag) {
  inherited::ReadInnerProperties(Bag);
  Bag.BeginBlockRead("CurvePoints");
  try {
    const int32_t N = Bag.ReadInteger("Count");
    // A loaded curve has no spare room; a negative or oversized count is refused here.
    SetCapacity(N);
    FCount = N;
    FKnotsValid = false;
    const int32_t Bytes = CheckedMul(N, int32_t{8});
    std::vector<uint8_t> Buffer(static_cast<size_t>(Bytes));
    const int32_t Got = Bag.ReadBinaryValue("Points", Buffer.data(), Bytes);
    // A short value would leave points that were never stored.
    if (Got != Bytes) throw EReadError(SReadError);
    for (int32_t I = 0; I < N; ++I) {
      const uint8_t* P = Buffer.data() + size_t(I) * 8;
      FPoints[size_t(I)] = Point(GetInt32(P), GetInt32(P + 4));
    }
  } catch (...) {
    Bag.EndBlockRead();
    throw;
  }
  Bag.EndBlockRead();
  FKnotsValid = false;
}

void TBSpline::WriteInnerProperties(TPropertyBag& Bag) {
  inherited::WriteInnerProperties(Bag);
  Bag.BeginBlockWrite("CurvePoints");
  Bag.WriteInteger("Count", FCount);
  const int32_t Bytes = CheckedMul(FCount, int32_t{8});
  std::vector<uint8_t> Buffer(static_cast<size_t>(Bytes));
  for (int32_t I = 0; I < FCount; ++I) {
    uint8_t* P = Buffer.data() + size_t(I) * 8;
    PutInt32(P, FPoints[size_t(I)].X);
    PutInt32(P + 4, FPoints[size_t(I)].Y);
  }
  Bag.WriteBinaryValue("Points", Buffer.data(), Bytes);
  Bag.EndBlockWrite();
}

void RegisterBSplinesClasses() { RegisterReflectiveClass<TBSpline>(); }

TPoint BSplineEndPoint(const TBSpline& Path, bool Last) {
  if (Path.Count() == 0) return Point(0, 0);
  return Path.Points(Last ? Path.Count() - 1 : 0);
}

void SetBSplineEndCoordinate(TBSpline& Path, bool Last, bool Y, int32_t Value) {
  if (Path.Count() == 0) return;
  const int32_t I = Last ? Path.Count() - 1 : 0;
  TPoint P = Path.Points(I);
  (Y ? P.Y : P.X) = Value;
  Path.SetPoints(I, P);
}
