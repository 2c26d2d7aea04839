#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace vasktest {

// A fresh folder under the system temporary folder, removed when the object goes.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::filesystem::path &path() const { return path_; }
  std::filesystem::path file(const std::string &name) const { return path_ / name; }

private:
  std::filesystem::path path_;
};

// ../shared/fixtures beside the checkout, or an empty path where it is absent.
std::filesystem::path fixturesDir();

// Skips the current test with a visible note when the fixtures are absent.
#define VASK_REQUIRE_FIXTURES()                                                                    \
  do {                                                                                             \
    if (::vasktest::fixturesDir().empty())                                                         \
      GTEST_SKIP() << "../shared/fixtures not found beside the checkout: fixture test skipped";    \
  } while (0)

// Copies a fixture file into dir and returns the copy's path (fixtures are never written).
std::filesystem::path copyFixture(const std::string &relative, const TempDir &dir);

// Runs a shell command, returns its exit status and puts its standard output in out.
int runCommand(const std::string &command, std::string *out = nullptr);

// True where an executable of that name is on PATH.
bool haveProgram(const std::string &name);

std::string readFile(const std::filesystem::path &path);

// Splits CSV text into records of fields (quotes removed, doubled quotes undone).
std::vector<std::vector<std::string>> parseCsv(const std::string &text);

// The table's rows as mdb-export reads them, header first; a failure of the tool fails the test.
std::vector<std::vector<std::string>> mdbExportRows(const std::filesystem::path &db,
                                                    const std::string &table);

// The build folder's tool binaries.
std::filesystem::path binaryDir();

// A table as the independent reader (mdbtools) exports it, as CSV text; a refusal fails the test.
std::string mdbExport(const std::filesystem::path &db, const std::string &table);
// Fails the test unless `vaskdb check` finds the file consistent.
void expectCheckClean(const std::filesystem::path &db);

} // namespace vasktest
