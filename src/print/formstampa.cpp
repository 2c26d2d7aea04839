#include "print/formstampa.h"

#include "app/comune/errori.h"
#include "app/comune/messaggi.h"
#include "print/rapporto.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QToolButton>
#include <cmath>

namespace print {

namespace {

// The little pile of sheets in the page-total frame.
class Fogli : public QWidget {
public:
  using QWidget::QWidget;

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const int w = width() * 11 / 20, h = height() * 7 / 10;
    const int step = std::max(3, width() / 16);
    int x0 = (width() - w - 3 * step) / 2, y0 = (height() - h - 3 * step) / 2;
    p.setPen(Qt::black);
    for (int i = 3; i >= 0; --i) {
      p.setBrush(i == 0 ? QColor(Qt::white) : QColor(232, 232, 232));
      p.drawRect(x0 + i * step, y0 + (3 - i) * step, w, h);
    }
    const int lx = x0 + w / 8, ly = y0 + 3 * step + h / 5;
    for (int i = 0; i < 4; ++i)
      p.drawLine(lx, ly + i * h / 6, lx + w * 3 / 4 - (i == 3 ? w / 4 : 0), ly + i * h / 6);
  }
};

QIcon drawnIcon(int kind) {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1.5));
  if (kind == 0) { // printer
    p.setBrush(Qt::white);
    p.drawRect(9, 3, 14, 10);
    p.setBrush(QColor(150, 150, 150));
    p.drawRoundedRect(3, 12, 26, 11, 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(8, 19, 16, 10);
    p.drawLine(11, 23, 21, 23);
    p.drawLine(11, 26, 19, 26);
    p.setBrush(QColor(0, 160, 0));
    p.drawEllipse(24, 15, 3, 3);
  } else { // magnifier, with a plus or a minus
    p.setBrush(QColor(220, 235, 255));
    p.drawEllipse(3, 3, 18, 18);
    p.setPen(QPen(Qt::black, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(19, 19, 28, 28);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(7, 12, 17, 12);
    if (kind == 1)
      p.drawLine(12, 7, 12, 17);
  }
  return QIcon(pm);
}

QToolButton *pictureButton(QWidget *parent, const QString &text, int icon) {
  auto *b = new QToolButton(parent);
  b->setText(text);
  b->setIcon(drawnIcon(icon));
  b->setIconSize(QSize(24, 24));
  b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  b->setFocusPolicy(Qt::StrongFocus);
  return b;
}

} // namespace

FormStampa::FormStampa(QWidget *parent, std::filesystem::path path)
    : QDialog(parent), path_(path.empty() ? percorsoRapporto() : std::move(path)) {
  setObjectName(QStringLiteral("formstampa"));
  setWindowTitle(QStringLiteral("Anteprima di Stampa"));
  setModal(true);
  QFont windowFont(QStringLiteral("Courier New"));
  windowFont.setStyleHint(QFont::TypeWriter);
  windowFont.setPointSizeF(8.25);
  setFont(windowFont);
  QFont labelFont(QStringLiteral("Arial"));
  labelFont.setPointSizeF(8.25);
  setFixedSize(tw(7140), tw(5730));

  auto place = [this](QWidget *w, int l, int t, int wd, int ht) {
    w->setGeometry(tw(l), tw(t), tw(wd), tw(ht));
  };

  stampa = pictureButton(this, QStringLiteral("&Stampa"), 0);
  stampa->setFont(labelFont);
  place(stampa, 120, 4680, 1095, 975);

  RichTextBox1 = new QPlainTextEdit(this);
  place(RichTextBox1, 0, 120, 7095, 3975);
  RichTextBox1->setReadOnly(true);
  RichTextBox1->setTextInteractionFlags(Qt::NoTextInteraction);
  RichTextBox1->setLineWrapMode(QPlainTextEdit::NoWrap);
  RichTextBox1->setContextMenuPolicy(Qt::NoContextMenu);
  RichTextBox1->setUndoRedoEnabled(false);
  RichTextBox1->viewport()->installEventFilter(this);
  RichTextBox1->viewport()->setCursor(Qt::ArrowCursor);
  connect(RichTextBox1, &QPlainTextEdit::selectionChanged, this, [this] { noSelection(); });
  applyTextSize();

  Label1 = new QLabel(QStringLiteral("Stampante Predefinita:"), this);
  QFont bold = labelFont;
  bold.setBold(true);
  Label1->setFont(bold);
  place(Label1, 120, 4320, 2415, 255);

  Label2 = new QLabel(this);
  Label2->setFont(labelFont);
  Label2->setWordWrap(true);
  Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  place(Label2, 2160, 4320, 2775, 375);

  Frame1 = new QGroupBox(QStringLiteral("Totale Pag."), this);
  QFont arial(QStringLiteral("Arial"));
  arial.setPointSizeF(8.25);
  Frame1->setFont(arial);
  place(Frame1, 5400, 4320, 1695, 1335);
  auto *sheets = new Fogli(Frame1);
  sheets->setGeometry(tw(60), tw(240), tw(1695 - 120), tw(1335 - 300));

  Command5 = new QPushButton(QStringLiteral("&Imposta Stampante"), this);
  Command5->setFont(labelFont);
  place(Command5, 1200, 4680, 2895, 375);
  allarga = pictureButton(this, QStringLiteral("&Allarga"), 1);
  allarga->setFont(labelFont);
  place(allarga, 1200, 5040, 975, 615);
  riduci = pictureButton(this, QStringLiteral("&Riduci"), 2);
  riduci->setFont(labelFont);
  place(riduci, 2160, 5040, 975, 615);
  chiudi = new QPushButton(QStringLiteral("&Chiudi"), this);
  chiudi->setFont(labelFont);
  chiudi->setAutoDefault(false);
  Command5->setAutoDefault(false);
  place(chiudi, 3120, 5040, 975, 615);
  for (QToolButton *b : {allarga, riduci}) {
    b->setIconSize(QSize(16, 16));
  }

  stampaincorso = new QFrame(this);
  stampaincorso->setFrameShape(QFrame::Box);
  stampaincorso->setLineWidth(1);
  stampaincorso->setAutoFillBackground(true);
  place(stampaincorso, 1680, 1440, 3975, 1455);
  Label3 = new QLabel(QStringLiteral("Stampa in corso su"), stampaincorso);
  Label3->setFont(labelFont);
  Label3->setAlignment(Qt::AlignCenter);
  place(Label3, 0, 120, 3975, 255);
  Label4 = new QLabel(QStringLiteral("Stampante predefinita..."), stampaincorso);
  Label4->setFont(labelFont);
  Label4->setAlignment(Qt::AlignCenter);
  place(Label4, 120, 360, 3735, 255);
  ProgressBar1 = new QProgressBar(stampaincorso);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  place(ProgressBar1, 240, 600, 3495, 255);
  Annullastampa = new QPushButton(QStringLiteral("&Annulla Stampa"), stampaincorso);
  Annullastampa->setFont(labelFont);
  Annullastampa->setAutoDefault(false);
  place(Annullastampa, 1320, 960, 1335, 375);
  stampaincorso->hide();
  stampaincorso->raise();

  setTabOrder(stampa, Command5);
  setTabOrder(Command5, allarga);
  setTabOrder(allarga, riduci);
  setTabOrder(riduci, chiudi);
  setTabOrder(chiudi, RichTextBox1);

  connect(stampa, &QToolButton::clicked, this, &FormStampa::stampa_Click);
  connect(Command5, &QPushButton::clicked, this, &FormStampa::Command5_Click);
  connect(allarga, &QToolButton::clicked, this, &FormStampa::allarga_Click);
  connect(riduci, &QToolButton::clicked, this, &FormStampa::riduci_Click);
  connect(chiudi, &QPushButton::clicked, this, &FormStampa::chiudi_Click);
  connect(Annullastampa, &QPushButton::clicked, this, &FormStampa::Annullastampa_Click);

  Form_Load();
  stampa->setFocus();
}

FormStampa::~FormStampa() = default;

int FormStampa::tw(int twips) const {
  return static_cast<int>(std::lround(twips * logicalDpiX() / 1440.0));
}

void FormStampa::Form_Load() {
  QApplication::setOverrideCursor(Qt::BusyCursor); // a long report takes a moment to lay out
  load_ = CaricaAnteprima();
  QApplication::restoreOverrideCursor();
  Label2->setText(currentPrinter().deviceName());
}

jet::Status FormStampa::CaricaAnteprima() {
  QStringList lines;
  if (!LeggiRighe(path_, lines)) {
    RichTextBox1->clear();
    return jet::Status(jet::ErrorCode::IoError,
                       "Impossibile leggere il file del rapporto " + path_.string() + ".");
  }
  RichTextBox1->setPlainText(lines.join(QLatin1Char('\n')));
  Printer &printer = currentPrinter();
  printer.setFontName(QStringLiteral("Courier New"));
  printer.setFontSize(8);
  ContaRighe(lines, statoAnteprima());
  CalcolaPagine();
  return jet::Status::ok();
}

void FormStampa::CalcolaPagine() {
  print::CalcolaPagine(currentPrinter(), statoAnteprima());
  Frame1->setTitle(DidascaliaPagine(statoAnteprima()));
}

void FormStampa::applyTextSize() {
  QFont f(QStringLiteral("Courier New"));
  f.setStyleHint(QFont::TypeWriter);
  f.setPointSizeF(textSize_);
  RichTextBox1->setFont(f);
}

void FormStampa::allarga_Click() {
  if (textSize_ < 20) {
    textSize_ += 1;
    applyTextSize();
    riduci->setEnabled(true);
  } else {
    allarga->setEnabled(false);
  }
}

void FormStampa::riduci_Click() {
  if (textSize_ > 8) {
    textSize_ -= 1;
    applyTextSize();
    allarga->setEnabled(true);
  } else {
    riduci->setEnabled(false);
  }
}

void FormStampa::noSelection() {
  QTextCursor c = RichTextBox1->textCursor();
  if (c.hasSelection()) {
    c.clearSelection();
    RichTextBox1->setTextCursor(c);
  }
}

bool FormStampa::eventFilter(QObject *watched, QEvent *event) {
  if (watched != RichTextBox1->viewport())
    return QDialog::eventFilter(watched, event);
  switch (event->type()) {
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonDblClick:
  case QEvent::MouseMove:
    noSelection();
    return true;
  case QEvent::MouseButtonRelease: {
    noSelection();
    const auto *me = static_cast<QMouseEvent *>(event);
    if (me->button() == Qt::RightButton)
      allarga_Click();
    else if (me->button() == Qt::LeftButton)
      riduci_Click();
    noSelection();
    return true;
  }
  case QEvent::ContextMenu:
    return true;
  default:
    return QDialog::eventFilter(watched, event);
  }
}

void FormStampa::chiudi_Click() {
  if (running_) { // the run stops at its next line, then the window goes
    closeAfterRun_ = true;
    Annullastampa_Click();
    return;
  }
  accept();
}

void FormStampa::reject() {
  if (running_) {
    chiudi_Click();
    return;
  }
  QDialog::reject();
}

void FormStampa::closeEvent(QCloseEvent *event) {
  if (running_) {
    event->ignore();
    chiudi_Click();
    return;
  }
  QDialog::closeEvent(event);
}

void FormStampa::Command5_Click() {
  if (running_)
    return;
  Printer &printer = currentPrinter();
  printer.setup(this);
  Label2->setText(printer.deviceName());
  CalcolaPagine();
}

void FormStampa::stampa_Click() {
  if (running_) // a second run may not start inside the first
    return;
  Printer &printer = currentPrinter();
  Label4->setText(printer.deviceName());
  ProgressBar1->setValue(0);
  stampaincorso->show();
  stampaincorso->raise();
  Annullastampa->setFocus();
  repaint();

  running_ = true;
  cancelRequested_ = false;
  ControlloStampa controllo;
  controllo.progress = [this](float v) { ProgressBar1->setValue(static_cast<int>(v)); };
  controllo.processEvents = [] { QCoreApplication::processEvents(); };
  controllo.cancelled = [this] { return cancelRequested_; };
  QApplication::setOverrideCursor(Qt::BusyCursor);
  lastRun_ = StampaRapporto(path_, printer, statoAnteprima(), controllo);
  QApplication::restoreOverrideCursor();
  running_ = false;

  if (lastRun_ == EsitoStampa::Fallita) {
    stampaincorso->hide();
    ProgressBar1->setValue(0);
    MsgBox(QStringLiteral("Problema in fase di stampa."), vbOKOnly);
  }
  stampaincorso->hide();
  if (closeAfterRun_) {
    closeAfterRun_ = false;
    accept();
  }
}

void FormStampa::Annullastampa_Click() {
  cancelRequested_ = true; // the run throws its document away at the next line
  stampaincorso->hide();
  ProgressBar1->setValue(0);
}

PreviewFunction &previewFunction() {
  static PreviewFunction f = [](QWidget *parent) {
    FormStampa form(parent);
    if (!form.statoCaricamento().isOk()) {
      SegnalaErrore(form.statoCaricamento().number(),
                    QString::fromStdString(form.statoCaricamento().message()));
      return;
    }
    form.exec();
  };
  return f;
}

} // namespace print
