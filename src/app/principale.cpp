#include "app/principale.h"

#include "app/comune/fungen.h"
#include "app/comune/messaggi.h"
#include "app/comune/versione.h"
#include "app/configurazione.h"
#include "app/frmmain.h"
#include "app/istanza.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

bool PreparaApplicazione(QApplication &app) {
  QApplication::setApplicationName(QStringLiteral("Vask"));
  QApplication::setApplicationVersion(VersioneProgramma());
  QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));

  QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
  QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
  QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
  QFont carattere(QStringLiteral("MS Sans Serif"));
  carattere.setPointSize(8);
  QApplication::setFont(carattere);

  auto *traduttore = new QTranslator(&app);
  if (traduttore->load(QLocale(QLocale::Italian, QLocale::Italy), QStringLiteral("qtbase"),
                       QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(traduttore);
    return true;
  }
  delete traduttore;
  return false;
}

int Avvio(int argc, char **argv) {
  QApplication app(argc, argv);
  PreparaApplicazione(app);

  IstanzaUnica istanza;
  if (!istanza.Acquisisci()) {
    MsgBox(QStringLiteral("Questo programma è già attivo in un'altra finestra!"),
           vbOKOnly + vbCritical, QStringLiteral("Errore!"));
    return 1;
  }
  // "vask FILE": the first argument that Qt has not taken for itself.
  const QStringList argomenti = QCoreApplication::arguments();
  if (argomenti.size() > 1)
    DatabaseIniziale() = argomenti.at(1);
  MostraSuggerimenti = true;
  PercorsoDb = QStringLiteral("c:\\lavorow\\winzelbo\\vask");
  NomeDb = QStringLiteral("zelbo.mdb");

  frmMain finestra;
  finestra.show();
  if (qEnvironmentVariableIsSet("VASK_RISPOSTE_AUTOMATICHE")) {
    std::fprintf(stderr, "frmMain mostrata\n");
    std::fflush(stderr);
  }
  return app.exec();
}
