// The settings record as named fields, for people: every byte of the record
// that means something has a stable name ("k2.trigger_mode",
// "k3.code39.length1", "prefix"), a kind that says which values it takes,
// and a way to show and to parse its value. Built on the library's
// description of the record's layout (settings_record_layout.h, a header of
// data only).
//
// A field whose effect only the engine knows is named by its position: the
// text engine's group and parameter number ("k2.group10.p6"), the SSI
// parameter number ("k3.param_E7"). A field that had such a name before it
// got one that says what it is keeps the old one as an alias on input.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "settings/settings_record_layout.h"

namespace readerctl {

// The values a field takes.
using FieldKind = reader::record_layout::FieldKind;

struct SettingsField {
  std::string name;
  int offset;
  FieldKind kind;
  int section;             // the engine kind whose section holds it (2, 3, 4), 0 for always
  int size = 1;            // text fields: bytes including the terminating 0
  std::string alias = {};  // the field's former positional name; empty when none
};

// Every named field, in record order.
std::span<const SettingsField> settingsFields();

// The field with this name or alias; nullptr for an unknown name.
const SettingsField *findSettingsField(std::string_view name);

// The fitted engine's kind from byte 0 (2, 3, 4), 0 when none.
int engineKindOf(const unsigned char *record);

// The field's value as text: a number, or the text itself.
std::string fieldValueText(const SettingsField &field, const unsigned char *record);

// Stores `text` as the field's value. False, changing nothing, with a reason
// in `error` when the value is not one the field takes.
bool storeFieldValue(const SettingsField &field, std::string_view text, unsigned char *record, std::string &error);

}  // namespace readerctl
