// modPopulateACTLists: ACT!'s field definitions as the editor's two lists, the reference fields
// with a drop-down list and the rule rows of one field's drop-down values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/error_trap.h"
#include "platform/ui.h"
#include "shared/act/Module1.h"

namespace morvane {

// Populate_cboFields' select argument for the first entry.
inline constexpr std::string_view kTopItem = "vbTopItem";

class modPopulateACTLists {
 public:
  // Reads ACT!'s fields through module1.ActFields.
  modPopulateACTLists(Module1& module1, const ErrorTrap& trap) : m_module1(module1), m_trap(trap) {}
  modPopulateACTLists(const modPopulateACTLists&) = delete;
  modPopulateACTLists& operator=(const modPopulateACTLists&) = delete;

  // Adds the fields whose type is in typeList (each type as decimal text followed by one NUL)
  // and, when popupOnly, that have a drop-down list; the label is the entry's text, the field
  // number its item data. select: "" for no selection, "vbTopItem" for the first entry, or the
  // number of the field to select. The combo box is not cleared first.
  void Populate_cboFields(ui::ComboBox& combo, std::string_view typeList, bool popupOnly,
                          std::string_view select);
  // Whether the field (its number as text) is offered.
  bool Include_Field(const std::string& fieldId, std::string_view typeList, bool popupOnly);
  // Adds the default row (bold) and a row per value of the field's drop-down list.
  void Populate_lvwPopupList(ui::ListView& list, int16_t fieldId);

 private:
  Module1& m_module1;
  const ErrorTrap& m_trap;
};

}  // namespace morvane
