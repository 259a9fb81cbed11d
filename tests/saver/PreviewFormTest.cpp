// The preview form on the offscreen platform, with a host window it is told about.
#include <gtest/gtest.h>

#include <QTest>

#include "platform/Platform.h"
#include "player/ScreenSaverAnimator.h"
#include "saver/ScreenSaverUtils.h"
#include "saver/formPreview.h"
#include "tests/saver/ShowFixture.h"
#include "tests/support/TestEnv.h"

using namespace showtest;

namespace {
// A preview whose host is a rectangle the test names (no window system to ask here).
class TTestPreview : public TfrmPreview {
public:
  static inline bool HostThere = true;
  static inline QRect Host{0, 0, 152, 112};

protected:
  bool HostRect(uint32_t Id, QRect& R) override {
    if (!HostThere || Id == 0) return false;
    R = Host;
    return true;
  }
};

class Preview : public ::testing::Test {
protected:
  void SetUp() override {
    TTestPreview::HostThere = true;
    SaverParentWindow = 4242;
    CursorBefore = plat::CursorCount();
  }
  void TearDown() override {
    SaverParentWindow = 0;
    EXPECT_EQ(plat::CursorCount(), CursorBefore);
    EXPECT_FALSE(plat::ScreenSaverRunning());
  }
  int CursorBefore = 0;
};
}  // namespace

TEST_F(Preview, PlaysMutedWithoutMoviesStepPerTickInsideTheHost) {
  MakeSaver({});
  auto F = CreateForm<TTestPreview>();
  ASSERT_TRUE(F->Loaded());
  EXPECT_TRUE(F->Animation()->Mute());
  EXPECT_TRUE(F->Animation()->NoMovies());
  EXPECT_EQ(F->windowTitle(), "SCREENSAVER_PREVIEW");
  F->show();
  // One pixel wider and taller than the host; the animation fills the whole form.
  EXPECT_EQ(F->geometry(), QRect(0, 0, 153, 113));
  EXPECT_EQ(F->Animation()->geometry(), QRect(0, 0, 153, 113));
  ASSERT_NE(F->Animation()->CurrentSequence(), nullptr) << "started on show";
  EXPECT_TRUE(F->StartTimer()->isActive());
  EXPECT_FALSE(F->StartTimer()->isSingleShot());
  // The steps draw the empty page's colour ($00336699 is the pixel $00996633).
  TDIBRaster* R = F->Animation()->Raster();
  EXPECT_TRUE(QTest::qWaitFor([&] { return (R->Bits[10 * R->Width + 10] & 0xFFFFFFu) == 0x996633u; },
                              testsupport::PatientMs));
  EXPECT_FALSE(F->Running()) << "the preview never runs the play loop";
  F->close();
  EXPECT_FALSE(F->StartTimer()->isActive());
  EXPECT_EQ(F->Animation()->CurrentSequence(), nullptr) << "stopped when closed";
}

TEST_F(Preview, EndsWhenTheHostGoesAway) {
  MakeSaver({});
  auto F = CreateForm<TTestPreview>();
  F->show();
  TTestPreview::HostThere = false;
  EXPECT_TRUE(QTest::qWaitFor([&] { return !F->isVisible(); }, testsupport::PatientMs));
  EXPECT_FALSE(F->StartTimer()->isActive());
}

TEST_F(Preview, NoHostOrUnreadableProjectEndsWithoutShowing) {
  MakeSaver({});
  for (uint32_t Id : {0u, 4242u}) {
    SaverParentWindow = Id;
    TTestPreview::HostThere = Id != 4242;  // 0: no id at all; 4242: an id of no window
    auto F = CreateForm<TTestPreview>();
    EXPECT_TRUE(F->isHidden());
    bool Closed = false;
    struct Watch : QObject {
      bool& Flag;
      explicit Watch(bool& B) : Flag(B) {}
      bool eventFilter(QObject*, QEvent* E) override {
        if (E->type() == QEvent::Close) Flag = true;
        return false;
      }
    } W(Closed);
    F->installEventFilter(&W);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Closed; }, testsupport::PatientMs)) << Id;
    EXPECT_TRUE(testsupport::MessageBoxes().empty());
  }
  MakeEmptyProgram();
  SaverParentWindow = 4242;
  TTestPreview::HostThere = true;
  auto F = CreateForm<TTestPreview>();
  EXPECT_FALSE(F->Loaded());
  EXPECT_TRUE(F->isHidden());
  EXPECT_EQ(testsupport::MessageBoxes().size(), 1u);
}

TEST_F(Preview, APictureThatCannotBeDecodedIsReportedOnceAndThePreviewGoesOn) {
  TSaverRecipe Recipe;
  Recipe.Pictures = 1;
  Recipe.Sequences = {EmptyPage(0x0000FF, 100), DamagedSlide(100), EmptyPage(0x00FF00, 100)};
  MakeSaver(Recipe);
  int Passes = 0;  // how often the page after the slide came on screen
  bool OnScreen = false;
  auto F = CreateForm<TTestPreview>();
  // Looked at after every tick's step, so that no pass goes unseen on a slow machine.
  QObject::connect(F->StartTimer(), &QTimer::timeout, F.get(), [&] {
    const TDIBRaster* R = F->Animation()->Raster();
    const bool Green = (R->Bits[10 * R->Width + 10] & 0xFFFFFFu) == 0x00FF00u;
    Passes += Green && !OnScreen;
    OnScreen = Green;
  });
  F->show();
  // Twice past the slide: the first time its picture fails, the second time it is held empty.
  EXPECT_TRUE(QTest::qWaitFor([&] { return Passes >= 2; }, testsupport::PatientMs)) << Passes;
  ASSERT_EQ(testsupport::MessageBoxes().size(), 1u);
  EXPECT_NE(testsupport::MessageBoxes()[0].Text.find("TPicture.LoadFromFile"), std::string::npos)
      << testsupport::MessageBoxes()[0].Text;
  EXPECT_TRUE(F->isVisible());
}
