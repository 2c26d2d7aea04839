#include "grid/griglia_dati.h"

#include "data/ado_types.h"
#include "grid/griglia_interna.h"
#include "grid/tasti.h"
#include "grid/testo_valore.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <algorithm>

namespace grid {

namespace {

QColor coloreWindows(uint32_t c, const QPalette &p) {
  if (c & 0x80000000u) {
    switch (c & 0xFF) {
    case 2:
    case 13:
      return p.color(QPalette::Highlight);
    case 5:
      return p.color(QPalette::Base);
    case 8:
      return p.color(QPalette::Text);
    case 9:
    case 14:
      return p.color(QPalette::HighlightedText);
    case 10:
    case 12:
    case 15:
      return p.color(QPalette::Button);
    case 18:
      return p.color(QPalette::ButtonText);
    default:
      return p.color(QPalette::WindowText);
    }
  }
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

jet::Status conNota(const jet::Status &st, const std::string &nota) {
  return {st.code(), st.message() + "\n" + nota};
}

} // namespace

GrigliaDati::GrigliaDati(QWidget *parent) : QWidget(parent) {
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  titolo_ = new QLabel(this);
  titolo_->setAlignment(Qt::AlignCenter);
  titolo_->setStyleSheet(
      "QLabel { background: #1f3f6f; color: white; font-weight: bold; padding: 3px; }");
  titolo_->hide();
  vista_ = new VistaGriglia(this);
  modello_ = new ModelloGriglia(this);
  delegato_ = new DelegatoGriglia(this);
  vista_->setModel(modello_);
  vista_->setItemDelegate(delegato_);
  layout->addWidget(titolo_);
  layout->addWidget(vista_);
  setFocusProxy(vista_);
  connect(vista_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          &GrigliaDati::ordinaDaIntestazione);
  aggiornaAltezzaRighe();
}

GrigliaDati::~GrigliaDati() {
  // The view asks the model for headers while it goes: it must go while the recordset is here.
  delete vista_;
  vista_ = nullptr;
  if (rs_)
    rs_->setListener(nullptr);
}

QTableView *GrigliaDati::vista() const {
  return vista_;
}

bool GrigliaDati::rigaNuova(int r) const {
  return r >= 0 && modello_->haRigaNuova() && r == rs_->RecordCount();
}

// ---------------------------------------------------------------- loading

jet::Status GrigliaDati::CaricaSql(const std::string &sql, const CaricatoreSql &caricatore) {
  if (!caricatore)
    return {jet::ErrorCode::Closed, "Nessuna connessione da cui leggere i dati della griglia."};
  auto r = caricatore(sql);
  if (!r)
    return r.status();
  if (!*r)
    return {jet::ErrorCode::Closed, "La lettura non ha restituito alcun recordset."};
  CaricaRecordset(*r);
  return {};
}

jet::Status GrigliaDati::CaricaSql(const std::string &sql,
                                   std::shared_ptr<data::Connection> &connessione) {
  if (!connessione || !connessione->isOpen())
    return {jet::ErrorCode::Closed, "Operazione non consentita se l'oggetto è chiuso."};
  auto c = connessione;
  return CaricaSql(sql, [c](const std::string &testo) {
    return c->OpenRecordset(testo, data::CursorType::Keyset, data::LockType::Optimistic);
  });
}

jet::Status GrigliaDati::CaricaSql(const std::string &sql) {
  return CaricaSql(sql, caricatore_);
}

void GrigliaDati::CaricaRecordset(std::shared_ptr<data::Recordset> rs) {
  if (EditInCorso())
    vista_->terminaModifica(true);
  if (rs_)
    rs_->setListener(nullptr);
  rs_ = std::move(rs);
  colonne_.clear();
  if (rs_) {
    for (const auto &f : rs_->fields())
      colonne_.push_back({f.name, QString::fromStdString(f.name)});
    rs_->setListener([this](data::RecordsetChange c, long p) { suCambioRecordset(c, p); });
  }
  sincronizzando_ = true;
  if (rs_ && rs_->isOpen() && !rs_->adding())
    rs_->MoveFirst();
  modello_->ricarica();
  riga_ = -1;
  colonna_ = 0;
  if (modello_->rowCount() > 0 && modello_->columnCount() > 0) {
    vista_->setCurrentIndex(modello_->index(0, 0));
    riga_ = 0;
  }
  sincronizzando_ = false;
  vistaInAttesa_ = false;
  rigaMostrata_ = riga_;
  modello_->selettoreCambiato(-1, riga_);
  auto *h = vista_->horizontalHeader();
  if (rs_ && rs_->sortField() >= 0) {
    h->setSortIndicatorShown(true);
    h->setSortIndicator(rs_->sortField(),
                        rs_->sortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
  } else {
    h->setSortIndicatorShown(false);
  }
  adattaColonne();
}

void GrigliaDati::Svuota() {
  CaricaRecordset(nullptr);
}

jet::Status GrigliaDati::OrdinaSu(const std::string &campo, bool crescente) {
  if (!rs_)
    return {jet::ErrorCode::Closed, "La griglia non mostra alcun dato."};
  int i = rs_->fieldIndex(campo);
  if (i < 0)
    return {jet::ErrorCode::NoSuchColumn, "Impossibile trovare il campo '" + campo + "'."};
  if (EditInCorso())
    vista_->terminaModifica(true);
  rs_->CancelUpdate();
  rs_->Sort(i, crescente); // the first row becomes current
  vista_->horizontalHeader()->setSortIndicatorShown(true);
  vista_->horizontalHeader()->setSortIndicator(i, crescente ? Qt::AscendingOrder
                                                            : Qt::DescendingOrder);
  return {};
}

void GrigliaDati::ordinaDaIntestazione(int colonna) {
  if (!rs_ || colonna < 0 || colonna >= rs_->fieldCount())
    return;
  if (EditInCorso())
    vista_->terminaModifica(true);
  rs_->CancelUpdate();
  bool crescente = !(rs_->sortField() == colonna && rs_->sortAscending());
  long n = rs_->RecordCount();
  bool haCorrente = riga_ >= 0 && riga_ < n;
  data::RowId corrente = haCorrente ? rs_->rowIdAt(riga_) : 0;
  // The record the operator was on stays current in its new place.
  tieniCorrente_ = true;
  rs_->Sort(colonna, crescente);
  tieniCorrente_ = false;
  if (haCorrente) {
    for (long p = 0; p < n; ++p) {
      if (rs_->rowIdAt(p) == corrente) {
        sincronizzando_ = true;
        rs_->setAbsolutePosition(p + 1);
        sincronizzando_ = false;
        break;
      }
    }
  }
  seguiRecordset(true);
  vista_->horizontalHeader()->setSortIndicatorShown(true);
  vista_->horizontalHeader()->setSortIndicator(colonna, crescente ? Qt::AscendingOrder
                                                                  : Qt::DescendingOrder);
  emit OrdineCambiato(colonna, crescente);
}

jet::Status GrigliaDati::IntestaColonna(const QString &testo, const std::string &campo) {
  int i = rs_ ? rs_->fieldIndex(campo) : -1;
  if (i < 0)
    return {jet::ErrorCode::NoSuchColumn, "Impossibile trovare il campo '" + campo + "'."};
  colonne_[i].intestazione = testo;
  emit modello_->headerDataChanged(Qt::Horizontal, i, i);
  adattaColonne();
  return {};
}

// ---------------------------------------------------------------- properties

QString GrigliaDati::TestoCella() const {
  if (EditInCorso() && delegato_->editorAperto())
    return DelegatoGriglia::testoEditor(delegato_->editorAperto(),
                                        vista_->currentIndex().data(Qt::EditRole).toString());
  if (!rs_ || riga_ < 0 || colonna_ >= rs_->fieldCount())
    return {};
  if (riga_ < rs_->RecordCount())
    return QString::fromStdString(testoValore(rs_->valueAt(riga_, colonna_)));
  if (rs_->adding()) {
    auto v = rs_->value(colonna_);
    return v ? QString::fromStdString(testoValore(*v)) : QString();
  }
  return {};
}

jet::Status GrigliaDati::setTestoCella(const QString &testo) {
  if (!rs_ || riga_ < 0 || colonna_ >= rs_->fieldCount())
    return {jet::ErrorCode::NoCurrentRecord, "Nessuna cella corrente."};
  if (EditInCorso())
    vista_->terminaModifica(false);
  ultimoErrore_ = {};
  scriviTesto(riga_, colonna_, testo);
  return ultimoErrore_;
}

bool GrigliaDati::EditInCorso() const {
  return vista_->inModifica();
}

void GrigliaDati::setEditInCorso(bool attivo) {
  if (!attivo && EditInCorso())
    vista_->terminaModifica(true);
}

QString GrigliaDati::Titolo() const {
  return titolo_->text();
}

void GrigliaDati::setTitolo(const QString &titolo) {
  titolo_->setText(titolo);
  titolo_->setVisible(!titolo.isEmpty());
}

QFont GrigliaDati::FontGriglia() const {
  return vista_->font();
}

void GrigliaDati::setFontGriglia(const QFont &font) {
  vista_->setFont(font);
  vista_->horizontalHeader()->setFont(font);
  aggiornaAltezzaRighe();
  adattaColonne();
}

void GrigliaDati::setConsentiModifica(bool si) {
  consentiModifica_ = si;
}

void GrigliaDati::setConsentiInserimento(bool si) {
  if (si == consentiInserimento_)
    return;
  if (!si && rs_)
    rs_->CancelUpdate();
  consentiInserimento_ = si;
  sincronizzando_ = true;
  modello_->ricarica();
  sincronizzando_ = false;
  seguiRecordset(true);
}

void GrigliaDati::setConsentiCancellazione(bool si) {
  consentiCancellazione_ = si;
}

void GrigliaDati::setStileLinee(int stile) {
  vista_->setShowGrid(stile != 0);
}

void GrigliaDati::setSelettoriRecord(bool si) {
  vista_->verticalHeader()->setVisible(si);
}

void GrigliaDati::setColoreSfondo(uint32_t colore) {
  QPalette p = vista_->palette();
  p.setColor(QPalette::Base, coloreWindows(colore, p));
  vista_->setPalette(p);
}

void GrigliaDati::setColoreTesto(uint32_t colore) {
  QPalette p = vista_->palette();
  p.setColor(QPalette::Text, coloreWindows(colore, p));
  vista_->setPalette(p);
}

void GrigliaDati::setRow(int riga) {
  if (vistaInAttesa_)
    allineaVista();
  if (riga >= 0 && riga < modello_->rowCount())
    vista_->setCurrentIndex(modello_->index(riga, std::max(0, colonna_)));
}

void GrigliaDati::setCol(int colonna) {
  if (vistaInAttesa_)
    allineaVista();
  if (colonna < 0 || colonna >= modello_->columnCount())
    return;
  if (riga_ >= 0)
    vista_->setCurrentIndex(modello_->index(riga_, colonna));
  else
    colonna_ = colonna;
}

// ---------------------------------------------------------------- keys

GrigliaDati::EsitoTasto GrigliaDati::segnalaTasto(QKeyEvent *e, QObject *destinatario) {
  int codice = codiceTasto(e->key(), e->modifiers());
  if (codice == 0)
    return EsitoTasto::Passa;
  const int prima = codice;
  QPointer<GrigliaDati> vivo(this);
  emit TastoGiu(codice, statoMaiuscole(e->modifiers()));
  if (!vivo)
    return EsitoTasto::Inghiottito;
  if (codice == 0) {
    e->accept();
    return EsitoTasto::Inghiottito;
  }
  if (codice == prima)
    return EsitoTasto::Passa;
  // The handler put another key in its place: that key is the one the grid acts on.
  bool tastierino = false;
  int k = tastoQt(codice, &tastierino);
  e->accept();
  if (k == 0)
    return EsitoTasto::Inghiottito;
  Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
  if (tastierino)
    mods |= Qt::KeypadModifier;
  QString testo;
  if (k >= Qt::Key_A && k <= Qt::Key_Z && !(mods & (Qt::ControlModifier | Qt::AltModifier)))
    testo = (mods & Qt::ShiftModifier) ? QChar(k) : QChar(k).toLower();
  else if (k >= Qt::Key_0 && k <= Qt::Key_9)
    testo = QChar(k);
  else if (k == Qt::Key_Space)
    testo = " ";
  QKeyEvent nuovo(QEvent::KeyPress, k, mods, testo);
  QKeyEvent *precedente = sostituto_;
  sostituto_ = &nuovo;
  QCoreApplication::sendEvent(destinatario, &nuovo);
  if (vivo) {
    sostituto_ = precedente;
    if (tastoSegnalato_ == &nuovo)
      tastoSegnalato_ = nullptr;
  }
  return EsitoTasto::Sostituito;
}

// ---------------------------------------------------------------- writing

bool GrigliaDati::scriviTesto(int riga, int colonna, const QString &testo) {
  if (!rs_ || colonna < 0 || colonna >= rs_->fieldCount())
    return false;
  const data::Field &campo = rs_->fields()[colonna];
  std::string t = testo.toStdString();
  jet::Value attuale;
  if (riga >= 0 && riga < rs_->RecordCount()) {
    attuale = rs_->valueAt(riga, colonna);
  } else if (rs_->adding()) {
    auto v = rs_->value(colonna);
    if (v)
      attuale = *v;
  }
  if (testoValore(attuale) == t)
    return true; // nothing changed: nothing to write
  auto v = leggiValore(t, campo);
  if (!v) {
    esitoModifica_ = EsitoModifica::Rifiutata;
    riferisci(v.status());
    return false;
  }
  return scriviValore(riga, colonna, *v, testo);
}

bool GrigliaDati::scriviValore(int riga, int colonna, const jet::Value &v, const QString &testo) {
  auto rs = rs_;
  if (!rs)
    return false;
  const bool inModifica = EditInCorso();
  const std::string nome = rs->fields()[colonna].name;
  if (rigaNuova(riga)) {
    if (!consentiInserimento_)
      return false;
    if (!rs->adding()) {
      jet::Status st = rs->AddNew();
      if (!st) {
        riferisci(st);
        return false;
      }
      bool annulla = false;
      QPointer<GrigliaDati> vivo(this);
      emit PrimaInserimento(annulla);
      if (!vivo || rs_ != rs)
        return false; // the handler closed or reloaded the grid
      if (annulla) {
        rs->CancelUpdate();
        return false;
      }
    }
    jet::Status st = rs->setValue(colonna, v);
    if (st)
      st = rs->Update();
    if (!st) {
      // The row stays pending in the new-row line with what was typed, to be corrected.
      esitoModifica_ = EsitoModifica::Rifiutata;
      riferisci(conNota(st, "La riga nuova non è stata registrata: correggerne i valori; "
                            "passando a un'altra riga viene abbandonata."));
      return false;
    }
  } else {
    if (riga < 0 || riga >= rs->RecordCount() || !consentiModifica_)
      return false;
    // An editor left open on another row (the cursor moved on) writes into its own row, and
    // the recordset goes back to the grid's current row.
    const long corrente = rs->currentIndex();
    sincronizzando_ = true;
    if (riga != corrente)
      rs->setAbsolutePosition(riga + 1);
    jet::Status st = rs->setValue(colonna, v);
    if (riga != corrente)
      posizionaRecordset(riga_);
    sincronizzando_ = false;
    if (!st) {
      esitoModifica_ = EsitoModifica::Rifiutata;
      riferisci(conNota(st, "Il valore \"" + testo.toStdString() + "\" del campo " + nome +
                                " non è stato registrato."));
      return false;
    }
  }
  esitoModifica_ = EsitoModifica::Scritta;
  if (inModifica)
    scrittoInModifica_ = true;
  else
    emit RiposizionaCursore(riga_, colonna_);
  return true;
}

void GrigliaDati::dopoModifica(bool invio) {
  bool scritto = scrittoInModifica_;
  bool rifiutata = esitoModifica_ == EsitoModifica::Rifiutata;
  scrittoInModifica_ = false;
  esitoModifica_ = EsitoModifica::Nessuna;
  QPointer<GrigliaDati> vivo(this);
  // After the message about a refused value the operator goes on in the grid, not wherever the
  // closed editor's focus fell.
  if (rifiutata && isVisible())
    vista_->setFocus();
  if (scritto)
    emit RiposizionaCursore(riga_, colonna_);
  if (vivo && invio && !rifiutata)
    emit EventoInvio();
}

void GrigliaDati::eliminaRiga(int riga) {
  auto rs = rs_;
  if (!rs || !consentiCancellazione_ || !rs->updatable())
    return;
  if (rigaNuova(riga)) {
    rs->CancelUpdate();
    return;
  }
  if (riga < 0 || riga >= rs->RecordCount())
    return;
  if (riga != riga_)
    setRow(riga);
  const data::RowId id = rs->rowIdAt(riga);
  bool annulla = false;
  QPointer<GrigliaDati> vivo(this);
  emit PrimaCancellazione(annulla);
  if (!vivo || rs_ != rs || annulla)
    return;
  // The handler may have moved the recordset: the row the operator chose is the one to go.
  long p = riga;
  if (p >= rs->RecordCount() || rs->rowIdAt(p) != id) {
    p = -1;
    for (long i = 0; i < rs->RecordCount(); ++i)
      if (rs->rowIdAt(i) == id) {
        p = i;
        break;
      }
    if (p < 0)
      return;
  }
  sincronizzando_ = true;
  rs->setAbsolutePosition(p + 1);
  sincronizzando_ = false;
  jet::Status st = rs->Delete();
  if (!st) {
    seguiRecordset(false);
    riferisci(conNota(st, "La riga non è stata eliminata."));
  }
}

void GrigliaDati::riferisci(const jet::Status &st) {
  ultimoErrore_ = st;
  if (gestoreErrori_) {
    gestoreErrori_(st);
    return;
  }
  QMessageBox::warning(
      this, QStringLiteral("Errore"),
      QStringLiteral("Errore %1\n%2").arg(st.number()).arg(QString::fromStdString(st.message())));
}

// ---------------------------------------------------------------- following the recordset

void GrigliaDati::suCambioRecordset(data::RecordsetChange c, long posizione) {
  using C = data::RecordsetChange;
  const bool prima = sincronizzando_;
  switch (c) {
  case C::Moved:
    if (!sincronizzando_)
      seguiRecordset(false);
    break;
  case C::RowChanged:
    modello_->rigaCambiata(posizione);
    break;
  case C::RowInserted:
    sincronizzando_ = true;
    modello_->rigaAggiunta(posizione);
    sincronizzando_ = prima;
    if (!prima)
      seguiRecordset(false);
    break;
  case C::RowDeleted:
    sincronizzando_ = true;
    modello_->rigaTolta(posizione);
    sincronizzando_ = prima;
    seguiRecordset(true);
    break;
  case C::Reordered:
  case C::Closed:
    sincronizzando_ = true;
    modello_->ricarica();
    sincronizzando_ = prima;
    if (!tieniCorrente_)
      seguiRecordset(true);
    break;
  case C::Pending:
    modello_->rigaNuovaCambiata();
    break;
  }
}

void GrigliaDati::seguiRecordset(bool forza) {
  int target = -1;
  if (rs_ && rs_->isOpen()) {
    long p = rs_->currentIndex();
    long n = rs_->RecordCount();
    if (p >= 0 && p < n)
      target = static_cast<int>(p);
    else if (p >= n && modello_->haRigaNuova())
      target = static_cast<int>(n);
  }
  if (!forza && target == riga_)
    return;
  const long prima = riga_;
  riga_ = target;
  // The view catches up once per turn of the event loop (or before it next acts): a program
  // walking the recordset, as the report does, pays for the move, not for a repaint per row.
  if (forza) {
    allineaVista(); // after a change of rows the view must agree at once
  } else if (!vistaInAttesa_) {
    vistaInAttesa_ = true;
    QMetaObject::invokeMethod(
        this, [this] { allineaVista(); }, Qt::QueuedConnection);
  }
  emit CambioRiga(prima, std::clamp(colonna_, 0, std::max(0, modello_->columnCount() - 1)));
}

void GrigliaDati::allineaVista() {
  vistaInAttesa_ = false;
  const int target = riga_;
  const int colonna = std::clamp(colonna_, 0, std::max(0, modello_->columnCount() - 1));
  const QModelIndex cur = vista_->currentIndex();
  if (!(cur.isValid() && cur.row() == target) || (target < 0 && cur.isValid())) {
    sincronizzando_ = true;
    auto *sel = vista_->selectionModel();
    if (target >= 0 && target < modello_->rowCount() && modello_->columnCount() > 0)
      sel->setCurrentIndex(modello_->index(target, colonna), QItemSelectionModel::ClearAndSelect);
    else
      sel->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
    sincronizzando_ = false;
  }
  modello_->selettoreCambiato(rigaMostrata_, target);
  rigaMostrata_ = target;
}

void GrigliaDati::suCorrenteCambiata(int riga, int colonna, int colonnaPrecedente) {
  if (colonna >= 0)
    colonna_ = colonna;
  if (sincronizzando_ || riga == riga_)
    return;
  const long prima = riga_;
  // Leaving a new row the table refused drops it; the refusal has been reported.
  if (rs_ && rs_->adding() && rigaNuova(static_cast<int>(prima)))
    rs_->CancelUpdate();
  riga_ = riga;
  posizionaRecordset(riga);
  modello_->selettoreCambiato(rigaMostrata_, riga);
  rigaMostrata_ = riga;
  emit CambioRiga(prima, colonnaPrecedente < 0 ? colonna_ : colonnaPrecedente);
}

void GrigliaDati::posizionaRecordset(int riga) {
  if (!rs_ || !rs_->isOpen())
    return;
  sincronizzando_ = true;
  long n = rs_->RecordCount();
  if (riga >= 0 && riga < n) {
    rs_->setAbsolutePosition(riga + 1);
  } else if (riga >= n && n > 0) {
    rs_->MoveLast();
    rs_->MoveNext(); // the new-row line: past the last row
  }
  sincronizzando_ = false;
}

// ---------------------------------------------------------------- looks

void GrigliaDati::aggiornaAltezzaRighe() {
  QFontMetrics fm(vista_->font());
  auto *v = vista_->verticalHeader();
  v->setMinimumSectionSize(fm.height() + 2);
  v->setDefaultSectionSize(fm.height() + 6);
}

void GrigliaDati::adattaColonne() {
  if (!rs_)
    return;
  QFontMetrics fm(vista_->font());
  QFontMetrics fh(vista_->horizontalHeader()->font());
  const int cifra = fm.horizontalAdvance(QLatin1Char('0'));
  for (int i = 0; i < rs_->fieldCount(); ++i) {
    const data::Field &f = rs_->fields()[i];
    int caratteri = 10;
    switch (f.type) {
    case data::ado::Boolean:
      caratteri = 3;
      break;
    case data::ado::Date:
      // Room for the time too: the general date form shows it whenever it is not midnight.
      caratteri = 19;
      break;
    case data::ado::UnsignedTinyInt:
    case data::ado::SmallInt:
      caratteri = 6;
      break;
    case data::ado::Guid:
      caratteri = 38;
      break;
    default:
      if (data::isTextAdoType(f.type))
        caratteri = static_cast<int>(std::clamp<int64_t>(f.definedSize, 4, 30));
    }
    int intestazione = 0;
    for (const QString &riga : colonne_[i].intestazione.split(QRegularExpression("\r?\n")))
      intestazione = std::max(intestazione, fh.horizontalAdvance(riga));
    vista_->setColumnWidth(i, std::max(cifra * caratteri + 12, intestazione + 24));
  }
}

} // namespace grid
