#pragma once
// Integer range helpers and the freeing of objects held by a string list.

#include "platform/Classes.h"

// Min is tested first, so with Min > Max every Value below Min gives Min.
int ClampToRange(int Value, int Min, int Max);
// One mirror at the nearer bound, then reduced by the range's width. Max = Min with another
// Value divides by zero; intermediate overflow raises.
int ReflectIntoRange(int Value, int Min, int Max);
// Frees every object the list holds, then the list; List becomes nullptr.
void FreeStringListObjects(TStringList*& List);
