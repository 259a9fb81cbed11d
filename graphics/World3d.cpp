#include "graphics/World3d.h"

#include <cfloat>
#include <cmath>

#include "persistence/CPUUtility.h"

using fpu::Sgl;

namespace {
// The vertex buffers are declared for indices 0 to $1FFFFFF.
constexpr int64_t MaxVertices = 0x2000000;

void CheckVertexCount(int N) {
  if (N > MaxVertices) throw ERangeError(SRangeError);
}

// Degrees to radians as the 3-D code converts them: one single division.
float Radians(float Degrees) { return Sgl(double(Degrees) / double(DegPerRad)); }

struct TSinCos {
  double S, C;
};
TSinCos SinCos(float Degrees) {
  const float R = Radians(Degrees);
  return {std::sin(double(R)), std::cos(double(R))};
}

// p * s1 + q * s2 and p * s1 - q * s2, each product and the sum narrowed on their own.
float MulAdd(float P, double S1, float Q, double S2) {
  return Sgl(double(Sgl(double(P) * S1)) + double(Sgl(double(Q) * S2)));
}
float MulSub(float P, double S1, float Q, double S2) {
  return Sgl(double(Sgl(double(P) * S1)) - double(Sgl(double(Q) * S2)));
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// fpu

namespace fpu {

double Sin(double X) {
  if (!(std::fabs(X) < 9223372036854775808.0)) return std::isnan(X) ? X : 0.0;
  return std::sin(X);
}

int32_t TruncIndefinite(double V) {
  if (!(V > -2147483649.0 && V < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(V);
}

int32_t RoundChecked(double V) { return RangeChecked<int32_t>(std::nearbyint(V)); }

namespace {
// Round to nearest, ties to even, into a normal single; the exact arithmetic below does not
// depend on the process's rounding mode.
float NearestSingle(double D) {
  if (D == 0 || std::isnan(D)) return static_cast<float>(D);
  if (std::isinf(D)) return std::copysign(FLT_MAX, static_cast<float>(D));
  int E = 0;
  const double Scaled = std::ldexp(std::frexp(D, &E), 24);  // |Scaled| in [2^23, 2^24)
  double I = std::trunc(Scaled);
  const double Frac = std::fabs(Scaled - I);
  if (Frac > 0.5 || (Frac == 0.5 && std::fmod(I, 2.0) != 0)) I += D < 0 ? -1.0 : 1.0;
  const double R = std::ldexp(I, E - 24);
  if (std::fabs(R) > double(FLT_MAX)) return std::copysign(FLT_MAX, static_cast<float>(D));
  if (std::fabs(R) < double(FLT_MIN)) return std::copysign(0.0f, static_cast<float>(D));
  return static_cast<float>(R);  // representable: exact in every mode
}

float FlushDenormal(float V) {
  return std::fpclassify(V) == FP_SUBNORMAL ? std::copysign(0.0f, V) : V;
}
}  // namespace

float Add3DNow(float A, float B) {
  // Two singles whose exponents lie more than 29 apart cannot meet a rounding midpoint, so
  // the double sum (exact otherwise) rounds like the exact one.
  return NearestSingle(double(FlushDenormal(A)) + double(FlushDenormal(B)));
}

}  // namespace fpu

// ---------------------------------------------------------------------------------------------
// Vectors and angles

TVector3 Vector3(float x, float y, float z) { return TVector3{x, y, z}; }
TAngles3 Angles3(float x, float y, float z) { return TAngles3{x, y, z}; }

TVector3 AddVectors(const TVector3& A, const TVector3& B) {
  return {Sgl(double(A.x) + B.x), Sgl(double(A.y) + B.y), Sgl(double(A.z) + B.z)};
}
TVector3 SubVectors(const TVector3& A, const TVector3& B) {
  return {Sgl(double(A.x) - B.x), Sgl(double(A.y) - B.y), Sgl(double(A.z) - B.z)};
}
TAngles3 AddAngles(const TAngles3& A, const TAngles3& B) {
  return {Sgl(double(A.x) + B.x), Sgl(double(A.y) + B.y), Sgl(double(A.z) + B.z)};
}
TAngles3 SubAngles(const TAngles3& A, const TAngles3& B) {
  return {Sgl(double(A.x) - B.x), Sgl(double(A.y) - B.y), Sgl(double(A.z) - B.z)};
}

// ---------------------------------------------------------------------------------------------
// Vertex routines

void RotateVertices(const TVector3* Src, TVector3* Dst, int N, const TAngles3& Angles) {
  if (N <= 0) return;
  CheckVertexCount(N);
  const TSinCos A = SinCos(Angles.x), B = SinCos(Angles.y), C = SinCos(Angles.z);
  // About x: y1 = y cos a - z sin a; z1 = y sin a + z cos a.
  for (int I = 0; I < N; ++I) {
    const TVector3 P = Src[I];
    Dst[I].x = P.x;
    Dst[I].y = MulSub(P.y, A.C, P.z, A.S);
    Dst[I].z = MulAdd(P.y, A.S, P.z, A.C);
  }
  // About y: x2 = x cos b + z1 sin b; z2 = z1 cos b - x sin b.
  for (int I = 0; I < N; ++I) {
    const TVector3 P = Dst[I];
    Dst[I].x = MulAdd(P.x, B.C, P.z, B.S);
    Dst[I].z = MulSub(P.z, B.C, P.x, B.S);
  }
  // About z: x3 = x2 cos c - y1 sin c; y3 = x2 sin c + y1 cos c.
  for (int I = 0; I < N; ++I) {
    const TVector3 P = Dst[I];
    Dst[I].x = MulSub(P.x, C.C, P.y, C.S);
    Dst[I].y = MulAdd(P.x, C.S, P.y, C.C);
  }
}

TVector3 RotateVector(const TVector3& V, const TAngles3& Angles) {
  TVector3 R;
  RotateVertices(&V, &R, 1, Angles);
  return R;
}

void TranslateVertices(const TVector3* Src, TVector3* Dst, int N, const TVector3& Offset) {
  if (N <= 0) return;
  CheckVertexCount(N);
  if (Has3DNow()) {
    for (int I = 0; I < N; ++I) {
      const TVector3 P = Src[I];
      Dst[I] = {fpu::Add3DNow(P.x, Offset.x), fpu::Add3DNow(P.y, Offset.y),
                fpu::Add3DNow(P.z, Offset.z)};
    }
    return;
  }
  for (int I = 0; I < N; ++I) {
    const TVector3 P = Src[I];
    Dst[I] = {Sgl(double(P.x) + Offset.x), Sgl(double(P.y) + Offset.y), Sgl(double(P.z) + Offset.z)};
  }
}

void ProjectVertices(const TVector3* Src, TPoint* Dst, int N, float D, const TPoint& Center) {
  if (N <= 0) return;
  CheckVertexCount(N);
  for (int I = 0; I < N; ++I) {
    const TVector3 P = Src[I];
    // z = D divides by zero: the infinity (or NaN) becomes the integer indefinite.
    const float F = Sgl(double(D) / double(Sgl(double(P.z) - D)));
    Dst[I].X = fpu::TruncIndefinite(Sgl(double(Center.X) - double(Sgl(double(P.x) * F))));
    Dst[I].Y = fpu::TruncIndefinite(Sgl(double(Center.Y) - double(Sgl(double(P.y) * F))));
  }
}

// ---------------------------------------------------------------------------------------------
// TWorld3d

TWorld3d::TWorld3d(const TVector3& ACameraPos, float AFocal, const TAngles3& ACameraAngles,
                   const TPoint& ACenter)
    : CameraPos(ACameraPos), CameraAngles(ACameraAngles), Focal(AFocal), Center(ACenter) {}

TObject3d* TWorld3d::Objects(int Index) const {
  if (Index < 0 || Index >= Count()) RaiseListIndexError(Index);
  return FObjects[static_cast<size_t>(Index)];
}

void TWorld3d::Add(TObject3d* Obj) {
  FObjects.push_back(Obj);
  if (Obj) Obj->World = this;
}

void TWorld3d::RenderAll() {
  for (int I = 0; I < Count(); ++I) {
    TObject3d* O = FObjects[static_cast<size_t>(I)];
    if (!O || !O->Visible) continue;
    O->Move();
    O->Transform();
    O->Project();
    O->Draw();
  }
}
