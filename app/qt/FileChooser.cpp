#include "app/qt/FileChooser.h"

#include <QFile>
#include <QFileDialog>

#include "app/qt/QtEventLoop.h"
#include "app/qt/QtUserInterface.h"
#include "app/qt/WidgetText.h"

namespace corvina::qt {

QStringList NameFilters(const std::string& filter) {
  const QStringList parts = L1(filter).split(QLatin1Char('|'));
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

int ExecWindowModal(QDialog& dialog, platform::UserInterface& ui) {
  dialog.setWindowModality(Qt::WindowModal);
  std::optional<LoopHold> hold;
  if (auto* desktop = dynamic_cast<QtUserInterface*>(&ui)) hold.emplace(desktop->Loop());
  return dialog.exec();
}

std::optional<std::string> ChooseFileWindowModal(QWidget* parent, platform::UserInterface& ui,
                                                 const app::FileChoice& choice) {
  QFileDialog dialog(parent, L1(choice.title));
  if (choice.existing) {
    dialog.setObjectName(QStringLiteral("OpenFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    dialog.setObjectName(QStringLiteral("SaveFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The append question follows; the dialog's own overwrite question would be a second one.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(L1(choice.defaultExtension));
  }
  dialog.setNameFilters(NameFilters(choice.filter));
  const bool absolute = !choice.defaultName.empty() && choice.defaultName[0] == '/';
  if (!absolute && !choice.folder.empty()) dialog.setDirectory(QString::fromStdString(choice.folder));
  // A pattern ("*.txt", "/data/*.txt") is what the filters already show, not
  // a name; its folder is where the dialog starts.
  if (choice.defaultName.find('*') == std::string::npos) {
    dialog.selectFile(L1(choice.defaultName));
  } else if (absolute) {
    dialog.setDirectory(L1(choice.defaultName.substr(0, choice.defaultName.rfind('/') + 1)));
  }
  const int result = ExecWindowModal(dialog, ui);
  const QStringList files = dialog.selectedFiles();
  if (result != QDialog::Accepted || files.isEmpty() || files.front().isEmpty()) return std::nullopt;
  const QByteArray path = QFile::encodeName(files.front());
  return std::string(path.constData(), static_cast<std::size_t>(path.size()));
}

}  // namespace corvina::qt
