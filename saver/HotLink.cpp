#include "saver/HotLink.h"

#include <QMouseEvent>

#include "platform/Platform.h"

THotLink::THotLink(QWidget* Parent) : QLabel(Parent) {
  setCursor(Qt::PointingHandCursor);
  HotTrackFont = QFont(QStringLiteral("MS Sans Serif"));
  HotTrackFont.setPointSize(8);
  HotTrackFont.setUnderline(true);
}

void THotLink::SetLink(const QString& Caption, const std::string& Url) {
  setText(Caption);
  FUrl = Url;
}

void THotLink::Click() { plat::ShellOpen(FUrl); }

void THotLink::SetHot(bool Value) {
  if (Value == FHot) return;
  FHot = Value;
  if (Value) {
    FNormalFont = font();
    FNormalPalette = palette();
    QPalette Pal = FNormalPalette;
    Pal.setColor(QPalette::WindowText, Qt::blue);
    setPalette(Pal);
    setFont(HotTrackFont);
  } else {
    setFont(FNormalFont);
    setPalette(FNormalPalette);
  }
}

void THotLink::enterEvent(QEnterEvent* Event) {
  QLabel::enterEvent(Event);
  SetHot(true);
}

void THotLink::leaveEvent(QEvent* Event) {
  QLabel::leaveEvent(Event);
  SetHot(false);
  FPressed = false;
}

void THotLink::mousePressEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton) FPressed = true;
  QLabel::mousePressEvent(Event);
}

void THotLink::mouseReleaseEvent(QMouseEvent* Event) {
  const bool Clicked = FPressed && Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint());
  FPressed = false;
  QLabel::mouseReleaseEvent(Event);
  if (Clicked) Click();
}
