// The desktop's file choosers: window-modal on their parent, with the
// core's loop held while they run (a session's callbacks never run inside
// the chooser's own loop).
#pragma once

#include <QStringList>

#include <optional>
#include <string>

#include "app/SaveFiles.h"

class QDialog;
class QWidget;

namespace corvina::platform {
class UserInterface;
}

namespace corvina::qt {

// "Log files (*.log)|*.log|All Files (*.*)|*.*||" as Qt's filters; "*.*"
// takes every file, as it does where the form comes from.
QStringList NameFilters(const std::string& filter);

// Runs the dialog window-modal on its parent with the core's loop held
// (when the interface is the desktop's).
int ExecWindowModal(QDialog& dialog, platform::UserInterface& ui);

// An existing file for `choice.existing`, else any name (the caller asks
// about an existing file itself). The path chosen, in the file system's
// encoding, or nullopt for Cancel.
std::optional<std::string> ChooseFileWindowModal(QWidget* parent, platform::UserInterface& ui,
                                                 const app::FileChoice& choice);

}  // namespace corvina::qt
