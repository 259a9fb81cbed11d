#pragma once
// A panel filled with a colour gradient in flat bands, left to right.

#include <QColor>
#include <QWidget>

class TGradient : public QWidget {
public:
  TGradient(QColor StartColor, QColor EndColor, int Steps, QWidget* Parent = nullptr);

protected:
  void paintEvent(QPaintEvent* Event) override;

private:
  QColor FStart, FEnd;
  int FSteps;
};
