#pragma once
// Every file dialog and printer dialog of the program goes through these two seams, like the
// message boxes through MsgBox (messaggi.h): the program's own handlers show the Qt dialogs,
// tests install others (or the Simulato helpers below) that answer without a modal loop.
// With VASK_RISPOSTE_AUTOMATICHE set, every dialog is cancelled.
#include <QString>
#include <functional>
#include <vector>

class QPrinter;
class QWidget;

// The open-file dialog: title, initial folder and file name as preset; no file-type filter
// unless one is given (Qt filter syntax). The answer is the chosen full name, empty on cancel.
struct RichiestaApriFile {
  QString titolo;
  QString cartellaIniziale;
  QString nomeFile;
  QString filtro;
  QWidget *genitore = nullptr;
};
using GestoreApriFile = std::function<QString(const RichiestaApriFile &)>;

QString ApriFile(const RichiestaApriFile &richiesta);
GestoreApriFile ImpostaGestoreApriFile(GestoreApriFile gestore);
QString MostraApriFileQt(const RichiestaApriFile &richiesta);

// The printer setup dialog on the given printer; true when the operator confirmed it (the
// handler may have changed the printer's settings), false on cancel.
using GestoreImpostaStampante = std::function<bool(QPrinter &, QWidget *)>;

bool ImpostaStampante(QPrinter &stampante, QWidget *genitore = nullptr);
GestoreImpostaStampante ImpostaGestoreStampante(GestoreImpostaStampante gestore);
bool MostraImpostaStampanteQt(QPrinter &stampante, QWidget *genitore);

// For tests: answers the open-file dialog from a queue (cancel once it is empty) and records
// each request; installs itself on construction, restores the previous handler on destruction.
class ApriFileSimulato {
public:
  ApriFileSimulato();
  ~ApriFileSimulato();
  ApriFileSimulato(const ApriFileSimulato &) = delete;
  ApriFileSimulato &operator=(const ApriFileSimulato &) = delete;

  void Rispondi(const QString &nomeCompleto) { risposte_.push_back(nomeCompleto); }
  const std::vector<RichiestaApriFile> &Richieste() const { return richieste_; }

private:
  std::vector<QString> risposte_;
  std::vector<RichiestaApriFile> richieste_;
  GestoreApriFile precedente_;
};

// For tests: the printer dialog answers true or false as told, and counts its calls.
class StampanteSimulata {
public:
  explicit StampanteSimulata(bool conferma = true);
  ~StampanteSimulata();
  StampanteSimulata(const StampanteSimulata &) = delete;
  StampanteSimulata &operator=(const StampanteSimulata &) = delete;

  int Chiamate() const { return chiamate_; }

private:
  bool conferma_;
  int chiamate_ = 0;
  GestoreImpostaStampante precedente_;
};
