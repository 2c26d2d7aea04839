#include "app/comune/errori.h"

#include "app/comune/messaggi.h"

#include <new>

void SegnalaErrore(int numero, const QString &descrizione) {
  MsgBox(QStringLiteral("Errore di run-time '%1':\r\n\r\n%2").arg(numero).arg(descrizione),
         vbOKOnly + vbCritical);
}

bool Protetto(const std::function<void()> &gestore) {
  try {
    gestore();
    return true;
  } catch (const ErroreVask &e) {
    SegnalaErrore(e.Numero(), e.Descrizione());
  } catch (const std::bad_alloc &) {
    SegnalaErrore(7, QStringLiteral("Memoria esaurita"));
  } catch (const std::exception &e) {
    SegnalaErrore(static_cast<int>(jet::ErrorCode::Internal),
                  QStringLiteral("Errore interno: %1").arg(QString::fromUtf8(e.what())));
  }
  return false;
}
