// CCorvinaView: one session's terminal window. It draws the engine's render
// model through a QtCanvas kept between paints, centres the screen in its
// client area, scales the font to the window or asks the frame to fit,
// draws the cursor, the cross-hair and the selection, shows the VT scroll
// bar, and turns keys and mouse buttons into the session's input.
#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "app/ViewSizing.h"
#include "app/qt/QtCanvas.h"
#include "app/qt/ScreenFont.h"

class QMimeData;
class QScrollBar;

namespace corvina {
class CHostSession;
}

namespace corvina::qt {

class CCorvinaView final : public QWidget {
  Q_OBJECT

 public:
  explicit CCorvinaView(CHostSession& session, QWidget* parent = nullptr);
  ~CCorvinaView() override;

  // The session is going: nothing of it is touched from here on.
  void Detach() { session_ = nullptr; }
  CHostSession* Session() const { return session_; }

  // Makes the screen font from the profile again (start, profile change,
  // size command); the frame is then fitted unless scaling takes over.
  void ApplyProfile();
  const ScreenFont& Font() const { return font_; }
  const std::string& OiaText() const { return canvas_.OiaText(); }
  // Scales the font to the client area (FontOptions bit 0). False when the
  // face's sizes cannot fill it (the frame is fitted instead).
  bool ScaleToWindow();
  // The client size that holds the screen exactly (scroll bar included).
  app::PixelSize ScreenSize() const;
  int ScreenRows() const;  // with the OIA line
  int ScreenColumns() const;
  // Where the screen starts in the view.
  QPoint ScreenOrigin() const;
  // The OIA line is drawn in the window (the profile, or full-screen rules).
  void SetOiaShown(bool shown);
  bool OiaShown() const { return oiaShown_; }
  // Full screen: no sunken edge.
  void SetFullScreen(bool on);

  // Repaints after the session changed; draws into the kept picture.
  void ScreenChanged();
  // The picture as shown (for tests, screenshots and the benchmark).
  QImage Grab();
  // The cell under a point of the view; clipped to the screen.
  QPoint CellAt(QPoint viewPoint) const;

  // Frame hooks: fit the frame to the screen; a mouse selection ended (its
  // text goes to the PRIMARY selection); the right button's pop-up menu.
  std::function<void()> fitFrame;
  // Whether a size change may scale the font now (not while the frame fits
  // itself, nor before its first size is set).
  std::function<bool()> mayScale;
  std::function<void()> selectionEnded;
  std::function<void(QPoint globalPos)> popupMenu;
  // Files dropped on the window, as local paths (empty for a URL that is
  // no local file).
  std::function<void(const std::vector<std::string>&)> filesDropped;
  // What a drop on the window does with its data (tests drop through it).
  void Drop(const QMimeData& data);

  // The view shows history lines rather than the live screen.
  bool ScrolledBack() const { return canvas_.ViewOffset() != 0; }
  // One step of the blink clock (every 500 ms); tests stop the clock and step it.
  void BlinkStep();
  void StopBlinkClock() { blink_.stop(); }
  // Selection as the user drags (view pixels), exposed for tests.
  bool Selecting() const { return dragging_; }

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent* e) override;
  bool focusNextPrevChild(bool) override { return false; }
  void focusInEvent(QFocusEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  void PaintModel();
  void DrawOverlays(QPainter& p, QPoint origin);
  void TipMoved(QPoint viewPoint);
  void ShowTip();
  void ScrollBarMoved(int action);
  void UpdateScrollBar();
  bool HandleKey(QKeyEvent* e, bool press);
  void SelectTo(QPoint viewPoint);
  static int MouseButton(Qt::MouseButton b);
  int Modifiers(Qt::KeyboardModifiers m) const;

  CHostSession* session_;
  ScreenFont font_;
  QtCanvas canvas_;
  QScrollBar* bar_ = nullptr;
  bool barShown_ = false;
  bool oiaShown_ = false;
  bool fullScreen_ = false;
  QTimer blink_;
  int blinkStep_ = 0;
  bool cursorOn_ = true;
  QTimer tip_;
  QPoint tipCell_{-1, -1}, tipAt_;
  bool painting_ = false;
  bool updatingBar_ = false;
  // A Ctrl, Shift or Alt pressed alone acts when released.
  int pendingModifierKey_ = 0, pendingModifierBits_ = 0;
  // Mouse selection.
  bool dragging_ = false;
  QPoint dragStart_;
  bool dragMoved_ = false;
};

}  // namespace corvina::qt
