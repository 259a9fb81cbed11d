#include "tools/DemoKinds.h"

#include <algorithm>

#include "player/ScreenSaverSequences.h"

namespace demosaver {

namespace {

// The project's first embedded font, so the show depends on what it carries.
std::string DemoFontName(const TScreenSaverProject& P) {
  const TEmbeddedFontManager* Fonts = P.FontManager();
  return Fonts && Fonts->Count() > 0 ? Fonts->Fonts(0)->Name : std::string("Arial");
}

// The flight area of a flying text as it will be at play: the screen in its middle, widened by
// the text's extent (at its largest) on every side.
struct TFlightArea {
  TPoint Size;
  TPoint Offset;  // where the screen's top-left lies in the area
  TPoint Text;    // the text's extent
};

TFlightArea FlightArea(const TFlyingTextSequence& S, const TScreenSaverProject& P) {
  const int32_t RW = P.RizuderInfo()->ResolutionWidth();
  const int32_t RH = P.RizuderInfo()->ResolutionHeight();
  TFlightArea A;
  A.Text = S.ScaleFXPercent > 100 ? S.MeasureScaledText(S.ScaleFXPercent) : S.MeasurePlainText();
  A.Text.X = std::clamp(A.Text.X, 0, 2 * RW);
  A.Text.Y = std::clamp(A.Text.Y, 0, 2 * RH);
  A.Size = Point(std::clamp(2 * A.Text.X + RW, 1, 2 * RW), std::clamp(2 * A.Text.Y + RH, 1, 2 * RH));
  A.Offset = Point((A.Size.X - RW) / 2, (A.Size.Y - RH) / 2);
  return A;
}

}  // namespace

std::vector<TSequenceMaker> DemoTextMakers() {
  return {
      // A title standing in the middle of the screen, fading in over the picture.
      [](TScreenSaverProject& P, const TDemoMedia&) {
        auto S = TSequence::CreateNamed<TFlyingTextSequence>("Titel", nullptr);
        S->Text = "Rizuder";
        S->Font().Name = DemoFontName(P);
        S->Font().SetSize(48);
        S->Font().Style = FontStyleBit(fsBold);
        S->Color = 0x00FFFF;  // yellow
        S->FadeIn = true;
        S->Duration = 2500;
        const TFlightArea A = FlightArea(*S, P);
        const int32_t X = A.Offset.X + (P.RizuderInfo()->ResolutionWidth() - A.Text.X) / 2;
        const int32_t Y = A.Offset.Y + (P.RizuderInfo()->ResolutionHeight() - A.Text.Y) / 2;
        S->SetStartX(X);
        S->SetStartY(Y);
        S->SetEndX(X);
        S->SetEndY(Y);
        P.Sequences()->Add(std::move(S));
      },
      // A ticker through a band near the bottom, its two lines drawn as one.
      [](TScreenSaverProject& P, const TDemoMedia&) {
        auto S = TSequence::CreateNamed<TScrollTextSequence>("Laufschrift", nullptr);
        S->Text = "+++ Logos, Lauftexte und fliegende Texte\r\nin eingebetteter Schrift +++";
        S->Font().Name = DemoFontName(P);
        S->Font().SetSize(24);
        S->Color = 0xFFFFFF;
        S->Transparency = 20;
        S->Style = stsCharByCharHorizontal;
        S->Position = P.RizuderInfo()->ResolutionHeight() - 80;
        S->Duration = 4000;
        P.Sequences()->Add(std::move(S));
      },
      // Two centred lines on an S-shaped path from the flight area's upper left corner to its
      // lower right one, swelling to twice their size and back.
      [](TScreenSaverProject& P, const TDemoMedia&) {
        auto S = TSequence::CreateNamed<TFlyingTextSequence>("Flugtext", nullptr);
        S->Text = "Fliegender\r\nText";
        S->Font().Name = DemoFontName(P);
        S->Font().SetSize(28);
        S->Color = 0xFF8000;  // light blue
        S->Alignment = haCenter;
        S->ScaleFXPercent = 200;
        S->ScaleFXMode = ftsmPingPong;
        S->Duration = 3000;
        const TPoint Area = FlightArea(*S, P).Size;
        TBSpline Path;
        Path.AddPoint(Point(0, 0));
        Path.AddPoint(Point(Area.X * 3 / 4, Area.Y / 8));
        Path.AddPoint(Point(Area.X / 4, Area.Y * 7 / 8));
        Path.AddPoint(Point(Area.X, Area.Y));
        S->SetFlightPath(&Path);
        P.Sequences()->Add(std::move(S));
      },
  };
}

}  // namespace demosaver
