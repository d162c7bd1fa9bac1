// The File Transfer dialog, its progress window and dropped files on the
// offscreen platform: a send and a receive through the dialog against the
// test host's IND$FILE, byte for byte; Cancel from the progress window in
// each state; a drop that fills the dialog in, and drops that are refused.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QUrl>

#include <filesystem>
#include <random>

#include "app/qt/FileTransferDialog.h"
#include "filetransfer/FileTransfer.h"
#include "keyboard/KeyFunctions.h"
#include "session/HostSession.h"
#include "tests/qt/Desktop.h"

namespace corvina::qt::test {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr char k3279[] = "TerminalType=3279,24,80,IBM-3279-2-E\n";

// Runs `step` on the File Transfer dialog once it is open; true once it ran.
std::shared_ptr<bool> OnTransferDialog(std::function<void(CFileTransferDialog&)> step) {
  auto ran = std::make_shared<bool>(false);
  auto* poll = new QTimer(qApp);
  poll->setInterval(20);
  QObject::connect(poll, &QTimer::timeout, [poll, step, ran, left = 250]() mutable {
    auto* d = qobject_cast<CFileTransferDialog*>(QApplication::activeModalWidget());
    if (!d && --left > 0) return;
    poll->stop();
    poll->deleteLater();
    if (!d) return;
    *ran = true;
    step(*d);
  });
  poll->start();
  return ran;
}

void Fill(CFileTransferDialog& d, const std::string& hostFile, const std::string& pcFile, bool screenImage) {
  d.Box("hostFile")->setText(QString::fromStdString(hostFile));
  d.Box("pcFile")->setText(QString::fromStdString(pcFile));
  d.AsciiBox()->setChecked(false);
  d.CrLfBox()->setChecked(false);
  (screenImage ? d.ScreenImageButton() : d.WsfButton())->setChecked(true);
}

bool ScreenHas(Desktop& d, const std::string& text) {
  for (const std::string& row : d.Session().ScreenRows())
    if (row.find(text) != std::string::npos) return true;
  return false;
}

bool TransferDone(Desktop& d) {
  return !filetransfer::FileTransferRunning(d.Session()) && !d.Frame().Transfers().ProgressOf(d.Session());
}

TEST(FileTransferDialog, SendsAndReceivesThroughTheTestHostByteForByte) {
  const std::string hostFolder = corvina::test::MakeTempDir();
  corvina::test::TestHost host("indfile", {"system=vm", "folder=" + hostFolder}, 60);
  ASSERT_TRUE(host.Ready());
  Desktop d(k3279, "Preferences=4\n", host.Port());
  ASSERT_TRUE(d.Start(kKind3279));
  ASSERT_TRUE(SpinUntil([&] { return d.Session().LockReason() == 0; }, 5s));
  std::string data(5000, '\0');
  std::mt19937 random(6);
  for (char& c : data) c = static_cast<char>(random());
  const std::string sent = d.Root() + "/sent.bin", back = d.Root() + "/back.bin";
  corvina::test::WriteFile(sent, data);

  // Send in structured-field mode.
  auto ran = OnTransferDialog([&](CFileTransferDialog& t) {
    Fill(t, "BIN DATA A", sent, false);
    t.PutButton()->click();
  });
  d.Frame().RunCommand(kf::sys::kHostFileTransfer);
  ASSERT_TRUE(*ran);
  ASSERT_TRUE(SpinUntil([&] { return TransferDone(d); }, 30s)) << host.Log();
  EXPECT_EQ(corvina::test::ReadFile(hostFolder + "/BIN.DATA.A"), data);
  EXPECT_EQ(d.Session().LockReason(), 0);
  // As a user would, start the next one once the host's screen is back.
  ASSERT_TRUE(SpinUntil([&] { return ScreenHas(d, "TRANS03"); }, 10s)) << host.Log();

  // Receive it back in screen-image mode, into a file that is not there yet.
  ran = OnTransferDialog([&](CFileTransferDialog& t) {
    EXPECT_EQ(t.Box("hostFile")->text(), QStringLiteral("BIN DATA A")) << "the profile kept the last transfer";
    Fill(t, "BIN DATA A", back, true);
    t.GetButton()->click();
  });
  d.Frame().RunCommand(kf::sys::kHostFileTransfer);
  ASSERT_TRUE(*ran);
  ASSERT_TRUE(SpinUntil([&] { return TransferDone(d); }, 30s)) << host.Log();
  EXPECT_EQ(corvina::test::ReadFile(back), data);
  EXPECT_EQ(d.Session().Profile().fileTransfer.flags & kTransferScreenImage, kTransferScreenImage);
  std::filesystem::remove_all(hostFolder);
}

// Host records of the structured-field transport.
Bytes Open(const char* name) {
  Bytes f{0x00, 0x00, 0xD0, 0x00, 0x12, 0x01, 0x06, 0x01, 0x01, 0x03, 0x0A, 0x03, 0x09};
  f.insert(f.end(), name, name + 7);
  f[1] = static_cast<std::uint8_t>(f.size());
  return f;
}
Bytes Insert(std::string_view data) {
  Bytes f{0x00, 0x00, 0xD0, 0x47, 0x04, 0xC0, 0x80, 0x61, std::uint8_t((data.size() + 5) >> 8),
          std::uint8_t(data.size() + 5)};
  f.insert(f.end(), data.begin(), data.end());
  f[1] = static_cast<std::uint8_t>(f.size());
  return f;
}
Bytes Wsf(const Bytes& field) {
  Bytes r{0xF3};
  r.insert(r.end(), field.begin(), field.end());
  return r;
}

// Starts a GET from the dialog on the loopback host; the progress window is there.
CTransferProgressWindow* StartGet(Desktop& d, const std::string& pcFile) {
  auto ran = OnTransferDialog([&](CFileTransferDialog& t) {
    Fill(t, "DATA FILE A", pcFile, false);
    t.GetButton()->click();
  });
  d.Frame().RunCommand(kf::sys::kHostFileTransfer);
  EXPECT_TRUE(*ran);
  EXPECT_EQ(filetransfer::FileTransferState(d.Session()), filetransfer::CFileTransfer::kGetCommandSent);
  return d.Frame().Transfers().ProgressOf(d.Session());
}

TEST(FileTransferDialog, CancelFromTheProgressWindowEndsTheTransferAndUnlocksTheKeyboard) {
  Desktop d(k3279);
  ASSERT_TRUE(d.Start(kKind3279));
  const std::string pc = d.Root() + "/got";
  CTransferProgressWindow* progress = StartGet(d, pc);
  ASSERT_TRUE(progress);
  std::string command;
  for (char c : std::string("IND$FILE GET DATA FILE A"))
    command += static_cast<char>(d.Session().CodePage().ToEbcdic(static_cast<std::uint8_t>(c)));
  std::string sent;
  EXPECT_TRUE(SpinUntil([&] { return (sent += d.TakeSent()).find(command) != std::string::npos; }, 5s));
  EXPECT_NE(d.Session().LockReason(), 0) << "the command went with Enter";
  EXPECT_FALSE(d.Frame().Action(kf::sys::kHostFileTransfer)->isEnabled());
  EXPECT_TRUE(d.Frame().Action(kf::sys::kHostCancelFileTransfer)->isEnabled());

  // The host takes it up: the window counts what came.
  d.Record(Wsf(Open("FT:DATA")));
  d.Record(Wsf(Insert("data")));
  ASSERT_TRUE(SpinUntil([&] { return progress->Text()->text().contains(QStringLiteral("= 4")); }, 5s));
  EXPECT_EQ(progress->windowTitle(), QStringLiteral("File Transfer Progress - Corvina"));
  EXPECT_EQ(progress->Text()->text(),
            QStringLiteral("Receiving PC file %1\nFile size unknown, bytes received = 4").arg(QString::fromStdString(pc)));
  EXPECT_FALSE(progress->Bar()->isVisible());
  SaveScreenshot(progress->grab().toImage(), "file-transfer-progress");
  d.TakeSent();

  // No from the menu's question: nothing happens.
  QString question;
  AnswerNextBox(QMessageBox::No, &question);
  d.Frame().RunCommand(kf::sys::kHostCancelFileTransfer);
  EXPECT_EQ(question, QStringLiteral("Are you sure you want to cancel file transfer for session 1, Test?"));
  EXPECT_TRUE(filetransfer::FileTransferRunning(d.Session()));

  // Yes from the window: the host is asked with PF2 at the next field.
  AnswerNextBox(QMessageBox::Yes, &question);
  progress->CancelButton()->click();
  EXPECT_EQ(question, QStringLiteral("Are you sure you want to cancel the file transfer for session 1, Test?"));
  EXPECT_TRUE(filetransfer::FileTransferRunning(d.Session()));
  d.Record(Wsf(Insert("more")));
  ASSERT_TRUE(SpinUntil([&] { return d.TakeSent().find('\xF2') != std::string::npos; }, 5s)) << "PF2";

  // A host that does not answer: the second Cancel ends it here. (A
  // pointer resting on a menu may put its tip over the message after.)
  QStringList messages;
  QObject listening;  // goes before `messages`
  QObject::connect(d.Frame().statusBar(), &QStatusBar::messageChanged, &listening,
                   [&](const QString& m) { messages << m; });
  AnswerNextBox(QMessageBox::Yes);
  progress->CancelButton()->click();
  EXPECT_FALSE(filetransfer::FileTransferRunning(d.Session()));
  EXPECT_EQ(d.Session().LockReason(), 0);
  ASSERT_TRUE(SpinUntil([&] { return TransferDone(d); }, 5s)) << "the window goes with the transfer";
  EXPECT_TRUE(messages.contains(QStringLiteral("The file transfer was cancelled"))) << messages.join(u'|').toStdString();
  EXPECT_TRUE(d.Frame().Action(kf::sys::kHostFileTransfer)->isEnabled());
  EXPECT_FALSE(std::filesystem::exists(pc)) << "a cancelled GET leaves no file";

  // Before the host answered at all, one Cancel ends it.
  progress = StartGet(d, pc);
  ASSERT_TRUE(progress);
  AnswerNextBox(QMessageBox::Yes);
  progress->CancelButton()->click();
  EXPECT_FALSE(filetransfer::FileTransferRunning(d.Session()));
  EXPECT_EQ(d.Session().LockReason(), 0);
  EXPECT_TRUE(SpinUntil([&] { return TransferDone(d); }, 5s));
}

TEST(FileTransferDialog, ADroppedFileOpensTheDialogFilledInAndOtherDropsBeep) {
  Desktop d(k3279);
  ASSERT_TRUE(d.Start(kKind3279));
  const std::string file = d.Root() + "/report.final.txt";
  corvina::test::WriteFile(file, "x");
  auto drop = [&](const std::vector<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(QList<QUrl>(urls.begin(), urls.end()));
    d.View().Drop(mime);
  };

  QString pcFile, hostFile;
  auto ran = OnTransferDialog([&](CFileTransferDialog& t) {
    pcFile = t.Box("pcFile")->text();
    hostFile = t.Box("hostFile")->text();
    SaveScreenshot(t.grab().toImage(), "dialog-file-transfer");
    t.reject();
  });
  drop({QUrl::fromLocalFile(QString::fromStdString(file)), QUrl::fromLocalFile(QStringLiteral("/etc/hostname"))});
  ASSERT_TRUE(SpinUntil([&] { return *ran; }, 5s));
  EXPECT_EQ(pcFile, QString::fromStdString(file));
  EXPECT_EQ(hostFile, QStringLiteral("report final txt"));
  EXPECT_EQ(d.Session().Profile().fileTransfer.pcFile, "") << "Cancel stores nothing";

  // A folder, a remote file: beeps, no dialog.
  for (const QUrl& url : {QUrl::fromLocalFile(QString::fromStdString(d.Root())), QUrl(QStringLiteral("https://example.com/a.txt"))}) {
    const int beeps = d.Ui().BeepCount();
    drop({url});
    ASSERT_TRUE(SpinUntil([&] { return d.Ui().BeepCount() == beeps + 1; }, 2s)) << url.toString().toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }

  // The key function (a key bound to it ends here) opens it too, and
  // refuses while a transfer runs.
  ran = OnTransferDialog([&](CFileTransferDialog& t) {
    Fill(t, "DATA FILE A", d.Root() + "/got", false);
    t.GetButton()->click();
  });
  d.App().Sessions().SystemCommand(d.Session(), kf::sys::kHostFileTransfer, 0);
  ASSERT_TRUE(*ran);
  ASSERT_TRUE(filetransfer::FileTransferRunning(d.Session()));
  for (const auto& again : {std::function<void()>([&] { d.App().Sessions().SystemCommand(d.Session(), kf::sys::kHostFileTransfer, 0); }),
                            std::function<void()>([&] { drop({QUrl::fromLocalFile(QString::fromStdString(file))}); })}) {
    const int beeps = d.Ui().BeepCount();
    again();
    ASSERT_TRUE(SpinUntil([&] { return d.Ui().BeepCount() == beeps + 1; }, 2s));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
}

}  // namespace
}  // namespace corvina::qt::test
