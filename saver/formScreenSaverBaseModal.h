#pragma once
// The modal dialog look: no border icons and a bottom panel with "Ok" and "Abbrechen". Layout
// only; Escape presses "Abbrechen" (the cancel button), Enter the button that has the focus.

#include <QPushButton>
#include <QWidget>

#include "saver/formScreenSaverBase.h"

class TfrmScreenSaverBaseModal : public TfrmScreenSaverBase {
public:
  explicit TfrmScreenSaverBaseModal(QWidget* Parent = nullptr);

  QWidget* pnlButtons;
  QPushButton* cmdOk;
  QPushButton* cmdCancel;

protected:
  void resizeEvent(QResizeEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;

  // Lays the panel and its buttons out for the current size (also before the first show).
  void PlaceButtons();
};
