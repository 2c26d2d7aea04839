#pragma once
// The about box.
#include <QDialog>

class QLabel;
class QPushButton;

class Form_info : public QDialog {
  Q_OBJECT
public:
  explicit Form_info(QWidget *genitore = nullptr);

  QLabel *Label2;         // the product
  QLabel *Label_versione; // "Ver. " and the program's version
  QLabel *Label1;         // the maker
  QPushButton *btnChiudi;

  void Form_Load();
};
