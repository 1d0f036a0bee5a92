// Registry access by full textual key paths ("HKEY_LOCAL_MACHINE\\SOFTWARE\\...").
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

std::string RegReadString(const std::string& keyPath, const std::string& valueName);
std::int32_t RegWriteDword(Handle root, const std::string& subKey, const std::string& valueName,
                           std::uint32_t value);
std::int32_t RegWriteString(Handle root, const std::string& subKey, const std::string& valueName,
                            const std::string& value);
std::int32_t DeleteRegValueAt(Handle root, const std::string& subKey, const std::string& valueName);

// Empty (monostate) when the value cannot be read; text for types 1, 2, 3, 7; number for 4.
using RegValue = std::variant<std::monostate, std::string, std::uint32_t>;
RegValue ReadRegValue(const std::string& keyPath, const std::string& valueName);
std::string RegValueText(const RegValue& v);     // empty -> "", number -> decimal
std::uint32_t RegValueNumber(const RegValue& v); // empty -> 0, text -> its leading number or 0

std::string ReadClassDefault(const std::string& classesRootPath);
std::int32_t DeleteRegKey(const std::string& keyPath, const std::string& subKeyName);
std::int32_t DeleteRegTree(const std::string& keyPath, const std::string& subKeyName);
std::int32_t DeleteRegValue(const std::string& keyPath, const std::string& valueName);
std::int32_t WriteRegValue(const std::string& keyPath, const std::string& valueName, const std::string& text,
                           std::uint32_t type);

}  // namespace tv
