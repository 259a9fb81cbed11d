#include "installer/Gradient.h"

#include <QPainter>

TGradient::TGradient(QColor StartColor, QColor EndColor, int Steps, QWidget* Parent)
    : QWidget(Parent), FStart(StartColor), FEnd(EndColor), FSteps(Steps < 1 ? 1 : Steps) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TGradient::paintEvent(QPaintEvent*) {
  QPainter P(this);
  const int W = width(), H = height();
  for (int I = 0; I < FSteps; ++I) {
    const int X0 = I * W / FSteps, X1 = (I + 1) * W / FSteps;
    const int Den = FSteps > 1 ? FSteps - 1 : 1;
    const QColor C(FStart.red() + (FEnd.red() - FStart.red()) * I / Den,
                   FStart.green() + (FEnd.green() - FStart.green()) * I / Den,
                   FStart.blue() + (FEnd.blue() - FStart.blue()) * I / Den);
    P.fillRect(X0, 0, X1 - X0, H, C);
  }
}
