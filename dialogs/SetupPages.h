// The pages of the Session Setup dialog as data: each page is a list of
// fields, each field knows how to show a profile value as text and how to
// check and store text typed into it. The desktop builds its controls from
// the list; tests drive the same lists without a window.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/SaveFiles.h"
#include "config/SessionProfile.h"

namespace corvina {
class CCorvinaPersistentData;
}

namespace corvina::dialogs {

enum class FieldType {
  kText,      // an edit box
  kCheck,     // "1" or "0"
  kChoice,    // one of the choices, or "" for none selected
  kReadOnly,  // shown, never stored
};

// A refused value: the message and the field to focus.
struct Refusal {
  std::string message;
  std::string field;
};

struct Field {
  Field(std::string fieldId, std::string fieldLabel, FieldType fieldType = FieldType::kText,
        std::vector<std::string> fieldChoices = {})
      : id(std::move(fieldId)), label(std::move(fieldLabel)), type(fieldType), choices(std::move(fieldChoices)) {}

  std::string id;  // unique on its page
  std::string label;
  FieldType type = FieldType::kText;
  std::vector<std::string> choices;
  std::string group;  // the frame the control sits in; empty for none
  bool enabled = true;
  bool editable = false;  // a choice that also takes typed text
  std::string button;     // the push button beside it ("Browse..."); empty for none
  std::function<std::string(const CCorvinaSessionProfile&)> get;
  // Null for read-only fields. Gets the field's text, every text of the
  // page, the profile as loaded and the copy being stored into; returns the
  // refusal message (empty when accepted).
  std::function<std::string(const std::string& text, const std::map<std::string, std::string>& all,
                            const CCorvinaSessionProfile& before, CCorvinaSessionProfile& after)>
      set;
};

using FieldValues = std::map<std::string, std::string>;

enum class PageId { kHost, kTerminal, kColors, kDisplay, kPrinter, kKeyboard, kToolbars };
inline constexpr int kPageCount = 7;

struct PageContext {
  CCorvinaPersistentData& store;
  // Whether a session uses the profile the page shows.
  bool inUse = false;
  // The printers the Printer page offers after its three fixed entries.
  std::vector<std::string> printers;
};

struct Page {
  Page() = default;
  Page(PageId pageId, std::string pageName, int topic) : id(pageId), name(std::move(pageName)), helpTopic(topic) {}

  PageId id = PageId::kHost;
  std::string name;
  int helpTopic = 0;
  std::vector<Field> fields;

  FieldValues Load(const CCorvinaSessionProfile& profile) const;
  // Checks every field in order and stores them into a copy; the profile
  // changes only when every field is accepted.
  std::optional<Refusal> Store(const FieldValues& values, CCorvinaSessionProfile& profile) const;
  const Field* Find(const std::string& id) const;
};

// The page's fields for this profile (labels and offered options follow
// the profile's family).
Page BuildPage(PageId id, const CCorvinaSessionProfile& profile, const PageContext& context);

// The file dialog of a text field's "Browse..." button: title, filter and
// starting name from the field's text; nullopt for a field without one.
std::optional<app::FileChoice> FileBrowseFor(PageId page, const std::string& fieldId,
                                             const CCorvinaPersistentData& store, const std::string& text);

// Whether the two would write the same profile file.
bool SameSettings(const CCorvinaSessionProfile& a, const CCorvinaSessionProfile& b);

// Text of 1 to `digits` decimal digits whose value lies in [low, high].
std::optional<long> ParseBoundedNumber(const std::string& text, long low, long high, std::size_t digits);
// The connect dialog's port rule.
std::optional<int> ParseDialogPort(const std::string& text);

// The Terminal page's screen sizes and their rows and columns.
inline constexpr const char* kScreenSizes[] = {"24 x 80", "32 x 80", "43 x 80", "27 x 132", "Custom"};
// The connect dialog's terminal types, in order.
inline constexpr const char* kConnectTerminalTypes[] = {"3278", "3279", "3270P", "5250", "VT100", "VT220", "ANSI"};
// The Terminal page's.
inline constexpr const char* kSetupTerminalTypes[] = {"3278", "3279", "3270P", "5250", "5250P", "VT100", "VT220", "ANSI"};

}  // namespace corvina::dialogs
