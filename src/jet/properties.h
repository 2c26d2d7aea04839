#pragma once
// Design properties of a table and its columns (the LvProp value of its catalogue row):
// "MR2\0", then chunks of u32 length (itself included) and u16 kind. Kind 0x80 lists the
// property names (u16 byte length and UCS-2 each); kinds 0x00 (the table) and 0x01 (a column)
// hold a u32 header length, the u16 byte length and UCS-2 name of their object, then entries of
// u16 length, u8 flags, u8 type, u16 name number, u16 value length and the value.
#include "jet/bytes.h"
#include "jet/value.h"

#include <map>
#include <string>

namespace jet {

struct PropertyValue {
  uint8_t type = 0; // a column type code
  Bytes bytes;
  bool isTrue() const { return !bytes.empty() && bytes[0] != 0; }
};

// Property name to value, per object: "" for the table itself, else the column's name.
using PropertyMap = std::map<std::string, std::map<std::string, PropertyValue>>;

// Whatever cannot be read is left out: properties never stop a table from opening.
PropertyMap parseProperties(ByteView lvprop);

// The LvProp bytes of these properties as Access lays them out: the names chunk, the table's
// chunk (unnamed, where "" has properties), then one chunk per column.
Bytes encodeProperties(const PropertyMap &props);

// Values as Access stores them: a yes/no (Required), a text as a memo (DefaultValue).
PropertyValue booleanProperty(bool v);
PropertyValue textProperty(const std::string &utf8);
// A text or memo property's value; empty for any other type.
std::string propertyText(const PropertyValue &v);

} // namespace jet
