// The about frame: name and version from the program's own version block, the logo under water
// that runs on its timer, ripples from clicks and pointer moves, the links and the layout.
#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QEnterEvent>
#include <QTest>

#include "graphics/GfxFilters.h"
#include "graphics/GfxTool.h"
#include "platform/Platform.h"
#include "saver/frameAboutVoviziridSaver.h"
#include "tests/support/TestEnv.h"

namespace {

void UseVersion(const std::string& FileVersion) {
  plat::SetOwnVersionBlock(plat::BuildVersionBlock(
      {{0x0407, 0x04E4}}, {{"CompanyName", "Zerozezu"}, {"FileVersion", FileVersion}, {"ProductName", "Rizuder"}}));
}

class AboutFrame : public ::testing::Test {
protected:
  void SetUp() override {
    plat::SetShellHook([this](const plat::ShellCall& C) { Calls.push_back(C); });
  }
  void TearDown() override { plat::SetOwnVersionBlock({}); }
  std::vector<plat::ShellCall> Calls;
};

int16_t HeightAt(TfraAbout& F, int X, int Y) {
  TRefractionMap* M = F.Water()->DisturbMap();
  return M->Heights.at(static_cast<size_t>(Y) * M->Width + X);
}

int NonZeroHeights(TfraAbout& F) {
  int N = 0;
  for (int16_t H : F.Water()->DisturbMap()->Heights) N += H != 0;
  return N;
}

// Pixels in which two rasters of one size differ (colour channels only).
int Differences(const TDIBRaster& A, const TDIBRaster& B, size_t Count) {
  int N = 0;
  for (size_t I = 0; I < Count; ++I) N += ((A.Bits[I] ^ B.Bits[I]) & 0xFFFFFF) != 0;
  return N;
}

}  // namespace

TEST_F(AboutFrame, TopPanelShowsTheNameAndTheProgramsFileVersion) {
  UseVersion("1.1.0.315");
  TfraAboutVoviziridSaver F;
  EXPECT_EQ(F.Version(), "1.1.0.315");
  F.SetProgramName("Vovizirid Bildschirmschoner");
  EXPECT_EQ(F.ProgramName(), "Vovizirid Bildschirmschoner");
  EXPECT_EQ(F.pnlProgramAndVersion->Caption(), "Vovizirid Bildschirmschoner - Version 1.1.0.315");
  // The information text names the version too.
  EXPECT_TRUE(F.txtInfo->toPlainText().contains("1.1.0.315"));
}

TEST_F(AboutFrame, WithoutAVersionBlockTheVersionIsEmpty) {
  plat::SetOwnVersionBlock({});
  TfraAbout F;
  F.SetProgramName("Name");
  EXPECT_EQ(F.pnlProgramAndVersion->Caption(), "Name - Version ");
  EXPECT_EQ(F.txtInfo->toPlainText(), "") << "the plain frame carries no product text";
}

TEST_F(AboutFrame, ComponentsAndLayout) {
  TfraAboutVoviziridSaver F;
  EXPECT_EQ(F.size(), QSize(503, 400));
  EXPECT_FALSE(F.tmrAnim->isActive());
  EXPECT_EQ(F.tmrAnim->interval(), 30);
  EXPECT_EQ(F.PageControl1->count(), 2);
  EXPECT_EQ(F.PageControl1->tabText(0), "Vovizirid");
  EXPECT_EQ(F.PageControl1->tabText(1), "Informationen");
  EXPECT_FALSE(F.imgLogo->isVisibleTo(&F));
  EXPECT_EQ(F.imgLogo->size(), QSize(400, 267));
  EXPECT_EQ(F.pbLogo->size(), QSize(400, 267));
  EXPECT_EQ(F.pbLogo->toolTip(), "Click to shake the pool");
  EXPECT_EQ(F.pnlLogo->palette().color(QPalette::Window), QColor(Qt::black));
  ASSERT_NE(F.Logo(), nullptr);
  EXPECT_EQ(F.Logo()->Width, 400);
  EXPECT_EQ(F.Logo()->Height, 268) << "rasters round up to even";
  EXPECT_EQ(F.Output()->Width, 400);
  EXPECT_TRUE(F.txtInfo->isReadOnly());
  EXPECT_EQ(F.txtInfo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(F.txtInfo->font().family(), "Courier New");
  EXPECT_EQ(F.txtInfo->font().pointSize(), 8);
  EXPECT_EQ(F.txtInfo->palette().color(QPalette::Base), ColorToQColor(clBtnFace));
  EXPECT_FALSE(F.txtInfo->toPlainText().isEmpty());

  F.show();
  QApplication::processEvents();
  EXPECT_EQ(F.pnlProgramAndVersion->height(), 25);
  EXPECT_EQ(F.Panel1->height(), 31);
  EXPECT_EQ(F.Panel1->y() + F.Panel1->height(), F.height()) << "links at the bottom";
  EXPECT_LT(F.JvHotLink1->x(), F.JvHotLink2->x());
  EXPECT_EQ(F.JvHotLink2->geometry().right(), F.Panel1->width() - 9) << "anchored right";
  // The logo is picked from the logo picture, not left black.
  const TPixel Middle = F.Logo()->Bits[133 * 400 + 200] & 0xFFFFFF;
  EXPECT_NE(Middle, 0u);
}

TEST_F(AboutFrame, PaintBoxStaysCentredInThePanel) {
  TfraAbout F;
  F.resize(700, 500);
  F.show();
  QApplication::processEvents();
  const int W = F.pnlLogo->width(), H = F.pnlLogo->height();
  ASSERT_GT(W, 600);
  EXPECT_EQ(H, 313) << "as high as designed where the page has room";
  EXPECT_EQ(F.pbLogo->pos(), QPoint((W - 400) / 2, (313 - 267) / 2));
  // On a lower page the panel shrinks and the logo stays centred, cut evenly.
  F.resize(380, 300);
  QApplication::processEvents();
  const int W2 = F.pnlLogo->width(), H2 = F.pnlLogo->height();
  ASSERT_LT(W2, 400);
  ASSERT_LT(H2, 267);
  EXPECT_LT(F.pbLogo->x(), 0);
  EXPECT_LT(F.pbLogo->y(), 0);
  EXPECT_EQ(F.pbLogo->x(), (W2 - 400) / 2) << "truncated toward zero";
  EXPECT_EQ(F.pbLogo->y(), (H2 - 267) / 2);
}

TEST_F(AboutFrame, AnimatedOnlyWhenAsked) {
  TfraAbout F;
  F.SetAnimated(true);
  EXPECT_TRUE(F.tmrAnim->isActive());
  F.SetAnimated(false);
  EXPECT_FALSE(F.tmrAnim->isActive());
}

TEST_F(AboutFrame, FlatWaterShowsTheLogoUnchanged) {
  TfraAbout F;
  for (int I = 0; I < 3; ++I) F.tmrAnimTimer();
  const size_t N = F.Logo()->PixelCount();
  EXPECT_EQ(Differences(*F.Logo(), *F.Output(), N - 400 - 1), 0);
}

TEST_F(AboutFrame, TimerRunsTheWaterAndAClickShakesThePool) {
  TfraAbout F;
  F.show();
  QApplication::processEvents();
  const size_t N = F.Logo()->PixelCount() - 400 - 1;

  QTest::mouseClick(F.pbLogo, Qt::LeftButton, {}, QPoint(200, 130));
  const int Raised = NonZeroHeights(F);
  EXPECT_GT(Raised, 1000) << "two sine ridges across the pool";
  // Columns 0 and 399 and the first and last rows stay flat.
  for (int Y = 0; Y < 268; ++Y) {
    EXPECT_EQ(HeightAt(F, 0, Y), 0);
    EXPECT_EQ(HeightAt(F, 399, Y), 0);
  }
  EXPECT_EQ(HeightAt(F, 100, 0), 0);
  EXPECT_EQ(HeightAt(F, 100, 267), 0);
  EXPECT_NE(HeightAt(F, 25, 100), 0);
  EXPECT_EQ(HeightAt(F, 25, 100), HeightAt(F, 25, 200)) << "ridges run from top to bottom";

  // Stopped, nothing moves; the disturbance waits.
  EXPECT_EQ(Differences(*F.Logo(), *F.Output(), N), N) << "nothing drawn yet";
  const QImage Before = F.pbLogo->grab().toImage();

  // Running, the timer draws the logo, and the ripples come to bend it.
  const std::vector<TPixel> Still(F.Output()->Bits, F.Output()->Bits + N);
  F.SetAnimated(true);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return !std::equal(Still.begin(), Still.end(), F.Output()->Bits) &&
               Differences(*F.Logo(), *F.Output(), N) > 1000;
      },
      testsupport::PatientMs));
  F.SetAnimated(false);
  const QImage After = F.pbLogo->grab().toImage();
  EXPECT_NE(Before, After) << "the paint box shows the new picture";

  // A later state differs again: the water keeps moving.
  std::vector<TPixel> Snapshot(F.Output()->Bits, F.Output()->Bits + N);
  F.tmrAnimTimer();
  F.tmrAnimTimer();
  int Moved = 0;
  for (size_t I = 0; I < N; ++I) Moved += ((Snapshot[I] ^ F.Output()->Bits[I]) & 0xFFFFFF) != 0;
  EXPECT_GT(Moved, 0);
}

TEST_F(AboutFrame, ManyClicksSaturateInsteadOfFailing) {
  TfraAbout F;
  for (int I = 0; I < 40; ++I) EXPECT_NO_THROW(F.pbLogoClick());
  EXPECT_TRUE(testsupport::MessageBoxes().empty());
}

TEST_F(AboutFrame, PointerRaisesA3x3BlockAwayFromTheEdges) {
  TfraAbout F;
  F.pbLogoMouseMove(1, 50);
  F.pbLogoMouseMove(F.pbLogo->width() - 2, 50);
  F.pbLogoMouseMove(50, 1);
  F.pbLogoMouseMove(50, F.pbLogo->height() - 2);
  EXPECT_EQ(NonZeroHeights(F), 0) << "nearer than 2 pixels to an edge does nothing";

  F.pbLogoMouseMove(2, 2);
  EXPECT_EQ(NonZeroHeights(F), 9);
  for (int Y = 1; Y <= 3; ++Y)
    for (int X = 1; X <= 3; ++X) EXPECT_EQ(HeightAt(F, X, Y), 1600) << X << "," << Y;
  F.pbLogoMouseMove(F.pbLogo->width() - 3, F.pbLogo->height() - 3);
  EXPECT_EQ(HeightAt(F, 398, 265), 1600);
  EXPECT_EQ(NonZeroHeights(F), 18);

  // The same through real pointer events over the shown paint box.
  TfraAbout G;
  G.show();
  QApplication::processEvents();
  QTest::mouseMove(G.pbLogo, QPoint(60, 70));
  QApplication::processEvents();
  EXPECT_EQ(HeightAt(G, 60, 70), 1600);
  EXPECT_EQ(HeightAt(G, 59, 69), 1600);
}

TEST_F(AboutFrame, LinksShowTheirHostsTrackThePointerAndOpenTheirAddresses) {
  TfraAboutVoviziridSaver F;
  F.show();
  QApplication::processEvents();
  EXPECT_EQ(F.JvHotLink1->text(), MakerSiteHost);
  EXPECT_EQ(F.JvHotLink2->text(), PartnerSiteHost);
  EXPECT_EQ(F.JvHotLink1->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(F.JvHotLink2->cursor().shape(), Qt::PointingHandCursor);

  const QFont Normal = F.JvHotLink1->font();
  EXPECT_FALSE(Normal.underline());
  QEnterEvent Enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QApplication::sendEvent(F.JvHotLink1, &Enter);
  EXPECT_TRUE(F.JvHotLink1->Hot());
  EXPECT_TRUE(F.JvHotLink1->font().underline());
  EXPECT_EQ(F.JvHotLink1->font().pointSize(), 8);
  EXPECT_EQ(F.JvHotLink1->palette().color(QPalette::WindowText), QColor(Qt::blue));
  QEvent Leave(QEvent::Leave);
  QApplication::sendEvent(F.JvHotLink1, &Leave);
  EXPECT_FALSE(F.JvHotLink1->Hot());
  EXPECT_FALSE(F.JvHotLink1->font().underline());
  EXPECT_NE(F.JvHotLink1->palette().color(QPalette::WindowText), QColor(Qt::blue));

  EXPECT_TRUE(Calls.empty());
  QTest::mouseClick(F.JvHotLink1, Qt::LeftButton, {}, QPoint(3, 3));
  QTest::mouseClick(F.JvHotLink2, Qt::LeftButton, {}, QPoint(3, 3));
  // A right click opens nothing.
  QTest::mouseClick(F.JvHotLink2, Qt::RightButton, {}, QPoint(3, 3));
  ASSERT_EQ(Calls.size(), 2u);
  EXPECT_EQ(Calls[0].Verb, "open");
  EXPECT_EQ(Calls[0].File, MakerSiteAddress);
  EXPECT_EQ(Calls[1].File, PartnerSiteAddress);
}
