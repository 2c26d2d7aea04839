#pragma once
// General routines shared by every window: status panels, fixed-width columns, key=value files,
// the command registry with its button rows, the look and place of the frame panels, and the
// grid's cursor keys. Sizes and positions are in twips (twips.h).
#include <QColor>
#include <QList>
#include <QString>
#include <QVector>
#include <optional>

class QFrame;
class QLabel;
class QWidget;
class Forma;

// Program-wide state.
extern QString PercorsoDb;      // folder of the database, used as a prefix of NomeDb unchanged
extern QString NomeDb;          // file name of the database
extern bool MostraSuggerimenti; // registered controls get their pop-up hint

// --- Status bar ---------------------------------------------------------------------------

// The main window names its status panels here (1 is the first); MostraStato writes them.
void ImpostaBarraStato(QWidget *finestra, const QList<QLabel *> &pannelli);
// Sets the panel's text; does nothing while the window is missing or hidden or has no such panel.
void MostraStato(const QString &testo, qint16 pannello);
// The same, painted at once: for a text to be seen before a long work holds the event loop.
void MostraStatoOra(const QString &testo, qint16 pannello);
// The panel's current text (empty when there is none).
QString TestoStato(qint16 pannello);

// --- Fixed-width columns --------------------------------------------------------------------

// Text padded on the right (left-aligned column) or on the left (right-aligned) with the first
// character of riempi to lunghezza characters. A text already that long comes back unchanged and
// riempi is left alone; otherwise riempi is cut to its first character. An empty riempi where
// padding is needed is an error (5).
QString RiempiADestra(const QString &testo, qint16 lunghezza, QString &riempi);
QString RiempiASinistra(const QString &testo, qint16 lunghezza, QString &riempi);

// --- Key=value files --------------------------------------------------------------------------

struct CoppiaChiave {
  QString chiave; // the line up to and including its first "=" (the whole line without one)
  QString valore; // the rest of the line
};

// modo 0: the value of the first line whose beginning up to its first "=" is chiave + "=",
// both taken in upper case; nothing when no line matches. Any other modo: the whole file, each
// line followed by CR LF. Nothing for a missing file. A read error is reported in a message box
// and gives nothing.
std::optional<QString> LeggiFileChiavi(const QString &file, const QString &chiave, int modo);
// The list form: elenco becomes the file's lines as pairs, entries 0 to N-1 for N lines plus one
// empty entry N; the result is "OK" (nothing for a missing file or on a read error).
std::optional<QString> LeggiFileChiavi(const QString &file, const QString &chiave,
                                       QVector<CoppiaChiave> &elenco);

// --- Command registry -------------------------------------------------------------------------

struct VoceRegistro {
  QWidget *controllo;
  qint16 larghezzaFissa; // twips; 0 shares the free width of the row
  QString gruppo;
};

// Adds the control to the registry (reset empties it first). Without reset, a control whose
// name (ignoring case) is already registered in exactly that group is not added again.
void RegistraBottone(QWidget *controllo, qint16 larghezzaFissa, const QString &suggerimento,
                     bool azzera, const QString &gruppo);
// Enables or disables every registered control of the group (name ignoring case).
void AbilitaGruppo(bool abilitato, const QString &gruppo);
// Lays out the group as one row, in registration order, from sinistra + offset, across
// totale - sinistra - margine twips; the controls without a fixed width share what is left.
// An overfull row is reported and nothing moves.
void DisponiBottoni(qint32 totale, qint32 sinistra, qint32 margine, qint32 offset,
                    const QString &gruppo);
// The registry as it stands (for tests and for the windows that read it).
QList<VoceRegistro> Registro();

// --- Frame panels -----------------------------------------------------------------------------

// A Windows colour value: a system colour (0x80000000 | index) or a 0x00BBGGRR value.
QColor ColoreVb(quint32 valore);
// A Windows system colour by index (COLOR_ACTIVEBORDER is 10, ...), from the application palette.
QColor ColoreDiSistema(int indice);

void StileRiquadro(QFrame *riquadro, Forma *bordo, QLabel *titolo, const QString &testo);
void CentraRiquadro(QWidget *riquadro, const QWidget *contenitore, qint32 dx, qint32 dy);

// --- Grid cursor ------------------------------------------------------------------------------

// Moves the cursor of the focused control (the grid) with key strokes, after letting pending
// events run: direction < 0 sets its "col" to colonna, then Home on the first row ("row" 0) or
// Up and Down elsewhere; 0 Home; > 0 Up and Down. attesa delivers the keys before returning,
// otherwise they are queued.
void TastoGriglia(qint16 direzione, bool attesa, qint16 colonna);
// The same on a given control.
void TastoGrigliaSu(QWidget *bersaglio, qint16 direzione, bool attesa, qint16 colonna);
