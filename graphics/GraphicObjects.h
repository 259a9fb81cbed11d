#pragma once
// The control that shows a raster stretched over its client area, the horizontal alignment of
// texts, and the persistent figures.

#include <QWidget>

#include <cstdint>
#include <memory>

#include "graphics/GfxTool.h"
#include "persistence/ReflectionObjects.h"

enum THorizontalAlignment : uint8_t { haLeft = 0, haCenter = 1, haRight = 2 };

// DT_LEFT, DT_CENTER or DT_RIGHT; any other value gives DT_LEFT.
uint32_t AlignmentToDrawTextFlags(THorizontalAlignment A);

// Owns a raster (64 x 64 at creation) and paints it over the whole client area, dropping or
// repeating rows and columns. The background is never erased: the stretch covers it. With
// double buffering a back raster of the same size exists, and SwapBuffers exchanges the two.
class TCustomGraphics : public QWidget {
  Q_OBJECT

public:
  explicit TCustomGraphics(QWidget* AOwner = nullptr);
  ~TCustomGraphics() override;

  TDIBRaster* Raster() const { return FRaster.get(); }
  TDIBRaster* BackRaster() const { return FBackRaster.get(); }
  bool DoubleBuffered() const { return FDoubleBuffered; }

  // New black rasters of AWidth x AHeight (rounded up to even); no repaint.
  void SetRasterSize(int AWidth, int AHeight);
  // Switching, even to the same value, replaces the rasters.
  void SetDoubleBuffered(bool Value);
  // Exchanges the rasters when double buffered (the back raster keeps the last frame).
  void SwapBuffers();
  // Where raster column X (row Y) lands on the client area; a raster of width (height) 0
  // raises the division error.
  int RasterToClientX(int X) const;
  int RasterToClientY(int Y) const;

  int ClientWidth() const { return width(); }
  int ClientHeight() const { return height(); }

protected:
  virtual void Paint(plat::TPaintTarget& DC);
  // Called after every change of the client size (descendants place child windows here).
  virtual void Resize() {}
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;

private:
  std::unique_ptr<TDIBRaster> FRaster;
  std::unique_ptr<TDIBRaster> FBackRaster;
  bool FDoubleBuffered = false;
};

// ---------------------------------------------------------------------------------------------
// Figures. None of them has published properties or inner data of its own, so a figure read
// back has Size and Position (0, 0) and a shape has no raster; a list keeps its items.

class TFigure : public TReflectivePersistent {
  RIZ_REFLECTIVE(TFigure, TReflectivePersistent)
public:
  TFigure() = default;

  TPoint Size;      // X the width, Y the height
  TPoint Position;  // top-left corner in the raster drawn into

  // Position and size of the source (a figure of this class), through the virtual setters.
  void AssignInnerProperties(const TReflectivePersistent& Source) override;
  virtual TPoint GetSize() const { return Size; }
  virtual void SetSize(const TPoint& S) { Size = S; }
  virtual void SetPosition(const TPoint& P) { Position = P; }
  // A plain figure has nothing to draw: EAbstractError.
  virtual void DrawTo(TDIBRaster* Target);
};

class TFigureList : public TReflectiveObjectList {
  RIZ_REFLECTIVE(TFigureList, TReflectiveObjectList)
public:
  TFigureList() = default;
};

// A figure that is a raster: drawn unscaled at its position, clipped.
class TDIBShape : public TFigure {
  RIZ_REFLECTIVE(TDIBShape, TFigure)
public:
  TDIBShape() = default;
  ~TDIBShape() override;

  // nullptr until a size is set; every SetSize makes a new (black) one of that size, rounded
  // up to even, while Size keeps the size as given.
  TDIBRaster* Raster() const { return FRaster.get(); }

  // The source's size and a copy of its pixels (none when it has no raster).
  void AssignInnerProperties(const TReflectivePersistent& Source) override;
  void SetSize(const TPoint& S) override;
  void DrawTo(TDIBRaster* Target) override;

private:
  std::unique_ptr<TDIBRaster> FRaster;
};

// Registers TFigure, TFigureList and TDIBShape, in this order.
void RegisterGraphicObjectsClasses();
