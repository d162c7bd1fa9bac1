#include "app/qt/SetupDialogs.h"
#include "app/qt/WidgetText.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Application.h"
#include "app/SaveFiles.h"
#include "app/qt/MacroDialogs.h"
#include "config/TerminalTypes.h"
#include "dialogs/DialogTexts.h"
#include "dialogs/ResponseTimeView.h"
#include "keyboard/KeyFunctionTables.h"
#include "keyboard/Toolbar.h"
#include "platform/Format.h"
#include "session/HostSession.h"

namespace corvina::qt {

namespace {

namespace texts = dialogs::texts;
using dialogs::FieldType;
using dialogs::FieldValues;
using platform::Format;


}  // namespace

dialogs::DialogServices MakeDialogServices(app::CCorvinaApp& application, QWidget* parent) {
  dialogs::DialogServices services{application.Store(), {}, {}, {}};
  services.askName = [parent](const std::string& title, const std::string& prompt,
                              const std::string& initial) -> std::optional<std::string> {
    QInputDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("NameDialog"));
    dialog.setWindowTitle(L1(title));
    dialog.setLabelText(L1(prompt));
    dialog.setTextValue(L1(initial));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return ToL1(dialog.textValue().trimmed());
  };
  platform::UserInterface& ui = application.Store().Ui();
  services.typeKey = [&ui, parent]() -> std::optional<KeyCode> {
    CTypeKeyDialog dialog(ui, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Key();
  };
  services.chooseMacro = [parent](const std::vector<std::string>& names) -> std::optional<std::string> {
    CMacroListDialog dialog(names, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Chosen();
  };
  // The Run Script chooser, through the frame.
  services.chooseScriptFile = [&application]() -> std::optional<std::string> {
    const app::ChooseFile& choose = application.Sessions().chooseFile;
    if (!choose) return std::nullopt;
    return choose(app::ScriptFileChoice(application.Store().scriptExtension, application.DataFolder()));
  };
  services.profileChanged = [&application](const CCorvinaSessionProfile& changed) {
    app::CSessionTable& table = application.Sessions();
    for (int slot = 1; slot <= app::CSessionTable::kMaxSlots; ++slot) {
      CHostSession* s = table.Session(slot);
      if (s && NameKey(s->Profile().name) == NameKey(changed.name)) s->ApplyProfile();
    }
  };
  return services;
}

// ---------------------------------------------------------------- pages

CFieldPage::CFieldPage(const dialogs::Page& page, QWidget* parent) : QWidget(parent) {
  setObjectName(L1(page.name));
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  std::map<std::string, QFormLayout*> groups;
  auto* main = new QFormLayout;
  outer->addLayout(main);
  for (const dialogs::Field& field : page.fields) {
    QFormLayout* form = main;
    if (!field.group.empty()) {
      auto& g = groups[field.group];
      if (!g) {
        auto* box = new QGroupBox(L1(field.group), this);
        g = new QFormLayout(box);
        outer->addWidget(box);
      }
      form = g;
    }
    QWidget* control = nullptr;
    switch (field.type) {
      case FieldType::kText: {
        auto* edit = new QLineEdit(this);
        connect(edit, &QLineEdit::textEdited, this, &CFieldPage::changed);
        control = edit;
        break;
      }
      case FieldType::kReadOnly: {
        auto* edit = new QLineEdit(this);
        edit->setReadOnly(true);
        control = edit;
        break;
      }
      case FieldType::kCheck: {
        auto* check = new QCheckBox(L1(field.label), this);
        connect(check, &QCheckBox::clicked, this, &CFieldPage::changed);
        control = check;
        break;
      }
      case FieldType::kChoice: {
        auto* combo = new QComboBox(this);
        for (const auto& c : field.choices) combo->addItem(L1(c));
        connect(combo, &QComboBox::activated, this, &CFieldPage::changed);
        control = combo;
        break;
      }
    }
    control->setObjectName(QString::fromStdString(field.id));
    control->setEnabled(field.enabled);
    if (field.type == FieldType::kCheck) {
      form->addRow(control);
    } else {
      form->addRow(L1(field.label), control);
    }
    controls_[field.id] = control;
  }
  outer->addStretch(1);
}

void CFieldPage::Load(const FieldValues& values) {
  for (const auto& [id, control] : controls_) {
    auto it = values.find(id);
    const QString text = it == values.end() ? QString() : L1(it->second);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->setText(text);
    if (auto* check = qobject_cast<QCheckBox*>(control)) check->setChecked(text == QLatin1String("1"));
    if (auto* combo = qobject_cast<QComboBox*>(control)) combo->setCurrentIndex(combo->findText(text));
  }
}

FieldValues CFieldPage::Values() const {
  FieldValues values;
  for (const auto& [id, control] : controls_) {
    if (auto* edit = qobject_cast<QLineEdit*>(control)) values[id] = ToL1(edit->text());
    if (auto* check = qobject_cast<QCheckBox*>(control)) values[id] = check->isChecked() ? "1" : "0";
    if (auto* combo = qobject_cast<QComboBox*>(control)) values[id] = ToL1(combo->currentText());
  }
  return values;
}

void CFieldPage::Focus(const std::string& id) {
  if (QWidget* c = Control(id)) c->setFocus();
}

QWidget* CFieldPage::Control(const std::string& id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------- connect

CConnectDialog::CConnectDialog(app::CCorvinaApp& application, int& lastSetupPage, QWidget* parent)
    : QDialog(parent),
      app_(application),
      services_(MakeDialogServices(application, this)),
      model_(services_),
      lastPage_(lastSetupPage) {
  setObjectName(QStringLiteral("ConnectDialog"));
  setWindowTitle(L1(model_.Caption()));
  auto* form = new QFormLayout;
  name_ = new QComboBox(this);
  name_->setEditable(true);
  name_->setInsertPolicy(QComboBox::NoInsert);
  host_ = new QLineEdit(this);
  port_ = new QLineEdit(this);
  type_ = new QComboBox(this);
  for (const char* t : dialogs::kConnectTerminalTypes) type_->addItem(QString::fromLatin1(t));
  form->addRow(tr("Session &Name:"), name_);
  form->addRow(tr("&Host Name:"), host_);
  form->addRow(tr("&Port:"), port_);
  form->addRow(tr("&Terminal Type:"), type_);
  atStartup_ = new QCheckBox(QString::fromLatin1(texts::kShowConnectAtStartup), this);
  form->addRow(atStartup_);
  auto* buttons = new QVBoxLayout;
  connect_ = AddButton(buttons, tr("&Connect"));
  connect_->setDefault(true);
  QPushButton* cancel = AddButton(buttons, tr("Cancel"));
  advanced_ = AddButton(buttons, tr("&Advanced..."));
  QPushButton* help = AddButton(buttons, tr("&Help"));
  help->setEnabled(false);  // no help viewer in this version
  buttons->addStretch(1);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(form, 1);
  layout->addLayout(buttons);

  connect(name_, &QComboBox::activated, this, [this](int index) {
    TakeTexts();
    model_.name = shownName_;
    if (!model_.ChooseName(ToL1(name_->itemText(index))) && model_.LastRefusal()) Focus(model_.LastRefusal()->field);
    Fill();
  });
  connect(name_->lineEdit(), &QLineEdit::editingFinished, this, [this] {
    const std::string typed = ToL1(name_->currentText());
    // Focus that went to a message box of ours is no choice of a name.
    if (typed == shownName_ || shownName_.empty() || QApplication::activeModalWidget() != this) return;
    TakeTexts();
    model_.name = shownName_;
    if (!model_.ChooseName(typed) && model_.LastRefusal()) Focus(model_.LastRefusal()->field);
    Fill();
  });
  connect(type_, &QComboBox::activated, this, [this](int index) { model_.ChooseType(ToL1(type_->itemText(index))); });
  connect(atStartup_, &QCheckBox::clicked, this, [this](bool on) { model_.SetShowAtStartup(on); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(connect_, &QPushButton::clicked, this, [this] {
    TakeTexts();
    if (model_.Connect()) return accept();
    if (model_.LastRefusal()) Focus(model_.LastRefusal()->field);
  });
  connect(advanced_, &QPushButton::clicked, this, [this] {
    TakeTexts();
    const bool opened = model_.Advanced([this](const std::string& profile) -> std::optional<std::string> {
      CSessionSetupDialog setup(app_, profile, lastPage_, this);
      const bool ok = setup.exec() == QDialog::Accepted;
      lastPage_ = setup.ShownIndex();
      if (!ok) return std::nullopt;
      return setup.Name();
    });
    if (!opened) {
      if (model_.LastRefusal()) Focus(model_.LastRefusal()->field);
      return;
    }
    Fill();
    name_->setFocus();
  });
  Fill();
}

void CConnectDialog::TakeTexts() {
  model_.name = ToL1(name_->currentText());
  model_.host = ToL1(host_->text());
  model_.port = ToL1(port_->text());
  model_.terminalType = type_->currentIndex() < 0 ? std::string() : ToL1(type_->currentText());
}

void CConnectDialog::Fill() {
  name_->clear();
  for (const auto& n : model_.Names()) name_->addItem(L1(n));
  name_->setEditText(L1(model_.name));
  shownName_ = model_.name;
  host_->setText(L1(model_.host));
  port_->setText(L1(model_.port));
  type_->setCurrentIndex(type_->findText(L1(model_.terminalType)));
  type_->setEnabled(model_.TypeEnabled());
  atStartup_->setChecked(model_.ShowAtStartup());
}

void CConnectDialog::Focus(const std::string& field) {
  if (field == "host") host_->setFocus();
  if (field == "port") port_->setFocus();
  if (field == "type") type_->setFocus();
}

// ---------------------------------------------------------------- page setup

CPageSetupDialog::CPageSetupDialog(CCorvinaPersistentData& store, CCorvinaSessionProfile& profile, QWidget* parent)
    : QDialog(parent), store_(store), profile_(profile), model_(profile) {
  setObjectName(QStringLiteral("PageSetupDialog"));
  setWindowTitle(L1(Format(texts::kPageSetupTitle, profile.name.c_str())));
  marginsBox_ = new QGroupBox(this);
  auto* grid = new QGridLayout(marginsBox_);
  for (int i = 0; i < 4; ++i) {
    auto* edit = new QLineEdit(marginsBox_);
    edit->setObjectName(QString::fromLatin1(dialogs::CPageSetupModel::kMarginIds[i]));
    auto* label = new QLabel(QString::fromLatin1(texts::kMarginLabels[i]), marginsBox_);
    label->setBuddy(edit);
    // Left and right side by side, top and bottom below.
    const int row = i % 2 == 0 ? 0 : 1, column = i < 2 ? 0 : 2;
    grid->addWidget(label, row, column);
    grid->addWidget(edit, row, column + 1);
    margins_[static_cast<std::size_t>(i)] = edit;
  }
  auto* orientation = new QGroupBox(QString::fromLatin1(texts::kOrientation), this);
  auto* orientationLayout = new QVBoxLayout(orientation);
  auto* portrait = new QRadioButton(QString::fromLatin1(texts::kPortrait), orientation);
  landscape_ = new QRadioButton(QString::fromLatin1(texts::kLandscape), orientation);
  orientationLayout->addWidget(portrait);
  orientationLayout->addWidget(landscape_);
  auto* units = new QGroupBox(QString::fromLatin1(texts::kUnits), this);
  auto* unitsLayout = new QVBoxLayout(units);
  auto* inches = new QRadioButton(QString::fromLatin1(texts::kInches), units);
  millimeters_ = new QRadioButton(QString::fromLatin1(texts::kMillimeters), units);
  unitsLayout->addWidget(inches);
  unitsLayout->addWidget(millimeters_);
  auto* sides = new QHBoxLayout;
  sides->addWidget(orientation);
  sides->addWidget(units);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(marginsBox_);
  layout->addLayout(sides);
  layout->addWidget(buttons);
  (model_.landscape ? landscape_ : portrait)->setChecked(true);
  (model_.Metric() ? millimeters_ : inches)->setChecked(true);
  connect(millimeters_, &QRadioButton::toggled, this, [this](bool metric) {
    TakeTexts();
    model_.SetMetric(metric);
    Show();
  });
  connect(buttons, &QDialogButtonBox::accepted, this, &CPageSetupDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  Show();
}

void CPageSetupDialog::TakeTexts() {
  for (std::size_t i = 0; i < margins_.size(); ++i) model_.margins[i] = ToL1(margins_[i]->text().trimmed());
  model_.landscape = landscape_->isChecked();
}

void CPageSetupDialog::Show() {
  marginsBox_->setTitle(L1(model_.MarginsTitle()));
  for (std::size_t i = 0; i < margins_.size(); ++i) margins_[i]->setText(L1(model_.margins[i]));
}

void CPageSetupDialog::accept() {
  TakeTexts();
  if (const auto refusal = model_.Store(profile_)) {
    dialogs::ShowWarning(store_, refusal->message);
    for (std::size_t i = 0; i < margins_.size(); ++i) {
      if (refusal->field != dialogs::CPageSetupModel::kMarginIds[i]) continue;
      margins_[i]->setFocus();
      margins_[i]->selectAll();
    }
    return;
  }
  QDialog::accept();
}

// ---------------------------------------------------------------- session setup

CSessionSetupDialog::CSessionSetupDialog(app::CCorvinaApp& application, const std::string& profileName, int page,
                                         QWidget* parent)
    : QDialog(parent), app_(application), services_(MakeDialogServices(application, this)) {
  setObjectName(QStringLiteral("SessionSetupDialog"));
  model_ = std::make_unique<dialogs::CSessionSetupModel>(services_, profileName, page);
  setWindowTitle(L1(model_->Caption()));
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(tr("Session Name:"), this));
  name_ = new QComboBox(this);
  name_->setEditable(true);
  name_->setInsertPolicy(QComboBox::NoInsert);
  top->addWidget(name_, 1);
  auto* middle = new QHBoxLayout;
  auto* itemsBox = new QGroupBox(tr("Setup Items"), this);
  auto* itemsLayout = new QVBoxLayout(itemsBox);
  items_ = new QListWidget(itemsBox);
  for (const char* n : texts::kPageNames) items_->addItem(QString::fromLatin1(n));
  items_->setFixedWidth(110);
  itemsLayout->addWidget(items_);
  middle->addWidget(itemsBox);
  frame_ = new QGroupBox(this);
  frameLayout_ = new QVBoxLayout(frame_);
  middle->addWidget(frame_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  QPushButton* ok = AddButton(buttons, tr("OK"));
  ok->setDefault(true);
  QPushButton* cancel = AddButton(buttons, tr("Cancel"));
  apply_ = AddButton(buttons, tr("&Apply"));
  QPushButton* saveAs = AddButton(buttons, tr("&Save As..."));
  delete_ = AddButton(buttons, tr("&Delete"));
  QPushButton* help = AddButton(buttons, tr("Help"));
  help->setEnabled(false);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(middle, 1);
  layout->addLayout(buttons);

  connect(items_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!filling_ && row != model_->ShownIndex()) ShowPage(row);
  });
  connect(name_, &QComboBox::activated, this, [this](int index) {
    Refused(model_->ChooseProfile(ToL1(name_->itemText(index)), page_->Values()));
    AfterModel();
  });
  connect(ok, &QPushButton::clicked, this, [this] {
    if (model_->Ok(page_->Values())) accept();
    else AfterModel();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(apply_, &QPushButton::clicked, this, [this] {
    Refused(model_->Apply(page_->Values()));
    AfterModel();
  });
  connect(saveAs, &QPushButton::clicked, this, [this] {
    model_->SaveAs(page_->Values());
    AfterModel();
  });
  connect(delete_, &QPushButton::clicked, this, [this] {
    model_->Delete(page_->Values());
    AfterModel();
  });
  AfterModel();
}

CSessionSetupDialog::~CSessionSetupDialog() = default;

QPushButton* CSessionSetupDialog::Button(const QString& text) const {
  for (QPushButton* b : findChildren<QPushButton*>()) {
    if (b->text().remove(QLatin1Char('&')) == text) return b;
  }
  return nullptr;
}

bool CSessionSetupDialog::Refused(const std::optional<dialogs::Refusal>& refusal) {
  if (!refusal) return false;
  if (page_) page_->Focus(refusal->field);
  return true;
}

void CSessionSetupDialog::ShowPage(int index) {
  if (Refused(model_->ShowPage(index, page_->Values()))) {
    filling_ = true;
    items_->setCurrentRow(model_->ShownIndex());
    filling_ = false;
    return;
  }
  AfterModel();
}

void CSessionSetupDialog::Changed() {
  model_->MarkModified();
  apply_->setEnabled(true);
}

void CSessionSetupDialog::AfterModel() {
  filling_ = true;
  name_->clear();
  for (const auto& n : model_->Names()) name_->addItem(L1(n));
  name_->setEditText(L1(model_->Name()));
  items_->setCurrentRow(model_->ShownIndex());
  filling_ = false;
  apply_->setEnabled(model_->Modified());
  delete_->setEnabled(model_->DeleteEnabled());
  BuildPage();
}

void CSessionSetupDialog::BuildPage() {
  if (pageHolder_) {
    frameLayout_->removeWidget(pageHolder_);
    pageHolder_->deleteLater();
  }
  const dialogs::Page& page = model_->ShownPage();
  frame_->setTitle(L1(page.name));
  pageHolder_ = new QWidget(frame_);
  auto* box = new QVBoxLayout(pageHolder_);
  box->setContentsMargins(0, 0, 0, 0);
  page_ = new CFieldPage(page, pageHolder_);
  page_->Load(model_->ShownValues());
  connect(page_, &CFieldPage::changed, this, &CSessionSetupDialog::Changed);
  box->addWidget(page_);
  auto* row = new QHBoxLayout;
  switch (page.id) {
    case dialogs::PageId::kColors:
      BuildColors(box);
      break;
    case dialogs::PageId::kPrinter: {
      QPushButton* setup = AddButton(row, QString::fromLatin1(texts::kPageSetupButton));
      connect(setup, &QPushButton::clicked, this, [this] {
        CCorvinaSessionProfile& working = model_->Working();
        const std::uint32_t options = working.printOptions;
        const PageLayout page = working.pageLayout;
        CPageSetupDialog dialog(app_.Store(), working, this);
        if (dialog.exec() != QDialog::Accepted) return;
        const PageLayout& now = working.pageLayout;
        if (working.printOptions != options || now.leftMargin != page.leftMargin || now.topMargin != page.topMargin ||
            now.rightMargin != page.rightMargin || now.bottomMargin != page.bottomMargin)
          Changed();
      });
      break;
    }
    case dialogs::PageId::kKeyboard: {
      QPushButton* configure = AddButton(row, tr("Configure..."));
      connect(configure, &QPushButton::clicked, this, [this] {
        auto values = page_->Values();
        if (!app_.Store().Find(ObjectKind::kKeyboardMap, values["map"])) {
          dialogs::ShowWarning(app_.Store(), texts::kSelectKeyboardMap);
          return;
        }
        // The page's other texts go into the working copy first.
        if (Refused(model_->ShowPage(model_->ShownIndex(), values))) return;
        CKeyboardSetupDialog setup(services_, values["map"], this);
        if (setup.exec() != QDialog::Accepted) return;
        model_->TakeKeyboardMap(setup.MapName());
        AfterModel();
      });
      QPushButton* del = AddButton(row, tr("Delete"));
      connect(del, &QPushButton::clicked, this, [this] {
        auto values = page_->Values();
        if (model_->DeleteKeyboardMap(values["map"])) AfterModel();
      });
      break;
    }
    case dialogs::PageId::kToolbars: {
      QPushButton* del = AddButton(row, tr("Delete"));
      connect(del, &QPushButton::clicked, this, [this] {
        auto values = page_->Values();
        if (model_->DeleteKeypadToolbar(values["keypadName"])) AfterModel();
      });
      break;
    }
    default:
      break;
  }
  row->addStretch(1);
  box->addLayout(row);
  frameLayout_->addWidget(pageHolder_);
}

void CSessionSetupDialog::BuildColors(QVBoxLayout* box) {
  auto& working = model_->Working();
  colors_ = std::make_unique<dialogs::CColorSchemeEditor>(services_, working.terminalType, working.colorSchemeName);
  auto* scheme = qobject_cast<QComboBox*>(page_->Control("scheme"));
  auto* buttons = new QHBoxLayout;
  QPushButton* saveAs = AddButton(buttons, tr("Save As..."));
  QPushButton* del = AddButton(buttons, tr("Delete"));
  buttons->addStretch(1);
  box->addLayout(buttons);
  auto* elements = new QListWidget(pageHolder_);
  elements->setObjectName(QStringLiteral("elements"));
  auto* sides = new QHBoxLayout;
  auto* fg = new QRadioButton(tr("Foreground color"), pageHolder_);
  auto* bg = new QRadioButton(tr("Background color"), pageHolder_);
  fg->setChecked(true);
  sides->addWidget(fg);
  sides->addWidget(bg);
  auto* sample = new QLabel(tr("Sample"), pageHolder_);
  sample->setObjectName(QStringLiteral("sample"));
  sample->setAlignment(Qt::AlignCenter);
  sample->setMinimumHeight(28);
  sample->setAutoFillBackground(true);
  auto* grid = new QHBoxLayout;
  std::vector<QPushButton*> swatches;
  auto* attributeBox = new QGroupBox(tr("Field Attribute"), pageHolder_);
  auto* attributeLayout = new QVBoxLayout(attributeBox);
  attributeLayout->addWidget(elements);
  box->addWidget(attributeBox, 1);
  box->addLayout(sides);
  for (const Rgb& c : dialogs::kColorButtons) {
    auto* b = new QPushButton(pageHolder_);
    b->setFixedSize(20, 20);
    b->setStyleSheet(QStringLiteral("background-color: rgb(%1,%2,%3)").arg(c.red).arg(c.green).arg(c.blue));
    grid->addWidget(b);
    connect(b, &QPushButton::clicked, this, [this, c] {
      colors_->SetColor(c);
      Changed();
      emit page_->changed();
    });
    swatches.push_back(b);
  }
  grid->addStretch(1);
  box->addLayout(grid);
  auto* more = new QHBoxLayout;
  QPushButton* moreColors = AddButton(more, tr("More Colors..."));
  QPushButton* reset = AddButton(more, tr("Reset Color"));
  QPushButton* resetAll = AddButton(more, tr("Reset All"));
  more->addWidget(sample, 1);
  box->addLayout(more);

  auto refresh = [this, elements, sample, scheme] {
    const CCorvinaColorScheme& s = colors_->Working();
    if (elements->count() != s.ElementCount()) {
      elements->clear();
      for (int i = 0; i < s.ElementCount(); ++i) {
        const std::string_view n = s.ElementName(i);
        elements->addItem(QString::fromLatin1(n.data(), static_cast<qsizetype>(n.size())));
      }
    }
    elements->setCurrentRow(colors_->element);
    const ColorPair pair = s.Colors(colors_->element);
    QPalette pal = sample->palette();
    pal.setColor(QPalette::Window, QColor(pair.background.red, pair.background.green, pair.background.blue));
    pal.setColor(QPalette::WindowText, QColor(pair.foreground.red, pair.foreground.green, pair.foreground.blue));
    sample->setPalette(pal);
    if (scheme) {
      scheme->clear();
      for (const auto& n : colors_->Schemes()) scheme->addItem(L1(n));
      scheme->setCurrentIndex(scheme->findText(L1(colors_->Selected())));
    }
  };
  connect(page_, &CFieldPage::changed, this, refresh);
  connect(elements, &QListWidget::currentRowChanged, this, [this, refresh](int row) {
    if (row >= 0 && row != colors_->element) {
      colors_->element = row;
      refresh();
    }
  });
  connect(fg, &QRadioButton::toggled, this, [this](bool on) { colors_->editForeground = on; });
  if (scheme) {
    connect(scheme, &QComboBox::activated, this, [this, scheme, refresh](int index) {
      colors_->Select(ToL1(scheme->itemText(index)));
      refresh();
    });
  }
  connect(moreColors, &QPushButton::clicked, this, [this, refresh] {
    const ColorPair pair = colors_->Working().Colors(colors_->element);
    const Rgb now = colors_->editForeground ? pair.foreground : pair.background;
    const QColor chosen = QColorDialog::getColor(QColor(now.red, now.green, now.blue), this);
    if (!chosen.isValid()) return;
    colors_->SetColor(Rgb{static_cast<std::uint8_t>(chosen.red()), static_cast<std::uint8_t>(chosen.green()),
                          static_cast<std::uint8_t>(chosen.blue())});
    Changed();
    refresh();
  });
  connect(reset, &QPushButton::clicked, this, [this, refresh] {
    colors_->ResetColor();
    Changed();
    refresh();
  });
  connect(resetAll, &QPushButton::clicked, this, [this, refresh] {
    colors_->ResetAll();
    Changed();
    refresh();
  });
  connect(saveAs, &QPushButton::clicked, this, [this, refresh] {
    if (colors_->SaveAs()) {
      model_->Working().colorSchemeName = colors_->Selected();
      Changed();
    }
    refresh();
  });
  connect(del, &QPushButton::clicked, this, [this, refresh] {
    if (colors_->Delete()) {
      model_->Working().colorSchemeName = colors_->Selected();
      Changed();
    }
    refresh();
  });
  // The scheme's own changes are kept when the dialog's commit runs.
  connect(apply_, &QPushButton::clicked, this, [this] {
    if (colors_ && colors_->Modified()) colors_->Commit();
  });
  refresh();
}

// ---------------------------------------------------------------- preferences

CPreferencesDialog::CPreferencesDialog(app::CCorvinaApp& application, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("PreferencesDialog"));
  setWindowTitle(QString::fromLatin1(Format(texts::kPreferencesTitle, texts::kProduct).c_str()));
  auto* layout = new QVBoxLayout(this);
  const unsigned now = application.Store().preferences;
  for (const auto& row : dialogs::kPreferenceRows) {
    auto* box = new QCheckBox(QString::fromLatin1(row.caption), this);
    box->setChecked((now & row.bit) != 0);
    layout->addWidget(box);
    boxes_.push_back(box);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons, &QDialogButtonBox::accepted, this, [this, &application] {
    // Bits this dialog does not show stay as they are.
    unsigned p = application.Store().preferences;
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
      const unsigned bit = dialogs::kPreferenceRows[i].bit;
      p = boxes_[i]->isChecked() ? (p | bit) : (p & ~bit);
    }
    dialogs::ApplyPreferences(application.Store(), p);
    accept();
  });
}

// ---------------------------------------------------------------- response time

CResponseTimeWindow::CResponseTimeWindow(app::CCorvinaApp& application, QWidget* parent)
    : QDialog(parent), app_(application) {
  setObjectName(QStringLiteral("ResponseTimeWindow"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  last_ = new QLabel(this);
  average_ = new QLabel(this);
  longest_ = new QLabel(this);
  count_ = new QLabel(this);
  form->addRow(QString::fromLatin1(texts::kResponseLast), last_);
  form->addRow(QString::fromLatin1(texts::kResponseAverage), average_);
  form->addRow(QString::fromLatin1(texts::kResponseLongest), longest_);
  form->addRow(QString::fromLatin1(texts::kResponseCount), count_);
  layout->addLayout(form);
  auto* bars = new QFormLayout;
  for (int i = 0; i < 11; ++i) {
    auto* bar = new QProgressBar(this);
    bar->setRange(0, 1000);
    bar->setFormat(QStringLiteral("%v"));
    bar->setTextVisible(true);
    bars_.push_back(bar);
    bars->addRow(i < 10 ? QString::fromLatin1(Format(texts::kResponseSeconds, i).c_str())
                        : QString::fromLatin1(texts::kResponseTenOrMore),
                 bar);
  }
  layout->addLayout(bars);
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, &CResponseTimeWindow::Refresh);
  timer->start(1000);
  Refresh();
}

void CResponseTimeWindow::Refresh() {
  CHostSession* s = app_.Sessions().Active();
  const ResponseTimes none;
  const auto view = dialogs::BuildResponseTimeView(s ? s->Responses() : none, s ? s->Title() : texts::kProduct);
  setWindowTitle(L1(view.caption));
  last_->setText(L1(view.last));
  average_->setText(L1(view.average));
  longest_->setText(L1(view.longest));
  count_->setText(QString::number(view.count));
  for (std::size_t i = 0; i < bars_.size(); ++i) {
    bars_[i]->setValue(static_cast<int>(view.bars[i].share * 1000));
    bars_[i]->setFormat(QString::number(view.bars[i].count));
  }
}

// ---------------------------------------------------------------- keypad toolbar

CKeypadToolbar::CKeypadToolbar(app::CCorvinaApp& application, QWidget* parent)
    : QToolBar(tr("Keypad"), parent), app_(application) {
  setObjectName(QStringLiteral("KeypadToolbar"));
  hide();
}

QAction* CKeypadToolbar::ButtonFor(int id) const {
  for (QAction* a : actions()) {
    if (a->data().toInt() == id && !a->isSeparator()) return a;
  }
  return nullptr;
}

void CKeypadToolbar::ShowFor(CHostSession* session) {
  session_ = session;
  const CCorvinaToolbar* bar =
      session ? dynamic_cast<const CCorvinaToolbar*>(
                    app_.Store().Find(ObjectKind::kToolbar, session->Profile().keypadToolbarName))
              : nullptr;
  if (!bar || bar->TypeCode() != FamilyType(session->ConfiguredKind()) ||
      !(session->Profile().displayOptions & kDisplayKeypadToolbar)) {
    hide();
    return;
  }
  const std::string shown = bar->name + "/" + std::to_string(bar->buttons.size()) + "/" +
                            std::to_string(bar->columns);
  if (shown != shownName_) {
    clear();
    for (const ToolbarButton& b : bar->buttons) {
      if (b.IsSeparator()) {
        addSeparator();
        continue;
      }
      QAction* a = addAction(L1(bar->ButtonLabel(b)));
      a->setData(b.id);
      const int id = b.id;
      connect(a, &QAction::triggered, this, [this, id] {
        if (session_) session_->OnKeyFunction(id);
      });
    }
    shownName_ = shown;
  }
  setMovable(bar->dockable);
  show();
}

// ---------------------------------------------------------------- commands

void CDialogCommands::Connect() {
  CConnectDialog dialog(app_, lastPage_, frame_);
  if (dialog.exec() != QDialog::Accepted) return;
  if (auto profile = app_.Store().FindProfile(dialog.Name())) app_.Sessions().StartSession(profile);
}

void CDialogCommands::SetupSessions() {
  CHostSession* s = app_.Sessions().Active();
  CSessionSetupDialog dialog(app_, s ? s->Profile().name : app_.Store().sessionName, lastPage_, frame_);
  dialog.exec();
  lastPage_ = dialog.ShownIndex();
}

void CDialogCommands::Preferences() {
  CPreferencesDialog dialog(app_, frame_);
  dialog.exec();
}

void CDialogCommands::ResponseTime() {
  if (!response_) response_ = new CResponseTimeWindow(app_, frame_);
  response_->Refresh();
  response_->show();
  response_->raise();
}

}  // namespace corvina::qt
