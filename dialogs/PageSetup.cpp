#include "dialogs/PageSetup.h"

#include "dialogs/DialogTexts.h"
#include "printing/PrintFiles.h"

namespace corvina::dialogs {

namespace {

std::array<std::int32_t*, 4> MarginsOf(PageLayout& page) {
  return {&page.leftMargin, &page.topMargin, &page.rightMargin, &page.bottomMargin};
}

}  // namespace

CPageSetupModel::CPageSetupModel(const CCorvinaSessionProfile& profile)
    : landscape((profile.printOptions & kPrintLandscape) != 0), metric_((profile.printOptions & kPrintMetricMargins) != 0) {
  PageLayout page = profile.pageLayout;
  const auto values = MarginsOf(page);
  for (std::size_t i = 0; i < margins.size(); ++i) margins[i] = printing::FormatMargin(*values[i], metric_);
}

std::string CPageSetupModel::MarginsTitle() const { return metric_ ? texts::kMarginsMillimeters : texts::kMarginsInches; }

void CPageSetupModel::SetMetric(bool metric) {
  if (metric == metric_) return;
  for (std::string& text : margins) {
    const std::optional<int> value = printing::ParseMargin(text, metric_);
    if (!value) continue;
    // One thousandth of an inch is 2.54 hundredths of a millimetre; rounded.
    const long long converted = metric ? (*value * 254LL + 50) / 100 : (*value * 100LL + 127) / 254;
    text = printing::FormatMargin(static_cast<int>(converted), metric);
  }
  metric_ = metric;
}

std::optional<Refusal> CPageSetupModel::Store(CCorvinaSessionProfile& profile) const {
  std::array<int, 4> values{};
  for (std::size_t i = 0; i < margins.size(); ++i) {
    const std::optional<int> value = printing::ParseMargin(margins[i], metric_);
    if (!value) return Refusal{texts::kInvalidMargin, kMarginIds[i]};
    values[i] = *value;
  }
  PageLayout page = profile.pageLayout;
  const auto fields = MarginsOf(page);
  for (std::size_t i = 0; i < values.size(); ++i) *fields[i] = values[i];
  std::uint32_t options = profile.printOptions & ~(kPrintLandscape | kPrintMetricMargins);
  if (landscape) options |= kPrintLandscape;
  if (metric_) options |= kPrintMetricMargins;
  const auto before = MarginsOf(profile.pageLayout);
  bool changed = options != profile.printOptions;
  for (std::size_t i = 0; i < values.size(); ++i) changed = changed || *before[i] != values[i];
  if (!changed) return std::nullopt;
  profile.pageLayout = page;
  profile.printOptions = options;
  profile.modified = true;
  return std::nullopt;
}

}  // namespace corvina::dialogs
