#include "print/stampa_rapporto.h"

#include "print/cp1252.h"

#include <QElapsedTimer>
#include <QVector>
#include <cmath>
#include <fstream>
#include <sstream>

namespace print {

namespace {

// Blanks only, as the report writes them; tabs and other characters stay.
QString trimRight(const QString &s) {
  qsizetype n = s.size();
  while (n > 0 && s[n - 1] == QLatin1Char(' '))
    --n;
  return s.left(n);
}

QString trimBoth(const QString &s) {
  qsizetype b = 0;
  while (b < s.size() && s[b] == QLatin1Char(' '))
    ++b;
  return trimRight(s.mid(b));
}

bool isSeparator(const QString &line) {
  const QString t = trimBoth(line);
  return t.startsWith(QStringLiteral("-------")) || t.startsWith(QStringLiteral("======="));
}

// The number-to-text conversion of the platform: a blank before a non-negative number.
QString numberText(double n) {
  return QStringLiteral(" ") + QString::number(n, 'g', 15);
}

int linesPerPage(int32_t height, double size) {
  if (size <= 0)
    return 0;
  return static_cast<int>(std::floor(height / (24.0 * size)));
}

} // namespace

StatoAnteprima &statoAnteprima() {
  static StatoAnteprima s;
  return s;
}

bool LeggiRighe(const std::filesystem::path &path, QStringList &lines) {
  lines.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad())
    return false;
  const std::string bytes = ss.str();
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines << QString::fromStdString(cp1252ToUtf8(std::string_view(bytes).substr(start)));
      break;
    }
    lines << QString::fromStdString(
        cp1252ToUtf8(std::string_view(bytes).substr(start, end - start)));
    start = end + 1;
    if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n')
      ++start;
  }
  return true;
}

void ContaRighe(const QStringList &lines, StatoAnteprima &stato) {
  stato.RigheTotali = 0;
  stato.LarghezzaRighe = 0;
  for (const QString &line : lines) {
    if (line.startsWith(QStringLiteral("-------"))) {
      stato.LarghezzaRighe = std::max(stato.LarghezzaRighe, static_cast<int>(line.size()));
      stato.RigheRiservate = stato.RigheTotali + 2;
    }
    ++stato.RigheTotali;
  }
}

int CalcolaPagine(Printer &printer, StatoAnteprima &stato) {
  printer.setFontSize(stato.LarghezzaRighe <= 80 ? 11.8 : 8);
  const double s = printer.fontSize();
  const int32_t h = printer.pageHeight();
  const int p = linesPerPage(h, s) - stato.RigheRiservate;
  if (p <= 0) {
    stato.TotalePagine = -1; // no line fits: no total, shown as "?"
    return p;
  }
  stato.TotalePagine = std::ceil(static_cast<double>(stato.RigheTotali) / p);
  return p;
}

QString DidascaliaPagine(const StatoAnteprima &stato) {
  const QString total =
      stato.TotalePagine >= 0 ? QString::number(stato.TotalePagine, 'f', 0) : QStringLiteral("?");
  const int fill = std::max<int>(0, 4 - static_cast<int>(total.size()));
  return QStringLiteral(" Totale Pagine ") + QString(fill, QLatin1Char(' ')) + total +
         QStringLiteral(" ");
}

QString TimbroPagina(int page, double total) {
  return QStringLiteral("    Pagina ") + numberText(page) + QStringLiteral(" di ") +
         numberText(total);
}

EsitoStampa StampaRapporto(const std::filesystem::path &path, Printer &printer,
                           StatoAnteprima &stato, const ControlloStampa &controllo) {
  bool orientationSaved = false;
  auto fail = [&]() {
    printer.killDoc(); // a half-made document must not reach paper
    if (orientationSaved)
      printer.setOrientation(stato.OrientamentoSalvato);
    return EsitoStampa::Fallita;
  };
  auto cancelled = [&]() { return controllo.cancelled && controllo.cancelled(); };
  auto events = [&]() {
    if (controllo.processEvents)
      controllo.processEvents();
  };

  printer.setFontName(QStringLiteral("Courier New"));
  printer.setResolution(300);
  printer.setFontSize(8);

  QStringList lines;
  if (!LeggiRighe(path, lines))
    return fail();

  // The heading: from the start up to the second separator line; every later separator takes
  // the place of the last heading line. Slot 0 is not used.
  QVector<QString> headingSlot(51);
  int n = 1;
  stato.LarghezzaRighe = 0;
  bool separatorSeen = false, headingDone = false;
  for (const QString &line : lines) {
    stato.LarghezzaRighe = std::max(stato.LarghezzaRighe, static_cast<int>(line.size()));
    if (isSeparator(line)) {
      if (separatorSeen) {
        headingDone = true;
        if (n > 50)
          return fail();
        headingSlot[n] = line;
      } else {
        separatorSeen = true;
      }
    }
    if (!headingDone) {
      if (n > 50)
        return fail();
      headingSlot[n++] = line;
    }
  }
  const int headingCount = n;
  const int total = static_cast<int>(lines.size());

  stato.OrientamentoSalvato = printer.orientation();
  orientationSaved = true;
  if (trimBoth(printer.deviceName()) == QStringLiteral("Generico / solo testo")) {
    printer.setFontName(stato.LarghezzaRighe <= 80 ? QStringLiteral("Roman 10cpi")
                                                   : QStringLiteral("Roman 17cpi"));
  } else if (stato.LarghezzaRighe <= 80) {
    printer.setOrientation(1);
    printer.setFontSize(11.8);
  } else if (stato.LarghezzaRighe <= 126) {
    printer.setOrientation(1);
    printer.setFontSize(8);
  } else {
    printer.setOrientation(2);
    printer.setFontSize(6);
  }

  const int p = linesPerPage(printer.pageHeight(), printer.fontSize());
  // Every page after the first repeats the heading, then takes p - (heading count - 2) lines.
  const int perLaterPage = p - (headingCount - 2);
  if (p < 1 || (total > p && perLaterPage < 1))
    return fail();
  if (total == 0)
    stato.TotalePagine = 0;
  else if (total <= p)
    stato.TotalePagine = 1;
  else
    stato.TotalePagine = 1 + std::ceil(static_cast<double>(total - p) / perLaterPage);

  auto stopped = [&]() {
    printer.killDoc();
    printer.setOrientation(stato.OrientamentoSalvato);
    return EsitoStampa::Annullata;
  };

  while (stato.LarghezzaRighe > 0 &&
         printer.textWidth(QString(stato.LarghezzaRighe, QLatin1Char('X'))) > printer.pageWidth()) {
    stato.LarghezzaRighe -= 2;
    events();
    if (cancelled())
      return stopped();
  }
  stato.LarghezzaRighe = std::max(stato.LarghezzaRighe, 0);
  if (stato.LarghezzaRighe > 132)
    stato.LarghezzaRighe -= 20;
  const int width = stato.LarghezzaRighe;
  auto cut = [width](const QString &line) { return trimBoth(line).left(width); };

  printer.setMaxLinesPerPage(p + 2);
  int lineOnPage = 0, page = 1, printed = 0;
  QElapsedTimer sinceEvents;
  sinceEvents.start();
  for (int i = 0; i < total; ++i) {
    ++lineOnPage;
    const QString text = lineOnPage == 1
                             ? trimRight(lines[i]) + TimbroPagina(page, stato.TotalePagine)
                             : cut(lines[i]);
    if (!printer.printLine(text))
      return fail();
    // No page of headings alone after the last line.
    if (lineOnPage == p && i + 1 < total) {
      ++page;
      if (!printer.newPage())
        return fail();
      for (int h = 1; h <= headingCount; ++h) {
        const QString head =
            h == 1 ? trimRight(headingSlot[h]) + TimbroPagina(page, stato.TotalePagine)
                   : cut(headingSlot[h]);
        if (!printer.printLine(head))
          return fail();
      }
      lineOnPage = headingCount - 2;
    }
    ++printed;
    if (controllo.progress)
      controllo.progress(static_cast<float>(printed) / total * 100.0f);
    if (sinceEvents.elapsed() >= 25) {
      events();
      sinceEvents.restart();
    }
    if (cancelled())
      return stopped();
  }

  if (!printer.endDoc())
    return fail();
  if (controllo.progress)
    controllo.progress(100.0f);
  printer.setOrientation(stato.OrientamentoSalvato);
  return EsitoStampa::Completata;
}

} // namespace print
