// Small helpers the desktop's windows share: the core's Latin-1 texts as Qt
// strings and back, and a dialog button that never becomes the default.
#pragma once

#include <QBoxLayout>
#include <QPushButton>
#include <QString>

#include <string>

namespace corvina::qt {

inline QString L1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string ToL1(const QString& s) { return s.toLatin1().toStdString(); }

inline QPushButton* AddButton(QBoxLayout* layout, const QString& text) {
  auto* b = new QPushButton(text);
  b->setAutoDefault(false);
  layout->addWidget(b);
  return b;
}

}  // namespace corvina::qt
