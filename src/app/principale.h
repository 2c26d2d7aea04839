#pragma once
// Start-up of the program.
class QApplication;

int Avvio(int argc, char **argv);

// Application name, Italian locale and Qt's own Italian texts ("Sì", "Annulla"), the Windows
// font names mapped to their metric twins. True when the Qt translations were found.
bool PreparaApplicazione(QApplication &app);
