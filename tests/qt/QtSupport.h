// Turning Qt's loop from tests, and where screenshots go.
#pragma once

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QTimer>

#include <chrono>
#include <functional>
#include <string>

namespace corvina::qt::test {

inline void SpinFor(std::chrono::milliseconds d) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(d.count()), &loop, &QEventLoop::quit);
  loop.exec();
}

inline bool SpinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  auto end = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    SpinFor(std::chrono::milliseconds(5));
  }
  return true;
}

// Runs `step` on the modal dialog of type T once it is open (looking for
// it for five seconds at most).
template <typename T>
void OnNextModal(std::function<void(T&)> step, int tries = 250) {
  QTimer::singleShot(20, [step, tries] {
    if (auto* d = qobject_cast<T*>(QApplication::activeModalWidget()); d && d->isVisible()) return step(*d);
    if (tries > 0) OnNextModal<T>(step, tries - 1);
  });
}

// Saves the image as build/<preset>/screenshots/<name>.png; returns the path.
std::string SaveScreenshot(const QImage& image, const std::string& name);

}  // namespace corvina::qt::test

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace corvina::qt::test {

// Presses the button of the next message box once it is open, keeping its
// text.
inline void AnswerNextBox(QMessageBox::StandardButton button, QString* text = nullptr, int ms = 50) {
  QTimer::singleShot(ms, [button, text] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    if (text) *text = box->text();
    if (QAbstractButton* b = box->button(button)) b->click();
  });
}

}  // namespace corvina::qt::test
