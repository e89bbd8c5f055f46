#include "gui/dialogs/WordGridModel.h"

#include <algorithm>

#include "core/text/TextCut.h"
#include "gui/kit/QtText.h"

namespace vz {

namespace {

// "問題" and "答え" in code page 932, UTF-8 and EUC-JP.
const char* const kCaptionBytes[3][3] = {{"", "\x96\xE2\x91\xE8", "\x93\x9A\x82\xA6"},
                                         {"", "問題", "答え"},
                                         {"", "\xCC\xE4\xC2\xEA", "\xC5\xFA\xA4\xA8"}};

}  // namespace

WordGridModel::WordGridModel(std::vector<std::string_view> lines, codec::Encoding enc, QObject* parent)
    : QAbstractTableModel(parent), rows_(std::move(lines), enc) {}

int WordGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_.Count() + 1;
}

int WordGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant WordGridModel::data(const QModelIndex& index, int role) const {
  // The tip shows a cell's whole text where the column cuts it off.
  if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid()) return {};
  const std::string_view cell = CellBytes(index.row(), index.column());
  const std::string_view shown = codec::Head(cell, kShownBytes, rows_.TextEncoding());
  QString text = codec::FromBytes(rows_.TextEncoding(), shown);
  if (shown.size() < cell.size()) text += QStringLiteral("…");
  return text;
}

Qt::ItemFlags WordGridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QVariant WordGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  static const char* const kNames[] = {"印", "問題", "答え"};
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 2) return {};
  return QString::fromUtf8(kNames[section]);
}

std::string_view WordGridModel::CellBytes(int row, int column) const {
  if (row == 0) {
    const codec::Encoding enc = codec::LineEncoding(rows_.TextEncoding());
    return kCaptionBytes[enc == codec::Encoding::Utf8 ? 1 : enc == codec::Encoding::EucJp ? 2 : 0][column];
  }
  return rows_.Cell(row - 1, column);
}

void WordGridModel::AppendPair(std::string question, std::string answers) {
  const int row = rowCount();
  beginInsertRows({}, row, row);
  rows_.Append(std::move(question), std::move(answers));
  endInsertRows();
}

int WordGridModel::DeleteRows(int top, int bottom) {
  top = std::max(top, 1);
  bottom = std::min(bottom, rowCount() - 1);
  if (top > bottom) return 0;
  beginRemoveRows({}, top, bottom);
  rows_.Remove(top - 1, bottom - top + 1);
  endRemoveRows();
  return bottom - top + 1;
}

}  // namespace vz
