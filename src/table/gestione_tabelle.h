#pragma once
// The table windows' logic: choosing the database and the table, the working copy TemporaneaVask
// and its loading into the grid, the grid's events and editing commands, and the filter. The
// main window hands over its controls and shared state; every handler can be driven by a test
// without showing the window. Failures escape as ErroreVask for the window to report.
#ifndef Q_MOC_RUN
#include "data/recordset.h"
#include "table/banca_dati.h"
#endif
#include "app/comune/stato_finestra.h"

#include <QString>
#include <functional>
#include <memory>
#include <string>

class Forma;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QTextEdit;
class QWidget;

namespace grid {
class GrigliaDati;
}

namespace tabelle {

// The controls of the main window that these commands use, and its shared state.
struct ControlliTabelle {
  QLabel *Label1 = nullptr;
  QListWidget *List1 = nullptr;
  QPushButton *btnDatabase = nullptr;
  QPushButton *btnTabella = nullptr;
  QWidget *Frame_main = nullptr;
  grid::GrigliaDati *grTabelle = nullptr;
  // The extended edit panel.
  QFrame *frEditG = nullptr;
  Forma *shEditG = nullptr;
  QLabel *etEditG = nullptr;
  QTextEdit *txEditG = nullptr;
  // The main window's shared state.
  StatoFinestra *Stato = nullptr;
  std::function<void(bool)> AbilitaManutenzione;
  // The shortcut keys of the main window (key code in/out, shift state).
  std::function<void(int &, int)> TastoGiu;
};

class GestioneTabelle {
public:
  // banca may be null: no engine, every command that needs a database says so.
  GestioneTabelle(ControlliTabelle controlli, std::shared_ptr<BancaDati> banca);
  ~GestioneTabelle();

  BancaDati *Banca() const { return banca_.get(); }
  void ImpostaBanca(std::shared_ptr<BancaDati> banca) { banca_ = std::move(banca); }

  StatoFinestra &Stato() const { return *c_.Stato; }

  // Database and table selection.
  void btnDatabase_Click();
  // Opens the file: connection, label, table list. A refused file leaves everything as it was.
  void ApriDatabase(const QString &nomeCompleto);
  void List1_Click();

  // The working copy.
  void btnTabella_Click();
  void CaricaGriglia(const QString &tabella, const QString &condizione);
  void btnSalva_Click();
  void btnUscita_Click();

  // Grid editing.
  void btnNuovo_Click();
  void btnEditG_Click();
  void btnSalvaEG_Click();
  void btnEscEG_Click();
  void btnVuota_Click();
  void btnFiltro_Click();
  // Ends a cell edit in progress.
  void TerminaEdit();

  // Grid events.
  void grTabelle_RiposizionaCursore();
  void grTabelle_OrdineCambiato(int colonna);
  void grTabelle_EventoInvio();
  void grTabelle_PrimaInserimento(bool &annulla);
  void grTabelle_PrimaCancellazione(bool &annulla);
  void grTabelle_CambioRiga();

  // "Record p di n" for the grid's recordset, with " (filtrati)" under a filter.
  QString TestoRecord(long posizione) const;

private:
  BancaDati &banca();
  std::shared_ptr<data::Recordset> recordset() const;
  bool filtrato() const;
  // The highest ID of the working copy plus one (1 for an empty copy).
  jet::Value IdSuccessivo();
  // Puts a row into the copy with every field empty (defaults as its columns give them) and
  // this ID where it is not Null; to be called inside a transaction.
  data::RowId InserisciRigaVuota(const jet::Value &id);
  // "Nuova riga" without reading the copy again, where the grid holds all of it in ID order.
  bool NuovaRigaInGriglia();
  void collegaGriglia();

  ControlliTabelle c_;
  std::shared_ptr<BancaDati> banca_;
  // The cell's text as the extended edit panel opened on it.
  QString testoEditG_;
};

} // namespace tabelle
