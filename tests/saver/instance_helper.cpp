// Runs RunForm with a window that hides itself once shown and appends a line to the file named
// by its argument each time it is shown again, so a test can see a later instance raise it.
#include <QApplication>
#include <QShowEvent>
#include <QTimer>

#include <cstdio>

#include "platform/Platform.h"
#include "saver/ProgramEntry.h"

namespace {
class Window : public QWidget {
public:
  explicit Window(const char* Marker) : FMarker(Marker) {}

protected:
  void showEvent(QShowEvent*) override {
    if (FILE* F = std::fopen(FMarker, "a")) {
      std::fputs("shown\n", F);
      std::fclose(F);
    }
    if (FFirst) {
      FFirst = false;
      QTimer::singleShot(0, this, [this] { hide(); });
    }
  }

private:
  const char* FMarker;
  bool FFirst = true;
};
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  plat::SetCommandLine(argc, argv);
  QApplication App(argc, argv);
  const char* Marker = argv[1];
  return RunForm([Marker] { return std::make_unique<Window>(Marker); });
}
