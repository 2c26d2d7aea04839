#include "maint/struttura.h"

#include "app/comune/errori.h"
#include "app/comune/fungen.h"
#include "data/ado_types.h"
#include "data/man_db.h"
#include "sql/literal.h"

QString NomeTipo(int tipoAdo) {
  switch (tipoAdo) {
  case 3:
  case 20:
    return QStringLiteral("Intero lungo");
  case 4:
    return QStringLiteral("Precisione singola");
  case 5:
    return QStringLiteral("Doppia precisione");
  case 7:
    return QStringLiteral("Data");
  case 11:
    return QStringLiteral("Booleano");
  case 130:
  case 202:
  case 203:
    return QStringLiteral("Testo");
  default:
    return QStringLiteral("???");
  }
}

QString RigaStruttura(int indice, const data::Field &campo) {
  QString riempi = QStringLiteral(" ");
  QString riga = RiempiASinistra(QString::number(indice), 3, riempi) + u' ';
  riga += RiempiADestra(QString::fromStdString(campo.name), 20, riempi);
  riga +=
      RiempiADestra(NomeTipo(campo.type) + u'(' + QString::number(campo.type) + u')', 20, riempi);
  if (data::isTextAdoType(campo.type))
    riga += QString::number(campo.definedSize);
  return riga + QStringLiteral("\r\n");
}

QString TestoStruttura(const std::vector<data::Field> &campi) {
  QString testo;
  for (size_t i = 0; i < campi.size(); ++i)
    testo += RigaStruttura(int(i), campi[i]);
  return testo;
}

QString QueryStruttura(const QString &tabella) {
  const auto nome = sql::quoteName(tabella.toStdString());
  if (!nome)
    throw ErroreVask(static_cast<int>(jet::ErrorCode::InvalidName),
                     QStringLiteral("Il nome di tabella \"%1\" non è valido.").arg(tabella));
  return QStringLiteral("select * from ") + QString::fromStdString(*nome) + u';';
}

QString LeggiStruttura(const QString &fileDb, const QString &tabella) {
  data::ManDB gestore([fileDb] { return fileDb.toStdString(); });
  auto rs = gestore.get_Rs(QueryStruttura(tabella).toStdString(), std::string(), 1, 1, 1, nullptr);
  Verifica(rs.isOk() ? jet::Status() : rs.status());
  const QString testo = TestoStruttura((*rs)->fields());
  (*rs)->Close();
  return testo;
}
