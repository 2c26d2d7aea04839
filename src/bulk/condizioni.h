#pragma once
// The pieces of SQL text the condition builder and the bulk modify put together: type names,
// operator fragments, names in brackets, values made safe. No widgets here.
#include "jet/status.h"
#include "jet/value.h"

#include <QString>
#include <QStringList>
#include <cstdint>

namespace data {
struct Field;
}

namespace bulk {

// The type name of an ADO field type number.
QString FieldType(int16_t intType);

// The eight operator labels in list order ("UGUALE  A" has two blanks).
const QStringList &EtichetteOperatori();
// The SQL fragment of an operator label; a label matching none gives " = ".
QString OperatoreSql(const QString &etichetta);
// The items of the chaining list and of the scope list.
inline const QString kOk = QStringLiteral("- OK -");
inline const QString kE = QStringLiteral("  E  ");
inline const QString kO = QStringLiteral("  O  ");
inline const QString kTutti = QStringLiteral("TUTTI");
inline const QString kSelezione = QStringLiteral("SELEZIONE");

// "[name]".
QString NomeSql(const QString &nome);
// The text with every apostrophe doubled, between apostrophes.
QString TestoSql(const QString &testo);

// The value typed in the condition box as SQL text for the field: a text quoted as typed, a date
// as datevalue('gg/mm/aaaa'), numbers and yes/no read as the grid reads them. An empty or
// unreadable number, date or yes/no is an Italian failure naming the field.
jet::Result<QString> ValoreCondizione(const data::Field &campo, const QString &testo);

// One condition of the builder: join + "( " ... ")" as the builder writes it, with the name in
// brackets and the value as ValoreCondizione wrote it.
QString TestoCondizione(const QString &congiunzione, const QString &campo, const QString &operatore,
                        const QString &valore);

// A value as a literal: numbers with a full stop, True/False, #yyyy-mm-dd# (time when not
// midnight), text quoted safely, Null. Binary values have none.
jet::Result<QString> LetteraleSql(const jet::Value &v);

// The new value of a bulk modify, typed in the box, as a literal for the field. A text longer
// than the field, and an empty or unreadable number, date or yes/no, are Italian failures: a bulk
// modify never writes Null.
jet::Result<QString> LetteraleModifica(const data::Field &campo, const QString &testo);

} // namespace bulk
