#include "config/SessionProfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "config/ObjectFileName.h"
#include "config/TerminalTypes.h"
#include "platform/IniFile.h"

namespace corvina {
namespace {

using platform::IniFile;

CCorvinaSessionProfile SampleProfile(CCorvinaTerminalTypes& types) {
  CCorvinaSessionProfile p;
  p.name = "Payroll";
  p.host = "mvs.example.com";
  p.port = 2323;
  p.SetTerminalType(types, kKind3279, 27, 132);
  p.luName = "LU1;LU2";
  p.codePageFile = "cp037.cpg";
  p.scriptFile = "logon.txt";
  p.logFile = "Payroll.log";
  p.keyboardMapName = "My Keys";
  p.printScreenHeader = "&d &t";
  p.printerFontValue = -3;
  p.printerFont.faceName = "Liberation Mono";
  p.printerFont.weight = 700;
  p.hostOptions = kHostConnectAtStartup | kHostReconnect | kHostSecurityTlsV1;
  p.terminalOptions = 0x80000000u | kTermNullSpace;
  p.sessionNumber = 3;
  p.scrollBackLines = 54;
  p.reconnectDelay = 5;
  p.fileTransfer.pcFile = "in.txt";
  p.fileTransfer.hostFile = "IN DATA A";
  p.fileTransfer.options = "LRECL(80)";
  p.fileTransfer.flags = 0x62;
  p.fileTransfer.hostSystem = 1;
  p.fileTransfer.pcDisposition = 2;
  p.fileTransfer.recordFormat = 1;
  p.fileTransfer.logicalRecordLength = 80;
  p.fileTransfer.blockSize = 3200;
  p.fileTransfer.bufferSize = 16384;
  p.ddeTopic = "PAY";
  p.printerName = "lp0";
  p.pageLayout.topMargin = 2;
  p.tallisShortName = 'P';
  p.tallisLongName = "PAYROLL";
  return p;
}

constexpr char kSampleText[] =
    "[Session Profile]\n"
    "Name=Payroll\n"
    "Host=mvs.example.com,2323\n"
    "TerminalType=3279,27,132,IBM-3278-5-E\n"
    "LUname=LU1;LU2\n"
    "LanguageFile=cp037.cpg\n"
    "ScriptFile=logon.txt\n"
    "LogFile=Payroll.log\n"
    "KeyboardMapName=My Keys\n"
    "ColorSchemeName=3270 Default\n"
    "KeypadToolbarName=3270 Default\n"
    "ScreenFont=16,8,16,8,0,0,400,0,0,0,0,0,0,0,1,Courier New\n"
    "PrinterFont=16,8,-3,16,8,0,0,700,0,0,0,0,0,0,0,1,Liberation Mono\n"
    "PrintScreenHeader=&d &t\n"
    "SessionOptions=0\n"
    "HostOptions=771\n"
    "TerminalOptions=-2147483640\n"
    "FontOptions=1\n"
    "PrintOptions=0\n"
    "DisplayOptions=2608\n"
    "KeyboardOptions=2\n"
    "EditOptions=1\n"
    "SessionNumber=3\n"
    "TypeAheadBufferSize=512\n"
    "ScrollBackLines=54\n"
    "ReconnectDelay=5\n"
    "KeepAliveInterval=0\n"
    "FileTransfer=in.txt,IN DATA A,LRECL(80),,IND$FILE,98,1,2,1,80,3200,16384\n"
    "DDETopic=PAY\n"
    "PrinterName=lp0\n"
    "PageLayout=0,2,0,0,66,132\n"
    "TallisId=P,PAYROLL\n";

// A minimal valid profile file with extra lines.
IniFile ProfileText(const std::string& extra, const std::string& type = "3279,24,80,IBM-3278-2-E") {
  IniFile ini;
  ini.SetText("[Session Profile]\nName=Test\nHost=host.example,992\nTerminalType=" + type + "\n" + extra);
  return ini;
}

TEST(SessionProfile, Defaults) {
  CCorvinaSessionProfile p;
  EXPECT_EQ(p.port, 23);
  EXPECT_EQ(p.terminalType, kKind3279);
  EXPECT_EQ(p.terminalDisplayName, "IBM 3279-2 (24x80)");
  EXPECT_EQ(p.telnetTerminalType, "IBM-3278-2-E");
  EXPECT_EQ(p.displayOptions, 2608u);
  EXPECT_EQ(p.displayOptions, kDisplayCursorBlinks | kDisplaySolidFrame | kDisplayStandardToolbar | kDisplayStatusBar);
  EXPECT_EQ(p.keyboardOptions, kKeyboardDestructiveBackspace);
  EXPECT_EQ(p.editOptions, kEditPasteBlock);
  EXPECT_EQ(p.fontOptions, kFontScaleToWindow);
  EXPECT_EQ(p.sessionNumber, -1);
  EXPECT_EQ(p.scrollBackLines, 48);
  EXPECT_EQ(p.typeAheadBufferSize, 512);
  EXPECT_EQ(p.keyboardMapName, "3270 Default");
  EXPECT_EQ(p.fileTransfer.program, "IND$FILE");
  EXPECT_EQ(p.fileTransfer.flags, kTransferCrLf | kTransferAscii);
  EXPECT_EQ(p.fileTransfer.bufferSize, 8192);
  EXPECT_EQ(p.pageLayout.linesPerPage, 66);
  EXPECT_EQ(p.pageLayout.columnsPerPage, 132);
  EXPECT_EQ(p.windowPlacement.length, 44u);
  EXPECT_EQ(p.windowPlacement.showCommand, 0xFFFFu);
  EXPECT_EQ(p.tallisShortName, ' ');
  EXPECT_EQ(p.printerFont.faceName, p.screenFont.faceName);
  EXPECT_EQ(p.SecurityChoice(), 0u);
}

TEST(SessionProfile, FileNamesFollowTheName) {
  EXPECT_EQ(ObjectFileName("a/b", "tkm"), "a b.tkm");
  EXPECT_EQ(ObjectFileName("x\"'*:<>?\\|y", "tsp"), "x         y.tsp");
  EXPECT_EQ(ObjectFileName(std::string("../\0\n", 5), "log"), ".. " "  .log");

  CCorvinaSessionProfile p;
  p.name = "Pay:roll";
  EXPECT_EQ(p.FileName(), "Pay roll.tsp");
  p.name = "Other";
  EXPECT_EQ(p.FileName(), "Pay roll.tsp");  // stored once derived

  p.connectedSessions = 2;
  p.NameNewProfile("New/One", "log");
  EXPECT_EQ(p.name, "New/One");
  EXPECT_EQ(p.FileName(), "New One.tsp");
  EXPECT_EQ(p.logFile, "New One.log");
  EXPECT_EQ(p.connectedSessions, 0);
  EXPECT_TRUE(p.modified);
}

TEST(SessionProfile, SetTerminalTypeResetsDefaultNames) {
  CCorvinaTerminalTypes types;
  CCorvinaSessionProfile p;
  p.keyboardMapName = p.colorSchemeName = p.keypadToolbarName = "Mine";
  EXPECT_TRUE(p.SetTerminalType(types, kKindVt220, 24, 80));
  EXPECT_EQ(p.terminalDisplayName, "VT220");
  EXPECT_EQ(p.telnetTerminalType, "DEC-VT220");
  EXPECT_EQ(p.keyboardMapName, "VT100 Default");
  EXPECT_EQ(p.colorSchemeName, "VT100 Default");
  EXPECT_EQ(p.keypadToolbarName, "VT100 Default");
  EXPECT_TRUE(p.modified);

  EXPECT_TRUE(p.SetTerminalType(types, kKind3279, 30, 100));
  EXPECT_EQ(p.terminalDisplayName, "IBM 3279-5 (30x100)");
  EXPECT_EQ(p.telnetTerminalType, "IBM-3279-5-E");
  EXPECT_EQ(p.keyboardMapName, "3270 Default");

  EXPECT_FALSE(p.SetTerminalType(types, kKind5250Printer, 24, 80));
  EXPECT_EQ(p.terminalType, kKind5250Printer);
  EXPECT_EQ(p.keyboardMapName, "5250 Default");

  p.SetTerminalByDisplayName(types, "IBM 5250 (27x132)");
  EXPECT_EQ(p.terminalType, kKind5250);
  EXPECT_EQ(p.rows, 27);
  EXPECT_EQ(p.telnetTerminalType, "IBM-3477-FC");
  p.SetTerminalByDisplayName(types, "no such terminal");
  EXPECT_EQ(p.terminalType, kKindVt100);
  EXPECT_EQ(p.columns, 80);
}

TEST(FontDescription, TextForm) {
  FontDescription font;
  font.height = -13;
  font.italic = 1;
  font.charSet = 255;
  font.faceName = "DejaVu Sans Mono, Book";
  const std::string text = FormatFontDescription(font);
  EXPECT_EQ(text, "-13,8,0,0,400,1,0,0,255,0,0,0,1,DejaVu Sans Mono, Book");
  const FontDescription back = ParseFontDescription(text);
  EXPECT_EQ(back.height, -13);
  EXPECT_EQ(back.charSet, 255);
  EXPECT_EQ(back.faceName, font.faceName);

  font.faceName = std::string(40, 'x');
  EXPECT_EQ(ParseFontDescription(FormatFontDescription(font)).faceName, std::string(31, 'x'));
  EXPECT_EQ(ParseFontDescription(std::string(40, 'y').insert(0, "1,2,3,4,5,6,7,8,9,10,11,12,13,")).faceName,
            std::string(31, 'y'));

  const FontDescription partial = ParseFontDescription("20,abc");
  EXPECT_EQ(partial.height, 20);
  EXPECT_EQ(partial.width, 0);
  EXPECT_EQ(partial.weight, 0);
  EXPECT_EQ(partial.pitchAndFamily, 0);
  EXPECT_EQ(partial.faceName, "");

  const FontDescription wild = ParseFontDescription("99999999,8,0,0,5000,300,-1,0,0,0,0,0,49,Mono");
  EXPECT_EQ(wild.height, 0);
  EXPECT_EQ(wild.weight, 0);
  EXPECT_EQ(wild.italic, 0);
  EXPECT_EQ(wild.underline, 0);
  EXPECT_EQ(wild.pitchAndFamily, 49);
  EXPECT_EQ(wild.faceName, "Mono");
}

TEST(SessionProfileFile, SaveWritesExactKeysInOrder) {
  CCorvinaTerminalTypes types;
  CCorvinaSessionProfile p = SampleProfile(types);
  IniFile ini;
  p.WriteTo(ini);
  EXPECT_EQ(ini.Text(), kSampleText);
}

TEST(SessionProfileFile, SaveReplacesOnlyItsSectionAndOmitsWhatTheKindLacks) {
  CCorvinaTerminalTypes types;
  CCorvinaSessionProfile p;
  p.name = "Unix";
  p.host = "box";
  p.SetTerminalType(types, kKindVt100, 24, 80);
  IniFile ini;
  ini.SetText("; kept\n[Session Profile]\nName=Old\nStale=1\n[Other]\nA=1\n");
  p.WriteTo(ini);
  const std::string text = ini.Text();
  EXPECT_EQ(text.find("Stale"), std::string::npos);
  EXPECT_EQ(text.find("Old"), std::string::npos);
  EXPECT_EQ(text.find("FileTransfer"), std::string::npos);
  EXPECT_EQ(text.find("TallisId"), std::string::npos);
  EXPECT_EQ(text.find("LUname"), std::string::npos);
  EXPECT_NE(text.find("; kept\n"), std::string::npos);
  EXPECT_NE(text.find("[Other]\nA=1\n"), std::string::npos);
  EXPECT_EQ(ini.GetString("Session Profile", "TerminalType"), "VT100,24,80,DEC-VT100");
}

TEST(SessionProfileFile, LineModeSavesAsVt100) {
  CCorvinaTerminalTypes types;
  CCorvinaSessionProfile p;
  p.name = "Old";
  p.host = "h";
  p.terminalType = kKindLineMode;
  p.telnetTerminalType = "DEC-VT100";
  IniFile ini;
  p.WriteTo(ini);
  EXPECT_EQ(ini.GetString("Session Profile", "TerminalType"), "VT100,24,80,DEC-VT100");
  CCorvinaSessionProfile back;
  ASSERT_TRUE(back.ReadFrom(ini, types));
  EXPECT_EQ(back.terminalType, kKindVt100);
}

TEST(SessionProfileFile, LoadRoundTrip) {
  CCorvinaTerminalTypes types;
  IniFile ini;
  ini.SetText(kSampleText);
  CCorvinaSessionProfile p;
  p.modified = true;
  ASSERT_TRUE(p.ReadFrom(ini, types));
  EXPECT_FALSE(p.modified);
  EXPECT_EQ(p.port, 2323);
  EXPECT_EQ(p.terminalDisplayName, "IBM 3279-5 (27x132)");
  EXPECT_EQ(p.terminalOptions, 0x80000008u);
  EXPECT_EQ(p.printerFontValue, -3);
  EXPECT_EQ(p.fileTransfer.hostFile, "IN DATA A");
  EXPECT_EQ(p.tallisShortName, 'P');
  IniFile again;
  p.WriteTo(again);
  EXPECT_EQ(again.Text(), kSampleText);
}

TEST(SessionProfileFile, RequiredKeys) {
  CCorvinaTerminalTypes types;
  CCorvinaSessionProfile p;
  IniFile ini;
  ini.SetText("[Session Profile]\nHost=h\nTerminalType=3279,24,80,IBM-3278-2-E\n");
  EXPECT_FALSE(p.ReadFrom(ini, types));
  ini.SetText("[Session Profile]\nName=x\nHost=,23\nTerminalType=3279,24,80,IBM-3278-2-E\n");
  EXPECT_FALSE(p.ReadFrom(ini, types));
  ini.SetText("[Session Profile]\nName=x\nHost=h\n");
  EXPECT_FALSE(p.ReadFrom(ini, types));
  ini.SetText("[Session Profile]\nName=x\nHost=h\nTerminalType=3279,24,80\n");
  EXPECT_FALSE(p.ReadFrom(ini, types));
  ini.SetText("[Session Profile]\nName=x\nHost=h\nTerminalType=3280,24,80,IBM-3278-2-E\n");
  EXPECT_FALSE(p.ReadFrom(ini, types));
  // A failed load leaves the profile as it was.
  EXPECT_EQ(p.name, "");
  EXPECT_EQ(p.terminalType, kKind3279);

  ini.SetText("[Session Profile]\nName=x\nHost=h\nTerminalType=3279,24,80,IBM-3278-2-E\n");
  ASSERT_TRUE(p.ReadFrom(ini, types));
  EXPECT_EQ(p.port, 23);
  EXPECT_EQ(p.host, "h");
}

TEST(SessionProfileFile, CustomSizesAreBounded) {
  CCorvinaTerminalTypes types;
  CCorvinaSessionProfile p;
  ASSERT_TRUE(p.ReadFrom(ProfileText("", "3279,30,100,IBM-3279-5-E"), types));
  EXPECT_EQ(p.terminalDisplayName, "IBM 3279-5 (30x100)");
  EXPECT_EQ(p.rows, 30);
  EXPECT_EQ(p.columns, 100);
  EXPECT_FALSE(CCorvinaSessionProfile().ReadFrom(ProfileText("", "3278,30,100,IBM-3278-2"), types));
  for (const char* type : {"3279,0,0,T", "3279,-24,80,T", "3279,24,-80,T", "3279,1000,1000,T", "3279,256,256,T",
                           "VT100,65560,80,T", "VT100,x,y,T", "VT100,19,80,T", "ANSI,24,201,T"}) {
    EXPECT_FALSE(CCorvinaSessionProfile().ReadFrom(ProfileText("", type), types)) << type;
  }
  ASSERT_TRUE(p.ReadFrom(ProfileText("", "VT220,72,200,DEC-VT220"), types));
  EXPECT_EQ(p.rows * p.columns, 14400);
}

TEST(SessionProfileFile, OutOfRangeNumbersFallBackToDefaults) {
  CCorvinaTerminalTypes types;
  for (const char* host : {"h,0", "h,65536", "h,-5", "h,abc", "h,99999999999999999999"}) {
    IniFile ini;
    ini.SetText(std::string("[Session Profile]\nName=x\nHost=") + host + "\nTerminalType=ANSI,24,80,ANSI\n");
    CCorvinaSessionProfile p;
    ASSERT_TRUE(p.ReadFrom(ini, types)) << host;
    EXPECT_EQ(p.port, 23) << host;
  }
  CCorvinaSessionProfile p;
  ASSERT_TRUE(p.ReadFrom(ProfileText("ScrollBackLines=-1\nTypeAheadBufferSize=40000\nReconnectDelay=100\n"
                                     "KeepAliveInterval=-3\nSessionNumber=0\n"
                                     "PageLayout=-1,5,0,0,0,-132\n"
                                     "FileTransfer=a,b,c,d,,999,7,-1,4,40000,-2,0\n"),
                         types));
  EXPECT_EQ(p.scrollBackLines, 48);
  EXPECT_EQ(p.typeAheadBufferSize, 512);
  EXPECT_EQ(p.reconnectDelay, 0);
  EXPECT_EQ(p.keepAliveInterval, 0);
  EXPECT_EQ(p.sessionNumber, -1);
  EXPECT_EQ(p.pageLayout.leftMargin, 0);
  EXPECT_EQ(p.pageLayout.topMargin, 5);
  EXPECT_EQ(p.pageLayout.linesPerPage, 66);
  EXPECT_EQ(p.pageLayout.columnsPerPage, 132);
  EXPECT_EQ(p.fileTransfer.pcFile, "a");
  EXPECT_EQ(p.fileTransfer.hostCodePageFile, "d");
  EXPECT_EQ(p.fileTransfer.program, "IND$FILE");
  EXPECT_EQ(p.fileTransfer.flags, 96);
  EXPECT_EQ(p.fileTransfer.hostSystem, 0);
  EXPECT_EQ(p.fileTransfer.pcDisposition, 0);
  EXPECT_EQ(p.fileTransfer.recordFormat, 0);
  EXPECT_EQ(p.fileTransfer.logicalRecordLength, 0);
  EXPECT_EQ(p.fileTransfer.blockSize, 0);
  EXPECT_EQ(p.fileTransfer.bufferSize, 8192);

  ASSERT_TRUE(p.ReadFrom(ProfileText("SessionNumber=7\nHostOptions=4294967295\nEditOptions=-1\n"
                                     "DisplayOptions=99999999999\nKeyboardOptions=junk\n"),
                         types));
  EXPECT_EQ(p.sessionNumber, 7);
  EXPECT_EQ(p.hostOptions, 0xFFFFFFFFu);
  EXPECT_EQ(p.editOptions, 0xFFFFFFFFu);
  EXPECT_EQ(p.displayOptions, 2608u);
  EXPECT_EQ(p.keyboardOptions, 0u);  // non-numeric text reads as 0
}

TEST(SessionProfileFile, NamesResolveAgainstTheStore) {
  CCorvinaTerminalTypes types;
  const std::string names = "KeyboardMapName=Gone\nColorSchemeName=Night\nKeypadToolbarName=Pad\n";
  CCorvinaSessionProfile kept;
  ASSERT_TRUE(kept.ReadFrom(ProfileText(names, "5250,24,80,IBM-3179-2"), types));
  EXPECT_EQ(kept.keyboardMapName, "Gone");
  EXPECT_EQ(kept.colorSchemeName, "Night");

  std::vector<ProfileObjectKind> asked;
  auto resolver = [&asked](std::string_view name, ProfileObjectKind kind) {
    asked.push_back(kind);
    return name != "Gone";
  };
  CCorvinaSessionProfile resolved;
  ASSERT_TRUE(resolved.ReadFrom(ProfileText(names, "5250,24,80,IBM-3179-2"), types, resolver));
  EXPECT_EQ(resolved.keyboardMapName, "5250 Default");
  EXPECT_EQ(resolved.colorSchemeName, "Night");
  EXPECT_EQ(resolved.keypadToolbarName, "Pad");
  EXPECT_EQ(asked, (std::vector<ProfileObjectKind>{ProfileObjectKind::kKeyboardMap, ProfileObjectKind::kColorScheme,
                                                   ProfileObjectKind::kKeypadToolbar}));

  CCorvinaSessionProfile absent;
  ASSERT_TRUE(absent.ReadFrom(ProfileText("", "VT220,24,80,DEC-VT220"), types, resolver));
  EXPECT_EQ(absent.keyboardMapName, "VT100 Default");
}

TEST(SessionProfileFile, TallisIdTakesOneLetter) {
  CCorvinaTerminalTypes types;
  struct Case {
    const char* value;
    char shortName;
    const char* longName;
  };
  for (const Case& c : {Case{"b,Accounts", 'B', "Accounts"}, Case{"Z", 'Z', ""}, Case{"bc,Two", ' ', "Two"},
                        Case{"1,Digit", ' ', "Digit"}, Case{"\xe9,Latin", ' ', "Latin"}, Case{",Empty", ' ', "Empty"},
                        Case{"[,Bracket", ' ', "Bracket"}, Case{"q,a,b", 'Q', "a,b"}}) {
    CCorvinaSessionProfile p;
    ASSERT_TRUE(p.ReadFrom(ProfileText(std::string("TallisId=") + c.value + "\n"), types)) << c.value;
    EXPECT_EQ(p.tallisShortName, c.shortName) << c.value;
    EXPECT_EQ(p.tallisLongName, c.longName) << c.value;
  }
}

TEST(SessionProfileFile, ComputerNameReplacesTheLuName) {
  CCorvinaTerminalTypes types;
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  CCorvinaSessionProfile p;
  ASSERT_TRUE(p.ReadFrom(ProfileText("LUname=LUX\nTerminalOptions=256\n"), types));
  EXPECT_EQ(p.luName, host);
  ASSERT_TRUE(p.ReadFrom(ProfileText("LUname=LUX\nTerminalOptions=512\n"), types));
  EXPECT_EQ(p.luName, "LUX");
}

TEST(SessionProfileFile, FontKeysWhenPresent) {
  CCorvinaTerminalTypes types;
  CCorvinaSessionProfile p;
  ASSERT_TRUE(p.ReadFrom(ProfileText("ScreenFont=20,10,20,10,0,0,700,0,0,0,0,0,0,0,49,Liberation Mono\n"
                                     "PrinterFont=12\n"),
                         types));
  EXPECT_EQ(p.screenFontSize1, 20);
  EXPECT_EQ(p.screenFont.weight, 700);
  EXPECT_EQ(p.screenFont.faceName, "Liberation Mono");
  EXPECT_EQ(p.printerFontPointSize, 12);
  EXPECT_EQ(p.printerFontSize, 0);
  EXPECT_EQ(p.printerFont.height, 0);
  EXPECT_EQ(p.printerFont.faceName, "");
}

class SessionProfileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/corvina-profile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string ReadFile(const std::string& name) {
    std::ifstream in(folder_ + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string folder_;
};

TEST_F(SessionProfileFiles, SaveThenLoad) {
  CCorvinaTerminalTypes types;
  CCorvinaSessionProfile p = SampleProfile(types);
  p.modified = true;
  std::string error;
  ASSERT_TRUE(p.Save(folder_, p.FileName(), &error)) << error;
  EXPECT_FALSE(p.modified);
  EXPECT_EQ(ReadFile("Payroll.tsp"), kSampleText);

  CCorvinaSessionProfile loaded;
  ASSERT_TRUE(loaded.Load(folder_, "Payroll.tsp", types, {}, &error)) << error;
  EXPECT_EQ(loaded.fileName, "Payroll.tsp");
  EXPECT_EQ(loaded.name, "Payroll");
  EXPECT_EQ(loaded.fileTransfer.bufferSize, 16384);
}

TEST_F(SessionProfileFiles, SaveKeepsOtherSectionsAndLoadReportsBadFiles) {
  {
    std::ofstream out(folder_ + "/x.tsp");
    out << "[Notes]\r\nWho=me\r\n";
  }
  CCorvinaTerminalTypes types;
  CCorvinaSessionProfile p;
  p.name = "x";
  p.host = "h";
  ASSERT_TRUE(p.Save(folder_, "x.tsp"));
  const std::string text = ReadFile("x.tsp");
  EXPECT_EQ(text.rfind("[Notes]\r\nWho=me\r\n", 0), 0u);
  EXPECT_NE(text.find("\r\nName=x\r\n"), std::string::npos);

  std::string error;
  CCorvinaSessionProfile missing;
  EXPECT_FALSE(missing.Load(folder_, "none.tsp", types, {}, &error));
  EXPECT_NE(error.find("none.tsp"), std::string::npos);
  EXPECT_EQ(missing.fileName, "");
}

}  // namespace
}  // namespace corvina
