#include "graphics/ParticleSystems.h"

#include <new>

TParticleSystem::TParticleSystem() = default;

TParticleSystem::~TParticleSystem() { FreeBuffers(); }

// ---------------------------------------------------------------------------------------------
// Buffers

void TParticleSystem::AllocBuffers() {
  if (Count > MaxCount) throw ERangeError(SRangeError);
  const int32_t N = Count < 0 ? 0 : Count;
  // The byte sizes of the four buffers must fit an Integer.
  CheckedMul<int32_t>(N, sizeof(TPixel));
  CheckedMul<int32_t>(N, sizeof(TVector3));
  CheckedMul<int32_t>(N, sizeof(TPoint));
  try {
    Colors = std::make_unique_for_overwrite<TPixel[]>(size_t(N));
    Vertices = std::make_unique_for_overwrite<TVector3[]>(size_t(N));
    Transformed = std::make_unique_for_overwrite<TVector3[]>(size_t(N));
    Projected = std::make_unique_for_overwrite<TPoint[]>(size_t(N));
  } catch (const std::bad_alloc&) {
    FreeBuffers();
    Count = 0;
    throw EOutOfMemory("Out of memory");
  }
}

void TParticleSystem::FreeBuffers() {
  Colors.reset();
  Vertices.reset();
  Transformed.reset();
  Projected.reset();
}

void TParticleSystem::SetCount(int32_t N) {
  FreeBuffers();
  // A damaged stored count below zero leaves the system empty rather than failing the show.
  Count = N < 0 ? 0 : N;
  try {
    AllocBuffers();
  } catch (...) {
    Count = 0;
    throw;
  }
  ClearBuffers();
}

void TParticleSystem::ClearBuffers() {
  for (int32_t I = 0; I < Count; ++I) {
    Vertices[I] = NullVector;
    Colors[I] = 0;
  }
}

void TParticleSystem::SetRenderMode(TRenderMode Mode) {
  RenderMode = Mode;
  switch (Mode) {
    case rmDraw: OnDraw = &TParticleSystem::DrawPixels; break;
    case rmDrawMixMode: OnDraw = &TParticleSystem::DrawAdditive; break;
    case rmDrawStars: OnDraw = &TParticleSystem::DrawGlow; break;
    default: break;
  }
}

// ---------------------------------------------------------------------------------------------
// Frame operations

void TParticleSystem::Move() {
  Rotation = AddAngles(Rotation, AngularVelocity);
  Position = AddVectors(Position, Velocity);
}

void TParticleSystem::Transform() {
  if (!World || Count <= 0) return;
  RotateVertices(Vertices.get(), Transformed.get(), Count, SubAngles(Rotation, World->CameraAngles));
  const TVector3 T = RotateVector(SubVectors(Position, World->CameraPos),
                                  SubAngles(NullAngles, World->CameraAngles));
  TranslateVertices(Transformed.get(), Transformed.get(), Count, T);
}

void TParticleSystem::Project() {
  if (!World || Count <= 0) return;
  ProjectVertices(Transformed.get(), Projected.get(), Count, World->Focal, World->Center);
}

void TParticleSystem::Draw() {
  if (OnDraw) (this->*OnDraw)();
}

// ---------------------------------------------------------------------------------------------
// Draw routines

namespace {
bool Inside(const TDIBRaster& R, const TPoint& P) {
  return P.X >= 0 && P.X < R.Width && P.Y >= 0 && P.Y < R.Height;
}
size_t PixelIndex(const TDIBRaster& R, const TPoint& P) {
  return size_t(P.Y) * size_t(R.Width) + size_t(P.X);
}
}  // namespace

void TParticleSystem::DrawPixels() {
  if (!Raster || !Raster->Bits) return;
  for (int32_t I = 0; I < Count; ++I)
    if (Inside(*Raster, Projected[I])) Raster->Bits[PixelIndex(*Raster, Projected[I])] = Colors[I];
}

void TParticleSystem::DrawAdditive() {
  if (!Raster || !Raster->Bits) return;
  for (int32_t I = 0; I < Count; ++I) {
    if (!Inside(*Raster, Projected[I])) continue;
    TPixel& P = Raster->Bits[PixelIndex(*Raster, Projected[I])];
    P = AddShiftedSat(P, Colors[I], 1);
  }
}

void TParticleSystem::DrawGlow() {
  if (!Raster || !Raster->Bits) return;
  for (int32_t I = 0; I < Count; ++I) Raster->PlotGlow(Projected[I].X, Projected[I].Y, Colors[I]);
}
