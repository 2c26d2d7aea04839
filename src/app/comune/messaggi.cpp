#include "app/comune/messaggi.h"

#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

namespace {

GestoreMsgBox &gestoreCorrente() {
  static GestoreMsgBox g;
  return g;
}

bool risposteAutomatiche() {
  static const bool attive = qEnvironmentVariableIsSet("VASK_RISPOSTE_AUTOMATICHE");
  return attive;
}

QMessageBox::StandardButton pulsanteQt(int risposta) {
  switch (risposta) {
  case vbOK:
    return QMessageBox::Ok;
  case vbCancel:
    return QMessageBox::Cancel;
  case vbAbort:
    return QMessageBox::Abort;
  case vbRetry:
    return QMessageBox::Retry;
  case vbIgnore:
    return QMessageBox::Ignore;
  case vbYes:
    return QMessageBox::Yes;
  case vbNo:
    return QMessageBox::No;
  }
  return QMessageBox::NoButton;
}

} // namespace

std::vector<int> RispostePulsanti(int stile) {
  switch (stile & 7) {
  case vbOKCancel:
    return {vbOK, vbCancel};
  case vbAbortRetryIgnore:
    return {vbAbort, vbRetry, vbIgnore};
  case vbYesNoCancel:
    return {vbYes, vbNo, vbCancel};
  case vbYesNo:
    return {vbYes, vbNo};
  case vbRetryCancel:
    return {vbRetry, vbCancel};
  default:
    return {vbOK};
  }
}

int RispostaPredefinita(int stile) {
  std::vector<int> r = RispostePulsanti(stile);
  size_t i = static_cast<size_t>((stile >> 8) & 3);
  return i < r.size() ? r[i] : r.front();
}

QWidget *GenitoreDialoghi() {
  if (QWidget *w = QApplication::activeModalWidget())
    return w;
  if (QWidget *w = QApplication::activeWindow())
    return w;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (w->isVisible() && qobject_cast<QMainWindow *>(w))
      return w;
  return nullptr;
}

int MostraMsgBoxQt(const RichiestaMsgBox &richiesta) {
  if (risposteAutomatiche()) {
    int risposta = RispostaPredefinita(richiesta.stile);
    std::fprintf(stderr, "MsgBox [%s] %s -> %d\n", qUtf8Printable(richiesta.titolo),
                 qUtf8Printable(richiesta.testo), risposta);
    std::fflush(stderr);
    return risposta;
  }
  QMessageBox box(GenitoreDialoghi());
  PreparaMsgBoxQt(box, richiesta);
  box.exec();
  return RispostaMsgBoxQt(box, richiesta.stile);
}

void PreparaMsgBoxQt(QMessageBox &box, const RichiestaMsgBox &richiesta) {
  box.setWindowTitle(richiesta.titolo.isEmpty() ? QApplication::applicationName()
                                                : richiesta.titolo);
  QString testo = richiesta.testo;
  testo.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  box.setTextFormat(Qt::PlainText);
  box.setText(testo);
  switch (richiesta.icona()) {
  case vbCritical:
    box.setIcon(QMessageBox::Critical);
    break;
  case vbQuestion:
    box.setIcon(QMessageBox::Question);
    break;
  case vbExclamation:
    box.setIcon(QMessageBox::Warning);
    break;
  case vbInformation:
    box.setIcon(QMessageBox::Information);
    break;
  default:
    box.setIcon(QMessageBox::NoIcon);
  }
  std::vector<int> risposte = RispostePulsanti(richiesta.stile);
  QMessageBox::StandardButtons insieme;
  for (int r : risposte)
    insieme |= pulsanteQt(r);
  box.setStandardButtons(insieme);
  box.setDefaultButton(pulsanteQt(RispostaPredefinita(richiesta.stile)));
  // Esc answers Cancel where there is one and OK on a lone OK; elsewhere Qt's own choice, the
  // harmless No.
  if (insieme & QMessageBox::Cancel)
    box.setEscapeButton(QMessageBox::Cancel);
  else if (risposte.size() == 1)
    box.setEscapeButton(QMessageBox::Ok);
}

int RispostaMsgBoxQt(const QMessageBox &box, int stile) {
  std::vector<int> risposte = RispostePulsanti(stile);
  QAbstractButton *scelto = box.clickedButton();
  for (int r : risposte)
    if (scelto && scelto == box.button(pulsanteQt(r)))
      return r;
  // Closed without a button: the rightmost one, the harmless answer.
  return risposte.back();
}

int MsgBox(const QString &testo, int stile, const QString &titolo) {
  RichiestaMsgBox richiesta{testo, stile, titolo};
  GestoreMsgBox &g = gestoreCorrente();
  return g ? g(richiesta) : MostraMsgBoxQt(richiesta);
}

GestoreMsgBox ImpostaGestoreMsgBox(GestoreMsgBox gestore) {
  GestoreMsgBox precedente = std::move(gestoreCorrente());
  gestoreCorrente() = std::move(gestore);
  return precedente;
}

MsgBoxSimulato::MsgBoxSimulato() {
  precedente_ = ImpostaGestoreMsgBox([this](const RichiestaMsgBox &r) {
    mostrati_.push_back(r);
    if (risposte_.empty())
      return RispostaPredefinita(r.stile);
    int risposta = risposte_.front();
    risposte_.pop_front();
    return risposta;
  });
}

MsgBoxSimulato::~MsgBoxSimulato() {
  ImpostaGestoreMsgBox(std::move(precedente_));
}
