#include "app/comune/forma.h"

#include <QPainter>

Forma::Forma(QWidget *genitore) : QWidget(genitore) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Forma::SetBorderColor(const QColor &c) {
  bordo_ = c;
  update();
}
void Forma::SetBorderWidth(int pixel) {
  spessore_ = pixel;
  update();
}
void Forma::SetTrasparente(bool t) {
  trasparente_ = t;
  update();
}
void Forma::SetBackColor(const QColor &c) {
  sfondo_ = c;
  update();
}

void Forma::paintEvent(QPaintEvent *) {
  QPainter p(this);
  if (!trasparente_)
    p.fillRect(rect(), sfondo_);
  if (spessore_ <= 0)
    return;
  // The border lies inside the shape's rectangle.
  QPen penna(bordo_, spessore_);
  penna.setJoinStyle(Qt::MiterJoin);
  p.setPen(penna);
  p.setBrush(Qt::NoBrush);
  double mezzo = spessore_ / 2.0;
  p.drawRect(QRectF(mezzo, mezzo, width() - spessore_, height() - spessore_));
}
