#include "app/comune/dialoghi.h"

#include "app/comune/messaggi.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <cstdio>

namespace {

GestoreApriFile &gestoreFile() {
  static GestoreApriFile g;
  return g;
}

GestoreImpostaStampante &gestoreStampante() {
  static GestoreImpostaStampante g;
  return g;
}

bool risposteAutomatiche() {
  static const bool attive = qEnvironmentVariableIsSet("VASK_RISPOSTE_AUTOMATICHE");
  return attive;
}

} // namespace

QString MostraApriFileQt(const RichiestaApriFile &r) {
  if (risposteAutomatiche()) {
    std::fprintf(stderr, "ApriFile [%s] %s %s -> annullato\n", qUtf8Printable(r.titolo),
                 qUtf8Printable(r.cartellaIniziale), qUtf8Printable(r.nomeFile));
    std::fflush(stderr);
    return QString();
  }
  QFileDialog dlg(r.genitore ? r.genitore : GenitoreDialoghi(), r.titolo);
  dlg.setFileMode(QFileDialog::ExistingFile);
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  if (!r.cartellaIniziale.isEmpty())
    dlg.setDirectory(QDir::fromNativeSeparators(r.cartellaIniziale));
  if (!r.filtro.isEmpty())
    dlg.setNameFilter(r.filtro);
  if (!r.nomeFile.isEmpty())
    dlg.selectFile(r.nomeFile);
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
    return QString();
  return QDir::toNativeSeparators(dlg.selectedFiles().first());
}

QString ApriFile(const RichiestaApriFile &richiesta) {
  GestoreApriFile &g = gestoreFile();
  return g ? g(richiesta) : MostraApriFileQt(richiesta);
}

GestoreApriFile ImpostaGestoreApriFile(GestoreApriFile gestore) {
  GestoreApriFile precedente = std::move(gestoreFile());
  gestoreFile() = std::move(gestore);
  return precedente;
}

bool MostraImpostaStampanteQt(QPrinter &stampante, QWidget *genitore) {
  if (risposteAutomatiche()) {
    std::fprintf(stderr, "ImpostaStampante -> annullato\n");
    std::fflush(stderr);
    return false;
  }
  QPrintDialog dlg(&stampante, genitore ? genitore : GenitoreDialoghi());
  return dlg.exec() == QDialog::Accepted;
}

bool ImpostaStampante(QPrinter &stampante, QWidget *genitore) {
  GestoreImpostaStampante &g = gestoreStampante();
  return g ? g(stampante, genitore) : MostraImpostaStampanteQt(stampante, genitore);
}

GestoreImpostaStampante ImpostaGestoreStampante(GestoreImpostaStampante gestore) {
  GestoreImpostaStampante precedente = std::move(gestoreStampante());
  gestoreStampante() = std::move(gestore);
  return precedente;
}

ApriFileSimulato::ApriFileSimulato() {
  precedente_ = ImpostaGestoreApriFile([this](const RichiestaApriFile &r) {
    richieste_.push_back(r);
    if (risposte_.empty())
      return QString();
    QString risposta = risposte_.front();
    risposte_.erase(risposte_.begin());
    return risposta;
  });
}

ApriFileSimulato::~ApriFileSimulato() {
  ImpostaGestoreApriFile(std::move(precedente_));
}

StampanteSimulata::StampanteSimulata(bool conferma) : conferma_(conferma) {
  precedente_ = ImpostaGestoreStampante([this](QPrinter &, QWidget *) {
    ++chiamate_;
    return conferma_;
  });
}

StampanteSimulata::~StampanteSimulata() {
  ImpostaGestoreStampante(std::move(precedente_));
}
