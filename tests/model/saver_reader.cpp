// Reads a screen-saver file the way the show does and reports what it found and the peak
// resident size of the process:
//   saver_reader FILE  ->  "loaded media=<n> bytes=<sum of media file sizes> maxrss_kib=<k>"
// Exit code 0 when info and project were read, 1 when the loader refused the file.

#include <QGuiApplication>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "model/ScreenSaverFiles.h"
#include "platform/Platform.h"
#include "player/ScreenSaverSequences.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: saver_reader FILE\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication App(argc, argv);
  plat::SetMessageBoxSink([](const plat::MessageBoxRequest& R) {
    std::fprintf(stderr, "message: %s\n", R.Text.c_str());
    return plat::IDOK;
  });
  RegisterModelClasses();
  RegisterScreenSaverSequencesClasses();
  plat::SetProgramFileName(argv[1]);
  std::unique_ptr<TScreenSaverInfo> Info;
  std::unique_ptr<TScreenSaverProject> Project;
  LoadScreenSaverInfoAndProject(Info, Project);
  if (!Project) return 1;
  long long Bytes = 0;
  const TMediaManager& M = *Project->MediaManager();
  for (int I = 0; I < M.Count(); ++I) {
    struct stat St {};
    if (stat(M.Media(I)->FileName.c_str(), &St) == 0) Bytes += St.st_size;
  }
  rusage Usage{};
  getrusage(RUSAGE_SELF, &Usage);
  std::printf("loaded media=%d bytes=%lld maxrss_kib=%ld\n", M.Count(), Bytes, Usage.ru_maxrss);
  return 0;
}
