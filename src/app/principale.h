#pragma once
// Start-up of the program.
int Avvio(int argc, char **argv);
