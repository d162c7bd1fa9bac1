// The 5250 mouse functions and the selection operations: cut, copy and the
// three paste modes.
#include <algorithm>
#include <cctype>

#include "ibm5250/DataStream.h"
#include "ibm5250/Engine5250.h"
#include "ibm5250/Texts5250.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/KeyFunctions.h"
#include "session/HostSession.h"

namespace corvina {

using namespace ds5250;
namespace k = kf::ibm5250;

void C5250Engine::MouseFunction(int id, int column, int row) {
  if (!ps_) return;
  const int position = std::clamp(row, 0, ps_->Rows() - 1) * ps_->Columns() + std::clamp(column, 0, ps_->Columns() - 1);
  if (id == k::kCursorMove) {
    MoveCursor(position);
  } else if (id == k::kCursorSelect) {
    if (MoveCursor(position)) KeyFunction(k::kCursorSelect);
  } else if (id == kf::kHotspot) {
    Hotspot(position);
  }
  session_->FlushOutput();
}

// The word under the pointer: an address opens in the browser, the name of
// an AID key ("F3=Exit") presses it; anything else is Enter at the cell.
void C5250Engine::Hotspot(int position) {
  CHostSession& s = *session_;
  const int columns = ps_->Columns(), rowStart = position - position % columns;
  std::string row;
  ExtractText(rowStart, columns, row, nullptr, 0);
  std::size_t from = static_cast<std::size_t>(position - rowStart), to = from;
  while (from > 0 && row[from - 1] != ' ') --from;
  while (to < row.size() && row[to] != ' ') ++to;
  const std::string word = row.substr(from, to - from);
  if (word.starts_with("http://") || word.starts_with("https://")) {
    if (!s.Ui().OpenUrl(word))
      s.Ui().MessageBox(texts5250::kBrowserFailed, s.Title(), platform::Buttons::Ok, platform::Answer::Ok,
                        platform::Icon::Warning);
    return;
  }
  std::size_t n = 0;
  while (n < word.size() && std::isalnum(static_cast<unsigned char>(word[n]))) ++n;
  if (const int id = KeyFunctionIdByAidName(kKind5250, word.substr(0, n)); n > 0 && id >= 0) {
    KeyFunction(id);
    return;
  }
  if (MoveCursor(position)) KeyFunction(k::kEnter);
}

void C5250Engine::EraseSelection() {
  if (!ps_ || !session_->SelectionActive()) return;
  const CellRect& r = session_->Selection();
  for (int row = std::max(0, r.top); row <= std::min(r.bottom, ps_->Rows() - 1); ++row)
    for (int column = std::max(0, r.left); column <= std::min(r.right, ps_->Columns() - 1); ++column) {
      const int p = row * ps_->Columns() + column;
      const int index = table_.InputFieldAt(p);
      if (index < 0) continue;
      ps_->Put(p, kBlank);
      table_.fields[static_cast<std::size_t>(index)].SetMdt(true);
      mdtPresent_ = true;
    }
  session_->SetScreenChanged(true);
  Refresh();
}

std::string C5250Engine::CopyRectangle(const CellRect& rect) {
  std::string out;
  if (!ps_ || rect.Empty()) return out;
  // Field attribute positions copy as tabs when the profile asks.
  const unsigned flags = (session_->Profile().editOptions & kEditFieldAttributeAsTab) ? kExtractAttributeAsTab : 0u;
  const int columns = ps_->Columns();
  const int left = std::max(0, rect.left), right = std::min(rect.right, columns - 1);
  for (int row = std::max(0, rect.top); row <= std::min(rect.bottom, ps_->Rows() - 1) && left <= right; ++row) {
    ExtractText(row * columns + left, right - left + 1, out, nullptr, flags);
    out += "\r\n";
  }
  return out;
}

void C5250Engine::PasteText(std::string_view text) {
  if (!ps_) return;
  CHostSession& s = *session_;
  if (Locked()) {
    s.Ui().Beep(platform::BeepKind::Exclamation);
    return;
  }
  const int size = ps_->Size(), columns = ps_->Columns();
  const int start = Cursor(), startColumn = start % columns;
  const unsigned mode = s.Profile().editOptions & kEditPasteModeMask;
  s.SetPasting(true);
  std::size_t i = 0;  // the next character of the text
  int after = start;  // the cell after the last typed character

  if (mode == kEditPasteStream) {
    // One character after another; a field's last cell moves on to the next
    // field. The paste stops at a refused character or when the cursor wraps.
    while (i < text.size()) {
      const char ch = text[i++];
      const int before = Cursor();
      if (ch == '\r') continue;
      if (ch == '\t' || ch == '\n') {
        Tab();
      } else {
        const int typed = TypeOne(static_cast<unsigned char>(ch));
        if (typed == kIgnored) continue;
        if (typed == kRefused) {
          --i;
          break;
        }
        if (before < table_.fields[static_cast<std::size_t>(typed)].end)
          PlaceCursor(before + 1);
        else
          Tab();
        after = Cursor();
      }
      if (Cursor() <= before) break;
    }
  } else {
    // Block and overlay block: each line from the start column on the next
    // row. Block mode skips the rest of a line at a cell outside a field, the
    // end of a field or the row's end; overlay drops the characters that
    // fall outside input fields and steps on.
    const bool overlay = mode == kEditPasteOverlayBlock;
    int row = start / columns, pos = start;
    int lineField = -1;  // the field this line types into
    enum Outcome { kTyped, kSkipLine, kStop };
    auto put = [&](int code) {
      if (pos >= size || pos / columns != row) return kSkipLine;
      const int here = table_.InputFieldAt(pos);
      if (here < 0 || (!overlay && lineField >= 0 && here != lineField)) {
        if (!overlay) return kSkipLine;
        ++pos;  // the character is dropped, the cell stepped over
        return kTyped;
      }
      PlaceCursor(pos);
      const int typed = TypeOne(code);
      if (typed == kRefused) return kStop;
      if (typed == kIgnored) return kTyped;  // a control: consumed, no cell used
      lineField = here;
      after = ++pos;
      return kTyped;
    };
    auto nextRow = [&] {
      pos = ++row * columns + startColumn;
      lineField = -1;
    };
    while (i < text.size() && row < ps_->Rows()) {
      const char ch = text[i];
      if (ch == '\r' || ch == '\n') {
        ++i;
        if (ch == '\n') nextRow();
        continue;
      }
      Outcome outcome;
      if (ch == '\t') {
        // Blanks up to the next tab stop, every 8 columns from the start column.
        do outcome = put(' ');
        while (outcome == kTyped && (pos - row * columns - startColumn) % 8 != 0);
      } else {
        outcome = put(static_cast<unsigned char>(ch));
      }
      if (outcome == kStop) break;
      if (outcome == kSkipLine) {
        while (i < text.size() && text[i] != '\n') ++i;
        continue;  // the line feed moves on
      }
      ++i;
    }
  }
  s.SetPasteOffset(s.PasteOffset() + i);
  s.SetPasting(false);
  PlaceCursor((s.Profile().editOptions & kEditCursorAfterPaste) ? std::min(after, size - 1) : start);
  Refresh();
}

}  // namespace corvina
