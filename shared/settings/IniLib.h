// IniLib: the routines that read and write the rules file, one private-profile call each.
// Each program object owns one IniLib; `RulesFilePath` is the rules file in effect for that
// program, used whenever a routine is given an empty file name.
#pragma once

#include <string>
#include <string_view>

#include "platform/error_trap.h"
#include "platform/profile_files.h"

namespace morvane {

// The keys every rules section has besides its values: the reference field's number, and the
// layout for values without one of their own.
inline constexpr const char* kReferenceFieldKey = "_Reference_Field_";
inline constexpr const char* kNoLayoutAssignedKey = "If no layout assigned";

// Why a drop-down value cannot be a key of the rules file, which would read it back as another
// key, a comment, a section header or one of a section's own entries: the end of the sentence
// "the rules file cannot hold a value that ...". Empty when the value reads back as itself.
std::string keyProblem(std::string_view value);

class IniLib {
 public:
  // Value types that ask GetKeyValue for a numeric test.
  static constexpr const char* kNumeric = "Numeric";
  static constexpr const char* kBoolean = "Boolean";

  IniLib(ProfileFiles& files, const ErrorTrap& trap) : m_files(files), m_trap(trap) {}
  IniLib(const IniLib&) = delete;
  IniLib& operator=(const IniLib&) = delete;

  // The key's value, at most 254 characters (ACT!'s longest layout name); defaultValue when the
  // file, section or key is missing or the value is empty. With valueType "Numeric" or "Boolean", a
  // value that is not numeric becomes invalidDefault (unless that is empty). A run-time error is
  // shown with the standard error box and the result is what had been set so far.
  std::string GetKeyValue(const std::string& section, const std::string& key,
                          const std::string& defaultValue, const std::string& valueType = "",
                          const std::string& invalidDefault = "", std::string file = "");
  // Writes the key (creating file and section as needed); true when the system call succeeds.
  bool SetKeyValue(const std::string& section, const std::string& key, const std::string& value,
                   std::string file = "");
  // Removes the section with all its keys; true when the system call succeeds.
  bool DeleteSection(const std::string& section, std::string file = "");

  std::string RulesFilePath;

 private:
  ProfileFiles& m_files;
  const ErrorTrap& m_trap;
};

}  // namespace morvane
