#include "table/gestione_tabelle.h"

#include "app/comune/dialoghi.h"
#include "app/comune/errori.h"
#include "app/comune/forma.h"
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/comune/tasti.h"
#include "data/ado_types.h"
#include "data/engine_storage.h"
#include "data/row_count.h"
#include "data/shared_database.h"
#include "grid/griglia_dati.h"
#include "grid/testo_valore.h"
#include "table/salva_copia.h"
#include "table/sql_sicuro.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTextEdit>

namespace tabelle {

namespace {

const char *const kCopia = "TemporaneaVask";

std::string utf8(const QString &s) {
  return s.toUtf8().toStdString();
}

QString qs(const std::string &s) {
  return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

// The ID after the highest one (1 where there is none).
jet::Value IdDopo(const jet::Value &v) {
  if (v.isNull())
    return jet::Value(int32_t(1));
  if (auto *p = v.getIf<int32_t>())
    return jet::Value(int32_t(*p + 1));
  if (auto *p = v.getIf<int16_t>())
    return jet::Value(int32_t(*p + 1));
  if (auto *p = v.getIf<uint8_t>())
    return jet::Value(int32_t(*p + 1));
  if (auto *p = v.getIf<double>())
    return jet::Value(*p + 1);
  if (auto *p = v.getIf<float>())
    return jet::Value(double(*p) + 1);
  throw ErroreVask(static_cast<int>(jet::ErrorCode::TypeMismatch),
                   QStringLiteral("Il campo ID non è numerico: impossibile numerare la riga."));
}

// The busy pointer and a "Attendere, " text in panel 2 while the work runs, whatever its end.
class Attesa {
public:
  explicit Attesa(const QString &testo) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    MostraStatoOra(testo, 2);
  }
  ~Attesa() { Fine(); }
  void Fine() {
    if (attiva_) {
      QApplication::restoreOverrideCursor();
      MostraStato(QString(), 2);
      attiva_ = false;
    }
  }

private:
  bool attiva_ = true;
};

} // namespace

GestioneTabelle::GestioneTabelle(ControlliTabelle controlli, std::shared_ptr<BancaDati> banca)
    : c_(std::move(controlli)), banca_(std::move(banca)) {
  collegaGriglia();
}

GestioneTabelle::~GestioneTabelle() = default;

void GestioneTabelle::collegaGriglia() {
  grid::GrigliaDati *g = c_.grTabelle;
  if (!g)
    return;
  QObject::connect(g, &grid::GrigliaDati::RiposizionaCursore, g,
                   [this](int, int) { Protetto([this] { grTabelle_RiposizionaCursore(); }); });
  QObject::connect(g, &grid::GrigliaDati::OrdineCambiato, g, [this](int colonna, bool) {
    Protetto([&] { grTabelle_OrdineCambiato(colonna); });
  });
  QObject::connect(g, &grid::GrigliaDati::EventoInvio, g,
                   [this] { Protetto([this] { grTabelle_EventoInvio(); }); });
  QObject::connect(g, &grid::GrigliaDati::PrimaInserimento, g, [this](bool &annulla) {
    // A failure while numbering the row leaves no half-made row behind.
    if (!Protetto([&] { grTabelle_PrimaInserimento(annulla); }))
      annulla = true;
  });
  QObject::connect(g, &grid::GrigliaDati::PrimaCancellazione, g, [this](bool &annulla) {
    if (!Protetto([&] { grTabelle_PrimaCancellazione(annulla); }))
      annulla = true;
  });
  QObject::connect(g, &grid::GrigliaDati::TastoGiu, g, [this](int &codice, int maiuscole) {
    if (c_.TastoGiu)
      c_.TastoGiu(codice, maiuscole);
  });
  QObject::connect(g, &grid::GrigliaDati::CambioRiga, g,
                   [this](long, int) { Protetto([this] { grTabelle_CambioRiga(); }); });
  g->setGestoreErrori([](const jet::Status &st) {
    SegnalaErrore(st.number(), QString::fromStdString(st.message()));
  });
}

BancaDati &GestioneTabelle::banca() {
  if (!banca_ || !banca_->Aperto())
    throw ErroreVask(static_cast<int>(jet::ErrorCode::Closed),
                     QStringLiteral("Nessun database aperto: sceglierne uno con il pulsante "
                                    "\"Database\"."));
  return *banca_;
}

std::shared_ptr<data::Recordset> GestioneTabelle::recordset() const {
  return c_.grTabelle ? c_.grTabelle->RecordsetGriglia() : nullptr;
}

bool GestioneTabelle::filtrato() const {
  return Stato().CondizioneFiltro.toUpper() != QStringLiteral("WHERE ");
}

QString GestioneTabelle::TestoRecord(long posizione) const {
  auto rs = recordset();
  long n = rs ? rs->RecordCount() : 0;
  return qs(TestoContatore(posizione, n, filtrato()));
}

void GestioneTabelle::TerminaEdit() {
  if (c_.grTabelle && c_.grTabelle->EditInCorso())
    c_.grTabelle->setEditInCorso(false);
}

// ------------------------------------------------------------------ database and table list

void GestioneTabelle::btnDatabase_Click() {
  c_.btnTabella->setEnabled(false);
  RichiestaApriFile r;
  r.titolo = QStringLiteral("Apertura Database Access");
  r.cartellaIniziale = PercorsoDb;
  r.nomeFile = NomeDb;
  r.genitore = c_.List1 ? c_.List1->window() : nullptr;
  const QString scelto = ApriFile(r);
  const QString percorsoPrima = PercorsoDb, nomePrima = NomeDb;
  if (!scelto.isEmpty()) {
    int taglio = std::max(scelto.lastIndexOf(u'/'), scelto.lastIndexOf(u'\\'));
    PercorsoDb = scelto.left(taglio + 1);
    NomeDb = scelto.mid(taglio + 1);
  }
  if (!NomeDb.toUpper().endsWith(QStringLiteral(".MDB")) || NomeDb.startsWith(u'*'))
    return;
  try {
    ApriDatabase(PercorsoDb + NomeDb);
  } catch (...) {
    // The refused file is forgotten: the database in the label is still the open one.
    PercorsoDb = percorsoPrima;
    NomeDb = nomePrima;
    c_.btnTabella->setEnabled(banca_ && banca_->Aperto());
    throw;
  }
  c_.List1->setFocus();
  InviaTasto(c_.List1, Qt::Key_Space, Qt::NoModifier, false);
}

void GestioneTabelle::ApriDatabase(const QString &nomeCompleto) {
  if (!banca_)
    throw ErroreVask(static_cast<int>(jet::ErrorCode::Unsupported),
                     QStringLiteral("Impossibile aprire il database %1: motore non disponibile")
                         .arg(nomeCompleto));
  // The new connection and catalogue are made first; only then is anything replaced.
  auto nuova = std::make_shared<BancaDati>();
  nuova->ApriConnessione(nomeCompleto);
  auto tabelle = nuova->ElencaTabelle(nomeCompleto);
  if (banca_->Aperto() && banca_->ConnessioneDb->inTransaction())
    (void)banca_->ConnessioneDb->RollbackTrans();
  *banca_ = std::move(*nuova);
  c_.Label1->setText(nomeCompleto);
  c_.List1->clear();
  for (const auto &[nome, indice] : tabelle) {
    auto *voce = new QListWidgetItem(nome, c_.List1);
    voce->setData(Qt::UserRole, indice);
  }
  c_.btnTabella->setEnabled(true);
  c_.List1->setFocus();
  AvvisaSeInUso(banca_.get());
}

void GestioneTabelle::List1_Click() {
  QListWidgetItem *voce = c_.List1->currentItem();
  if (!voce)
    return;
  BancaDati &b = banca();
  StatoFinestra &s = Stato();
  s.TabellaCorrente = b.NomeCatalogo(voce->data(Qt::UserRole).toInt()).trimmed();
  // The open copy goes on naming its own table in the status bar; its commands stay as they are.
  if (s.CopiaAperta())
    return;
  const QString &tabella = s.TabellaCorrente;
  auto nome = NomeSql(utf8(tabella));
  if (!nome)
    throw ErroreVask(nome.status());
  // The rows "Select * from" the table would give, counted without reading their values.
  auto righe = data::ContaRighe(b.Connessione(), utf8(tabella));
  if (!righe)
    throw ErroreVask(righe.status());
  long conteggio = *righe;
  QString riempi = QStringLiteral(" ");
  MostraStato(RiempiADestra(tabella, 20, riempi) + QStringLiteral(" - Records: ") +
                  QString::number(conteggio),
              3);
  if (c_.AbilitaManutenzione)
    c_.AbilitaManutenzione(true);
}

// ------------------------------------------------------------------ the working copy

void GestioneTabelle::btnTabella_Click() {
  BancaDati &b = banca();
  const QString tabella = Stato().TabellaCorrente;
  if (tabella.trimmed().isEmpty()) {
    MsgBox(QStringLiteral("Scegliere prima una tabella dall'elenco."), vbOKOnly + vbExclamation,
           QStringLiteral("Apri Tabella"));
    return;
  }
  auto nome = NomeSql(utf8(tabella));
  if (!nome)
    throw ErroreVask(nome.status());
  Attesa attesa(QStringLiteral("Attendere, apertura di ") + tabella +
                QStringLiteral(" in corso..."));
  // The grid lets go of the old copy before it is dropped.
  TerminaEdit();
  if (c_.grTabelle)
    c_.grTabelle->Svuota();
  Stato().TabellaCopia.clear();
  b.InTransazione([&] {
    b.EseguiIgnorandoErrori("DROP table TemporaneaVask");
    b.Esegui("SELECT * Into TemporaneaVask from " + *nome);
  });
  Stato().TabellaCopia = tabella;
  // The fields "select * from TemporaneaVask" gives and its row count, without reading the rows.
  auto copia = b.Connessione().database().storage().table(kCopia);
  if (!copia)
    throw ErroreVask(copia.status());
  const auto &campi = (*copia)->columns();
  Stato().HaCampoID = false;
  Stato().CampoOrdine = campi.empty() ? QString() : qs(campi[0].name);
  for (const auto &f : campi)
    if (f.name == "ID") {
      Stato().HaCampoID = true;
      break;
    }
  auto righe = data::ContaRighe(b.Connessione(), kCopia);
  if (!righe)
    throw ErroreVask(righe.status());
  attesa.Fine();
  if (*righe < 1) {
    if (MsgBox(QStringLiteral("Tabella Vuota ! \r\nAggiungere un record vuoto ?"),
               vbYesNo + vbCritical + vbDefaultButton2,
               QStringLiteral("TABELLA  VUOTA")) != vbYes) {
      Stato().GrigliaVuota = true;
      return;
    }
    // Every field empty, defaults as the copy's columns give them; the ID numbered as "Nuova
    // riga" numbers it, or the save would meet a Null key the operator never typed.
    const jet::Value id = Stato().HaCampoID ? IdSuccessivo() : jet::Value();
    b.InTransazione([&] { InserisciRigaVuota(id); });
  }
  Stato().GrigliaVuota = true;
  TerminaEdit();
  c_.btnDatabase->setEnabled(false);
  Stato().CondizioneFiltro = QStringLiteral("Where ");
  CaricaGriglia(Stato().TabellaCopia, QString());
  AbilitaGruppo(true, QStringLiteral("prima"));
  AbilitaGruppo(true, QStringLiteral("seconda"));
  if (c_.AbilitaManutenzione)
    c_.AbilitaManutenzione(false);
  Stato().GrigliaVuota = false;
  c_.Frame_main->setEnabled(true);
  c_.grTabelle->setFocus();
}

void GestioneTabelle::CaricaGriglia(const QString &tabella, const QString &condizione) {
  BancaDati &b = banca();
  grid::GrigliaDati &g = *c_.grTabelle;
  std::string sql = "select * FROM TemporaneaVask ";
  // "Where " alone (in any case) is no condition at all.
  if (!SenzaCondizioni(utf8(condizione)))
    sql += utf8(condizione);
  Verifica(g.CaricaSql(sql, [&b](const std::string &testo) {
    return b.GestoreDb.get_Rs(testo, "", 1, 3, 1, b.Connessione().shared_from_this());
  }));
  if (Stato().HaCampoID) {
    Stato().CampoOrdine = QStringLiteral("ID");
    g.CampoChiave("id");
  }
  Verifica(g.OrdinaSu(utf8(Stato().CampoOrdine)));
  QFont f = g.FontGriglia();
  f.setBold(true);
  g.setFontGriglia(f);
  g.setTitolo(QStringLiteral("Tabella: ") + tabella.toUpper() + QStringLiteral(" - Ordine su ") +
              Stato().CampoOrdine);
  auto rs = g.RecordsetGriglia();
  for (int i = 0; i < rs->fieldCount(); ++i) {
    const std::string &campo = rs->fields()[i].name;
    QString testo = qs(campo);
    while (testo.startsWith(u' '))
      testo.remove(0, 1);
    Verifica(g.IntestaColonna(
        testo + QStringLiteral("\r\n(") + QString::number(i) + QStringLiteral(")"), campo));
  }
  g.setConsentiModifica(true);
  g.setConsentiInserimento(true);
  g.setConsentiCancellazione(true);
  g.setStileLinee(3);
  g.setColoreSfondo(16777215);
  g.setColoreTesto(0x80000008u);
  g.setSelettoriRecord(true);
  g.setEditInCorso(true);
  MostraStato(TestoRecord(1), 3);
}

void GestioneTabelle::btnSalva_Click() {
  BancaDati &b = banca();
  // Only the table the copy was made from receives it.
  const QString tabella = Stato().TabellaCopia;
  if (tabella.isEmpty()) {
    MsgBox(QStringLiteral("Nessuna tabella aperta da registrare."), vbOKOnly + vbExclamation,
           QStringLiteral("Salva"));
    return;
  }
  if (c_.grTabelle)
    c_.grTabelle->setEditInCorso(false);
  AbilitaGruppo(false, QStringLiteral("prima"));
  AbilitaGruppo(false, QStringLiteral("seconda"));
  jet::Status st;
  {
    Attesa attesa(QStringLiteral("Attendere, registrazione di ") + tabella +
                  QStringLiteral(" in corso..."));
    st = SalvaCopia(b.Connessione(), utf8(tabella), kCopia).status();
  }
  if (!st) {
    // Nothing has changed: the copy stays open for correction.
    AbilitaGruppo(true, QStringLiteral("prima"));
    AbilitaGruppo(true, QStringLiteral("seconda"));
    if (c_.AbilitaManutenzione)
      c_.AbilitaManutenzione(false);
    MsgBox(QStringLiteral("La tabella ") + tabella +
               QStringLiteral(" non è stata registrata e non è cambiata.\r\n") + qs(st.message()) +
               QStringLiteral("\r\n(Errore ") + QString::number(st.number()) + QStringLiteral(")"),
           vbOKOnly + vbCritical, QStringLiteral("Registrazione non eseguita"));
    if (c_.grTabelle)
      c_.grTabelle->setFocus();
    return;
  }
  if (c_.grTabelle)
    c_.grTabelle->Svuota();
  Stato().TabellaCopia.clear();
  c_.btnDatabase->setEnabled(true);
  MostraStato(QString(), 3);
  c_.List1->setFocus();
  if (c_.AbilitaManutenzione)
    c_.AbilitaManutenzione(true);
}

void GestioneTabelle::btnUscita_Click() {
  TerminaEdit();
  AbilitaGruppo(false, QStringLiteral("prima"));
  AbilitaGruppo(false, QStringLiteral("seconda"));
  if (c_.grTabelle)
    c_.grTabelle->Svuota();
  if (banca_)
    banca_->EseguiIgnorandoErrori("DROP table TemporaneaVask");
  Stato().TabellaCopia.clear();
  c_.btnDatabase->setEnabled(true);
  MostraStato(QString(), 3);
  c_.List1->setFocus();
  if (c_.AbilitaManutenzione)
    c_.AbilitaManutenzione(true);
}

// ------------------------------------------------------------------ grid editing

jet::Value GestioneTabelle::IdSuccessivo() {
  auto rs = banca().Leggi("select * from TemporaneaVask order by ID desc;", 1, 1);
  jet::Value v;
  if (!rs->isEOF()) {
    auto r = rs->value("ID");
    if (!r)
      throw ErroreVask(r.status());
    v = *r;
  }
  rs->Close();
  return IdDopo(v);
}

data::RowId GestioneTabelle::InserisciRigaVuota(const jet::Value &id) {
  auto t = banca().Connessione().database().storage().table(kCopia);
  if (!t)
    throw ErroreVask(t.status());
  const auto &colonne = (*t)->columns();
  const size_t n = colonne.size();
  sql::Row riga(n);
  std::vector<bool> dati(n, false);
  for (size_t i = 0; i < n && !id.isNull(); ++i)
    if (colonne[i].name == "ID") {
      riga[i] = id;
      dati[i] = true;
    }
  auto r = (*t)->insert(riga, dati);
  if (!r)
    throw ErroreVask(r.status());
  return *r;
}

bool GestioneTabelle::NuovaRigaInGriglia() {
  auto rs = recordset();
  if (!rs || !rs->isOpen() || rs->adding() || filtrato())
    return false;
  const int campoId = rs->fieldIndex("ID");
  if (campoId < 0 || rs->sortField() != campoId || !rs->sortAscending() || !rs->inSortOrder())
    return false;
  // A copy changed behind the grid (rows the grid does not hold) is read again.
  BancaDati &b = banca();
  auto righe = data::ContaRighe(b.Connessione(), kCopia);
  if (!righe || *righe != rs->RecordCount())
    return false;
  const long n = rs->RecordCount();
  const jet::Value id = IdDopo(n > 0 ? rs->valueAt(n - 1, campoId) : jet::Value());
  data::RowId dove = 0;
  std::vector<jet::Value> valori;
  b.InTransazione([&] {
    dove = InserisciRigaVuota(id);
    // The row as stored, defaults included: what reading the copy again would show.
    auto letta = b.Connessione().database().engine().readRow(kCopia, data::toLocation(dove));
    if (!letta)
      throw ErroreVask(letta.status());
    valori = std::move(*letta);
  });
  rs->insertLoadedRow(dove, valori);
  return true;
}

void GestioneTabelle::btnNuovo_Click() {
  c_.grTabelle->setFocus();
  if (Stato().HaCampoID) {
    TerminaEdit();
    BancaDati &b = banca();
    if (NuovaRigaInGriglia()) {
      grTabelle_CambioRiga(); // the grid is already on the new row
    } else {
      jet::Value id = IdSuccessivo();
      auto lett = LetteraleSql(id);
      if (!lett)
        throw ErroreVask(lett.status());
      b.InTransazione([&] { b.Esegui("INSERT INTO TemporaneaVask (ID) VALUES (" + *lett + ")"); });
      CaricaGriglia(Stato().TabellaCopia, QString());
    }
    c_.grTabelle->setFocus();
    // The new row has the highest ID: the last one.
    c_.grTabelle->setRow(static_cast<int>(recordset()->RecordCount()) - 1);
    InviaTasto(c_.grTabelle->vista(), Qt::Key_End, Qt::NoModifier, false);
  }
  Stato().GrigliaVuota = false;
}

void GestioneTabelle::btnEditG_Click() {
  auto rs = recordset();
  if (!rs || rs->isEOF() || rs->isBOF())
    return;
  int col = c_.grTabelle->ColonnaCorrente();
  if (col < 0 || col >= rs->fieldCount())
    return;
  const data::Field &f = rs->fields()[col];
  if (f.name == "ID" || !data::isTextAdoType(f.type))
    return;
  StileRiquadro(c_.frEditG, c_.shEditG, c_.etEditG, QStringLiteral("Modifica"));
  CentraRiquadro(c_.frEditG, c_.Frame_main, 0, 0);
  testoEditG_ = c_.grTabelle->TestoCella();
  c_.txEditG->setPlainText(grid::testoPerEditor(testoEditG_));
  c_.frEditG->show();
  c_.frEditG->raise();
  c_.txEditG->setFocus();
}

void GestioneTabelle::btnSalvaEG_Click() {
  jet::Status st =
      c_.grTabelle->setTestoCella(grid::testoDaEditor(c_.txEditG->toPlainText(), testoEditG_));
  c_.frEditG->hide();
  c_.grTabelle->setFocus();
  Verifica(st);
}

void GestioneTabelle::btnEscEG_Click() {
  c_.frEditG->hide();
  c_.grTabelle->setFocus();
}

void GestioneTabelle::btnVuota_Click() {
  int col = c_.grTabelle->ColonnaCorrente();
  TerminaEdit();
  Stato().CondizioneFiltro = QStringLiteral("Where ");
  CaricaGriglia(Stato().TabellaCopia, QString());
  c_.grTabelle->setFocus();
  if (col > 0)
    c_.grTabelle->setCol(col);
}

void GestioneTabelle::btnFiltro_Click() {
  auto rs = recordset();
  if (!rs || rs->isEOF() || rs->isBOF() || rs->adding()) {
    MsgBox(QStringLiteral("Nessuna riga selezionata: scegliere la cella con il valore da "
                          "filtrare."),
           vbOKOnly + vbExclamation, QStringLiteral("Filtra"));
    return;
  }
  int col = c_.grTabelle->ColonnaCorrente();
  if (col < 0 || col >= rs->fieldCount())
    return;
  const data::Field campo = rs->fields()[col];
  auto valore = rs->value(col);
  if (!valore)
    throw ErroreVask(valore.status());
  auto cond = CondizioneUguale(campo, *valore);
  if (!cond) {
    MsgBox(qs(cond.status().message()), vbOKOnly + vbExclamation, QStringLiteral("Filtra"));
    return;
  }
  const QString prima = Stato().CondizioneFiltro;
  std::string testo = utf8(prima);
  AggiungiCondizione(testo, *cond);
  Stato().CondizioneFiltro = qs(testo);
  TerminaEdit();
  try {
    CaricaGriglia(Stato().TabellaCopia, Stato().CondizioneFiltro);
  } catch (...) {
    // A condition the database refuses is not kept.
    Stato().CondizioneFiltro = prima;
    throw;
  }
  c_.grTabelle->setFocus();
  if (col > 0)
    c_.grTabelle->setCol(col);
}

// ------------------------------------------------------------------ grid events

void GestioneTabelle::grTabelle_RiposizionaCursore() {
  grid::GrigliaDati &g = *c_.grTabelle;
  const int col = g.ColonnaCorrente();
  QWidget *vista = g.vista();
  if (g.row() == 0) {
    g.setCol(col);
    InviaTasto(vista, Qt::Key_Home, Qt::NoModifier, false);
  } else {
    g.setCol(col);
    InviaTasto(vista, Qt::Key_Up, Qt::NoModifier, false);
    InviaTasto(vista, Qt::Key_Down, Qt::NoModifier, false);
  }
}

void GestioneTabelle::grTabelle_OrdineCambiato(int colonna) {
  const auto &colonne = c_.grTabelle->Colonne();
  if (colonna < 0 || colonna >= static_cast<int>(colonne.size()))
    return;
  c_.grTabelle->setTitolo(QStringLiteral("Tabella: ") + Stato().TabellaCopia.toUpper() +
                          QStringLiteral(" - Ordine su ") + colonne[colonna].Testo());
}

void GestioneTabelle::grTabelle_EventoInvio() {
  InviaTasto(c_.grTabelle->vista(), Qt::Key_Return, Qt::NoModifier, false);
}

void GestioneTabelle::grTabelle_PrimaInserimento(bool &annulla) {
  if (Stato().TabellaVuota) {
    annulla = true;
    Stato().TabellaVuota = false;
    return;
  }
  QApplication::beep();
  if (MsgBox(QStringLiteral("Aggiungere una riga nuova?"),
             vbYesNo + vbQuestion + vbDefaultButton2) != vbYes) {
    annulla = true;
    return;
  }
  if (Stato().HaCampoID) {
    auto rs = recordset();
    int i = rs->fieldIndex("ID");
    if (i >= 0)
      Verifica(rs->setValue(i, IdSuccessivo()));
  }
}

void GestioneTabelle::grTabelle_PrimaCancellazione(bool &annulla) {
  QApplication::beep();
  auto rs = recordset();
  if (rs && rs->RecordCount() == 1)
    MsgBox(QStringLiteral("Per vuotare completamente la tabella utilizzare F7 e scegliere TUTTI!"),
           vbOKOnly + vbExclamation, QStringLiteral("Consiglio"));
  if (MsgBox(QStringLiteral("Eliminare definitamente la riga indicata?"),
             vbYesNo + vbQuestion + vbDefaultButton2) != vbYes)
    annulla = true;
}

void GestioneTabelle::grTabelle_CambioRiga() {
  auto rs = recordset();
  if (!rs)
    return;
  long p = rs->AbsolutePosition();
  if (p < 0)
    return;
  MostraStato(TestoRecord(p), 3);
}

} // namespace tabelle
