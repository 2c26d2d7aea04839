#include "app/comune/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVariant>
#include <QWidget>
#include <cmath>

namespace {

const char *const kProprieta = "vaskTwips";
const char *const kPixel = "vaskTwipsPixel";

double dpi(bool orizzontale) {
  QScreen *s = QGuiApplication::primaryScreen();
  double d = s ? (orizzontale ? s->logicalDotsPerInchX() : s->logicalDotsPerInchY()) : 96.0;
  return d > 0 ? d : 96.0;
}

int arrotonda(double v) {
  return static_cast<int>(std::lround(v));
}

} // namespace

double TwipsPerPixelX() {
  return 1440.0 / dpi(true);
}
double TwipsPerPixelY() {
  return 1440.0 / dpi(false);
}
int TwipsInPixelX(double twips) {
  return arrotonda(twips / TwipsPerPixelX());
}
int TwipsInPixelY(double twips) {
  return arrotonda(twips / TwipsPerPixelY());
}
double PixelInTwipsX(int pixel) {
  return pixel * TwipsPerPixelX();
}
double PixelInTwipsY(int pixel) {
  return pixel * TwipsPerPixelY();
}

QRect RettangoloPixel(const Twips &t) {
  int x = TwipsInPixelX(t.Left);
  int y = TwipsInPixelY(t.Top);
  int r = TwipsInPixelX(t.Left + t.Width);
  int b = TwipsInPixelY(t.Top + t.Height);
  return QRect(x, y, std::max(0, r - x), std::max(0, b - y));
}

void ImpostaGeometria(QWidget *w, const Twips &t) {
  QRect px = RettangoloPixel(t);
  w->setGeometry(px);
  w->setProperty(kProprieta, QVariant::fromValue(QRectF(t.Left, t.Top, t.Width, t.Height)));
  w->setProperty(kPixel, QVariant::fromValue(w->geometry()));
}

void ImpostaGeometria(QWidget *w, double left, double top, double width, double height) {
  ImpostaGeometria(w, Twips{left, top, width, height});
}

Twips Geometria(const QWidget *w) {
  QVariant t = w->property(kProprieta);
  QVariant p = w->property(kPixel);
  if (t.isValid() && p.isValid() && p.toRect() == w->geometry()) {
    QRectF r = t.toRectF();
    return Twips{r.x(), r.y(), r.width(), r.height()};
  }
  QRect g = w->geometry();
  return Twips{PixelInTwipsX(g.x()), PixelInTwipsY(g.y()), PixelInTwipsX(g.width()),
               PixelInTwipsY(g.height())};
}

void ImpostaLeft(QWidget *w, double v) {
  Twips t = Geometria(w);
  t.Left = v;
  ImpostaGeometria(w, t);
}
void ImpostaTop(QWidget *w, double v) {
  Twips t = Geometria(w);
  t.Top = v;
  ImpostaGeometria(w, t);
}
void ImpostaWidth(QWidget *w, double v) {
  Twips t = Geometria(w);
  t.Width = v;
  ImpostaGeometria(w, t);
}
void ImpostaHeight(QWidget *w, double v) {
  Twips t = Geometria(w);
  t.Height = v;
  ImpostaGeometria(w, t);
}
