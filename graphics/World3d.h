#pragma once
// The small 3-D engine of the particle effects: a world with a camera and a list of objects that
// move, transform, project and draw themselves once per frame, and the vertex routines behind
// them (rotation in degrees, translation, perspective projection onto a screen centre).
//
// Arithmetic follows the process's floating-point mode, which the programs set to rounding
// toward zero: every step is narrowed to single precision on its own, as the x87 unit does at
// single precision, and every conversion to an integer truncates.

#include <cstdint>
#include <vector>

#include "platform/PaintTarget.h"
#include "platform/SysUtils.h"

// A position, offset or velocity.
struct TVector3 {
  float x = 0, y = 0, z = 0;
};
// Rotation angles about the x, y and z axes, in degrees.
struct TAngles3 {
  float x = 0, y = 0, z = 0;
};

inline constexpr TVector3 NullVector{0, 0, 0};
inline constexpr TAngles3 NullAngles{0, 0, 0};
// Degrees per radian of the 3-D code: the single nearest to 180/pi (57.295780181884766).
inline constexpr float DegPerRad = 57.29578f;

TVector3 Vector3(float x, float y, float z);
TAngles3 Angles3(float x, float y, float z);
TVector3 AddVectors(const TVector3& A, const TVector3& B);
TVector3 SubVectors(const TVector3& A, const TVector3& B);
TAngles3 AddAngles(const TAngles3& A, const TAngles3& B);
TAngles3 SubAngles(const TAngles3& A, const TAngles3& B);

// Rotates N points about x, then y, then z; each axis is done for the whole buffer before the
// next, with one sine and cosine per axis per call. Src and Dst may be the same buffer.
void RotateVertices(const TVector3* Src, TVector3* Dst, int N, const TAngles3& Angles);
TVector3 RotateVector(const TVector3& V, const TAngles3& Angles);
// Dst[i] := Src[i] + Offset. With 3DNow! (Has3DNow) the sums are packed single additions,
// which round to nearest whatever the process's mode, flush results below the smallest normal
// to zero and saturate at the largest finite value; otherwise one addition per component in the
// process's mode. Src and Dst may be the same buffer.
void TranslateVertices(const TVector3* Src, TVector3* Dst, int N, const TVector3& Offset);
// Perspective onto the screen: f = D / (z - D); X = Trunc(Center.X - x * f), Y likewise. With D
// negative a point at z = 0 maps one unit to one pixel. A point at z = D (or any value the
// integer cannot hold) lands on -2147483648, outside every raster.
void ProjectVertices(const TVector3* Src, TPoint* Dst, int N, float D, const TPoint& Center);

class TWorld3d;

// An object of the world. Frame operations are called by TWorld3d::RenderAll in the order
// Move, Transform, Project, Draw.
class TObject3d : public TObject {
public:
  TObject3d() = default;
  std::string ClassName() const override { return "TObject3d"; }

  TWorld3d* World = nullptr;  // set by TWorld3d::Add
  TVector3 Position;
  TAngles3 Rotation;
  bool Visible = true;

  // Advances one frame.
  virtual void Move() = 0;
  // Model points into camera space.
  virtual void Transform() = 0;
  // Camera space onto screen points.
  virtual void Project() = 0;
  virtual void Draw() = 0;
};

// A camera and the objects it sees. The world lists its objects but does not own them.
class TWorld3d : public TObject {
public:
  TWorld3d(const TVector3& ACameraPos, float AFocal, const TAngles3& ACameraAngles,
           const TPoint& ACenter);
  std::string ClassName() const override { return "TWorld3d"; }

  int Count() const { return static_cast<int>(FObjects.size()); }
  // EListError outside 0 .. Count - 1.
  TObject3d* Objects(int Index) const;
  // Appends Obj and makes this its world.
  void Add(TObject3d* Obj);
  // Every visible object in list order: Move, Transform, Project, Draw, all four before the
  // next object.
  void RenderAll();

  TVector3 CameraPos;
  TAngles3 CameraAngles;
  float Focal = 0;  // the projection distance D; negative in use
  TPoint Center;    // where the camera axis lands on the screen

private:
  std::vector<TObject3d*> FObjects;
};

// ---------------------------------------------------------------------------------------------
// The single-precision steps shared by the effects.

namespace fpu {
// One operation's exact result narrowed to single precision in the process's rounding mode.
inline float Sgl(double V) { return static_cast<float>(V); }
// The sine of the waves: 0 for an argument of magnitude 2^63 or more, which the unit cannot
// reduce.
double Sin(double X);
// Truncation into an integer as the unit stores it: -2147483648 (the integer indefinite) for
// an infinity, NaN or a value out of range.
int32_t TruncIndefinite(double V);
// Round in the process's rounding mode (toward zero in the programs); ERangeError when the
// result does not fit 32 bits.
int32_t RoundChecked(double V);
// The packed single addition of 3DNow!: round to nearest, no denormals, saturation.
float Add3DNow(float A, float B);
}  // namespace fpu
