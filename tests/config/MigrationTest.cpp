#include <gtest/gtest.h>

#include "StoreFixture.h"
#include "config/Archive.h"
#include "config/LegacySettings.h"
#include "config/TerminalTypes.h"

namespace corvina {
namespace {

using test::ArchiveBytes;
using test::ReadFile;
using test::WriteFile;

std::span<const std::uint8_t> Span(const std::string& s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string ArchiveErrorOf(const std::function<void(CArchiveReader&)>& read, const std::string& bytes) {
  CArchiveReader archive(Span(bytes));
  try {
    read(archive);
  } catch (const CArchiveError& e) {
    return e.what();
  }
  return "";
}

TEST(ArchiveReader, TextsInAllThreeLengthForms) {
  const std::string longText(300, 'x');
  ArchiveBytes b;
  b.Text("abc").Text(longText).U8(0xFF).U16(0xFFFF).U32(2).Raw("hi").Text("");
  CArchiveReader archive(Span(b.Bytes()));
  EXPECT_EQ(archive.ReadString(), "abc");
  EXPECT_EQ(archive.ReadString(), longText);
  EXPECT_EQ(archive.ReadString(), "hi");
  EXPECT_EQ(archive.ReadString(), "");
  EXPECT_EQ(archive.Remaining(), 0u);
}

TEST(ArchiveReader, LengthsAndCountsBeyondTheDataAreErrors) {
  const auto text = [](CArchiveReader& a) { a.ReadString(); };
  EXPECT_EQ(ArchiveErrorOf(text, ArchiveBytes().U8(5).Raw("abc").Bytes()), "the file ends in the middle of a value");
  EXPECT_NE(ArchiveErrorOf(text, ArchiveBytes().U8(0xFF).U16(0xFFFF).U32(0xFFFFFFFF).Bytes()), "");
  EXPECT_NE(ArchiveErrorOf([](CArchiveReader& a) { a.ReadDouble(); }, "1234567"), "");
  // Two bytes left cannot hold two million objects of two bytes.
  EXPECT_NE(ArchiveErrorOf([](CArchiveReader& a) { a.ReadCount(2); }, ArchiveBytes().U32(2000000).U16(0).Bytes()),
            "");
  const std::string one = ArchiveBytes().U32(1).U16(0).Bytes();
  CArchiveReader fits(Span(one));
  EXPECT_EQ(fits.ReadCount(2), 1u);
}

TEST(ArchiveReader, ClassTagsAndBackReferences) {
  ArchiveBytes b;
  b.NewClass("CFirst");       // class 1, object 2
  b.ClassRef(1);              // object 3 of class 1
  b.U16(0);                   // null
  b.U16(2);                   // object 2 again
  b.U16(0x7FFF).U32(0x80000001);  // the long form of a class reference: object 4
  CArchiveReader archive(Span(b.Bytes()));
  auto first = archive.ReadObjectTag();
  EXPECT_EQ(first.kind, CArchiveReader::ObjectTag::kNew);
  EXPECT_EQ(first.className, "CFirst");
  EXPECT_EQ(first.objectIndex, 2u);
  auto second = archive.ReadObjectTag();
  EXPECT_EQ(second.kind, CArchiveReader::ObjectTag::kNew);
  EXPECT_EQ(second.objectIndex, 3u);
  EXPECT_EQ(archive.ReadObjectTag().kind, CArchiveReader::ObjectTag::kNull);
  auto again = archive.ReadObjectTag();
  EXPECT_EQ(again.kind, CArchiveReader::ObjectTag::kOld);
  EXPECT_EQ(again.objectIndex, 2u);
  EXPECT_EQ(archive.ReadObjectTag().objectIndex, 4u);

  const auto tag = [](CArchiveReader& a) {
    for (;;) a.ReadObjectTag();
  };
  EXPECT_EQ(ArchiveErrorOf(tag, ArchiveBytes().ClassRef(1).Bytes()),
            "an object refers to a class that was never named");
  EXPECT_EQ(ArchiveErrorOf(tag, ArchiveBytes().NewClass("C").ClassRef(2).Bytes()),
            "an object refers to a class that was never named");
  EXPECT_EQ(ArchiveErrorOf(tag, ArchiveBytes().NewClass("C").U16(1).Bytes()),
            "an object refers to an object that was never read");
  EXPECT_EQ(ArchiveErrorOf(tag, ArchiveBytes().U16(0xFFFF).U16(1).U16(0).Bytes()),
            "a class name is empty or longer than 64 characters");
}

// One session profile in its archived form.
struct OldProfile {
  std::string name, host, displayName, telnetType, lu, codePage, script, log, map, scheme, toolbar;
  std::uint16_t oldType = 1, rows = 24, columns = 80;
  std::uint32_t port = 23;
  std::uint32_t hostOptions = 0, keyboardOptions = 2;
  std::int16_t sessionNumber = -1;
  bool transfer = false;
};

void Font(ArchiveBytes& b, std::int32_t height, std::int32_t width, std::int32_t weight, const std::string& face) {
  b.U32(static_cast<std::uint32_t>(height)).U32(static_cast<std::uint32_t>(width)).U32(0).U32(0);
  b.U32(static_cast<std::uint32_t>(weight));
  b.U8(0).U8(0).U8(0).U8(0).U8(3).U8(2).U8(1).U8(49);
  std::string name = face;
  name.resize(32, '\0');
  b.Raw(name);
}

void AppendProfile(ArchiveBytes& b, const OldProfile& p) {
  for (const std::string* text : {&p.name, &p.host, &p.displayName, &p.telnetType, &p.lu, &p.codePage, &p.script,
                                  &p.log, &p.map, &p.scheme, &p.toolbar}) {
    b.Text(*text);
  }
  Font(b, 20, 10, 700, "Courier New");
  Font(b, 12, 0, 400, "Liberation Mono");
  b.U32(5);                                                    // printer font value
  for (std::uint32_t w : {44u, 0u, 1u, 0u, 0u, 0u, 0u, 10u, 20u, 650u, 500u}) b.U32(w);  // placement
  b.U32(p.port);
  for (std::uint32_t w : {0u, p.hostOptions, 8u, 1u, 0u, 2608u, p.keyboardOptions, 1u}) b.U32(w);
  for (int i = 0; i < 4; ++i) b.U32(0xDEAD);
  for (std::uint16_t v : {p.oldType, p.rows, p.columns, std::uint16_t{20}, std::uint16_t{10}, std::uint16_t{12},
                          static_cast<std::uint16_t>(p.sessionNumber), std::uint16_t{64}, std::uint16_t{256},
                          std::uint16_t{7}}) {
    b.U16(v);
  }
  for (int i = 0; i < 10; ++i) b.U32(0xBEEF);
  b.U32(p.transfer ? 1 : 0);
  if (p.transfer) {
    b.Text("in.txt").Text("IN DATA A").Text("").Text("").Text("");
    b.U8(0x62).U32(1).U32(0).U32(1).U32(80).U32(3200);
  }
}

OldProfile Payroll() {
  OldProfile p;
  p.name = "Payroll";
  p.host = "mvs.example";
  p.displayName = "IBM 3279-3 (32x80)";
  p.telnetType = "IBM-3278-3-E";
  p.lu = "LU01";
  p.codePage = "cp500.cpg";
  p.log = "Payroll.log";
  p.map = "3270 Default";
  p.scheme = "3270 Default";
  p.oldType = 1;
  p.rows = 32;
  p.port = 992;
  p.hostOptions = kHostConnectAtStartup | kHostSecurityTlsV1;
  p.sessionNumber = 2;
  p.transfer = true;
  return p;
}

OldProfile As400() {
  OldProfile p;
  p.name = "a:b";
  p.host = "as400.example";
  p.displayName = "IBM 5250 (24x80)";
  p.oldType = 2;
  return p;
}

OldProfile WideVt() {
  OldProfile p;
  p.name = "a/b";
  p.host = "unix.example";
  p.displayName = "VT100 (30x100)";
  p.oldType = 4;
  p.rows = 30;
  p.columns = 100;
  return p;
}

std::string OldSettings(double version, const std::function<void(ArchiveBytes&)>& blocks) {
  ArchiveBytes b;
  b.Double(version).Text("Payroll").Text("cp037.cpg").Text("scr").Text("log").U32(4).U32(63);
  blocks(b);
  return b.Bytes();
}

std::string ThreeProfiles() {
  return OldSettings(2.05, [](ArchiveBytes& b) {
    b.U32(1).Text("sdat").U32(4);
    b.NewClass(kSessionProfileClassName);
    AppendProfile(b, Payroll());
    b.ClassRef(1);
    AppendProfile(b, As400());
    b.U16(2);  // the first profile listed again
    b.ClassRef(1);
    AppendProfile(b, WideVt());
  });
}

class Migration : public test::StoreTest {};

TEST_F(Migration, ConvertedProfilesEqualProfilesCreatedDirectly) {
  WriteFile(data_ + "Corvina.dat", ThreeProfiles());
  CCorvinaPersistentData& store = NewStore();
  ASSERT_TRUE(store.LoadAll());
  EXPECT_TRUE(ui_.boxes.empty());
  ASSERT_EQ(store.Objects(ObjectKind::kSessionProfile).size(), 3u);
  // Saved at the end of start-up, with the current version.
  EXPECT_EQ(ReadFile(data_ + "Corvina.dat"), std::string("\x4d\x3d\xbd\x68\x90\xc2\x01\x40", 8));
  EXPECT_EQ(store.FindProfile("a:b")->fileName, "a b.tsp");
  EXPECT_EQ(store.FindProfile("a/b")->fileName, "a b (2).tsp");
  EXPECT_EQ(store.FindProfile("a:b")->keyboardOptions, 2u | kKeyboardLockOnError);
  EXPECT_NE(store.TerminalTypes().FindByDisplayName("VT100 (30x100)"), nullptr);
  // The old settings values, kept where the application profile has no key.
  EXPECT_EQ(store.sessionName, "Payroll");
  EXPECT_EQ(store.scriptExtension, "scr");
  EXPECT_EQ(store.maximumSessions, 4);
  EXPECT_EQ(store.preferences, 63u);
  EXPECT_NE(AppProfileText().find("SessionName=Payroll"), std::string::npos);

  // The same profiles made directly in another folder.
  const std::string migrated = data_;
  data_ = root_ + "/direct/";
  std::filesystem::create_directories(data_);
  CCorvinaPersistentData& direct = NewStore();
  ASSERT_TRUE(direct.LoadAll());
  CCorvinaTerminalTypes& types = direct.TerminalTypes();

  auto payroll = direct.NewProfile();
  payroll->name = "Payroll";
  payroll->host = "mvs.example";
  payroll->port = 992;
  payroll->SetTerminalType(types, kKind3279, 32, 80);
  payroll->luName = "LU01";
  payroll->codePageFile = "cp500.cpg";
  payroll->logFile = "Payroll.log";
  payroll->screenFont = ParseFontDescription("20,10,0,0,700,0,0,0,0,3,2,1,49,Courier New");
  payroll->printerFont = ParseFontDescription("12,0,0,0,400,0,0,0,0,3,2,1,49,Liberation Mono");
  payroll->screenFontSize1 = 20;
  payroll->screenFontSize2 = 10;
  payroll->printerFontPointSize = 12;
  payroll->printerFontValue = 5;
  payroll->hostOptions = kHostConnectAtStartup | kHostSecurityTlsV1;
  payroll->terminalOptions = kTermNullSpace;
  payroll->sessionNumber = 2;
  payroll->scrollBackLines = 64;
  payroll->typeAheadBufferSize = 256;
  payroll->fileTransfer.pcFile = "in.txt";
  payroll->fileTransfer.hostFile = "IN DATA A";
  payroll->fileTransfer.flags = 0x62;
  payroll->fileTransfer.hostSystem = 1;
  payroll->fileTransfer.recordFormat = 1;
  payroll->fileTransfer.logicalRecordLength = 80;
  payroll->fileTransfer.blockSize = 3200;

  auto as400 = std::make_shared<CCorvinaSessionProfile>(*payroll);
  as400->name = "a:b";
  as400->host = "as400.example";
  as400->port = 23;
  as400->SetTerminalType(types, kKind5250, 24, 80);
  as400->luName = as400->codePageFile = as400->logFile = "";
  as400->hostOptions = 0;
  as400->keyboardOptions = 2 | kKeyboardLockOnError;
  as400->sessionNumber = -1;
  as400->fileTransfer = FileTransferDefaults();

  auto wide = std::make_shared<CCorvinaSessionProfile>(*as400);
  wide->name = "a/b";
  wide->host = "unix.example";
  wide->SetTerminalType(types, kKindVt100, 30, 100);
  wide->keyboardOptions = 2;

  for (const auto& p : {payroll, as400, wide}) ASSERT_TRUE(direct.Add(p, true));
  for (const char* file : {"Payroll.tsp", "a b.tsp", "a b (2).tsp"}) {
    EXPECT_EQ(ReadFile(migrated + file), ReadFile(data_ + file)) << file;
    EXPECT_FALSE(ReadFile(data_ + file).empty()) << file;
  }
}

TEST_F(Migration, ArchivesThatCannotBeConvertedEndStartUp) {
  struct Case {
    std::string bytes;
    std::string cause;
  };
  const std::string full = ThreeProfiles();
  const Case cases[] = {
      {full.substr(0, full.size() - 3), "the file ends in the middle of a value"},
      {OldSettings(2.05, [](ArchiveBytes& b) { b.U32(1).Text("kmap").U32(1).NewClass("CCorvinaKeyboardMap"); }),
       "objects of class CCorvinaKeyboardMap cannot be read"},
      {OldSettings(2.05, [](ArchiveBytes& b) { b.U32(1).Text("csch").U32(1).NewClass(kSessionProfileClassName); }),
       "a csch block holds an object of class CCorvinaSessionProfile"},
      {OldSettings(2.05, [](ArchiveBytes& b) { b.U32(1).Text("misc").U32(0); }), "unknown object block \"misc\""},
      {OldSettings(2.05, [](ArchiveBytes& b) { b.U32(0xFFFFFFFF); }), "the file ends in the middle of a value"},
      {ArchiveBytes().Double(2.01).Bytes(), "settings of version 2.01 are too old to convert"},
  };
  for (const Case& c : cases) {
    WriteFile(data_ + "Corvina.dat", c.bytes);
    ui_.boxes.clear();
    EXPECT_FALSE(NewStore().LoadAll()) << c.cause;
    ASSERT_EQ(ui_.boxes.size(), 1u) << c.cause;
    EXPECT_EQ(ui_.boxes[0].text, "CArchiveException thrown loading " + data_ + "Corvina.dat: " + c.cause);
    // Nothing is lost: the old file stays for another try.
    EXPECT_EQ(ReadFile(data_ + "Corvina.dat"), c.bytes);
  }
}

TEST_F(Migration, ConvertsIntoAFolderWithoutOverwritingItsFiles) {
  WriteFile(data_ + "Payroll.tsp", "kept\n");
  WriteFile(data_ + "Corvina.dat", ThreeProfiles());
  CCorvinaPersistentData& store = NewStore();
  ASSERT_TRUE(store.LoadAll());
  EXPECT_EQ(ReadFile(data_ + "Payroll.tsp"), "kept\n");
  EXPECT_EQ(store.FindProfile("Payroll")->fileName, "Payroll (2).tsp");
}

TEST_F(Migration, TheOldArchiveStaysUntilEveryObjectIsWritten) {
  const std::string old = OldSettings(2.05, [](ArchiveBytes& b) {
    b.U32(2).Text("tbar").U32(1).NewClass("CFakeToolbar").Text("Keys");
    b.Text("sdat").U32(1).NewClass(kSessionProfileClassName);
    AppendProfile(b, Payroll());
  });
  WriteFile(data_ + "Corvina.dat", old);
  CCorvinaPersistentData& store = NewStore();
  // Kinds plug in their own readers of the old form.
  std::shared_ptr<test::FakeObject> toolbar;
  CCorvinaPersistentData::KindHandler h;
  h.load = [](const std::string&) { return nullptr; };
  h.legacyClass = "CFakeToolbar";
  h.readLegacy = [&toolbar](CArchiveReader& a) {
    toolbar = std::make_shared<test::FakeObject>(ObjectKind::kToolbar, a.ReadString());
    toolbar->failSaving = true;
    return toolbar;
  };
  store.RegisterKind(ObjectKind::kToolbar, h);
  ASSERT_TRUE(store.LoadAll());
  ASSERT_NE(toolbar, nullptr);
  EXPECT_TRUE(std::filesystem::exists(data_ + "Payroll.tsp"));
  EXPECT_EQ(ReadFile(data_ + "Corvina.dat"), old);
  EXPECT_EQ(ui_.boxes.size(), 1u);  // the toolbar that could not be written

  toolbar->failSaving = false;
  EXPECT_TRUE(store.SaveAll());
  EXPECT_TRUE(std::filesystem::exists(data_ + "Keys.ttb"));
  EXPECT_EQ(ReadFile(data_ + "Corvina.dat").size(), 8u);
}

TEST(LegacyProfile, OldTypeCodesAndOutOfRangeNumbers) {
  EXPECT_EQ(ConvertOldTerminalType(0), 16u);
  EXPECT_EQ(ConvertOldTerminalType(3), 258u);
  EXPECT_EQ(ConvertOldTerminalType(6), 257u);
  EXPECT_EQ(ConvertOldTerminalType(7), 0u);

  CCorvinaTerminalTypes types;
  OldProfile odd = As400();
  odd.oldType = 6;  // line mode has no row: the display name decides
  odd.displayName = "VT220";
  odd.port = 70000;
  odd.sessionNumber = 0;
  ArchiveBytes b;
  AppendProfile(b, odd);
  CArchiveReader archive(Span(b.Bytes()));
  auto p = ReadLegacySessionProfile(archive, types, {});
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(archive.Remaining(), 0u);
  EXPECT_EQ(p->terminalType, kKindVt220);
  EXPECT_EQ(p->port, 23);
  EXPECT_EQ(p->sessionNumber, -1);
  EXPECT_TRUE(p->modified);

  OldProfile nameless = As400();
  nameless.name.clear();
  ArchiveBytes n;
  AppendProfile(n, nameless);
  CArchiveReader nothing(Span(n.Bytes()));
  EXPECT_EQ(ReadLegacySessionProfile(nothing, types, {}), nullptr);
  EXPECT_EQ(nothing.Remaining(), 0u);  // read whole, so the next object can follow
}

}  // namespace
}  // namespace corvina
