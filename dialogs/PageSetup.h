// The page setup of a session profile without its window: the four margins
// as text in the profile's unit (thousandths of an inch, or hundredths of a
// millimetre), the orientation, and the unit itself.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "config/SessionProfile.h"
#include "dialogs/SetupPages.h"

namespace corvina::dialogs {

class CPageSetupModel {
 public:
  // Left, top, right, bottom: the order of the texts and of the field ids.
  static constexpr const char* kMarginIds[] = {"left", "top", "right", "bottom"};

  explicit CPageSetupModel(const CCorvinaSessionProfile& profile);

  // "Margins (inches)" or "Margins (millimeters)".
  std::string MarginsTitle() const;
  bool Metric() const { return metric_; }
  // Another unit: every text that is a valid entry is converted to it.
  void SetMetric(bool metric);

  std::array<std::string, 4> margins;
  bool landscape = false;

  // Checks the texts in order; the first refused gives the invalid-margin
  // text and its id. Otherwise the profile takes the margins,
  // the orientation and the unit (and is marked modified when they changed).
  std::optional<Refusal> Store(CCorvinaSessionProfile& profile) const;

 private:
  bool metric_ = false;
};

}  // namespace corvina::dialogs
