#include "test_support.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace vasktest {

TempDir::TempDir() {
  std::random_device rd;
  for (int i = 0; i < 100; ++i) {
    fs::path candidate = fs::temp_directory_path() / ("vask-test-" + std::to_string(rd()));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

fs::path fixturesDir() {
  fs::path p = fs::path(VASK_SOURCE_DIR).parent_path() / "shared" / "fixtures";
  std::error_code ec;
  if (fs::is_directory(p, ec))
    return p;
  return {};
}

fs::path copyFixture(const std::string &relative, const TempDir &dir) {
  fs::path src = fixturesDir() / relative;
  fs::path dst = dir.path() / src.filename();
  fs::copy_file(src, dst, fs::copy_options::overwrite_existing);
  fs::permissions(dst, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
  return dst;
}

int runCommand(const std::string &command, std::string *out) {
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe)
    return -1;
  std::string result;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0)
    result.append(buf.data(), n);
  int status = pclose(pipe);
  if (out)
    *out = std::move(result);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool haveProgram(const std::string &name) {
  return runCommand("command -v " + name + " >/dev/null 2>&1") == 0;
}

std::string readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

fs::path binaryDir() {
  return fs::path(VASK_BINARY_DIR);
}

std::vector<std::vector<std::string>> parseCsv(const std::string &text) {
  std::vector<std::vector<std::string>> rows(1);
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      rows.back().push_back(field);
      field.clear();
    } else if (c == '\n') {
      rows.back().push_back(field);
      field.clear();
      rows.emplace_back();
    } else if (c != '\r') {
      field += c;
    }
  }
  if (!field.empty() || !rows.back().empty())
    rows.back().push_back(field);
  if (rows.back().empty())
    rows.pop_back();
  return rows;
}

std::string mdbExport(const fs::path &db, const std::string &table) {
  std::string out;
  EXPECT_EQ(runCommand("mdb-export '" + db.string() + "' '" + table + "'", &out), 0)
      << "mdb-export refused " << table;
  return out;
}

std::vector<std::vector<std::string>> mdbExportRows(const fs::path &db, const std::string &table) {
  return parseCsv(mdbExport(db, table));
}

void expectCheckClean(const fs::path &db) {
  std::string out;
  EXPECT_EQ(
      runCommand((binaryDir() / "vaskdb").string() + " check '" + db.string() + "' 2>&1", &out), 0)
      << out;
}

} // namespace vasktest
