#pragma once
// The editor's grid as a table model: row 0 is the caption row ("", "問題",
// "答え"), row r >= 1 is word row r - 1. Cells are kept as bytes in the word
// list's encoding and turned into text only when the view asks for one, so
// only the rows on screen are ever converted.
#include <QAbstractTableModel>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "gui/dialogs/WordRows.h"

namespace vz {

class WordGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // Refers to `lines`, which must stay unchanged while the model lives.
  WordGridModel(std::vector<std::string_view> lines, codec::Encoding enc, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // The columns' names, for assistive technology: the view shows no header
  // (row 0 is the caption row) but a screen reader names a cell's column.
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  // Cell bytes of grid row `row` (row 0: the caption texts), in the list's
  // encoding.
  std::string_view CellBytes(int row, int column) const;
  // A cell shows, and its tip holds, at most this many bytes of its text:
  // far more than a column or a tip can show, and a line of megabytes is
  // never converted and laid out whole.
  static constexpr std::size_t kShownBytes = 1024;

  // Adds the row "0", question, answers at the end of the grid.
  void AppendPair(std::string question, std::string answers);
  // Deletes the grid rows top .. bottom, except the caption row, which is
  // never deleted. Returns how many rows went.
  int DeleteRows(int top, int bottom);

  const WordRows& Rows() const { return rows_; }

 private:
  WordRows rows_;
};

}  // namespace vz
