// Registry access by full textual key paths ("HKEY_LOCAL_MACHINE\\SOFTWARE\\...").
//
// Texts are UTF-8. Strings are written without a terminating NUL. Reads of string types give
// the text up to its first NUL; a multi-string keeps the NULs between its strings (only the
// closing ones are dropped); binary data comes back as its bytes.
// Write and delete operations return the platform status (0 success). With an unknown root
// name nothing reaches the registry: reads give "", writes and deletes give 6 (invalid handle),
// except DeleteRegKey, which gives 0. An empty subkey name never deletes anything (87).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "platform/types.h"

namespace tv {

struct RegPath {
  Handle root = 0;          // 0x80000000.. or 0 for an unknown root name
  std::string subKey;       // everything after the first backslash
  std::string lastComponent;
};
RegPath ParseRegPath(const std::string& fullPath);

// The value through a 1024-byte buffer; "" when it is larger, missing, or under 2 bytes.
std::string RegReadString(const std::string& keyPath, const std::string& valueName);
std::int32_t RegWriteDword(Handle root, const std::string& subKey, const std::string& valueName,
                           std::uint32_t value);
std::int32_t RegWriteString(Handle root, const std::string& subKey, const std::string& valueName,
                            const std::string& value);
std::int32_t DeleteRegValueAt(Handle root, const std::string& subKey, const std::string& valueName);

// Empty (monostate) when the value cannot be read; text for types 1, 2, 3, 7; number for 4.
// String data larger than 256 bytes (with its NUL) cannot be read and gives empty.
using RegValue = std::variant<std::monostate, std::string, std::uint32_t>;
RegValue ReadRegValue(const std::string& keyPath, const std::string& valueName);
std::string RegValueText(const RegValue& v);     // empty -> "", number -> decimal
std::uint32_t RegValueNumber(const RegValue& v); // empty -> 0, text -> its leading number or 0

// Default value of a key below HKEY_CLASSES_ROOT (path without the root name), 256-byte buffer.
std::string ReadClassDefault(const std::string& classesRootPath);
// Deletes one subkey that has no subkeys of its own; a parent that cannot be opened gives the
// status of that open.
std::int32_t DeleteRegKey(const std::string& keyPath, const std::string& subKeyName);
// Deletes a subkey with everything below it.
std::int32_t DeleteRegTree(const std::string& keyPath, const std::string& subKeyName);
std::int32_t DeleteRegValue(const std::string& keyPath, const std::string& valueName);
// Creates the key and writes `text` as type 1, 2, 4 (the number it stands for, rounded half to
// even; 87 when it is none or does not fit 32 bits) or 7 (a list of that one string). Other
// types write nothing and give 87; the key is created all the same.
std::int32_t WriteRegValue(const std::string& keyPath, const std::string& valueName, const std::string& text,
                           std::uint32_t type);

}  // namespace tv
