#include "bulk/condizioni.h"

#include "data/ado_types.h"
#include "data/recordset.h"
#include "grid/testo_valore.h"
#include "sql/literal.h"

namespace bulk {

QString FieldType(int16_t intType) {
  switch (intType) {
  case 202:
  case 130:
  case 203:
    return QStringLiteral("adString");
  case 129:
    return QStringLiteral("adChar");
  case 200:
    return QStringLiteral("adVarChar");
  case 2:
    return QStringLiteral("adSmallInt");
  case 17:
    return QStringLiteral("adUnsignedTinyInt");
  case 135:
    return QStringLiteral("adDBTimeStamp");
  case 7:
    return QStringLiteral("adDate");
  }
  return QStringLiteral("adNumeric");
}

const QStringList &EtichetteOperatori() {
  static const QStringList e{QStringLiteral("UGUALE  A"),
                             QStringLiteral("DIVERSO DA"),
                             QStringLiteral("MAGGIORE DI"),
                             QStringLiteral("MINORE DI"),
                             QStringLiteral("MAGGIORE O UGUALE A"),
                             QStringLiteral("MINORE O UGUALE A"),
                             QStringLiteral("PIENO"),
                             QStringLiteral("VUOTO")};
  return e;
}

QString OperatoreSql(const QString &etichetta) {
  static const QStringList f{QStringLiteral(" = "),
                             QStringLiteral(" <> "),
                             QStringLiteral(" > "),
                             QStringLiteral(" < "),
                             QStringLiteral(" >= "),
                             QStringLiteral(" <= "),
                             QStringLiteral(" not isempty() "),
                             QStringLiteral(" isempty() ")};
  const int i = EtichetteOperatori().indexOf(etichetta);
  return i < 0 ? f[0] : f[i];
}

QString NomeSql(const QString &nome) {
  return u'[' + nome + u']';
}

QString TestoSql(const QString &testo) {
  return QString::fromStdString(sql::quoteText(testo.toStdString()));
}

namespace {

bool testuale(const data::Field &campo) {
  return data::isTextAdoType(campo.type) || campo.type == 129 || campo.type == 200;
}

// The operator's text read for a field that is not text; empty is refused, never Null.
jet::Result<jet::Value> valoreNonTesto(const data::Field &campo, const QString &testo) {
  const QString t = testo.trimmed();
  if (t.isEmpty())
    return jet::Status{jet::ErrorCode::TypeMismatch,
                       "Il campo " + campo.name + " vuole un valore: la casella non può restare " +
                           (campo.type == 7 ? "vuota (gg/mm/aaaa)." : "vuota.")};
  return grid::leggiValore(t.toStdString(), campo);
}

} // namespace

jet::Result<QString> ValoreCondizione(const data::Field &campo, const QString &testo) {
  if (testuale(campo))
    return TestoSql(testo);
  auto v = valoreNonTesto(campo, testo);
  if (!v)
    return v.status();
  if (campo.type == 7)
    return QStringLiteral(" datevalue(") + TestoSql(testo.trimmed()) + QStringLiteral(") ");
  return LetteraleSql(*v);
}

QString TestoCondizione(const QString &congiunzione, const QString &campo, const QString &operatore,
                        const QString &valore) {
  const QString f = NomeSql(campo);
  if (operatore == QStringLiteral(" not isempty() "))
    return congiunzione + QStringLiteral("( NOT ISEMPTY(") + f + QStringLiteral("))");
  if (operatore == QStringLiteral(" isempty() "))
    return congiunzione + QStringLiteral("( ISEMPTY(") + f + QStringLiteral("))");
  return congiunzione + QStringLiteral("( ") + f + operatore + valore + u')';
}

jet::Result<QString> LetteraleSql(const jet::Value &v) {
  if (v.is<jet::Bytes>())
    return jet::Status{jet::ErrorCode::TypeMismatch,
                       "Un valore binario non si può scrivere in un'istruzione di modifica."};
  return QString::fromStdString(sql::literal(v));
}

jet::Result<QString> LetteraleModifica(const data::Field &campo, const QString &testo) {
  if (testuale(campo)) {
    // Read only for its length: an empty text stays an empty text.
    auto v = grid::leggiValore(testo.toStdString(), campo);
    if (!v)
      return v.status();
    return TestoSql(testo);
  }
  auto v = valoreNonTesto(campo, testo);
  if (!v)
    return v.status();
  return LetteraleSql(*v);
}

} // namespace bulk
