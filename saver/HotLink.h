#pragma once
// A web link as a label: hand cursor, a blue underlined font while the pointer is over it, and
// a click hands its address to the shell.

#include <QFont>
#include <QLabel>

#include <string>

class THotLink : public QLabel {
public:
  explicit THotLink(QWidget* Parent = nullptr);

  // What the label shows and the address a click opens.
  void SetLink(const QString& Caption, const std::string& Url);
  const std::string& Url() const { return FUrl; }
  bool Hot() const { return FHot; }
  // The font while the pointer is over the link.
  QFont HotTrackFont;

  // Opens the address with the shell (what a click does).
  void Click();

protected:
  void enterEvent(QEnterEvent* Event) override;
  void leaveEvent(QEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;

private:
  void SetHot(bool Value);
  std::string FUrl;
  QFont FNormalFont;
  QPalette FNormalPalette;
  bool FHot = false;
  bool FPressed = false;
};
