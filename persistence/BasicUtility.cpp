#include "persistence/BasicUtility.h"

int ClampToRange(int Value, int Min, int Max) {
  if (Value < Min) return Min;
  if (Value > Max) return Max;
  return Value;
}

int ReflectIntoRange(int Value, int Min, int Max) {
  if (Value < Min)
    return CheckedAdd(Min, CheckedMod(CheckedSub(Min, Value), CheckedSub(Max, Min)));
  if (Value > Max)
    return CheckedSub(Max, CheckedMod(CheckedSub(Value, Max), CheckedSub(Max, Min)));
  return Value;
}

void FreeStringListObjects(TStringList*& List) {
  if (!List) return;
  for (int I = 0; I < List->Count(); ++I) delete List->Objects(I);
  delete List;
  List = nullptr;
}
