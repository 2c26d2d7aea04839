#pragma once
// A shape control: a rectangle with a border of its own colour and width, its inside either
// transparent (the controls beneath show through) or filled.
#include <QColor>
#include <QWidget>

class Forma : public QWidget {
  Q_OBJECT
public:
  explicit Forma(QWidget *genitore = nullptr);

  QColor BorderColor() const { return bordo_; }
  void SetBorderColor(const QColor &c);
  // In pixels, as the platform's shapes have it.
  int BorderWidth() const { return spessore_; }
  void SetBorderWidth(int pixel);
  bool Trasparente() const { return trasparente_; }
  void SetTrasparente(bool t);
  QColor BackColor() const { return sfondo_; }
  void SetBackColor(const QColor &c);

protected:
  void paintEvent(QPaintEvent *) override;

private:
  QColor bordo_{Qt::black};
  QColor sfondo_{Qt::white};
  int spessore_ = 1;
  bool trasparente_ = true;
};
