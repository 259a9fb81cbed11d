// The picture transitions: their texts and stored records, the order in which the tile walks
// and the shutter switch their cells, and frames composed at chosen clock values, compared
// pixel by pixel with the old and the new picture (alpha 255 the old, 0 the new).

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/ScreenSaverFiles.h"
#include "persistence/PropertyBags.h"
#include "platform/Platform.h"
#include "tests/player/PlayerTestSupport.h"
#include "tests/support/TestEnv.h"

using namespace playertest;

namespace {

using TCell = std::pair<int, int>;
using TOrder = std::vector<TCell>;

// The blend of one pixel with its alpha: per channel b + floor((a - b) * alpha / 256).
uint32_t Mix(uint32_t A, uint32_t B, int Alpha) {
  uint32_t R = 0;
  for (int Shift : {0, 8, 16}) {
    const int CA = int(A >> Shift) & 255, CB = int(B >> Shift) & 255;
    const int V = CB + int(std::floor((CA - CB) * Alpha / 256.0));
    R |= uint32_t(V) << Shift;
  }
  return R;
}

// The cell of pixel coordinate V when Size pixels are cut into N cells.
int CellOf(int V, int Size, int N) {
  int C = 0;
  while (int64_t{C + 1} * Size / N <= V) ++C;
  return C;
}

std::vector<uint32_t> Pixels(const TDIBRaster& R) {
  std::vector<uint32_t> V(R.Bits, R.Bits + R.PixelCount());
  for (uint32_t& P : V) P = Rgb(P);
  return V;
}

// A slide of picture Picture on a page of Color at (X, Y) that carries a copy of T.
demosaver::TSequenceMaker Carrying(size_t Picture, TColor Color, int X, int Y, int32_t Duration,
                                   const TTransitionSequence& T) {
  std::shared_ptr<TTransitionSequence> Copy = CloneOf(T);
  return [=](TScreenSaverProject& P, const demosaver::TDemoMedia& M) {
    auto S = std::make_unique<TSlideSequence>();
    S->MediaID = M.Pictures.at(Picture);
    S->Color = Color;
    S->Left = X;
    S->Top = Y;
    S->Duration = Duration;
    S->SetTransition(Copy.get());
    P.Sequences()->Add(std::move(S));
  };
}

std::unique_ptr<TReflectivePersistent> RoundTrip(TReflectivePersistent& Obj) {
  TMemoryStream Stream;
  {
    TStreamPropertyBag Bag(Stream);
    Bag.WriteObject(&Obj);
  }
  Stream.SetPosition(0);
  TStreamPropertyBag Bag(Stream);
  std::unique_ptr<TReflectivePersistent> Back;
  EXPECT_TRUE(Bag.ReadObject(Back));
  return Back;
}

class Transitions : public PlayerTest {
protected:
  // Plays a slide of picture 0 for 1000 ms, then T into a slide of picture 1; returns when T
  // has taken its pictures (its clock starts at Begun).
  void Begin(const TTransitionSequence& T, int PictureW = 320, int PictureH = 240) {
    C.reset();
    P = MakeProject({Slide(0, 0x113355, 0, 0, 1000), Carrying(1, 0x775533, 40, 30, 3000, T)},
                    sr640x480, PictureW, PictureH);
    C = std::make_unique<TAnimationControl>();
    C->SetProject(P.get());
    C->Start();
    StepAt(*C, Now);
    StepAt(*C, Now + 1000);
    Clone = dynamic_cast<TTransitionSequence*>(C->CurrentSequence());
    ASSERT_TRUE(Clone);
    ASSERT_EQ(Clone->ClassName(), T.ClassName());
    ASSERT_TRUE(Clone->OldPicture() && Clone->NewPicture());
    Screen = C->Raster();
    Old = Pixels(*Clone->OldPicture());
    New = Pixels(*Clone->NewPicture());
    ASSERT_EQ(Old, Pixels(*Screen)) << "the old picture is the screen as the transition began";
    auto* Next = dynamic_cast<TSlideSequence*>(C->Sequences().Items(2));
    ASSERT_TRUE(Next);
    ASSERT_EQ(Clone->NewPicture(), Next->Page());
    ASSERT_NE(Old, New);
    Begun = Now;
  }

  void At(int64_t Elapsed) { StepAt(*C, Begun + uint32_t(Elapsed)); }

  const TAlphaChannel& Alpha() const {
    return *static_cast<const TBaseAlphaBlendSequence*>(Clone)->AlphaChannel();
  }

  // Pixels of the screen that are not old and new mixed by AlphaAt(x, y).
  template <class F>
  int BlendMismatches(F AlphaAt) const {
    int Bad = 0;
    for (int Y = 0; Y < Screen->Height; ++Y)
      for (int X = 0; X < Screen->Width; ++X) {
        const size_t I = size_t(Y) * size_t(Screen->Width) + size_t(X);
        if (Rgb(Screen->Bits[I]) != Mix(Old[I], New[I], AlphaAt(X, Y))) ++Bad;
      }
    return Bad;
  }

  // Pixels of the alpha plane that differ from AlphaAt(x, y).
  template <class F>
  int AlphaMismatches(F AlphaAt) const {
    const TAlphaChannel& A = Alpha();
    int Bad = 0;
    for (int Y = 0; Y < A.Height; ++Y)
      for (int X = 0; X < A.Width; ++X)
        if (A.Data[size_t(Y) * size_t(A.Width) + size_t(X)] != AlphaAt(X, Y)) ++Bad;
    return Bad;
  }

  // The order in which T switches the cells of a Cols x Rows grid, read from the alpha plane:
  // with one second per cell, at k.5 s exactly k cells are done and the next is half way.
  TOrder WalkOrder(TTransitionSequence& T, int Cols, int Rows) {
    const int Total = Cols * Rows;
    T.Duration = Total * 1000;
    Begin(T, 64, 48);
    if (HasFatalFailure()) return {};
    TOrder Order;
    for (int K = 0; K < Total; ++K) {
      At(int64_t{K} * 1000 + 500);
      int Finished = 0, Halves = 0;
      for (int Y = 0; Y < Rows; ++Y)
        for (int X = 0; X < Cols; ++X) {
          const uint8_t A = CellAlpha(X, Y, Cols, Rows);
          if (A == 0) ++Finished;
          if (A == 128) {
            ++Halves;
            Order.emplace_back(X, Y);
          }
        }
      EXPECT_EQ(Finished, K) << "at cell " << K;
      EXPECT_EQ(Halves, 1) << "at cell " << K;
    }
    return Order;
  }

  // The alpha of a cell; every pixel of the cell must hold it.
  uint8_t CellAlpha(int CX, int CY, int Cols, int Rows) const {
    const TAlphaChannel& A = Alpha();
    const int L = CX * A.Width / Cols, R = (CX + 1) * A.Width / Cols - 1;
    const int T = CY * A.Height / Rows, B = (CY + 1) * A.Height / Rows - 1;
    const uint8_t V = A.Data[size_t(T) * size_t(A.Width) + size_t(L)];
    for (int Y = T; Y <= B; ++Y)
      for (int X = L; X <= R; ++X)
        if (A.Data[size_t(Y) * size_t(A.Width) + size_t(X)] != V) {
          ADD_FAILURE() << "cell (" << CX << ", " << CY << ") is not uniform";
          return V;
        }
    return V;
  }

  std::unique_ptr<TScreenSaverProject> P;
  std::unique_ptr<TAnimationControl> C;
  TTransitionSequence* Clone = nullptr;
  TDIBRaster* Screen = nullptr;
  std::vector<uint32_t> Old, New;
  uint32_t Begun = 0;
};

std::unique_ptr<TTileBlendSequence> Tiles(TTilingMode Mode, TEffectDirection Main, TTilingDirection Dir,
                                          TSpiralStart Start = ssLeftTop) {
  auto T = std::make_unique<TTileBlendSequence>();
  T->TilingMode = Mode;
  T->MainDirection = Main;
  T->TilingDirection = Dir;
  T->SpiralStart = Start;
  return T;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Texts, defaults, stored records

TEST_F(Transitions, CaptionsDescriptionsAndParameterTexts) {
  const std::string None = "Kanal 1 <kein(e) Musik / Klang>, Kanal 2 <kein(e) Musik / Klang>";
  std::string S;

  TAlphaBlendSequence Soft;
  Soft.Duration = 4000;
  Soft.GetParameterText(S);
  EXPECT_EQ(S, "Weich, Dauer 40 [1/10 Sek.], " + None);
  Soft.GetDescription(S);
  EXPECT_EQ(S, "Blendet sanft vom einen zum nächsten Bild");
  TBaseTileBlendSequence BaseTiles;
  BaseTiles.GetCaption(S);
  EXPECT_EQ(S, "Weich");

  TShutterBlendSequence Shutter;
  Shutter.GetParameterText(S);
  EXPECT_EQ(S, "Rolladen, Dauer 80 [1/10 Sek.], " + None + ", nach rechts, Anzahl 12");
  Shutter.ShutterDirection = edBottomToTop;
  Shutter.ShutterCount = -3;
  Shutter.Duration = 1250;
  Shutter.GetParameterText(S);
  EXPECT_EQ(S, "Rolladen, Dauer 12 [1/10 Sek.], " + None + ", nach oben, Anzahl -3");
  Shutter.GetDescription(S);
  EXPECT_EQ(S, "Beim Überblenden entsteht der Eindruck von einem sich öffnenden Rollladen");

  TTileBlendSequence Tile;
  Tile.GetParameterText(S);
  EXPECT_EQ(S, "Kacheln, Dauer 80 [1/10 Sek.], " + None +
                   ", Zeile für Zeile, Anzahl X 8, Y 8, Hauptrichtung nach rechts, Zeilenrichtung nach unten");
  // A horizontal main direction walks columns, a vertical one rows: the line word follows.
  Tile.MainDirection = edRightToLeft;
  Tile.TilingDirection = tdUpperToLower;
  Tile.GetParameterText(S);
  EXPECT_EQ(S, "Kacheln, Dauer 80 [1/10 Sek.], " + None +
                   ", Zeile für Zeile, Anzahl X 8, Y 8, Hauptrichtung nach links, Zeilenrichtung nach oben");
  Tile.MainDirection = edTopToBottom;
  Tile.TileCountX = 4;
  Tile.TileCountY = 3;
  Tile.GetParameterText(S);
  EXPECT_EQ(S, "Kacheln, Dauer 80 [1/10 Sek.], " + None +
                   ", Zeile für Zeile, Anzahl X 4, Y 3, Hauptrichtung nach unten, Zeilenrichtung nach links");
  Tile.TilingDirection = tdPingPong;
  Tile.GetParameterText(S);
  EXPECT_EQ(S.substr(S.rfind("Zeilenrichtung")), "Zeilenrichtung Ping Pong");
  Tile.TilingMode = tmSpiralToInner;
  Tile.SpiralStart = ssRightBottom;
  Tile.GetParameterText(S);
  EXPECT_EQ(S, "Kacheln, Dauer 80 [1/10 Sek.], " + None +
                   ", Spirale nach innen, Anzahl X 4, Y 3, Startpunkt unten rechts");
  Tile.GetDescription(S);
  EXPECT_EQ(S, "Der Bildübergang erfolgt Kachelartig");

  TScrollTransitionSequence Scroll;
  Scroll.Duration = 1500;
  Scroll.Direction = edBottomToTop;
  Scroll.GetParameterText(S);
  EXPECT_EQ(S, "Rollen, Dauer 15 [1/10 Sek.], " + None + ", Richtung nach oben");
  Scroll.GetDescription(S);
  EXPECT_EQ(S, "Das neue Bild wird in den sichtabren Bereich \"gerollt\"");
}

TEST_F(Transitions, DefaultsAndStoredRecords) {
  for (const char* N : {"TBaseAlphaBlendSequence", "TAlphaBlendSequence", "TBaseTileBlendSequence",
                        "TShutterBlendSequence", "TTileBlendSequence", "TScrollTransitionSequence"}) {
    const TReflectiveClassRef K = GetReflectiveClass(N);
    ASSERT_TRUE(K) << N;
    EXPECT_TRUE(K->InheritsFrom(TTransitionSequence::StaticClass())) << N;
    EXPECT_EQ(K->Create()->ClassName(), N);
  }
  EXPECT_EQ(TShutterBlendSequence().ShutterCount, 12);
  EXPECT_EQ(TShutterBlendSequence().ShutterDirection, edLeftToRight);
  const TTileBlendSequence DefaultTiles;
  EXPECT_EQ(DefaultTiles.TileCountX, 8);
  EXPECT_EQ(DefaultTiles.TileCountY, 8);
  EXPECT_EQ(DefaultTiles.TilingMode, tmLineByLine);
  EXPECT_EQ(DefaultTiles.TilingDirection, tdLowerToUpper);
  EXPECT_EQ(DefaultTiles.SpiralStart, ssLeftTop);
  EXPECT_EQ(DefaultTiles.Duration, 8000);
  EXPECT_EQ(TScrollTransitionSequence().Direction, edLeftToRight);

  TShutterBlendSequence Shutter;
  Shutter.ShutterCount = 0;
  Shutter.ShutterDirection = edBottomToTop;
  Shutter.Duration = 777;
  auto* S = dynamic_cast<TShutterBlendSequence*>(RoundTrip(Shutter).release());
  ASSERT_TRUE(S);
  std::unique_ptr<TShutterBlendSequence> OwnS(S);
  EXPECT_EQ(S->ShutterCount, 0) << "a stored count is kept as it is";
  EXPECT_EQ(S->ShutterDirection, edBottomToTop);
  EXPECT_EQ(S->Duration, 777);

  auto Tile = Tiles(tmSpiralToInner, edBottomToTop, tdPingPong, ssRightTop);
  Tile->TileCountX = 5;
  Tile->TileCountY = -2;
  auto* T = dynamic_cast<TTileBlendSequence*>(RoundTrip(*Tile).release());
  ASSERT_TRUE(T);
  std::unique_ptr<TTileBlendSequence> OwnT(T);
  EXPECT_EQ(T->TileCountX, 5);
  EXPECT_EQ(T->TileCountY, -2);
  EXPECT_EQ(T->TilingMode, tmSpiralToInner);
  EXPECT_EQ(T->MainDirection, edBottomToTop);
  EXPECT_EQ(T->TilingDirection, tdPingPong);
  EXPECT_EQ(T->SpiralStart, ssRightTop);

  TScrollTransitionSequence Scroll;
  Scroll.Direction = edRightToLeft;
  auto* R = dynamic_cast<TScrollTransitionSequence*>(RoundTrip(Scroll).release());
  ASSERT_TRUE(R);
  std::unique_ptr<TScrollTransitionSequence> OwnR(R);
  EXPECT_EQ(R->Direction, edRightToLeft);

  // A slide carries its transition through its record.
  TSlideSequence Slide;
  Slide.SetTransition(Tile.get());
  auto Back = RoundTrip(Slide);
  auto* BackSlide = dynamic_cast<TSlideSequence*>(Back.get());
  ASSERT_TRUE(BackSlide);
  auto* BackTile = dynamic_cast<TTileBlendSequence*>(BackSlide->Transition());
  ASSERT_TRUE(BackTile);
  EXPECT_EQ(BackTile->SpiralStart, ssRightTop);
}

// ---------------------------------------------------------------------------------------------
// Soft blend

TEST_F(Transitions, TheSoftBlendFollowsTheClock) {
  TAlphaBlendSequence Soft;
  Soft.Duration = 4000;
  Begin(Soft);
  // 255 - Elapsed * 255 div Duration, over the whole picture.
  for (auto [Elapsed, A] : std::vector<std::pair<int, int>>{{0, 255}, {1000, 192}, {2000, 128}, {3999, 1}}) {
    At(Elapsed);
    ASSERT_EQ(C->CurrentSequence(), Clone);
    EXPECT_EQ(BlendMismatches([A = A](int, int) { return A; }), 0) << "at " << Elapsed << " ms";
  }
  // The time is up: the last frame is the new picture exactly, and the slide takes over.
  At(4000);
  EXPECT_EQ(Pixels(*Screen), New);
  EXPECT_TRUE(dynamic_cast<TSlideSequence*>(C->CurrentSequence()));
  EXPECT_EQ(Clone->OldPicture(), nullptr);
  EXPECT_EQ(static_cast<TBaseAlphaBlendSequence*>(Clone)->AlphaChannel(), nullptr);
}

TEST_F(Transitions, ASoftBlendOfNoTimeShowsTheNewPictureAtOnce) {
  TAlphaBlendSequence Soft;
  Soft.Duration = 0;
  Begin(Soft);
  At(0);
  EXPECT_EQ(Pixels(*Screen), New);
  EXPECT_TRUE(dynamic_cast<TSlideSequence*>(C->CurrentSequence())) << "and ends after that frame";
}

TEST_F(Transitions, ASoftBlendOfManyHoursStaysInRange) {
  TAlphaBlendSequence Soft;
  Soft.Duration = 100'000'000;  // elapsed * 255 no longer fits 32 bits half way
  Begin(Soft);
  At(50'000'000);
  EXPECT_EQ(BlendMismatches([](int, int) { return 128; }), 0);
}

// ---------------------------------------------------------------------------------------------
// Tiles

TEST_F(Transitions, EightByEightTilesAtHalfTime) {
  TTileBlendSequence Tile;
  Tile.Duration = 6400;
  Begin(Tile);
  At(3200);
  // Line by line from the left, each column downwards: 32 cells (four columns) are done and
  // the 33rd, the top of the fifth column, has just begun (still 255).
  const auto AlphaAt = [](int X, int Y) {
    const int Index = CellOf(X, 640, 8) * 8 + CellOf(Y, 480, 8);
    return Index < 32 ? 0 : 255;
  };
  EXPECT_EQ(AlphaMismatches(AlphaAt), 0);
  EXPECT_EQ(BlendMismatches(AlphaAt), 0);
  EXPECT_EQ(CellAlpha(4, 0, 8, 8), 255);
  EXPECT_EQ(CellAlpha(3, 7, 8, 8), 0);

  // A quarter of a cell later the 33rd cell is a quarter through: 255 - 63.
  At(3225);
  const auto Later = [](int X, int Y) {
    const int Index = CellOf(X, 640, 8) * 8 + CellOf(Y, 480, 8);
    return Index < 32 ? 0 : Index == 32 ? 192 : 255;
  };
  EXPECT_EQ(BlendMismatches(Later), 0);

  // The last frame leaves only the last cell nearly switched (alpha 1).
  At(6400);
  int Bad = 0;
  for (int Y = 0; Y < 480; ++Y)
    for (int X = 0; X < 640; ++X) {
      const size_t I = size_t(Y) * 640 + size_t(X);
      const bool LastCell = CellOf(X, 640, 8) == 7 && CellOf(Y, 480, 8) == 7;
      if (Rgb(Screen->Bits[I]) != (LastCell ? Mix(Old[I], New[I], 1) : New[I])) ++Bad;
    }
  EXPECT_EQ(Bad, 0);
}

TEST_F(Transitions, TheLineWalkInEveryDirection) {
  struct TCase {
    TEffectDirection Main;
    TTilingDirection Dir;
    TOrder Order;
  };
  // 3 columns x 2 rows.
  const std::vector<TCase> Cases = {
      {edLeftToRight, tdLowerToUpper, {{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}}},
      {edLeftToRight, tdUpperToLower, {{0, 1}, {0, 0}, {1, 1}, {1, 0}, {2, 1}, {2, 0}}},
      {edLeftToRight, tdPingPong, {{0, 0}, {0, 1}, {1, 1}, {1, 0}, {2, 0}, {2, 1}}},
      {edRightToLeft, tdLowerToUpper, {{2, 0}, {2, 1}, {1, 0}, {1, 1}, {0, 0}, {0, 1}}},
      {edRightToLeft, tdUpperToLower, {{2, 1}, {2, 0}, {1, 1}, {1, 0}, {0, 1}, {0, 0}}},
      {edRightToLeft, tdPingPong, {{2, 0}, {2, 1}, {1, 1}, {1, 0}, {0, 0}, {0, 1}}},
      {edTopToBottom, tdLowerToUpper, {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}}},
      {edTopToBottom, tdUpperToLower, {{2, 0}, {1, 0}, {0, 0}, {2, 1}, {1, 1}, {0, 1}}},
      {edTopToBottom, tdPingPong, {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {1, 1}, {0, 1}}},
      {edBottomToTop, tdLowerToUpper, {{0, 1}, {1, 1}, {2, 1}, {0, 0}, {1, 0}, {2, 0}}},
      {edBottomToTop, tdUpperToLower, {{2, 1}, {1, 1}, {0, 1}, {2, 0}, {1, 0}, {0, 0}}},
      {edBottomToTop, tdPingPong, {{0, 1}, {1, 1}, {2, 1}, {2, 0}, {1, 0}, {0, 0}}},
  };
  for (const TCase& K : Cases) {
    auto T = Tiles(tmLineByLine, K.Main, K.Dir);
    T->TileCountX = 3;
    T->TileCountY = 2;
    EXPECT_EQ(WalkOrder(*T, 3, 2), K.Order) << "main " << int(K.Main) << ", lines " << int(K.Dir);
  }
  // Ping-pong over more lines than two: down, up, down.
  auto T = Tiles(tmLineByLine, edLeftToRight, tdPingPong);
  T->TileCountX = 3;
  T->TileCountY = 3;
  EXPECT_EQ(WalkOrder(*T, 3, 3),
            (TOrder{{0, 0}, {0, 1}, {0, 2}, {1, 2}, {1, 1}, {1, 0}, {2, 0}, {2, 1}, {2, 2}}));
}

TEST_F(Transitions, TheSpiralFromEachCorner) {
  const std::vector<std::pair<TSpiralStart, TOrder>> Cases = {
      {ssLeftTop, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {3, 2}, {2, 2}, {1, 2}, {0, 2}, {0, 1}, {1, 1}, {2, 1}}},
      {ssRightTop, {{3, 0}, {2, 0}, {1, 0}, {0, 0}, {0, 1}, {0, 2}, {1, 2}, {2, 2}, {3, 2}, {3, 1}, {2, 1}, {1, 1}}},
      {ssLeftBottom, {{0, 2}, {1, 2}, {2, 2}, {3, 2}, {3, 1}, {3, 0}, {2, 0}, {1, 0}, {0, 0}, {0, 1}, {1, 1}, {2, 1}}},
      {ssRightBottom, {{3, 2}, {2, 2}, {1, 2}, {0, 2}, {0, 1}, {0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 1}, {2, 1}, {1, 1}}},
  };
  for (const auto& [Start, Order] : Cases) {
    auto T = Tiles(tmSpiralToInner, edLeftToRight, tdLowerToUpper, Start);
    T->TileCountX = 4;
    T->TileCountY = 3;
    EXPECT_EQ(WalkOrder(*T, 4, 3), Order) << "start " << int(Start);
  }
}

TEST_F(Transitions, ASpiralOfOneRowOrOneColumnWalksItsLine) {
  auto Row = Tiles(tmSpiralToInner, edLeftToRight, tdLowerToUpper, ssRightTop);
  Row->TileCountX = 5;
  Row->TileCountY = 1;
  EXPECT_EQ(WalkOrder(*Row, 5, 1), (TOrder{{4, 0}, {3, 0}, {2, 0}, {1, 0}, {0, 0}}));
  // A single column goes straight down (or up from the bottom) instead of stepping off the
  // grid after its first cell.
  auto Column = Tiles(tmSpiralToInner, edLeftToRight, tdLowerToUpper, ssLeftTop);
  Column->TileCountX = 1;
  Column->TileCountY = 4;
  EXPECT_EQ(WalkOrder(*Column, 1, 4), (TOrder{{0, 0}, {0, 1}, {0, 2}, {0, 3}}));
  Column->SpiralStart = ssRightBottom;
  EXPECT_EQ(WalkOrder(*Column, 1, 4), (TOrder{{0, 3}, {0, 2}, {0, 1}, {0, 0}}));
}

TEST_F(Transitions, TheSpiralSwitchesEveryCellOnce) {
  for (int Cols : {1, 2, 3, 6})
    for (int Rows : {1, 2, 5})
      for (TSpiralStart Start : {ssLeftTop, ssRightBottom}) {
        auto T = Tiles(tmSpiralToInner, edLeftToRight, tdLowerToUpper, Start);
        T->TileCountX = Cols;
        T->TileCountY = Rows;
        TOrder Order = WalkOrder(*T, Cols, Rows);
        std::sort(Order.begin(), Order.end());
        EXPECT_EQ(std::unique(Order.begin(), Order.end()), Order.end());
        EXPECT_EQ(int(Order.size()), Cols * Rows) << Cols << " x " << Rows;
      }
}

// ---------------------------------------------------------------------------------------------
// Shutter

TEST_F(Transitions, AShutterFromTheRightSwitchesTheRightmostStripFirst) {
  TShutterBlendSequence Shutter;
  Shutter.ShutterDirection = edRightToLeft;
  Shutter.Duration = 12000;
  Begin(Shutter);
  At(500);
  EXPECT_EQ(BlendMismatches([](int X, int) { return CellOf(X, 640, 12) == 11 ? 128 : 255; }), 0);
  At(2500);
  const auto AlphaAt = [](int X, int) {
    const int Strip = CellOf(X, 640, 12);
    return Strip >= 10 ? 0 : Strip == 9 ? 128 : 255;
  };
  EXPECT_EQ(AlphaMismatches(AlphaAt), 0);
  EXPECT_EQ(BlendMismatches(AlphaAt), 0);
}

TEST_F(Transitions, TheShutterInEveryDirection) {
  const std::vector<std::pair<TEffectDirection, TOrder>> Cases = {
      {edLeftToRight, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}},
      {edRightToLeft, {{4, 0}, {3, 0}, {2, 0}, {1, 0}, {0, 0}}},
      {edTopToBottom, {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}}},
      {edBottomToTop, {{0, 4}, {0, 3}, {0, 2}, {0, 1}, {0, 0}}},
  };
  for (const auto& [Direction, Order] : Cases) {
    TShutterBlendSequence Shutter;
    Shutter.ShutterDirection = Direction;
    Shutter.ShutterCount = 5;
    const bool Columns = Direction == edLeftToRight || Direction == edRightToLeft;
    EXPECT_EQ(WalkOrder(Shutter, Columns ? 5 : 1, Columns ? 1 : 5), Order) << int(Direction);
  }
}

// ---------------------------------------------------------------------------------------------
// Counts the grid cannot have

TEST_F(Transitions, CountsOfZeroOrBelowActAsOne) {
  TTileBlendSequence Tile;
  Tile.TileCountX = 0;
  Tile.TileCountY = -7;
  Tile.Duration = 1000;
  Begin(Tile);
  At(500);  // one cell, half way
  EXPECT_EQ(BlendMismatches([](int, int) { return 128; }), 0);

  TShutterBlendSequence Shutter;
  Shutter.ShutterCount = -1;
  Shutter.ShutterDirection = edTopToBottom;
  Shutter.Duration = 1000;
  Begin(Shutter);
  At(250);
  EXPECT_EQ(BlendMismatches([](int, int) { return 192; }), 0);
  At(1000);
  EXPECT_EQ(BlendMismatches([](int, int) { return 1; }), 0);
  EXPECT_TRUE(dynamic_cast<TSlideSequence*>(C->CurrentSequence()));
}

TEST_F(Transitions, CountsBeyondThePictureGiveOnePixelPerCell) {
  TTileBlendSequence Tile;
  Tile.TileCountX = 2'000'000'000;
  Tile.TileCountY = 2'000'000'000;
  Tile.Duration = 640 * 480;
  Begin(Tile, 64, 48);
  At(640 * 240);  // half the pixels: the left half, column by column downwards
  EXPECT_EQ(AlphaMismatches([](int X, int) { return X < 320 ? 0 : 255; }), 0);

  TShutterBlendSequence Shutter;
  Shutter.ShutterCount = 1'000'000;
  Shutter.ShutterDirection = edBottomToTop;
  Shutter.Duration = 4800;
  Begin(Shutter, 64, 48);
  At(1205);  // 120 rows from the bottom done, the next one half way
  EXPECT_EQ(AlphaMismatches([](int, int Y) { return Y >= 360 ? 0 : Y == 359 ? 128 : 255; }), 0);
}

// ---------------------------------------------------------------------------------------------
// Scroll

TEST_F(Transitions, TheNewPictureRollsInFromEachEdge) {
  for (TEffectDirection D : {edLeftToRight, edRightToLeft, edTopToBottom, edBottomToTop}) {
    TScrollTransitionSequence Scroll;
    Scroll.Direction = D;
    Scroll.Duration = 1000;
    Begin(Scroll);
    // Where the new picture lies after Elapsed ms, and which of its pixels shows at (X, Y).
    const auto Expected = [&](int64_t Elapsed, int X, int Y) {
      const int W = 640, H = 480;
      const int PW = int(std::min<int64_t>(Elapsed, 1000) * W / 1000) - (Elapsed >= 1000 ? 1 : 0);
      const int PH = int(std::min<int64_t>(Elapsed, 1000) * H / 1000) - (Elapsed >= 1000 ? 1 : 0);
      int SX = X, SY = Y;
      bool Inside = false;
      switch (D) {
        case edLeftToRight: Inside = X < PW; SX = X + W - PW; break;
        case edRightToLeft: Inside = X >= W - PW; SX = X - (W - PW); break;
        case edTopToBottom: Inside = Y < PH; SY = Y + H - PH; break;
        case edBottomToTop: Inside = Y >= H - PH; SY = Y - (H - PH); break;
      }
      return Inside ? New[size_t(SY) * W + size_t(SX)] : Old[size_t(Y) * W + size_t(X)];
    };
    for (int64_t Elapsed : {0, 250, 731, 1000}) {
      At(Elapsed);
      int Bad = 0;
      for (int Y = 0; Y < 480; ++Y)
        for (int X = 0; X < 640; ++X)
          if (Rgb(Screen->Bits[size_t(Y) * 640 + size_t(X)]) != Expected(Elapsed, X, Y)) ++Bad;
      EXPECT_EQ(Bad, 0) << "direction " << int(D) << " at " << Elapsed << " ms";
    }
    // The last frame leaves the old picture's far column (row) on screen; the slide follows.
    EXPECT_TRUE(dynamic_cast<TSlideSequence*>(C->CurrentSequence()));
  }
}

// ---------------------------------------------------------------------------------------------
// Without pictures

TEST_F(Transitions, WithoutABlendableSuccessorNothingIsDrawn) {
  auto Project = MakeProject({EmptyPage(0x00FF00, 100)});
  Project->Sequences()->Add(std::make_unique<TTileBlendSequence>());
  Project->Sequences()->Add(std::make_unique<TShutterBlendSequence>());
  Project->Sequences()->Add(std::make_unique<TAlphaBlendSequence>());
  Project->Sequences()->Add(std::make_unique<TScrollTransitionSequence>());
  Project->Sequences()->Add(std::make_unique<TPauseSequence>());
  for (int I = 1; I <= 4; ++I) static_cast<TSequence*>(Project->Sequences()->Items(I))->Duration = 100;
  TAnimationControl Control;
  Control.SetProject(Project.get());
  Control.Start();
  StepAt(Control, Now);
  const std::vector<uint32_t> Page = Pixels(*Control.Raster());
  for (int I = 0; I < 30; ++I) StepAt(Control, Now + 30);
  EXPECT_TRUE(dynamic_cast<TPauseSequence*>(Control.CurrentSequence()));
  EXPECT_EQ(Pixels(*Control.Raster()), Page);

  // Nor does one that was never prepared or has no control.
  TTileBlendSequence Loose;
  Loose.Step();
  TScrollTransitionSequence LooseScroll;
  LooseScroll.Start();
  LooseScroll.Step();
  EXPECT_EQ(LooseScroll.OldPicture(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// The demo show

TEST_F(Transitions, TheDemoSaverReadsBackAndPlaysItsTransitions) {
  const std::string Host = testsupport::TestDir() + "/host.bin";
  testsupport::WriteFileBytes(Host, std::string(1000, 'H'));
  demosaver::TDemoOptions O;
  O.NoFonts = true;
  O.PictureWidth = 320;
  O.PictureHeight = 240;
  O.SoundMs = 50;
  const std::string File = testsupport::TestDir() + "/demo.scr";
  demosaver::MakeScreenSaverFile(Host, File, O);
  plat::SetProgramFileName(File);
  std::unique_ptr<TScreenSaverInfo> Info;
  std::unique_ptr<TScreenSaverProject> Project;
  LoadScreenSaverInfoAndProject(Info, Project);
  ASSERT_TRUE(Project);

  // The show opens on its first slide; four transitions stand in front of later ones.
  const TSequenceList& List = *Project->Sequences();
  auto* First = dynamic_cast<TBlendableSequence*>(List.Items(0));
  ASSERT_TRUE(First);
  EXPECT_EQ(First->Transition(), nullptr);
  std::vector<std::string> Kinds;
  for (int I = 0; I < List.Count(); ++I)
    if (auto* B = dynamic_cast<TBlendableSequence*>(List.Items(I)); B && B->Transition())
      Kinds.push_back(B->Transition()->ClassName());
  ASSERT_GE(Kinds.size(), 4u);
  Kinds.resize(4);
  EXPECT_EQ(Kinds, (std::vector<std::string>{"TAlphaBlendSequence", "TShutterBlendSequence",
                                             "TTileBlendSequence", "TScrollTransitionSequence"}));

  // Play until the fourth transition has handed over to its slide: every transition shows a
  // frame that is neither its old nor its new picture, and ends on its slide.
  TAnimationControl Control;
  Control.SetProject(Project.get());
  Control.Start();
  int Seen = 0;
  TScreenSaverSequence* Last = nullptr;
  for (int Frame = 0; Frame < 3000 && Seen < 4; ++Frame) {
    StepAt(Control, Now + 20);
    TScreenSaverSequence* Current = Control.CurrentSequence();
    ASSERT_TRUE(Current);
    if (auto* M = dynamic_cast<TMovieSequence*>(Current); M && Control.MovieIsPlaying())
      Movie(Control)->FinishPlayback();
    auto* T = dynamic_cast<TTransitionSequence*>(Current);
    if (T && T != Last && T->Elapsed() * 2 >= T->Duration) {
      Last = T;
      ++Seen;
      ASSERT_TRUE(T->OldPicture() && T->NewPicture()) << T->ClassName();
      const std::vector<uint32_t> Shown = Pixels(*Control.Raster());
      EXPECT_NE(Shown, Pixels(*T->OldPicture())) << T->ClassName();
      EXPECT_NE(Shown, Pixels(*T->NewPicture())) << T->ClassName();
    }
  }
  EXPECT_EQ(Seen, 4);
  // The last one hands over to its slide, which then shows its own page.
  for (int Frame = 0; Frame < 200 && dynamic_cast<TTransitionSequence*>(Control.CurrentSequence()); ++Frame)
    StepAt(Control, Now + 20);
  auto* Slide = dynamic_cast<TSlideSequence*>(Control.CurrentSequence());
  ASSERT_TRUE(Slide);
  StepAt(Control, Now + 20);
  EXPECT_EQ(Pixels(*Control.Raster()), Pixels(*Slide->Page()));
}
