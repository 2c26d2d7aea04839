#pragma once
// The printer the preview and the print run work on: always the program's current printer.
#include <QFont>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

class QPrinter;
class QPainter;
class QWidget;

namespace print {

// Sizes in twips; orientation 1 portrait, 2 landscape.
class Printer {
public:
  virtual ~Printer() = default;

  virtual QString deviceName() const = 0;
  virtual QString fontName() const = 0;
  virtual void setFontName(const QString &name) = 0;
  // The size read back may differ from the size set, as the driver chooses.
  virtual double fontSize() const = 0;
  virtual void setFontSize(double points) = 0;
  virtual void setResolution(int dpi) = 0;
  virtual int orientation() const = 0;
  virtual void setOrientation(int orientation) = 0;
  virtual int32_t pageWidth() const = 0;
  virtual int32_t pageHeight() const = 0;
  virtual double textWidth(const QString &text) const = 0;

  // The most lines a page of the coming document will hold, so the line pitch leaves room.
  virtual void setMaxLinesPerPage(int lines) = 0;
  // Each prints on the open document, opening it first where needed. False on a printer error.
  virtual bool printLine(const QString &text) = 0;
  virtual bool newPage() = 0;
  virtual bool endDoc() = 0;
  // Throws away the document being printed; nothing of it reaches paper or file.
  virtual void killDoc() = 0;
  virtual bool documentOpen() const = 0;

  // The printer setup dialog; false when the operator cancels it.
  virtual bool setup(QWidget *parent) = 0;
};

// A printer of Qt Print Support: a system printer, or a PDF file where there is none.
class QtPrinter : public Printer {
public:
  // A system printer by name (the default one when empty).
  explicit QtPrinter(const QString &printerName = {});
  // A PDF printer writing to pdfFile.
  static std::unique_ptr<QtPrinter> pdf(const std::filesystem::path &pdfFile);
  ~QtPrinter() override;

  QString deviceName() const override;
  QString fontName() const override { return fontName_; }
  void setFontName(const QString &name) override { fontName_ = name; }
  double fontSize() const override { return fontSize_; }
  void setFontSize(double points) override { fontSize_ = points; }
  void setResolution(int dpi) override;
  int orientation() const override;
  void setOrientation(int orientation) override;
  int32_t pageWidth() const override;
  int32_t pageHeight() const override;
  double textWidth(const QString &text) const override;
  void setMaxLinesPerPage(int lines) override { maxLines_ = lines; }
  bool printLine(const QString &text) override;
  bool newPage() override;
  bool endDoc() override;
  void killDoc() override;
  bool documentOpen() const override;
  bool setup(QWidget *parent) override;

  // The name shown for this printer instead of the system's (the PDF printer has none).
  void setDisplayName(const QString &name) { displayName_ = name; }
  QPrinter &qprinter() { return *printer_; }
  QFont currentFont() const;

private:
  struct NoSystemPrinter {};
  explicit QtPrinter(NoSystemPrinter);
  bool begin();

  std::unique_ptr<QPrinter> printer_;
  std::unique_ptr<QPainter> painter_;
  QString displayName_;
  QString fontName_ = QStringLiteral("Courier New");
  double fontSize_ = 8;
  int maxLines_ = 0;
  double y_ = 0;      // top of the next line, device pixels
  double pitch_ = 0;  // line pitch of the open document
  double ascent_ = 0; // baseline below the top of a line
  QString pdfTarget_; // where a PDF goes once the document ends
};

// The name of the PDF printer that stands in where no printer is installed.
QString pdfPrinterName(const std::filesystem::path &pdfFile);

// The program's current printer: the system's default printer, else the first one installed,
// else a PDF printer writing STAMPA.PDF beside the report file.
Printer &currentPrinter();
// Replaces the current printer (tests; a later printer choice).
void setCurrentPrinter(std::unique_ptr<Printer> printer);

// The printer setup dialog, replaceable so that tests answer it. By default Qt's print dialog.
using PrinterDialogFunction = std::function<bool(QPrinter &, QWidget *parent)>;
PrinterDialogFunction &printerDialogFunction();

} // namespace print
