#include "app/comune/messaggi.h"
#include "fonte_prova.h"
#include "print/comando_stampa.h"
#include "print/formstampa.h"
#include "print/rapporto.h"
#include "print/stampante.h"
#include "test_support.h"

#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPageSize>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <fstream>
#include <gtest/gtest.h>

using namespace print;

namespace {

class FormStampaTest : public ::testing::Test {
protected:
  void SetUp() override {
    prn = dir.file("STAMPA.PRN");
    impostaPercorsoRapporto(prn);
    auto p = QtPrinter::pdf(dir.file("STAMPA.PDF"));
    p->qprinter().setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                            QMarginsF(), QPageLayout::Millimeter));
    printer = p.get();
    setCurrentPrinter(std::move(p));
    statoAnteprima() = StatoAnteprima();
  }
  void TearDown() override {
    setCurrentPrinter(nullptr);
    impostaPercorsoRapporto({});
    printerDialogFunction() = nullptr;
  }
  void writeReport(int dataLines) {
    std::ofstream f(prn, std::ios::binary);
    f << "Tabella: BUONI\r\n"
      << std::string(50, '=') << "\r\nID   Nome\r\n"
      << std::string(50, '=') << "\r\n";
    for (int i = 1; i <= dataLines; ++i)
      f << "   " << i << " Voce n. " << i << "\r\n";
  }
  static void mouse(QWidget *w, QEvent::Type type, Qt::MouseButton button, QPointF at = {20, 20}) {
    QMouseEvent e(type, at, w->mapToGlobal(at), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button),
                  Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
  }

  vasktest::TempDir dir;
  std::filesystem::path prn;
  QtPrinter *printer = nullptr;
  MsgBoxSimulato box;
  const std::vector<RichiestaMsgBox> &messages = box.Mostrati();
};

} // namespace

TEST_F(FormStampaTest, ShowsTheReportThePrinterAndThePageTotal) {
  writeReport(100); // 104 lines
  FormStampa f;
  ASSERT_TRUE(f.statoCaricamento().isOk());
  EXPECT_EQ(f.windowTitle(), QStringLiteral("Anteprima di Stampa"));
  EXPECT_EQ(f.size(), QSize(f.tw(7140), f.tw(5730)));
  EXPECT_EQ(f.RichTextBox1->toPlainText().split(QLatin1Char('\n')).size(), 104);
  EXPECT_TRUE(f.RichTextBox1->toPlainText().startsWith(QStringLiteral("Tabella: BUONI\n=====")));
  EXPECT_TRUE(f.RichTextBox1->isReadOnly());
  EXPECT_EQ(f.RichTextBox1->textInteractionFlags(), Qt::NoTextInteraction);
  EXPECT_EQ(QFontInfo(f.RichTextBox1->font()).family(), QStringLiteral("Liberation Mono"));
  EXPECT_DOUBLE_EQ(f.dimensioneTesto(), 8.25);
  EXPECT_EQ(f.Label1->text(), QStringLiteral("Stampante Predefinita:"));
  EXPECT_TRUE(f.Label1->font().bold());
  EXPECT_EQ(f.Label2->text(), QStringLiteral("Stampa su PDF (STAMPA.PDF)"));
  EXPECT_EQ(f.Frame1->title(), QStringLiteral(" Totale Pagine    2 "));
  EXPECT_EQ(statoAnteprima().RigheTotali, 104);
  EXPECT_EQ(f.stampa->text(), QStringLiteral("&Stampa"));
  EXPECT_EQ(f.Command5->text(), QStringLiteral("&Imposta Stampante"));
  EXPECT_EQ(f.allarga->text(), QStringLiteral("&Allarga"));
  EXPECT_EQ(f.riduci->text(), QStringLiteral("&Riduci"));
  EXPECT_EQ(f.chiudi->text(), QStringLiteral("&Chiudi"));
  EXPECT_EQ(f.Annullastampa->text(), QStringLiteral("&Annulla Stampa"));
  EXPECT_EQ(f.Label3->text(), QStringLiteral("Stampa in corso su"));
  EXPECT_TRUE(f.stampaincorso->isHidden());
  EXPECT_EQ(f.ProgressBar1->maximum(), 100);
  auto at = [&](int l, int t, int w, int h) { return QRect(f.tw(l), f.tw(t), f.tw(w), f.tw(h)); };
  EXPECT_EQ(f.RichTextBox1->geometry(), at(0, 120, 7095, 3975));
  EXPECT_EQ(f.Label2->geometry(), at(2160, 4320, 2775, 375));
  EXPECT_EQ(f.Frame1->geometry(), at(5400, 4320, 1695, 1335));
  EXPECT_EQ(f.stampa->geometry(), at(120, 4680, 1095, 975));
  EXPECT_EQ(f.chiudi->geometry(), at(3120, 5040, 975, 615));
  EXPECT_EQ(f.stampaincorso->geometry(), at(1680, 1440, 3975, 1455));
  EXPECT_EQ(f.Annullastampa->geometry(), at(1320, 960, 1335, 375));
  EXPECT_EQ(f.stampa->nextInFocusChain(), f.Command5);
}

TEST_F(FormStampaTest, TextSizeLimitsAndMouseClicks) {
  writeReport(3);
  FormStampa f;
  for (int i = 0; i < 12; ++i)
    f.allarga_Click();
  EXPECT_DOUBLE_EQ(f.dimensioneTesto(), 20.25);
  EXPECT_TRUE(f.allarga->isEnabled());
  f.allarga_Click(); // the thirteenth finds the limit passed
  EXPECT_DOUBLE_EQ(f.dimensioneTesto(), 20.25);
  EXPECT_FALSE(f.allarga->isEnabled());
  f.riduci_Click();
  EXPECT_TRUE(f.allarga->isEnabled());
  EXPECT_DOUBLE_EQ(f.RichTextBox1->font().pointSizeF(), 19.25);

  FormStampa g;
  g.riduci_Click();
  EXPECT_DOUBLE_EQ(g.dimensioneTesto(), 7.25);
  EXPECT_TRUE(g.riduci->isEnabled());
  g.riduci_Click();
  EXPECT_DOUBLE_EQ(g.dimensioneTesto(), 7.25);
  EXPECT_FALSE(g.riduci->isEnabled());
  // A right click makes the text larger, a left click smaller.
  QWidget *vp = g.RichTextBox1->viewport();
  mouse(vp, QEvent::MouseButtonPress, Qt::RightButton);
  mouse(vp, QEvent::MouseButtonRelease, Qt::RightButton);
  EXPECT_DOUBLE_EQ(g.dimensioneTesto(), 8.25);
  EXPECT_TRUE(g.riduci->isEnabled());
  mouse(vp, QEvent::MouseButtonPress, Qt::LeftButton);
  mouse(vp, QEvent::MouseButtonRelease, Qt::LeftButton);
  EXPECT_DOUBLE_EQ(g.dimensioneTesto(), 7.25);
}

TEST_F(FormStampaTest, NoSelectionAndNoTyping) {
  writeReport(30);
  FormStampa f;
  f.show();
  QWidget *vp = f.RichTextBox1->viewport();
  mouse(vp, QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});
  QMouseEvent move(QEvent::MouseMove, QPointF(200, 80), vp->mapToGlobal(QPointF(200, 80)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(vp, &move);
  mouse(vp, QEvent::MouseButtonRelease, Qt::LeftButton, {200, 80});
  EXPECT_FALSE(f.RichTextBox1->textCursor().hasSelection());
  f.RichTextBox1->selectAll();
  EXPECT_FALSE(f.RichTextBox1->textCursor().hasSelection());
  const QString before = f.RichTextBox1->toPlainText();
  f.RichTextBox1->setFocus();
  QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
  QCoreApplication::sendEvent(f.RichTextBox1, &key);
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
  QCoreApplication::sendEvent(f.RichTextBox1, &del);
  EXPECT_EQ(f.RichTextBox1->toPlainText(), before);
}

TEST_F(FormStampaTest, PrinterSetupUpdatesTheNameAndThePageTotal) {
  writeReport(100);
  FormStampa f;
  EXPECT_EQ(f.Frame1->title(), QStringLiteral(" Totale Pagine    2 "));
  printerDialogFunction() = [](QPrinter &, QWidget *) { return false; };
  f.Command5_Click();
  EXPECT_EQ(f.Label2->text(), QStringLiteral("Stampa su PDF (STAMPA.PDF)"));
  EXPECT_EQ(f.Frame1->title(), QStringLiteral(" Totale Pagine    2 "));
  const std::string other = dir.file("ALTRO.PDF").string();
  printerDialogFunction() = [&](QPrinter &p, QWidget *) {
    p.setOutputFileName(QString::fromStdString(other));
    p.setPageLayout(QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Portrait, QMarginsF(),
                                QPageLayout::Millimeter));
    return true;
  };
  f.Command5_Click();
  EXPECT_EQ(f.Label2->text(), QStringLiteral("Stampa su PDF (ALTRO.PDF)"));
  // A5: floor(11906 / 283.2) = 42 lines a page, 104 lines on 3 pages.
  EXPECT_EQ(f.Frame1->title(), QStringLiteral(" Totale Pagine    3 "));
  f.stampa_Click();
  EXPECT_EQ(f.ultimoEsito(), EsitoStampa::Completata);
  EXPECT_TRUE(std::filesystem::exists(other));
}

TEST_F(FormStampaTest, PrintFromThePreviewAndItsFailure) {
  writeReport(120);
  FormStampa f;
  int highest = 0;
  bool panelShown = false;
  QObject::connect(f.ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
    highest = std::max(highest, v);
    panelShown = panelShown || !f.stampaincorso->isHidden();
  });
  f.stampa_Click();
  EXPECT_EQ(f.ultimoEsito(), EsitoStampa::Completata);
  EXPECT_TRUE(panelShown);
  EXPECT_EQ(highest, 100);
  EXPECT_TRUE(f.stampaincorso->isHidden());
  EXPECT_EQ(f.Label4->text(), QStringLiteral("Stampa su PDF (STAMPA.PDF)"));
  EXPECT_TRUE(std::filesystem::exists(dir.file("STAMPA.PDF")));
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(statoAnteprima().TotalePagine, 3);

  std::filesystem::remove(prn);
  f.stampa_Click();
  EXPECT_EQ(f.ultimoEsito(), EsitoStampa::Fallita);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].testo, QStringLiteral("Problema in fase di stampa."));
  EXPECT_TRUE(messages[0].titolo.isEmpty());
  EXPECT_TRUE(f.stampaincorso->isHidden());
  EXPECT_EQ(f.ProgressBar1->value(), 0);
}

TEST_F(FormStampaTest, CancelButtonStopsARunningPrint) {
  writeReport(6000);
  FormStampa f;
  f.show();
  bool scheduled = false;
  int highest = 0;
  QObject::connect(f.ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
    highest = std::max(highest, v);
    if (v >= 2 && !scheduled) {
      scheduled = true; // pressed from the event loop, as the operator would
      QTimer::singleShot(0, f.Annullastampa, &QPushButton::click);
    }
  });
  f.stampa_Click();
  EXPECT_TRUE(scheduled);
  EXPECT_LT(highest, 100); // stopped before the end
  EXPECT_EQ(f.ultimoEsito(), EsitoStampa::Annullata);
  EXPECT_TRUE(f.stampaincorso->isHidden());
  EXPECT_EQ(f.ProgressBar1->value(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir.file("STAMPA.PDF")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("STAMPA.PDF.part")));
  EXPECT_FALSE(printer->documentOpen());
  EXPECT_EQ(printer->orientation(), 1);

  // "Chiudi" during a run stops it and closes the window once it has stopped.
  scheduled = false;
  QObject::disconnect(f.ProgressBar1, nullptr, nullptr, nullptr);
  QObject::connect(f.ProgressBar1, &QProgressBar::valueChanged, [&](int v) {
    if (v >= 2 && !scheduled) {
      scheduled = true;
      QTimer::singleShot(0, f.chiudi, &QPushButton::click);
      QTimer::singleShot(0, f.stampa, &QToolButton::click); // ignored: a run is on
    }
  });
  f.stampa_Click();
  EXPECT_EQ(f.ultimoEsito(), EsitoStampa::Annullata);
  EXPECT_EQ(f.result(), QDialog::Accepted);
  EXPECT_FALSE(f.isVisible());
}

namespace {

struct HostProva : HostStampa {
  printtest::FonteProva *source = nullptr;
  QWidget window;
  std::vector<bool> abilita;
  int primaAttivazione = -1;
  void AbilitaComandi(bool a) override { abilita.push_back(a); }
  void ImpostaPrimaAttivazione(bool v) override { primaAttivazione = v; }
  ReportSource *RecordsetGriglia() override { return source; }
  std::string TabellaCorrente() const override { return "CLIENTI"; }
  QWidget *finestra() override { return &window; }
};

} // namespace

TEST_F(FormStampaTest, StampaCommandWritesThePreviewsReportAndEnablesTheCommandsAgain) {
  printtest::FonteProva src;
  src.fields = {{"ID", 3, 4}, {"Nome", 202, 30}};
  for (int i = 1; i <= 55; ++i)
    src.rows.push_back({int32_t{i}, "Nome " + std::to_string(i)});
  src.current = 17;
  HostProva host;
  host.source = &src;
  int previews = 0;
  QString shown, caption;
  std::vector<bool> duringPreview;
  previewFunction() = [&](QWidget *parent) {
    ++previews;
    duringPreview = host.abilita;
    FormStampa f(parent);
    shown = f.RichTextBox1->toPlainText();
    caption = f.Frame1->title();
  };
  btnStampa_Click(host);
  EXPECT_EQ(previews, 1);
  EXPECT_EQ(duringPreview, std::vector<bool>({false}));
  EXPECT_EQ(host.abilita, std::vector<bool>({false, true}));
  EXPECT_EQ(host.primaAttivazione, 0);
  EXPECT_EQ(src.current, 17);
  EXPECT_TRUE(shown.startsWith(QStringLiteral("Tabella: CLIENTI\n")));
  EXPECT_TRUE(shown.endsWith(QStringLiteral("  55 Nome 55") + QString(13, QLatin1Char(' '))));
  EXPECT_EQ(caption, QStringLiteral(" Totale Pagine    1 "));
  EXPECT_TRUE(messages.empty());

  // A report that cannot be written: the failure is shown, no preview, commands back.
  impostaPercorsoRapporto(dir.file("manca") / "STAMPA.PRN");
  host.abilita.clear();
  btnStampa_Click(host);
  EXPECT_EQ(previews, 1);
  EXPECT_EQ(host.abilita, std::vector<bool>({false, true}));
  ASSERT_EQ(messages.size(), 1u);
  // In the program's own error form, through its one message-box seam.
  EXPECT_TRUE(messages[0].testo.startsWith(QStringLiteral("Errore di run-time '3051':\r\n\r\n")))
      << messages[0].testo.toStdString();
  EXPECT_EQ(messages[0].stile, vbOKOnly + vbCritical);
  EXPECT_EQ(src.current, 17);
  previewFunction() = nullptr;
}

TEST_F(FormStampaTest, WithoutPrintersTheCurrentPrinterWritesAPdfBesideTheReport) {
  if (!QPrinterInfo::availablePrinters().isEmpty())
    GTEST_SKIP() << "a printer is installed";
  setCurrentPrinter(nullptr);
  writeReport(5);
  Printer &p = currentPrinter();
  EXPECT_EQ(p.deviceName(), QStringLiteral("Stampa su PDF (STAMPA.PDF)"));
  FormStampa f;
  EXPECT_EQ(f.Label2->text(), p.deviceName());
  f.stampa_Click();
  EXPECT_EQ(f.ultimoEsito(), EsitoStampa::Completata);
  EXPECT_TRUE(std::filesystem::exists(dir.file("STAMPA.PDF")));
}
