#pragma once
// Wires "Stampa (F9)" of the main window to the print command.
class frmMain;

void InstallaStampa(frmMain &f);
