#pragma once
// The preview: plays the show silently and without movies inside the host window whose id the
// command line names, one step per 20 ms timer tick. It has no end conditions of its own; it
// ends when the host window goes away. Without a usable host window (id 0, or no window of
// that id) it ends at once without showing anything.

#include <QRect>

#include <cstdint>
#include <memory>

#include "saver/formBaseSaveScreen.h"

class QWindow;

class TfrmPreview : public TfrmBaseSaveScreen {
public:
  explicit TfrmPreview(QWidget* Parent = nullptr);
  ~TfrmPreview() override;

  void FormCreate() override;
  void FormShow() override;
  void FormClose() override;
  void tmrStartTimer() override;

  void AttachToPreviewParent();
  void FitToPreviewParent();

protected:
  // The host window's rectangle (its outer size); false when there is no such window.
  virtual bool HostRect(uint32_t Host, QRect& R);
  void resizeEvent(QResizeEvent* Event) override;

private:
  void AnimationFailed(const std::exception& E);

  std::unique_ptr<QWindow> FHost;
  int FTicks = 0;
  // A failure has been reported: later ones are not, so that one that recurs on every tick
  // cannot flood the host with messages. Stepping goes on regardless.
  bool FReported = false;
};
