#include "print/stampante.h"

#include "print/rapporto.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <algorithm>
#include <cmath>

namespace print {

namespace {

std::unique_ptr<Printer> &current() {
  static std::unique_ptr<Printer> p;
  return p;
}

bool defaultDialog(QPrinter &printer, QWidget *parent) {
  QPrintDialog dlg(&printer, parent);
  dlg.setWindowTitle(QStringLiteral("Imposta Stampante"));
  dlg.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
  // The dialog only chooses the printer: its accept button does not print.
  for (QDialogButtonBox *box : dlg.findChildren<QDialogButtonBox *>())
    if (QPushButton *ok = box->button(QDialogButtonBox::Ok))
      ok->setText(QStringLiteral("OK"));
  return dlg.exec() == QDialog::Accepted;
}

int32_t toTwips(double millimetres) {
  return static_cast<int32_t>(std::lround(millimetres * 1440.0 / 25.4));
}

} // namespace

QString pdfPrinterName(const std::filesystem::path &pdfFile) {
  return QStringLiteral("Stampa su PDF (%1)")
      .arg(QFileInfo(QString::fromStdString(pdfFile.string())).fileName());
}

QtPrinter::QtPrinter(const QString &printerName) {
  QPrinterInfo info = printerName.isEmpty() ? QPrinterInfo::defaultPrinter()
                                            : QPrinterInfo::printerInfo(printerName);
  printer_ = info.isNull() ? std::make_unique<QPrinter>(QPrinter::HighResolution)
                           : std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

QtPrinter::QtPrinter(NoSystemPrinter)
    : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

std::unique_ptr<QtPrinter> QtPrinter::pdf(const std::filesystem::path &pdfFile) {
  auto p = std::unique_ptr<QtPrinter>(new QtPrinter(NoSystemPrinter{}));
  p->printer_->setOutputFormat(QPrinter::PdfFormat);
  p->printer_->setOutputFileName(QString::fromStdString(pdfFile.string()));
  // An A4 sheet with the narrow margins of an office printer's printable area.
  p->printer_->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter));
  p->setDisplayName(pdfPrinterName(pdfFile));
  return p;
}

QtPrinter::~QtPrinter() {
  if (documentOpen())
    killDoc();
}

QString QtPrinter::deviceName() const {
  return displayName_.isEmpty() ? printer_->printerName() : displayName_;
}

void QtPrinter::setResolution(int dpi) {
  if (!documentOpen())
    printer_->setResolution(dpi);
}

int QtPrinter::orientation() const {
  return printer_->pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
}

void QtPrinter::setOrientation(int orientation) {
  if (!documentOpen())
    printer_->setPageOrientation(orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
}

int32_t QtPrinter::pageWidth() const {
  return toTwips(printer_->pageLayout().paintRect(QPageLayout::Millimeter).width());
}

int32_t QtPrinter::pageHeight() const {
  return toTwips(printer_->pageLayout().paintRect(QPageLayout::Millimeter).height());
}

QFont QtPrinter::currentFont() const {
  // Device fonts of a text-only printer ("Roman 10cpi") exist only inside its driver; the
  // fixed-pitch face of the report stands in for them where the system lacks them.
  QFont f(fontName_.startsWith(QStringLiteral("Roman ")) && !QFontDatabase::hasFamily(fontName_)
              ? QStringLiteral("Courier New")
              : fontName_);
  f.setStyleHint(QFont::TypeWriter);
  f.setPointSizeF(fontSize_);
  return f;
}

double QtPrinter::textWidth(const QString &text) const {
  QFontMetricsF fm(currentFont(), printer_.get());
  return fm.horizontalAdvance(text) * 1440.0 / printer_->resolution();
}

bool QtPrinter::documentOpen() const {
  return painter_ && painter_->isActive();
}

bool QtPrinter::begin() {
  if (documentOpen())
    return true;
  if (printer_->outputFormat() == QPrinter::PdfFormat) {
    // The file appears only once the document is whole.
    pdfTarget_ = printer_->outputFileName();
    printer_->setOutputFileName(pdfTarget_ + QStringLiteral(".part"));
  }
  painter_ = std::make_unique<QPainter>();
  if (!painter_->begin(printer_.get())) {
    painter_.reset();
    if (!pdfTarget_.isEmpty()) {
      printer_->setOutputFileName(pdfTarget_);
      pdfTarget_.clear();
    }
    return false;
  }
  const QFont f = currentFont();
  painter_->setFont(f);
  painter_->setPen(Qt::black);
  QFontMetricsF fm(f, printer_.get());
  pitch_ = fm.lineSpacing();
  ascent_ = fm.ascent();
  const double height = printer_->pageLayout().paintRectPixels(printer_->resolution()).height();
  if (maxLines_ > 0)
    pitch_ = std::min(pitch_, height / maxLines_);
  y_ = 0;
  return true;
}

bool QtPrinter::printLine(const QString &text) {
  if (!begin())
    return false;
  const double height = printer_->pageLayout().paintRectPixels(printer_->resolution()).height();
  if (y_ > 0 && y_ + pitch_ > height + 0.5) { // past the bottom: the sheet goes out by itself
    if (!printer_->newPage())
      return false;
    y_ = 0;
  }
  painter_->drawText(QPointF(0, y_ + ascent_), text);
  y_ += pitch_;
  return painter_->isActive();
}

bool QtPrinter::newPage() {
  if (!begin())
    return false;
  y_ = 0;
  return printer_->newPage();
}

bool QtPrinter::endDoc() {
  if (!documentOpen())
    return true;
  bool ok = painter_->end();
  painter_.reset();
  if (!pdfTarget_.isEmpty()) {
    const QString part = printer_->outputFileName();
    printer_->setOutputFileName(pdfTarget_);
    if (ok) {
      QFile::remove(pdfTarget_);
      ok = QFile::rename(part, pdfTarget_);
    }
    if (!ok)
      QFile::remove(part);
    pdfTarget_.clear();
  }
  return ok;
}

void QtPrinter::killDoc() {
  if (!documentOpen())
    return;
  printer_->abort();
  painter_->end();
  painter_.reset();
  if (!pdfTarget_.isEmpty()) {
    QFile::remove(printer_->outputFileName());
    printer_->setOutputFileName(pdfTarget_);
    pdfTarget_.clear();
  }
}

bool QtPrinter::setup(QWidget *parent) {
  if (documentOpen() || !printerDialogFunction())
    return false;
  if (!printerDialogFunction()(*printer_, parent))
    return false;
  if (printer_->outputFormat() == QPrinter::PdfFormat)
    displayName_ = pdfPrinterName(printer_->outputFileName().toStdString());
  else
    displayName_.clear();
  return true;
}

Printer &currentPrinter() {
  if (!current()) {
    QPrinterInfo def = QPrinterInfo::defaultPrinter();
    const QList<QPrinterInfo> all = QPrinterInfo::availablePrinters();
    if (!def.isNull())
      current() = std::make_unique<QtPrinter>(def.printerName());
    else if (!all.isEmpty())
      current() = std::make_unique<QtPrinter>(all.first().printerName());
    else
      current() = QtPrinter::pdf(percorsoRapporto().parent_path() / "STAMPA.PDF");
  }
  return *current();
}

void setCurrentPrinter(std::unique_ptr<Printer> printer) {
  current() = std::move(printer);
}

PrinterDialogFunction &printerDialogFunction() {
  static PrinterDialogFunction f = defaultDialog;
  return f;
}

} // namespace print
