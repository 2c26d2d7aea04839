#pragma once
// Where the program finds its configuration and the database it opens at start.
#include <QString>

// WZELBO.INI beside the program when it is there, else in the user's configuration folder
// ($XDG_CONFIG_HOME/vask, by default ~/.config/vask): an installed program's folder is not
// the user's to write. The file is only ever read.
QString FileConfigurazione(const QString &cartellaProgramma);

// The database named on the command line ("vask FILE"), empty without one. It is opened at
// start in place of the configured one.
QString &DatabaseIniziale();
