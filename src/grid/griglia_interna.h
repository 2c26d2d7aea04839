#pragma once
// The parts of the data grid: a table model that reads the recordset in place (no per-cell
// items), the view that reports keys before acting on them, and the editors by field type.
#include "grid/griglia_dati.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

namespace grid {

class ModelloGriglia : public QAbstractTableModel {
  Q_OBJECT
public:
  explicit ModelloGriglia(GrigliaDati *griglia);

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  bool setData(const QModelIndex &index, const QVariant &value, int role) override;
  Qt::ItemFlags flags(const QModelIndex &index) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;

  // Counts are cached so the view sees the old count until each change is announced.
  void ricarica();
  void rigaAggiunta(long posizione);
  void rigaTolta(long posizione);
  void rigaCambiata(long posizione);
  void rigaNuovaCambiata();
  void selettoreCambiato(int prima, int dopo);
  bool haRigaNuova() const;

private:
  jet::Value valore(int riga, int colonna) const;
  GrigliaDati *g_;
  int righe_ = 0;
  int colonne_ = 0;
};

class DelegatoGriglia : public QStyledItemDelegate {
  Q_OBJECT
public:
  explicit DelegatoGriglia(GrigliaDati *griglia);
  QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                        const QModelIndex &index) const override;
  void setEditorData(QWidget *editor, const QModelIndex &index) const override;
  void setModelData(QWidget *editor, QAbstractItemModel *model,
                    const QModelIndex &index) const override;
  void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const override;
  QWidget *editorAperto() const { return editor_; }
  void dimentica(QWidget *editor) {
    if (editor_ == editor)
      editor_ = nullptr;
  }
  // The editor's text as it is to be stored in place of memorizzato.
  static QString testoEditor(QWidget *editor, const QString &memorizzato);

protected:
  bool eventFilter(QObject *obj, QEvent *ev) override;

private:
  GrigliaDati *g_;
  mutable QPointer<QWidget> editor_;
};

class VistaGriglia : public QTableView {
  Q_OBJECT
public:
  explicit VistaGriglia(GrigliaDati *griglia);
  // Ends the open cell edit; keep true commits what was typed, false drops it.
  void terminaModifica(bool mantieni);
  bool inModifica() const { return state() == EditingState; }

protected:
  void keyPressEvent(QKeyEvent *e) override;
  void mousePressEvent(QMouseEvent *e) override;
  void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
  void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
  void azioneTasto(QKeyEvent *e);
  GrigliaDati *g_;
};

} // namespace grid
