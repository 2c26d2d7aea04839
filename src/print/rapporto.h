#pragma once
// The fixed-column report of the rows shown in the grid, written to STAMPA.PRN.
#include "jet/status.h"
#include "jet/value.h"
#include "print/report_source.h"

#include <filesystem>
#include <string>

namespace print {

// C:\STAMPA.PRN on Windows, STAMPA.PRN in the user's home folder elsewhere, unless
// impostaPercorsoRapporto has put it somewhere else (tests do).
std::filesystem::path percorsoRapporto();
void impostaPercorsoRapporto(const std::filesystem::path &path); // empty: back to the default

// The rule that frames the heading line: 50 equals signs.
extern const char *const kRiga;

struct Colonna {
  int larghezza = 0;     // W
  bool limitata = false; // capped column: text values cut to 19 characters
};

// W from the name's length in characters and the defined size.
Colonna LarghezzaColonna(const ReportField &field);

// One data cell, Windows-1252, exactly as it goes into a line.
std::string CellaDati(const ReportField &field, const Colonna &col, const jet::Value &value);

// The text form of a value as the Italian regional settings write it (UTF-8), "" for Null.
std::string TestoValore(const jet::Value &value);

// Writes the whole report of source to path: the two title lines, the heading framed by the
// rules, one line per row. The file is replaced only once the whole report is ready, and the
// source's current row is put back where it was, also after a failure.
jet::Status ScriviRapporto(ReportSource &source, const std::string &tabella,
                           const std::filesystem::path &path);

// The report as bytes, for ScriviRapporto and the tests.
jet::Result<std::string> ComponiRapporto(ReportSource &source, const std::string &tabella);

} // namespace print
