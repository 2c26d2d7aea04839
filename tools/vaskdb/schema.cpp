#include "command.h"
#include "jet/column_info.h"
#include "jet/relationships.h"
#include "schema_sql.h"

#include <cstdio>

namespace vaskdb {

namespace {

std::string columnAttributes(const jet::ColumnDef &c) {
  std::string a;
  auto add = [&a](const char *s) {
    if (!a.empty())
      a += ", ";
    a += s;
  };
  if (c.isAutoNumber())
    add("contatore");
  if (c.isAutoGuid())
    add("GUID automatico");
  if (c.required)
    add("richiesto");
  add(c.isFixed() ? "lunghezza fissa" : "lunghezza variabile");
  if (c.type == jet::ColumnType::Numeric)
    add(("precisione " + std::to_string(c.precision) + ", scala " + std::to_string(c.scale))
            .c_str());
  if (c.isText() && c.compressedUnicode())
    add("compressione Unicode");
  return a;
}

std::string indexAttributes(const jet::LogicalIndex &ix, const jet::PhysicalIndex &p) {
  std::string a;
  auto add = [&a](const std::string &s) {
    if (!a.empty())
      a += ", ";
    a += s;
  };
  if (ix.isPrimaryKey())
    add("chiave primaria");
  if (ix.isForeignKey()) {
    std::string fk =
        ix.onReferencedSide() ? "chiave esterna (tabella referenziata)" : "chiave esterna";
    if (ix.cascadeUpdates)
      fk += ", aggiornamenti a catena";
    if (ix.cascadeDeletes)
      fk += ", eliminazioni a catena";
    if (ix.cascadeNull)
      fk += ", imposta Null a catena";
    add(fk);
  }
  if (p.unique())
    add("univoco");
  if (p.ignoreNulls())
    add("ignora Null");
  if (p.required())
    add("richiesto");
  return a.empty() ? "-" : a;
}

// One table as the structure view lists it: columns, indexes, relationships.
jet::Status describeTable(jet::Database &db, const std::string &name,
                          const std::vector<jet::Relationship> &rels) {
  auto def = db.table(name);
  if (!def)
    return def.status();
  const jet::TableDef &t = **def;
  std::printf("Tabella: %s\n", t.name.c_str());
  std::printf("Righe: %u\n", t.rowCount);
  std::printf("Prossimo contatore: %u\n", t.nextAutoNumber());
  std::printf("\nColonne:\nNome\tTipo Jet\tTipo ADO\tDimensione\tAttributi\n");
  for (const auto &c : t.columns)
    std::printf("%s\t%s\t%d\t%lld\t%s\n", c.name.c_str(), jet::columnTypeName(c).c_str(),
                jet::adoType(c), static_cast<long long>(jet::adoDefinedSize(c)),
                columnAttributes(c).c_str());
  std::printf("\nIndici:\nNome\tColonne\tAttributi\n");
  for (const auto &ix : t.indexes) {
    const jet::PhysicalIndex &p = t.physicalIndexes[ix.physical];
    std::string cols;
    for (const auto &ic : p.columns) {
      const jet::ColumnDef *c = t.columnByNumber(ic.columnNumber);
      if (!cols.empty())
        cols += ", ";
      cols += c ? c->name : std::string("?");
      cols += ic.ascending ? " ASC" : " DESC";
    }
    std::printf("%s\t%s\t%s\n", ix.name.c_str(), cols.c_str(), indexAttributes(ix, p).c_str());
  }
  bool header = false;
  for (const auto &r : rels) {
    if (!r.involves(t.name))
      continue;
    if (!header)
      std::printf("\nRelazioni:\n");
    header = true;
    std::printf("%s\n", jet::describeRelationship(r).c_str());
  }
  return jet::Status::ok();
}

} // namespace

int runSchema(const Args &args) {
  auto o = parseOptions(*findCommand("schema"), args, {{"sql", 0, false}}, 1, 2);
  if (!o)
    return kUsage;
  auto db = openReadOnly(o->positional[0]);
  if (!db)
    return fail(db.status());
  jet::ReadScope read(**db); // one committed state throughout, whoever writes meanwhile
  if (!read.status())
    return fail(read.status());
  std::vector<std::string> tables;
  if (o->positional.size() == 2) {
    auto def = (*db)->table(o->positional[1]);
    if (!def)
      return fail(def.status());
    tables.push_back((*def)->name);
  } else {
    tables = (*db)->userTableNames();
  }
  if (o->has("sql")) {
    auto text = sqlSchema(**db, tables);
    if (!text)
      return fail(text.status());
    std::fwrite(text->data(), 1, text->size(), stdout);
    return kOk;
  }
  auto rels = jet::readRelationships((*db)->pager(), (*db)->catalog());
  if (!rels)
    return fail(rels.status());
  for (size_t i = 0; i < tables.size(); ++i) {
    if (i)
      std::printf("\n");
    if (jet::Status st = describeTable(**db, tables[i], *rels); !st)
      return fail(st);
  }
  return kOk;
}

} // namespace vaskdb
