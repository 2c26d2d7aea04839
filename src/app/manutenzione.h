#pragma once
// The maintenance panels of the main window; InstallaManutenzione (frmmain.h) fills them.
class frmMain;
class PannelloAzzera;
class PannelloStruttura;

// The panels of a window once installed (null before).
PannelloAzzera *PannelloAzzeraDi(const frmMain &finestra);
PannelloStruttura *PannelloStrutturaDi(const frmMain &finestra);
