#include "bulk/condizioni.h"

#include "data/recordset.h"
#include "grid/testo_valore.h"
#include "widgets/regional.h"

#include <QRegularExpression>
#include <charconv>
#include <cmath>
#include <cstdio>

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
  QString t = testo;
  t.replace(u'\'', QStringLiteral("''"));
  return u'\'' + t + u'\'';
}

namespace {

QString decimaleSql(const regional::Decimal &d) {
  std::string intero, frazione;
  const int cifre = d.exponent < 0 ? -d.exponent : 0;
  regional::splitDigits(d, cifre, intero, frazione);
  while (!frazione.empty() && frazione.back() == '0')
    frazione.pop_back();
  if (intero.empty())
    intero = "0";
  std::string s = (d.negative && !d.isZero() ? "-" : "") + intero;
  if (!frazione.empty())
    s += "." + frazione;
  return QString::fromStdString(s);
}

QString realeSql(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return QString::fromLatin1(buf, int(r.ptr - buf));
}

} // namespace

QString NumeroSql(const QString &testo) {
  const QString t = testo.trimmed();
  // Grouping points only where they group thousands: "1.5" is left for the engine to read.
  static const QRegularExpression italiano(
      QStringLiteral("^[-+]?(\\d{1,3}(\\.\\d{3})+|\\d+)(,\\d*)?$|^[-+]?,\\d+$"));
  if (!italiano.match(t).hasMatch())
    return t;
  auto d = regional::parseNumber(t);
  return d ? decimaleSql(*d) : t;
}

QString TestoCondizione(const QString &congiunzione, const QString &campo, const QString &operatore,
                        const QString &tipocampo, const QString &valore) {
  const QString f = NomeSql(campo);
  if (operatore == QStringLiteral(" not isempty() "))
    return congiunzione + QStringLiteral("( NOT ISEMPTY(") + f + QStringLiteral("))");
  if (operatore == QStringLiteral(" isempty() "))
    return congiunzione + QStringLiteral("( ISEMPTY(") + f + QStringLiteral("))");
  if (tipocampo == QStringLiteral("adString"))
    return congiunzione + QStringLiteral("( ") + f + operatore + TestoSql(valore) + u')';
  if (tipocampo == QStringLiteral("adDate"))
    return congiunzione + QStringLiteral("( ") + f + operatore + QStringLiteral(" datevalue(") +
           TestoSql(valore.trimmed()) + QStringLiteral(") )");
  return congiunzione + QStringLiteral("( ") + f + operatore + NumeroSql(valore) + u')';
}

jet::Result<QString> LetteraleSql(const jet::Value &v) {
  if (v.isNull())
    return QStringLiteral("Null");
  if (auto b = v.getIf<bool>())
    return *b ? QStringLiteral("True") : QStringLiteral("False");
  if (auto x = v.getIf<uint8_t>())
    return QString::number(*x);
  if (auto x = v.getIf<int16_t>())
    return QString::number(*x);
  if (auto x = v.getIf<int32_t>())
    return QString::number(*x);
  if (auto x = v.getIf<float>())
    return realeSql(double(*x));
  if (auto x = v.getIf<double>())
    return realeSql(*x);
  if (auto c = v.getIf<jet::Currency>()) {
    const int64_t u = c->units;
    const uint64_t a = u < 0 ? uint64_t(-(u + 1)) + 1 : uint64_t(u);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%llu.%04llu", u < 0 ? "-" : "",
                  (unsigned long long)(a / 10000), (unsigned long long)(a % 10000));
    return QString::fromLatin1(buf);
  }
  if (auto d = v.getIf<jet::DateTime>()) {
    const jet::CivilDateTime c = jet::toCivil(*d);
    QString s = QString::asprintf("#%04d-%02d-%02d", c.year, c.month, c.day);
    if (c.hour || c.minute || c.second)
      s += QString::asprintf(" %02d:%02d:%02d", c.hour, c.minute, c.second);
    return s + u'#';
  }
  if (auto s = v.getIf<std::string>())
    return TestoSql(QString::fromStdString(*s));
  if (auto n = v.getIf<jet::Decimal>()) {
    regional::Decimal d;
    d.negative = n->negative;
    unsigned __int128 m = n->magnitude;
    std::string cifre;
    while (m) {
      cifre.insert(cifre.begin(), char('0' + int(m % 10)));
      m /= 10;
    }
    d.digits = cifre;
    d.exponent = -int(n->scale);
    return decimaleSql(d);
  }
  return jet::Status{jet::ErrorCode::TypeMismatch,
                     "Un valore binario non si può scrivere in un'istruzione di modifica."};
}

jet::Result<QString> LetteraleModifica(const data::Field &campo, const QString &testo,
                                       const QString &valore) {
  switch (campo.type) {
  case 203:
  case 202:
  case 130:
    return TestoSql(testo);
  case 7: {
    const QString t = testo.trimmed();
    if (t.isEmpty())
      return QStringLiteral("Null");
    auto giorni = regional::parseDate(t);
    static const QRegularExpression forma(QStringLiteral("^\\d{1,2}/\\d{1,2}/\\d{4}$"));
    if (!giorni || !forma.match(t).hasMatch())
      return jet::Status{jet::ErrorCode::TypeMismatch,
                         "La data " + t.toStdString() + " per il campo " + campo.name +
                             " non è completa o non è valida (gg/mm/aaaa)."};
    return LetteraleSql(jet::Value(jet::DateTime{std::floor(*giorni)}));
  }
  case 3:
  case 2:
  case 5:
  case 4:
    return valore.trimmed().isEmpty() ? QStringLiteral("Null") : valore.trimmed();
  }
  auto v = grid::leggiValore(testo.trimmed().toStdString(), campo);
  if (!v)
    return v.status();
  return LetteraleSql(*v);
}

} // namespace bulk
