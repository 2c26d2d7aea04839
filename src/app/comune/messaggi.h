#pragma once
// Every message box of the program goes through MsgBox.
//
// MsgBox takes the text, a Windows message-box style (buttons + icon + default button, e.g.
// vbYesNo + vbQuestion + vbDefaultButton2) and a title, and returns the Windows answer code of
// the button chosen (vbYes, vbNo, vbOK, ...). An empty title means "no title of its own": the box
// then shows the application's name.
//
// The answer comes from one replaceable handler. The program's own shows a QMessageBox; tests
// install MsgBoxSimulato (below) to answer in turn and record every box, so no test waits on a
// modal loop. Every layer (table, bulk, maint, print) calls MsgBox and nothing else.
//
// With VASK_RISPOSTE_AUTOMATICHE set in the environment, every box is written to standard error
// and answered with its default button: this lets a test drive the real program as a process.
#include <QString>
#include <deque>
#include <functional>
#include <vector>

class QMessageBox;
class QWidget;

// Buttons.
constexpr int vbOKOnly = 0;
constexpr int vbOKCancel = 1;
constexpr int vbAbortRetryIgnore = 2;
constexpr int vbYesNoCancel = 3;
constexpr int vbYesNo = 4;
constexpr int vbRetryCancel = 5;
// Icons.
constexpr int vbCritical = 16;
constexpr int vbQuestion = 32;
constexpr int vbExclamation = 48;
constexpr int vbInformation = 64;
// Default button (the first when none is given).
constexpr int vbDefaultButton1 = 0;
constexpr int vbDefaultButton2 = 256;
constexpr int vbDefaultButton3 = 512;
// Answers.
constexpr int vbOK = 1;
constexpr int vbCancel = 2;
constexpr int vbAbort = 3;
constexpr int vbRetry = 4;
constexpr int vbIgnore = 5;
constexpr int vbYes = 6;
constexpr int vbNo = 7;

struct RichiestaMsgBox {
  QString testo;
  int stile = vbOKOnly;
  QString titolo;

  int pulsanti() const { return stile & 7; }
  int icona() const { return stile & 0x70; }
  // 0 for the first button, 1 for the second, 2 for the third.
  int pulsantePredefinito() const { return (stile >> 8) & 3; }
};

using GestoreMsgBox = std::function<int(const RichiestaMsgBox &)>;

int MsgBox(const QString &testo, int stile = vbOKOnly, const QString &titolo = QString());

// Installs a handler and returns the one it replaces; an empty handler restores the program's own.
GestoreMsgBox ImpostaGestoreMsgBox(GestoreMsgBox gestore);

// The answer codes of the box's buttons, left to right.
std::vector<int> RispostePulsanti(int stile);
// The answer of the default button (what Enter chooses).
int RispostaPredefinita(int stile);

// The program's own handler: a QMessageBox over the active window.
int MostraMsgBoxQt(const RichiestaMsgBox &richiesta);
// The window a box or dialog is shown over: the active one, or, between windows (after a
// dialog or a close request), the program's main window, never the bare screen.
QWidget *GenitoreDialoghi();
// Its two halves: the box's title, text, icon and buttons; the answer of the button clicked.
void PreparaMsgBoxQt(QMessageBox &box, const RichiestaMsgBox &richiesta);
int RispostaMsgBoxQt(const QMessageBox &box, int stile);

// For tests: answers boxes from a queue (the default button once the queue is empty) and records
// them. Installs itself on construction and puts the previous handler back on destruction.
class MsgBoxSimulato {
public:
  MsgBoxSimulato();
  ~MsgBoxSimulato();
  MsgBoxSimulato(const MsgBoxSimulato &) = delete;
  MsgBoxSimulato &operator=(const MsgBoxSimulato &) = delete;

  void Rispondi(int risposta) { risposte_.push_back(risposta); }
  const std::vector<RichiestaMsgBox> &Mostrati() const { return mostrati_; }
  void Azzera() { mostrati_.clear(); }

private:
  std::deque<int> risposte_;
  std::vector<RichiestaMsgBox> mostrati_;
  GestoreMsgBox precedente_;
};
