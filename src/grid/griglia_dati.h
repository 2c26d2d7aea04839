#pragma once
// The data grid: a caption over a virtual table view bound to an updatable recordset. Cells are
// edited by their field's type and written to the table at once; a new-row line sits under the
// last row; the recordset's current row and the grid's current row are one and the same.
// moc of Qt 6.4 cannot parse the C++20 library headers these bring in.
#ifndef Q_MOC_RUN
#include "data/connection.h"
#include "data/recordset.h"
#include "jet/status.h"
#endif

#include <QFont>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QKeyEvent;
class QTableView;

namespace grid {

class ModelloGriglia;
class VistaGriglia;
class DelegatoGriglia;

struct ColonnaGriglia {
  std::string campo;    // the field the column is bound to
  QString intestazione; // as given to IntestaColonna, CR LF included
  // The text that names the column in a caption after a reordering: its field name.
  QString Testo() const { return QString::fromStdString(campo); }
};

// Runs a query and hands back its recordset; the connection it runs on is the loader's own.
using CaricatoreSql =
    std::function<jet::Result<std::shared_ptr<data::Recordset>>(const std::string &sql)>;
// Shows a failure to the operator (number and Italian description).
using GestoreErrori = std::function<void(const jet::Status &)>;

class GrigliaDati : public QWidget {
  Q_OBJECT
public:
  explicit GrigliaDati(QWidget *parent = nullptr);
  ~GrigliaDati() override;

  // Loads the rows of the SQL text; on success the grid shows them and the first row is
  // current. On failure the grid keeps what it showed and the Status says why.
  jet::Status CaricaSql(const std::string &sql, const CaricatoreSql &caricatore);
  jet::Status CaricaSql(const std::string &sql); // through the loader given below
  // Reads on the connection itself, as an updatable recordset (keyset cursor, optimistic lock);
  // the connection is handed back as it was given.
  jet::Status CaricaSql(const std::string &sql, std::shared_ptr<data::Connection> &connessione);
  void setCaricatore(CaricatoreSql caricatore) { caricatore_ = std::move(caricatore); }
  // Shows a recordset that is already open; the grid then works on it (it is not copied).
  void CaricaRecordset(std::shared_ptr<data::Recordset> rs);
  // Lets go of the recordset; the grid shows nothing.
  void Svuota();

  void CampoChiave(const std::string &campo) { campoChiave_ = campo; }
  const std::string &campoChiave() const { return campoChiave_; }
  // Orders the rows on a field (ascending); the first row becomes current.
  jet::Status OrdinaSu(const std::string &campo, bool crescente = true);
  jet::Status IntestaColonna(const QString &testo, const std::string &campo);

  // The grid's own recordset: its current record is the grid's current row.
  std::shared_ptr<data::Recordset> RecordsetGriglia() const { return rs_; }
  int ColonnaCorrente() const { return colonna_; }
  QString TestoCella() const;
  // Replaces the current cell's value as if the operator had typed the text.
  jet::Status setTestoCella(const QString &testo);
  bool EditInCorso() const;
  // false ends a cell edit, keeping what was typed; true is accepted and changes nothing (the
  // grid is always ready to edit: typing in a cell starts an edit).
  void setEditInCorso(bool attivo);
  QString Titolo() const;
  void setTitolo(const QString &titolo);
  const std::vector<ColonnaGriglia> &Colonne() const { return colonne_; }
  QFont FontGriglia() const;
  void setFontGriglia(const QFont &font);

  // Display settings. Colours are Windows colour values: 0x00BBGGRR, or 0x800000nn for the
  // system colour nn.
  void setConsentiModifica(bool si);
  void setConsentiInserimento(bool si); // the new-row line
  void setConsentiCancellazione(bool si);
  void setStileLinee(int stile);    // 0 no cell lines; 1 to 3 lines between cells
  void setSelettoriRecord(bool si); // the row selector column
  void setColoreSfondo(uint32_t colore);
  void setColoreTesto(uint32_t colore);
  bool consentiModifica() const { return consentiModifica_; }
  bool consentiInserimento() const { return consentiInserimento_; }
  bool consentiCancellazione() const { return consentiCancellazione_; }

  // The focused grid's cursor: row 0 is the first row (-1: none), col the column index.
  int row() const { return riga_; }
  void setRow(int riga);
  int col() const { return colonna_; }
  void setCol(int colonna);

  void setGestoreErrori(GestoreErrori gestore) { gestoreErrori_ = std::move(gestore); }

  QTableView *vista() const;
  // True when row r is the new-row line.
  bool rigaNuova(int r) const;

signals:
  void RiposizionaCursore(int riga, int colonna);
  void OrdineCambiato(int colonna, bool crescente);
  void EventoInvio();
  void PrimaInserimento(bool &annulla);
  void PrimaCancellazione(bool &annulla);
  // codiceTasto: Windows virtual-key code, set to 0 to swallow the key or to another code to
  // replace it; maiuscole: 1 Shift, 2 Ctrl, 4 Alt.
  void TastoGiu(int &codiceTasto, int maiuscole);
  void CambioRiga(long rigaPrecedente, int colonnaPrecedente);

private:
  friend class ModelloGriglia;
  friend class VistaGriglia;
  friend class DelegatoGriglia;

  enum class EsitoTasto { Passa, Inghiottito, Sostituito };
  // Raises TastoGiu for a key; on Sostituito the replacement has already been delivered.
  EsitoTasto segnalaTasto(QKeyEvent *e, QObject *destinatario);
  bool sostituto(QKeyEvent *e) const { return e == sostituto_; }

  // Writes a typed text or a value into a cell, the new-row line included; false when nothing
  // was written (refused, cancelled or unchanged text is true).
  bool scriviTesto(int riga, int colonna, const QString &testo);
  bool scriviValore(int riga, int colonna, const jet::Value &v, const QString &testo);
  void eliminaRiga(int riga);
  void ordinaDaIntestazione(int colonna);

  void suCambioRecordset(data::RecordsetChange c, long posizione);
  void suCorrenteCambiata(int riga, int colonna, int colonnaPrecedente);
  // Puts the view's cursor where the recordset's current row is.
  void seguiRecordset(bool forza);
  void posizionaRecordset(int riga);
  void allineaVista();
  void adattaColonne();
  void aggiornaAltezzaRighe();
  void riferisci(const jet::Status &st);
  // Called by the view once an editor has closed.
  void dopoModifica(bool invio);

  std::shared_ptr<data::Recordset> rs_;
  std::vector<ColonnaGriglia> colonne_;
  std::string campoChiave_;
  CaricatoreSql caricatore_;
  GestoreErrori gestoreErrori_;
  QLabel *titolo_ = nullptr;
  VistaGriglia *vista_ = nullptr;
  ModelloGriglia *modello_ = nullptr;
  DelegatoGriglia *delegato_ = nullptr;
  int riga_ = -1;
  int colonna_ = 0;
  bool sincronizzando_ = false;
  bool vistaInAttesa_ = false;
  int rigaMostrata_ = -1; // the row the view shows as current
  bool consentiModifica_ = true;
  bool consentiInserimento_ = true;
  bool consentiCancellazione_ = true;
  // A cell written from an open editor: RiposizionaCursore waits until the editor has closed.
  bool scrittoInModifica_ = false;
  enum class EsitoModifica { Nessuna, Scritta, Rifiutata };
  EsitoModifica esitoModifica_ = EsitoModifica::Nessuna;
  jet::Status ultimoErrore_;
  // A heading click keeps the current record: the reorder must not move the cursor first.
  bool tieniCorrente_ = false;
  // A key an editor passed on to the view, already reported; and a replacement key being
  // delivered, which is not reported again.
  QKeyEvent *tastoSegnalato_ = nullptr;
  QKeyEvent *sostituto_ = nullptr;
};

} // namespace grid
