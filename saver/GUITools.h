#pragma once
// Small pieces of the dialogs: the frame and panel bases, a labelled edit, filling a combo box
// and switching a whole tree of controls between editable and read-only.

#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <functional>
#include <span>
#include <string>

#include "platform/PaintTarget.h"

class QComboBox;
class QMouseEvent;
class QPainter;

// A frame: a designed group of controls that a form places like one control.
class TFrame : public QWidget {
public:
  explicit TFrame(QWidget* Owner = nullptr);
};

// A panel: a plain area with an optional caption drawn in its centre. OnResize runs after
// every change of its size.
class TPanel : public QFrame {
public:
  explicit TPanel(QWidget* Parent = nullptr);
  QString Caption() const { return FCaption; }
  void SetCaption(const QString& Value);
  // Fills the panel with a colour of the framework.
  void SetColor(TColor Color);
  std::function<void()> OnResize;

protected:
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;

private:
  QString FCaption;
};

// A paint box: a control without a picture of its own that OnPaint draws. OnClick follows a
// press and release of the left button inside it; OnMouseMove gets every pointer move over it
// (buttons up or down) in its own coordinates.
class TPaintBox : public QWidget {
public:
  explicit TPaintBox(QWidget* Parent = nullptr);
  std::function<void(QPainter&)> OnPaint;
  std::function<void()> OnClick;
  std::function<void(int X, int Y)> OnMouseMove;

protected:
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;

private:
  bool FPressed = false;
};

// An image control: holds a picture and shows it at its top-left when visible.
class TImage : public QWidget {
public:
  explicit TImage(QWidget* Parent = nullptr);
  // Takes the picture and, like an auto-sized image, the picture's size.
  void SetPicture(const QImage& Picture);
  const QImage& Picture() const { return FPicture; }

protected:
  void paintEvent(QPaintEvent* Event) override;

private:
  QImage FPicture;
};

// A single-line edit named Name with its caption in a label just above it.
QLineEdit* LabeledEdit(QWidget* Parent, const QString& Name, const QString& Caption, int Left, int Top,
                       int Width);
// A caption label for the control below it (at Left, Top - 16).
QLabel* CaptionAbove(QWidget* Parent, QWidget* Control, const QString& Caption);

// A control fixed read-only with the read-only colour from its creation.
void MakeGreyReadOnly(QWidget* Control);

// Clears the combo box, adds Items in order and selects ItemIndex (-1: none).
void FillListItems(QComboBox* ComboBox, std::span<const char* const> Items, int ItemIndex);

// Depth first through Control's tree: containers (forms, frames, panels, pages) pass the call
// to their child controls and stay as they are, as do labels; edits and memos get EditableColor
// and become editable, or ReadOnlyColor and read-only; every other control is enabled or
// disabled.
void SetControlsEditable(QWidget* Control, bool Editable, TColor EditableColor, TColor ReadOnlyColor);
