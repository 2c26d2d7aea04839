// Real key events typed into the box: text, caret and selection after each key.
#include "textbox_fixture.h"

TEST_F(TextBoxTest, DateTypedDigitByDigitGetsSeparatorsAndCentury) {
  box.Init(edit, 7);
  box.ValidationMask = "##/##/####";
  type("1");
  EXPECT_BOX("1", 1, 0);
  type("5");
  EXPECT_BOX("15/", 3, 0);
  type("0");
  EXPECT_BOX("15/0", 4, 0);
  type("3");
  EXPECT_BOX("15/03/20", 8, 0);
  type("2");
  EXPECT_BOX("15/03/202", 9, 0);
  type("4");
  EXPECT_BOX("15/03/2024", 10, 0);
  type("9");
  EXPECT_BOX("15/03/2024", 10, 0);
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(box.Value().as<CTDate>().date(), QDate(2024, 3, 15));
}

TEST_F(TextBoxTest, DateMessagesAndWhatTheyLeave) {
  box.Init(edit, 7);
  struct Case {
    const char *keys;
    const char *message;
    const char *left;
  } cases[] = {
      {"32", "Giorno errato", ""},
      {"00", "Giorno errato", ""},
      {"3104", "Giorno o mese errati", "31/"},
      {"3111", "Giorno o mese errati", "31/"},
      {"1513", "Mese errato", "15/"},
      {"1500", "Mese errato", "15/"},
      {"290223", "L'anno non è bisestile", "29/02/202"},
      {"300224", "Data errata", ""},
  };
  for (const Case &c : cases) {
    box.setValue(CTVariant::null());
    messages.clear();
    type(c.keys);
    EXPECT_EQ(messages, QStringList{QString::fromUtf8(c.message)}) << c.keys;
    EXPECT_EQ(edit->text(), QString::fromUtf8(c.left)) << c.keys;
    EXPECT_EQ(caret(), edit->text().size()) << c.keys;
  }
  box.setValue(CTVariant::null());
  messages.clear();
  type("290224");
  EXPECT_BOX("29/02/2024", 10, 0);
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(TextBoxTest, DateWrittenByTheProgramIsCheckedToo) {
  box.Init(edit, 7);
  box.setValue(CTVariant(QDate(1899, 1, 1)));
  EXPECT_EQ(messages, QStringList{"Anno troppo basso"});
  EXPECT_EQ(edit->text(), "01/01/");
  messages.clear();
  box.setValue(CTVariant("7/3/2024"));
  EXPECT_EQ(edit->text(), "07/03/2024");
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(TextBoxTest, DateBackspaceNeverReformats) {
  box.Init(edit, 7);
  type("1503");
  EXPECT_BOX("15/03/20", 8, 0);
  const char *after[] = {"15/03/2", "15/03/", "15/03", "15/0", "15/", "15", "1", ""};
  for (const char *text : after) {
    press(Qt::Key_Backspace);
    EXPECT_BOX(text, int(strlen(text)), 0);
  }
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(TextBoxTest, DateRefusesALetterAndRestoresTheCaret) {
  box.Init(edit, 7);
  type("150");
  press(Qt::Key_Left);
  press(Qt::Key_X, Qt::ShiftModifier);
  EXPECT_BOX("15/0", 3, 0);
  ASSERT_EQ(invalidKeys.size(), 1u);
  EXPECT_EQ(invalidKeys[0], std::make_pair(88, 1));
}

TEST_F(TextBoxTest, NumberMaskTypedFiveTwoCommaSeven) {
  numberBox(5, "#########0.000");
  EXPECT_BOX("", 0, 0);
  type("5");
  EXPECT_BOX("5,000", 1, 0);
  type("2");
  EXPECT_BOX("52,000", 2, 0);
  type(",");
  EXPECT_BOX("52,000", 3, 0);
  type("7");
  EXPECT_BOX("52,700", 4, 0);
  // three decimals are allowed and all are there
  press(Qt::Key_End);
  type("9");
  EXPECT_BOX("52,700", 6, 0);
  EXPECT_TRUE(invalidKeys.empty());
  EXPECT_EQ(box.valore(), "52.700");
}

TEST_F(TextBoxTest, NumberMaskFullStopAndKeypadDecimalStepOverTheComma) {
  numberBox(5, "#########0.000");
  type("52");
  type(".");
  EXPECT_BOX("52,000", 3, 0);
  press(Qt::Key_Home);
  press(Qt::Key_Right);
  press(Qt::Key_Right);
  press(Qt::Key_Period, Qt::KeypadModifier);
  EXPECT_BOX("52,000", 3, 0);
  EXPECT_TRUE(invalidKeys.empty());
}

TEST_F(TextBoxTest, NumberMaskDeleteBeforeTheCommaStepsOverIt) {
  numberBox(5, "#########0.000");
  type("52");
  press(Qt::Key_Delete);
  EXPECT_BOX("52,000", 3, 0);
  press(Qt::Key_Delete);
  EXPECT_BOX("52,000", 3, 0); // the deleted decimal is put back by the mask
}

TEST_F(TextBoxTest, NumberMaskBackspaceOverTheCommaMovesLeft) {
  numberBox(5, "#########0.000");
  type("52,7");
  edit->setCursorPosition(3);
  press(Qt::Key_Backspace);
  EXPECT_BOX("52,700", 2, 0);
  press(Qt::Key_Backspace);
  EXPECT_BOX("5,700", 1, 0);
}

TEST_F(TextBoxTest, NumberMaskMinusAloneAndRemovedAtZero) {
  numberBox(5, "#########0.000");
  type("-");
  EXPECT_BOX("-0,000", 2, 0);
  press(Qt::Key_Backspace);
  EXPECT_BOX("0,000", 1, 0);
  // a minus in front of a value other than 0 is deleted the ordinary way
  box.setValue(CTVariant::null());
  type("-3");
  EXPECT_BOX("-3,000", 2, 0);
  edit->setCursorPosition(1);
  press(Qt::Key_Backspace);
  EXPECT_EQ(edit->text(), "3,000");
}

TEST_F(TextBoxTest, IntegerMaskSelectsTheLastPlaceOnceFull) {
  numberBox(3, "############0");
  type("123456789012");
  EXPECT_BOX("123456789012", 12, 0);
  type("3");
  EXPECT_BOX("1234567890123", 12, 1);
  type("9");
  EXPECT_BOX("1234567890129", 12, 1);
  EXPECT_EQ(box.Value().errorCode(), 6) << "over the 32-bit range";
}

TEST_F(TextBoxTest, IntegerMaskFullTextWithCaretAtTheStartSelectsTheFirstPlace) {
  numberBox(5, "############0");
  box.setValue(CTVariant(12345678901234.0));
  EXPECT_BOX("12345678901234", 0, 0);
  press(Qt::Key_Delete);
  EXPECT_BOX("2345678901234", 0, 1);
}

TEST_F(TextBoxTest, RealWithoutMaskTakesOneCommaFromFullStopOrKeypad) {
  box.Init(edit, 4);
  type("12.");
  EXPECT_BOX("12,", 3, 0);
  EXPECT_TRUE(invalidKeys.empty()) << "the refused second comma came from a cancelled key";
  box.setValue(CTVariant::null());
  type("7");
  press(Qt::Key_Period, Qt::KeypadModifier);
  EXPECT_BOX("7,", 2, 0);
  // with a comma there already, the synthesized comma goes through the same handlers and is
  // refused as the comma key would be
  type("5.");
  EXPECT_BOX("7,5", 3, 0);
  ASSERT_EQ(invalidKeys.size(), 1u);
  EXPECT_EQ(invalidKeys[0], std::make_pair(188, 0));
}

TEST_F(TextBoxTest, LetterInANumberBoxIsUndoneWithInvalidKey) {
  numberBox(5, "#########0.000");
  type("5");
  type("a");
  EXPECT_BOX("5,000", 1, 0);
  ASSERT_EQ(invalidKeys.size(), 1u);
  EXPECT_EQ(invalidKeys[0], std::make_pair(65, 0));
  // a selection is restored as it was
  edit->setSelection(0, 2);
  QTest::keyRelease(edit, Qt::Key_Shift); // key-up records the accepted state
  press(Qt::Key_Slash);
  EXPECT_BOX("5,000", 0, 2);
  EXPECT_EQ(invalidKeys.back(), std::make_pair(191, 0));
}

TEST_F(TextBoxTest, MinusAdmittedOnlyFirstAndOnlyWithoutAPositiveMin) {
  box.Init(edit, 3);
  type("5-");
  EXPECT_BOX("5", 1, 0);
  EXPECT_EQ(invalidKeys.size(), 1u);
  box.setValue(CTVariant::null());
  type("-");
  EXPECT_BOX("-0", 0, 0);
  box.Min = CTVariant(int32_t(1));
  box.setValue(CTVariant::null());
  invalidKeys.clear();
  type("-");
  EXPECT_BOX("", 0, 0);
  ASSERT_EQ(invalidKeys.size(), 1u);
  EXPECT_EQ(invalidKeys[0], std::make_pair(189, 0));
  box.Min = CTVariant(int32_t(0));
  type("-");
  EXPECT_EQ(edit->text(), "-0") << "a lone minus becomes -0";
}

TEST_F(TextBoxTest, TextLengthLimit) {
  box.Init(edit, 8);
  box.setLunghezza(5);
  type("abcdef");
  EXPECT_BOX("abcde", 5, 0);
  edit->setCursorPosition(2);
  type("x");
  EXPECT_BOX("abxcd", 3, 0);
}

// Quotes and apostrophes are the operator's data: they arrive as typed.
TEST_F(TextBoxTest, TextQuotesAndUpperCase) {
  box.Init(edit, 8);
  type("a\"b'c");
  EXPECT_BOX("a\"b'c", 5, 0);
  box.setUpperCase(true);
  EXPECT_EQ(edit->text(), "A\"B'C");
  edit->setCursorPosition(5);
  type("xy'z");
  EXPECT_BOX("A\"B'CXY'Z", 9, 0);
  box.setValue(CTVariant("mixed Case"));
  EXPECT_EQ(edit->text(), "MIXED CASE");
  EXPECT_TRUE(invalidKeys.empty());
}

TEST_F(TextBoxTest, FocusSelectsAllAndLeavingReportsTheFailedCheck) {
  numberBox(5, "#########0.000");
  box.setValue(CTVariant(12.5));
  EXPECT_EQ(edit->text(), "12,500");
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  other->setFocus(Qt::OtherFocusReason);
  edit->setFocus(Qt::OtherFocusReason);
  ASSERT_TRUE(edit->hasFocus());
  EXPECT_BOX("12,500", 0, 6);
  other->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(validationErrors.empty());

  // a text that the mask does not match, written by the owner
  box.AutoHighlight = false;
  edit->setText("12,5");
  EXPECT_EQ(edit->text(), "12,500") << "the owner's write is reformatted";
  box.ValidationMask = "##0.0";
  edit->setFocus(Qt::OtherFocusReason);
  other->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(validationErrors, std::vector<int>{2});
  EXPECT_EQ(edit->text(), "12,500") << "the text stays as it is";
}

TEST_F(TextBoxTest, OwnerWriteOfARefusedTextIsUndoneWithoutInvalidKey) {
  box.Init(edit, 3);
  type("42");
  edit->setText("4x2");
  EXPECT_BOX("42", 2, 0);
  EXPECT_TRUE(invalidKeys.empty());
}

// The bulk modify's order: Init, mask, the current row's value, AutoHighlight, focus.
TEST_F(TextBoxTest, NewValueTypedOverTheCurrentRowsValue) {
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  box.Init(edit, 5);
  box.ValidationMask = "#########0.000";
  box.setValue(CTVariant(12.5));
  box.AutoHighlight = true;
  EXPECT_EQ(edit->text(), "12,500");
  other->setFocus(Qt::OtherFocusReason);
  edit->setFocus(Qt::OtherFocusReason);
  EXPECT_BOX("12,500", 0, 6);
  type("7");
  EXPECT_BOX("7,000", 1, 0);
  type("-");
  EXPECT_BOX("7,000", 1, 0); // a minus after the first place is refused
  EXPECT_EQ(invalidKeys.size(), 1u);
  press(Qt::Key_Home);
  type("-");
  EXPECT_BOX("-7,000", 1, 0);
  EXPECT_EQ(box.valore(), "-7.000");

  box.Init(edit, 3);
  box.ValidationMask = "############0";
  box.setValue(CTVariant(int32_t(42)));
  EXPECT_EQ(edit->text(), "42");
  other->setFocus(Qt::OtherFocusReason);
  edit->setFocus(Qt::OtherFocusReason);
  type("-5");
  EXPECT_BOX("-5", 2, 0);
  EXPECT_EQ(box.valore(), "-5");

  box.Init(edit, 7);
  box.ValidationMask = "##/##/####";
  box.setValue(CTVariant(QDate(2023, 12, 31)));
  EXPECT_EQ(edit->text(), "31/12/2023");
  other->setFocus(Qt::OtherFocusReason);
  edit->setFocus(Qt::OtherFocusReason);
  type("010124");
  EXPECT_BOX("01/01/2024", 10, 0);
  EXPECT_EQ(box.valore(), "01/01/2024");
  other->setFocus(Qt::OtherFocusReason);
  EXPECT_TRUE(validationErrors.empty());
}

TEST_F(TextBoxTest, CharactersBeyondAsciiPassAndTakeUpperCase) {
  box.Init(edit, 8);
  box.setUpperCase(true);
  auto typeChar = [this](int key, const QString &text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(edit, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(edit, &release);
  };
  typeChar(Qt::Key_Egrave, QString::fromUtf8("è"));
  typeChar(Qt::Key_unknown, QString::fromUtf8("가"));
  typeChar(Qt::Key_unknown, QString::fromUtf8("ω"));
  EXPECT_BOX("È가Ω", 3, 0);
}
