#include "graphics/GraphicObjects.h"

#include <QPainter>

uint32_t AlignmentToDrawTextFlags(THorizontalAlignment A) {
  switch (A) {
    case haCenter:
      return plat::DT_CENTER;
    case haRight:
      return plat::DT_RIGHT;
    default:
      return plat::DT_LEFT;
  }
}

// ---------------------------------------------------------------------------------------------
// TCustomGraphics

TCustomGraphics::TCustomGraphics(QWidget* AOwner)
    : QWidget(AOwner), FRaster(std::make_unique<TDIBRaster>(64, 64)) {
  // The stretch writes every client pixel; an erase first would only flicker.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
}

TCustomGraphics::~TCustomGraphics() = default;

void TCustomGraphics::SetRasterSize(int AWidth, int AHeight) {
  FRaster.reset();
  FRaster = std::make_unique<TDIBRaster>(AWidth, AHeight);
  FBackRaster.reset();
  if (FDoubleBuffered) FBackRaster = std::make_unique<TDIBRaster>(AWidth, AHeight);
}

void TCustomGraphics::SetDoubleBuffered(bool Value) {
  FDoubleBuffered = Value;
  SetRasterSize(FRaster->Width, FRaster->Height);
}

void TCustomGraphics::SwapBuffers() {
  if (FDoubleBuffered) std::swap(FRaster, FBackRaster);
}

int TCustomGraphics::RasterToClientX(int X) const {
  return CheckedDiv(CheckedMul(X, ClientWidth()), FRaster->Width);
}

int TCustomGraphics::RasterToClientY(int Y) const {
  return CheckedDiv(CheckedMul(Y, ClientHeight()), FRaster->Height);
}

void TCustomGraphics::Paint(plat::TPaintTarget& DC) {
  FRaster->StretchToDC(&DC, 0, 0, FRaster->Width, FRaster->Height, 0, 0, ClientWidth(),
                       ClientHeight(), plat::COLORONCOLOR);
}

void TCustomGraphics::paintEvent(QPaintEvent*) {
  QPainter P(this);
  plat::TPaintTarget DC(&P);
  Paint(DC);
}

void TCustomGraphics::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  Resize();
}

// ---------------------------------------------------------------------------------------------
// Figures

RIZ_PUBLISHED(TFigure) {}
RIZ_PUBLISHED(TFigureList) {}
RIZ_PUBLISHED(TDIBShape) {}

void TFigure::AssignInnerProperties(const TReflectivePersistent& Source) {
  inherited::AssignInnerProperties(Source);
  const auto& F = static_cast<const TFigure&>(Source);
  SetPosition(F.Position);
  SetSize(F.GetSize());
}

void TFigure::DrawTo(TDIBRaster*) { throw EAbstractError(SAbstractError); }

TDIBShape::~TDIBShape() = default;

void TDIBShape::AssignInnerProperties(const TReflectivePersistent& Source) {
  inherited::AssignInnerProperties(Source);
  const auto& S = static_cast<const TDIBShape&>(Source);
  if (S.FRaster && FRaster) S.FRaster->CopyTo(FRaster.get());
}

void TDIBShape::SetSize(const TPoint& S) {
  FRaster.reset();
  FRaster = std::make_unique<TDIBRaster>(S.X, S.Y);
  inherited::SetSize(S);
}

void TDIBShape::DrawTo(TDIBRaster* Target) {
  if (FRaster) FRaster->DrawTo(Target, Position.X, Position.Y);
}

void RegisterGraphicObjectsClasses() {
  RegisterReflectiveClass<TFigure>();
  RegisterReflectiveClass<TFigureList>();
  RegisterReflectiveClass<TDIBShape>();
}
