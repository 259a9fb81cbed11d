#include <vector>

#include "player/ScreenSaverSequences.h"
#include "tools/DemoKinds.h"

namespace demosaver {

namespace {

// The blendable sequences of the show so far, without the first: the show still opens on it.
std::vector<TBlendableSequence*> LaterBlendables(TScreenSaverProject& P) {
  std::vector<TBlendableSequence*> R;
  for (int I = 1; I < P.Sequences()->Count(); ++I)
    if (auto* B = dynamic_cast<TBlendableSequence*>(P.Sequences()->Items(I))) R.push_back(B);
  return R;
}

}  // namespace

std::vector<TSequenceMaker> DemoTransitionMakers() {
  return {
      // A soft blend into the second slide, a shutter into the empty page, tiles in a spiral
      // into the third slide.
      [](TScreenSaverProject& P, const TDemoMedia&) {
        const std::vector<TBlendableSequence*> B = LaterBlendables(P);
        if (B.size() > 0) {
          TAlphaBlendSequence Soft;
          Soft.Duration = 1500;
          B[0]->SetTransition(&Soft);
        }
        if (B.size() > 1) {
          TShutterBlendSequence Shutter;
          Shutter.Duration = 2000;
          Shutter.ShutterDirection = edTopToBottom;
          Shutter.ShutterCount = 10;
          B[1]->SetTransition(&Shutter);
        }
        if (B.size() > 2) {
          TTileBlendSequence Tiles;
          Tiles.Duration = 2500;
          Tiles.TileCountX = 8;
          Tiles.TileCountY = 6;
          Tiles.TilingMode = tmSpiralToInner;
          Tiles.SpiralStart = ssLeftTop;
          B[2]->SetTransition(&Tiles);
        }
      },
      // The first picture once more, rolled in from the bottom.
      [](TScreenSaverProject& P, const TDemoMedia& M) {
        auto S = TSequence::CreateNamed<TSlideSequence>("Bild 1 gerollt", nullptr);
        S->MediaID = M.Pictures.empty() ? 0 : M.Pictures[0];
        S->Color = 0x303030;
        S->Left = 80;
        S->Top = 60;
        S->Duration = 2000;
        TScrollTransitionSequence Scroll;
        Scroll.Duration = 1500;
        Scroll.Direction = edBottomToTop;
        S->SetTransition(&Scroll);
        P.Sequences()->Add(std::move(S));
      },
  };
}

}  // namespace demosaver
