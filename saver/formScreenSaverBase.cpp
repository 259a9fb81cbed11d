#include "saver/formScreenSaverBase.h"

#include <QShowEvent>

TfrmScreenSaverBase::TfrmScreenSaverBase(QWidget* Parent) : TForm(Parent) {
  setAutoFillBackground(true);
  QPalette Pal = palette();
  Pal.setColor(QPalette::Window, Pal.color(QPalette::Button));
  setPalette(Pal);
  QFont F(QStringLiteral("MS Sans Serif"));
  F.setPointSize(8);
  setFont(F);
}

void TfrmScreenSaverBase::showEvent(QShowEvent* Event) {
  // Centred on the screen each time it opens (poScreenCenter), also right after the show gave
  // the desktop its own mode back.
  if (!Event->spontaneous()) CentreOnScreen(this);
  TForm::showEvent(Event);
}
