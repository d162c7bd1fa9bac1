#include "app/qt/TerminalView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>

#include "app/qt/KeyTranslation.h"
#include "config/ColorScheme.h"
#include "config/SessionProfile.h"
#include "keyboard/KeyText.h"
#include "keyboard/KeyboardMap.h"
#include "platform/Text.h"
#include "session/HostSession.h"
#include "ibm3270/Engine3270.h"
#include "ibm5250/Engine5250.h"
#include "vt/VtEngine.h"

namespace corvina::qt {

namespace {

constexpr int kBlinkMs = 500;  // the cursor's half period; text blinks at twice it
// Attribute tips: shown when the mouse has rested on a cell this long, for
// this long; moving to another cell hides the tip and waits again.
constexpr int kTipDelayMs = 1000, kTipShowMs = 20000;

}  // namespace

CCorvinaView::CCorvinaView(CHostSession& session, QWidget* parent) : QWidget(parent), session_(&session) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  setMouseTracking(true);  // for the attribute tips
  bar_ = new QScrollBar(Qt::Vertical, this);
  bar_->setFocusPolicy(Qt::NoFocus);
  bar_->hide();
  connect(bar_, &QScrollBar::actionTriggered, this, [this](int action) { ScrollBarMoved(action); });
  blink_.setInterval(kBlinkMs);
  connect(&blink_, &QTimer::timeout, this, [this] { BlinkStep(); });
  blink_.start();
  tip_.setSingleShot(true);
  connect(&tip_, &QTimer::timeout, this, [this] { ShowTip(); });
  oiaShown_ = (session.Profile().displayOptions & kDisplayOiaInWindow) != 0;
  ApplyProfile();
}

CCorvinaView::~CCorvinaView() = default;

void CCorvinaView::ApplyProfile() {
  if (!session_) return;
  const CCorvinaSessionProfile& p = session_->Profile();
  font_ = ScreenFont::Make(p.screenFont, p.screenFontSize1, p.screenFontSize2);
  canvas_.Invalidate();
  updateGeometry();
  update();
}

int CCorvinaView::ScreenRows() const {
  const int rows = canvas_.Rows() > 0 ? canvas_.Rows() : (session_ ? session_->Rows() : 24);
  return rows + (oiaShown_ ? 1 : 0);
}

int CCorvinaView::ScreenColumns() const {
  return canvas_.Columns() > 0 ? canvas_.Columns() : (session_ ? session_->Columns() : 80);
}

app::PixelSize CCorvinaView::ScreenSize() const {
  app::PixelSize s = app::ScreenPixels(font_.Cell(), ScreenRows(), ScreenColumns());
  if (barShown_) s.width += bar_->sizeHint().width();
  return s;
}

QPoint CCorvinaView::ScreenOrigin() const {
  const app::PixelSize screen = app::ScreenPixels(font_.Cell(), ScreenRows(), ScreenColumns());
  const int client = width() - (barShown_ ? bar_->width() : 0);
  return {app::CentredOffset(client, screen.width), app::CentredOffset(height(), screen.height)};
}

void CCorvinaView::SetOiaShown(bool shown) {
  if (shown == oiaShown_) return;
  oiaShown_ = shown;
  canvas_.Invalidate();
  update();
}

void CCorvinaView::SetFullScreen(bool on) { fullScreen_ = on; }

bool CCorvinaView::ScaleToWindow() {
  if (!session_) return false;
  const int rows = ScreenRows(), columns = ScreenColumns();
  const app::PixelSize client{width() - (barShown_ ? bar_->width() : 0), height()};
  if (client.width <= 0 || client.height <= 0) return true;
  const app::CellSize target = app::TargetCell(client, rows, columns);
  if (target == font_.Cell()) return true;
  CCorvinaSessionProfile& profile = session_->Profile();
  if (font_.Scalable()) {
    const app::ScaledFont scaled = app::ScaleScalableFont(client, rows, columns, [this](int h, int w) {
      return font_.WithPixels(h, w).Cell();
    });
    font_ = font_.WithPixels(scaled.height, scaled.width);
    // The profile keeps the cell, which makes this font again.
    profile.screenFontSize1 = static_cast<std::int16_t>(font_.Cell().height);
    profile.screenFontSize2 = static_cast<std::int16_t>(font_.Cell().width);
  } else {
    const std::optional<app::CellSize> size = app::LargestFixedSize(font_.Sizes(), target);
    if (!size) return false;
    font_ = font_.WithPixels(size->height, size->width);
    profile.screenFontSize1 = static_cast<std::int16_t>(size->height);
    profile.screenFontSize2 = static_cast<std::int16_t>(size->width);
  }
  // Kept with the profile when the store saves, not written on every resize.
  profile.modified = true;
  canvas_.Invalidate();
  update();
  return true;
}

void CCorvinaView::resizeEvent(QResizeEvent*) {
  bar_->setGeometry(width() - bar_->sizeHint().width(), 0, bar_->sizeHint().width(), height());
  if (session_ && (session_->Profile().fontOptions & kFontScaleToWindow) && (!mayScale || mayScale())) {
    if (!ScaleToWindow() && fitFrame) fitFrame();
  }
  update();
}

void CCorvinaView::ScreenChanged() { update(); }

void CCorvinaView::PaintModel() {
  if (!session_ || !session_->Engine() || painting_) return;
  painting_ = true;
  const int rowsBefore = canvas_.Rows(), columnsBefore = canvas_.Columns();
  canvas_.Setup(font_, session_->ColorScheme(), oiaShown_, blinkStep_ % 2 == 0);
  session_->Engine()->Paint(canvas_);
  painting_ = false;
  UpdateScrollBar();
  if ((canvas_.Rows() != rowsBefore || canvas_.Columns() != columnsBefore) && rowsBefore > 0) {
    // A new screen size: the frame follows, or the font fills the window.
    updateGeometry();
    QTimer::singleShot(0, this, [this] {
      if (!session_) return;
      if ((session_->Profile().fontOptions & kFontScaleToWindow) && ScaleToWindow()) return;
      if (fitFrame) fitFrame();
    });
  }
}

void CCorvinaView::UpdateScrollBar() {
  const int history = canvas_.HistoryLines();
  if (history > 0 && !barShown_) {
    // The first history line: the bar appears and the frame makes room for
    // it at the same font size.
    barShown_ = true;
    bar_->show();
    updateGeometry();
    if (fitFrame) QTimer::singleShot(0, this, [this] { if (fitFrame) fitFrame(); });
  }
  updatingBar_ = true;
  bar_->setRange(0, history);
  bar_->setPageStep(1);
  bar_->setSingleStep(1);
  bar_->setValue(history - canvas_.ViewOffset());
  bar_->setEnabled(history > 0);
  updatingBar_ = false;
}

void CCorvinaView::ScrollBarMoved(int action) {
  if (!session_ || updatingBar_) return;
  auto* vt = dynamic_cast<CVtEngine*>(session_->Engine());
  if (!vt) return;
  const int history = canvas_.HistoryLines(), rows = canvas_.Rows();
  int offset = vt->ViewOffset();
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: offset += 1; break;
    case QAbstractSlider::SliderSingleStepAdd: offset -= 1; break;
    case QAbstractSlider::SliderPageStepSub: offset += rows; break;
    case QAbstractSlider::SliderPageStepAdd: offset -= rows; break;
    case QAbstractSlider::SliderMove: offset = history - bar_->sliderPosition(); break;
    case QAbstractSlider::SliderToMinimum: offset = history; break;
    case QAbstractSlider::SliderToMaximum: offset = 0; break;
    default: return;
  }
  vt->SetViewOffset(offset);
  update();
}

void CCorvinaView::paintEvent(QPaintEvent*) {
  PaintModel();
  QPainter p(this);
  const QColor background = canvas_.BackColor(0);
  p.fillRect(rect(), background);
  if (!session_ || canvas_.Image().isNull()) return;
  const QPoint origin = ScreenOrigin();
  p.drawImage(origin, canvas_.Image());
  DrawOverlays(p, origin);
}

void CCorvinaView::DrawOverlays(QPainter& p, QPoint origin) {
  const app::CellSize cell = font_.Cell();
  const int rows = canvas_.Rows(), columns = canvas_.Columns();
  const CCorvinaSessionProfile& profile = session_->Profile();
  // The selection: inverted cells, or a frame with rubber-band selection.
  if (session_->SelectionActive()) {
    const CellRect s = session_->Selection();
    const int left = std::clamp(s.left, 0, columns - 1), right = std::clamp(s.right, 0, columns - 1);
    const int top = std::clamp(s.top, 0, rows - 1), bottom = std::clamp(s.bottom, 0, rows - 1);
    const QRect r(origin.x() + left * cell.width, origin.y() + top * cell.height, (right - left + 1) * cell.width,
                  (bottom - top + 1) * cell.height);
    if (profile.editOptions & kEditRubberBandSelection) {
      p.setPen(QPen(canvas_.TextColor(0), 1, Qt::DashLine));
      p.drawRect(r.adjusted(0, 0, -1, -1));
    } else {
      p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      p.fillRect(r, Qt::white);
      p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
  }
  if (!canvas_.CursorVisible() || canvas_.CursorRow() < 0 || canvas_.CursorRow() >= rows ||
      canvas_.CursorColumn() < 0 || canvas_.CursorColumn() >= columns)
    return;
  const bool insert = session_->InsertMode();
  const std::uint32_t options = profile.displayOptions;
  const unsigned shape = insert ? (options & kDisplayInsertCursorShapeMask) >> 12 : options & kDisplayCursorShapeMask;
  const bool blinks = insert ? (options & kDisplayInsertCursorBlinks) != 0 : (options & kDisplayCursorBlinks) != 0;
  const int x = origin.x() + canvas_.CursorColumn() * cell.width, y = origin.y() + canvas_.CursorRow() * cell.height;
  // The cross-hair: lines through the cursor cell across the screen.
  if (options & (insert ? kDisplayCrossHairInsert : kDisplayCrossHairNormal)) {
    QColor c = canvas_.TextColor(0);
    c.setAlpha(110);
    p.setPen(c);
    const bool horizontalOnly = options & kDisplayCrossHairHorizontal, verticalOnly = options & kDisplayCrossHairVertical;
    if (!verticalOnly) p.drawLine(origin.x(), y + cell.height - 1, origin.x() + columns * cell.width - 1, y + cell.height - 1);
    if (!horizontalOnly) p.drawLine(x, origin.y(), x, origin.y() + rows * cell.height - 1);
  }
  if (blinks && !cursorOn_ && hasFocus()) return;
  QRect r(x, y, cell.width, cell.height);
  if (shape == (kDisplayCursorUnderscore & kDisplayCursorShapeMask))
    r = QRect(x, y + cell.height - std::max(2, cell.height / 8), cell.width, std::max(2, cell.height / 8));
  else if (shape == (kDisplayCursorVerticalBar & kDisplayCursorShapeMask))
    r = QRect(x, y, std::max(2, cell.width / 4), cell.height);
  if (hasFocus()) {
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.fillRect(r, Qt::white);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
  } else {
    p.setPen(canvas_.TextColor(0));
    p.drawRect(QRect(x, y, cell.width - 1, cell.height - 1));
  }
}

void CCorvinaView::BlinkStep() {
  cursorOn_ = !cursorOn_;
  ++blinkStep_;
  if (session_ && (canvas_.Blinking() || (session_->Profile().displayOptions &
                                          (kDisplayCursorBlinks | kDisplayInsertCursorBlinks))))
    update();
}

QImage CCorvinaView::Grab() {
  QImage image(size(), QImage::Format_RGB32);
  render(&image);
  return image;
}

QPoint CCorvinaView::CellAt(QPoint viewPoint) const {
  const app::CellSize cell = font_.Cell();
  const QPoint o = ScreenOrigin();
  const int columns = std::max(1, ScreenColumns()), rows = std::max(1, canvas_.Rows() > 0 ? canvas_.Rows() : 24);
  const int column = std::clamp((viewPoint.x() - o.x()) / std::max(1, cell.width), 0, columns - 1);
  const int row = std::clamp((viewPoint.y() - o.y()) / std::max(1, cell.height), 0, rows - 1);
  return {column, row};
}

void CCorvinaView::TipMoved(QPoint viewPoint) {
  if (!session_ || !(session_->Profile().displayOptions & kDisplayAttributeChars)) {
    tip_.stop();
    return;
  }
  const QPoint cell = CellAt(viewPoint);
  if (cell == tipCell_ && (tip_.isActive() || QToolTip::isVisible())) return;
  tipCell_ = cell;
  tipAt_ = mapToGlobal(viewPoint);
  QToolTip::hideText();
  tip_.start(kTipDelayMs);
}

void CCorvinaView::ShowTip() {
  if (!session_ || !(session_->Profile().displayOptions & kDisplayAttributeChars)) return;
  // "Display attribute characters": a field attribute's description.
  const int position = tipCell_.y() * std::max(1, ScreenColumns()) + tipCell_.x();
  std::string tip;
  if (auto* e3270 = dynamic_cast<C3270Engine*>(session_->Engine())) {
    if (e3270->Screen().Attribute(position) != 0) tip = e3270->Screen().DescribeAttribute(position);
  } else if (auto* e5250 = dynamic_cast<C5250Engine*>(session_->Engine())) {
    tip = e5250->DescribeAttribute(position);
  }
  if (tip.empty())
    QToolTip::hideText();
  else
    QToolTip::showText(tipAt_, QString::fromLatin1(tip.c_str()), this, QRect(), kTipShowMs);
}

void CCorvinaView::leaveEvent(QEvent*) {
  tip_.stop();
  QToolTip::hideText();
}

// ------------------------------------------------------------ keyboard

bool CCorvinaView::event(QEvent* e) {
  // The attribute tips keep their own delays (TipMoved).
  if (e->type() == QEvent::ToolTip) return true;
  // A key the session's map binds is the session's, never a Qt shortcut's.
  if (e->type() == QEvent::ShortcutOverride && session_) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (auto key = TranslateKey(*k); key && !key->altGr) {
      if (session_->KeyboardMap().FindBinding(KeyCode{static_cast<std::uint16_t>(key->virtualKey),
                                                      static_cast<std::uint8_t>(key->modifiers)})) {
        e->accept();
        return true;
      }
    }
  }
  return QWidget::event(e);
}

void CCorvinaView::keyPressEvent(QKeyEvent* e) {
  if (!HandleKey(e, true)) QWidget::keyPressEvent(e);
}

void CCorvinaView::keyReleaseEvent(QKeyEvent* e) {
  if (!HandleKey(e, false)) QWidget::keyReleaseEvent(e);
}

bool CCorvinaView::HandleKey(QKeyEvent* e, bool press) {
  if (!session_) return false;
  const std::optional<TranslatedKey> key = TranslateKey(*e);
  if (!press) {
    // Ctrl, Shift or Alt released with no other key in between act now,
    // so that Ctrl+C does not run the Ctrl key's function first.
    if (key && key->modifierKey && !e->isAutoRepeat() && pendingModifierKey_ == key->virtualKey) {
      const int vk = pendingModifierKey_, bits = pendingModifierBits_;
      pendingModifierKey_ = 0;
      session_->OnKeyEvent(vk, bits, false);
      return true;
    }
    return key.has_value();
  }
  if (key && key->modifierKey) {
    if (!e->isAutoRepeat()) {
      pendingModifierKey_ = key->virtualKey;
      pendingModifierBits_ = key->modifiers;
    }
    return true;
  }
  pendingModifierKey_ = 0;
  if (key && !key->altGr && session_->OnKeyEvent(key->virtualKey, key->modifiers, e->isAutoRepeat())) return true;
  // Unbound: the key's text, in the core's Latin-1.
  const QString text = e->text();
  if (text.isEmpty()) return key.has_value();
  std::string latin1;
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u < 0x20 || u == 0x7F) continue;  // control characters have bindings or none
    latin1 += u <= 0xFF ? static_cast<char>(u) : '?';
  }
  if (!latin1.empty()) session_->TypeText(latin1);
  return true;
}

// --------------------------------------------------------------- mouse

int CCorvinaView::MouseButton(Qt::MouseButton b) {
  switch (b) {
    case Qt::LeftButton: return kVkMouseLeft;
    case Qt::RightButton: return kVkMouseRight;
    case Qt::MiddleButton: return kVkMouseMiddle;
    default: return 0;
  }
}

int CCorvinaView::Modifiers(Qt::KeyboardModifiers m) const {
  int bits = 0;
  if (m & Qt::ShiftModifier) bits |= kModShift;
  if (m & Qt::ControlModifier) bits |= kModCtrl;
  if (m & Qt::AltModifier) bits |= kModAlt;
  return bits;
}

void CCorvinaView::focusInEvent(QFocusEvent* e) {
  pendingModifierKey_ = 0;
  QWidget::focusInEvent(e);
}

void CCorvinaView::mousePressEvent(QMouseEvent* e) {
  if (!session_) return;
  setFocus(Qt::MouseFocusReason);
  pendingModifierKey_ = 0;
  if (e->button() == Qt::LeftButton) {
    dragging_ = true;
    dragMoved_ = false;
    dragStart_ = e->position().toPoint();
    return;
  }
  const QPoint cell = CellAt(e->position().toPoint());
  const int button = MouseButton(e->button());
  if (button && !session_->OnMouseEvent(button, Modifiers(e->modifiers()), cell.x(), cell.y()) &&
      e->button() == Qt::RightButton && popupMenu)
    popupMenu(e->globalPosition().toPoint());
}

void CCorvinaView::SelectTo(QPoint viewPoint) {
  const QPoint a = CellAt(dragStart_), b = CellAt(viewPoint);
  session_->SetSelection(CellRect{std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::max(a.x(), b.x()),
                                  std::max(a.y(), b.y())});
  update();
}

void CCorvinaView::mouseMoveEvent(QMouseEvent* e) {
  TipMoved(e->position().toPoint());
  if (!session_ || !dragging_) return;
  if (!dragMoved_ && (e->position().toPoint() - dragStart_).manhattanLength() < QApplication::startDragDistance())
    return;
  dragMoved_ = true;
  SelectTo(e->position().toPoint());
}

void CCorvinaView::mouseReleaseEvent(QMouseEvent* e) {
  if (!session_ || e->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  if (dragMoved_) {
    SelectTo(e->position().toPoint());
    if (selectionEnded) selectionEnded();
    return;
  }
  // A click: the left button's binding (CursorMove, say), and no selection.
  session_->ClearSelection();
  const QPoint cell = CellAt(e->position().toPoint());
  session_->OnMouseEvent(kVkMouseLeft, Modifiers(e->modifiers()), cell.x(), cell.y());
  update();
}

void CCorvinaView::mouseDoubleClickEvent(QMouseEvent* e) {
  if (!session_) return;
  const int button = MouseButton(e->button());
  if (!button) return;
  dragging_ = false;
  const QPoint cell = CellAt(e->position().toPoint());
  session_->OnMouseEvent(button, Modifiers(e->modifiers()) | kModExtended, cell.x(), cell.y());
}

}  // namespace corvina::qt
