#pragma once
// The bulk delete and bulk modify dialogs: the condition builder walked with the keyboard over
// the frames frCancella and frModifica, the confirmations, and the one statement each runs on
// the working copy TemporaneaVask. The main window hands over its frame, its grid and its shared
// state; tests drive the dialogs with real key events without the main window.
#ifndef Q_MOC_RUN
#include "data/connection.h"
#include "data/recordset.h"
#endif

#include "app/comune/stato_finestra.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class CTextBox;
class Forma;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QWidget;

namespace grid {
class GrigliaDati;
}

namespace bulk {

// What the dialogs use of the main window.
struct AmbienteBulk {
  QWidget *Frame_main = nullptr;
  std::function<grid::GrigliaDati *()> Griglia;                   // grTabelle
  std::function<std::shared_ptr<data::Connection>()> Connessione; // ConnessioneDb
  std::function<void(const QString &, const QString &)> CaricaGriglia;
  std::function<void(bool)> AbilitaComandi;
  StatoFinestra *Stato = nullptr; // the main window's shared state
};

// The controls that both frames have, under their own names.
struct ControlliCondizione {
  QFrame *fr = nullptr;
  Forma *sh = nullptr;
  QLabel *lbTitolo = nullptr;
  QListWidget *ListAmbito = nullptr; // "TUTTI", "SELEZIONE"
  QListWidget *ListCampi = nullptr;  // field names
  QListWidget *ListOperatori = nullptr;
  QLineEdit *txValore = nullptr;        // the masked value box
  QListWidget *ListConcatena = nullptr; // "- OK -", "  E  ", "  O  "
  QLabel *txCondiz = nullptr;           // the summary
  QLabel *lbMess = nullptr;             // the hint
};

// Creates the controls of the delete frame at their designed places.
ControlliCondizione CreaControlliCancella(QFrame *fr, Forma *sh, QLabel *titolo);

struct ControlliModifica {
  ControlliCondizione c;
  QLabel *lbCon1 = nullptr;         // "MODIFICA"
  QListWidget *List5_Mod = nullptr; // target field
  QLabel *lbcon2 = nullptr;         // "CON"
  QLineEdit *txValoreMod = nullptr;
  QFrame *Line1 = nullptr;
  QLabel *lbAChi = nullptr; // "A CHI HA"
};
ControlliModifica CreaControlliModifica(QFrame *fr, Forma *sh, QLabel *titolo);

// Fills the fixed lists of a frame (first activation).
void RiempiListeFisse(const ControlliCondizione &c);

// The condition builder shared by both dialogs: steps, key rules, condition text and summary.
class ProceduraCondizione : public QObject {
public:
  ProceduraCondizione(ControlliCondizione c, AmbienteBulk a);
  ~ProceduraCondizione() override;

  // Dialog state.
  qint16 numerocondizioni = 0;
  QString strSql;
  QString operatore;
  QString tipocampo;

  const ControlliCondizione &Controlli() const { return c_; }
  // The control the dialog gave the focus to last.
  QWidget *Focale() const { return focale_; }
  bool Aperto() const;

protected:
  bool eventFilter(QObject *o, QEvent *e) override;

  // The flow's own reactions.
  virtual void AmbitoInvio() = 0; // Enter on the scope list
  virtual void Conferma() = 0;    // "- OK -" chosen
  virtual QString DidascaliaIniziale() const = 0;
  // The title of the flow's messages about bad input.
  virtual QString TitoloAvvisi() const = 0;
  virtual void PrimoCampoDidascalia(const QString &campo);
  // Keys and double clicks on the flow's own controls; true when handled.
  virtual bool TastoProprio(QObject *o, int codice) { return false; }
  virtual bool DoppioClicProprio(QObject *o) { return false; }

  // Opening steps 1 to 4 of a frame.
  void PreparaRiquadro(const QString &titolo);
  void Focalizza(QWidget *w);
  // Esc anywhere, or a refusal: nothing executed.
  void Abbandona();
  // The end common to every way out after execution: main panel on, grid focused.
  void RidaiFuoco();
  void FocusGriglia();
  // The field names of the grid's recordset into a list.
  void RiempiCampi(QListWidget *lista);
  std::shared_ptr<data::Recordset> Recordset() const;
  data::Connection &Connessione() const;
  // Runs a statement in a transaction on ConnessioneDb; a failure is rolled back and returned.
  jet::Status EseguiInTransazione(const QString &sql, const std::function<jet::Status()> &dopo);
  // "Errore N generato da S" CR description.
  static void MostraErrore(const jet::Status &st);
  void Ricarica();
  // The real table behind the working copy.
  QString Tabella() const { return a_.Stato ? a_.Stato->TabellaCopia : QString(); }

  ControlliCondizione c_;
  AmbienteBulk a_;
  QWidget *focale_ = nullptr;

private:
  void CampoInvio();
  void OperatoreInvio();
  void ValoreInvio();
  void ConcatenaInvio();
  void PreparaConcatena();
  bool FiltroValore(QKeyEvent *k);

  int campoScelto_ = -1;
  data::Field campoCondizione_;
  int tipoScelto_ = 0;
  QString valoreSql_; // the condition's value as SQL text
  // Where the first condition starts in the summary, for the parentheses of a changed join.
  int inizioCondizioni_ = 0;
  QString congiunzione_ = QStringLiteral(" AND ");
  double larghezzaValore_ = 0;
};

class ProceduraCancellazione : public ProceduraCondizione {
public:
  ProceduraCancellazione(ControlliCondizione c, AmbienteBulk a) : ProceduraCondizione(c, a) {}

  qint32 NumeroRecordPrima = 0;

  void ProceduraCancella();
  void EseguiCancellazione(const QString &condizione);

protected:
  void AmbitoInvio() override;
  void Conferma() override;
  QString DidascaliaIniziale() const override { return QStringLiteral("Cancellare chi ha:"); }
  QString TitoloAvvisi() const override { return QStringLiteral("Cancellazione Dati"); }

private:
  long ContaRighe();
};

class ProceduraModifica : public ProceduraCondizione {
public:
  ProceduraModifica(ControlliModifica m, AmbienteBulk a);
  ~ProceduraModifica() override;

  QString strSqlmod;
  bool ModificaSelezione = false;
  CTextBox *tbValoreMod() const { return tb_.get(); }
  const ControlliModifica &ControlliMod() const { return m_; }

  void btnModifica_Click();
  void EseguiModifica(const QString &istruzione, const QString &condizione);

protected:
  void AmbitoInvio() override;
  void Conferma() override;
  QString DidascaliaIniziale() const override { return QStringLiteral("Modificare ..."); }
  QString TitoloAvvisi() const override { return QStringLiteral("Modifica dei dati"); }
  void PrimoCampoDidascalia(const QString &campo) override;
  bool TastoProprio(QObject *o, int codice) override;
  bool DoppioClicProprio(QObject *o) override;

private:
  void DestinazioneInvio();
  void NuovoValoreInvio();

  ControlliModifica m_;
  std::unique_ptr<CTextBox> tb_;
  int destinazione_ = -1;
};

} // namespace bulk
