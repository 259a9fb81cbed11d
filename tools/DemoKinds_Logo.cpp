#include "tools/DemoKinds.h"

#include "player/ScreenSaverSequences.h"

namespace demosaver {

std::vector<TSequenceMaker> DemoLogoMakers() {
  return {
      // The second picture as a logo, partly transparent, on an arc over whatever the screen
      // showed before: in from the left, up through the middle of the screen, out at the right.
      [](TScreenSaverProject& P, const TDemoMedia& M) {
        if (M.Pictures.size() < 2) return;
        auto S = TSequence::CreateNamed<TLogoSequence>("Logo", nullptr);
        S->MediaID = M.Pictures[1];
        S->Duration = 3000;
        S->Transparency = 30;
        int32_t LW = 640, LH = 480;
        if (TMedia* Medium = P.MediaManager()->MediaById(S->MediaID))
          if (TPicture* Picture = Medium->GetPicture(); Picture && !Picture->Empty()) {
            LW = Picture->Width();
            LH = Picture->Height();
          }
        // The path gives the logo's bottom-right corner; halfway along this quadratic curve
        // the logo stands centred on the screen.
        const int32_t W = P.RizuderInfo()->ResolutionWidth();
        const int32_t H = P.RizuderInfo()->ResolutionHeight();
        const int32_t MidX = (W + LW) / 2;
        const int32_t MidY = (H + LH) / 2;
        constexpr int32_t Lift = 200;
        TBSpline Path;
        Path.AddPoint(Point(0, MidY + Lift));
        Path.AddPoint(Point(MidX, MidY - Lift));
        Path.AddPoint(Point(W + LW, MidY + Lift));
        S->SetFlightPath(&Path);
        P.Sequences()->Add(std::move(S));
      },
  };
}

}  // namespace demosaver
