#include "maint/azzeramento.h"

#include "data/connection.h"
#include "data/shared_database.h"
#include "sql/literal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <cmath>
#include <limits>

const std::vector<GruppoAzzera> &GruppiAzzera() {
  static const std::vector<GruppoAzzera> gruppi = {
      {QStringLiteral("Buoni"), {QStringLiteral("BUONI"), QStringLiteral("BUONISTO")}},
      {QStringLiteral("Fatture di vendita"),
       {QStringLiteral("FATTURE"), QStringLiteral("BUONIFATTURA"), QStringLiteral("SCADENZE")}},
      {QStringLiteral("Fatture Fornitori"), {QStringLiteral("FATTUREACQ")}},
      {QStringLiteral("Ricevute fiscali /Fat. Immediate"), {QStringLiteral("RICEVUTEFATTURE")}},
      {QStringLiteral("Scontrini"), {QStringLiteral("SCONTRINI")}},
      {QStringLiteral("D.D.T."), {QStringLiteral("DDT")}},
      {QStringLiteral("Spese e ricavi"), {QStringLiteral("SPESERICAVI")}},
      {QStringLiteral("Movimenti di magazzino"), {QStringLiteral("MOVIMENTI")}},
      {QStringLiteral("Movimenti bancari"), {QStringLiteral("MOVBANCA")}},
      {QStringLiteral("Movimenti finanziari"),
       {QStringLiteral("INCPAG"), QStringLiteral("REGMENSILE")}},
      {QStringLiteral("Elenco delle pompe"), {QStringLiteral("POMPE")}},
      {QStringLiteral("Elenco delle cisterne"), {QStringLiteral("CISTERNE")}},
      {QStringLiteral("Registro di Scarico carburanti"), {QStringLiteral("SCARICHI")}},
      {QStringLiteral("Registro di Carico carburanti"),
       {QStringLiteral("CARICHI"), QStringLiteral("RICONCILIAZIONI"),
        QStringLiteral("CISTERNERICONC"), QStringLiteral("POMPERICONC")}},
  };
  return gruppi;
}

// --- ConnessioneDb ----------------------------------------------------------------------------

bool BancaDatiConnessione::HaTabella(const QString &tabella) {
  if (!c_.isOpen())
    return false;
  const jet::CatalogEntry *e = c_.database().engine().catalog().findTable(tabella.toStdString());
  return e && !e->isSystem();
}

jet::Result<int64_t> BancaDatiConnessione::Righe(const QString &tabella) {
  if (!c_.isOpen())
    return jet::Status(jet::ErrorCode::Closed, "La connessione al database è chiusa.");
  auto cursore = c_.database().engine().cursor(tabella.toStdString());
  if (!cursore)
    return cursore.status();
  int64_t n = 0;
  for (;;) {
    auto altra = cursore->next();
    if (!altra)
      return altra.status();
    if (!*altra)
      return n;
    ++n;
  }
}

jet::Status BancaDatiConnessione::Esegui(const QString &sql, int64_t *righe) {
  return c_.Execute(sql.toStdString(), righe, -1);
}
jet::Status BancaDatiConnessione::BeginTrans() {
  return c_.BeginTrans();
}
jet::Status BancaDatiConnessione::CommitTrans() {
  return c_.CommitTrans();
}
jet::Status BancaDatiConnessione::RollbackTrans() {
  return c_.RollbackTrans();
}

// --- The fiscal year --------------------------------------------------------------------------

std::optional<int> AnnoValido(const QString &testo) {
  const QString t = testo.trimmed();
  if (t.isEmpty() || t.size() > 4)
    return std::nullopt;
  for (QChar ch : t)
    if (ch < u'0' || ch > u'9')
      return std::nullopt;
  const int anno = t.toInt();
  if (anno < 1900 || anno > 9999)
    return std::nullopt;
  return anno;
}

namespace {

// A whole number of a numeric or text value, as a conversion to integer reads it.
std::optional<long long> Intero(const jet::Value &v) {
  const auto &s = v.storage();
  if (auto p = std::get_if<uint8_t>(&s))
    return *p;
  if (auto p = std::get_if<int16_t>(&s))
    return *p;
  if (auto p = std::get_if<int32_t>(&s))
    return *p;
  auto reale = [](double d) -> std::optional<long long> {
    if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 1e15)
      return std::nullopt;
    return static_cast<long long>(d);
  };
  if (auto p = std::get_if<float>(&s))
    return reale(*p);
  if (auto p = std::get_if<double>(&s))
    return reale(*p);
  if (auto p = std::get_if<jet::Currency>(&s))
    return p->units % 10000 == 0 ? std::optional<long long>(p->units / 10000) : std::nullopt;
  if (auto p = std::get_if<std::string>(&s)) {
    bool ok = false;
    long long n = QString::fromStdString(*p).trimmed().toLongLong(&ok);
    return ok ? std::optional<long long>(n) : std::nullopt;
  }
  return std::nullopt;
}

} // namespace

int LeggiAnnoFiscale(data::Connection &c) {
  auto rs = c.OpenRecordset("Select * from Voci", data::CursorType::ForwardOnly,
                            data::LockType::ReadOnly, 1);
  Verifica(rs.isOk() ? jet::Status() : rs.status());
  data::Recordset &r = **rs;
  if (r.isEOF()) {
    r.Close();
    return QDate::currentDate().year();
  }
  auto v = r.value("Annofis");
  r.Close();
  Verifica(v.isOk() ? jet::Status() : v.status());
  const std::optional<long long> n = Intero(*v);
  if (!n)
    throw ErroreVask(13, QStringLiteral("Tipo non corrispondente: il campo Annofis della tabella "
                                        "Voci non contiene un anno."));
  if (*n < std::numeric_limits<qint16>::min() || *n > std::numeric_limits<qint16>::max())
    throw ErroreVask(6, QStringLiteral("Overflow: l'anno fiscale %1 della tabella Voci non è un "
                                       "anno valido.")
                            .arg(*n));
  return static_cast<int>(*n);
}

// --- The safety copy --------------------------------------------------------------------------

namespace {

// Why a file operation failed: in Italian, with the system's own words after it.
QString Perche(const QFileDevice &f) {
  QString motivo;
  switch (f.error()) {
  case QFileDevice::ResourceError:
    motivo = QStringLiteral("spazio su disco esaurito");
    break;
  case QFileDevice::PermissionsError:
  case QFileDevice::OpenError:
    motivo = QStringLiteral("accesso negato");
    break;
  case QFileDevice::ReadError:
    motivo = QStringLiteral("errore di lettura");
    break;
  case QFileDevice::WriteError:
    motivo = QStringLiteral("errore di scrittura");
    break;
  default:
    motivo = QStringLiteral("errore del file system");
    break;
  }
  const QString sistema = f.errorString();
  return sistema.isEmpty() ? motivo : motivo + QStringLiteral(" (") + sistema + u')';
}

} // namespace

QString NomeCopia(const QString &fileDb, const QDateTime &quando) {
  const QFileInfo f(fileDb);
  QString nome = f.completeBaseName() + u'-' + quando.toString(QStringLiteral("yyyyMMdd-HHmmss"));
  if (!f.suffix().isEmpty())
    nome += u'.' + f.suffix();
  return f.dir().filePath(nome);
}

QString SalvaCopia(const QString &fileDb, const QDateTime &quando) {
  auto errore = [](const QString &perche) -> ErroreCopia {
    return ErroreCopia(static_cast<int>(jet::ErrorCode::IoError), perche);
  };
  QString copia = NomeCopia(fileDb, quando);
  for (int n = 2; QFileInfo::exists(copia); ++n) {
    const QFileInfo f(NomeCopia(fileDb, quando));
    copia = f.dir().filePath(f.completeBaseName() + QStringLiteral("-%1").arg(n) +
                             (f.suffix().isEmpty() ? QString() : u'.' + f.suffix()));
  }
  QFile origine(fileDb);
  if (!origine.open(QIODevice::ReadOnly))
    throw errore(QStringLiteral("Impossibile leggere il database %1: %2")
                     .arg(QDir::toNativeSeparators(fileDb), Perche(origine)));
  // Written under a temporary name and renamed at the end: a copy is whole or absent.
  QSaveFile destinazione(copia);
  destinazione.setDirectWriteFallback(false);
  if (!destinazione.open(QIODevice::WriteOnly))
    throw errore(QStringLiteral("Impossibile creare il file %1: %2")
                     .arg(QDir::toNativeSeparators(copia), Perche(destinazione)));
  QByteArray blocco;
  for (;;) {
    blocco = origine.read(1 << 20);
    if (blocco.isEmpty())
      break;
    if (destinazione.write(blocco) != blocco.size())
      break;
  }
  if (origine.error() != QFileDevice::NoError) {
    destinazione.cancelWriting();
    throw errore(QStringLiteral("Impossibile leggere il database %1: %2")
                     .arg(QDir::toNativeSeparators(fileDb), Perche(origine)));
  }
  if (destinazione.error() != QFileDevice::NoError || !destinazione.commit())
    throw errore(QStringLiteral("Impossibile scrivere il file %1: %2")
                     .arg(QDir::toNativeSeparators(copia), Perche(destinazione)));
  return copia;
}

// --- The reset --------------------------------------------------------------------------------

EsitoAzzera EseguiAzzeramento(BancaDatiAzzera &db, const QString &fileDb,
                              const RichiestaAzzera &richiesta, const QDateTime &quando) {
  EsitoAzzera esito;
  const auto &gruppi = GruppiAzzera();
  std::vector<bool> spuntati(gruppi.size(), false);
  for (int g : richiesta.gruppi)
    if (g >= 0 && g < int(gruppi.size()))
      spuntati[g] = true;

  // The tables of each ticked group that the database has, in the groups' order.
  std::vector<QStringList> daSvuotare;
  bool qualcosa = richiesta.anno.has_value();
  for (size_t g = 0; g < gruppi.size(); ++g) {
    if (!spuntati[g])
      continue;
    QStringList presenti;
    for (const QString &t : gruppi[g].tabelle) {
      if (db.HaTabella(t))
        presenti << t;
      else
        esito.saltate << t;
    }
    qualcosa = qualcosa || !presenti.isEmpty();
    daSvuotare.push_back(presenti);
  }
  if (!qualcosa)
    return esito;

  esito.copia = SalvaCopia(fileDb, quando);

  auto fallisce = [&](const jet::Status &s) {
    db.RollbackTrans();
    throw ErroreAzzeramento(s, esito.copia);
  };
  jet::Status s = db.BeginTrans();
  if (!s)
    throw ErroreAzzeramento(s, esito.copia);
  for (const QStringList &gruppo : daSvuotare) {
    // The rows each table of the group holds before its statements run: deleting the first may
    // cascade to the others.
    for (const QString &t : gruppo) {
      auto n = db.Righe(t);
      if (!n)
        fallisce(n.status());
      esito.svuotate.push_back({t, *n});
    }
    for (const QString &t : gruppo) {
      const QString istruzione = QStringLiteral("Delete * from ") + t;
      esito.istruzioni << istruzione;
      if (!(s = db.Esegui(istruzione)))
        fallisce(s);
    }
  }
  if (richiesta.anno) {
    // A whole number checked above: written as digits, never as the operator typed it.
    const QString istruzione = QStringLiteral("Update Voci Set AnnoFis =") +
                               QString::fromStdString(sql::numberLiteral(*richiesta.anno));
    esito.istruzioni << istruzione;
    int64_t righe = 0;
    if (!(s = db.Esegui(istruzione, &righe)))
      fallisce(s);
    if (righe > 0)
      esito.anno = richiesta.anno;
    else
      esito.vociSenzaRighe = true;
  }
  if (!(s = db.CommitTrans()))
    throw ErroreAzzeramento(s, esito.copia);
  return esito;
}

QString TestoEsito(const EsitoAzzera &esito) {
  const QLocale it(QLocale::Italian, QLocale::Italy);
  QStringList righe;
  if (esito.copia.isEmpty()) {
    righe << QStringLiteral("Nessuna tabella da svuotare e anno fiscale invariato: il database non "
                            "è stato modificato.");
  } else {
    righe << QStringLiteral("Azzeramento eseguito.");
    if (esito.svuotate.empty()) {
      righe << QStringLiteral("Nessuna tabella svuotata.");
    } else {
      righe << QStringLiteral("Tabelle svuotate:");
      for (const auto &s : esito.svuotate)
        righe << QStringLiteral("   %1: %2 %3")
                     .arg(s.tabella, it.toString(qlonglong(s.righe)),
                          s.righe == 1 ? QStringLiteral("record") : QStringLiteral("records"));
    }
  }
  if (!esito.saltate.isEmpty())
    righe << QStringLiteral("Tabelle non presenti nel database, saltate: %1")
                 .arg(esito.saltate.join(QStringLiteral(", ")));
  if (esito.anno)
    righe << QStringLiteral("Anno fiscale impostato: %1").arg(*esito.anno);
  else if (esito.vociSenzaRighe)
    righe << QStringLiteral("Anno fiscale non impostato: la tabella Voci non ha righe.");
  else if (!esito.copia.isEmpty())
    righe << QStringLiteral("Anno fiscale invariato.");
  if (!esito.copia.isEmpty())
    righe << QStringLiteral("Copia del database prima dell'azzeramento: %1")
                 .arg(QFileInfo(esito.copia).fileName());
  return righe.join(QStringLiteral("\r\n"));
}
