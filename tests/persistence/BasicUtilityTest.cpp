#include <gtest/gtest.h>

#include "persistence/BasicUtility.h"

TEST(ClampToRange, MinIsTestedFirst) {
  EXPECT_EQ(ClampToRange(5, 10, 0), 10);
  EXPECT_EQ(ClampToRange(12, 0, 10), 10);
  EXPECT_EQ(ClampToRange(-1, 0, 10), 0);
  EXPECT_EQ(ClampToRange(11, 10, 0), 0);
}

TEST(ReflectIntoRange, SingleMirrorAtTheNearerBound) {
  EXPECT_EQ(ReflectIntoRange(22, 0, 10), 8);
  EXPECT_EQ(ReflectIntoRange(-3, 0, 10), 3);
  EXPECT_EQ(ReflectIntoRange(35, 0, 10), 5);
  EXPECT_EQ(ReflectIntoRange(21, 0, 10), 9);
  EXPECT_EQ(ReflectIntoRange(10, 0, 10), 10);
  EXPECT_EQ(ReflectIntoRange(0, 0, 10), 0);
  EXPECT_EQ(ReflectIntoRange(-10, 0, 10), 0);
  EXPECT_EQ(ReflectIntoRange(20, 0, 10), 10);
}

TEST(ReflectIntoRange, EmptyRangeAndOverflow) {
  EXPECT_EQ(ReflectIntoRange(4, 4, 4), 4);
  EXPECT_THROW(ReflectIntoRange(5, 4, 4), EDivByZero);
  EXPECT_THROW(ReflectIntoRange(INT32_MIN, 1, 10), EIntOverflow);
}

namespace {
int GFreed = 0;
struct Counted : TObject {
  ~Counted() override { ++GFreed; }
};
}  // namespace

TEST(FreeStringListObjects, FreesObjectsAndListSkippingNil) {
  GFreed = 0;
  auto* L = new TStringList;
  L->AddObject("a", new Counted);
  L->AddObject("b", nullptr);
  L->AddObject("c", new Counted);
  FreeStringListObjects(L);
  EXPECT_EQ(L, nullptr);
  EXPECT_EQ(GFreed, 2);
}
