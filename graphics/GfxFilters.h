#pragma once
// Raster-to-raster filters: each reads one source raster and writes one destination raster of the
// same size. Filters treat a raster as one linear run of pixels: the left neighbour of a row's
// first pixel is the last pixel of the row above, and horizontal offsets run on across row ends.
//
// Floating-point work follows the process's rounding mode (the programs run toward zero): every
// step is rounded to single precision, and every conversion to an integer truncates. Sines,
// tangents and arc tangents come out at full precision whatever the unit's setting; only the
// arithmetic around them rounds.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/GfxTool.h"

// One value per column or per row, built afresh by each map-building operation.
using TSinLineBuffer = std::vector<float>;
// Amplitudes P[0..3] and frequencies P[4..7] of four sine terms along x, then the same for y in
// P[8..15]. A frequency counts whole periods across the width (or height).
using TSinParams = std::array<float, 16>;

class TGfxFilter : public TObject {
public:
  std::string ClassName() const override { return "TGfxFilter"; }
  // Runs the filter.
  virtual void Apply() = 0;
};

// A filter with one source and one destination; neither raster is owned. Source and Dest must be
// two different rasters of the filter's size; a filter given anything else leaves Dest alone.
class TMonadicFilter : public TGfxFilter {
public:
  TMonadicFilter() = default;
  std::string ClassName() const override { return "TMonadicFilter"; }

  int Width = 0;
  int Height = 0;
  TDIBRaster* Source = nullptr;
  TDIBRaster* Dest = nullptr;

  // SetSource, SetDest, Apply, in this order.
  void Execute(TDIBRaster* ASource, TDIBRaster* ADest);
  // Takes Width and Height from the raster (0 for none).
  virtual void SetSource(TDIBRaster* Raster);
  virtual void SetDest(TDIBRaster* Raster);
  virtual int GetOptions();

protected:
  // Source and Dest are distinct rasters with pixels, both of Width x Height, and that size
  // holds Count pixels.
  bool RastersFit(size_t Count) const;
};

// Every destination pixel is fetched from a precomputed source position. Entries are byte offsets
// from the first source pixel, so running the map needs no multiplication. Every entry always
// names a pixel inside a raster of the map's size: only Reset and SetEntry write entries.
class TTranslationMap : public TMonadicFilter {
public:
  // Sizes are rounded up to even; the map starts as the identity. A negative size, or more
  // pixels than a raster may hold, raises the range error; an overflowing product the overflow
  // error.
  TTranslationMap(int AWidth, int AHeight);
  std::string ClassName() const override { return "TTranslationMap"; }

  // Number of entries (the creation size's pixel count); the map runs only on rasters of it.
  size_t EntryCount() const { return FMap.size(); }
  // Entry I: the byte offset of the source pixel copied to destination pixel I.
  const int32_t* Map() const { return FMap.data(); }
  int32_t Entry(int I) const;

  // Identity: the source is copied unchanged.
  void Reset();
  // Destination pixel (X, Y) fetches source pixel (SrcX, SrcY), the source coordinates reflected
  // into the raster. An entry outside the map raises the range error.
  void SetEntry(int X, int Y, int SrcX, int SrcY);
  void Apply() override;

  // Rows shifted sideways by the row's sine sum and columns up or down by the column's.
  void MakeWaved(const TSinParams& P);
  // Every position pulled toward (or pushed away from) the centre by factors 1 - Z, Z from the
  // zoom tables: one factor per axis, or when Averaged their mean for both.
  void MakeWavedZoom(const TSinParams& P, int CenterX, int CenterY, bool Averaged);
  // The averaged zoom of ZoomP applied to the waved position of WaveP.
  void MakeWavedZoomCombined(const TSinParams& WaveP, const TSinParams& ZoomP, int CenterX,
                             int CenterY);

private:
  std::vector<int32_t> FMap;
};

// Each pixel of the rows between the first and the last becomes the average of its four
// neighbours (up, left, right, down in the linear order); the first and the last row become 0.
// The average depends on the processor path, chosen on every call: see gfx::TSmoothPath.
class TFastSmooth : public TMonadicFilter {
public:
  std::string ClassName() const override { return "TFastSmooth"; }
  void Apply() override;
};

// Shows the source as seen through a rippled transparent surface: every pixel is displaced by the
// slope of a height field toward its right and lower neighbours.
class TRefractionMap : public TMonadicFilter {
public:
  // Sizes are rounded up to even and the field starts flat; Width and Height are the field's
  // size until a run takes them from its source raster. Errors as for TTranslationMap.
  TRefractionMap(int AWidth, int AHeight);
  std::string ClassName() const override { return "TRefractionMap"; }

  // One height per pixel in raster order (creation size).
  std::vector<int16_t> Heights;
  float RefrIndex = 0.0f;
  // Pixel offset for a height difference d in -2048 .. 2048 (entry 2048 is never filled).
  int32_t Table(int D) const { return FTable[size_t(D + 2048)]; }

  // Fills the offset table for refraction index N; 0 until the first call, so that a run before
  // it copies the source.
  void SetRefraction(float N);
  void Apply() override;
  // Adds sin((x * 360 * Freq + Phase) / (Width * 180 / pi)) * Amp to every height but the
  // outermost rows and columns: ridges from top to bottom, Freq periods across the width. Heights
  // saturate at the 16-bit limits.
  void AddSinWave(float Amp, float Phase, float Freq);
  // Sets the block of AWidth x AHeight heights at (X, Y) to Value; the part outside the field is
  // dropped.
  void FillHeights(int X, int Y, int AWidth, int AHeight, int16_t Value);

private:
  std::array<int32_t, 4097> FTable{};
};

// Ripples that spread and fade from frame to frame: two height fields, one the picture is
// refracted through (Maps[0]) and one that receives the next state and the disturbances (Maps[1]).
class TWaterize : public TMonadicFilter {
public:
  TWaterize(int AWidth, int AHeight);
  std::string ClassName() const override { return "TWaterize"; }

  std::array<std::unique_ptr<TRefractionMap>, 2> Maps;

  // On both fields.
  void SetRefraction(float N);
  // Refracts the source through the current field into the destination, then steps the water.
  void Apply() override;
  // Swaps the fields and lets the ripples spread one step, losing a sixteenth.
  void WaterStep();
  // The field that disturbances go into (the newest state).
  TRefractionMap* DisturbMap() { return Maps[1].get(); }
};

// Column table XT (Width values) and row table YT (Height values): the truncated sum of the four
// sine terms of P, kept as whole-numbered floats. The filter is read only for its size.
void BuildSinTables(const TMonadicFilter& Filter, TSinLineBuffer& XT, TSinLineBuffer& YT,
                    const TSinParams& P);
// Column and row tables of sum P[k] * (1 + sin(...)), not truncated.
void BuildZoomTables(const TMonadicFilter& Filter, TSinLineBuffer& ZX, TSinLineBuffer& ZY,
                     const TSinParams& P);

// ---------------------------------------------------------------------------------------------
// The smoothing paths and the water step, exposed for the tests and the benchmarks.

namespace gfx {

// What each processor path makes of four neighbours u, l, r, d, per byte:
//   Plain      floor((u + l + r + d) / 4) in the colour bytes, top byte 0;
//   MMX        the same, and the top byte averaged alike;
//   ThreeDNow  avg(avg(u, l), avg(r, d)) in all four bytes, avg(a, b) = floor((a + b + 1) / 2).
enum class TSmoothPath : uint8_t { Plain, MMX, ThreeDNow };
// 3DNow! first, then MMX, then plain, from the processor flags as they stand.
TSmoothPath SmoothPathFromFlags();
// One pixel at a time: the model of each path.
void SmoothScalar(TSmoothPath Path, const TPixel* Src, TPixel* Dst, int Width, int Height);
// The same results with vector instructions (the scalar model where there are none).
void SmoothFast(TSmoothPath Path, const TPixel* Src, TPixel* Dst, int Width, int Height);
// The scalar model on destination pixels From .. To - 1 only (rows of W pixels; every pixel in
// the range has its four neighbours inside the picture).
void SmoothScalarRange(TSmoothPath Path, const TPixel* Src, TPixel* Dst, size_t W, size_t From,
                       size_t To);


// One step of the water on field pixels From .. To - 1 (rows of W values): M1 := the spread of M0
// less M1, damped by a sixteenth.
void WaterStepRange(const int16_t* M0, int16_t* M1, size_t W, size_t From, size_t To);

}  // namespace gfx
