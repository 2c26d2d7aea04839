#include "grid/griglia_interna.h"

#include "data/ado_types.h"
#include "grid/testo_valore.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

namespace grid {

namespace {

bool numerico(int t) {
  using namespace data::ado;
  switch (t) {
  case SmallInt:
  case Integer:
  case Single:
  case Double:
  case Currency:
  case UnsignedTinyInt:
  case Numeric:
  case Date:
  case 20:
    return true;
  }
  return false;
}

// What a cell shows of a long text: its start, on one line.
QString testoInRiga(const std::string &s) {
  constexpr size_t kMax = 400;
  QString t = QString::fromUtf8(s.data(), static_cast<qsizetype>(std::min(s.size(), kMax)));
  t.replace(QLatin1String("\r\n"), QString(QChar(0x21B5)));
  t.replace(QLatin1Char('\n'), QChar(0x21B5));
  t.replace(QLatin1Char('\r'), QChar(0x21B5));
  return t;
}

} // namespace

// ---------------------------------------------------------------- model

ModelloGriglia::ModelloGriglia(GrigliaDati *griglia) : QAbstractTableModel(griglia), g_(griglia) {}

bool ModelloGriglia::haRigaNuova() const {
  return g_->rs_ && g_->rs_->isOpen() && g_->rs_->updatable() && g_->consentiInserimento_;
}

int ModelloGriglia::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : righe_;
}

int ModelloGriglia::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : colonne_;
}

void ModelloGriglia::ricarica() {
  beginResetModel();
  const auto &rs = g_->rs_;
  righe_ = rs ? static_cast<int>(rs->RecordCount()) + (haRigaNuova() ? 1 : 0) : 0;
  colonne_ = rs ? rs->fieldCount() : 0;
  endResetModel();
}

void ModelloGriglia::rigaAggiunta(long posizione) {
  // The new row took the place of the new-row line, and a fresh line follows it.
  const int p = static_cast<int>(posizione);
  const int dove = haRigaNuova() ? p + 1 : p;
  beginInsertRows({}, dove, dove);
  ++righe_;
  endInsertRows();
  if (colonne_ > 0)
    emit dataChanged(index(p, 0), index(p, colonne_ - 1));
  emit headerDataChanged(Qt::Vertical, p, dove);
}

void ModelloGriglia::rigaTolta(long posizione) {
  const int p = static_cast<int>(posizione);
  beginRemoveRows({}, p, p);
  --righe_;
  endRemoveRows();
}

void ModelloGriglia::rigaCambiata(long posizione) {
  const int p = static_cast<int>(posizione);
  if (p >= 0 && p < righe_ && colonne_ > 0)
    emit dataChanged(index(p, 0), index(p, colonne_ - 1));
}

void ModelloGriglia::rigaNuovaCambiata() {
  if (!haRigaNuova() || righe_ == 0)
    return;
  const int r = righe_ - 1;
  if (colonne_ > 0)
    emit dataChanged(index(r, 0), index(r, colonne_ - 1));
  emit headerDataChanged(Qt::Vertical, r, r);
}

void ModelloGriglia::selettoreCambiato(int prima, int dopo) {
  if (prima >= 0 && prima < righe_)
    emit headerDataChanged(Qt::Vertical, prima, prima);
  if (dopo >= 0 && dopo < righe_)
    emit headerDataChanged(Qt::Vertical, dopo, dopo);
}

jet::Value ModelloGriglia::valore(int riga, int colonna) const {
  const auto &rs = g_->rs_;
  if (riga < rs->RecordCount())
    return rs->valueAt(riga, colonna);
  if (rs->adding()) {
    auto v = rs->value(colonna);
    if (v)
      return *v;
  }
  return {};
}

QVariant ModelloGriglia::data(const QModelIndex &index, int role) const {
  const auto &rs = g_->rs_;
  if (!index.isValid() || !rs || index.column() >= rs->fieldCount())
    return {};
  const data::Field &f = rs->fields()[index.column()];
  const bool siNo = f.type == data::ado::Boolean;
  switch (role) {
  case Qt::DisplayRole: {
    if (siNo)
      return {};
    jet::Value v = valore(index.row(), index.column());
    if (v.isNull())
      return {};
    if (const auto *s = v.getIf<std::string>())
      return testoInRiga(*s);
    return QString::fromStdString(testoValore(v));
  }
  case Qt::EditRole:
    return QString::fromStdString(testoValore(valore(index.row(), index.column())));
  case Qt::CheckStateRole: {
    if (!siNo)
      return {};
    jet::Value v = valore(index.row(), index.column());
    return v.is<bool>() && v.as<bool>() ? Qt::Checked : Qt::Unchecked;
  }
  case Qt::TextAlignmentRole:
    return numerico(f.type) ? int(Qt::AlignRight | Qt::AlignVCenter)
                            : int(Qt::AlignLeft | Qt::AlignVCenter);
  }
  return {};
}

Qt::ItemFlags ModelloGriglia::flags(const QModelIndex &index) const {
  Qt::ItemFlags fl = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  const auto &rs = g_->rs_;
  if (!index.isValid() || !rs || !rs->updatable())
    return fl;
  const data::Field &f = rs->fields()[index.column()];
  const bool puo = g_->rigaNuova(index.row()) ? g_->consentiInserimento_ : g_->consentiModifica_;
  if (!puo || !modificabile(f))
    return fl;
  return fl | (f.type == data::ado::Boolean ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable);
}

bool ModelloGriglia::setData(const QModelIndex &index, const QVariant &value, int role) {
  if (!index.isValid() || !g_->rs_)
    return false;
  if (role == Qt::EditRole)
    return g_->scriviTesto(index.row(), index.column(), value.toString());
  if (role == Qt::CheckStateRole) {
    const bool si = value.toInt() == Qt::Checked;
    return g_->scriviValore(index.row(), index.column(), jet::Value(si),
                            si ? QStringLiteral("Vero") : QStringLiteral("Falso"));
  }
  return false;
}

QVariant ModelloGriglia::headerData(int section, Qt::Orientation o, int role) const {
  if (o == Qt::Horizontal) {
    if (role != Qt::DisplayRole || section < 0 || section >= static_cast<int>(g_->colonne_.size()))
      return {};
    QString t = g_->colonne_[section].intestazione;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return t;
  }
  if (role == Qt::TextAlignmentRole)
    return int(Qt::AlignCenter);
  if (role != Qt::DisplayRole)
    return {};
  // Row selectors: the current row, the new-row line, a new row waiting to be written.
  if (g_->rigaNuova(section))
    return g_->rs_->adding() ? QString(QChar(0x270E)) : QStringLiteral("*");
  if (section == g_->riga_)
    return QString(QChar(0x25B6));
  return QString();
}

// ---------------------------------------------------------------- editors

DelegatoGriglia::DelegatoGriglia(GrigliaDati *griglia)
    : QStyledItemDelegate(griglia), g_(griglia) {}

QWidget *DelegatoGriglia::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                       const QModelIndex &index) const {
  const data::Field &f = g_->rs_->fields()[index.column()];
  const QString testo = index.data(Qt::EditRole).toString();
  QWidget *w = nullptr;
  if (f.type == data::ado::LongVarWChar || testo.contains(QLatin1Char('\n'))) {
    auto *e = new QPlainTextEdit(parent);
    e->setFrameShape(QFrame::Box);
    e->setTabChangesFocus(true);
    w = e;
  } else {
    auto *e = new QLineEdit(parent);
    e->setFrame(false);
    // No length limit here: a longer text is refused with a message instead of being cut.
    if (numerico(f.type))
      e->setAlignment(Qt::AlignRight);
    w = e;
  }
  w->setFont(g_->vista_->font());
  editor_ = w;
  return w;
}

QString DelegatoGriglia::testoEditor(QWidget *editor, const QString &memorizzato) {
  if (auto *e = qobject_cast<QLineEdit *>(editor))
    return e->text();
  if (auto *e = qobject_cast<QPlainTextEdit *>(editor))
    return testoDaEditor(e->toPlainText(), memorizzato);
  return {};
}

void DelegatoGriglia::setEditorData(QWidget *editor, const QModelIndex &index) const {
  const QString testo = index.data(Qt::EditRole).toString();
  if (auto *e = qobject_cast<QLineEdit *>(editor))
    e->setText(testo);
  else if (auto *e = qobject_cast<QPlainTextEdit *>(editor))
    e->setPlainText(testoPerEditor(testo));
}

void DelegatoGriglia::setModelData(QWidget *editor, QAbstractItemModel *model,
                                   const QModelIndex &index) const {
  model->setData(index, testoEditor(editor, index.data(Qt::EditRole).toString()), Qt::EditRole);
}

void DelegatoGriglia::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const {
  QStyledItemDelegate::updateEditorGeometry(editor, option, index);
  if (qobject_cast<QPlainTextEdit *>(editor)) {
    QRect r = option.rect;
    r.setWidth(std::max(r.width(), 260));
    r.setHeight(std::max(r.height() * 5, 100));
    editor->setGeometry(r);
  }
}

bool DelegatoGriglia::eventFilter(QObject *obj, QEvent *ev) {
  if (ev->type() == QEvent::KeyPress) {
    auto *k = static_cast<QKeyEvent *>(ev);
    if (!g_->sostituto(k)) {
      QPointer<GrigliaDati> vivo(g_);
      auto esito = g_->segnalaTasto(k, obj);
      if (esito != GrigliaDati::EsitoTasto::Passa)
        return true;
      // An editor passes the keys it does not use to the view: report this one only once.
      g_->tastoSegnalato_ = k;
      QTimer::singleShot(0, g_, [g = g_, k] {
        if (g->tastoSegnalato_ == k)
          g->tastoSegnalato_ = nullptr;
      });
    }
  }
  return QStyledItemDelegate::eventFilter(obj, ev);
}

// ---------------------------------------------------------------- view

VistaGriglia::VistaGriglia(GrigliaDati *griglia) : QTableView(griglia), g_(griglia) {
  setEditTriggers(DoubleClicked | SelectedClicked | AnyKeyPressed);
  setSelectionBehavior(SelectItems);
  setSelectionMode(ExtendedSelection);
  setWordWrap(false);
  setTabKeyNavigation(true);
  setHorizontalScrollMode(ScrollPerPixel);
  auto *v = verticalHeader();
  v->setSectionResizeMode(QHeaderView::Fixed);
  v->setFixedWidth(24);
  auto *h = horizontalHeader();
  h->setSectionsClickable(true);
  h->setDefaultAlignment(Qt::AlignCenter);
  h->setSectionResizeMode(QHeaderView::Interactive);
  h->setHighlightSections(true);
  // A heading click orders the rows; it does not select the column or move the cursor.
  disconnect(h, &QHeaderView::sectionPressed, this, nullptr);
  disconnect(h, &QHeaderView::sectionEntered, this, nullptr);
}

void VistaGriglia::mousePressEvent(QMouseEvent *e) {
  if (g_->vistaInAttesa_)
    g_->allineaVista();
  QTableView::mousePressEvent(e);
}

void VistaGriglia::terminaModifica(bool mantieni) {
  QWidget *ed = g_->delegato_->editorAperto();
  if (!ed || state() != EditingState)
    return;
  if (mantieni)
    commitData(ed);
  closeEditor(ed, QAbstractItemDelegate::NoHint);
}

void VistaGriglia::keyPressEvent(QKeyEvent *e) {
  if (g_->vistaInAttesa_)
    g_->allineaVista();
  if (g_->sostituto(e)) {
    // a replacement key: reported as the key it replaced
  } else if (e == g_->tastoSegnalato_ && state() == EditingState) {
    g_->tastoSegnalato_ = nullptr; // passed on by the editor, already reported
  } else {
    QPointer<VistaGriglia> vivo(this);
    auto esito = g_->segnalaTasto(e, this);
    if (!vivo || esito != GrigliaDati::EsitoTasto::Passa) {
      e->accept();
      return;
    }
  }
  azioneTasto(e);
}

void VistaGriglia::azioneTasto(QKeyEvent *e) {
  const bool nudo = (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (state() != EditingState) {
    const QModelIndex cur = currentIndex();
    switch (e->key()) {
    case Qt::Key_Delete:
      if (nudo && cur.isValid() && selectionModel()->isRowSelected(cur.row(), {})) {
        g_->eliminaRiga(cur.row());
        e->accept();
        return;
      }
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      // Enter goes on to the next cell, and from the last column to the next row.
      QModelIndex dopo = moveCursor(MoveNext, Qt::NoModifier);
      if (dopo.isValid())
        setCurrentIndex(dopo);
      e->accept();
      return;
    }
    case Qt::Key_Escape:
      if (g_->rs_ && g_->rs_->adding()) {
        g_->rs_->CancelUpdate();
        e->accept();
        return;
      }
      break;
    }
  }
  QTableView::keyPressEvent(e);
}

QModelIndex VistaGriglia::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
  if (g_->vistaInAttesa_)
    g_->allineaVista();
  if (action != MoveHome && action != MoveEnd)
    return QTableView::moveCursor(action, modifiers);
  // Home and End go to the first and last row in the same column; with Ctrl, to the first and
  // last column of the row.
  const QModelIndex cur = currentIndex();
  const int r = cur.isValid() ? cur.row() : 0;
  const int c = cur.isValid() ? cur.column() : 0;
  auto *m = model();
  if (!m || m->rowCount() == 0 || m->columnCount() == 0)
    return {};
  if (modifiers & Qt::ControlModifier)
    return m->index(r, action == MoveHome ? 0 : m->columnCount() - 1);
  if (action == MoveHome)
    return m->index(0, c);
  int ultima = g_->rs_ ? static_cast<int>(g_->rs_->RecordCount()) - 1 : -1;
  if (ultima < 0)
    ultima = m->rowCount() - 1;
  return m->index(ultima, c);
}

void VistaGriglia::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) {
  const bool invio = hint == QAbstractItemDelegate::SubmitModelCache;
  g_->delegato_->dimentica(editor);
  QTableView::closeEditor(editor, hint);
  if (g_->tastoSegnalato_ && state() != EditingState)
    g_->tastoSegnalato_ = nullptr;
  g_->dopoModifica(invio);
}

void VistaGriglia::currentChanged(const QModelIndex &current, const QModelIndex &previous) {
  QTableView::currentChanged(current, previous);
  g_->suCorrenteCambiata(current.isValid() ? current.row() : -1,
                         current.isValid() ? current.column() : -1,
                         previous.isValid() ? previous.column() : -1);
}

} // namespace grid
