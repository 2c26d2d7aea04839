#include "app/comune/fungen.h"

#include "app/comune/errori.h"
#include "app/comune/forma.h"
#include "app/comune/messaggi.h"
#include "app/comune/tasti.h"
#include "app/comune/twips.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QStringDecoder>
#include <QWidget>
#include <cmath>

QString PercorsoDb;
QString NomeDb;
bool MostraSuggerimenti = true;

namespace {

struct BarraStato {
  QPointer<QWidget> finestra;
  QList<QPointer<QLabel>> pannelli;
};

BarraStato &barra() {
  static BarraStato b;
  return b;
}

struct Voce {
  QPointer<QWidget> controllo;
  qint16 larghezzaFissa;
  QString gruppo;
};

QList<Voce> &registro() {
  static QList<Voce> r;
  return r;
}

bool stessoGruppo(const Voce &v, const QString &gruppo) {
  return v.controllo && v.gruppo.compare(gruppo, Qt::CaseInsensitive) == 0;
}

const QString kTroppoLarghi =
    QStringLiteral("La somma delle larghezze dei bottoni è superiore alla larghezza della form");

// Halves go to the even integer.
double arrotondaPari(double x) {
  double f = std::floor(x);
  double d = x - f;
  if (d > 0.5)
    return f + 1;
  if (d < 0.5)
    return f;
  return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

QString riempimento(const QString &testo, qint16 lunghezza, QString &riempi, bool aDestra) {
  if (testo.size() >= lunghezza)
    return testo;
  riempi = riempi.left(1);
  if (riempi.isEmpty())
    throw ErroreVask(ErrArgomentoNonValido,
                     QStringLiteral("Chiamata di routine o argomento non validi"));
  QString pad(lunghezza - testo.size(), riempi.at(0));
  return aDestra ? testo + pad : pad + testo;
}

// Text of a configuration file: UTF-8 where the bytes are UTF-8, else the Windows ANSI code page.
QString decodifica(const QByteArray &dati) {
  QByteArray b = dati;
  if (b.startsWith("\xEF\xBB\xBF"))
    b.remove(0, 3);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString testo = utf8.decode(b);
  if (!utf8.hasError())
    return testo;
  QStringDecoder ansi("windows-1252");
  if (ansi.isValid())
    return ansi.decode(b);
  return QString::fromLatin1(b);
}

// Lines end with CR LF, CR or LF; the last one may have no end.
QStringList righe(const QString &testo) {
  QStringList r;
  QString corrente;
  for (qsizetype i = 0; i < testo.size(); ++i) {
    QChar c = testo.at(i);
    if (c == u'\r' || c == u'\n') {
      r << corrente;
      corrente.clear();
      if (c == u'\r' && i + 1 < testo.size() && testo.at(i + 1) == u'\n')
        ++i;
    } else {
      corrente += c;
    }
  }
  if (!corrente.isEmpty())
    r << corrente;
  return r;
}

QStringList leggiRighe(const QString &file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) {
    if (f.error() == QFileDevice::PermissionsError)
      throw ErroreVask(ErrPermessoNegato, QStringLiteral("Permesso negato"));
    throw ErroreVask(75, QStringLiteral("Errore di accesso al percorso/file"));
  }
  QByteArray dati = f.readAll();
  if (f.error() != QFileDevice::NoError)
    throw ErroreVask(ErrIO, QStringLiteral("Errore di I/O sulla periferica"));
  return righe(decodifica(dati));
}

template <typename F> std::optional<QString> conTrappola(const QString &file, F corpo) {
  try {
    return corpo();
  } catch (const ErroreVask &e) {
    MsgBox(QStringLiteral("Errore %1 leggendo il file %2, impossibile procedere!")
               .arg(e.Numero())
               .arg(file),
           vbOKOnly);
  } catch (const std::exception &) {
    MsgBox(QStringLiteral("Errore %1 leggendo il file %2, impossibile procedere!")
               .arg(ErrIO)
               .arg(file),
           vbOKOnly);
  }
  return std::nullopt;
}

} // namespace

// --- Status bar ---------------------------------------------------------------------------

void ImpostaBarraStato(QWidget *finestra, const QList<QLabel *> &pannelli) {
  BarraStato &b = barra();
  b.finestra = finestra;
  b.pannelli.clear();
  for (QLabel *p : pannelli)
    b.pannelli << p;
}

void MostraStato(const QString &testo, qint16 pannello) {
  BarraStato &b = barra();
  if (!b.finestra || !b.finestra->isVisible())
    return;
  if (pannello < 1 || pannello > b.pannelli.size())
    return;
  if (QLabel *p = b.pannelli.at(pannello - 1))
    p->setText(testo);
}

void MostraStatoOra(const QString &testo, qint16 pannello) {
  MostraStato(testo, pannello);
  BarraStato &b = barra();
  if (b.finestra && b.finestra->isVisible() && pannello >= 1 && pannello <= b.pannelli.size())
    if (QLabel *p = b.pannelli.at(pannello - 1))
      p->repaint();
}

QString TestoStato(qint16 pannello) {
  BarraStato &b = barra();
  if (pannello < 1 || pannello > b.pannelli.size() || !b.pannelli.at(pannello - 1))
    return QString();
  return b.pannelli.at(pannello - 1)->text();
}

// --- Fixed-width columns --------------------------------------------------------------------

QString RiempiADestra(const QString &testo, qint16 lunghezza, QString &riempi) {
  return riempimento(testo, lunghezza, riempi, true);
}

QString RiempiASinistra(const QString &testo, qint16 lunghezza, QString &riempi) {
  return riempimento(testo, lunghezza, riempi, false);
}

// --- Key=value files --------------------------------------------------------------------------

std::optional<QString> LeggiFileChiavi(const QString &file, const QString &chiave, int modo) {
  if (!QFileInfo(file).isFile())
    return std::nullopt;
  return conTrappola(file, [&]() -> std::optional<QString> {
    const QStringList linee = leggiRighe(file);
    if (modo != 0) {
      QString tutto;
      for (const QString &l : linee)
        tutto += l + QStringLiteral("\r\n");
      return tutto;
    }
    const QString cercata = (chiave + u'=').toUpper();
    for (const QString &l : linee) {
      qsizetype uguale = l.indexOf(u'=');
      if (uguale < 0)
        continue;
      if (l.left(uguale + 1).toUpper() == cercata)
        return l.mid(uguale + 1);
    }
    return std::nullopt;
  });
}

std::optional<QString> LeggiFileChiavi(const QString &file, const QString &,
                                       QVector<CoppiaChiave> &elenco) {
  if (!QFileInfo(file).isFile())
    return std::nullopt;
  return conTrappola(file, [&]() -> std::optional<QString> {
    const QStringList linee = leggiRighe(file);
    QVector<CoppiaChiave> nuovo(linee.size() + 1);
    for (qsizetype i = 0; i < linee.size(); ++i) {
      const QString &l = linee.at(i);
      qsizetype uguale = l.indexOf(u'=');
      if (uguale < 0) {
        nuovo[i].chiave = l;
      } else {
        nuovo[i].chiave = l.left(uguale + 1);
        nuovo[i].valore = l.mid(uguale + 1);
      }
    }
    elenco = std::move(nuovo);
    return QStringLiteral("OK");
  });
}

// --- Command registry -------------------------------------------------------------------------

void RegistraBottone(QWidget *controllo, qint16 larghezzaFissa, const QString &suggerimento,
                     bool azzera, const QString &gruppo) {
  QList<Voce> &r = registro();
  if (azzera) {
    r.clear();
  } else {
    const QString nome = controllo->objectName();
    for (const Voce &v : r)
      if (v.controllo && v.controllo->objectName().compare(nome, Qt::CaseInsensitive) == 0 &&
          v.gruppo == gruppo)
        return;
  }
  r.append(Voce{controllo, larghezzaFissa, gruppo});
  controllo->setToolTip(MostraSuggerimenti ? suggerimento : QString());
}

void AbilitaGruppo(bool abilitato, const QString &gruppo) {
  for (const Voce &v : registro())
    if (stessoGruppo(v, gruppo))
      v.controllo->setEnabled(abilitato);
}

void DisponiBottoni(qint32 totale, qint32 sinistra, qint32 margine, qint32 offset,
                    const QString &gruppo) {
  QList<Voce> membri;
  for (const Voce &v : registro())
    if (stessoGruppo(v, gruppo))
      membri << v;

  double top = 0, altezza = 0;
  if (!membri.isEmpty()) {
    Twips primo = Geometria(membri.first().controllo);
    top = primo.Top;
    altezza = primo.Height;
  }
  qint64 libero = qint64(totale) - sinistra - margine;
  if (libero <= 0) {
    MsgBox(kTroppoLarghi, vbOKOnly);
    return;
  }
  int condivisi = 0;
  for (const Voce &v : membri) {
    if (v.larghezzaFissa > 0)
      libero -= v.larghezzaFissa;
    else
      ++condivisi;
  }
  if (libero <= 0) {
    MsgBox(kTroppoLarghi, vbOKOnly);
    return;
  }
  if (membri.isEmpty())
    return; // nothing to lay out
  if (condivisi == 0)
    throw ErroreVask(ErrDivisionePerZero, QStringLiteral("Divisione per zero"));
  const double quota = arrotondaPari(double(libero) / condivisi);

  double x = double(sinistra) + offset;
  for (const Voce &v : membri) {
    double larghezza = v.larghezzaFissa == 0 ? quota : double(v.larghezzaFissa);
    ImpostaGeometria(v.controllo, Twips{x, top, larghezza, altezza});
    x += larghezza;
  }
}

QList<VoceRegistro> Registro() {
  QList<VoceRegistro> r;
  for (const Voce &v : registro())
    if (v.controllo)
      r << VoceRegistro{v.controllo, v.larghezzaFissa, v.gruppo};
  return r;
}

// --- Frame panels -----------------------------------------------------------------------------

QColor ColoreVb(quint32 valore) {
  if (valore & 0x80000000u)
    return ColoreDiSistema(int(valore & 0xFF));
  return QColor(int(valore & 0xFF), int((valore >> 8) & 0xFF), int((valore >> 16) & 0xFF));
}

QColor ColoreDiSistema(int indice) {
  const QPalette p = QApplication::palette();
  using R = QPalette::ColorRole;
  auto attivo = [&](R r) { return p.color(QPalette::Active, r); };
  switch (indice) {
  case 0: // scroll bar
    return attivo(R::Mid);
  case 1:  // desktop
  case 12: // application workspace
  case 16: // button shadow
    return attivo(R::Dark);
  case 2:  // active caption
  case 13: // highlight
    return attivo(R::Highlight);
  case 3: // inactive caption
    return p.color(QPalette::Inactive, R::Highlight);
  case 4:  // menu
  case 10: // active border
  case 11: // inactive border
    return attivo(R::Window);
  case 5: // window
    return attivo(R::Base);
  case 6:  // window frame
  case 21: // 3D dark shadow
    return attivo(R::Shadow);
  case 7: // menu text
    return attivo(R::WindowText);
  case 8: // window text
    return attivo(R::Text);
  case 9:  // caption text
  case 14: // highlighted text
    return attivo(R::HighlightedText);
  case 15: // button face
    return attivo(R::Button);
  case 17: // grey text
    return p.color(QPalette::Disabled, R::Text);
  case 18: // button text
    return attivo(R::ButtonText);
  case 19: // inactive caption text
    return p.color(QPalette::Inactive, R::HighlightedText);
  case 20: // button highlight
    return attivo(R::Light);
  case 22: // 3D light
    return attivo(R::Midlight);
  case 23: // tooltip text
    return attivo(R::ToolTipText);
  case 24: // tooltip back
    return attivo(R::ToolTipBase);
  }
  return attivo(R::Window);
}

void StileRiquadro(QFrame *riquadro, Forma *bordo, QLabel *titolo, const QString &testo) {
  riquadro->setFrameShape(QFrame::NoFrame);
  QPalette pr = riquadro->palette();
  pr.setColor(QPalette::Window, ColoreDiSistema(10));
  riquadro->setPalette(pr);
  riquadro->setAutoFillBackground(true);

  const Twips r = Geometria(riquadro);
  bordo->SetBorderColor(ColoreVb(4210752));
  bordo->SetTrasparente(true);
  bordo->SetBorderWidth(2);
  ImpostaGeometria(bordo, Twips{-7, -7, r.Width, r.Height});

  QPalette pt = titolo->palette();
  pt.setColor(QPalette::Window, ColoreDiSistema(2));
  pt.setColor(QPalette::WindowText, ColoreDiSistema(14));
  titolo->setPalette(pt);
  titolo->setAutoFillBackground(true);
  QFont f(QStringLiteral("MS Sans Serif"));
  f.setPointSize(8);
  f.setBold(true);
  titolo->setFont(f);
  titolo->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  ImpostaGeometria(titolo, Twips{30, 30, r.Width - 80, 210});
  titolo->setText(u' ' + (testo.isEmpty() ? riquadro->objectName() : testo));
}

void CentraRiquadro(QWidget *riquadro, const QWidget *contenitore, qint32 dx, qint32 dy) {
  const Twips c = Geometria(contenitore);
  Twips r = Geometria(riquadro);
  r.Top = (c.Height - r.Height) / 2 + dy;
  r.Left = (c.Width - r.Width) / 2 + dx;
  ImpostaGeometria(riquadro, r);
}

// --- Grid cursor ------------------------------------------------------------------------------

void TastoGrigliaSu(QWidget *bersaglio, qint16 direzione, bool attesa, qint16 colonna) {
  if (!bersaglio)
    return;
  auto premi = [&](int tasto) { InviaTasto(bersaglio, tasto, Qt::NoModifier, attesa); };
  if (direzione < 0) {
    bool primaRiga = bersaglio->property("row").toInt() == 0;
    bersaglio->setProperty("col", int(colonna));
    if (primaRiga) {
      premi(Qt::Key_Home);
    } else {
      premi(Qt::Key_Up);
      premi(Qt::Key_Down);
    }
  } else if (direzione == 0) {
    premi(Qt::Key_Home);
  } else {
    premi(Qt::Key_Up);
    premi(Qt::Key_Down);
  }
}

void TastoGriglia(qint16 direzione, bool attesa, qint16 colonna) {
  QCoreApplication::processEvents();
  TastoGrigliaSu(QApplication::focusWidget(), direzione, attesa, colonna);
}
