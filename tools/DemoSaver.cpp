#include "tools/DemoSaver.h"
#include "tools/DemoKinds.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPolygon>
#include <QString>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "persistence/ApplicationData.h"
#include "persistence/FilesTool.h"
#include "persistence/PropertyBags.h"
#include "persistence/WindowsTool.h"
#include "platform/Fonts.h"
#include "player/ScreenSaverSequences.h"
#include "tools/MediaFixtures.h"

namespace demosaver {

namespace {

int32_t PictureId(const TDemoMedia& M, size_t Index) {
  return Index < M.Pictures.size() ? M.Pictures[Index] : 0;
}

// A slide of picture Index on a page of Color ($00BBGGRR) with the picture's top-left at (X, Y).
std::unique_ptr<TSlideSequence> MakeSlide(const TDemoMedia& M, size_t Index, TColor Color, int X,
                                          int Y, int32_t Duration) {
  auto S = TSequence::CreateNamed<TSlideSequence>("Bild " + std::to_string(Index + 1), nullptr);
  S->MediaID = PictureId(M, Index);
  S->Color = Color;
  S->Left = X;
  S->Top = Y;
  S->Duration = Duration;
  return S;
}

// The tone looping on the music channel, so that it runs on across sequences.
void LoopMusic(TScreenSaverSequence& S, const TDemoMedia& M) {
  S.MusicMediaID = M.Sound;
  S.MusicPlayMode = spmLoop;
}

}  // namespace

namespace {
std::vector<TSequenceMaker> BasicSequences() {
  return {
      [](TScreenSaverProject& P, const TDemoMedia& M) {
        auto S = MakeSlide(M, 0, 0x663300, 80, 60, 3000);
        LoopMusic(*S, M);
        P.Sequences()->Add(std::move(S));
      },
      [](TScreenSaverProject& P, const TDemoMedia& M) {
        auto S = MakeSlide(M, 1, 0x202080, 0, 0, 3000);
        LoopMusic(*S, M);
        S->WebLinkTitle = "Rizuder im Netz";
        S->WebLinkAddress = "https://example.org/rizuder";
        P.Sequences()->Add(std::move(S));
      },
      [](TScreenSaverProject& P, const TDemoMedia&) {
        auto S = TSequence::CreateNamed<TEmptyPageSequence>(SEmptyPageName, nullptr);
        S->Color = 0x408000;
        S->Duration = 2000;
        P.Sequences()->Add(std::move(S));
      },
      [](TScreenSaverProject& P, const TDemoMedia&) {
        auto S = TSequence::CreateNamed<TPauseSequence>(SPauseName, nullptr);
        S->Duration = 2000;
        P.Sequences()->Add(std::move(S));
      },
      [](TScreenSaverProject& P, const TDemoMedia& M) {
        auto S = MakeSlide(M, 2, 0x000000, 160, 120, 3000);
        S->SoundMediaID = M.Sound;
        S->SoundPlayMode = spmOnce;
        P.Sequences()->Add(std::move(S));
      },
      MovieSequence(320, 240, mdsNormal),
  };
}
}  // namespace

TSequenceMaker MovieSequence(int32_t Left, int32_t Top, TMovieDisplaySize Size) {
  return [Left, Top, Size](TScreenSaverProject& P, const TDemoMedia& M) {
    if (M.Movie == 0) return;
    auto S = TSequence::CreateNamed<TMovieSequence>("Film", nullptr);
    S->MediaID = M.Movie;
    S->Left = Left;
    S->Top = Top;
    S->MovieDisplaySize = Size;
    P.Sequences()->Add(std::move(S));
  };
}

const std::vector<TSequenceMaker>& DemoSequences() {
  // Short sequences, so that one run of the demo shows every kind.
  static const std::vector<TSequenceMaker> Show = [] {
    std::vector<TSequenceMaker> All = BasicSequences();
    for (auto Kind : {DemoTransitionMakers, DemoLogoMakers, DemoTextMakers, DemoWaveMakers})
      for (TSequenceMaker& M : Kind()) All.push_back(std::move(M));
    return All;
  }();
  return Show;
}

std::string DefaultDemoFont() {
  for (const char* Family : {"DejaVu Sans", "Liberation Sans"}) {
    std::vector<uint8_t> Data;
    if (plat::GetFontFileData(Family, Data)) return Family;
  }
  return {};
}

std::string DemoPictureJpeg(int Index, int Width, int Height) {
  QImage Img(Width, Height, QImage::Format_RGB32);
  const QColor Back = QColor::fromHsv((Index * 97) % 360, 160, 230);
  const QColor Front = QColor::fromHsv((Index * 97 + 180) % 360, 255, 120);
  Img.fill(Back);
  {
    QPainter P(&Img);
    P.setRenderHint(QPainter::Antialiasing);
    P.setPen(Qt::NoPen);
    P.setBrush(Front);
    const int S = std::min(Width, Height) / 2;
    const int X = Width / 2 - S / 2, Y = Height / 2 - S / 2;
    switch (Index % 3) {
      case 0: P.drawEllipse(X, Y, S, S); break;
      case 1: P.drawRect(X, Y, S, S); break;
      default: P.drawPolygon(QPolygon({QPoint(X + S / 2, Y), QPoint(X + S, Y + S), QPoint(X, Y + S)})); break;
    }
    QFont F("DejaVu Sans");
    F.setPixelSize(std::max(8, S / 2));
    F.setBold(true);
    P.setFont(F);
    P.setPen(Qt::white);
    P.drawText(QRect(0, 0, Width, Height), Qt::AlignCenter, QString::number(Index + 1));
  }
  QByteArray Bytes;
  QBuffer Buf(&Bytes);
  Buf.open(QIODevice::WriteOnly);
  QImageWriter Writer(&Buf, "jpg");
  Writer.setQuality(85);
  if (!Writer.write(Img))
    throw Exception("DemoPictureJpeg : " + Writer.errorString().toStdString());
  return Bytes.toStdString();
}

uint8_t HugePatternByte(int64_t Offset) {
  // Every 4-byte word holds its own index, so a chunk out of place shows.
  const auto Word = static_cast<uint32_t>(Offset / 4);
  return static_cast<uint8_t>(Word >> (8 * (Offset % 4)));
}

namespace {

std::string WorkDirOf(const TDemoOptions& Options) {
  return Options.WorkDir.empty() ? GetTempDir() : IncludeTrailingPathDelimiter(Options.WorkDir);
}

// A new file in Dir holding Bytes; the medium that gets its name owns it.
std::string NewSourceFile(const std::string& Dir, const std::string& Ext) {
  std::string Name;
  MakeUniqueFileName(Dir, "DEMO_SRC_", Ext, Name);
  TFileStream Reserve(Name, fmCreate);
  return Name;
}

std::unique_ptr<TMedia> NewMedium(int32_t Id, TMediaType Type, const std::string& Dir,
                                  const std::string& Ext, const std::string& Original) {
  auto M = std::make_unique<TMedia>();
  M->MediaID = Id;
  M->MediaType = Type;
  M->Extension = Ext;
  M->OriginalFileName = Original;
  M->FileDate = Now();
  M->FileName = NewSourceFile(Dir, Ext);
  return M;
}

void FillMedium(TMedia& M, const std::string& Bytes) {
  if (!mediafixtures::WriteFile(M.FileName, Bytes)) throw EWriteError(SWriteError);
  M.FileSize = RangeChecked<int32_t>(Bytes.size());
}

void FillHugeMedium(TMedia& M, int64_t Size) {
  TFileStream F(M.FileName, fmCreate);
  std::vector<uint8_t> Chunk(1 << 20);
  for (int64_t Done = 0; Done < Size;) {
    const auto N = static_cast<int32_t>(std::min<int64_t>(Size - Done, static_cast<int64_t>(Chunk.size())));
    for (int32_t I = 0; I < N; ++I) Chunk[static_cast<size_t>(I)] = HugePatternByte(Done + I);
    F.WriteBuffer(Chunk.data(), N);
    Done += N;
  }
  M.FileSize = Size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(Size);
}

}  // namespace

std::unique_ptr<TScreenSaverInfo> MakeDemoInfo(const TDemoOptions& Options) {
  auto Info = std::make_unique<TScreenSaverInfo>();
  Info->ProductName = "Rizuder Demo-Baukasten";
  Info->ProductVersion = "1.0.0";
  Info->SerialNo = "DEMO-0001";
  Info->RizuderName = Options.RizuderName;
  Info->Resolution = Options.Resolution;
  Info->CreatorLicense =
      "Lizenzvereinbarung für diesen Bildschirmschoner\r\n\r\n"
      "Dieser Bildschirmschoner darf für private Zwecke frei verwendet und unverändert "
      "weitergegeben werden. Die Bilder, Klänge und Schriften bleiben Eigentum ihrer Urheber.";
  TPersonalInfo Creator;
  Creator.FirstName = "Erika";
  Creator.LastName = "Mustermann";
  Creator.Street = "Heidestraße 17";
  Creator.ZIP = "51147";
  Creator.City = "Köln";
  Creator.Country = "Deutschland";
  Creator.Phone = "+49 221 555 0123";
  Creator.EMail = "erika.mustermann@example.org";
  Info->SetCreatorInfo(&Creator);
  return Info;
}

std::unique_ptr<TScreenSaverProject> MakeDemoProject(const TDemoOptions& Options, TDemoMedia* Media) {
  RegisterModelClasses();
  RegisterScreenSaverSequencesClasses();
  auto Project = std::make_unique<TScreenSaverProject>();
  const std::unique_ptr<TScreenSaverInfo> Info = MakeDemoInfo(Options);
  Project->SetRizuderInfo(Info.get());

  const std::string Dir = WorkDirOf(Options);
  TMediaManager& Manager = *Project->MediaManager();
  TDemoMedia Ids;
  int32_t NextId = 1;
  auto Add = [&](std::unique_ptr<TMedia> M) {
    M->SetManager(&Manager);
    const int32_t Id = M->MediaID;
    Manager.MediaList().Add(std::move(M));
    return Id;
  };
  for (int I = 0; I < Options.Pictures; ++I) {
    auto M = NewMedium(NextId++, mtImage, Dir, "jpg", "C:\\Eigene Bilder\\Demo\\bild" + std::to_string(I + 1) + ".jpg");
    FillMedium(*M, DemoPictureJpeg(I, Options.PictureWidth, Options.PictureHeight));
    Ids.Pictures.push_back(Add(std::move(M)));
  }
  if (Options.Sound) {
    auto M = NewMedium(NextId++, mtMusicSound, Dir, "wav", "C:\\Eigene Musik\\ton.wav");
    FillMedium(*M, mediafixtures::SineWav(Options.SoundMs, 440));
    Ids.Sound = Add(std::move(M));
  }
  if (Options.Movie) {
    auto M = NewMedium(NextId++, mtMovie, Dir, "avi", "C:\\Eigene Videos\\film.avi");
    FillMedium(*M, mediafixtures::MjpegAvi(160, 120, Options.MovieFrames, 10));
    Ids.Movie = Add(std::move(M));
  }
  if (Options.HugeMediumBytes > 0) {
    auto M = NewMedium(NextId++, mtMovie, Dir, "dat", "C:\\Grosses\\riesig.dat");
    FillHugeMedium(*M, Options.HugeMediumBytes);
    Ids.Huge = Add(std::move(M));
  }
  Manager.LastMediaId = NextId - 1;

  if (!Options.NoFonts) {
    std::vector<std::string> Families = Options.Fonts;
    if (Families.empty())
      if (std::string F = DefaultDemoFont(); !F.empty()) Families.push_back(F);
    for (const std::string& Family : Families) {
      auto Font = std::make_unique<TEmbeddedFont>();
      Font->Name = Family;
      Font->Manager = Project->FontManager();
      Project->FontManager()->FontList().Add(std::move(Font));
    }
  }

  if (Options.WithDemoSequences)
    for (const TSequenceMaker& Make : DemoSequences()) Make(*Project, Ids);
  for (const TSequenceMaker& Make : Options.ExtraSequences) Make(*Project, Ids);

  if (Media) *Media = Ids;
  return Project;
}

void AppendScreenSaver(const std::string& File, TScreenSaverInfo& Info, TScreenSaverProject& Project) {
  TApplicationDataStream Stream(File, adaReadWrite);
  Stream.SetSize(int64_t{0});
  TStreamPropertyBag Bag(Stream);
  Bag.WriteObject(&Info);
  Bag.WriteObject(&Project);
}

void MakeScreenSaverFile(const std::string& Host, const std::string& Out, const TDemoOptions& Options) {
  namespace fs = std::filesystem;
  const std::string Part = Out + ".part";
  try {
    fs::copy_file(Host, Part, fs::copy_options::overwrite_existing);
    // The leading record is the project's own description, so both carry the same moment.
    const std::unique_ptr<TScreenSaverProject> Project = MakeDemoProject(Options);
    AppendScreenSaver(Part, *Project->RizuderInfo(), *Project);
    if (::chmod(Part.c_str(), 0755) != 0) throw EOSError("chmod " + Part + " : " + std::strerror(errno), errno);
    fs::rename(Part, Out);
  } catch (...) {
    std::error_code Ec;
    fs::remove(Part, Ec);
    throw;
  }
}

}  // namespace demosaver
