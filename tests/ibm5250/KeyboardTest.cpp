// The operator's side: typing under the field rules, Field Exit, the checks
// on leaving a field and on AID keys, operator errors, the key-state table,
// System Request, cursor movement, type-ahead and the paste modes.
#include <gtest/gtest.h>

#include "Support5250.h"
#include "keyboard/KeyFunctions.h"

namespace corvina::test {
namespace {

namespace k = kf::ibm5250;

// One input field at row 2, column 10 of the given format and length, and a
// plain alpha field at row 3, column 10 to tab to.
Bytes OneField(std::uint16_t ffw, int length, std::initializer_list<std::uint16_t> fcws = {}) {
  return Record5250().ClearUnit().Wtd().Sba(2, 9).Sof(ffw, length, 0x24, fcws).Sba(3, 9).Sof(kAlpha, 5).ReadMdt();
}

std::string FieldText(Session5250& s, int row, int column, int length) {
  std::string text;
  s.E().ExtractText(s.Position(row, column), length, text, nullptr, 0);
  return text;
}

TEST(Keyboard5250, ShiftRulesRaiseTheirErrorsAndTheHelpRequest) {
  struct Case {
    std::uint16_t ffw;
    const char* typed;
    int code;  // 0: accepted
  };
  const Case cases[] = {
      {kAlphaOnly, "A,-. b", 0},  {kAlphaOnly, "1", 0x0008}, {kNumericOnly, "1 +,-.", 0},
      {kNumericOnly, "A", 0x0009}, {kDigitsOnly, "123", 0},  {kDigitsOnly, "-", 0x0010},
      {kIo, "1", 0x0004},          {kSigned, "12", 0},       {kSigned, "+", 0x0010},
      {kSigned, "12345", 0x0011},  // the sixth cell is the sign
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Session5250 s({.keyboardOptions = kKeyboardLockOnError});
    ASSERT_TRUE(s.Ready());
    s.Host(OneField(c.ffw, 5));
    s.TakeSent();
    s.Type(c.typed);
    if (c.code == 0) {
      EXPECT_EQ(s.E().State(), C5250Engine::kStateNormal);
      continue;
    }
    // The code in the error row, the help request with it to the host at once.
    EXPECT_EQ(Hex(s.Cells(24, 1, 6)),
              Hex(Bytes{0x22, 0xF0, 0xF0, static_cast<std::uint8_t>(0xF0 + (c.code >> 4)),
                        static_cast<std::uint8_t>(0xF0 + (c.code & 15)), 0x27}));
    EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent({static_cast<std::uint8_t>(c.code >> 8), static_cast<std::uint8_t>(c.code)}, 0x01)));
    EXPECT_EQ(s.E().State(), C5250Engine::kStateHelpInError);
    s.Key(k::kErrorReset);
    EXPECT_EQ(s.E().State(), C5250Engine::kStateNormal);
    EXPECT_EQ(s.S().LockReason(), 0);
    EXPECT_EQ(Hex(s.Cells(23)), Hex(Bytes(80, 0)));
  }
  // Without the option an operator error only sounds the alarm.
  Session5250 quiet;
  ASSERT_TRUE(quiet.Ready());
  quiet.Host(OneField(kDigitsOnly, 3));
  quiet.TakeSent();
  quiet.Type("A");
  EXPECT_TRUE(quiet.TakeSent().empty());
  EXPECT_EQ(quiet.Ui().beeps, std::vector<platform::BeepKind>{platform::BeepKind::Exclamation});
  EXPECT_EQ(quiet.E().State(), C5250Engine::kStateNormal);
}

TEST(Keyboard5250, RightAdjustFieldsWaitForFieldExit) {
  for (bool exitRequired : {false, true}) {
    SCOPED_TRACE(exitRequired);
    Session5250 s({.keyboardOptions = kKeyboardLockOnError});
    ASSERT_TRUE(s.Ready());
    s.Host(OneField(kDigitsOnly | kZeroFill | (exitRequired ? kFieldExitRequired : 0), 5));
    s.TakeSent();
    s.Type("12345");
    EXPECT_EQ(s.Cursor(), s.Position(2, 14));  // the last digit keeps the cursor there
    s.Type("6");
    if (exitRequired) {
      EXPECT_EQ(s.E().ErrorCode(), 0x0018);
      s.Key(k::kErrorReset);
      EXPECT_EQ(FieldText(s, 2, 10, 5), "12345");
    } else {
      EXPECT_EQ(FieldText(s, 2, 10, 5), "12346");
    }
  }
  Session5250 s({.keyboardOptions = kKeyboardLockOnError});
  ASSERT_TRUE(s.Ready());
  s.Host(OneField(kDigitsOnly | kZeroFill, 5));
  s.TakeSent();
  s.Type("12");
  s.Key(k::kEnter);  // typed into a right-adjust field without Field Exit
  EXPECT_EQ(s.E().ErrorCode(), 0x0020);
  s.Key(k::kErrorReset);
  s.TakeSent();
  s.Key(k::kFieldExit);
  EXPECT_EQ(FieldText(s, 2, 10, 5), "00012");
  EXPECT_EQ(s.Cursor(), s.Position(3, 10));
  s.Key(k::kEnter);
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent({3, 10, 0xF1, 0x11, 2, 10, 0xF0, 0xF0, 0xF0, 0xF1, 0xF2})));
}

TEST(Keyboard5250, FieldMinusSignsAndEmptyFieldsFinish) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(OneField(kSigned, 6));
  s.Type("123");
  s.Key(k::kFieldMinus);
  EXPECT_EQ(Hex(s.Cells(2, 10, 6)), "40 40 F1 F2 F3 60");
  EXPECT_EQ(s.Cursor(), s.Position(3, 10));
  // Field Exit on an empty blank-filled field ends, blanks to the left.
  for (std::uint16_t ffw : {kSigned, static_cast<std::uint16_t>(kAlpha | kBlankFill)}) {
    s.Host(OneField(ffw, 4));
    s.Key(k::kFieldExit);
    EXPECT_EQ(s.Cursor(), s.Position(3, 10));
  }
  EXPECT_EQ(Hex(s.Cells(2, 10, 4)), "40 40 40 00");
  // Numeric only: the last digit's zone becomes D; a blank becomes D0; anything else 0026.
  s.Host(OneField(kNumericOnly, 4));
  s.Type("12");
  s.Key(k::kFieldMinus);
  EXPECT_EQ(Hex(s.Cells(2, 10, 4)), "F1 F2 40 D0");
  s.Host(OneField(kNumericOnly | kFieldExitRequired, 3));
  s.Type("1.5");
  s.Key(k::kFieldMinus);
  EXPECT_EQ(Hex(s.Cells(2, 10, 3)), "F1 4B D5");
  s.Host(OneField(kNumericOnly | kFieldExitRequired, 3));
  s.Type("1.,");
  s.Key(k::kFieldMinus);
  EXPECT_EQ(Hex(s.Cells(2, 10, 3)), "F1 4B 6B");
  EXPECT_EQ(s.Cursor(), s.Position(2, 12));
}

TEST(Keyboard5250, MandatoryFieldsAndSelfChecks) {
  Session5250 s({.keyboardOptions = kKeyboardLockOnError});
  ASSERT_TRUE(s.Ready());
  const Bytes screen = Record5250().ClearUnit().Wtd().Sba(2, 9).Sof(kAlpha | kMandatoryEnter, 4).Sba(3, 9)
                           .Sof(kAlpha | kMandatoryFill, 3).Sba(4, 9).Sof(kDigitsOnly, 6, 0x24, {0xB1A0})
                           .Sba(5, 9).Sof(kDigitsOnly, 6, 0x24, {0xB140}).ReadMdt();
  s.Host(screen);
  s.TakeSent();
  // Nothing modified: Enter passes though a mandatory-enter field is empty.
  s.Key(k::kEnter);
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent({2, 10, 0xF1})));
  s.Host(screen);
  s.TakeSent();
  s.Key(k::kFieldExit);
  EXPECT_EQ(s.E().ErrorCode(), 0x0021);  // Field Exit in a mandatory-enter field not entered
  s.Key(k::kErrorReset);
  s.Key(k::kTab);
  s.Type("X");
  s.Key(k::kTab);  // a mandatory-fill field neither empty nor full
  EXPECT_EQ(s.E().ErrorCode(), 0x0017);
  EXPECT_EQ(s.Cursor(), s.Position(3, 11));
  s.Key(k::kErrorReset);
  s.Type("YZ");  // full: the cursor tabs on
  EXPECT_EQ(s.Cursor(), s.Position(4, 10));
  s.Type("123456");  // the modulus 10 check digit of 12345 is 5
  EXPECT_EQ(s.E().ErrorCode(), 0x0015);
  EXPECT_EQ(s.Cursor(), s.Position(4, 15));
  s.Key(k::kErrorReset);
  s.Type("5");
  EXPECT_EQ(s.Cursor(), s.Position(5, 10));
  s.Type("123450");  // modulus 11: 12345 needs 5
  EXPECT_EQ(s.E().ErrorCode(), 0x0015);
  s.Key(k::kErrorReset);
  s.Type("5");
  s.Key(k::kEnter);  // a mandatory-enter field left empty, now that fields are modified
  EXPECT_EQ(s.E().ErrorCode(), 0x0007);
  EXPECT_EQ(s.Cursor(), s.Position(2, 10));
  s.Key(k::kErrorReset);
  s.TakeSent();
  s.Type("A");
  s.Key(k::kEnter);
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent({2, 11, 0xF1, 0x11, 2, 10, 0xC1, 0x11, 3, 10, 0xE7, 0xE8, 0xE9, 0x11, 4, 10,
                                         0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF5, 0x11, 5, 10, 0xF1, 0xF2, 0xF3, 0xF4,
                                         0xF5, 0xF5})));
}

TEST(Keyboard5250, SearchesEndOnAScreenWithoutInputFields) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Record5250().ClearUnit().Wtd().Sba(2, 2).Text("No fields").Mc(5, 5));
  s.Key(k::kNewline);
  EXPECT_EQ(s.Cursor(), s.Position(6, 1));
  s.Key(k::kBackspace);
  EXPECT_EQ(s.Cursor(), s.Position(5, 80));
  s.Key(k::kTab);
  EXPECT_EQ(s.Cursor(), 0);
  s.Key(k::kBacktab);
  EXPECT_EQ(s.Cursor(), 0);
  // Positions from scripts, bindings and the mouse stay on the screen.
  s.Key(kf::kCursorTo + 99999);
  EXPECT_EQ(s.Cursor(), 1919);
  s.E().SetCursor(-5, true);
  EXPECT_EQ(s.Cursor(), 0);
  s.E().MouseFunction(k::kCursorMove, 500, 500);
  EXPECT_EQ(s.Cursor(), 1919);
  // Home goes to the first cell; there already, it is Record Backspace.
  s.Key(k::kHome);
  s.Key(k::kHome);
  EXPECT_EQ(s.Cursor(), 0);
  EXPECT_EQ(s.E().PendingAid(), 0xF8);
}

TEST(Keyboard5250, TabFollowsCursorProgressionAndBacktabReturns) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Record5250().ClearUnit().Wtd().Sba(2, 9).Sof(kAlpha, 3, 0x24, {0x8803}).Sba(3, 9).Sof(kAlpha, 3)
             .Sba(4, 9).Sof(kAlpha, 3).Sba(5, 9).Sof(kAlpha | kBypass, 3));
  EXPECT_EQ(s.Cursor(), s.Position(2, 10));
  s.Key(k::kTab);
  EXPECT_EQ(s.Cursor(), s.Position(4, 10));  // field 1 names field 3
  s.Key(k::kBacktab);
  EXPECT_EQ(s.Cursor(), s.Position(2, 10));
  s.Key(k::kCursorDown);
  s.Key(k::kCursorRight);
  s.Key(k::kBacktab);  // inside a field: to its start
  EXPECT_EQ(s.Cursor(), s.Position(3, 10));
  s.Key(k::kBacktab);
  EXPECT_EQ(s.Cursor(), s.Position(2, 10));
  s.Key(k::kBacktab);  // wraps to the last input field; the bypass field is skipped
  EXPECT_EQ(s.Cursor(), s.Position(4, 10));
  s.Key(k::kNewline);
  EXPECT_EQ(s.Cursor(), s.Position(2, 10));
}

TEST(Keyboard5250, EditingKeysAndTheKeyStateTable) {
  Session5250 s({.keyboardOptions = kKeyboardLockOnError});
  ASSERT_TRUE(s.Ready());
  // Power-on: typing works, Enter does not.
  s.Type("Hi");
  EXPECT_EQ(s.Row(0), " Hi");
  s.Key(k::kEnter);
  EXPECT_EQ(s.E().ErrorCode(), 0x0001);
  s.Key(k::kErrorReset);
  s.Host(OneField(kAlpha | kDupOk, 6));
  s.TakeSent();
  s.Type("ABCD");
  s.Key(k::kHome);
  s.Key(k::kDelete);
  EXPECT_EQ(FieldText(s, 2, 10, 6), "BCD   ");
  s.Key(k::kInsert);
  s.Type("XY");
  EXPECT_EQ(FieldText(s, 2, 10, 6), "XYBCD ");
  s.Type("Z");
  EXPECT_EQ(FieldText(s, 2, 10, 6), "XYZBCD");
  s.Type("W");  // the last cell is not null
  EXPECT_EQ(s.E().ErrorCode(), 0x0012);
  s.Key(k::kErrorReset);  // the error ended insert mode
  s.Key(k::kInsert);
  s.Key(k::kFieldExit);  // refused in insert mode
  EXPECT_EQ(s.E().ErrorCode(), 0x0013);
  s.Key(k::kErrorReset);
  s.Key(k::kEraseEof);
  EXPECT_EQ(FieldText(s, 2, 10, 6), "XYZ   ");
  s.Key(k::kDup);
  EXPECT_EQ(FieldText(s, 2, 10, 6), "XYZ***");
  s.Key(k::kEraseInput);
  EXPECT_EQ(FieldText(s, 2, 10, 6), "      ");
  EXPECT_EQ(s.Cursor(), s.Position(2, 10));
  s.Key(k::kTab);
  s.Key(k::kFieldMark);  // not allowed in the second field
  EXPECT_EQ(s.E().ErrorCode(), 0x0019);
  s.Key(k::kErrorReset);
  // A character the code page makes a control (NEL is EBCDIC 0x15) is not typed.
  s.Type("\x85");
  EXPECT_EQ(s.Cells(3, 10, 1), Bytes{0x00});
  EXPECT_EQ(s.Cursor(), s.Position(3, 10));
  // An error on the system request line shares its saved row: Reset ends both.
  s.Key(k::kSystemRequest);
  s.Key(k::kFieldMark);
  EXPECT_EQ(s.E().State(), C5250Engine::kStateHelpInError);
  s.Key(k::kErrorReset);
  EXPECT_EQ(s.E().State(), C5250Engine::kStateNormal);
  EXPECT_EQ(s.E().Format().fields.size(), 2u);
  EXPECT_EQ(Hex(s.Cells(23)), Hex(Bytes(80, 0)));
}

TEST(Keyboard5250, AttentionSystemRequestAndHelp) {
  Session5250 s;
  ASSERT_TRUE(s.Ready());
  s.Host(Record5250().ClearUnit().Wtd().Sba(24, 2).Text("Messages").Sba(2, 9).Sof(kAlpha, 5).ReadMdt());
  s.Key(k::kAttn);
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent({}, 0x40, 0)));
  s.Key(k::kSystemRequest);
  EXPECT_EQ(s.E().State(), C5250Engine::kStateSystemRequest);
  EXPECT_EQ(s.Cells(23)[0], 0x34);
  EXPECT_EQ(s.Cells(23)[79], 0x27);
  EXPECT_EQ(s.Cursor(), s.Position(24, 2));
  s.Key(k::kPrint);  // no AID from the request line
  EXPECT_EQ(s.E().State(), C5250Engine::kStateSystemRequest);
  EXPECT_TRUE(s.TakeSent().empty());
  s.Type("3");
  s.Key(k::kEnter);
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent({0xF3}, 0x04)));
  EXPECT_EQ(s.Row(23), " Messages");
  EXPECT_EQ(s.E().Format().fields.size(), 1u);
  EXPECT_EQ(s.E().State(), C5250Engine::kStateNormal);
  // Help in the error a host reported: the help request carries its code.
  s.Host(Record5250().Command(0x21).Text("Wrong"));
  s.Key(k::kHelp);
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent({0x00, 0x00}, 0x01)));
  EXPECT_EQ(s.Cells(23)[0], 0x22);
  s.Key(k::kErrorReset);
  s.Key(k::kHelp);  // in the normal state: the Help AID
  EXPECT_EQ(Hex(s.TakeSent()), Hex(Sent({2, 10, 0xF3})));
  // Host output ends a system request the operator was typing.
  s.Host(Record5250().Wtd());
  s.Key(k::kSystemRequest);
  s.Type("9");
  s.Host(Record5250().Wtd().Sba(2, 10).Text("X"));
  EXPECT_EQ(s.E().State(), C5250Engine::kStateNormal);
  EXPECT_EQ(s.Row(23), " Messages");
  EXPECT_EQ(s.Row(1), "         X");
  EXPECT_TRUE(s.TakeSent().empty());
}

TEST(Keyboard5250, KeysWhileTheHostIsWaitedForAreTypedAhead) {
  Session5250 s({.typeAhead = 4});
  ASSERT_TRUE(s.Ready());
  s.Host(OneField(kAlpha, 8));
  s.Key(k::kEnter);
  s.TakeSent();
  EXPECT_EQ(s.E().OiaLine().substr(8, 7), "X ENTER");
  s.Type("ABCD");  // a ring of 4 holds 3
  EXPECT_EQ(s.S().TypeAheadCount(), 3u);
  EXPECT_EQ(s.Ui().beeps.size(), 1u);
  s.Host(Record5250().Wtd(0x00, 0x08).ReadMdt());
  s.S().ReplayTypeAhead();
  EXPECT_EQ(FieldText(s, 2, 10, 3), "ABC");
}

TEST(Keyboard5250, PasteModes) {
  // A 5-cell field and a 4-cell field on each of rows 2 and 3, from column 10.
  const Bytes screen = Record5250().ClearUnit().Wtd().Sba(2, 9).Sof(kAlpha, 5).Sba(2, 15).Sof(kAlpha, 4)
                           .Sba(3, 9).Sof(kAlpha, 5).Sba(3, 15).Sof(kDigitsOnly, 4);
  struct Case {
    std::uint32_t mode;
    const char* text;
    const char *row2, *row3;
    std::size_t consumed;
  };
  const Case cases[] = {
      {1, "ABCDEFGH\r\nIJ\tKL", "         ABCDE", "         IJ", 15},
      {2, "ABCDEFGH\nIJKLMNO", "         ABCDE GH", "         IJKLM", 15},
      {4, "ABCDEFG\tHIJKL\nMN", "         ABCDE FG", "         HIJKL", 14},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    Session5250 s({.editOptions = c.mode});
    ASSERT_TRUE(s.Ready());
    s.Host(screen);
    s.E().PasteText(c.text);
    EXPECT_EQ(s.Row(1), c.row2);
    EXPECT_EQ(s.Row(2), c.row3);
    EXPECT_EQ(s.S().PasteOffset(), c.consumed);
    EXPECT_EQ(s.Cursor(), s.Position(2, 10));  // back where the paste began
  }
}

}  // namespace
}  // namespace corvina::test
