// The desktop's configuration dialogs, thin windows over the toolkit-free
// models of dialogs/: Connect, Session Setup with its seven pages,
// Preferences, the response-time window and the name dialog; and the keypad
// toolbar whose buttons press key functions.
#pragma once

#include <QDialog>
#include <QToolBar>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "dialogs/ColorSchemeEditor.h"
#include "dialogs/PageSetup.h"
#include "dialogs/SetupDialogs.h"
#include "dialogs/ToolbarCustomizer.h"
#include "app/qt/PrinterList.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace corvina {
class CHostSession;
namespace app {
class CCorvinaApp;
}
}  // namespace corvina

namespace corvina::platform {
class UserInterface;
}

namespace corvina::qt {

// The code page chooser: the file name chosen in `folder` ("" for the
// built-in tables), or nullopt for Cancel.
std::optional<std::string> ChooseCodePageFile(QWidget* parent, platform::UserInterface& ui, const std::string& folder,
                                              const std::string& current);

// The services the models need, answered by windows on `parent`.
dialogs::DialogServices MakeDialogServices(app::CCorvinaApp& application, QWidget* parent);

// One page's controls, built from its field list.
class CFieldPage final : public QWidget {
  Q_OBJECT
 public:
  CFieldPage(const dialogs::Page& page, QWidget* parent);
  void Load(const dialogs::FieldValues& values);
  dialogs::FieldValues Values() const;
  void Focus(const std::string& id);
  QWidget* Control(const std::string& id) const;
  // The button beside a field ("Browse...", "Change..."), or null.
  QPushButton* Button(const std::string& id) const;
 signals:
  void changed();
  void buttonClicked(const std::string& id);

 private:
  std::map<std::string, QWidget*> controls_;
  std::map<std::string, QPushButton*> buttons_;
};

class CConnectDialog final : public QDialog {
  Q_OBJECT
 public:
  CConnectDialog(app::CCorvinaApp& application, int& lastSetupPage, QWidget* parent,
                 std::vector<std::string> printers = {});
  // The profile to start after the dialog closed with OK.
  std::string Name() const { return model_.name; }
  QComboBox* NameBox() const { return name_; }
  QLineEdit* HostBox() const { return host_; }
  QLineEdit* PortBox() const { return port_; }
  QComboBox* TypeBox() const { return type_; }
  QPushButton* ConnectButton() const { return connect_; }
  QPushButton* AdvancedButton() const { return advanced_; }

 private:
  void Fill();
  void TakeTexts();
  void Focus(const std::string& field);

  app::CCorvinaApp& app_;
  dialogs::DialogServices services_;
  dialogs::CConnectDialogModel model_;
  QComboBox* name_;
  QLineEdit* host_;
  QLineEdit* port_;
  QComboBox* type_;
  QCheckBox* atStartup_;
  QPushButton* connect_;
  QPushButton* advanced_;
  int& lastPage_;
  std::string shownName_;
  std::vector<std::string> printers_;
};

class CSessionSetupDialog final : public QDialog {
  Q_OBJECT
 public:
  // `printers`: the installed printers the Printer page lists.
  CSessionSetupDialog(app::CCorvinaApp& application, const std::string& profileName, int page, QWidget* parent,
                      std::vector<std::string> printers = {});
  ~CSessionSetupDialog() override;
  dialogs::CSessionSetupModel& Model() { return *model_; }
  // The page last shown, for the next opening.
  int ShownIndex() const { return model_->ShownIndex(); }
  const std::string& Name() const { return model_->Name(); }
  CFieldPage* Page() const { return page_; }
  QListWidget* Items() const { return items_; }
  // Switches pages as the list does.
  void ShowPage(int index);
  QPushButton* Button(const QString& text) const;

 private:
  void BuildPage();
  void BuildColors(QVBoxLayout* box);
  void BuildToolbarButtons(QHBoxLayout* row);
  void BuildTerminal();
  // A field's own button: Browse..., Change..., Customize...
  void FieldButton(const std::string& id);
  // Keeps the page's texts in the working copy before a chooser edits it;
  // false when they are refused.
  bool StoreShownTexts();
  void ChooseCodePage();
  void ChoosePrinterFont();
  // Runs the customisation dialog on the toolbar; the buttons made, or
  // nullopt for Cancel.
  std::optional<std::vector<ToolbarButton>> Customize(const std::string& toolbarName);
  void AfterModel();
  bool Refused(const std::optional<dialogs::Refusal>& refusal);
  void Changed();

  app::CCorvinaApp& app_;
  dialogs::DialogServices services_;
  std::unique_ptr<dialogs::CSessionSetupModel> model_;
  std::unique_ptr<dialogs::CColorSchemeEditor> colors_;
  QComboBox* name_;
  QListWidget* items_;
  QGroupBox* frame_;
  QVBoxLayout* frameLayout_;
  QWidget* pageHolder_ = nullptr;
  CFieldPage* page_ = nullptr;
  QPushButton* apply_;
  QPushButton* delete_;
  bool filling_ = false;
};

// The Printer page's "Page Setup...": margins in the profile's unit and the
// orientation; OK stores them into the profile (its working copy).
class CPageSetupDialog final : public QDialog {
  Q_OBJECT
 public:
  CPageSetupDialog(CCorvinaPersistentData& store, CCorvinaSessionProfile& profile, QWidget* parent);
  QLineEdit* Margin(int index) const { return margins_[static_cast<std::size_t>(index)]; }
  QGroupBox* MarginsBox() const { return marginsBox_; }
  QRadioButton* MetricButton() const { return millimeters_; }
  QRadioButton* LandscapeButton() const { return landscape_; }
  void accept() override;

 private:
  void TakeTexts();
  void Show();

  CCorvinaPersistentData& store_;
  CCorvinaSessionProfile& profile_;
  dialogs::CPageSetupModel model_;
  QGroupBox* marginsBox_;
  std::array<QLineEdit*, 4> margins_{};
  QRadioButton* landscape_;
  QRadioButton* millimeters_;
};

class CPreferencesDialog final : public QDialog {
  Q_OBJECT
 public:
  CPreferencesDialog(app::CCorvinaApp& application, QWidget* parent);

 private:
  std::vector<QCheckBox*> boxes_;
};

class CResponseTimeWindow final : public QDialog {
  Q_OBJECT
 public:
  CResponseTimeWindow(app::CCorvinaApp& application, QWidget* parent);
  void Refresh();

 private:
  app::CCorvinaApp& app_;
  QLabel* last_;
  QLabel* average_;
  QLabel* longest_;
  QLabel* count_;
  std::vector<QProgressBar*> bars_;
};

// The customisation dialog of one toolbar: the functions its type offers on
// the left, its buttons on the right. OK leaves the list in Buttons().
class CToolbarCustomizeDialog final : public QDialog {
  Q_OBJECT
 public:
  CToolbarCustomizeDialog(const CCorvinaToolbar& toolbar, QWidget* parent);
  const std::vector<ToolbarButton>& Buttons() const { return model_.Buttons(); }
  dialogs::CToolbarCustomizer& Model() { return model_; }
  QListWidget* AvailableList() const { return available_; }
  QListWidget* ButtonList() const { return current_; }
  QPushButton* Button(const QString& text) const;

 private:
  void Fill(int selected);

  dialogs::CToolbarCustomizer model_;
  QListWidget* available_;
  QListWidget* current_;
};

// The keypad toolbar of the shown session's profile.
class CKeypadToolbar final : public QToolBar {
  Q_OBJECT
 public:
  CKeypadToolbar(app::CCorvinaApp& application, QWidget* parent);
  // Rebuilds for the session (hidden without one, or when its profile hides it).
  void ShowFor(CHostSession* session);
  QAction* ButtonFor(int id) const;

 private:
  void Rebuild(const CCorvinaToolbar& bar);

  app::CCorvinaApp& app_;
  CHostSession* session_ = nullptr;
  std::string shownLayout_;  // LayoutKey of the toolbar shown
  std::vector<QAction*> buttons_;
  QWidget* grid_ = nullptr;  // the buttons of a fixed width
};

// The frame's dialog commands; the last page shown in Session Setup is kept here.
class CDialogCommands {
 public:
  CDialogCommands(app::CCorvinaApp& application, QWidget* frame) : app_(application), frame_(frame) {
    printers_.Refresh();
  }
  // Connect: starts the chosen profile in any free slot.
  void Connect();
  void SetupSessions();
  void Preferences();
  void ResponseTime();

 private:
  app::CCorvinaApp& app_;
  QWidget* frame_;
  int lastPage_ = 0;
  CResponseTimeWindow* response_ = nullptr;
  CPrinterList printers_;
};

}  // namespace corvina::qt
