#pragma once
// A shown window with the typed box and a second line edit to move the focus to.
#include "widgets/ctextbox.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>
#include <ostream>
#include <utility>

inline void PrintTo(const QString &s, std::ostream *os) {
  *os << '"' << s.toStdString() << '"';
}

class TextBoxTest : public ::testing::Test {
protected:
  void SetUp() override {
    auto *layout = new QVBoxLayout(&window);
    edit = new QLineEdit(&window);
    other = new QLineEdit(&window);
    layout->addWidget(edit);
    layout->addWidget(other);
    window.show();
    QObject::connect(&box, &CTextBox::ErrDigitazione, [this](const QString &m) { messages << m; });
    QObject::connect(&box, &CTextBox::InvalidKey, [this](int16_t k, int16_t s) {
      invalidKeys.push_back({k, s});
    });
    QObject::connect(&box, &CTextBox::ValidationError,
                     [this](int32_t code) { validationErrors.push_back(code); });
  }

  // The caret as the handlers see it: the start of the selection.
  int caret() const {
    return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
  }
  int selection() const { return edit->hasSelectedText() ? edit->selectionLength() : 0; }

  void type(const char *keys) { QTest::keyClicks(edit, QString::fromLatin1(keys)); }
  void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(edit, key, mods);
  }

  // A number box set up as the bulk modify does it, past its first reformatting.
  void numberBox(int32_t type, const char *mask) {
    box.Init(edit, type);
    box.ValidationMask = QString::fromLatin1(mask);
    box.setValue(CTVariant::null());
    box.AutoHighlight = true;
  }

  QWidget window;
  QLineEdit *edit = nullptr;
  QLineEdit *other = nullptr;
  CTextBox box;
  QStringList messages;
  std::vector<std::pair<int, int>> invalidKeys;
  std::vector<int> validationErrors;
};

#define EXPECT_BOX(wantText, wantCaret, wantSelection)                                             \
  do {                                                                                             \
    EXPECT_EQ(edit->text(), QString::fromUtf8(wantText));                                          \
    EXPECT_EQ(caret(), wantCaret) << "text " << edit->text().toStdString();                        \
    EXPECT_EQ(selection(), wantSelection) << "text " << edit->text().toStdString();                \
  } while (0)
