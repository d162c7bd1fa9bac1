#include "app/qt/ToolWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <map>

#include "app/qt/QtEventLoop.h"
#include "app/qt/QtUserInterface.h"

namespace corvina::qt {

namespace {

QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

class CToolWindow final : public QDialog, public app::ToolWindow {
 public:
  CToolWindow(const app::ToolForm& form, app::ToolWindowEvents& events, QWidget* parent)
      : QDialog(parent), events_(events) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Utf8(form.title));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    layout->addLayout(fields);
    for (const app::ToolField& f : form.fields) {
      QWidget* editor = nullptr;
      switch (f.kind) {
        case app::ToolFieldKind::Check: {
          auto* box = new QCheckBox(Utf8(f.label));
          box->setChecked(f.text == "1");
          checks_[f.id] = box;
          fields->addRow(box);
          continue;
        }
        case app::ToolFieldKind::Number: {
          auto* spin = new QSpinBox;
          spin->setRange(static_cast<int>(f.minimum), static_cast<int>(f.maximum));
          spin->setValue(Utf8(f.text).toInt());
          numbers_[f.id] = spin;
          editor = spin;
          break;
        }
        case app::ToolFieldKind::Text:
        case app::ToolFieldKind::Password: {
          auto* line = new QLineEdit(Utf8(f.text));
          if (f.kind == app::ToolFieldKind::Password) line->setEchoMode(QLineEdit::Password);
          texts_[f.id] = line;
          editor = line;
          break;
        }
      }
      if (!f.after.empty()) {
        auto* row = new QWidget;
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        h->addWidget(editor);
        h->addWidget(new QLabel(Utf8(f.after)));
        fields->addRow(Utf8(f.label), row);
      } else {
        fields->addRow(Utf8(f.label), editor);
      }
      editors_[f.id] = editor;
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (const app::ToolButton& b : form.buttons) {
      auto* button = new QPushButton(Utf8(b.label));
      button->setEnabled(b.enabled);
      button->setAutoDefault(false);
      const int id = b.id;
      connect(button, &QPushButton::clicked, this, [this, id] { events_.Pressed(id); });
      buttons_[id] = button;
      buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    output_ = new QPlainTextEdit;
    output_->setReadOnly(true);
    output_->setFont(QFont(QStringLiteral("DejaVu Sans Mono")));
    output_->setMinimumSize(480, 200);
    layout->addWidget(output_);
  }
  ~CToolWindow() override { Finish(); }

  std::string Text(int field) const override {
    if (auto it = texts_.find(field); it != texts_.end()) return it->second->text().toStdString();
    if (auto it = numbers_.find(field); it != numbers_.end()) return std::to_string(it->second->value());
    if (auto it = checks_.find(field); it != checks_.end()) return it->second->isChecked() ? "1" : "0";
    return {};
  }
  void SetText(int field, const std::string& text) override {
    if (auto it = texts_.find(field); it != texts_.end()) it->second->setText(Utf8(text));
    if (auto it = numbers_.find(field); it != numbers_.end()) it->second->setValue(Utf8(text).toInt());
    if (auto it = checks_.find(field); it != checks_.end()) it->second->setChecked(text == "1");
  }
  void EnableButton(int button, bool on) override {
    if (auto it = buttons_.find(button); it != buttons_.end()) it->second->setEnabled(on);
  }
  void Focus(int field) override {
    if (auto it = editors_.find(field); it != editors_.end()) it->second->setFocus();
    if (auto it = checks_.find(field); it != checks_.end()) it->second->setFocus();
  }
  void AppendOutput(std::string_view text) override {
    QString t = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    t.remove(QLatin1Char('\r'));
    output_->moveCursor(QTextCursor::End);
    output_->insertPlainText(t);
    output_->moveCursor(QTextCursor::End);
  }
  void ClearOutput() override { output_->clear(); }
  void Raise() override {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
  }
  void Close() override { close(); }

 protected:
  void closeEvent(QCloseEvent* e) override {
    Finish();
    QDialog::closeEvent(e);
  }

 private:
  // The library hears of the end once, while the window is still whole.
  void Finish() {
    if (finished_) return;
    finished_ = true;
    events_.Closed();
  }

  app::ToolWindowEvents& events_;
  bool finished_ = false;
  std::map<int, QLineEdit*> texts_;
  std::map<int, QSpinBox*> numbers_;
  std::map<int, QCheckBox*> checks_;
  std::map<int, QWidget*> editors_;
  std::map<int, QPushButton*> buttons_;
  QPlainTextEdit* output_ = nullptr;
};

}  // namespace

platform::EventLoop& QtToolHost::Loop() { return ui_.Loop(); }
platform::UserInterface& QtToolHost::Ui() { return ui_; }

int QtToolHost::Show(const app::ToolForm& form, app::ToolWindowEvents& events, bool modal) {
  auto* window = new CToolWindow(form, events, parent_);
  events.Opened(*window);
  if (!modal) {
    window->show();
    return 1;
  }
  // The tool works on the loop while its modal dialog is open.
  window->setAttribute(Qt::WA_DeleteOnClose, false);
  const int result = window->exec();
  delete window;
  return result;
}

}  // namespace corvina::qt
