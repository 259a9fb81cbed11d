#pragma once
// The logo: a picture of the project's media flown along a B-spline path across whatever the
// screen showed when the sequence started, opaque or partly transparent, optionally fading in
// over the sequence's duration.

#include <cstdint>
#include <memory>

#include "graphics/BSplines.h"
#include "player/ScreenSaverSequences.h"

class TLogoSequence : public TMediaSequence {
  RIZ_REFLECTIVE(TLogoSequence, TMediaSequence)
public:
  // A path from (0, 0) to (64, 64), opaque, no fade.
  TLogoSequence();
  ~TLogoSequence() override;

  // Draws the picture into a raster of its own, snapshots the control's raster and, when the
  // logo is blended, makes the blending buffers. Without a picture (no such medium, or one
  // that cannot be decoded) the sequence draws nothing.
  void Prepare() override;
  // Frees the buffers; the logo's last image stays on screen and LastPos is kept.
  void Unprepare() override;
  // Erases the previous frame's logo from the snapshot and draws it at its new place: the
  // path point is the pixel just beyond the logo's bottom-right corner.
  void Step() override;

  // The owned path; the setter copies (the sequence keeps its own curve).
  TBSpline* FlightPath() const { return FFlightPath.get(); }
  void SetFlightPath(const TBSpline* Value);
  // Views of the path's first and last point; 0 and ignored on a path without points.
  int32_t StartX() const;
  int32_t StartY() const;
  int32_t EndX() const;
  int32_t EndY() const;
  void SetStartX(int32_t Value);
  void SetStartY(int32_t Value);
  void SetEndX(int32_t Value);
  void SetEndY(int32_t Value);

  // Stored and copied; the path is always evaluated as a curve.
  bool UseCurve = true;
  // Percent, 0 opaque .. 100 invisible; values outside are taken as the nearer bound.
  int32_t Transparency = 0;
  // The opacity rises from 0 over the whole duration.
  bool FadeIn = false;

  // Whether the logo is drawn through the blending buffers.
  bool Blended() const;
  // The alpha of the logo at elapsed time E: 255 shows the logo, 0 the background.
  int32_t LogoAlpha(int32_t E) const;

  TDIBRaster* Logo() const { return FLogo.get(); }
  TDIBRaster* Background() const { return FBackground.get(); }
  TDIBRaster* Work() const { return FWork.get(); }
  TAlphaChannel* Alpha() const { return FAlpha.get(); }
  TPoint LastPos() const { return FLastPos; }

private:
  std::unique_ptr<TBSpline> FFlightPath;
  std::unique_ptr<TDIBRaster> FLogo;
  std::unique_ptr<TDIBRaster> FBackground;
  std::unique_ptr<TDIBRaster> FWork;
  TPoint FLastPos;
  std::unique_ptr<TAlphaChannel> FAlpha;
};
