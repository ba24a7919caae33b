// The installer's transform format: what a transform holds, and the
// reading and writing of it as a structured storage file. Tables are held
// as the installer's system tables describe them; strings are UTF-8 in
// memory and in the transform's code page on disk.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace setup::msi {

// Column type bits as the _Columns table stores them.
constexpr int kTypeValid = 0x0100;
constexpr int kTypeString = 0x0800;
constexpr int kTypeNullable = 0x1000;
constexpr int kTypeKey = 0x2000;

inline bool IsBinary(int type) { return (type & ~kTypeNullable) == (kTypeString | kTypeValid); }
inline bool IsString(int type) { return (type & kTypeString) != 0 && !IsBinary(type); }
inline bool IsKey(int type) { return (type & kTypeKey) != 0; }

struct Column {
  std::string name;
  int type = 0;
  bool operator==(const Column& o) const { return name == o.name && type == o.type; }
};
using Schema = std::vector<Column>;
using Schemas = std::map<std::string, Schema>;

// One cell: a number, a string (UTF-8) or a binary cell's data.
struct Cell {
  bool null = true;
  int32_t number = 0;
  std::string text;
  bool operator==(const Cell& o) const {
    return null == o.null && number == o.number && text == o.text;
  }
  bool operator!=(const Cell& o) const { return !(*this == o); }
};
using Row = std::vector<Cell>;

// The row changes of one table, in the order the transform holds them.
enum class RowAction { kInsert, kUpdate, kDelete };
struct RowChange {
  RowAction action = RowAction::kInsert;
  // kUpdate: bit i set when column i is given (only for columns below 16;
  // wider updates are written as kInsert, which overwrites the whole row).
  uint32_t columns = 0;
  Row cells;  // one per column; absent ones null
};
struct TableChange {
  std::string table;
  Schema schema;
  std::vector<RowChange> rows;
};

// The transform's summary information. characterCount holds the
// validation flags in its high word and the suppressed error conditions in
// its low word.
struct TransformSummary {
  bool present = false;
  std::string templateText;  // platform;language of the package it applies to
  std::string lastSavedBy;   // platform;language of the package it makes
  std::string revisionNumber;
  int32_t characterCount = 0;
};

// Validation flags and error conditions (high and low word of
// characterCount), as MsiCreateTransformSummaryInfo defines them.
constexpr int kValidateLanguage = 0x0001;
constexpr int kValidateProduct = 0x0002;
constexpr int kValidatePlatform = 0x0004;
constexpr int kValidateMajorVersion = 0x0008;
constexpr int kValidateMinorVersion = 0x0010;
constexpr int kValidateUpdateVersion = 0x0020;
constexpr int kValidateNewLessBase = 0x0040;
constexpr int kValidateNewLessEqualBase = 0x0080;
constexpr int kValidateNewEqualBase = 0x0100;
constexpr int kValidateNewGreaterEqualBase = 0x0200;
constexpr int kValidateNewGreaterBase = 0x0400;
constexpr int kValidateUpgradeCode = 0x0800;
constexpr int kErrorAddExistingRow = 0x0001;
constexpr int kErrorDeleteMissingRow = 0x0002;
constexpr int kErrorAddExistingTable = 0x0004;
constexpr int kErrorDeleteMissingTable = 0x0008;
constexpr int kErrorUpdateMissingRow = 0x0010;
constexpr int kErrorChangeCodepage = 0x0020;

struct Transform {
  int codepage = 0;
  // Tables added (with their columns) and dropped; their _Tables and
  // _Columns rows are written and read through these, not as TableChanges.
  std::vector<std::pair<std::string, Schema>> addedTables;
  std::vector<std::string> droppedTables;
  std::vector<TableChange> tables;
  TransformSummary summary;
  // Reading only: the width of string references (2, or 3 for a pool of
  // more than 65535 strings), and the table streams whose columns neither the package nor the
  // transform defines (they cannot be decoded).
  int stringBytes = 2;
  std::vector<std::string> unknownTables;
};

// Writes transform to path (a new file; an existing one is replaced).
// False with the reason in error when the transform cannot be expressed
// (a string outside the code page, a stream name that is too long); the
// file may then be partly written, so write to a scratch name.
bool WriteTransform(const Transform& transform, const std::string& path, std::string& error);

// Reads the transform at path; schemas are the package's tables, to which
// the tables the transform adds are joined. False with the reason when the
// file is no transform or is damaged.
bool ReadTransform(const std::string& path, const Schemas& schemas, Transform& transform,
                   std::string& error);

// The names of storage elements: table streams carry a prefix, and
// characters of [0-9A-Za-z._] are packed two to a code unit; any other
// character is kept as its UTF-16 units, as the installer does. Empty
// when name is not UTF-8.
std::u16string EncodeStreamName(const std::string& name, bool table);
// The reverse; table is set when the name carries the table prefix. A
// name that is not UTF-16 (an unpaired surrogate) decodes as "", which
// names no table and no cell.
std::string DecodeStreamName(const std::u16string& name, bool& table);

// The name of a binary cell's stream: the table and the row's keys.
std::string CellStreamName(const std::string& table, const Schema& schema, const Row& row);

// A row's primary key as one string, for hash maps (unique per key).
std::string RowKey(const Schema& schema, const Row& row);
// The same for a person: the key columns joined by ", " ("null" for none).
std::string ShownKey(const Schema& schema, const Row& row);

}  // namespace setup::msi
