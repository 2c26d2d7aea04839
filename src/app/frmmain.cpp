#include "app/frmmain.h"

#include "app/comune/errori.h"
#include "app/comune/forma.h"
#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/comune/tasti.h"
#include "app/comune/twips.h"
#include "app/comune/versione.h"
#include "app/configurazione.h"
#include "app/forminfo.h"
#include "app/stampa_main.h"
#include "bulk/dialoghi_bulk.h"
#include "grid/griglia_dati.h"
#include "table/banca_dati.h"
#include "table/gestione_tabelle.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTextEdit>
#include <QTimer>
#include <cmath>
#include <utility>

namespace {

// The window was designed with its outer size; the frame of a sizable window takes 4 pixels on
// each side and the caption 23 more.
constexpr int kCorniceLarghezzaPx = 8;
constexpr int kCorniceAltezzaPx = 31;
constexpr double kAltezzaForm = 7725;
constexpr double kLarghezzaForm = 10590;
// Top of the command frame in the window.
constexpr double kTopFrameMain = 315;
// What an item of a list takes beside its text, in pixels.
constexpr int kMarginiVoce = 8;

QString &cartellaDiProva() {
  static QString c;
  return c;
}

QPushButton *bottone(QWidget *genitore, const char *nome, const QString &testo) {
  auto *b = new QPushButton(testo, genitore);
  b->setObjectName(QString::fromLatin1(nome));
  b->setAutoDefault(false);
  return b;
}

QLabel *etichetta(QWidget *genitore, const char *nome, const QString &testo) {
  auto *l = new QLabel(testo, genitore);
  l->setObjectName(QString::fromLatin1(nome));
  return l;
}

} // namespace

Riquadro::Riquadro(const QString &nome, QWidget *genitore) : QFrame(genitore) {
  setObjectName(nome);
  setFrameShape(QFrame::Box);
  Titolo = new QLabel(this);
  Titolo->setObjectName(QStringLiteral("lbTitolo"));
  Bordo = new Forma(this);
  Bordo->setObjectName(QStringLiteral("shBordo"));
  ImpostaGeometria(this, 0, 0, 7000, 4500);
  hide();
}

frmMain::frmMain(FabbricaDb fabbrica, QWidget *genitore) : QMainWindow(genitore) {
  setObjectName(QStringLiteral("frmMain"));
  Termina = [this] {
    terminato_ = true;
    hide();
    QCoreApplication::exit(0);
  };
  creaControlli();
  InstallaManutenzione(*this);
  installaBulk();
  Protetto([&] {
    GestoreDb = fabbrica ? fabbrica() : CreaGestoreDb();
    Form_Load();
  });
  installaTabelle();
  InstallaStampa(*this);
  ImpostaRipristinoDopoErrore([this] {
    if (auto banca = GestoreDb ? GestoreDb->Banca() : nullptr)
      banca->AnnullaTransazioneAperta();
  });
}

void frmMain::installaTabelle() {
  Griglia = new grid::GrigliaDati;
  SostituisciGriglia(Griglia);
  // The grid's own view takes the placeholder's place in the tab order.
  QWidget::setTabOrder(btnTabella, Griglia->vista());
  QWidget::setTabOrder(Griglia->vista(), btnNuovo);

  txEditG = new QTextEdit(frEditG);
  txEditG->setObjectName(QStringLiteral("txEditG"));
  txEditG->setAcceptRichText(false);
  ImpostaGeometria(txEditG, 90, 330, 6820, 3570);
  btnSalvaEG = bottone(frEditG, "btnSalvaEG", QStringLiteral("Salva"));
  ImpostaGeometria(btnSalvaEG, 3850, 4020, 1500, 345);
  btnEscEG = bottone(frEditG, "btnEscEG", QStringLiteral("Abbandona"));
  ImpostaGeometria(btnEscEG, 5410, 4020, 1500, 345);

  tabelle::ControlliTabelle c;
  c.Label1 = Label1;
  c.List1 = List1;
  c.btnDatabase = btnDatabase;
  c.btnTabella = btnTabella;
  c.Frame_main = Frame_main;
  c.grTabelle = Griglia;
  c.frEditG = frEditG;
  c.shEditG = frEditG->Bordo;
  c.etEditG = frEditG->Titolo;
  c.txEditG = txEditG;
  c.Stato = &Stato;
  c.AbilitaManutenzione = [this](bool si) { AbilitaManutenzione(si); };
  c.TastoGiu = [this](int &codice, int maiuscole) { grTabelle_TastoGiu(codice, maiuscole); };
  Tabelle = std::make_unique<tabelle::GestioneTabelle>(std::move(c),
                                                       GestoreDb ? GestoreDb->Banca() : nullptr);

  tabelle::GestioneTabelle *t = Tabelle.get();
  Comandi.Database = [t] { t->btnDatabase_Click(); };
  Comandi.List1_Click = [t] { t->List1_Click(); };
  Comandi.ApriTabella = [t] { t->btnTabella_Click(); };
  Comandi.NuovaRiga = [t] { t->btnNuovo_Click(); };
  Comandi.EditEsteso = [t] { t->btnEditG_Click(); };
  Comandi.Filtra = [t] { t->btnFiltro_Click(); };
  Comandi.Tutti = [t] { t->btnVuota_Click(); };
  Comandi.Salva = [t] { t->btnSalva_Click(); };
  Comandi.Uscita = [t] { t->btnUscita_Click(); };
  Comandi.TerminaEdit = [t] { t->TerminaEdit(); };
  // The bulk dialogs work on the same shared connection and reload the grid the same way.
  Comandi.ConnessioneDb = [this]() -> std::shared_ptr<data::Connection> {
    auto banca = GestoreDb ? GestoreDb->Banca() : nullptr;
    return banca ? banca->ConnessioneDb : nullptr;
  };
  Comandi.CaricaGriglia = [t](const QString &tabella, const QString &condizione) {
    t->CaricaGriglia(tabella, condizione);
  };
  connect(btnSalvaEG, &QPushButton::clicked, this,
          [this] { esegui([this] { Tabelle->btnSalvaEG_Click(); }); });
  connect(btnEscEG, &QPushButton::clicked, this,
          [this] { esegui([this] { Tabelle->btnEscEG_Click(); }); });
}

frmMain::~frmMain() {
  ImpostaRipristinoDopoErrore(nullptr);
}

void frmMain::installaBulk() {
  bulk::AmbienteBulk a;
  a.Frame_main = Frame_main;
  a.Griglia = [this] { return qobject_cast<grid::GrigliaDati *>(grTabelle); };
  a.Connessione = [this] {
    return Comandi.ConnessioneDb ? Comandi.ConnessioneDb() : std::shared_ptr<data::Connection>();
  };
  a.CaricaGriglia = [this](const QString &tabella, const QString &condizione) {
    if (Comandi.CaricaGriglia)
      Comandi.CaricaGriglia(tabella, condizione);
  };
  a.AbilitaComandi = [this](bool si) { AbilitaComandi(si); };
  a.Stato = &Stato;
  Bulk = std::make_unique<bulk::DialoghiBulk>(frCancella, frCancella->Bordo, frCancella->Titolo,
                                              frModifica, frModifica->Bordo, frModifica->Titolo,
                                              std::move(a));
  bulk::DialoghiBulk *b = Bulk.get();
  Comandi.ProceduraCancella = [b] { b->ProceduraCancella(); };
  Comandi.Modifica = [b] { b->btnModifica_Click(); };
  Comandi.RiempiOperatori = [b] { b->RiempiOperatori(); };
}

void frmMain::creaControlli() {
  auto *centro = new QWidget(this);
  centro->setObjectName(QStringLiteral("centro"));
  setCentralWidget(centro);

  Label3 = etichetta(centro, "Label3", QStringLiteral("Database:"));
  ImpostaGeometria(Label3, 60, 45, 840, 225);
  Label1 = etichetta(centro, "Label1", QString());
  ImpostaGeometria(Label1, 900, 45, 6000, 225);
  Label2 = etichetta(centro, "Label2", QStringLiteral("Elenco tabelle"));
  ImpostaGeometria(Label2, 60, 285, 1785, 210);

  btn_info = bottone(centro, "btn_info", QStringLiteral("?"));
  btnDatabase = bottone(centro, "btnDatabase", QStringLiteral("&Database"));
  btnFine = bottone(centro, "btnFine", QStringLiteral("Fine"));
  ImpostaGeometria(btn_info, 7395, 105, 435, 315);
  ImpostaGeometria(btnDatabase, 7905, 105, 1215, 315);
  ImpostaGeometria(btnFine, 9135, 105, 915, 315);

  List1 = new QListWidget(centro);
  List1->setObjectName(QStringLiteral("List1"));
  ImpostaGeometria(List1, 45, 510, 1800, 5325);
  List1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  btnTabella = bottone(centro, "btnTabella", QStringLiteral("Apri &Tabella"));
  ImpostaGeometria(btnTabella, 60, 5910, 1785, 345);
  btnTabella->setEnabled(false);

  Frame_main = new QWidget(centro);
  Frame_main->setObjectName(QStringLiteral("Frame_main"));
  ImpostaGeometria(Frame_main, 0, kTopFrameMain, kLarghezzaForm, 6300);

  auto *griglia = new QFrame(Frame_main);
  griglia->setFrameShape(QFrame::StyledPanel);
  griglia->setFrameShadow(QFrame::Sunken);
  griglia->setBackgroundRole(QPalette::Base);
  griglia->setAutoFillBackground(true);
  griglia->setFocusPolicy(Qt::StrongFocus);
  grTabelle = griglia;
  grTabelle->setObjectName(QStringLiteral("grTabelle"));
  ImpostaGeometria(grTabelle, 1935, 195, 8430, 5310);
  grTabelle->installEventFilter(this);

  btnNuovo = bottone(Frame_main, "btnNuovo", QStringLiteral("Nuova riga (Ins)"));
  btnEditG = bottone(Frame_main, "btnEditG", QStringLiteral("Edit esteso (Ctrl + Invio)"));
  btnFiltro = bottone(Frame_main, "btnFiltro", QStringLiteral("Filtra (F2)"));
  btnVuota = bottone(Frame_main, "btnVuota", QStringLiteral("Tutti"));
  btnModifica = bottone(Frame_main, "btnModifica", QStringLiteral("Modifica (F6)"));
  btnCancella = bottone(Frame_main, "btnCancella", QStringLiteral("Cancella (F7)"));
  btnVediStruttura = bottone(Frame_main, "btnVediStruttura", QStringLiteral("Struttura"));
  btnAzzera = bottone(Frame_main, "btnAzzera", QStringLiteral("Azzera"));
  barra = new QProgressBar(Frame_main);
  barra->setObjectName(QStringLiteral("barra"));
  barra->setTextVisible(false);
  barra->setValue(0);
  btnStampa = bottone(Frame_main, "btnStampa", QStringLiteral("Stampa (F9)"));
  btnSalva = bottone(Frame_main, "btnSalva", QStringLiteral("Salva (F10)"));
  btnUscita = bottone(Frame_main, "btnUscita", QStringLiteral("Uscita (Esc)"));
  // Designed places, as the first activation lays the rows out again for the window's real
  // width; disabled until a working copy is open.
  auto rigaDisegnata = [](std::initializer_list<std::pair<QWidget *, int>> controlli, double top,
                          double altezza) {
    double libero = kLarghezzaForm - 1935 - 200;
    int condivisi = 0;
    for (const auto &[c, fissa] : controlli) {
      libero -= fissa;
      condivisi += fissa == 0;
    }
    double x = 1935;
    for (const auto &[c, fissa] : controlli) {
      double larghezza = fissa ? fissa : std::floor(libero / condivisi);
      ImpostaGeometria(c, x, top, larghezza, altezza);
      c->setEnabled(false);
      x += larghezza;
    }
  };
  rigaDisegnata({{btnNuovo, 0},
                 {btnEditG, 1900},
                 {btnFiltro, 0},
                 {btnVuota, 1100},
                 {btnModifica, 0},
                 {btnCancella, 0}},
                5580, 345);
  rigaDisegnata({{btnVediStruttura, 1000},
                 {btnAzzera, 1000},
                 {barra, 3000},
                 {btnStampa, 0},
                 {btnSalva, 0},
                 {btnUscita, 0}},
                5970, 300);

  // The list and its button lie over the command frame's empty left part.
  List1->raise();
  btnTabella->raise();
  List1->installEventFilter(this);
  // Names longer than the designed width are narrowed, never cut.
  auto *modello = List1->model();
  connect(modello, &QAbstractItemModel::rowsInserted, this, [this] { adattaElenco(); });
  connect(modello, &QAbstractItemModel::modelReset, this, [this] { adattaElenco(); });

  frCancella = new Riquadro(QStringLiteral("frCancella"), centro);
  frModifica = new Riquadro(QStringLiteral("frModifica"), centro);
  frEditG = new Riquadro(QStringLiteral("frEditG"), centro);
  frStruttura = new Riquadro(QStringLiteral("frStruttura"), centro);
  frAzzera = new Riquadro(QStringLiteral("frAzzera"), centro);

  StatusMain = statusBar();
  StatusMain->setObjectName(QStringLiteral("StatusMain"));
  StatusMain->setSizeGripEnabled(false);
  // The three panels side by side, with the platform's thin gap between them.
  auto *pannelli = new QWidget(StatusMain);
  auto *fila = new QHBoxLayout(pannelli);
  fila->setContentsMargins(0, 0, 0, 0);
  fila->setSpacing(2);
  StatusMain->addWidget(pannelli, 1);
  for (int i = 0; i < 3; ++i) {
    auto *p = new QLabel(pannelli);
    p->setObjectName(QStringLiteral("Pannello%1").arg(i + 1));
    p->setFrameShape(QFrame::Panel);
    p->setFrameShadow(QFrame::Sunken);
    p->setTextFormat(Qt::PlainText);
    // The last panel ends where the bar ends, whatever the gaps between the panels take.
    fila->addWidget(p, i == 2 ? 1 : 0);
    Pannelli << p;
  }
  ImpostaBarraStato(this, Pannelli);

  auto collega = [this](QPushButton *b, std::function<void()> ComandiMain::*comando) {
    connect(b, &QPushButton::clicked, this, [this, comando] { esegui(Comandi.*comando); });
  };
  collega(btnDatabase, &ComandiMain::Database);
  collega(btnTabella, &ComandiMain::ApriTabella);
  collega(btnNuovo, &ComandiMain::NuovaRiga);
  collega(btnEditG, &ComandiMain::EditEsteso);
  collega(btnFiltro, &ComandiMain::Filtra);
  collega(btnVuota, &ComandiMain::Tutti);
  collega(btnModifica, &ComandiMain::Modifica);
  collega(btnCancella, &ComandiMain::ProceduraCancella);
  collega(btnVediStruttura, &ComandiMain::VediStruttura);
  collega(btnAzzera, &ComandiMain::Azzera);
  collega(btnStampa, &ComandiMain::Stampa);
  collega(btnSalva, &ComandiMain::Salva);
  collega(btnUscita, &ComandiMain::Uscita);
  connect(btnFine, &QPushButton::clicked, this, [this] { btnFine_Click(); });
  connect(btn_info, &QPushButton::clicked, this, [this] { btn_info_Click(); });
  // As on the platform the program was designed for, the list's Click follows the selection,
  // moved by the mouse or by the keyboard.
  connect(List1, &QListWidget::currentRowChanged, this, [this] { esegui(Comandi.List1_Click); });
  connect(List1, &QListWidget::itemDoubleClicked, this, [this] { esegui(Comandi.ApriTabella); });
}

void frmMain::esegui(const std::function<void()> &comando) {
  if (comando)
    Protetto(comando);
}

void frmMain::Form_Load() {
  // GestoreDb has been created by the constructor.
  // The controls are placed in twips for this one size: the window keeps it.
  setFixedSize(TwipsInPixelX(kLarghezzaForm) - kCorniceLarghezzaPx,
               TwipsInPixelY(kAltezzaForm) - kCorniceAltezzaPx);
  setWindowTitle(
      QStringLiteral("Vask di Manutenzione del Database  (Ver. %1)").arg(VersioneProgramma()));
  btnVuota->setText(QStringLiteral("Tutti (Ctrl+F2)"));

  RegistraBottone(btnNuovo, 0, QStringLiteral("Aggiunge un nuovo record"), true,
                  QStringLiteral("prima"));
  RegistraBottone(btnEditG, 1900, QStringLiteral("Edita il valore in una finestra"), false,
                  QStringLiteral("prima"));
  RegistraBottone(btnFiltro, 0,
                  QStringLiteral("Visualizza solo quanti hanno la caratteristica selezionata"),
                  false, QStringLiteral("prima"));
  RegistraBottone(btnVuota, 1100, QStringLiteral("Visualizza tutti i records"), false,
                  QStringLiteral("prima"));
  RegistraBottone(btnModifica, 0, QStringLiteral("Modifica i dati in un gruppo di records"), false,
                  QStringLiteral("prima"));
  RegistraBottone(btnCancella, 0,
                  QStringLiteral("Cancella i records con una determinata caratteristica"), false,
                  QStringLiteral("prima"));
  RegistraBottone(btnVediStruttura, 1000, QStringLiteral("Visualizza la struttura della tabella"),
                  false, QStringLiteral("seconda"));
  RegistraBottone(btnAzzera, 1000, QStringLiteral("Azzera le tabelle del Database"), false,
                  QStringLiteral("seconda"));
  RegistraBottone(barra, 3000, QString(), false, QStringLiteral("seconda"));
  RegistraBottone(btnStampa, 0, QStringLiteral("stampa i records visualizzati"), false,
                  QStringLiteral("seconda"));
  RegistraBottone(btnSalva, 0, QStringLiteral("Registra le modifiche"), false,
                  QStringLiteral("seconda"));
  RegistraBottone(btnUscita, 0, QStringLiteral("Abbandona le modifiche eseguite"), false,
                  QStringLiteral("seconda"));

  AbilitaManutenzione(false);
  impostaLarghezzePannelli();
  PrimaAttivazione = true;
}

void frmMain::impostaLarghezzePannelli() {
  const double w = LarghezzaTwips();
  // The third panel, half the width, takes what the first two leave.
  const double quote[2] = {0.17, 0.33};
  for (int i = 0; i < 2 && i < Pannelli.size(); ++i)
    Pannelli[i]->setFixedWidth(TwipsInPixelX(w * quote[i]));
}

void frmMain::adattaElenco() {
  QFont f = List1->font();
  f.setStretch(QFont::Unstretched);
  const QFontMetrics fm(f);
  int piuLungo = 0;
  for (int i = 0; i < List1->count(); ++i)
    piuLungo = std::max(piuLungo, fm.horizontalAdvance(List1->item(i)->text()));
  // The viewport's width less the item's own margins and the vertical scroll bar the list has.
  const int spazio = List1->width() - 2 * List1->frameWidth() -
                     List1->style()->pixelMetric(QStyle::PM_ScrollBarExtent) - kMarginiVoce;
  if (piuLungo > spazio && spazio > 0)
    f.setStretch(std::max(60, 100 * spazio / piuLungo));
  List1->setFont(f);
}

double frmMain::LarghezzaTwips() const {
  return PixelInTwipsX(width() + kCorniceLarghezzaPx);
}

void frmMain::Form_Activate() {
  if (!PrimaAttivazione) {
    // Back from another window of the program: the focus goes to the control before the grid.
    grTabelle->setFocus();
    focusNextPrevChild(false);
    return;
  }
  if (Comandi.RiempiOperatori)
    Comandi.RiempiOperatori();
  Stato.TabellaVuota = false;

  const QString ini = FileConfigurazione(CartellaProgramma());
  PercorsoDb = LeggiFileChiavi(ini, QStringLiteral("pathdbdati"), 0).value_or(QString());
  NomeDb = LeggiFileChiavi(ini, QStringLiteral("nomeDbDati"), 0).value_or(QString());
  // A database that fails to open is reported and the window still gets its command bar.
  const bool daRigaDiComando = !DatabaseIniziale().isEmpty();
  if (daRigaDiComando)
    Protetto([&] { ApriDatabaseIniziale(); });
  else if (!(PercorsoDb + NomeDb).trimmed().isEmpty())
    Protetto([&] { ApriDatabase(PercorsoDb + NomeDb); });

  const qint32 larghezza = qint32(std::lround(LarghezzaTwips()));
  const qint32 sinistra = qint32(std::lround(Geometria(grTabelle).Left));
  DisponiBottoni(larghezza, sinistra, 200, 0, QStringLiteral("prima"));
  DisponiBottoni(larghezza, sinistra, 200, 0, QStringLiteral("seconda"));
  AbilitaGruppo(false, QStringLiteral("prima"));
  AbilitaGruppo(false, QStringLiteral("seconda"));
  btnDatabase->setFocus();
  if (daRigaDiComando && btnTabella->isEnabled())
    List1->setFocus(); // where "&Database" leaves it
  PrimaAttivazione = false;
}

void frmMain::ApriDatabaseIniziale() {
  const QFileInfo file(DatabaseIniziale());
  if (!file.isFile()) {
    MsgBox(QStringLiteral("Impossibile aprire il database \"%1\": il file non esiste.")
               .arg(DatabaseIniziale()),
           vbOKOnly + vbCritical, QStringLiteral("Apertura Database Access"));
    return;
  }
  // As "&Database" takes a chosen file: its folder and name become the current ones, and
  // stay as they were when the file is refused.
  const QString percorsoPrima = PercorsoDb, nomePrima = NomeDb;
  PercorsoDb = file.absolutePath() + u'/';
  NomeDb = file.fileName();
  try {
    ApriDatabase(PercorsoDb + NomeDb);
  } catch (...) {
    PercorsoDb = percorsoPrima;
    NomeDb = nomePrima;
    throw;
  }
}

void frmMain::ApriDatabase(const QString &nomeCompleto) {
  if (!QFileInfo(nomeCompleto.trimmed()).isFile())
    return;
  if (!GestoreDb || !GestoreDb->Collegato())
    return;
  if (Tabelle && Tabelle->Banca()) {
    Tabelle->ApriDatabase(nomeCompleto);
    return;
  }
  Label1->setText(nomeCompleto);
  GestoreDb->ApriConnessione(nomeCompleto);
  List1->clear();
  for (const VoceTabella &t : GestoreDb->ElencaTabelle(nomeCompleto)) {
    auto *voce = new QListWidgetItem(t.nome, List1);
    voce->setData(Qt::UserRole, t.indice);
  }
  btnTabella->setEnabled(true);
  tabelle::AvvisaSeInUso(GestoreDb->Banca().get());
  // No space key is queued to the list: at start-up it would reach "&Database", which has the
  // focus by then, and open the file dialog over a database that is already open.
  List1->setFocus();
}

void frmMain::AbilitaComandi(bool abilitato) {
  btnTabella->setEnabled(abilitato);
  Frame_main->setEnabled(abilitato);
  btn_info->setEnabled(abilitato);
  btnFine->setEnabled(abilitato);
  // The list and "&Database" too, or a click there would change the table behind the dialog;
  // "&Database" comes back only where no working copy is open.
  List1->setEnabled(abilitato);
  btnDatabase->setEnabled(abilitato && !Stato.CopiaAperta());
}

void frmMain::AbilitaManutenzione(bool abilitato) {
  btnVediStruttura->setEnabled(abilitato);
  btnAzzera->setEnabled(abilitato);
}

bool frmMain::ChiediUscita() {
  QApplication::beep();
  if (MsgBox(QStringLiteral("Vuoi veramente uscire ?"), vbYesNo + vbQuestion + vbDefaultButton2,
             QStringLiteral("Uscita da VASK")) != vbYes)
    return false;
  if (Comandi.TerminaEdit)
    Protetto(Comandi.TerminaEdit);
  if (GestoreDb) {
    GestoreDb->EseguiIgnorandoErrori(QStringLiteral("DROP table TemporaneaVask"));
    GestoreDb->Rilascia();
    GestoreDb.reset();
  }
  terminato_ = true;
  if (Termina)
    Termina();
  return true;
}

void frmMain::grTabelle_TastoGiu(int &KeyCode, int Shift) {
  switch (KeyCode) {
  case vbKeyF2:
    if (Shift == 0)
      esegui(Comandi.Filtra);
    else if (Shift == vbCtrlMask)
      esegui(Comandi.Tutti);
    break;
  case vbKeyF4:
  case vbKeyF5:
    break;
  case vbKeyF6:
    esegui(Comandi.Modifica);
    break;
  case vbKeyF7:
    esegui(Comandi.ProceduraCancella);
    break;
  case vbKeyF9:
    esegui(Comandi.Stampa);
    break;
  case vbKeyF10:
    esegui(Comandi.Salva);
    break;
  case vbKeyEscape:
    // Inside a cell edit Esc cancels that edit only: the grid's editor takes it.
    if (!(Griglia && Griglia->EditInCorso()))
      esegui(Comandi.Uscita);
    break;
  case vbKeyReturn:
    if (Stato.GrigliaVuota) {
      KeyCode = 0;
    } else if (Shift == vbCtrlMask) {
      KeyCode = 0;
      esegui(Comandi.EditEsteso);
    }
    break;
  case vbKeyInsert:
    esegui(Comandi.NuovaRiga);
    break;
  }
}

void frmMain::List1_KeyDown(int &KeyCode, int Shift) {
  if (KeyCode == vbKeyReturn)
    esegui(Comandi.ApriTabella);
  else if (KeyCode == vbKeyEscape)
    Protetto([this] { ChiediUscita(); });
}

void frmMain::btnFine_Click() {
  Protetto([this] { ChiediUscita(); });
}

void frmMain::btn_info_Click() {
  Protetto([this] {
    Form_info info(this);
    MostraModale(info);
  });
}

void frmMain::MostraModale(QDialog &finestra) {
  finestra.exec();
  Protetto([this] { Form_Activate(); });
}

void frmMain::SostituisciGriglia(QWidget *griglia) {
  const Twips t = Geometria(grTabelle);
  const bool abilitata = grTabelle->isEnabled();
  QWidget *vecchia = grTabelle;
  griglia->setParent(Frame_main);
  griglia->setObjectName(QStringLiteral("grTabelle"));
  ImpostaGeometria(griglia, t);
  griglia->setEnabled(abilitata);
  QWidget::setTabOrder(vecchia, griglia);
  grTabelle = griglia;
  griglia->show();
  delete vecchia;
}

QString frmMain::CartellaProgramma() {
  if (!cartellaDiProva().isEmpty())
    return cartellaDiProva();
  return QCoreApplication::applicationDirPath();
}

void frmMain::ImpostaCartellaProgramma(const QString &cartella) {
  cartellaDiProva() = cartella;
}

void frmMain::closeEvent(QCloseEvent *e) {
  if (terminato_) {
    e->accept();
    return;
  }
  bool esce = false;
  Protetto([&] { esce = ChiediUscita(); });
  if (esce)
    e->accept();
  else
    e->ignore();
}

void frmMain::showEvent(QShowEvent *e) {
  QMainWindow::showEvent(e);
  if (PrimaAttivazione)
    QTimer::singleShot(0, this, [this] {
      if (PrimaAttivazione)
        Protetto([this] { Form_Activate(); });
    });
}

bool frmMain::eventFilter(QObject *o, QEvent *e) {
  if (e->type() == QEvent::KeyPress && (o == grTabelle || o == List1)) {
    auto *k = static_cast<QKeyEvent *>(e);
    int codice = CodiceTasto(k);
    const int maiuscole = StatoMaiuscole(k->modifiers());
    if (o == grTabelle) {
      grTabelle_TastoGiu(codice, maiuscole);
    } else if (codice == vbKeyReturn || codice == vbKeyEscape) {
      List1_KeyDown(codice, maiuscole);
      return true;
    }
    if (codice == 0 && CodiceTasto(k) != 0)
      return true;
  }
  return QMainWindow::eventFilter(o, e);
}
