#include "saver/frameObjectProperties.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextEdit>

#include "persistence/ReflectionObjects.h"

namespace {
constexpr const char* SUnknownKind = "TfraRizuderBaseFrame.DisplayProperty : Unknown type of property ";
constexpr const char* SInvalidCast = "Invalid class typecast";

enum class TBinding { Integer, Text, None };

TBinding BindingOf(const TPropertyInfo& P) {
  switch (P.Kind) {
    case tkInteger:
      return TBinding::Integer;
    case tkChar:
    case tkString:
    case tkWChar:
    case tkLString:
    case tkWString:
      return TBinding::Text;
    case tkEnumeration:
    case tkFloat:
    case tkSet:
    case tkClass:
    case tkMethod:
    case tkVariant:
    case tkArray:
    case tkRecord:
    case tkInterface:
    case tkInt64:
    case tkDynArray:
      return TBinding::None;
    case tkUnknown:
      break;
  }
  // Unknown, or outside the kinds there are: both operations refuse it alike.
  throw Exception(SUnknownKind + P.Name);
}

QSpinBox* SpinEdit(QWidget* W) {
  auto* S = qobject_cast<QSpinBox*>(W);
  if (!S) throw EInvalidCast(SInvalidCast);
  return S;
}

void SetText(QWidget* W, const QString& Text) {
  if (auto* E = qobject_cast<QLineEdit*>(W)) E->setText(Text);
  else if (auto* M = qobject_cast<QPlainTextEdit*>(W)) M->setPlainText(Text);
  else if (auto* T = qobject_cast<QTextEdit*>(W)) T->setPlainText(Text);
  else if (auto* C = qobject_cast<QComboBox*>(W)) C->setCurrentText(Text);
  else if (auto* L = qobject_cast<QLabel*>(W)) L->setText(Text);
  else if (auto* B = qobject_cast<QAbstractButton*>(W)) B->setText(Text);
  else if (auto* P = dynamic_cast<TPanel*>(W)) P->SetCaption(Text);
  else W->setWindowTitle(Text);
}

QString Text(const QWidget* W) {
  if (auto* E = qobject_cast<const QLineEdit*>(W)) return E->text();
  if (auto* M = qobject_cast<const QPlainTextEdit*>(W)) return M->toPlainText();
  if (auto* T = qobject_cast<const QTextEdit*>(W)) return T->toPlainText();
  if (auto* C = qobject_cast<const QComboBox*>(W)) return C->currentText();
  if (auto* L = qobject_cast<const QLabel*>(W)) return L->text();
  if (auto* B = qobject_cast<const QAbstractButton*>(W)) return B->text();
  if (auto* P = dynamic_cast<const TPanel*>(W)) return P->Caption();
  return W->windowTitle();
}
}  // namespace

TfraObjectProperties::TfraObjectProperties(QWidget* Owner) : TFrame(Owner) {}

QWidget* TfraObjectProperties::Control(const std::string& Name, const std::string& Property) const {
  auto* W = findChild<QWidget*>(QString::fromStdString(Name));
  if (!W)
    throw EInvalidOperation(Format("TfraObjectProperties : no control %s for the property %s", Name.c_str(),
                                   Property.c_str()));
  return W;
}

void TfraObjectProperties::DisplayProperty(TReflectivePersistent& Obj, int Index) {
  const TPropertyInfo& P = Obj.PropertyInfo(Index);
  switch (BindingOf(P)) {
    case TBinding::Integer:
      SpinEdit(Control("txt" + P.Name, P.Name))->setValue(Obj.GetPropertyValue(Index).AsInteger());
      break;
    case TBinding::Text:
      SetText(Control("txt" + P.Name, P.Name), QString::fromStdString(Obj.GetPropertyValue(Index).AsString()));
      break;
    case TBinding::None:
      break;
  }
}

void TfraObjectProperties::StoreProperty(TReflectivePersistent& Obj, int Index) {
  const TPropertyInfo& P = Obj.PropertyInfo(Index);
  switch (BindingOf(P)) {
    case TBinding::Integer:
      Obj.SetPropertyValue(Index, Variant(static_cast<int32_t>(SpinEdit(Control("txt" + P.Name, P.Name))->value())));
      break;
    case TBinding::Text:
      Obj.SetPropertyValue(Index, Variant(Text(Control("txt" + P.Name, P.Name)).toStdString()));
      break;
    case TBinding::None:
      break;
  }
}

void TfraObjectProperties::SetReadOnly(bool Flag) {
  FReadOnly = Flag;
  SetControlsEditable(this, !Flag, clWindow, clBtnFace);
}

void TfraObjectProperties::SetObject(TReflectivePersistent* Obj) {
  FObject = Obj;
  if (Obj)
    for (int I = 0; I < Obj->PropertyCount(); ++I) DisplayProperty(*Obj, I);
  AfterLoad();
}

void TfraObjectProperties::StoreObject(TReflectivePersistent* Obj) {
  if (!Obj || !ValidateObject(Obj)) return;
  for (int I = 0; I < Obj->PropertyCount(); ++I) StoreProperty(*Obj, I);
}

bool TfraObjectProperties::ValidateObject(TReflectivePersistent* Obj) {
  if (!Obj) return false;
  for (int I = 0; I < Obj->PropertyCount(); ++I)
    if (!ValidateProperty(*Obj, I)) return false;
  return true;
}
