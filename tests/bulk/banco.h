#pragma once
// A bench for the bulk dialogs: a copy of the suite database, a working copy of one table shown
// in the grid, both frames with their controls, and the main window's state they touch. Keys
// are real key events sent to the control that the dialog has focused.
#include "app/comune/forma.h"
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/comune/twips.h"
#include "bulk/procedure.h"
#include "data/man_db.h"
#include "grid/griglia_dati.h"
#include "test_support.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) {
  *os << '"' << s.toStdString() << '"';
}

namespace bulktest {

class Banco : public ::testing::Test {
protected:
  // The working copy of tabella; false (and the test skipped) without fixtures.
  void Apri(const std::string &tabella);

  void Premi(int tasto, const QString &testo = QString(), Qt::KeyboardModifiers m = {});
  void Invio() { Premi(Qt::Key_Return, QStringLiteral("\r")); }
  void Esc() { Premi(Qt::Key_Escape, QStringLiteral("\x1b")); }
  void Giu(int n = 1) {
    for (int i = 0; i < n; ++i)
      Premi(Qt::Key_Down);
  }
  void Scrivi(const QString &testo);
  // Clears the focused box with the caret keys and Delete.
  void Svuota();
  // The bulk modify on a working copy of tabella.
  void ApriModifica(const std::string &tabella) {
    Apri(tabella);
    attiva_ = mod_.get();
  }
  // The modify dialog opened, its scope and target field chosen: the focus in the new-value box.
  void Destinazione(bool selezione, const QString &campo);
  // "SELEZIONE", a long new note, then "ID" "MAGGIORE O UGUALE A" 10 "  E  " "ID"
  // "MINORE O UGUALE A": the value box of the second condition.
  void ValoreLungoEDueCondizioni();
  // A double click with the mouse on the list's item, and what it posts.
  void DoppioClic(QListWidget *l, const QString &voce);
  // Walks the field step to the field, the operator step to the operator.
  void Campo(const QString &nome);
  void Operatore(int posizione);

  // Saves the working copy over the real table, as "Salva (F10)" does, and checks the file with
  // vaskdb check; the real table's rows as mdb-export reads them (header first).
  std::vector<std::vector<std::string>> SalvaEdEsporta();
  // Reloads the grid from the working copy, as the main window does.
  void RicaricaGriglia() { ricarica_(QString(), QString()); }

  // Puts in place of the working copy one that holds only the ID of each row, so that a
  // statement naming another field is refused by the engine.
  void SostituisciCopia();

  // Rows of the working copy (or of the table read in its place) meeting a condition.
  long Conta(const std::string &dove = std::string(),
             const std::string &tabella = "TemporaneaVask");
  long ContaReale(const std::string &dove = std::string()) { return Conta(dove, tabella_); }
  QString Didascalia(QLabel *l) const { return l->property("Didascalia").toString(); }

  vasktest::TempDir dir_;
  std::filesystem::path file_;
  std::unique_ptr<data::ManDB> gestore_;
  std::shared_ptr<data::Connection> conn_;
  std::string tabella_;
  // False while the engine writes nothing: the grid then shows the real table itself, and the
  // statements on TemporaneaVask are refused.
  bool scrivibile_ = false;

  std::unique_ptr<QWidget> finestra_;
  QWidget *frameMain_ = nullptr;
  grid::GrigliaDati *griglia_ = nullptr;
  bool comandi_ = true;
  StatoFinestra stato_{.GrigliaVuota = false};
  bool &grigliaVuota_ = stato_.GrigliaVuota;
  bool &tabellaVuota_ = stato_.TabellaVuota;
  int ricariche_ = 0;
  std::function<void(const QString &, const QString &)> ricarica_;
  bulk::ControlliCondizione cc_;
  bulk::ControlliModifica cm_;
  std::unique_ptr<bulk::ProceduraCancellazione> canc_;
  std::unique_ptr<bulk::ProceduraModifica> mod_;
  bulk::ProceduraCondizione *attiva_ = nullptr;
  std::unique_ptr<MsgBoxSimulato> box_;
};

} // namespace bulktest
