// The particle-wave sequence in the animation control: the world of a run, the working copy
// fitted to the control's raster at the first frame, the translation map of each style, the
// order of map, smoothing, fade and particles, phase continuation, the stored record, and the
// demo's wave read back from a demo saver and played.

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/ScreenSaverFiles.h"
#include "persistence/CPUUtility.h"
#include "persistence/PropertyBags.h"
#include "platform/Platform.h"
#include "tests/player/PlayerTestSupport.h"
#include "tests/support/ProgramFPU.h"
#include "tests/support/TestEnv.h"

using namespace playertest;

namespace {

using TSetup = std::function<void(TPSSSWaveSequence&)>;

// A wave sequence set up by Setup, then an empty page, so that the loop comes back to it.
demosaver::TSequenceMaker Wave(TSetup Setup, int32_t Duration = 1000) {
  return [=](TScreenSaverProject& P, const demosaver::TDemoMedia&) {
    auto S = std::make_unique<TPSSSWaveSequence>();
    S->Duration = Duration;
    if (Setup) Setup(*S);
    P.Sequences()->Add(std::move(S));
  };
}

// A figure of Count particles, all at the origin (every amplitude 0), in Color.
void Dot(TWaveConfig& C, int32_t Count = 1, float Color = 255) {
  C.ParticleCount = Count;
  C.Waves = TWaveTable{};
  C.BaseRed = C.BaseGreen = C.BaseBlue = Color;
}

// A figure far outside every raster: it draws nothing.
void Away(TWaveConfig& C) {
  C.ParticleCount = 4;
  C.Waves.At(0, waX).AmpOsc.Offset = 1e6f;
  C.Waves.At(0, waY).AmpOsc.Offset = 1e6f;
}

uint32_t PixelAt(const TDIBRaster& R, int X, int Y) { return Rgb(R.Bits[size_t(Y) * size_t(R.Width) + size_t(X)]); }

class Waves : public PlayerTest {
protected:
  void SetUp() override {
    PlayerTest::SetUp();
    RegisterParticleSystemsCfgClasses();
    OverrideProcessorFeatures(false, false);  // the plain smoothing, exactly
  }
  void TearDown() override { ClearProcessorOverride(); }

  // A control of ControlW x ControlH playing the wave of Setup (then an empty page) at
  // Resolution; the wave is started but not yet stepped.
  void Play(TSetup Setup, TScreenResolution Resolution = sr640x480, int ControlW = 640,
            int ControlH = 480, int32_t Duration = 1000) {
    Control.reset();
    Project.reset();
    Project = MakeProject({Wave(std::move(Setup), Duration), EmptyPage(clBlack, 100)}, Resolution);
    Control = std::make_unique<TAnimationControl>();
    Control->resize(ControlW, ControlH);
    Control->SetProject(Project.get());
    Control->Start();
    Clone = dynamic_cast<TPSSSWaveSequence*>(Control->CurrentSequence());
    ASSERT_TRUE(Clone);
  }
  // Steps until the wave sequence is on again (after the page).
  void PlayRound() {
    StepAt(*Control, Now + 2000);  // the wave ends
    StepAt(*Control, Now + 20);
    StepAt(*Control, Now + 200);   // the page ends, the wave starts again
    ASSERT_EQ(Control->CurrentSequence(), Clone);
  }
  TPSSSWaveSequence* Stored() const {
    return static_cast<TPSSSWaveSequence*>(Project->Sequences()->Items(0));
  }

  testsupport::ProgramFPU Program;
  std::unique_ptr<TScreenSaverProject> Project;
  std::unique_ptr<TAnimationControl> Control;
  TPSSSWaveSequence* Clone = nullptr;
};

// ---------------------------------------------------------------------------------------------
// A run

TEST_F(Waves, PrepareMakesTheWorldOfTheRaster) {
  Play(nullptr);
  ASSERT_TRUE(Clone->World());
  EXPECT_EQ(Clone->World()->Center.X, 320);
  EXPECT_EQ(Clone->World()->Center.Y, 240);
  EXPECT_EQ(Clone->World()->Focal, -560.0f);
  EXPECT_EQ(Clone->World()->CameraPos.z, 0.0f);
  EXPECT_EQ(Clone->World()->Count(), 1);
  EXPECT_EQ(Clone->World()->Objects(0), Clone->Waves());
  ASSERT_TRUE(Clone->Map());
  EXPECT_EQ(Clone->Map()->EntryCount(), 640u * 480u);
  EXPECT_TRUE(Clone->FirstStep());
  // The clone already has its particles; the stored object never played.
  EXPECT_EQ(Clone->Waves()->Count, 200);
  EXPECT_EQ(Stored()->Waves()->Count, 0);
  // The end of the run frees the world and the map; the figure stays.
  StepAt(*Control, Now + 2000);
  StepAt(*Control, Now + 20);
  EXPECT_NE(Control->CurrentSequence(), Clone);
  EXPECT_EQ(Clone->World(), nullptr);
  EXPECT_EQ(Clone->Map(), nullptr);
  EXPECT_EQ(Clone->Waves()->Count, 200);
}

TEST_F(Waves, FocalDistanceOfOtherResolutions) {
  Play(nullptr, sr1024x768, 1024, 768);
  EXPECT_EQ(Clone->World()->Focal, -896.0f);
  EXPECT_EQ(Clone->World()->Center.X, 512);
  EXPECT_EQ(Clone->World()->Center.Y, 384);
}

TEST_F(Waves, FirstFrameFitsAWorkingCopyToTheRaster) {
  Play([](TPSSSWaveSequence& S) {
    TWaveConfig& C = *S.WaveCfg();
    C.Waves.At(0, waZ).AmpOsc = {100, 20, 0};
    C.Waves.At(2, waX).AmpOsc = {-8, 4, 3};
  }, sr1024x768, 1024, 768);
  StepAt(*Control, Now + 20);
  const TWaveConfig& Work = *Clone->WorkCfg();
  EXPECT_EQ(Work.Width, 1024);
  EXPECT_EQ(Work.Height, 768);
  EXPECT_EQ(Work.Waves.At(0, waX).AmpOsc.Offset, 512.0f);  // x 4
  EXPECT_EQ(Work.Waves.At(0, waY).AmpOsc.Offset, 384.0f);  // y 3
  EXPECT_EQ(Work.Waves.At(0, waZ).AmpOsc.Offset, 350.0f);  // z 3.5
  EXPECT_EQ(Work.Waves.At(0, waZ).AmpOsc.Amp, 70.0f);
  EXPECT_EQ(Work.Waves.At(2, waX).AmpOsc.Offset, -32.0f);
  EXPECT_EQ(Work.Waves.At(2, waX).AmpOsc.Freq, 3.0f);
  EXPECT_FALSE(Clone->FirstStep());
  // The stored settings stay, so the next run scales from them again.
  EXPECT_EQ(Clone->WaveCfg()->Width, 256);
  EXPECT_EQ(Clone->WaveCfg()->Waves.At(0, waX).AmpOsc.Offset, 128.0f);
  // The figure: radius 512 across, 384 up and down, around the centre of the raster.
  const TParticleWaves& F = *Clone->Waves();
  EXPECT_NEAR(F.Vertices[0].x, 512, 1e-3);
  EXPECT_NEAR(F.Vertices[50].y, 384, 1e-2);
  PlayRound();
  StepAt(*Control, Now + 20);
  EXPECT_EQ(Clone->WorkCfg()->Waves.At(0, waX).AmpOsc.Offset, 512.0f);
}

TEST_F(Waves, FittingTakesTheRastersSizeWhateverTheWindow) {
  // A preview-sized window showing a 640 x 480 raster: the figure keeps its place in the
  // picture, which the control stretches over the window.
  Play(nullptr, sr640x480, 160, 120);
  StepAt(*Control, Now + 20);
  EXPECT_EQ(Clone->WorkCfg()->Width, 640);
  EXPECT_EQ(Clone->WorkCfg()->Height, 480);
  EXPECT_EQ(Clone->WorkCfg()->Waves.At(0, waX).AmpOsc.Offset, 320.0f);
  EXPECT_EQ(Clone->WorkCfg()->Waves.At(0, waY).AmpOsc.Offset, 240.0f);
  // A window larger than the raster (the display kept its own resolution) changes nothing.
  Play(nullptr, sr640x480, 1024, 768);
  StepAt(*Control, Now + 20);
  EXPECT_EQ(Clone->WorkCfg()->Width, 640);
  EXPECT_EQ(Clone->WorkCfg()->Waves.At(0, waX).AmpOsc.Offset, 320.0f);
  EXPECT_EQ(Clone->Map()->EntryCount(), 640u * 480u);
}

// ---------------------------------------------------------------------------------------------
// Translation maps

TEST_F(Waves, WavedMapTakesItsAmplitudesInPercentOfTheRaster) {
  Play([](TPSSSWaveSequence& S) {
    TWaveConfig& C = *S.WaveCfg();
    C.TransMapStyle = tmsWaved;
    C.SinMagicParams[0] = 10;  // 10 % of 640: 64 pixels
    C.SinMagicParams[4] = 1;   // one period across the width
    C.SinMagicParams[8] = 5;   // 5 % of 480: 24 pixels
    C.SinMagicParams[12] = 2;
  });
  StepAt(*Control, Now + 20);
  EXPECT_EQ(Clone->WorkCfg()->SinMagicParams[0], 64.0f);
  EXPECT_EQ(Clone->WorkCfg()->SinMagicParams[8], 24.0f);
  EXPECT_EQ(Clone->WaveCfg()->SinMagicParams[0], 10.0f);
  // Column 160 (a quarter period) is shifted down by about 64 rows; column 0 not at all.
  EXPECT_EQ(Clone->Map()->Entry(0 * 640 + 0), 0);
  const int32_t E = Clone->Map()->Entry(160);
  EXPECT_GE(E / 4 / 640, 63);
  EXPECT_LE(E / 4 / 640, 64);
}

TEST_F(Waves, ZoomMapsTurnPercentIntoTheirCentre) {
  for (const TTransMapStyle Style : {tmsWavedZoom, tmsWavedZoomOverlay, tmsWavedZoomCombined}) {
    Play([Style](TPSSSWaveSequence& S) {
      TWaveConfig& C = *S.WaveCfg();
      C.TransMapStyle = Style;
      C.ZoomCenterX = 50;
      C.ZoomCenterY = 50;
      // Zoom tables 0.5 everywhere (frequencies 0): twofold magnification about the centre.
      TSinMagicParams& Z = Style == tmsWavedZoomCombined ? C.SinMagicParams2 : C.SinMagicParams;
      Z[0] = 0.5f;
      Z[8] = 0.5f;
    });
    StepAt(*Control, Now + 20);
    // Destination (0, 0) fetches the point halfway to the centre (320, 240), unscaled.
    EXPECT_EQ(Clone->Map()->Entry(0), (120 * 640 + 160) * 4) << int(Style);
    EXPECT_EQ(Clone->Map()->Entry(479 * 640 + 639), (359 * 640 + 479) * 4) << int(Style);
    EXPECT_EQ(Clone->WorkCfg()->SinMagicParams[0], Style == tmsWavedZoomCombined ? 0.0f : 0.5f);
  }
}

TEST_F(Waves, ZoomCentreOverflowRaises) {
  Play([](TPSSSWaveSequence& S) {
    S.WaveCfg()->TransMapStyle = tmsWavedZoom;
    S.WaveCfg()->ZoomCenterX = INT32_MAX / 100;
  });
  EXPECT_THROW(StepAt(*Control, Now + 20), EIntOverflow);
}

// ---------------------------------------------------------------------------------------------
// Filters and fade

TEST_F(Waves, MotionBlurFadesTheLastPictureByItsLowByte) {
  for (const int32_t Blur : {260, 4, 0, -252}) {
    Play([Blur](TPSSSWaveSequence& S) {
      Away(*S.WaveCfg());
      S.WaveCfg()->MotionBlur = Blur;
    });
    Control->Raster()->Clear(0x808080);
    StepAt(*Control, Now + 20);
    // Shift 4 keeps 15/16: 128 - 8 = 120; shift 0 blackens.
    const uint32_t Expected = Blur == 0 ? 0 : 0x787878;
    EXPECT_EQ(PixelAt(*Control->Raster(), 0, 0), Expected) << Blur;
    EXPECT_EQ(PixelAt(*Control->Raster(), 639, 479), Expected) << Blur;
  }
}

TEST_F(Waves, ParticlesAfterTheMapStaySharpAndBeforeItAreSmoothed) {
  // One white particle on the centre; the map is the identity; fade shift 8 takes 1 off.
  Play([](TPSSSWaveSequence& S) {
    Dot(*S.WaveCfg());
    S.WaveCfg()->TransMapFilter = true;
    S.WaveCfg()->TransMapMode = tmmApplyBefore;
    S.WaveCfg()->MotionBlur = 8;
  });
  Control->Raster()->Clear(0x808080);
  StepAt(*Control, Now + 20);
  const TDIBRaster& R = *Control->Raster();
  EXPECT_EQ(PixelAt(R, 320, 240), 0xFFFFFFu);
  EXPECT_EQ(PixelAt(R, 100, 100), 0x7F7F7Fu);  // smoothed grey, faded
  EXPECT_EQ(PixelAt(R, 100, 0), 0u);           // the smoother clears the first row
  EXPECT_EQ(PixelAt(R, 100, 479), 0u);         // and the last

  Play([](TPSSSWaveSequence& S) {
    Dot(*S.WaveCfg());
    S.WaveCfg()->TransMapFilter = true;
    S.WaveCfg()->TransMapMode = tmmApplyAfter;
    S.WaveCfg()->MotionBlur = 8;
  });
  Control->Raster()->Clear(0);
  StepAt(*Control, Now + 20);
  const TDIBRaster& A = *Control->Raster();
  // Drawn first, then smoothed: the centre takes its black neighbours' average, each
  // neighbour a quarter of the white, then the fade.
  EXPECT_EQ(PixelAt(A, 320, 240), 0u);
  EXPECT_EQ(PixelAt(A, 321, 240), 0x3E3E3Eu);
  EXPECT_EQ(PixelAt(A, 320, 239), 0x3E3E3Eu);
  EXPECT_EQ(PixelAt(A, 322, 240), 0u);
}

TEST_F(Waves, SmoothingWithoutTheMapSmoothsTheLastFrameIntoTheOtherBuffer) {
  Play([](TPSSSWaveSequence& S) {
    Away(*S.WaveCfg());
    S.WaveCfg()->SmoothFilter = true;
    S.WaveCfg()->MotionBlur = 8;
  });
  TDIBRaster* Front = Control->Raster();
  TDIBRaster* Back = Control->BackRaster();
  Front->Clear(0x808080);
  Front->Bits[100 * 640 + 100] = 0xFFFFFF;
  StepAt(*Control, Now + 20);
  // The buffers changed places: the last frame is behind, the smoothed one in front.
  EXPECT_EQ(Control->Raster(), Back);
  EXPECT_EQ(Control->BackRaster(), Front);
  EXPECT_EQ(PixelAt(*Back, 100, 100), 0x7F7F7Fu);
  EXPECT_EQ(PixelAt(*Back, 101, 100), 0x9E9E9Eu);  // (3 * 128 + 255) / 4 = 159, faded
  EXPECT_EQ(PixelAt(*Back, 5, 0), 0u);
  EXPECT_EQ(PixelAt(*Front, 100, 100), 0xFFFFFFu);

  // Without smoothing and map the buffers stay and the picture only fades.
  Play([](TPSSSWaveSequence& S) {
    Away(*S.WaveCfg());
    S.WaveCfg()->MotionBlur = 8;
  });
  Front = Control->Raster();
  Front->Clear(0x808080);
  StepAt(*Control, Now + 20);
  EXPECT_EQ(Control->Raster(), Front);
  EXPECT_EQ(PixelAt(*Front, 5, 0), 0x7F7F7Fu);
}

// ---------------------------------------------------------------------------------------------
// Phase, empty figures, frames

TEST_F(Waves, ContinuedEffectStartsAtZeroThenWhereTheLastRunStopped) {
  Play([](TPSSSWaveSequence& S) {
    S.ContinueFX = true;
    S.WaveCfg()->Pos = 5;
    S.WaveCfg()->Speed = 0.5f;
  });
  StepAt(*Control, Now + 20);
  EXPECT_EQ(Clone->Waves()->Pos, 0.5f);
  StepAt(*Control, Now + 20);
  StepAt(*Control, Now + 20);
  EXPECT_EQ(Clone->SavedPos(), 1.5f);
  EXPECT_EQ(Stored()->SavedPos(), 0.0f);  // the project's own object never played
  PlayRound();
  // The tick that ends the run draws two frames (the last one shows the end state): five in all.
  EXPECT_EQ(Clone->SavedPos(), 2.5f);
  StepAt(*Control, Now + 20);
  EXPECT_EQ(Clone->Waves()->Pos, 3.0f);

  // Without continuation every run starts at the stored phase.
  Play([](TPSSSWaveSequence& S) {
    S.WaveCfg()->Pos = 5;
    S.WaveCfg()->Speed = 0.5f;
  });
  StepAt(*Control, Now + 20);
  EXPECT_EQ(Clone->Waves()->Pos, 5.5f);
  PlayRound();
  StepAt(*Control, Now + 20);
  EXPECT_EQ(Clone->Waves()->Pos, 5.5f);
}

TEST_F(Waves, NoParticlesLeaveTheRasterAloneForTheWholeDuration) {
  Play([](TPSSSWaveSequence& S) { S.WaveCfg()->ParticleCount = 0; }, sr640x480, 640, 480, 500);
  Control->Raster()->Clear(0x123456);
  for (int I = 0; I < 10; ++I) StepAt(*Control, Now + 40);
  EXPECT_EQ(Control->CurrentSequence(), Clone);
  EXPECT_EQ(PixelAt(*Control->Raster(), 320, 240), 0x123456u);
  EXPECT_EQ(PixelAt(*Control->Raster(), 0, 0), 0x123456u);
  EXPECT_TRUE(Clone->FirstStep());  // no run ever started its figure
  StepAt(*Control, Now + 200);
  EXPECT_NE(Control->CurrentSequence(), Clone);
}

TEST_F(Waves, FramesChangeAsTheFigureTurns) {
  Play([](TPSSSWaveSequence& S) {
    TWaveConfig& C = *S.WaveCfg();
    C.BaseRed = C.BaseGreen = 200;
    C.Rot = {3, 5, 0};
    C.Waves.At(1, waZ).AmpOsc = {60, 0, 0};
    C.Waves.At(1, waZ).FreqOsc = {3, 0, 0};
    C.Width = C.Height = 512;  // so the figure fits the raster with room to turn
  });
  std::vector<std::vector<uint32_t>> Frames;
  for (int I = 0; I < 4; ++I) {
    StepAt(*Control, Now + 20);
    const TDIBRaster& R = *Control->Raster();
    Frames.emplace_back(R.Bits, R.Bits + R.PixelCount());
    int Lit = 0;
    for (uint32_t P : Frames.back()) Lit += Rgb(P) == 0xC8C800u;
    EXPECT_GT(Lit, 150) << "frame " << I;
  }
  for (size_t I = 1; I < Frames.size(); ++I) EXPECT_NE(Frames[I], Frames[I - 1]) << I;
  EXPECT_EQ(Clone->Waves()->Rotation.x, 12.0f);
}

// ---------------------------------------------------------------------------------------------
// Stored record

TEST_F(Waves, RecordCarriesTheContinuationFlagAndTheNestedConfiguration) {
  TPSSSWaveSequence A;
  EXPECT_EQ(A.Name, "Neue Sequenz");
  EXPECT_EQ(A.Duration, 8000);
  EXPECT_FALSE(A.ContinueFX);
  A.ContinueFX = true;
  A.Duration = 4321;
  A.WaveCfg()->Name = "Spirale";
  A.WaveCfg()->ParticleCount = 33;
  A.WaveCfg()->Rot = {1, 2, 3};
  A.WaveCfg()->SinMagicParams2[15] = 7.5f;
  TMemoryStream S;
  {
    TStreamPropertyBag Bag(S);
    Bag.WriteObject(&A);
  }
  const std::vector<uint8_t>& Bytes = S.Bytes();
  for (const std::string Name : {"TPSSSWaveSequence", "ContinueFX", "WaveCfg", "TWaveConfig"})
    EXPECT_NE(std::search(Bytes.begin(), Bytes.end(), Name.begin(), Name.end()), Bytes.end()) << Name;

  S.SetPosition(0);
  TReflectivePersistent* Read = nullptr;
  TStreamPropertyBag Bag(S);
  ASSERT_TRUE(Bag.ReadObject(Read));
  std::unique_ptr<TReflectivePersistent> Owned(Read);
  auto* B = dynamic_cast<TPSSSWaveSequence*>(Read);
  ASSERT_TRUE(B);
  EXPECT_TRUE(B->ContinueFX);
  EXPECT_EQ(B->Duration, 4321);
  EXPECT_EQ(B->WaveCfg()->Name, "Spirale");
  EXPECT_EQ(B->WaveCfg()->ParticleCount, 33);
  EXPECT_EQ(B->WaveCfg()->Rot.z, 3.0f);
  EXPECT_EQ(B->WaveCfg()->SinMagicParams2[15], 7.5f);
  // Reading does not apply the configuration; a copy does.
  EXPECT_EQ(B->Waves()->Count, 0);
  std::unique_ptr<TPSSSWaveSequence> C = CloneOf(*B);
  EXPECT_EQ(C->Waves()->Count, 33);
  EXPECT_EQ(C->Waves()->AngularVelocity.y, 2.0f);
  EXPECT_TRUE(C->ContinueFX);
}

TEST_F(Waves, DemoSaverReadsBackAndPlaysItsWave) {
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
  std::unique_ptr<TScreenSaverProject> P;
  LoadScreenSaverInfoAndProject(Info, P);
  ASSERT_TRUE(P);
  EXPECT_TRUE(testsupport::MessageBoxes().empty());

  TPSSSWaveSequence* Stored = nullptr;
  for (int I = 0; I < P->Sequences()->Count(); ++I)
    if (auto* W = dynamic_cast<TPSSSWaveSequence*>(P->Sequences()->Items(I))) Stored = W;
  ASSERT_TRUE(Stored);
  EXPECT_EQ(Stored->Duration, 4000);
  EXPECT_EQ(Stored->WaveCfg()->Name, "Sternenblume");
  EXPECT_EQ(Stored->WaveCfg()->ParticleCount, 720);
  EXPECT_EQ(Stored->WaveCfg()->TransMapStyle, tmsWavedZoom);
  EXPECT_EQ(Stored->WaveCfg()->Waves.At(1, waX).FreqOsc.Offset, 5.0f);

  // Play until the wave is on, then watch a few of its frames.
  TAnimationControl C;
  C.resize(800, 600);
  C.SetProject(P.get());
  C.Start();
  TPSSSWaveSequence* Playing = nullptr;
  for (int Frame = 0; Frame < 5000 && !Playing; ++Frame) {
    StepAt(C, Now + 20);
    if (auto* M = dynamic_cast<TMovieSequence*>(C.CurrentSequence()); M && C.MovieIsPlaying())
      Movie(C)->FinishPlayback();
    Playing = dynamic_cast<TPSSSWaveSequence*>(C.CurrentSequence());
  }
  ASSERT_TRUE(Playing);
  std::vector<uint32_t> Last;
  for (int Frame = 0; Frame < 5; ++Frame) {
    StepAt(C, Now + 20);
    ASSERT_EQ(C.CurrentSequence(), Playing);
    const TDIBRaster& R = *C.Raster();
    std::vector<uint32_t> Shown(R.Bits, R.Bits + R.PixelCount());
    for (uint32_t& V : Shown) V = Rgb(V);
    EXPECT_NE(Shown, Last) << Frame;
    Last = std::move(Shown);
  }
  EXPECT_EQ(Playing->Waves()->Count, 720);
  EXPECT_EQ(Playing->WorkCfg()->Width, 800);
  EXPECT_EQ(Playing->Waves()->RenderMode, rmDrawStars);
  // It runs its four seconds, then the show goes on.
  StepAt(C, Now + 4000);
  StepAt(C, Now + 20);
  EXPECT_NE(C.CurrentSequence(), Playing);
}

}  // namespace
