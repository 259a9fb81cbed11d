#pragma once
// Text drawn over the picture already on screen: TTextSequence holds the text, its font and
// colour and a transparency; TScrollTextSequence scrolls it through a horizontal or vertical
// band; TFlyingTextSequence flies it along a B-spline path while its size may swell and shrink.
// The picture under the text is restored from a copy of the control's raster taken at Prepare.

#include <cstdint>
#include <memory>
#include <string>

#include "graphics/BSplines.h"
#include "graphics/GraphicObjects.h"
#include "player/ScreenSaverSequences.h"

enum TTextScaleFXMode : uint8_t { ftsmNormal = 0, ftsmPingPong = 1 };
inline constexpr const char* TTextScaleFXModeNames[] = {"ftsmNormal", "ftsmPingPong"};
inline constexpr const char* THorizontalAlignmentNames[] = {"haLeft", "haCenter", "haRight"};

inline constexpr const char* SDefaultText = "Geben Sie einen Text ein...";

class TTextSequence : public TScreenSaverSequence {
  RIZ_REFLECTIVE(TTextSequence, TScreenSaverSequence)
public:
  // Text "Geben Sie einen Text ein...", white, opaque, font "Arial".
  TTextSequence();
  ~TTextSequence() override;

  // Copies the whole font.
  void AssignInnerProperties(const TReflectivePersistent& Source) override;
  // The font as "FontName", "FontSize" (points) and "FontStyles" (one byte: bit 0 bold,
  // 1 italic, 2 underline, 3 strike-out); its colour is not stored (Color is used).
  void ReadInnerProperties(TPropertyBag& Bag) override;
  void WriteInnerProperties(TPropertyBag& Bag) override;
  // Selects the font, the colour and a clear brush on the control raster's canvas and takes a
  // copy of the raster.
  void Prepare() override;
  void Unprepare() override;
  // Selects the font again (another sequence may have changed the canvas meanwhile).
  void Step() override;

  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }
  TDIBRaster* Background() const { return FBackground.get(); }

  std::string Text = SDefaultText;
  TColor Color = clWhite;
  // Percent, 0 opaque .. 100 invisible; values outside are taken as the nearer bound.
  int32_t Transparency = 0;

  // Transparency within 0 .. 100.
  int32_t EffectiveTransparency() const;
  // 255 - Transparency * 255 div 100: 255 shows the text, 0 the background.
  int32_t TextAlpha() const;

protected:
  TDIBRaster* ControlRaster() const;
  // The sequence's font in its colour, drawn without background.
  void SelectFont(TCanvas& Canvas) const;

  TFont FFont;
  std::unique_ptr<TDIBRaster> FBackground;
};

// Scrolls the text through a band: horizontally in one line (every CR LF drawn as a blank)
// from the right edge to the left, with Position the band's top row; or vertically in its
// lines, each centred, from the bottom edge to the top, with Position the band's left column.
// The text enters when the sequence starts and has just left when its time is up.
class TScrollTextSequence : public TTextSequence {
  RIZ_REFLECTIVE(TScrollTextSequence, TTextSequence)
public:
  TScrollTextSequence();
  ~TScrollTextSequence() override;

  void Prepare() override;
  void Unprepare() override;
  void Step() override;

  int32_t Position = 0;
  TScrollTextStyle Style = stsCharByCharHorizontal;

  // The distance the text travels: its extent along the travel plus the raster's.
  int32_t Travel() const { return FTravel; }
  // The band, clipped to the raster.
  TRect TextRect() const { return FTextRect; }
  TDIBRaster* TextRaster() const { return FTextRaster.get(); }
  TDIBRaster* Work() const { return FWork.get(); }
  TAlphaChannel* Alpha() const { return FAlpha.get(); }

private:
  int32_t FTravel = 0;
  TRect FTextRect;
  std::unique_ptr<TDIBRaster> FTextRaster;
  std::unique_ptr<TDIBRaster> FWork;
  std::unique_ptr<TAlphaChannel> FAlpha;
};

// Flies the text (lines kept, aligned within the text's box) along a B-spline path given in a
// flight area larger than the screen by the text's extent on every side, so a path from the
// area's corner to its opposite corner carries the text in from outside and out again. The
// font height follows ScaleFXPercent over the sequence: a saw-tooth from 100 % towards it
// (ftsmNormal) or a swelling and shrinking (ftsmPingPong), ScaleFXRepeat + 1 times.
class TFlyingTextSequence : public TTextSequence {
  RIZ_REFLECTIVE(TFlyingTextSequence, TTextSequence)
public:
  // A path from (0, 0) to (64, 64), left-aligned, constant size, no fade.
  TFlyingTextSequence();
  ~TFlyingTextSequence() override;

  void Prepare() override;
  void Unprepare() override;
  void Step() override;

  TBSpline* FlightPath() const { return FFlightPath.get(); }
  // Copies (the sequence keeps its own curve).
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
  bool FadeIn = false;
  THorizontalAlignment Alignment = haLeft;
  int32_t ScaleFXPercent = 100;
  // Repeats of the size effect; a negative count is taken as 0.
  int32_t ScaleFXRepeat = 0;
  TTextScaleFXMode ScaleFXMode = ftsmNormal;

  // The font height at Percent of the font's own (truncated toward zero).
  int32_t ScaledFontHeight(int32_t Percent) const;
  // The text's extent (one more than the laid-out size each way) at the font's own height or
  // at Percent of it.
  TPoint MeasurePlainText() const;
  TPoint MeasureScaledText(int32_t Percent) const;
  // The percent of the font height at elapsed time E of duration D.
  int32_t ScalePercentAt(int32_t E, int32_t D) const;
  int32_t ScalePercent() const { return ScalePercentAt(Elapsed(), Duration); }
  // Whether the text is drawn through the blending buffers.
  bool Blended() const;
  // The alpha of the text at elapsed time E.
  int32_t FlyingAlpha(int32_t E) const;

  TPoint LastPos() const { return FLastPos; }
  TPoint TextSize() const { return FTextSize; }
  TPoint PathOffset() const { return FPathOffset; }
  TDIBRaster* TextRaster() const { return FTextRaster.get(); }
  TDIBRaster* Work() const { return FWork.get(); }
  TAlphaChannel* Alpha() const { return FAlpha.get(); }

private:
  // The project's resolution (the control's raster size when there is no project).
  void Resolution(int32_t& RW, int32_t& RH) const;

  std::unique_ptr<TBSpline> FFlightPath;
  TPoint FLastPos;
  TPoint FTextSize;
  TPoint FPathOffset;
  std::unique_ptr<TDIBRaster> FTextRaster;
  std::unique_ptr<TDIBRaster> FWork;
  std::unique_ptr<TAlphaChannel> FAlpha;
};
