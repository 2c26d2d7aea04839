#include "app/principale.h"

#include <QApplication>
#include <QMainWindow>

int Avvio(int argc, char **argv) {
  QApplication app(argc, argv);
  QMainWindow w;
  w.setWindowTitle("Vask di Manutenzione del Database  (Ver. 1.3.3)");
  w.show();
  return app.exec();
}
