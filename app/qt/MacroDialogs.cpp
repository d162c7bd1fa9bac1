#include "app/qt/MacroDialogs.h"
#include "app/qt/WidgetText.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/qt/KeyTranslation.h"
#include "keyboard/KeyboardTexts.h"
#include "platform/Format.h"
#include "platform/UserInterface.h"

namespace corvina::qt {

namespace {

namespace kt = keyboard_texts;


QPushButton* FindButton(const QWidget* dialog, const QString& text) {
  for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
    if (b->text().remove(QLatin1Char('&')) == text) return b;
  }
  return nullptr;
}

std::optional<KeyCode> KeyOf(const QKeyEvent& e) {
  const std::optional<TranslatedKey> key = TranslateKey(e);
  if (!key || key->virtualKey <= 0 || key->virtualKey > 0xFFFF) return std::nullopt;
  return KeyCode{static_cast<std::uint16_t>(key->virtualKey), static_cast<std::uint8_t>(key->modifiers)};
}

std::uint8_t ModifierBits(Qt::KeyboardModifiers m) {
  std::uint8_t bits = 0;
  if (m & Qt::AltModifier) bits |= kModAlt;
  if (m & Qt::ControlModifier) bits |= kModCtrl;
  if (m & Qt::ShiftModifier) bits |= kModShift;
  return bits;
}

}  // namespace

// ---------------------------------------------------------------- type key

CKeyCaptureBox::CKeyCaptureBox(QWidget* parent) : QLineEdit(parent) {
  setObjectName(QStringLiteral("capture"));
  setReadOnly(true);
  setAlignment(Qt::AlignCenter);
  setContextMenuPolicy(Qt::NoContextMenu);
}

bool CKeyCaptureBox::event(QEvent* e) {
  if (e->type() == QEvent::ShortcutOverride) {
    e->accept();
    return true;
  }
  if (e->type() == QEvent::KeyPress) {
    emit keyDown(static_cast<QKeyEvent*>(e));
    e->accept();
    return true;
  }
  if (e->type() == QEvent::KeyRelease) {
    e->accept();
    return true;
  }
  return QLineEdit::event(e);
}

CTypeKeyDialog::CTypeKeyDialog(platform::UserInterface& ui, QWidget* parent) : QDialog(parent), ui_(ui) {
  setObjectName(QStringLiteral("TypeKeyDialog"));
  setWindowTitle(L1(model_.Title()));
  prompt_ = new QLabel(L1(model_.Prompt()), this);
  prompt_->setObjectName(QStringLiteral("prompt"));
  prompt_->setWordWrap(true);
  prompt_->setFrameShape(QFrame::StyledPanel);
  prompt_->setMargin(8);
  prompt_->setMinimumHeight(64);
  prompt_->installEventFilter(this);
  box_ = new CKeyCaptureBox(this);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  ok_ = AddButton(buttons, tr("OK"));
  retry_ = AddButton(buttons, tr("Retry"));
  QPushButton* cancel = AddButton(buttons, tr("Cancel"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt_);
  layout->addWidget(box_);
  layout->addLayout(buttons);
  setMinimumWidth(380);
  connect(box_, &CKeyCaptureBox::keyDown, this, &CTypeKeyDialog::KeyDown);
  connect(ok_, &QPushButton::clicked, this, &CTypeKeyDialog::Ok);
  connect(retry_, &QPushButton::clicked, this, [this] {
    model_.Retry();
    Show();
    box_->setFocus();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  Show();
  box_->setFocus();
}

void CTypeKeyDialog::KeyDown(QKeyEvent* e) {
  const std::optional<KeyCode> key = KeyOf(*e);
  if (!key) return;
  if (model_.KeyDown(*key, e->isAutoRepeat()) == dialogs::CTypeKeyModel::KeyResult::kBeep)
    ui_.Beep(platform::BeepKind::Default);
  Show();
}

bool CTypeKeyDialog::eventFilter(QObject* watched, QEvent* e) {
  if (watched == prompt_ && (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick)) {
    auto* m = static_cast<QMouseEvent*>(e);
    const std::uint16_t button = m->button() == Qt::LeftButton    ? kVkMouseLeft
                                 : m->button() == Qt::RightButton ? kVkMouseRight
                                                                  : 0;
    if (button) {
      model_.MouseClick(button, ModifierBits(m->modifiers()), e->type() == QEvent::MouseButtonDblClick);
      Show();
      ok_->setFocus();
      return true;
    }
  }
  return QDialog::eventFilter(watched, e);
}

void CTypeKeyDialog::Show() {
  box_->setText(L1(model_.CaptureText()));
  ok_->setEnabled(model_.Captured());
  retry_->setEnabled(model_.Captured());
}

void CTypeKeyDialog::Ok() {
  if (!model_.Captured()) return;
  if (const std::optional<std::string> problem = model_.OkProblem()) {
    ui_.MessageBox(*problem, kt::kCaption, platform::Buttons::Ok, platform::Answer::Ok, platform::Icon::Warning);
    box_->setFocus();
    return;
  }
  accept();
}

// ---------------------------------------------------------------- keyboard setup

CKeyboardSetupDialog::CKeyboardSetupDialog(dialogs::DialogServices& services, const std::string& mapName,
                                           QWidget* parent)
    : QDialog(parent), model_(services, mapName) {
  setObjectName(QStringLiteral("KeyboardSetupDialog"));
  setWindowTitle(L1(model_.Title()));
  auto* left = new QVBoxLayout;
  auto* groupLabel = new QLabel(tr("&Function Group"), this);
  groups_ = new QListWidget(this);
  groups_->setObjectName(QStringLiteral("groups"));
  for (const char* g : kt::kFunctionGroups) groups_->addItem(QString::fromLatin1(g));
  groups_->setFixedWidth(140);
  groups_->setFixedHeight(groups_->sizeHintForRow(0) * 5 + 2 * groups_->frameWidth() + 4);
  groupLabel->setBuddy(groups_);
  left->addWidget(groupLabel);
  left->addWidget(groups_);
  left->addStretch(1);
  rows_ = new QTreeWidget(this);
  rows_->setObjectName(QStringLiteral("functions"));
  rows_->setRootIsDecorated(false);
  rows_->setUniformRowHeights(true);
  rows_->setHeaderLabels({QString::fromLatin1(kt::kFunctionColumn), QString::fromLatin1(kt::kAssignmentColumn)});
  rows_->header()->resizeSection(0, 190);
  rows_->header()->setStretchLastSection(true);
  auto* buttons = new QVBoxLayout;
  QPushButton* ok = AddButton(buttons, tr("OK"));
  ok->setDefault(true);
  QPushButton* cancel = AddButton(buttons, tr("Cancel"));
  buttons->addSpacing(12);
  add_ = AddButton(buttons, tr("Add &Key..."));
  clear_ = AddButton(buttons, tr("&Clear Entry"));
  resetEntry_ = AddButton(buttons, tr("Reset &Entry"));
  QPushButton* resetGroup = AddButton(buttons, tr("Reset &Group"));
  QPushButton* resetAll = AddButton(buttons, tr("Reset &All"));
  buttons->addSpacing(12);
  QPushButton* saveAs = AddButton(buttons, tr("&Save As..."));
  buttons->addStretch(1);
  auto* sequenceRow = new QHBoxLayout;
  sequenceLabel_ = new QLabel(tr("Ctrl Seq:"), this);
  sequence_ = new QLineEdit(this);
  sequence_->setObjectName(QStringLiteral("sequence"));
  change_ = AddButton(sequenceRow, tr("Change"));
  sequenceRow->insertWidget(0, sequenceLabel_);
  sequenceRow->insertWidget(1, sequence_, 1);
  auto* middle = new QVBoxLayout;
  middle->addWidget(rows_, 1);
  middle->addLayout(sequenceRow);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left);
  layout->addLayout(middle, 1);
  layout->addLayout(buttons);
  resize(680, 440);

  connect(groups_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row < 0 || row == model_.group) return;
    model_.group = static_cast<std::uint8_t>(row);
    Fill(-1);
  });
  connect(rows_, &QTreeWidget::currentItemChanged, this, [this] { SelectionChanged(); });
  connect(rows_, &QTreeWidget::itemDoubleClicked, this, [this] { add_->click(); });
  connect(add_, &QPushButton::clicked, this, [this] {
    const std::optional<int> row = model_.AddKey(Selected());
    Fill(row.value_or(Selected()));
  });
  connect(clear_, &QPushButton::clicked, this, [this] {
    model_.ClearEntry(Selected());
    Fill(Selected());
  });
  connect(resetEntry_, &QPushButton::clicked, this, [this] {
    model_.ResetEntry(Selected());
    Fill(Selected());
  });
  connect(resetGroup, &QPushButton::clicked, this, [this] {
    model_.ResetGroup();
    Fill(Selected());
  });
  connect(resetAll, &QPushButton::clicked, this, [this] {
    model_.ResetAll();
    Fill(Selected());
  });
  connect(saveAs, &QPushButton::clicked, this, [this] {
    if (model_.SaveAs()) setWindowTitle(L1(model_.Title()));
  });
  connect(change_, &QPushButton::clicked, this, [this] {
    switch (model_.ChangeSequence(Selected(), ToL1(sequence_->text()))) {
      case dialogs::CKeyboardSetupModel::SequenceChange::kChanged:
        sequence_->setText(L1(model_.SequenceText(Selected())));
        break;
      case dialogs::CKeyboardSetupModel::SequenceChange::kInvalid:
        sequence_->setFocus();
        break;
      case dialogs::CKeyboardSetupModel::SequenceChange::kNoRow:
        QApplication::beep();
        break;
    }
  });
  connect(ok, &QPushButton::clicked, this, [this] {
    if (model_.Ok()) accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  groups_->setCurrentRow(model_.group);
  Fill(-1);
}

QPushButton* CKeyboardSetupDialog::Button(const QString& text) const { return FindButton(this, text); }

bool CKeyboardSetupDialog::SelectRow(const QString& label) {
  for (int i = 0; i < rows_->topLevelItemCount(); ++i) {
    if (rows_->topLevelItem(i)->text(0) == label) {
      rows_->setCurrentItem(rows_->topLevelItem(i));
      return true;
    }
  }
  return false;
}

int CKeyboardSetupDialog::Selected() const {
  QTreeWidgetItem* item = rows_->currentItem();
  return item ? rows_->indexOfTopLevelItem(item) : -1;
}

void CKeyboardSetupDialog::Fill(int selectRow) {
  const std::vector<SetupRow> rows = model_.Rows();
  const QSignalBlocker block(rows_);
  rows_->clear();
  QList<QTreeWidgetItem*> items;
  for (const SetupRow& r : rows) items.append(new QTreeWidgetItem({L1(r.label), L1(r.assignment)}));
  rows_->addTopLevelItems(items);
  if (selectRow >= 0 && selectRow < rows_->topLevelItemCount()) {
    rows_->setCurrentItem(rows_->topLevelItem(selectRow));
    rows_->scrollToItem(rows_->currentItem());
  }
  SelectionChanged();
}

void CKeyboardSetupDialog::SelectionChanged() {
  const int row = Selected();
  add_->setEnabled(row >= 0);
  clear_->setEnabled(model_.ClearEnabled(row));
  resetEntry_->setEnabled(row >= 0 && model_.Rows()[static_cast<std::size_t>(row)].target >= 0);
  const bool vtTerminal = model_.IsVt() && model_.group == kBindTerminal;
  const bool shown = vtTerminal && model_.SequenceShown(row);
  for (QWidget* w : std::initializer_list<QWidget*>{sequenceLabel_, sequence_, change_}) w->setVisible(vtTerminal);
  sequence_->setEnabled(shown);
  sequence_->setText(shown ? L1(model_.SequenceText(row)) : QString());
}

// ---------------------------------------------------------------- macro editor

CMacroTextBox::CMacroTextBox(dialogs::CMacroEditorModel& model, QWidget* parent) : QPlainTextEdit(parent), model_(model) {
  setObjectName(QStringLiteral("definition"));
  setTabChangesFocus(false);
}

std::optional<std::string> CMacroTextBox::Insertion(QKeyEvent* e) const {
  const std::optional<KeyCode> key = KeyOf(*e);
  if (!key) return std::nullopt;
  return model_.Insertion(*key, ToL1(e->text()));
}

bool CMacroTextBox::event(QEvent* e) {
  // Keys that become tokens are the box's, never a shortcut's or the dialog's.
  if (e->type() == QEvent::ShortcutOverride && Insertion(static_cast<QKeyEvent*>(e))) {
    e->accept();
    return true;
  }
  if (e->type() == QEvent::KeyPress && Insertion(static_cast<QKeyEvent*>(e))) {
    keyPressEvent(static_cast<QKeyEvent*>(e));
    return true;
  }
  return QPlainTextEdit::event(e);
}

void CMacroTextBox::keyPressEvent(QKeyEvent* e) {
  if (const std::optional<std::string> token = Insertion(e)) {
    insertPlainText(L1(*token));
    e->accept();
    return;
  }
  // A line end would not survive the macro file: Enter is the dialog's OK.
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    e->ignore();
    return;
  }
  QPlainTextEdit::keyPressEvent(e);
}

CMacroEditorDialog::CMacroEditorDialog(dialogs::DialogServices& services, const std::string& macroName,
                                       const CCorvinaKeyboardMap& map, QWidget* parent)
    : QDialog(parent), model_(services, macroName, map) {
  setObjectName(QStringLiteral("MacroEditorDialog"));
  setWindowTitle(L1(model_.Title()));
  auto* label = new QLabel(QString::fromLatin1(kt::kMacroDefinitionLabel), this);
  text_ = new CMacroTextBox(model_, this);
  text_->setPlainText(L1(model_.text));
  label->setBuddy(text_);
  terminalKeys_ = new QCheckBox(QString::fromLatin1(kt::kUseTerminalKeys), this);
  terminalKeys_->setObjectName(QStringLiteral("terminalKeys"));
  terminalKeys_->setChecked(model_.useTerminalKeys);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(terminalKeys_);
  buttons->addStretch(1);
  QPushButton* ok = AddButton(buttons, tr("OK"));
  ok->setDefault(true);
  QPushButton* cancel = AddButton(buttons, tr("Cancel"));
  QPushButton* saveAs = AddButton(buttons, tr("Save As..."));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(text_, 1);
  layout->addLayout(buttons);
  resize(520, 220);
  connect(terminalKeys_, &QCheckBox::toggled, this, [this](bool on) {
    model_.useTerminalKeys = on;
    text_->setFocus();
  });
  connect(ok, &QPushButton::clicked, this, [this] {
    Take();
    if (model_.Ok()) accept();
    else text_->setFocus();
  });
  connect(saveAs, &QPushButton::clicked, this, [this] {
    Take();
    if (model_.SaveAs()) setWindowTitle(L1(model_.Title()));
    text_->setFocus();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  text_->setFocus();
}

QPushButton* CMacroEditorDialog::Button(const QString& text) const { return FindButton(this, text); }

void CMacroEditorDialog::Take() {
  // Pasted line ends go the same way as typed ones.
  QString text = text_->toPlainText();
  text.remove(QLatin1Char('\r'));
  text.remove(QLatin1Char('\n'));
  model_.text = ToL1(text);
}

// ---------------------------------------------------------------- macro list

CMacroListDialog::CMacroListDialog(const std::vector<std::string>& names, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("MacroListDialog"));
  setWindowTitle(QString::fromLatin1(platform::Format(kt::kSelectMacroTitle, kt::kProductName).c_str()));
  auto* label = new QLabel(QString::fromLatin1(kt::kSelectMacroList), this);
  list_ = new QListWidget(this);
  for (const std::string& n : names) list_->addItem(L1(n));
  list_->setCurrentRow(0);
  label->setBuddy(list_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(list_, 1);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

std::optional<std::string> CMacroListDialog::Chosen() const {
  QListWidgetItem* item = list_->currentItem();
  if (!item) return std::nullopt;
  return ToL1(item->text());
}

}  // namespace corvina::qt
