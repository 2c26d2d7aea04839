#pragma once
// Positions and sizes of controls in twips (1/1440 inch), as the windows were designed.
//
// A control placed with ImpostaGeometria keeps its twips values (they may be fractional, as a
// centred panel's are), and reading them back gives exactly what was set, so layouts computed in
// twips never drift through pixel rounding. The pixel geometry follows from the screen's logical
// DPI (15 twips per pixel at 96 DPI); edges are rounded, so controls laid side by side in twips
// stay side by side in pixels.
#include <QRect>

class QWidget;

struct Twips {
  double Left = 0;
  double Top = 0;
  double Width = 0;
  double Height = 0;
};

// Twips per pixel at the primary screen's logical DPI.
double TwipsPerPixelX();
double TwipsPerPixelY();

int TwipsInPixelX(double twips);
int TwipsInPixelY(double twips);
double PixelInTwipsX(int pixel);
double PixelInTwipsY(int pixel);

// The pixel rectangle of a twips rectangle (edges rounded).
QRect RettangoloPixel(const Twips &t);

void ImpostaGeometria(QWidget *w, const Twips &t);
void ImpostaGeometria(QWidget *w, double left, double top, double width, double height);
// The control's twips: those last set, or its pixel geometry converted when none were set or
// its pixel geometry has since been changed by other means.
Twips Geometria(const QWidget *w);

void ImpostaLeft(QWidget *w, double v);
void ImpostaTop(QWidget *w, double v);
void ImpostaWidth(QWidget *w, double v);
void ImpostaHeight(QWidget *w, double v);
