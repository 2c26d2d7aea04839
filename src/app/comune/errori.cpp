#include "app/comune/errori.h"

#include "app/comune/messaggi.h"

#include <new>

void SegnalaErrore(int numero, const QString &descrizione) {
  MsgBox(QStringLiteral("Errore di run-time '%1':\r\n\r\n%2").arg(numero).arg(descrizione),
         vbOKOnly + vbCritical);
}

namespace {

std::function<void()> &ripristino() {
  static std::function<void()> r;
  return r;
}

// The restore must not throw past the handler either: its own failure is reported after.
void ripristina() {
  if (!ripristino())
    return;
  try {
    ripristino()();
  } catch (const ErroreVask &e) {
    SegnalaErrore(e.Numero(), e.Descrizione());
  } catch (const std::exception &e) {
    SegnalaErrore(static_cast<int>(jet::ErrorCode::Internal),
                  QStringLiteral("Errore interno: %1").arg(QString::fromUtf8(e.what())));
  }
}

} // namespace

void ImpostaRipristinoDopoErrore(std::function<void()> r) {
  ripristino() = std::move(r);
}

bool Protetto(const std::function<void()> &gestore) {
  int numero = 0;
  QString descrizione;
  try {
    gestore();
    return true;
  } catch (const ErroreVask &e) {
    numero = e.Numero();
    descrizione = e.Descrizione();
  } catch (const std::bad_alloc &) {
    numero = 7;
    descrizione = QStringLiteral("Memoria esaurita");
  } catch (const std::exception &e) {
    numero = static_cast<int>(jet::ErrorCode::Internal);
    descrizione = QStringLiteral("Errore interno: %1").arg(QString::fromUtf8(e.what()));
  }
  // Rolled back before the message, so that nothing stays pending while the operator reads it.
  ripristina();
  SegnalaErrore(numero, descrizione);
  return false;
}
