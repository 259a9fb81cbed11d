// Runs RunForm with a window that another window of the program covers once it is shown. The
// window appends a line to the file named by its argument each time it is shown ("shown"),
// becomes the active window ("active") or stops being it ("covered"), so a test can see a later
// instance bring it forward.
#include <QApplication>
#include <QEvent>
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
    Log("shown\n");
    if (!FCover) {
      FCover = std::make_unique<QWidget>();
      QTimer::singleShot(0, this, [this] { FCover->show(); });
    }
  }
  bool event(QEvent* E) override {
    if (E->type() == QEvent::WindowActivate) Log("active\n");
    if (E->type() == QEvent::WindowDeactivate) Log("covered\n");
    return QWidget::event(E);
  }

private:
  void Log(const char* Line) {
    if (FILE* F = std::fopen(FMarker, "a")) {
      std::fputs(Line, F);
      std::fclose(F);
    }
  }
  const char* FMarker;
  std::unique_ptr<QWidget> FCover;
};
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  plat::SetCommandLine(argc, argv);
  QApplication App(argc, argv);
  const char* Marker = argv[1];
  return RunForm([Marker] { return std::make_unique<Window>(Marker); });
}
