#pragma once
// B-spline flight paths: a persistent curve through integer control points, evaluated as a
// clamped uniform B-spline, so it starts at the first point, ends at the last and is pulled
// toward the ones between. Degree is the ORDER of the spline (its pieces are polynomials of
// degree Degree - 1).
//
// The floating-point steps follow the program's unit: every operation is rounded to single
// precision in the current rounding mode (toward zero while the show runs), and every
// conversion to an integer truncates and must fit 32 bits (ERangeError otherwise).

#include <cstdint>
#include <vector>

#include "persistence/ReflectionObjects.h"
#include "platform/PaintTarget.h"

class TBSpline : public TReflectivePersistent {
  RIZ_REFLECTIVE(TBSpline, TReflectivePersistent)
public:
  // Arrays hold at most this many points (and knots); an index outside raises ERangeError.
  static constexpr int32_t MaxEntries = 0x2000000;
  // Orders above this are evaluated as this order: the work per point grows with the square
  // of the order, and a curve this smooth no longer changes visibly.
  static constexpr int32_t MaxEvaluatedOrder = 256;

  // Degree 3, room for 16 points, no point.
  TBSpline();
  ~TBSpline() override;

  // Appends P and returns its index.
  int32_t AddPoint(const TPoint& P);
  // No point any more; the room stays.
  void Clear();
  // Room for NewCapacity points, those that fit kept. ERangeError outside 0 .. MaxEntries.
  void SetCapacity(int32_t NewCapacity);
  // One point more, doubling the room when it is full.
  void Grow();

  int32_t Degree() const { return FDegree; }
  // Any value is kept and stored as given; evaluation uses the order clamped to 1 .. Count
  // (and MaxEvaluatedOrder): an order above the point count would leave every basis function
  // zero and the curve stuck at (0, 0), and orders below 1 have no basis functions.
  void SetDegree(int32_t Value);
  // The order the curve is evaluated with.
  int32_t EvaluatedOrder() const;
  // N + Degree.
  int32_t KnotCount(int32_t N) const;

  // Fills the clamped uniform knot vector for Count points and the evaluated order.
  virtual void ComputeKnots();
  // Computes the knots when they are stale.
  void EnsureKnots();
  // The basis function N(I, K; U) on the current knots (Cox-de Boor; zero-length knot spans
  // drop their term). ERangeError when it would reach beyond the knots.
  double Basis(int32_t I, int32_t K, double U);
  // The curve point at T of the range 0 .. TMax: (0, 0) without points, the point itself for
  // one, a straight line for two, the spline for more; T = TMax gives the last point. A range
  // that is empty or negative (TMax <= 0) has only its end: the last point.
  TPoint GetPoint(double T, double TMax);

  int32_t Count() const { return FCount; }
  int32_t Capacity() const { return FCapacity; }
  // ERangeError outside 0 .. Count - 1.
  TPoint Points(int32_t Index) const;
  void SetPoints(int32_t Index, const TPoint& P);
  bool KnotsValid() const { return FKnotsValid; }
  // The knot vector as last computed.
  const std::vector<int32_t>& Knots() const { return FKnots; }

  // Degree has been copied by Assign's pass over the published properties; this copies the
  // points.
  void AssignInnerProperties(const TReflectivePersistent& Source) override;
  // The block "CurvePoints": the integer "Count" and the binary "Points" (X, Y of every point,
  // little-endian 32-bit each).
  void ReadInnerProperties(TPropertyBag& Bag) override;
  void WriteInnerProperties(TPropertyBag& Bag) override;

private:
  void CheckPointIndex(int32_t Index) const;
  // N(I .. I + Span - 1, K; U) into Out, from one pass over the triangle of lower orders.
  void BasisRow(int32_t I, int32_t Span, int32_t K, double U, std::vector<double>& Out) const;

  std::vector<TPoint> FPoints;   // FCapacity entries
  std::vector<int32_t> FKnots;   // Count + evaluated order entries once computed
  std::vector<double> FBasis;    // working row of GetPoint, kept to spare an allocation per frame
  int32_t FCapacity = 0;
  int32_t FCount = 0;
  int32_t FDegree = 3;
  bool FKnotsValid = false;
};

// Registers TBSpline.
void RegisterBSplinesClasses();

// The first (or last) point of a path; (0, 0) for a path without points.
TPoint BSplineEndPoint(const TBSpline& Path, bool Last);
// Changes one coordinate (X, or Y when Y is set) of the first or last point; nothing on a path
// without points.
void SetBSplineEndCoordinate(TBSpline& Path, bool Last, bool Y, int32_t Value);
