// makesaver: copies the screen-saver program and appends a demo screen saver to the copy.
//   makesaver [--host PROGRAM] [--name NAME] [--resolution WxH] [--pictures N] [--no-sound]
//             [--movie] [--font FAMILY]... [--no-font] [--huge-mib N] OUT
//   makesaver --installer [--installer-host PROGRAM] [options as above] OUT
//     writes an installer (a copy of Vuverero) that carries such a demo screen saver.

#include <QGuiApplication>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>

#include "model/ScreenSaverModel.h"
#include "platform/SysUtils.h"
#include "tools/DemoInstaller.h"
#include "tools/DemoSaver.h"

namespace {

constexpr const char* UsageText =
    "usage: makesaver [--host PROGRAM] [--name NAME] [--resolution WxH] [--pictures N]\n"
    "                 [--no-sound] [--movie] [--font FAMILY]... [--no-font] [--huge-mib N] OUT\n"
    "       makesaver --installer [--installer-host PROGRAM] [options as above] OUT\n"
    "  PROGRAM defaults to the Rizuder (the installer: Vuverero) of this build tree.\n";

int Usage(const std::string& Why) {
  std::cerr << "makesaver: " << Why << "\n" << UsageText;
  return 2;
}

// The Rizuder beside this program in the build tree.
std::string DefaultHost(const char* Folder = "saver", const char* Program = "Rizuder") {
  std::error_code Ec;
  const std::filesystem::path Self = std::filesystem::read_symlink("/proc/self/exe", Ec);
  if (Ec) return Program;
  return (Self.parent_path().parent_path() / Folder / Program).string();
}

bool ParseCount(const std::string& Text, int& Value) {
  return TryStrToInt(Text, Value) && Value >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  demosaver::TDemoOptions Options;
  std::string Host = DefaultHost();
  std::string InstallerHost = DefaultHost("installer", "Vuverero");
  bool Installer = false;
  std::string Out;
  for (int I = 1; I < argc; ++I) {
    const std::string A = argv[I];
    auto Next = [&](std::string& V) {
      if (I + 1 >= argc) return false;
      V = argv[++I];
      return true;
    };
    std::string V;
    if (A == "--help" || A == "-h") {
      std::cout << UsageText;
      return 0;
    }
    if (A == "--installer") {
      Installer = true;
    } else if (A == "--installer-host") {
      if (!Next(InstallerHost)) return Usage("--installer-host needs a file");
    } else if (A == "--host") {
      if (!Next(Host)) return Usage("--host needs a file");
    } else if (A == "--name") {
      if (!Next(Options.RizuderName)) return Usage("--name needs a name");
    } else if (A == "--resolution") {
      if (!Next(V)) return Usage("--resolution needs a value");
      int Found = -1;
      for (int R = 0; R < static_cast<int>(std::size(ResolutionNames)); ++R)
        if (V == ResolutionNames[R]) Found = R;
      if (Found < 0) return Usage("unknown resolution " + V + " (640x480 ... 1600x1200)");
      Options.Resolution = static_cast<TScreenResolution>(Found);
    } else if (A == "--pictures") {
      if (!Next(V) || !ParseCount(V, Options.Pictures)) return Usage("--pictures needs a count");
    } else if (A == "--no-sound") {
      Options.Sound = false;
    } else if (A == "--movie") {
      Options.Movie = true;
    } else if (A == "--font") {
      if (!Next(V)) return Usage("--font needs a family name");
      Options.Fonts.push_back(V);
    } else if (A == "--no-font") {
      Options.NoFonts = true;
    } else if (A == "--huge-mib") {
      int Mib = 0;
      if (!Next(V) || !ParseCount(V, Mib)) return Usage("--huge-mib needs a count");
      Options.HugeMediumBytes = int64_t{Mib} * 1024 * 1024;
    } else if (!A.empty() && A[0] == '-') {
      return Usage("unknown option " + A);
    } else if (Out.empty()) {
      Out = A;
    } else {
      return Usage("more than one output file");
    }
  }
  if (Out.empty()) return Usage("no output file");

  // Pictures are painted with text; no display is needed for that.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication App(argc, argv);
  try {
    RegisterModelClasses();
    if (Installer) demosaver::MakeInstallerFile(InstallerHost, Host, Out, Options);
    else demosaver::MakeScreenSaverFile(Host, Out, Options);
  } catch (const std::exception& E) {
    std::cerr << "makesaver: " << E.what() << "\n";
    return 1;
  }
  return 0;
}
