#pragma once
// The full-screen show: switches the display to the project's resolution, tells the system a
// screen saver runs, hides the cursor, and ends on mouse movement beyond 10 pixels, a click or
// a key; on the 9x family with password protection only after the system's password check.
// A close request from outside never ends it.

#include "saver/formBaseSaveScreen.h"

class QMouseEvent;

class TfrmSaveScreen : public TfrmBaseSaveScreen {
public:
  explicit TfrmSaveScreen(QWidget* Parent = nullptr);
  ~TfrmSaveScreen() override;

  void Stop() override;
  TScreenSaverSequence* Run() override;

  void FormCreate() override;
  void FormShow() override;
  void FormDestroy() override;
  void FormClose() override;

  // The end conditions; the coordinates are the sender's own (the form's or the animation
  // control's).
  void FormKeyDown(int Key);
  void FormMouseDown(Qt::MouseButton Button, int X, int Y);
  void FormMouseMove(int X, int Y);
  // A key pressed together with Alt (or Alt or F10 alone).
  void WMSysKeyDown();

  bool SwallowMouseMove() const { return FSwallowMouseMove; }

protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;

private:
  // The application's message hook: close requests are dropped, and mouse moves while the
  // show is being set up.
  bool AppMessage(QObject* Watched, QEvent* Event);
  // Pointer input over the movie's widgets, which lie over the animation control.
  bool MovieInput(QObject* Watched, QMouseEvent* Event);
  void RestoreDefaultMode();
  // The display mode and the pointer as the user had them, before anything is shown to the user.
  void GiveBackDesktop();

  bool FSwallowMouseMove = false;
  int FLastX = 0;
  int FLastY = 0;
  bool FStopping = false;
  bool FCursorHidden = false;
};
