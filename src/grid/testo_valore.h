#pragma once
// Values as the operator sees and types them: Italian regional settings (decimal comma,
// grouping point, day/month/year) whatever locale the environment sets.
#include "data/recordset.h"
#include "jet/status.h"
#include "jet/value.h"

#include <QString>
#include <string>

namespace grid {

// The ordinary value-to-text conversion under Italian settings: numbers plainly, with a decimal
// comma and no grouping (1234,5); dates dd/mm/yyyy hh:mm:ss, the time left out when it is
// midnight and the date left out when only a time is held; yes/no as "Vero" / "Falso"; a Null
// as the empty text.
std::string testoValore(const jet::Value &v);

// Reads what the operator typed for a field of the given type. An empty text is a Null. Numbers
// take a decimal comma and grouping points only where they group thousands, so "3.5" is refused
// instead of being read as 35. The Status carries an Italian message naming the field.
jet::Result<jet::Value> leggiValore(const std::string &testo, const data::Field &campo);

// A stored text as a multi-line editor shows it (one new-line character per line end), and the
// editor's text back as it is to be stored: the stored text itself where the operator changed
// nothing, otherwise with every line end written CR LF, as the suite writes them.
QString testoPerEditor(const QString &memorizzato);
QString testoDaEditor(const QString &editato, const QString &memorizzato);

// True where the grid edits the field's values as text (not binary data or OLE objects).
bool modificabile(const data::Field &campo);

} // namespace grid
