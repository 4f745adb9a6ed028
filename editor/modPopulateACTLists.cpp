#include "editor/modPopulateACTLists.h"

#include <limits>

#include "platform/conversions.h"
#include "shared/settings/IniLib.h"

namespace morvane {

void modPopulateACTLists::Populate_cboFields(ui::ComboBox& combo, std::string_view typeList,
                                             bool popupOnly, std::string_view select) {
  const ObjectRef& fields = m_module1.ActFields;
  int16_t p = 0;
  int32_t n = 0;
  // One position: a field there (identifier not -1) counts, and is added when it is offered.
  auto scan = [&](int& line) {
    line = 2;
    const int32_t id = conv::toLong(getProperty(fields, "ID", {Variant(p)}));
    if (id == -1) return;
    line = 3;
    if (Include_Field(std::to_string(id), typeList, popupOnly)) {
      line = 4;
      combo.addItem(conv::toString(getProperty(fields, "Label", {Variant(p)})));
      line = 5;
      combo.setItemData(combo.newIndex(), id);
    }
    line = 6;
    ++n;
  };
  if (!m_trap.run("in modPopulateACTLists: Sub Populate_cboFields", scan)) return;

  // From the second position on, a failure ends the scan without a word and without a selection.
  // The position is a 16-bit number: a collection that never shows Count fields ends the scan
  // where the number would overflow.
  const bool scanned = ignoreErrors([&] {
    int line = 0;
    while (n != conv::toLong(getProperty(fields, "Count"))) {
      if (p == std::numeric_limits<int16_t>::max()) throw RuntimeError(err::kOverflow);
      ++p;
      scan(line);
    }
  });
  if (!scanned) return;

  if (select.empty()) return;
  if (select == kTopItem) {
    if (combo.listCount() > 0) combo.setListIndex(0);
    return;
  }
  if (!conv::isNumeric(select)) return;
  const double wanted = conv::toDouble(select);
  for (int32_t i = 0; i < combo.listCount(); ++i) {
    if (combo.itemData(i) == wanted) {
      combo.setListIndex(i);
      return;
    }
  }
}

bool modPopulateACTLists::Include_Field(const std::string& fieldId, std::string_view typeList,
                                        bool popupOnly) {
  bool result = false;
  const ObjectRef& fields = m_module1.ActFields;
  m_trap.run("in modPopulateACTLists: Function Include_Field", [&](int& line) {
    line = 1;
    std::string type = conv::toString(getProperty(fields, "Type", {Variant(fieldId)}));
    type.push_back('\0');
    line = 2;
    if (typeList.find(type) == std::string_view::npos) return;
    result = true;
    line = 3;
    if (popupOnly)
      result = conv::toBoolean(getProperty(fields, "HasPopupList", {Variant(fieldId)}));
  });
  return result;
}

void modPopulateACTLists::Populate_lvwPopupList(ui::ListView& list, int16_t fieldId) {
  m_trap.run("in modPopulateACTLists: Sub Populate_lvwPopupList", [&](int& line) {
    line = 1;
    list.setBold(list.addRow(kNoLayoutAssignedKey), true);
    line = 2;
    const ObjectRef popup = asObject(
        callMethod(m_module1.ActFields, "POPUPINFO", {Variant(fieldId), Variant(int16_t{0})}));
    line = 3;
    const int32_t count = conv::toLong(getProperty(popup, "PopupCount"));
    for (int32_t k = 0; k < count; ++k)
      list.addRow(conv::toString(getProperty(popup, "Value", {Variant(k)})));
  });
}

}  // namespace morvane
