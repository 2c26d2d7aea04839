#include "jet/errors.h"

#include <cerrno>
#include <cstring>

namespace jet {

namespace {
constexpr std::string_view kDamaged = "Il database è danneggiato: ";
}

Status corruptPage(uint32_t page, std::string_view detail) {
  std::string m(kDamaged);
  m += "pagina " + std::to_string(page) + ": ";
  m += detail;
  m += ".";
  return {ErrorCode::Corrupt, m};
}

Status corrupt(std::string_view detail) {
  std::string m(kDamaged);
  m += detail;
  m += ".";
  return {ErrorCode::Corrupt, m};
}

Status inTable(Status status, std::string_view table) {
  if (status.code() != ErrorCode::Corrupt)
    return status;
  const std::string &m = status.message();
  if (m.rfind(kDamaged, 0) != 0 || m.compare(kDamaged.size(), 8, "tabella ") == 0)
    return status;
  std::string out(kDamaged);
  out += "tabella \"";
  out += table;
  out += "\", ";
  out += m.substr(kDamaged.size());
  return {ErrorCode::Corrupt, out};
}

Status requiredNull(std::string_view table, std::string_view column) {
  std::string m = "Il campo '";
  m += table;
  m += ".";
  m += column;
  m += "' non può contenere un valore Null poiché la proprietà Required di questo campo è "
       "impostata su True. Immettere un valore nel campo.";
  return {ErrorCode::RequiredNull, m};
}

Status nullInKey(std::string_view table, std::string_view column, bool primary,
                 std::string_view index) {
  std::string m = "Il campo '";
  m += column;
  m += "' della tabella '";
  m += table;
  m += primary ? "' non può essere Null: fa parte della chiave primaria '"
               : "' non può essere Null: fa parte dell'indice '";
  m += index;
  m += "'.";
  return {ErrorCode::RequiredNull, m};
}

Status ioError(std::string_view path, std::string_view what, int err) {
  std::string m = "Impossibile ";
  m += what;
  m += " il file \"";
  m += path;
  m += "\": ";
  switch (err) {
  case ENOENT:
    m += "il file non esiste";
    break;
  case EACCES:
  case EPERM:
    m += "accesso negato";
    break;
  case EISDIR:
    m += "è una cartella";
    break;
  default:
    m += std::strerror(err);
  }
  m += ".";
  return {ErrorCode::IoError, m};
}

} // namespace jet
