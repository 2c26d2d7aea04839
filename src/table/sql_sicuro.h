#pragma once
// SQL text built from values the operator did not type as SQL: names in brackets, apostrophes
// doubled, numbers with a full stop, dates as #yyyy-mm-dd#, a Null compared with IS NULL.
#include "data/recordset.h"
#include "jet/status.h"
#include "jet/value.h"

#include <string>

namespace tabelle {

// "[name]"; a closing bracket, which Jet names cannot hold, is refused.
jet::Result<std::string> NomeSql(const std::string &nome);

// A value as a literal of the dialect: 'text' with apostrophes doubled, numbers with a full stop
// and no grouping, True/False, #yyyy-mm-dd# (with the time when it is not midnight), Null.
// Binary and OLE values have no literal and are refused.
jet::Result<std::string> LetteraleSql(const jet::Value &v);

// The filter condition "[field] = literal", or "[field] IS NULL" for a Null.
jet::Result<std::string> CondizioneUguale(const data::Field &campo, const jet::Value &v);

// Appends a condition to a WHERE text that is either "Where " alone or already holds conditions.
void AggiungiCondizione(std::string &condizioneFiltro, const std::string &condizione);

// True when the WHERE text holds no condition ("Where " in any case, blanks aside).
bool SenzaCondizioni(const std::string &condizioneFiltro);

// A count in the "#,###,##0" form with the Italian grouping point: 1234 -> "1.234".
std::string FormatoConteggio(long n);

// "Record p di n", with " (filtrati)" when a filter is active.
std::string TestoContatore(long posizione, long totale, bool filtrati);

} // namespace tabelle
