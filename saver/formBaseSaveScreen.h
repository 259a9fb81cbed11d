#pragma once
// The form that plays a screen saver: it reads the project from the program's own appended
// data, creates the animation control that plays it and owns the play loop. The full-screen
// show and the preview derive from it.

#include <QTimer>

#include <memory>

#include "model/ScreenSaverModel.h"
#include "platform/Forms.h"

class TAnimationControl;
class TScreenSaverSequence;

class TfrmBaseSaveScreen : public TForm {
public:
  explicit TfrmBaseSaveScreen(QWidget* Parent = nullptr);
  ~TfrmBaseSaveScreen() override;

  // Ends the play loop.
  virtual void Stop();
  // Plays until Stop; returns the sequence on screen when the loop ended (nullptr when none).
  virtual TScreenSaverSequence* Run();

  void FormCreate() override;
  void FormDestroy() override;
  void FormShow() override;
  // The one-shot start timer: Run, then close.
  virtual void tmrStartTimer();

  // Bounds (0, 0, screen width, screen height) of the primary screen in its current mode, in
  // the GUI's units (a scaled screen has fewer of them than pixels).
  void FillScreen();
  // The animation control at the project's size centred, or stretched over the form.
  void PlaceAnimation();

  // The form's own close; close requests from elsewhere may be refused by descendants.
  void Close();
  // Ends the form from outside the user's input (the program is asked to quit): the loop
  // stops without any check and the form closes.
  void Terminate();

  TScreenSaverProject* Project() const { return FProject.get(); }
  TAnimationControl* Animation() const { return FAnimation; }
  QTimer* StartTimer() const { return tmrStart; }
  bool Running() const { return FRunning; }
  // Whether the project could be read (otherwise the form closes without ever showing).
  bool Loaded() const { return FAnimation != nullptr; }

protected:
  // Nothing to play: the form stays hidden and closes once the message loop runs.
  void EndUnshown();
  bool OwnClose() const { return FOwnClose; }
  // Keyboard and mouse go to this form while the loop runs; false when the window system
  // refused (the loop asks again).
  bool GrabInput();
  void ReleaseInput();

  QTimer* tmrStart;
  std::unique_ptr<TScreenSaverProject> FProject;
  TAnimationControl* FAnimation = nullptr;
  bool FRunning = false;

private:
  bool FOwnClose = false;
  bool FInputGrabbed = false;
  bool FTerminated = false;
};
