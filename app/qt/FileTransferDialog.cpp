#include "app/qt/FileTransferDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Application.h"
#include "app/qt/FileChooser.h"
#include "app/qt/QtEventLoop.h"
#include "app/qt/QtUserInterface.h"
#include "app/qt/SetupDialogs.h"
#include "app/qt/WidgetText.h"
#include "filetransfer/TransferTexts.h"
#include "keyboard/KeyFunctions.h"
#include "platform/Format.h"
#include "session/HostSession.h"

namespace corvina::qt {

namespace texts = transfer_texts;
using filetransfer::Direction;
using platform::Format;

namespace {

QString T(const char* text) { return QString::fromLatin1(text); }

}  // namespace

// ---------------------------------------------------------------- the dialog

CFileTransferDialog::CFileTransferDialog(app::CCorvinaApp& application, CHostSession& session,
                                         filetransfer::TransferObserver* observer, const std::string& droppedFile,
                                         QWidget* parent)
    : QDialog(parent),
      app_(application),
      session_(session),
      observer_(observer),
      model_(application.Store(), session.Profile(), application.CodePageFolder()) {
  setObjectName(QStringLiteral("FileTransferDialog"));
  setWindowTitle(L1(model_.Caption()));
  if (!droppedFile.empty()) model_.TakeDroppedFile(droppedFile);
  auto* layout = new QVBoxLayout(this);
  auto box = [this](const std::string& field) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(L1(field));
    boxes_[field] = edit;
    return edit;
  };

  auto* files = new QGridLayout;
  // The labels' mnemonics reach their boxes.
  auto* hostLabel = new QLabel(T(texts::kHostFileLabel));
  hostLabel->setBuddy(box("hostFile"));
  auto* pcLabel = new QLabel(T(texts::kPcFileLabel));
  pcLabel->setBuddy(box("pcFile"));
  files->addWidget(hostLabel, 0, 0);
  files->addWidget(boxes_["hostFile"], 0, 1, 1, 2);
  files->addWidget(pcLabel, 1, 0);
  files->addWidget(boxes_["pcFile"], 1, 1);
  auto* browse = new QPushButton(T(texts::kBrowse));
  browse->setAutoDefault(false);
  connect(browse, &QPushButton::clicked, this, [this] { BrowsePcFile(); });
  files->addWidget(browse, 1, 2);
  layout->addLayout(files);

  auto radios = [](QGroupBox* group, QBoxLayout* into, const char* const* captions, std::size_t count,
                       QRadioButton** out) {
    auto* buttons = new QButtonGroup(group);
    for (std::size_t i = 0; i < count; ++i) {
      out[i] = new QRadioButton(T(captions[i]), group);
      buttons->addButton(out[i], static_cast<int>(i));
      into->addWidget(out[i]);
    }
    return buttons;
  };

  auto* row = new QHBoxLayout;
  auto* opsys = new QGroupBox(T(texts::kHostOpsys), this);
  auto* opsysBox = new QVBoxLayout(opsys);
  QButtonGroup* systemGroup = radios(opsys, opsysBox, texts::kHostSystems, 3, systems_.data());
  connect(systemGroup, &QButtonGroup::idClicked, this, [this](int id) {
    TakeTexts();
    model_.SetHostSystem(id);
    Show();
  });
  row->addWidget(opsys);
  auto* translation = new QGroupBox(T(texts::kTranslation), this);
  auto* translationBox = new QVBoxLayout(translation);
  ascii_ = new QCheckBox(T(texts::kAscii), translation);
  crlf_ = new QCheckBox(T(texts::kCrLf), translation);
  noTruncate_ = new QCheckBox(T(texts::kNoTrunc), translation);
  for (QCheckBox* c : {ascii_, crlf_, noTruncate_}) translationBox->addWidget(c);
  row->addWidget(translation);
  auto* mode = new QGroupBox(T(texts::kTransferMode), this);
  auto* modeBox = new QGridLayout(mode);
  screenImage_ = new QRadioButton(T(texts::kScreenImages), mode);
  wsf_ = new QRadioButton(T(texts::kWsfBuffer), mode);
  auto* modeGroup = new QButtonGroup(mode);
  modeGroup->addButton(screenImage_);
  modeGroup->addButton(wsf_);
  modeBox->addWidget(screenImage_, 0, 0, 1, 2);
  modeBox->addWidget(wsf_, 1, 0);
  modeBox->addWidget(box("bufferSize"), 1, 1);
  connect(modeGroup, &QButtonGroup::buttonClicked, this, [this] { ShowEnabled(); });
  row->addWidget(mode);
  layout->addLayout(row);

  row = new QHBoxLayout;
  auto* hostOptions = new QGroupBox(T(texts::kHostFileOptions), this);
  auto* hostGrid = new QGridLayout(hostOptions);
  auto* formatColumn = new QVBoxLayout;
  radios(hostOptions, formatColumn, texts::kRecordFormats, 4, formats_.data());
  hostGrid->addLayout(formatColumn, 0, 0, 3, 1);
  hostGrid->addWidget(new QLabel(T(texts::kLrecl)), 0, 1);
  hostGrid->addWidget(box("lrecl"), 0, 2);
  hostGrid->addWidget(new QLabel(T(texts::kBlksize)), 1, 1);
  hostGrid->addWidget(box("blksize"), 1, 2);
  append_ = new QCheckBox(T(texts::kAppend), hostOptions);
  hostGrid->addWidget(append_, 2, 1, 1, 2);
  row->addWidget(hostOptions);
  auto* pcOptions = new QGroupBox(T(texts::kPcFileOptions), this);
  auto* pcBox = new QVBoxLayout(pcOptions);
  radios(pcOptions, pcBox, texts::kPcFileChoices, 3, pcOptions_.data());
  row->addWidget(pcOptions);
  layout->addLayout(row);

  auto* form = new QFormLayout;
  form->addRow(T(texts::kProgramLabel), box("program"));
  form->addRow(T(texts::kOptionsLabel), box("options"));
  layout->addLayout(form);
  auto* codePageGroup = new QGroupBox(T(texts::kHostCodePage), this);
  auto* codePageRow = new QHBoxLayout(codePageGroup);
  codePage_ = new QLineEdit(codePageGroup);
  codePage_->setObjectName(QStringLiteral("codePage"));
  codePage_->setReadOnly(true);
  codePageRow->addWidget(codePage_);
  codePageBrowse_ = AddButton(codePageRow, T(texts::kBrowseCodePage));
  connect(codePageBrowse_, &QPushButton::clicked, this, [this] { BrowseCodePage(); });
  layout->addWidget(codePageGroup);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  put_ = AddButton(buttons, T(texts::kPutButton));
  get_ = AddButton(buttons, T(texts::kGetButton));
  QPushButton* help = AddButton(buttons, T(texts::kHelpButton));
  help->setEnabled(false);  // no help viewer in this version
  QPushButton* cancel = AddButton(buttons, T(texts::kCancelButton));
  connect(put_, &QPushButton::clicked, this, [this] { Transfer(Direction::kPut); });
  connect(get_, &QPushButton::clicked, this, [this] { Transfer(Direction::kGet); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  layout->addLayout(buttons);
  Show();
  boxes_["hostFile"]->setFocus();
}

std::vector<std::pair<std::string, std::string*>> CFileTransferDialog::Texts() {
  dialogs::CFileTransferModel& m = model_;
  return {{"hostFile", &m.hostFile}, {"program", &m.program}, {"options", &m.options},
          {"lrecl", &m.lrecl},       {"blksize", &m.blksize}, {"bufferSize", &m.bufferSize}};
}

QLineEdit* CFileTransferDialog::Box(const std::string& field) const {
  if (field == "codePage") return codePage_;
  const auto it = boxes_.find(field);
  return it == boxes_.end() ? nullptr : it->second;
}

void CFileTransferDialog::Show() {
  const dialogs::CFileTransferModel& m = model_;
  for (const auto& [field, text] : Texts()) boxes_[field]->setText(L1(*text));
  // The PC file is a local path, in the file system's encoding.
  boxes_["pcFile"]->setText(QFile::decodeName(QByteArray::fromStdString(m.pcFile)));
  systems_[static_cast<std::size_t>(m.HostSystem())]->setChecked(true);
  formats_[static_cast<std::size_t>(m.recordFormat)]->setChecked(true);
  pcOptions_[static_cast<std::size_t>(m.pcFileOption)]->setChecked(true);
  ascii_->setChecked(m.ascii);
  crlf_->setChecked(m.crlf);
  noTruncate_->setChecked(m.noTruncate);
  append_->setChecked(m.append);
  (m.screenImage ? screenImage_ : wsf_)->setChecked(true);
  codePage_->setText(L1(m.CodePageName()));
  ShowEnabled();
}

void CFileTransferDialog::ShowEnabled() {
  for (int f = 0; f < 4; ++f)
    formats_[static_cast<std::size_t>(f)]->setEnabled(model_.RecordFormatEnabled() &&
                                                      (f != 3 || model_.UndefinedEnabled()));
  boxes_["lrecl"]->setEnabled(model_.LreclEnabled());
  boxes_["blksize"]->setEnabled(model_.BlksizeEnabled());
  boxes_["bufferSize"]->setEnabled(wsf_->isChecked());
}

void CFileTransferDialog::TakeTexts() {
  dialogs::CFileTransferModel& m = model_;
  // Host file names keep their blanks, as typed; numbers and names do not.
  for (const auto& [field, text] : Texts())
    *text = ToL1(field == "hostFile" || field == "options" ? boxes_[field]->text() : boxes_[field]->text().trimmed());
  m.pcFile = QFile::encodeName(boxes_["pcFile"]->text()).toStdString();
  for (int f = 0; f < 4; ++f)
    if (formats_[static_cast<std::size_t>(f)]->isChecked()) m.recordFormat = f;
  for (int o = 0; o < 3; ++o)
    if (pcOptions_[static_cast<std::size_t>(o)]->isChecked()) m.pcFileOption = o;
  m.ascii = ascii_->isChecked();
  m.crlf = crlf_->isChecked();
  m.noTruncate = noTruncate_->isChecked();
  m.append = append_->isChecked();
  m.screenImage = screenImage_->isChecked();
}

void CFileTransferDialog::Transfer(Direction direction) {
  TakeTexts();
  const dialogs::CFileTransferModel::Outcome outcome = model_.Transfer(direction, session_, observer_);
  if (outcome.refusal) {
    if (QLineEdit* b = Box(outcome.refusal->field)) {
      b->setFocus();
      b->selectAll();
    }
    return;
  }
  // A file that was not found or kept stays in the dialog to be put right.
  if (outcome.start == filetransfer::kStartSent) accept();
}

void CFileTransferDialog::BrowsePcFile() {
  TakeTexts();
  app::FileChoice choice;
  choice.title = std::string(texts::kBrowseTitle) + texts::kProduct;
  choice.filter = texts::kBrowseFilter;
  choice.defaultName = model_.pcFile;
  // An existing file is asked about by the transfer (Prompt before replace).
  const std::optional<std::string> chosen = ChooseFileWindowModal(this, session_.Ui(), choice);
  if (chosen && !chosen->empty()) boxes_["pcFile"]->setText(QFile::decodeName(QByteArray::fromStdString(*chosen)));
}

void CFileTransferDialog::BrowseCodePage() {
  const std::optional<std::string> chosen =
      ChooseCodePageFile(this, session_.Ui(), app_.CodePageFolder(), model_.CodePageFile());
  if (!chosen) return;
  model_.ChooseCodePage(*chosen);
  codePage_->setText(L1(model_.CodePageName()));
}

// ---------------------------------------------------------- the progress window

CTransferProgressWindow::CTransferProgressWindow(CHostSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
  setObjectName(QStringLiteral("FileTransferProgress"));
  setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(this);
  text_ = new QLabel(this);
  text_->setMinimumWidth(360);
  layout->addWidget(text_);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  layout->addWidget(bar_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  cancel_ = AddButton(buttons, T(texts::kCancelButton));
  clear_ = AddButton(buttons, T(texts::kSendClear));
  buttons->addStretch();
  layout->addLayout(buttons);
  connect(cancel_, &QPushButton::clicked, this, [this] { dialogs::ConfirmCancelTransfer(session_, true); });
  connect(clear_, &QPushButton::clicked, this, [this] {
    // Past the session's key path: while a transfer runs it only beeps.
    if (TerminalEngine* engine = session_.Engine()) {
      engine->KeyFunction(kf::ibm3270::kReset);
      engine->KeyFunction(kf::ibm3270::kClear);
      session_.FlushOutput();
    }
  });
}

void CTransferProgressWindow::Show(const filetransfer::TransferProgress& p) {
  setWindowTitle(L1(p.title));
  text_->setText(L1(p.text));
  bar_->setVisible(!p.get);
  if (!p.get && p.percent > bar_->value()) bar_->setValue(p.percent);
}

// ----------------------------------------------------------------- the commands

// The observer of one session's dialog-started transfer: it makes the
// progress window on the first update (again after the user closed it)
// and closes it at the end.
class CFileTransferCommands::Watch final : public filetransfer::TransferObserver {
 public:
  Watch(CFileTransferCommands& owner, CHostSession& session) : owner_(owner), session_(session) {}
  ~Watch() override {
    if (window_) window_->deleteLater();
  }
  void Progress(const filetransfer::TransferProgress& p) override {
    if (!window_) {
      window_ = new CTransferProgressWindow(session_, owner_.frame_);
      window_->show();
    }
    window_->Show(p);
  }
  void Ended(const filetransfer::TransferOutcome& outcome) override {
    if (window_) window_->close();
    const std::string failure = filetransfer::OutcomeFailure(outcome);
    // The host's own last words are on the status bar already.
    if (!failure.empty() && outcome.message.empty()) session_.Ui().SetStatusText(failure);
    owner_.Ended(session_, this);
  }
  CTransferProgressWindow* Window() const { return window_; }

 private:
  CFileTransferCommands& owner_;
  CHostSession& session_;
  QPointer<CTransferProgressWindow> window_;
};

CFileTransferCommands::CFileTransferCommands(app::CCorvinaApp& application, QtUserInterface& ui, QWidget* frame)
    : app_(application), ui_(ui), frame_(frame) {}

CFileTransferCommands::~CFileTransferCommands() {
  for (auto& [session, watch] : watches_) filetransfer::DetachFileTransferObserver(*session, watch.get());
}

void CFileTransferCommands::Open(CHostSession& session, const std::string& droppedFile) {
  if (!filetransfer::FileTransferCanStart(session)) {
    session.Ui().Beep(platform::BeepKind::Exclamation);
    return;
  }
  auto watch = std::make_unique<Watch>(*this, session);
  bool started = false;
  {
    LoopHold hold(ui_.Loop());
    CFileTransferDialog dialog(app_, session, watch.get(), droppedFile, frame_);
    started = dialog.exec() == QDialog::Accepted;
  }
  if (!started) {
    filetransfer::DetachFileTransferObserver(session, watch.get());
    return;
  }
  // The window comes at once, with nothing moved yet: a host that never
  // answers can still be cancelled from it.
  const filetransfer::TransferStatus status = filetransfer::FileTransferStatus(session);
  const std::string& pcFile = session.Profile().fileTransfer.pcFile;
  filetransfer::TransferProgress first;
  first.get = status.state == filetransfer::CFileTransfer::kGetCommandSent;
  first.fileSize = status.fileSize;
  first.title = Format(texts::kProgressTitle, texts::kProduct);
  first.text = first.get ? Format(texts::kReceiving, pcFile.c_str(), 0L)
                         : Format(texts::kSending, pcFile.c_str(), status.fileSize, 0L, 0);
  if (!first.get) first.title = Format(texts::kProgressPercentTitle, 0L) + first.title;
  watch->Progress(first);
  watches_[&session] = std::move(watch);
  if (changed) changed();
}

void CFileTransferCommands::Drop(CHostSession& session, const std::vector<std::string>& paths) {
  if (paths.empty() || !dialogs::DroppableFile(paths.front()) || !filetransfer::FileTransferCanStart(session)) {
    session.Ui().Beep(platform::BeepKind::Exclamation);
    return;
  }
  Open(session, paths.front());
}

void CFileTransferCommands::Cancel(CHostSession& session) {
  if (!filetransfer::FileTransferRunning(session)) {
    session.Ui().Beep(platform::BeepKind::Exclamation);
    return;
  }
  dialogs::ConfirmCancelTransfer(session, false);
}

void CFileTransferCommands::SessionClosing(CHostSession& session) {
  const auto it = watches_.find(&session);
  if (it == watches_.end()) return;
  filetransfer::DetachFileTransferObserver(session, it->second.get());
  watches_.erase(it);
}

CTransferProgressWindow* CFileTransferCommands::ProgressOf(const CHostSession& session) const {
  const auto it = watches_.find(const_cast<CHostSession*>(&session));
  return it == watches_.end() ? nullptr : it->second->Window();
}

void CFileTransferCommands::Ended(CHostSession& session, Watch* watch) {
  // Called from inside the transfer's end: the watch goes on a later turn.
  QTimer::singleShot(0, frame_, [this, session = &session, watch] {
    const auto it = watches_.find(session);
    if (it != watches_.end() && it->second.get() == watch) watches_.erase(it);
    if (changed) changed();
  });
}

}  // namespace corvina::qt
