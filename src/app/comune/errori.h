#pragma once
// Failures that no routine traps travel as ErroreVask up to the event handler, where Protetto
// reports them (number and description, as the program always has) and the window stays usable.
#include "jet/status.h"

#include <QString>
#include <exception>
#include <functional>

class ErroreVask : public std::exception {
public:
  ErroreVask(int numero, QString descrizione)
      : numero_(numero), descrizione_(std::move(descrizione)),
        testo_(descrizione_.toUtf8().toStdString()) {}
  explicit ErroreVask(const jet::Status &stato)
      : ErroreVask(stato.number(), QString::fromStdString(stato.message())) {}

  int Numero() const { return numero_; }
  const QString &Descrizione() const { return descrizione_; }
  const char *what() const noexcept override { return testo_.c_str(); }

private:
  int numero_;
  QString descrizione_;
  std::string testo_;
};

// Throws the status as ErroreVask when it is a failure.
inline void Verifica(const jet::Status &stato) {
  if (!stato.isOk())
    throw ErroreVask(stato);
}

// Common run-time error numbers.
constexpr int ErrArgomentoNonValido = 5;
constexpr int ErrDivisionePerZero = 11;
constexpr int ErrPermessoNegato = 70;
constexpr int ErrIngressoOltreFine = 62;
constexpr int ErrIO = 57;

// The message box of an untrapped failure.
void SegnalaErrore(int numero, const QString &descrizione);

// Runs an event handler: any failure escaping it is reported with SegnalaErrore and swallowed,
// so that no exception crosses the event loop. Returns false when the handler failed.
bool Protetto(const std::function<void()> &gestore);

// What Protetto runs after a failed handler and before reporting it: the window puts back a
// usable state (a transaction the failure left open rolled back). Empty: nothing.
void ImpostaRipristinoDopoErrore(std::function<void()> ripristino);
