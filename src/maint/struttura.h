#pragma once
// The structure view's list without its panel: one fixed-column line per field.
#include <QString>
#include <vector>

namespace data {
struct Field;
}

// The Italian name of an ADO type number ("???" for the types the list does not name).
QString NomeTipo(int tipoAdo);

// One line: number right-aligned in 3, a blank, the name in 20, the type description in 20,
// the defined size for text types; CR LF. A value longer than its column is written whole.
QString RigaStruttura(int indice, const data::Field &campo);
QString TestoStruttura(const std::vector<data::Field> &campi);

// The query of the real table; the name goes in brackets, so names with blanks open too. A name
// that cannot be bracketed throws ErroreVask.
QString QueryStruttura(const QString &tabella);

// The list of the table's fields, read on a new connection to the file (PercorsoDb + NomeDb).
// A table that cannot be opened throws ErroreVask.
QString LeggiStruttura(const QString &fileDb, const QString &tabella);
