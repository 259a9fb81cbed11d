#include "player/ScreenSaverSequences_Transitions.h"

#include <algorithm>
#include <climits>
#include <cstddef>

#include "persistence/BasicUtility.h"
#include "player/ScreenSaverAnimator.h"

namespace {

// A word of one of the unit's tables; empty for an ordinal the table lacks.
template <size_t N>
const char* TextOf(const char* const (&Table)[N], unsigned Index) {
  return Index < N ? Table[Index] : "";
}

bool IsHorizontal(TEffectDirection D) { return D == edLeftToRight || D == edRightToLeft; }

// Moves an index of the line walk on; off the ends it starts again at the first (mode 0) or the
// last (mode 1) index, or turns round (mode 2, ping-pong).
void StepIndex(int32_t& Pos, int32_t& Delta, int32_t Max, int Mode) {
  Pos += Delta;
  if (Pos >= 0 && Pos <= Max) return;
  switch (Mode) {
    case 0:
      Pos = 0;
      Delta = 1;
      break;
    case 1:
      Pos = Max;
      Delta = -1;
      break;
    default:
      if (Pos > Max) {
        Pos = Max;
        Delta = -1;
      } else {
        Pos = 0;
        Delta = 1;
      }
      break;
  }
}

// One step of the spiral along Pos (x for directions 0 and 2, y for 1 and 3); at the end of a
// leg it turns clockwise, and every leg after the first is one cell shorter than the last leg
// along the same axis.
void StepSpiral(int32_t& StepCount, int32_t& Pos, bool& First, int32_t& Dir, int32_t& Len) {
  ++StepCount;
  Pos += (Dir == 0 || Dir == 1) ? 1 : -1;
  if (StepCount >= Len) {
    ++Dir;
    if (!First) --Len;
    First = false;
    StepCount = 0;
    if (Dir == 4) Dir = 0;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TBaseAlphaBlendSequence, TAlphaBlendSequence

RIZ_PUBLISHED(TBaseAlphaBlendSequence) {}

TBaseAlphaBlendSequence::TBaseAlphaBlendSequence() = default;

TBaseAlphaBlendSequence::~TBaseAlphaBlendSequence() = default;

void TBaseAlphaBlendSequence::Prepare() {
  inherited::Prepare();
  FAlphaChannel.reset();
  const TDIBRaster* Screen = FAnimationControl ? FAnimationControl->Raster() : nullptr;
  if (!Screen) return;
  FAlphaChannel = std::make_unique<TAlphaChannel>(Screen->Width, Screen->Height);
  FAlphaChannel->Fill(255);
}

void TBaseAlphaBlendSequence::Unprepare() {
  FOldPicture.reset();
  FAlphaChannel.reset();
  inherited::Unprepare();
}

void TBaseAlphaBlendSequence::GetCaption(std::string& S) { S = SSoftBlendCaption; }

void TBaseAlphaBlendSequence::GetDescription(std::string& S) { S = SSoftBlendDescription; }

void TBaseAlphaBlendSequence::BlendFrame() {
  if (!FAlphaChannel || !FOldPicture || !FNewPicture || !FAnimationControl) return;
  FAlphaChannel->Blend(FOldPicture.get(), FNewPicture, FAnimationControl->Raster());
}

RIZ_PUBLISHED(TAlphaBlendSequence) {}

void TAlphaBlendSequence::Step() {
  inherited::Step();
  if (!FAlphaChannel) return;
  // 64 bits: Elapsed * 255 leaves the Integer range for durations beyond about 2 h 20 min.
  const int64_t A = Duration >= 1 ? 255 - int64_t{Elapsed()} * 255 / Duration : 0;
  FAlphaChannel->Fill(static_cast<uint8_t>(A));
  BlendFrame();
}

// ---------------------------------------------------------------------------------------------
// TBaseTileBlendSequence

RIZ_PUBLISHED(TBaseTileBlendSequence) {}

int32_t TBaseTileBlendSequence::GridColumns() const {
  const int32_t Max = FAlphaChannel ? std::max(FAlphaChannel->Width, 1) : INT32_MAX;
  return ClampToRange(TileCountX, 1, Max);
}

int32_t TBaseTileBlendSequence::GridRows() const {
  const int32_t Max = FAlphaChannel ? std::max(FAlphaChannel->Height, 1) : INT32_MAX;
  return ClampToRange(TileCountY, 1, Max);
}

void TBaseTileBlendSequence::SetCellAlpha(int32_t X, int32_t Y, uint8_t Alpha) {
  if (!FAlphaChannel) return;
  const int64_t Cols = GridColumns(), Rows = GridRows();
  if (X < 0 || Y < 0 || X >= Cols || Y >= Rows) return;
  const int64_t W = FAlphaChannel->Width, H = FAlphaChannel->Height;
  const TRect R = Rect(static_cast<int32_t>(X * W / Cols), static_cast<int32_t>(Y * H / Rows),
                       static_cast<int32_t>((X + 1) * W / Cols - 1),
                       static_cast<int32_t>((Y + 1) * H / Rows - 1));
  FAlphaChannel->FillRect(R, Alpha);
}

void TBaseTileBlendSequence::GetCellProgress(int32_t N, int32_t& Done, uint8_t& Alpha) const {
  Done = Progress(N);
  Alpha = static_cast<uint8_t>(255 - Progress(CheckedMul(N, 255)) % 255);
}

// ---------------------------------------------------------------------------------------------
// TShutterBlendSequence

RIZ_PUBLISHED(TShutterBlendSequence) {
  D.Enumeration("ShutterDirection", TEffectDirectionNames, &TShutterBlendSequence::ShutterDirection);
  D.Integer("ShutterCount", &TShutterBlendSequence::ShutterCount);
}

TShutterBlendSequence::TShutterBlendSequence() { ShutterCount = 12; }

void TShutterBlendSequence::Prepare() {
  inherited::Prepare();
  if (IsHorizontal(ShutterDirection)) {
    TileCountX = ShutterCount;
    TileCountY = 1;
  } else {
    TileCountX = 1;
    TileCountY = ShutterCount;
  }
}

void TShutterBlendSequence::Step() {
  inherited::Step();
  if (!FAlphaChannel) return;
  const bool Columns = IsHorizontal(ShutterDirection);
  const int32_t N = Columns ? GridColumns() : GridRows();
  const bool Forward = ShutterDirection == edLeftToRight || ShutterDirection == edTopToBottom;
  int32_t Done;
  uint8_t Alpha;
  GetCellProgress(N, Done, Alpha);
  for (int32_t I = 0; I <= Done; ++I) {
    const int32_t Strip = Forward ? I : N - I - 1;
    const uint8_t A = I < Done ? 0 : Alpha;
    if (Columns)
      SetCellAlpha(Strip, 0, A);
    else
      SetCellAlpha(0, Strip, A);
  }
  BlendFrame();
}

void TShutterBlendSequence::GetCaption(std::string& S) { S = SShutterCaption; }

void TShutterBlendSequence::GetDescription(std::string& S) { S = SShutterDescription; }

void TShutterBlendSequence::GetParameterText(std::string& S) {
  inherited::GetParameterText(S);
  S += std::string(", ") + TextOf(EffectDirectionTexts, ShutterDirection) + ", Anzahl " +
       IntToStr(ShutterCount);
}

// ---------------------------------------------------------------------------------------------
// TTileBlendSequence

RIZ_PUBLISHED(TTileBlendSequence) {
  D.Integer("TileCountX", &TTileBlendSequence::TileCountX);
  D.Integer("TileCountY", &TTileBlendSequence::TileCountY);
  D.Enumeration("TilingMode", TTilingModeNames, &TTileBlendSequence::TilingMode);
  D.Enumeration("MainDirection", TEffectDirectionNames, &TTileBlendSequence::MainDirection);
  D.Enumeration("TilingDirection", TTilingDirectionNames, &TTileBlendSequence::TilingDirection);
  D.Enumeration("SpiralStart", TSpiralStartNames, &TTileBlendSequence::SpiralStart);
}

TTileBlendSequence::TTileBlendSequence() {
  TileCountX = 8;
  TileCountY = 8;
}

void TTileBlendSequence::GetTileProgress(int32_t& Total, int32_t& Done, uint8_t& Alpha) const {
  Total = CheckedMul(GridColumns(), GridRows());
  GetCellProgress(Total, Done, Alpha);
}

void TTileBlendSequence::Step() {
  inherited::Step();
  if (!FAlphaChannel) return;
  int32_t Total, Done;
  uint8_t Alpha;
  GetTileProgress(Total, Done, Alpha);
  if (TilingMode == tmSpiralToInner)
    WalkSpiral(Done, Alpha);
  else
    WalkLineByLine(Done, Alpha);
  BlendFrame();
}

// Columns advance from the left or the right and each column is walked down, up or alternately
// (horizontal main direction); or rows advance from the top or the bottom and each row is
// walked right, left or alternately (vertical main direction).
void TTileBlendSequence::WalkLineByLine(int32_t Done, uint8_t Alpha) {
  const int32_t Cols = GridColumns(), Rows = GridRows();
  int XMode = 0, YMode = 0;
  switch (MainDirection) {
    case edLeftToRight: XMode = 0; YMode = TilingDirection; break;
    case edRightToLeft: XMode = 1; YMode = TilingDirection; break;
    case edTopToBottom: XMode = TilingDirection; YMode = 0; break;
    case edBottomToTop: XMode = TilingDirection; YMode = 1; break;
  }
  const bool Horizontal = IsHorizontal(MainDirection);
  int32_t X = -1, Y = -1, DX = 0, DY = 0;
  StepIndex(X, DX, Cols - 1, XMode);
  StepIndex(Y, DY, Rows - 1, YMode);
  for (int32_t I = 0; I <= Done;) {
    SetCellAlpha(X, Y, I < Done ? 0 : Alpha);
    ++I;
    if (Horizontal) {
      if (I % Rows == 0) StepIndex(X, DX, Cols - 1, XMode);
      StepIndex(Y, DY, Rows - 1, YMode);
    } else {
      StepIndex(X, DX, Cols - 1, XMode);
      if (I % Cols == 0) StepIndex(Y, DY, Rows - 1, YMode);
    }
  }
}

// Clockwise from the top-left corner toward the centre, mirrored for the other corners.
void TTileBlendSequence::WalkSpiral(int32_t Done, uint8_t Alpha) {
  const int32_t Cols = GridColumns(), Rows = GridRows();
  const bool MirrorX = SpiralStart == ssRightTop || SpiralStart == ssRightBottom;
  const bool MirrorY = SpiralStart == ssLeftBottom || SpiralStart == ssRightBottom;
  int32_t X = 0, Y = 0, StepCount = 0;
  int32_t LenX = Cols - 1, LenY = Rows - 1;
  bool First = true;
  // A single column has no first leg to the right: walking it would step off the grid at once
  // and leave every cell but the first to snap over at the end. Go down the column instead.
  int32_t Dir = Cols == 1 ? 1 : 0;
  for (int32_t I = 0; I <= Done; ++I) {
    SetCellAlpha(MirrorX ? Cols - X - 1 : X, MirrorY ? Rows - Y - 1 : Y, I < Done ? 0 : Alpha);
    if (Dir == 0 || Dir == 2)
      StepSpiral(StepCount, X, First, Dir, LenX);
    else
      StepSpiral(StepCount, Y, First, Dir, LenY);
  }
}

void TTileBlendSequence::GetCaption(std::string& S) { S = STileCaption; }

void TTileBlendSequence::GetDescription(std::string& S) { S = STileDescription; }

void TTileBlendSequence::GetParameterText(std::string& S) {
  inherited::GetParameterText(S);
  S += std::string(", ") + TextOf(TilingModeTexts, TilingMode) + ", Anzahl X " + IntToStr(TileCountX) +
       ", Y " + IntToStr(TileCountY) + ", ";
  if (TilingMode == tmLineByLine) {
    S += std::string("Hauptrichtung ") + TextOf(EffectDirectionTexts, MainDirection) + ", Zeilenrichtung ";
    S += IsHorizontal(MainDirection) ? TextOf(ColumnDirectionTexts, TilingDirection)
                                     : TextOf(RowDirectionTexts, TilingDirection);
  } else if (TilingMode == tmSpiralToInner) {
    S += std::string("Startpunkt ") + TextOf(SpiralStartTexts, SpiralStart);
  }
}

// ---------------------------------------------------------------------------------------------
// TScrollTransitionSequence

RIZ_PUBLISHED(TScrollTransitionSequence) {
  D.Enumeration("Direction", TEffectDirectionNames, &TScrollTransitionSequence::Direction);
}

void TScrollTransitionSequence::Step() {
  inherited::Step();
  if (!FOldPicture || !FNewPicture || !FAnimationControl) return;
  TDIBRaster* Screen = FAnimationControl->Raster();
  FOldPicture->CopyTo(Screen);
  const int32_t W = FNewPicture->Width, H = FNewPicture->Height;
  switch (Direction) {
    case edLeftToRight: FNewPicture->DrawTo(Screen, Progress(W) - W, 0); break;
    case edRightToLeft: FNewPicture->DrawTo(Screen, W - Progress(W), 0); break;
    case edTopToBottom: FNewPicture->DrawTo(Screen, 0, Progress(H) - H); break;
    case edBottomToTop: FNewPicture->DrawTo(Screen, 0, H - Progress(H)); break;
  }
}

void TScrollTransitionSequence::GetCaption(std::string& S) { S = SScrollCaption; }

void TScrollTransitionSequence::GetDescription(std::string& S) { S = SScrollDescription; }

void TScrollTransitionSequence::GetParameterText(std::string& S) {
  inherited::GetParameterText(S);
  S += std::string(", Richtung ") + TextOf(EffectDirectionTexts, Direction);
}
