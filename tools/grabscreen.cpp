// grabscreen: saves a picture of the whole X screen ($DISPLAY) as a PNG file.
//   grabscreen OUT.png
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: grabscreen OUT.png\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  QGuiApplication App(argc, argv);
  QScreen* Screen = QGuiApplication::primaryScreen();
  if (!Screen) {
    std::fprintf(stderr, "grabscreen: no screen\n");
    return 1;
  }
  const QPixmap Shot = Screen->grabWindow(0);
  if (Shot.isNull() || !Shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "grabscreen: cannot save %s\n", argv[1]);
    return 1;
  }
  return 0;
}
