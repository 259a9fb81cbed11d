#pragma once
// A cloud of coloured points in the 3-D world, drawn into a raster as single pixels, as
// additive pixels or as glow dots.

#include <cstdint>
#include <memory>

#include "graphics/GfxTool.h"
#include "graphics/World3d.h"

enum TRenderMode : uint8_t { rmDraw = 0, rmDrawMixMode = 1, rmDrawStars = 2 };
inline constexpr const char* TRenderModeNames[] = {"rmDraw", "rmDrawMixMode", "rmDrawStars"};

class TParticleSystem : public TObject3d {
public:
  // The buffers are declared for indices 0 to $1FFFFFF: no more particles than that.
  static constexpr int32_t MaxCount = 0x2000000;

  // No particles, no raster, drawn as single pixels, at rest.
  TParticleSystem();
  ~TParticleSystem() override;
  TParticleSystem(const TParticleSystem&) = delete;
  TParticleSystem& operator=(const TParticleSystem&) = delete;
  std::string ClassName() const override { return "TParticleSystem"; }

  // Rotation += AngularVelocity; Position += Velocity.
  void Move() override;
  // The particles rotated by Rotation relative to the camera, then moved by the position as the
  // camera sees it.
  void Transform() override;
  void Project() override;
  // The draw routine of the render mode (nothing without a raster with pixels).
  void Draw() override;

  // New buffers for Count particles; contents undefined. A count beyond MaxCount raises the
  // range error, memory that cannot be had EOutOfMemory.
  virtual void AllocBuffers();
  virtual void FreeBuffers();
  // Discards all particle data: N particles at the origin, all black. A negative N gives none.
  virtual void SetCount(int32_t N);
  // Every vertex (0, 0, 0), every colour 0; Transformed and Projected untouched.
  void ClearBuffers();
  // rmDraw: DrawPixels; rmDrawMixMode: DrawAdditive; rmDrawStars: DrawGlow. Any other value
  // changes only RenderMode.
  void SetRenderMode(TRenderMode Mode);

  // Pixel (X, Y) := colour, inside the raster only.
  void DrawPixels();
  // Each colour channel of the pixel gains half the particle's, saturating; inside only.
  void DrawAdditive();
  // TDIBRaster::PlotGlow for every particle (interior points only).
  void DrawGlow();

  int32_t Count = 0;
  std::unique_ptr<TVector3[]> Vertices;     // model coordinates
  std::unique_ptr<TVector3[]> Transformed;  // camera space, written by Transform
  std::unique_ptr<TPoint[]> Projected;      // screen points, written by Project
  std::unique_ptr<TPixel[]> Colors;         // $00RRGGBB
  TDIBRaster* Raster = nullptr;             // drawn into; not owned
  TRenderMode RenderMode = rmDraw;
  void (TParticleSystem::*OnDraw)() = &TParticleSystem::DrawPixels;
  TVector3 Velocity;
  TAngles3 AngularVelocity;
};
