#pragma once
// Fills the panels frStruttura and frAzzera of the main window and installs the commands
// "Struttura" and "Azzera".
class frmMain;
class PannelloAzzera;
class PannelloStruttura;

void InstallaManutenzione(frmMain &finestra);

// The panels of a window once installed (null before).
PannelloAzzera *PannelloAzzeraDi(const frmMain &finestra);
PannelloStruttura *PannelloStrutturaDi(const frmMain &finestra);
