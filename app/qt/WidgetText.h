// Small helpers the desktop's windows share: the core's Latin-1 texts as Qt
// strings and back, a dialog button that never becomes the default, and the
// core's file-dialog filters in Qt's form.
#pragma once

#include <QBoxLayout>
#include <QPushButton>
#include <QString>
#include <QStringList>

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

// "Log files (*.log)|*.log|All Files (*.*)|*.*||" as Qt's filters; "*.*"
// takes every file, as it does where the form comes from.
inline QStringList NameFilters(const std::string& filter) {
  QStringList parts = L1(filter).split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) break;
    QString description = parts[i];
    if (const qsizetype open = description.indexOf(QLatin1Char('(')); open > 0) description.truncate(open);
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' ')).replace(QStringLiteral("*.*"), QStringLiteral("*"));
    out << description.trimmed() + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  return out;
}

}  // namespace corvina::qt
