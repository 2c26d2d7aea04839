#include "banco.h"

#include "table/salva_copia.h"

#include <QTest>

namespace bulktest {

void Banco::Apri(const std::string &tabella) {
  tabella_ = tabella;
  file_ = vasktest::copyFixture("suite/zelbo.mdb", dir_);
  const std::string f = file_.string();
  gestore_ = std::make_unique<data::ManDB>([f] { return f; });
  auto c = gestore_->get_Conn(f);
  ASSERT_TRUE(c.isOk()) << c.status().message();
  conn_ = *c;
  jet::Status st = conn_->Execute("SELECT * Into TemporaneaVask from [" + tabella + "]");
  scrivibile_ = st.isOk();
  stato_.TabellaCorrente = stato_.TabellaCopia = QString::fromStdString(tabella);
  box_ = std::make_unique<MsgBoxSimulato>();

  finestra_ = std::make_unique<QWidget>();
  finestra_->resize(TwipsInPixelX(10590), TwipsInPixelY(7000));
  frameMain_ = new QWidget(finestra_.get());
  ImpostaGeometria(frameMain_, 0, 315, 10590, 6300);
  griglia_ = new grid::GrigliaDati(frameMain_);
  ImpostaGeometria(griglia_, 1935, 195, 8430, 5310);
  auto telaio = [&](const char *nome) {
    auto *fr = new QFrame(finestra_.get());
    fr->setObjectName(QString::fromLatin1(nome));
    fr->hide();
    return fr;
  };
  QFrame *frC = telaio("frCancella");
  QFrame *frM = telaio("frModifica");
  cc_ = bulk::CreaControlliCancella(frC, new Forma(frC), new QLabel(frC));
  cm_ = bulk::CreaControlliModifica(frM, new Forma(frM), new QLabel(frM));
  bulk::RiempiListeFisse(cc_);
  bulk::RiempiListeFisse(cm_.c);

  bulk::AmbienteBulk a;
  a.Frame_main = frameMain_;
  a.Griglia = [this] { return griglia_; };
  a.Connessione = [this] { return conn_; };
  const std::string sorgente = scrivibile_ ? "TemporaneaVask" : "[" + tabella + "]";
  a.CaricaGriglia = [this, sorgente](const QString &, const QString &) {
    ++ricariche_;
    jet::Status s = griglia_->CaricaSql("select * FROM " + sorgente + " ", conn_);
    if (s.isOk())
      griglia_->OrdinaSu("ID");
  };
  ricarica_ = a.CaricaGriglia;
  a.AbilitaComandi = [this](bool si) {
    comandi_ = si;
    frameMain_->setEnabled(si);
  };
  a.Stato = &stato_;
  canc_ = std::make_unique<bulk::ProceduraCancellazione>(cc_, a);
  mod_ = std::make_unique<bulk::ProceduraModifica>(cm_, a);
  a.CaricaGriglia(QString(), QString());
  ricariche_ = 0;
  finestra_->show();
}

void Banco::Premi(int tasto, const QString &testo, Qt::KeyboardModifiers m) {
  ASSERT_TRUE(attiva_);
  QWidget *w = attiva_->Focale();
  ASSERT_TRUE(w);
  QKeyEvent giu(QEvent::KeyPress, tasto, m, testo);
  QApplication::sendEvent(w, &giu);
  QKeyEvent su(QEvent::KeyRelease, tasto, m, testo);
  QApplication::sendEvent(w, &su);
}

void Banco::Scrivi(const QString &testo) {
  for (QChar ch : testo) {
    int k = Qt::Key_unknown;
    if (ch.isDigit())
      k = Qt::Key_0 + ch.digitValue();
    else if (ch.isLetter() && ch.toUpper().unicode() >= 'A' && ch.toUpper().unicode() <= 'Z')
      k = Qt::Key_A + (ch.toUpper().unicode() - 'A');
    else if (ch == u',')
      k = Qt::Key_Comma;
    else if (ch == u'.')
      k = Qt::Key_Period;
    else if (ch == u'\'')
      k = Qt::Key_Apostrophe;
    else if (ch == u' ')
      k = Qt::Key_Space;
    else if (ch == u'/')
      k = Qt::Key_Slash;
    else if (ch == u'"')
      k = Qt::Key_QuoteDbl;
    else if (ch == u'-')
      k = Qt::Key_Minus;
    Premi(k, QString(ch), ch.isUpper() ? Qt::ShiftModifier : Qt::NoModifier);
  }
}

void Banco::Svuota() {
  Premi(Qt::Key_Home);
  Premi(Qt::Key_End, QString(), Qt::ShiftModifier);
  Premi(Qt::Key_Delete);
}

void Banco::Destinazione(bool selezione, const QString &campo) {
  mod_->btnModifica_Click();
  if (selezione)
    Giu();
  Invio();
  ASSERT_EQ(attiva_->Focale(), cm_.List5_Mod);
  Campo(campo);
  ASSERT_EQ(attiva_->Focale(), cm_.txValoreMod);
}

void Banco::ValoreLungoEDueCondizioni() {
  Destinazione(true, QStringLiteral("Note"));
  cm_.txValoreMod->selectAll();
  Scrivi(QStringLiteral("Consegna al mattino citofonare al secondo piano ").repeated(8));
  Invio();
  Campo(QStringLiteral("ID"));
  Operatore(4);
  Svuota();
  Scrivi(QStringLiteral("10"));
  Invio();
  Giu();
  Invio();
  Campo(QStringLiteral("ID"));
  Operatore(5);
}

void Banco::DoppioClic(QListWidget *l, const QString &voce) {
  auto trovati = l->findItems(voce, Qt::MatchExactly);
  ASSERT_EQ(trovati.size(), 1) << voce.toStdString();
  ASSERT_TRUE(l->isVisible() && l->isEnabled()) << l->objectName().toStdString();
  l->scrollToItem(trovati[0]);
  // What the platform delivers for a double click: press, release, double click, release.
  const QPoint p = l->visualItemRect(trovati[0]).center();
  QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, p);
  QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, p);
  QTest::mouseRelease(l->viewport(), Qt::LeftButton, {}, p);
  QCoreApplication::processEvents();
}

std::vector<std::vector<std::string>> Banco::SalvaEdEsporta() {
  auto r = tabelle::SalvaCopia(*conn_, tabella_, "TemporaneaVask");
  EXPECT_TRUE(r.isOk()) << r.status().message();
  vasktest::expectCheckClean(file_);
  return vasktest::mdbExportRows(file_, tabella_);
}

void Banco::Campo(const QString &nome) {
  auto *l = qobject_cast<QListWidget *>(attiva_->Focale());
  ASSERT_TRUE(l);
  auto trovati = l->findItems(nome, Qt::MatchExactly);
  ASSERT_EQ(trovati.size(), 1) << nome.toStdString();
  const int riga = l->row(trovati[0]);
  Premi(Qt::Key_Home);
  Giu(riga);
  ASSERT_EQ(l->currentRow(), riga);
  Invio();
}

void Banco::Operatore(int posizione) {
  auto *l = qobject_cast<QListWidget *>(attiva_->Focale());
  ASSERT_TRUE(l);
  ASSERT_EQ(l->currentRow(), 0);
  Giu(posizione);
  Invio();
}

void Banco::SostituisciCopia() {
  ASSERT_TRUE(conn_->Execute("DROP TABLE TemporaneaVask").isOk());
  ASSERT_TRUE(conn_->Execute("SELECT ID INTO TemporaneaVask FROM [" + tabella_ + "]").isOk());
}

long Banco::Conta(const std::string &dove, const std::string &tabella) {
  const std::string t = tabella == "TemporaneaVask" && !scrivibile_ ? tabella_ : tabella;
  std::string sql = "select * from [" + t + "]";
  if (!dove.empty())
    sql += " where " + dove;
  auto rs = conn_->OpenRecordset(sql, data::CursorType::Keyset, data::LockType::ReadOnly);
  EXPECT_TRUE(rs.isOk()) << sql << ": " << rs.status().message();
  return rs.isOk() ? (*rs)->RecordCount() : -1;
}

} // namespace bulktest
