// The keyboard and macro windows over the models of dialogs/MacroDialogs:
// the type-key dialog, the keyboard-setup dialog, the macro editor and the
// macro list of "More Macros...".
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/MacroDialogs.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace corvina::platform {
class UserInterface;
}

namespace corvina::qt {

// Takes every key, Tab, Esc and Alt combinations included: none of them
// moves the focus, closes the dialog or reaches a shortcut.
class CKeyCaptureBox final : public QLineEdit {
  Q_OBJECT
 public:
  explicit CKeyCaptureBox(QWidget* parent);
 signals:
  void keyDown(QKeyEvent* e);

 protected:
  bool event(QEvent* e) override;
};

class CTypeKeyDialog final : public QDialog {
  Q_OBJECT
 public:
  CTypeKeyDialog(platform::UserInterface& ui, QWidget* parent);
  std::optional<KeyCode> Key() const { return model_.Key(); }
  CKeyCaptureBox* CaptureBox() const { return box_; }
  QLabel* Prompt() const { return prompt_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* RetryButton() const { return retry_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void KeyDown(QKeyEvent* e);
  void Show();
  void Ok();

  platform::UserInterface& ui_;
  dialogs::CTypeKeyModel model_;
  CKeyCaptureBox* box_;
  QLabel* prompt_;
  QPushButton* ok_;
  QPushButton* retry_;
};

class CKeyboardSetupDialog final : public QDialog {
  Q_OBJECT
 public:
  CKeyboardSetupDialog(dialogs::DialogServices& services, const std::string& mapName, QWidget* parent);
  dialogs::CKeyboardSetupModel& Model() { return model_; }
  const std::string& MapName() const { return model_.MapName(); }
  QListWidget* Groups() const { return groups_; }
  QTreeWidget* Rows() const { return rows_; }
  QLineEdit* SequenceBox() const { return sequence_; }
  QPushButton* Button(const QString& text) const;
  // Selects a row of the group shown, by its "Function" text.
  bool SelectRow(const QString& label);

 private:
  void Fill(int selectRow);
  void SelectionChanged();
  int Selected() const;

  dialogs::CKeyboardSetupModel model_;
  QListWidget* groups_;
  QTreeWidget* rows_;
  QPushButton* add_;
  QPushButton* clear_;
  QPushButton* resetEntry_;
  QLabel* sequenceLabel_;
  QLineEdit* sequence_;
  QPushButton* change_;
};

// The "Macro definition:" box: keys pass the model first.
class CMacroTextBox final : public QPlainTextEdit {
  Q_OBJECT
 public:
  CMacroTextBox(dialogs::CMacroEditorModel& model, QWidget* parent);

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  std::optional<std::string> Insertion(QKeyEvent* e) const;
  dialogs::CMacroEditorModel& model_;
};

class CMacroEditorDialog final : public QDialog {
  Q_OBJECT
 public:
  CMacroEditorDialog(dialogs::DialogServices& services, const std::string& macroName, const CCorvinaKeyboardMap& map,
                     QWidget* parent);
  bool Valid() const { return model_.Valid(); }
  CMacroTextBox* TextBox() const { return text_; }
  QCheckBox* TerminalKeys() const { return terminalKeys_; }
  QPushButton* Button(const QString& text) const;

 private:
  void Take();

  dialogs::CMacroEditorModel model_;
  CMacroTextBox* text_;
  QCheckBox* terminalKeys_;
};

// "Select Macro - Corvina".
class CMacroListDialog final : public QDialog {
  Q_OBJECT
 public:
  CMacroListDialog(const std::vector<std::string>& names, QWidget* parent);
  std::optional<std::string> Chosen() const;
  QListWidget* List() const { return list_; }

 private:
  QListWidget* list_;
};

}  // namespace corvina::qt
