#include "platform/Memo.h"

#include <QEvent>
#include <QImage>
#include <QPainter>

// The style draws each line of the frame one device pixel wide, on the first device pixel of
// the line's logical pixel. At a fractional scale such as 1.5 that pixel may lie under the
// viewport or the scroll bar (rounded to whole device pixels) at the right and bottom, and, where
// the memo starts inside a device pixel, outside the memo at the top. Drawn again at scale 1 and
// stretched, each line covers every device pixel of its logical pixel, the outer ones too.
bool TMemo::event(QEvent* E) {
  const bool Done = QPlainTextEdit::event(E);
  if (E->type() == QEvent::Paint && frameWidth() > 0) {
    QImage Frame(size(), QImage::Format_ARGB32_Premultiplied);
    Frame.fill(Qt::transparent);
    {
      QPainter P(&Frame);
      drawFrame(&P);
    }
    QPainter P(this);
    P.drawImage(rect(), Frame);
  }
  return Done;
}
