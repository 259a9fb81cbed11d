#include "saver/formScreenSaverBase.h"

#include <QGuiApplication>
#include <QScreen>
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
  // Centred on the screen each time it opens (poScreenCenter).
  if (!Event->spontaneous()) {
    if (const QScreen* S = QGuiApplication::primaryScreen()) {
      QRect R = frameGeometry();
      R.moveCenter(S->geometry().center());
      move(R.topLeft());
    }
  }
  TForm::showEvent(Event);
}
