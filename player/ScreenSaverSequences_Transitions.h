#pragma once
// The picture transitions a blendable sequence can carry: the soft cross-fade, shutter strips,
// tiles switched one by one (line by line or in a spiral) and the new picture rolled in over
// the old one. Each runs, as the control's clone, directly before the sequence that carries it
// and composes every frame from FOldPicture and FNewPicture into the control's raster.
//
// Alpha convention of the alpha-based ones: 255 shows the old picture, 0 the new one. The
// alpha plane is filled with 255 once at Prepare; cells once set to 0 stay 0.

#include <cstdint>
#include <memory>
#include <string>

#include "player/ScreenSaverSequences.h"

inline constexpr const char* SSoftBlendCaption = "Weich";
inline constexpr const char* SSoftBlendDescription = "Blendet sanft vom einen zum nächsten Bild";
inline constexpr const char* SShutterCaption = "Rolladen";
inline constexpr const char* SShutterDescription =
    "Beim Überblenden entsteht der Eindruck von einem sich öffnenden Rollladen";
inline constexpr const char* STileCaption = "Kacheln";
inline constexpr const char* STileDescription = "Der Bildübergang erfolgt Kachelartig";
inline constexpr const char* SScrollCaption = "Rollen";
inline constexpr const char* SScrollDescription =
    "Das neue Bild wird in den sichtabren Bereich \"gerollt\"";

// Blends through an alpha plane the size of the control's raster.
class TBaseAlphaBlendSequence : public TTransitionSequence {
  RIZ_REFLECTIVE(TBaseAlphaBlendSequence, TTransitionSequence)
public:
  TBaseAlphaBlendSequence();
  ~TBaseAlphaBlendSequence() override;

  // Takes the pictures, then makes the alpha plane, all 255 (the old picture).
  void Prepare() override;
  void Unprepare() override;
  void GetCaption(std::string& S) override;
  void GetDescription(std::string& S) override;

  const TAlphaChannel* AlphaChannel() const { return FAlphaChannel.get(); }

protected:
  // The frame: old and new picture mixed by the alpha plane into the control's raster. Draws
  // nothing without both pictures.
  void BlendFrame();

  std::unique_ptr<TAlphaChannel> FAlphaChannel;
};

// The soft cross-fade: the whole plane goes from 255 to 0 over Duration.
class TAlphaBlendSequence : public TBaseAlphaBlendSequence {
  RIZ_REFLECTIVE(TAlphaBlendSequence, TBaseAlphaBlendSequence)
public:
  TAlphaBlendSequence() = default;
  void Step() override;
};

// A grid of TileCountX columns by TileCountY rows whose cells are switched one after the other.
//
// Stored counts are kept as they are, but the grid the frames use holds each count within
// 1 .. the raster's width (columns) or height (rows): a count of 0 or below behaves as 1, and a
// cell can never be narrower than one pixel (which also keeps every product in range).
class TBaseTileBlendSequence : public TBaseAlphaBlendSequence {
  RIZ_REFLECTIVE(TBaseTileBlendSequence, TBaseAlphaBlendSequence)
public:
  TBaseTileBlendSequence() = default;

  // The grid in use; both at least 1.
  int32_t GridColumns() const;
  int32_t GridRows() const;
  // Fills the alpha of cell (X, Y); cells outside the grid change nothing.
  void SetCellAlpha(int32_t X, int32_t Y, uint8_t Alpha);
  // Of N cells switched over Duration: Done cells are finished, cell Done is in progress with
  // Alpha (255 as it begins, falling toward 0).
  void GetCellProgress(int32_t N, int32_t& Done, uint8_t& Alpha) const;

  int32_t TileCountY = 0;  // rows
  int32_t TileCountX = 0;  // columns
};

// Strips side by side (left/right) or one above the other (top/bottom), opened one by one.
class TShutterBlendSequence : public TBaseTileBlendSequence {
  RIZ_REFLECTIVE(TShutterBlendSequence, TBaseTileBlendSequence)
public:
  // ShutterCount 12.
  TShutterBlendSequence();

  // Also lays the grid out: ShutterCount columns in one row, or one column of ShutterCount rows.
  void Prepare() override;
  void Step() override;
  void GetCaption(std::string& S) override;
  void GetDescription(std::string& S) override;
  // ..., direction, ", Anzahl " count.
  void GetParameterText(std::string& S) override;

  int32_t ShutterCount = 12;
  TEffectDirection ShutterDirection = edLeftToRight;
};

// Tiles switched row by row or column by column, or in a spiral from a corner to the centre.
class TTileBlendSequence : public TBaseTileBlendSequence {
  RIZ_REFLECTIVE(TTileBlendSequence, TBaseTileBlendSequence)
public:
  // 8 x 8 tiles.
  TTileBlendSequence();

  void Step() override;
  void GetCaption(std::string& S) override;
  void GetDescription(std::string& S) override;
  // ..., mode, ", Anzahl X " columns ", Y " rows ", " and then the main and line direction or
  // the spiral's starting corner.
  void GetParameterText(std::string& S) override;

  // Of Total cells, Done finished and one in progress with Alpha.
  void GetTileProgress(int32_t& Total, int32_t& Done, uint8_t& Alpha) const;

  TTilingMode TilingMode = tmLineByLine;
  TEffectDirection MainDirection = edLeftToRight;
  TTilingDirection TilingDirection = tdLowerToUpper;
  TSpiralStart SpiralStart = ssLeftTop;

private:
  void WalkLineByLine(int32_t Done, uint8_t Alpha);
  void WalkSpiral(int32_t Done, uint8_t Alpha);
};

// The new picture rolled in from one edge over the old one.
class TScrollTransitionSequence : public TTransitionSequence {
  RIZ_REFLECTIVE(TScrollTransitionSequence, TTransitionSequence)
public:
  TScrollTransitionSequence() = default;

  void Step() override;
  void GetCaption(std::string& S) override;
  void GetDescription(std::string& S) override;
  // ..., ", Richtung " direction.
  void GetParameterText(std::string& S) override;

  TEffectDirection Direction = edLeftToRight;
};
