#pragma once
// The main window: database name, table list, the command frame with the grid and the two
// button rows, the status bar, and the frame panels laid over the command frame.
//
// The commands of the later windows plug in through Comandi; the grid calls grTabelle_TastoGiu
// with every key that goes down in it. Tests drive the window without showing it: Form_Load runs
// in the constructor, Form_Activate is called directly.
#include "app/accessodb.h"
#include "app/comune/stato_finestra.h"

#include <QFrame>
#include <QMainWindow>
#include <functional>
#include <memory>

class Forma;
class QDialog;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStatusBar;
namespace bulk {
class DialoghiBulk;
}
namespace data {
class Connection;
}
class QTextEdit;
namespace grid {
class GrigliaDati;
}
namespace tabelle {
class GestioneTabelle;
}

// A frame panel: its own title label and border shape, its controls added by the panel's owner.
class Riquadro : public QFrame {
  Q_OBJECT
public:
  explicit Riquadro(const QString &nome, QWidget *genitore);
  QLabel *Titolo;
  Forma *Bordo;
};

// The commands behind the buttons, the shortcuts and the table list; each later window sets its
// own. An unset command does nothing.
struct ComandiMain {
  std::function<void()> Database;          // "&Database"
  std::function<void()> List1_Click;       // a table chosen in the list
  std::function<void()> ApriTabella;       // "Apri &Tabella", double click or Enter in the list
  std::function<void()> NuovaRiga;         // "Nuova riga (Ins)"
  std::function<void()> EditEsteso;        // "Edit esteso (Ctrl + Invio)"
  std::function<void()> Filtra;            // "Filtra (F2)"
  std::function<void()> Tutti;             // "Tutti (Ctrl+F2)"
  std::function<void()> Modifica;          // "Modifica (F6)"
  std::function<void()> ProceduraCancella; // "Cancella (F7)"
  std::function<void()> VediStruttura;     // "Struttura"
  std::function<void()> Azzera;            // "Azzera"
  std::function<void()> Stampa;            // "Stampa (F9)"
  std::function<void()> Salva;             // "Salva (F10)"
  std::function<void()> Uscita;            // "Uscita (Esc)"
  std::function<void()> RiempiOperatori;   // the operator lists of the bulk panels
  std::function<void()> TerminaEdit;       // ends a cell edit in progress before exit
  // What the bulk dialogs need of table browsing: ConnessioneDb and the reload of the grid.
  std::function<std::shared_ptr<data::Connection>()> ConnessioneDb;
  std::function<void(const QString &, const QString &)> CaricaGriglia;
};

class frmMain : public QMainWindow {
  Q_OBJECT
public:
  using FabbricaDb = std::function<std::unique_ptr<AccessoDatabase>()>;

  explicit frmMain(FabbricaDb fabbrica = CreaGestoreDb, QWidget *genitore = nullptr);
  ~frmMain() override;

  // Controls.
  QLabel *Label3, *Label1, *Label2;
  QPushButton *btnDatabase, *btnTabella, *btn_info, *btnFine;
  QListWidget *List1;
  QWidget *Frame_main;
  QWidget *grTabelle;
  QPushButton *btnNuovo, *btnEditG, *btnFiltro, *btnVuota, *btnModifica, *btnCancella;
  QPushButton *btnVediStruttura, *btnAzzera, *btnStampa, *btnSalva, *btnUscita;
  QProgressBar *barra;
  QStatusBar *StatusMain;
  QList<QLabel *> Pannelli;
  Riquadro *frCancella, *frModifica, *frEditG, *frStruttura, *frAzzera;
  // The bulk delete and bulk modify dialogs on frCancella and frModifica.
  std::unique_ptr<bulk::DialoghiBulk> Bulk;
  // The extended edit panel's own controls.
  QTextEdit *txEditG = nullptr;
  QPushButton *btnSalvaEG = nullptr, *btnEscEG = nullptr;
  // The data grid, once in place of the placeholder (grTabelle is then the same widget).
  grid::GrigliaDati *Griglia = nullptr;
  // Table selection, working copy, grid editing and filter.
  std::unique_ptr<tabelle::GestioneTabelle> Tabelle;

  // Window state shared with the other windows.
  std::unique_ptr<AccessoDatabase> GestoreDb;
  bool PrimaAttivazione = false;
  StatoFinestra Stato;
  ComandiMain Comandi;
  // Ends the program; tests replace it.
  std::function<void()> Termina;

  void Form_Load();
  void Form_Activate();
  void ApriDatabase(const QString &nomeCompleto);
  // Opens the database named on the command line, as "&Database" opens a chosen one.
  void ApriDatabaseIniziale();
  void AbilitaComandi(bool abilitato);
  void AbilitaManutenzione(bool abilitato);
  // True when the operator confirmed and the program is ending.
  bool ChiediUscita();
  // The grid's key-down: the shortcuts. A key code set to 0 is swallowed.
  void grTabelle_TastoGiu(int &KeyCode, int Shift);
  void List1_KeyDown(int &KeyCode, int Shift);
  void btnFine_Click();
  void btn_info_Click();

  // Shows a window of the program modally; its closing activates the main window again.
  void MostraModale(QDialog &finestra);
  // Puts the real grid in place of the placeholder, with the same geometry and name.
  void SostituisciGriglia(QWidget *griglia);
  // The window's outer width in twips (its frame included, as it was designed).
  double LarghezzaTwips() const;

  // The folder of WZELBO.INI: the program's own, unless a test has set another.
  static QString CartellaProgramma();
  static void ImpostaCartellaProgramma(const QString &cartella);

protected:
  void closeEvent(QCloseEvent *e) override;
  void showEvent(QShowEvent *e) override;
  bool eventFilter(QObject *o, QEvent *e) override;

private:
  void creaControlli();
  void installaBulk();
  void installaTabelle();
  void esegui(const std::function<void()> &comando);
  void impostaLarghezzePannelli();
  void adattaElenco();

  bool terminato_ = false;
};

// Fills the panels frStruttura and frAzzera and installs "Struttura" and "Azzera"
// (app/manutenzione.cpp).
void InstallaManutenzione(frmMain &finestra);
