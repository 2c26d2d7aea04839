#pragma once
// The print preview window "Anteprima di Stampa".
#include "jet/status.h"
#include "print/stampa_rapporto.h"

#include <QDialog>
#include <filesystem>

class QFrame;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace print {

class FormStampa : public QDialog {
  Q_OBJECT

public:
  // Loads the report at path (percorsoRapporto() when empty) as Form_Load does.
  explicit FormStampa(QWidget *parent = nullptr, std::filesystem::path path = {});
  ~FormStampa() override;

  // The outcome of loading; the window is not shown after a failure.
  const jet::Status &statoCaricamento() const { return load_; }

  void allarga_Click();
  void riduci_Click();
  void chiudi_Click();
  void Command5_Click();
  void stampa_Click();
  void Annullastampa_Click();

  double dimensioneTesto() const { return textSize_; }
  bool stampaInCorso() const { return running_; }
  EsitoStampa ultimoEsito() const { return lastRun_; }

  // Controls, named as the window's design names them.
  QPlainTextEdit *RichTextBox1 = nullptr;
  QLabel *Label1 = nullptr;
  QLabel *Label2 = nullptr;
  QGroupBox *Frame1 = nullptr;
  QToolButton *stampa = nullptr;
  QPushButton *Command5 = nullptr;
  QToolButton *allarga = nullptr;
  QToolButton *riduci = nullptr;
  QPushButton *chiudi = nullptr;
  QFrame *stampaincorso = nullptr;
  QLabel *Label3 = nullptr;
  QLabel *Label4 = nullptr;
  QProgressBar *ProgressBar1 = nullptr;
  QPushButton *Annullastampa = nullptr;

  // Twips to pixels of this screen.
  int tw(int twips) const;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  void reject() override;

private:
  void Form_Load();
  jet::Status CaricaAnteprima();
  void CalcolaPagine();
  void applyTextSize();
  void noSelection();

  std::filesystem::path path_;
  jet::Status load_;
  double textSize_ = 8.25;
  bool running_ = false;
  bool cancelRequested_ = false;
  bool closeAfterRun_ = false;
  EsitoStampa lastRun_ = EsitoStampa::Completata;
};

// Shows the preview of the report modally; replaceable so that a test can look at the window
// or close it instead of waiting on the modal loop.
using PreviewFunction = std::function<void(QWidget *parent)>;
PreviewFunction &previewFunction();

} // namespace print
