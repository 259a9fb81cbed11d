#include "saver/GUITools.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>

#include <algorithm>

TFrame::TFrame(QWidget* Owner) : QWidget(Owner) {}

TPanel::TPanel(QWidget* Parent) : QFrame(Parent) {}

void TPanel::SetCaption(const QString& Value) {
  FCaption = Value;
  update();
}

void TPanel::SetColor(TColor Color) {
  QPalette Pal = palette();
  Pal.setColor(QPalette::Window, ColorToQColor(Color));
  setPalette(Pal);
  setAutoFillBackground(true);
}

void TPanel::paintEvent(QPaintEvent* Event) {
  QFrame::paintEvent(Event);
  if (FCaption.isEmpty()) return;
  QPainter P(this);
  P.setPen(palette().color(QPalette::WindowText));
  P.drawText(contentsRect(), Qt::AlignCenter | Qt::TextSingleLine, FCaption);
}

void TPanel::resizeEvent(QResizeEvent* Event) {
  QFrame::resizeEvent(Event);
  if (OnResize) OnResize();
}

TPaintBox::TPaintBox(QWidget* Parent) : QWidget(Parent) { setMouseTracking(true); }

void TPaintBox::paintEvent(QPaintEvent*) {
  if (!OnPaint) return;
  QPainter P(this);
  OnPaint(P);
}

void TPaintBox::mousePressEvent(QMouseEvent* Event) {
  if (Event->button() == Qt::LeftButton) FPressed = true;
  QWidget::mousePressEvent(Event);
}

void TPaintBox::mouseReleaseEvent(QMouseEvent* Event) {
  const bool Clicked = FPressed && Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint());
  FPressed = false;
  QWidget::mouseReleaseEvent(Event);
  if (Clicked && OnClick) OnClick();
}

void TPaintBox::mouseMoveEvent(QMouseEvent* Event) {
  QWidget::mouseMoveEvent(Event);
  const QPoint At = Event->position().toPoint();
  if (OnMouseMove) OnMouseMove(At.x(), At.y());
}

TImage::TImage(QWidget* Parent) : QWidget(Parent) {}

void TImage::SetPicture(const QImage& Picture) {
  FPicture = Picture;
  resize(Picture.size());
  update();
}

void TImage::paintEvent(QPaintEvent*) {
  if (FPicture.isNull()) return;
  QPainter P(this);
  P.drawImage(0, 0, FPicture);
}

QLabel* CaptionAbove(QWidget* Parent, QWidget* Control, const QString& Caption) {
  auto* Label = new QLabel(Caption, Parent);
  Label->setObjectName(Control->objectName() + QStringLiteral("Label"));
  Label->setGeometry(Control->x(), Control->y() - 16, std::max(Control->width(), Label->sizeHint().width()), 14);
  Label->setBuddy(Control);
  return Label;
}

QLineEdit* LabeledEdit(QWidget* Parent, const QString& Name, const QString& Caption, int Left, int Top,
                       int Width) {
  auto* Edit = new QLineEdit(Parent);
  Edit->setObjectName(Name);
  Edit->setGeometry(Left, Top, Width, 21);
  CaptionAbove(Parent, Edit, Caption);
  return Edit;
}

namespace {
void SetBaseColor(QWidget* W, TColor Color) {
  QPalette Pal = W->palette();
  Pal.setColor(QPalette::Base, ColorToQColor(Color));
  W->setPalette(Pal);
}

// Edits, memos and spin edits take a colour and a read-only state; false for other controls.
bool SetEditReadOnly(QWidget* W, bool ReadOnly) {
  if (auto* E = qobject_cast<QLineEdit*>(W)) E->setReadOnly(ReadOnly);
  else if (auto* M = qobject_cast<QPlainTextEdit*>(W)) M->setReadOnly(ReadOnly);
  else if (auto* T = qobject_cast<QTextEdit*>(W)) T->setReadOnly(ReadOnly);
  else if (auto* S = qobject_cast<QAbstractSpinBox*>(W)) S->setReadOnly(ReadOnly);
  else return false;
  return true;
}

// Widgets that only hold other controls. Qt's composite controls (a combo box, a spin box, a
// memo) have child widgets of their own that are parts of the one control, not controls.
bool IsContainer(const QWidget* W) {
  if (dynamic_cast<const TPaintBox*>(W) || dynamic_cast<const TImage*>(W)) return false;
  if (dynamic_cast<const TFrame*>(W) || dynamic_cast<const TPanel*>(W)) return true;
  const QMetaObject* M = W->metaObject();
  return M == &QWidget::staticMetaObject || M == &QFrame::staticMetaObject || W->isWindow();
}
}  // namespace

void MakeGreyReadOnly(QWidget* Control) {
  SetEditReadOnly(Control, true);
  SetBaseColor(Control, clBtnFace);
}

void FillListItems(QComboBox* ComboBox, std::span<const char* const> Items, int ItemIndex) {
  ComboBox->clear();
  for (const char* Item : Items) ComboBox->addItem(QString::fromUtf8(Item));
  ComboBox->setCurrentIndex(ItemIndex >= 0 && ItemIndex < ComboBox->count() ? ItemIndex : -1);
}

void SetControlsEditable(QWidget* Control, bool Editable, TColor EditableColor, TColor ReadOnlyColor) {
  if (!Control) return;
  if (SetEditReadOnly(Control, !Editable)) {
    SetBaseColor(Control, Editable ? EditableColor : ReadOnlyColor);
    return;
  }
  if (auto* Pages = qobject_cast<QTabWidget*>(Control)) {
    // A page control holds its pages; it is itself a control that is switched.
    for (int I = 0; I < Pages->count(); ++I)
      SetControlsEditable(Pages->widget(I), Editable, EditableColor, ReadOnlyColor);
    Pages->setEnabled(Editable);
    return;
  }
  if (IsContainer(Control) || qobject_cast<QGroupBox*>(Control) || qobject_cast<QStackedWidget*>(Control)) {
    for (QObject* Child : Control->children())
      if (auto* W = qobject_cast<QWidget*>(Child); W && !W->isWindow())
        SetControlsEditable(W, Editable, EditableColor, ReadOnlyColor);
    // A group box is a control of its own; plain containers stay as they are.
    if (auto* G = qobject_cast<QGroupBox*>(Control)) G->setEnabled(Editable);
    return;
  }
  if (qobject_cast<QLabel*>(Control)) return;
  Control->setEnabled(Editable);
}
