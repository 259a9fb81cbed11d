#pragma once
// A frame that shows an object's published properties in controls found by name: the control
// of property P is the frame's control named "txt" + P. Descendants bind properties of other
// kinds, or other controls, by overriding DisplayProperty and StoreProperty.

#include <string>

#include "saver/GUITools.h"

class TReflectivePersistent;

class TfraObjectProperties : public TFrame {
public:
  explicit TfraObjectProperties(QWidget* Owner = nullptr);

  // Property i of Obj into its control: integers into a spin edit's value, text kinds into the
  // control's text; other kinds are not shown.
  virtual void DisplayProperty(TReflectivePersistent& Obj, int Index);
  // Runs after every property was displayed; nothing here.
  virtual void AfterLoad() {}
  // The control's value back into property i of Obj, for the kinds DisplayProperty shows.
  virtual void StoreProperty(TReflectivePersistent& Obj, int Index);
  virtual bool ValidateProperty(TReflectivePersistent& Obj, int Index) { return true; }
  // Read-only: every edit of the frame grey and read-only, every other control disabled.
  virtual void SetReadOnly(bool Flag);

  // Shows every property of Obj in index order, then AfterLoad. Obj is not owned; nullptr
  // shows nothing.
  void SetObject(TReflectivePersistent* Obj);
  // Stores every property when ValidateObject allows it, otherwise nothing.
  void StoreObject(TReflectivePersistent* Obj);
  // False as soon as one ValidateProperty says False.
  bool ValidateObject(TReflectivePersistent* Obj);

  TReflectivePersistent* Object() const { return FObject; }
  bool ReadOnly() const { return FReadOnly; }

protected:
  // The control named Name; EInvalidOperation when the frame has none (a design error).
  QWidget* Control(const std::string& Name, const std::string& Property) const;

  TReflectivePersistent* FObject = nullptr;
  bool FReadOnly = false;
};
