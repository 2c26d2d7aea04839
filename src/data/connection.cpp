#include "data/connection.h"

#include "data/ado_types.h"
#include "data/shared_database.h"
#include "sql/executor.h"
#include "sql/parser.h"

#include <algorithm>
#include <cctype>

namespace data {

namespace {

std::string trim(std::string s) {
  auto notSpace = [](unsigned char c) { return !std::isspace(c); };
  s.erase(s.begin(), std::find_if(s.begin(), s.end(), notSpace));
  s.erase(std::find_if(s.rbegin(), s.rend(), notSpace).base(), s.end());
  return s;
}

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

const char *kJetProvider = "microsoft.jet.oledb.4.0";

jet::Status busyElsewhere() {
  return {jet::ErrorCode::Locked,
          "Impossibile aggiornare: il database è impegnato in una transazione di un'altra "
          "connessione."};
}

// Writes a recordset's changes to one table, each in a transaction of its own unless the
// connection already has one open.
class TableRowWriter : public RowWriter {
public:
  TableRowWriter(std::shared_ptr<Connection> conn, std::string table)
      : conn_(std::move(conn)), table_(std::move(table)) {}

  jet::Status updateRow(RowId &row, std::vector<jet::Value> &values) override {
    return atomically([&](sql::Table &t) { return t.update(row, values); });
  }
  jet::Result<RowId> insertRow(std::vector<jet::Value> &values) override {
    RowId id = 0;
    JET_TRY(atomically([&](sql::Table &t) {
      std::vector<bool> supplied(values.size());
      for (size_t i = 0; i < values.size(); ++i)
        supplied[i] = !values[i].isNull() || !t.columns()[i].autoNumber;
      auto r = t.insert(values, supplied);
      if (!r)
        return r.status();
      id = *r;
      return jet::Status::ok();
    }));
    return id;
  }
  jet::Status deleteRow(RowId row) override {
    return atomically([&](sql::Table &t) { return t.remove(row); });
  }

private:
  template <typename F> jet::Status atomically(F &&op) {
    if (!conn_->isOpen())
      return {jet::ErrorCode::Closed, "La connessione è chiusa."};
    SharedDatabase &db = conn_->database();
    const Connection *owner = db.transactionOwner();
    if (owner && owner != conn_.get())
      return busyElsewhere();
    auto table = db.storage().table(table_);
    if (!table)
      return table.status();
    sql::Database &st = db.storage();
    if (st.inTransaction()) {
      auto sp = st.savepoint();
      if (!sp)
        return sp.status();
      jet::Status s = op(**table);
      if (!s)
        return st.undoStatement(*sp, s);
      return st.release(*sp);
    }
    JET_TRY(st.begin());
    jet::Status s = op(**table);
    if (!s) {
      st.rollback();
      return s;
    }
    return st.commit();
  }

  std::shared_ptr<Connection> conn_;
  std::string table_;
};

} // namespace

ConnectionParts parseConnectionString(const std::string &text) {
  ConnectionParts out;
  size_t at = 0;
  while (at <= text.size()) {
    size_t semi = text.find(';', at);
    std::string part = text.substr(at, semi == std::string::npos ? std::string::npos : semi - at);
    size_t eq = part.find('=');
    if (eq != std::string::npos) {
      std::string key = lower(trim(part.substr(0, eq)));
      std::string value = trim(part.substr(eq + 1));
      if (key == "provider")
        out.provider = value;
      else if (key == "data source")
        out.dataSource = value;
      else if (key == "mode")
        out.mode = value;
    }
    if (semi == std::string::npos)
      break;
    at = semi + 1;
  }
  return out;
}

Connection::~Connection() {
  Close();
}

jet::Status Connection::Open() {
  if (db_)
    return {jet::ErrorCode::Internal, "La connessione è già aperta."};
  ConnectionParts cs = parseConnectionString(ConnectionString);
  if (lower(cs.provider) != kJetProvider)
    return {jet::ErrorCode::Unsupported, "Provider non riconosciuto: \"" + cs.provider + "\"."};
  if (cs.dataSource.empty())
    return {jet::ErrorCode::NotADatabase, "Nessun file di database indicato."};
  auto db = SharedDatabase::acquire(cs.dataSource);
  if (!db)
    return db.status();
  db_ = std::move(db.value());
  dataSource_ = cs.dataSource;
  if (Mode == kModeUnknown)
    Mode = db_->engine().pager().writable() ? kModeReadWrite : kModeRead;
  return {};
}

void Connection::Close() {
  if (!db_)
    return;
  if (db_->transactionOwner() == this) {
    db_->storage().rollback(); // an unfinished transaction never survives its connection
    db_->setTransactionOwner(nullptr);
  }
  db_.reset();
}

jet::Status Connection::readOnlyReason() const {
  return db_ ? db_->engine().readOnlyReason() : jet::Status::ok();
}

jet::Status Connection::requireOpen() const {
  if (!db_)
    return {jet::ErrorCode::Closed, "Operazione non consentita se l'oggetto è chiuso."};
  return {};
}

jet::Status Connection::requireWriteAccess() const {
  const Connection *owner = db_->transactionOwner();
  if (owner && owner != this)
    return busyElsewhere();
  return {};
}

bool Connection::inTransaction() const {
  return db_ && db_->transactionOwner() == this;
}

jet::Status Connection::Execute(const std::string &text, int64_t *rowsAffected, int) {
  JET_TRY(requireOpen());
  auto statement = sql::parseStatement(text);
  if (!statement)
    return statement.status();
  jet::ReadScope read(db_->engine()); // a reader sees one committed state of the file
  JET_TRY(read.status());
  // Statements that only read run whatever transaction another connection holds.
  bool writes = sql::writes(*statement);
  if (writes)
    JET_TRY(requireWriteAccess());
  auto r = sql::execute(writes ? db_->storage() : db_->storageFor(this), *statement);
  if (writes)
    db_->storage().invalidate();
  if (!r)
    return r.status();
  if (rowsAffected)
    *rowsAffected = r->rowsAffected;
  return {};
}

jet::Status Connection::BeginTrans() {
  JET_TRY(requireOpen());
  JET_TRY(requireWriteAccess());
  if (inTransaction())
    return {jet::ErrorCode::Unsupported, "Le transazioni annidate non sono consentite."};
  JET_TRY(db_->storage().begin());
  db_->setTransactionOwner(this);
  return {};
}

jet::Status Connection::CommitTrans() {
  JET_TRY(requireOpen());
  if (!inTransaction())
    return {jet::ErrorCode::NoTransaction, "Nessuna transazione attiva."};
  jet::Status s = db_->storage().commit();
  db_->setTransactionOwner(nullptr);
  if (!s)
    db_->storage().rollback();
  return s;
}

jet::Status Connection::RollbackTrans() {
  JET_TRY(requireOpen());
  if (!inTransaction())
    return {jet::ErrorCode::NoTransaction, "Nessuna transazione attiva."};
  jet::Status s = db_->storage().rollback();
  db_->setTransactionOwner(nullptr);
  db_->storage().invalidate();
  return s;
}

jet::Result<std::shared_ptr<Recordset>> Connection::OpenRecordset(const std::string &text,
                                                                  CursorType, LockType lock, int) {
  JET_TRY(requireOpen());
  auto statement = sql::parseStatement(text);
  if (!statement)
    return statement.status();
  jet::ReadScope read(db_->engine());
  JET_TRY(read.status());
  // Rows go straight into the compact buffer: a big table is never held twice.
  RowBuffer rows;
  std::vector<RowId> ids;
  // Another connection's transaction is not seen before its commit.
  auto r = sql::query(db_->storageFor(this), *statement, [&](sql::RowId id, sql::Row &&row) {
    rows.append(row);
    ids.push_back(id);
    return jet::Status::ok();
  });
  if (!r)
    return r.status();
  const sql::ResultSet &rs = *r;

  std::vector<Field> fields;
  bool plainColumns = true;
  for (size_t i = 0; i < rs.columns.size(); ++i) {
    const sql::ColumnDef &c = rs.columns[i];
    int bytes = c.type == jet::ColumnType::Text ? c.size * 2 : c.size;
    AdoType ado = adoTypeFor(c.type, bytes, c.fixedLength);
    fields.push_back(
        {c.name, ado.type, ado.definedSize, c.type, c.precision, c.scale, c.autoNumber});
    plainColumns = plainColumns && rs.sourceColumns[i] == static_cast<int>(i);
  }
  plainColumns = plainColumns && !rs.columns.empty();
  std::shared_ptr<RowWriter> writer;
  if (lock != LockType::ReadOnly) {
    if (!plainColumns)
      lock = LockType::ReadOnly; // a computed or reordered column cannot be written back
    else
      writer = std::make_shared<TableRowWriter>(shared_from_this(), rs.table);
  }
  auto out = std::make_shared<Recordset>(std::move(fields), lock, writer);
  out->adoptLoadedRows(std::move(rows), std::move(ids));
  out->finishLoading();
  return out;
}

} // namespace data
