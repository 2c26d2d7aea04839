// Conversions, the character check, the full validation and the string operations.
#include "textbox_fixture.h"

namespace {

int errorOf(const std::function<void()> &f) {
  try {
    f();
  } catch (const TextBoxError &e) {
    return e.number();
  }
  return 0;
}

} // namespace

TEST_F(TextBoxTest, VarTypeRefusesUnknownCodesAndKeepsTheOldOne) {
  box.Init(edit, 3);
  try {
    box.setVarType(9);
    FAIL() << "no error";
  } catch (const TextBoxError &e) {
    EXPECT_EQ(e.number(), 5);
    EXPECT_EQ(e.source(), "CTextBox");
    EXPECT_EQ(e.description(), "Invalid value for VarType property");
  }
  EXPECT_EQ(box.VarType(), 3);
  // Init attaches the box before the type is refused
  CTextBox fresh;
  EXPECT_EQ(errorOf([&] { fresh.Init(other, 11); }), 5);
  EXPECT_EQ(fresh.box(), other);
}

TEST_F(TextBoxTest, BeforeInitNothingIsAttached) {
  EXPECT_TRUE(box.Value().isEmpty());
  EXPECT_EQ(errorOf([&] { box.valore(); }), 91);
  EXPECT_EQ(errorOf([&] { box.ValoreNum(); }), 91);
  EXPECT_EQ(errorOf([&] { box.Validate(); }), 91);
  EXPECT_EQ(errorOf([&] { box.setUpperCase(true); }), 91);
  box.setValue(CTVariant(5.0)); // silently nothing
  EXPECT_EQ(edit->text(), "");
}

TEST_F(TextBoxTest, IntegerConversionsAndTheirErrorValues) {
  box.Init(edit, 3);
  box.setValue(CTVariant("abc"));
  EXPECT_EQ(edit->text(), "");
  EXPECT_EQ(box.Value().errorCode(), 13);
  EXPECT_EQ(box.valore(), "");
  EXPECT_EQ(errorOf([&] { box.ValoreNum(); }), 13);

  box.setValue(CTVariant(1234.5)); // nearest integer, halves to the even one
  EXPECT_EQ(edit->text(), "1234");
  box.setValue(CTVariant(1235.5));
  EXPECT_EQ(edit->text(), "1236");
  EXPECT_EQ(box.Value(), CTVariant(int32_t(1236)));
  EXPECT_EQ(box.ValoreNum(), CTVariant(int32_t(1236)));

  box.setVarType(2);
  edit->setText("40000");
  EXPECT_EQ(box.Value().errorCode(), 6);
  EXPECT_EQ(errorOf([&] { box.ValoreNum(); }), 6);
  box.setVarType(17);
  edit->setText("255");
  EXPECT_EQ(box.Value(), CTVariant(uint8_t(255)));
  edit->setText("256");
  EXPECT_EQ(box.Value().errorCode(), 6);
}

TEST_F(TextBoxTest, RealConversionsReadItalianForms) {
  box.Init(edit, 5);
  box.ValidationMask = "#########0.000";
  edit->setText("1.234,5");
  EXPECT_EQ(edit->text(), "1234,500") << "the owner's text is put through the mask";
  box.ValidationMask = "#,##0.0";
  edit->setText("1.234,5");
  EXPECT_EQ(edit->text(), "1.234,5");
  EXPECT_EQ(box.Value(), CTVariant(1234.5));
  EXPECT_EQ(box.valore(), "1234.5");
  EXPECT_EQ(box.ValoreNum(), CTVariant(1234.5));
  box.setValue(CTVariant(0.1));
  EXPECT_EQ(edit->text(), "0,1");
  EXPECT_EQ(CTVariant(-2.5e20).toText(), "-2,5E+20");
  EXPECT_EQ(CTVariant(0.00001).toText(), "1E-05");
  box.ValidationMask.clear();
  box.setVarType(4);
  box.setValue(CTVariant(1.0 / 3));
  EXPECT_EQ(edit->text(), "0,3333333");
}

TEST_F(TextBoxTest, CurrencyAndDecimalConvert) {
  box.Init(edit, 6);
  box.setValue(CTVariant(12.5));
  EXPECT_EQ(edit->text(), "12,5");
  box.ValidationMask = "#,##0.0000"; // grouping points need a mask
  edit->setText("1.234,56785");
  EXPECT_EQ(box.Value(), CTVariant(CTCurrency{12345678})) << "four places, halves to even";
  EXPECT_EQ(box.valore(), "1234.56785");
  EXPECT_EQ(box.ValoreNum(), CTVariant(CTCurrency{12345678}));

  box.ValidationMask.clear();
  box.setVarType(14);
  edit->setText("-12,345");
  EXPECT_EQ(edit->text(), "-12,345");
  EXPECT_EQ(box.Value(), CTVariant(CTDecimal{true, 12345, 3}));
  EXPECT_EQ(box.valore(), "-12,345") << "decimal is written as shown";
}

TEST_F(TextBoxTest, DateConversions) {
  box.Init(edit, 7);
  box.setValue(CTVariant(QDateTime(QDate(2024, 3, 15), QTime(10, 30))));
  EXPECT_EQ(edit->text(), "15/03/2024") << "the box holds the day only";
  EXPECT_EQ(box.Value(), CTVariant(QDate(2024, 3, 15)));
  EXPECT_EQ(box.valore(), "15/03/2024");
  EXPECT_EQ(box.ValoreNum(), CTVariant("15/03/2024"));
  box.setValue(CTVariant(45366.0)); // a number of days
  EXPECT_EQ(edit->text(), "15/03/2024");
  // Noon of 1 January 100 is a date of the first day Access holds; the day before is not.
  EXPECT_NO_THROW(CTVariant(-657434.5).convertTo(7));
  EXPECT_ANY_THROW(CTVariant(-657435.0).convertTo(7));
  edit->setText("15/0");
  EXPECT_EQ(box.Value().errorCode(), 13);
  box.setValue(CTVariant::null());
  EXPECT_EQ(edit->text(), "");
  EXPECT_EQ(box.Value().errorCode(), 13);
}

TEST_F(TextBoxTest, RangeClampsWhenEnforced) {
  box.Init(edit, 3);
  box.EnforceRange = true;
  box.Min = CTVariant(int32_t(0));
  box.Max = CTVariant(int32_t(100));
  box.setValue(CTVariant(int32_t(150)));
  EXPECT_EQ(edit->text(), "100");
  edit->setText("-5");
  EXPECT_EQ(edit->text(), "-5");
  EXPECT_EQ(box.Value(), CTVariant(int32_t(0)));
  box.setValue(CTVariant("abc")); // empty compares as 0: not below Min
  EXPECT_EQ(edit->text(), "");
  box.Min = CTVariant(int32_t(1));
  box.setValue(CTVariant("abc"));
  EXPECT_EQ(edit->text(), "1");
  edit->setText("");
  EXPECT_EQ(box.Value().errorCode(), 13) << "no clamping of a failed conversion";
}

// Validate reads the box's text; a type 8 box takes any text, so the check of another type
// is seen by switching the type afterwards.
class CheckTest : public TextBoxTest {
protected:
  int check(int type, const char *text) {
    box.setVarType(8);
    edit->setText(QString::fromUtf8(text));
    box.setVarType(type);
    return box.Validate() ? 0 : box.ErCode();
  }
  void SetUp() override {
    TextBoxTest::SetUp();
    box.Init(edit, 8);
  }
};

TEST_F(CheckTest, CharacterCheckByType) {
  EXPECT_EQ(check(5, "12,5"), 0);
  EXPECT_EQ(check(5, "12,5,3"), 1);
  EXPECT_EQ(check(3, "12,5"), 1);
  EXPECT_EQ(check(14, "12,5"), 0);
  EXPECT_EQ(check(7, "01/02/2024"), 0);
  EXPECT_EQ(check(7, "01-02-2024"), 0);
  EXPECT_EQ(check(7, "01-02/2024"), 1);
  EXPECT_EQ(check(7, "1/2/3/4"), 1);
  EXPECT_EQ(check(17, "-1"), 1);
  EXPECT_EQ(check(3, "0-5"), 3) << "admitted as -05, but no number";
  EXPECT_EQ(check(3, "1.5"), 1) << "no point without a mask";
  box.ValidationMask = "############0";
  EXPECT_EQ(check(3, "1.500"), 2) << "admitted, then the mask has no point";
  box.ValidationMask.clear();
  box.Min = CTVariant(int32_t(1));
  EXPECT_EQ(check(3, "-5"), 1);
  box.Min = CTVariant(int32_t(0));
  EXPECT_EQ(check(3, "-5"), 4);
  EXPECT_EQ(check(3, "5-"), 1);
  box.Min = CTVariant();
  EXPECT_EQ(check(3, "-5"), 0);
  EXPECT_EQ(check(8, "qualunque \"testo\""), 0);
}

TEST_F(CheckTest, ValidateCodes) {
  box.ValidationMask = "#########0.000";
  EXPECT_EQ(check(5, "12,500"), 0);
  EXPECT_EQ(check(5, "12,5"), 2);
  EXPECT_EQ(check(5, "-1,500"), 0);
  EXPECT_EQ(check(5, "1.234,500"), 2) << "grouping is not in the mask";
  EXPECT_EQ(check(5, ""), 3) << "the empty text is no number";
  box.ValidationMask = "############0";
  EXPECT_EQ(check(2, "40000"), 3) << "overflow";
  box.ValidationMask = "#########0.000";
  box.Min = CTVariant(10.0);
  box.Max = CTVariant(100.0);
  EXPECT_EQ(check(5, "5,000"), 4);
  EXPECT_EQ(check(5, "500,000"), 5);
  EXPECT_EQ(check(5, "50,000"), 0);
  box.EnforceRange = true; // the value read is clamped, so the range holds
  EXPECT_EQ(check(5, "500,000"), 0);
  box.EnforceRange = false;
  box.Min = box.Max = CTVariant();
  box.ValidationMask = "##/##/####";
  EXPECT_EQ(check(8, "abc"), 2);
  EXPECT_EQ(check(7, "12/03/2024"), 0);
  EXPECT_EQ(check(7, "31/02/2024"), 3);
}

TEST(TextBoxStrings, Operations) {
  EXPECT_EQ(CTextBox::CTCambia("a,b,c", ",", ";", 2), "a,b;c");
  EXPECT_EQ(CTextBox::CTCambia("a,b,c", ",", ";", 0), "a;b;c");
  EXPECT_EQ(CTextBox::CTCambia("a,b,c", ",", "", 1), "ab,c");
  EXPECT_EQ(CTextBox::CTCambia("a,,b", ",,", ";", 0), "a,,b") << "one character is compared";
  EXPECT_EQ(CTextBox::CTTogli("1.2.3", ".", 0), "123");
  EXPECT_EQ(CTextBox::CTTogli("1.2.3", ".", 2), "12.3");
  EXPECT_EQ(CTextBox::CTTogli("1.2.3", ".", 3), "1.2.3");
  EXPECT_EQ(CTextBox::CTAllineaSx("ab", 5, "xyz"), "abxxx");
  EXPECT_EQ(CTextBox::CTAllineaDx("ab", 5, "*"), "***ab");
  EXPECT_EQ(CTextBox::CTAllineaSx("abcdef", 3, "x"), "abcdef");
  EXPECT_EQ(CTextBox::CTAllineaDx("abc", 3, ""), "abc");
  EXPECT_EQ(errorOf([] { CTextBox::CTAllineaSx("ab", 5, ""); }), 5);
  EXPECT_EQ(errorOf([] { CTextBox::CTAllineaDx("ab", 5, ""); }), 5);
}

TEST(TextBoxStrings, Maschera) {
  EXPECT_EQ(CTextBox::CTMaschera("1234,5", "#########0.000"), "1234,500");
  EXPECT_EQ(CTextBox::CTMaschera("-7", "############0"), "-7");
  EXPECT_EQ(CTextBox::CTMaschera("-", "#########0.000"), "-");
  EXPECT_EQ(CTextBox::CTMaschera("", "#########0.000"), "");
  EXPECT_EQ(CTextBox::CTMaschera("abc", "#########0.000"), "abc");
  EXPECT_EQ(CTextBox::CTMaschera("52,7000", "#########0.000"), "52,700");
  EXPECT_EQ(CTextBox::CTMaschera("0,0005", "#########0.000"), "0,001") << "nearest, half up";
  EXPECT_EQ(CTextBox::CTMaschera("2,5", "############0"), "3");
  EXPECT_EQ(CTextBox::CTMaschera("1.234.567,891", "#,##0.00"), "1.234.567,89");
  EXPECT_EQ(CTextBox::CTMaschera("0,5", "#.##"), ",5");
  EXPECT_EQ(CTextBox::CTMaschera("007", "000"), "007");
  EXPECT_EQ(CTextBox::CTMaschera("-0,000", "#########0.000"), "-0,000");
  EXPECT_EQ(CTextBox::CTMaschera("1,5", "#0.0#"), "1,5");
}
