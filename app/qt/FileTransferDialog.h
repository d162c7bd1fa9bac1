// The desktop's file transfer windows over dialogs/FileTransferDialog: the
// File Transfer dialog, the progress window with Cancel and "Send Clear
// key", and the frame's transfer commands (the menu entries, the key
// functions and files dropped on a session window).
#pragma once

#include <QDialog>
#include <QPointer>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/FileTransferDialog.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace corvina::app {
class CCorvinaApp;
}

namespace corvina::qt {

class QtUserInterface;

class CFileTransferDialog final : public QDialog {
  Q_OBJECT
 public:
  // `droppedFile` (when not empty) fills the PC and host file names.
  CFileTransferDialog(app::CCorvinaApp& application, CHostSession& session, filetransfer::TransferObserver* observer,
                      const std::string& droppedFile, QWidget* parent);
  dialogs::CFileTransferModel& Model() { return model_; }
  QLineEdit* Box(const std::string& field) const;
  QRadioButton* HostSystemButton(int system) const { return systems_[static_cast<std::size_t>(system)]; }
  QRadioButton* RecordFormatButton(int format) const { return formats_[static_cast<std::size_t>(format)]; }
  QRadioButton* PcFileOptionButton(int option) const { return pcOptions_[static_cast<std::size_t>(option)]; }
  QRadioButton* ScreenImageButton() const { return screenImage_; }
  QRadioButton* WsfButton() const { return wsf_; }
  QCheckBox* AsciiBox() const { return ascii_; }
  QCheckBox* CrLfBox() const { return crlf_; }
  QPushButton* PutButton() const { return put_; }
  QPushButton* GetButton() const { return get_; }
  QPushButton* CodePageButton() const { return codePageBrowse_; }

 private:
  // The plain text boxes and the model's strings they show.
  std::vector<std::pair<std::string, std::string*>> Texts();
  void Show();
  void ShowEnabled();
  void TakeTexts();
  void Transfer(filetransfer::Direction direction);
  void BrowsePcFile();
  void BrowseCodePage();

  app::CCorvinaApp& app_;
  CHostSession& session_;
  filetransfer::TransferObserver* observer_;
  dialogs::CFileTransferModel model_;
  std::map<std::string, QLineEdit*> boxes_;
  std::array<QRadioButton*, 3> systems_{};
  std::array<QRadioButton*, 4> formats_{};
  std::array<QRadioButton*, 3> pcOptions_{};
  QCheckBox* ascii_;
  QCheckBox* crlf_;
  QCheckBox* noTruncate_;
  QCheckBox* append_;
  QRadioButton* screenImage_;
  QRadioButton* wsf_;
  QLineEdit* codePage_;
  QPushButton* codePageBrowse_;
  QPushButton* put_;
  QPushButton* get_;
};

// "File Transfer Progress - Corvina": the engine's texts, the bar for a
// PUT, Cancel and "Send Clear key".
class CTransferProgressWindow final : public QDialog {
  Q_OBJECT
 public:
  CTransferProgressWindow(CHostSession& session, QWidget* parent);
  void Show(const filetransfer::TransferProgress& progress);
  QLabel* Text() const { return text_; }
  QProgressBar* Bar() const { return bar_; }
  QPushButton* CancelButton() const { return cancel_; }
  QPushButton* ClearButton() const { return clear_; }

 private:
  CHostSession& session_;
  QLabel* text_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  QPushButton* clear_;
};

class CFileTransferCommands {
 public:
  CFileTransferCommands(app::CCorvinaApp& application, QtUserInterface& ui, QWidget* frame);
  ~CFileTransferCommands();
  CFileTransferCommands(const CFileTransferCommands&) = delete;
  CFileTransferCommands& operator=(const CFileTransferCommands&) = delete;

  // "&File Transfer..." and the key function: the dialog, or a beep when
  // the session takes no transfer now.
  void Open(CHostSession& session, const std::string& droppedFile = {});
  // Files dropped on the session's window: the first, when it is a regular
  // local file, opens the dialog filled in; anything else beeps.
  void Drop(CHostSession& session, const std::vector<std::string>& paths);
  // "C&ancel File Transfer".
  void Cancel(CHostSession& session);
  void SessionClosing(CHostSession& session);
  // The progress window of the session's transfer, while one is shown.
  CTransferProgressWindow* ProgressOf(const CHostSession& session) const;
  // A transfer started or ended (the frame updates its menu).
  std::function<void()> changed;

 private:
  class Watch;
  void Ended(CHostSession& session, Watch* watch);

  app::CCorvinaApp& app_;
  QtUserInterface& ui_;
  QWidget* frame_;
  std::map<CHostSession*, std::unique_ptr<Watch>> watches_;
};

}  // namespace corvina::qt
