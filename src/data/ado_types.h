#pragma once
// The ADO type numbers and defined sizes that recordsets report for Jet 4 columns.
#include "jet/value.h"

#include <cstdint>

namespace data {

// ADO DataTypeEnum values used by the program.
namespace ado {
constexpr int SmallInt = 2;
constexpr int Integer = 3;
constexpr int Single = 4;
constexpr int Double = 5;
constexpr int Currency = 6;
constexpr int Date = 7;
constexpr int Boolean = 11;
constexpr int UnsignedTinyInt = 17;
constexpr int Guid = 72;
constexpr int Binary = 128;
constexpr int WChar = 130;
constexpr int Numeric = 131;
constexpr int VarWChar = 202;
constexpr int LongVarWChar = 203;
constexpr int VarBinary = 204;
constexpr int LongVarBinary = 205;
} // namespace ado

struct AdoType {
  int type = 0;
  int64_t definedSize = 0;
};

// size is the column's size in bytes as the table definition stores it (text: 2 per character).
AdoType adoTypeFor(jet::ColumnType type, int size, bool fixedLength);

// True for the field types the program treats as text (130, 202, 203).
inline bool isTextAdoType(int t) {
  return t == ado::WChar || t == ado::VarWChar || t == ado::LongVarWChar;
}

} // namespace data
