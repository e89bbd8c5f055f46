#include "gui/kit/Glyphs.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace vz {
namespace {

constexpr int kSize = 18;

template <class Paint>
QIcon MakeGlyph(QColor colour, Paint paint) {
  QIcon icon;
  const QColor grey(128, 128, 128);
  for (auto [mode, c] : {std::pair{QIcon::Normal, colour}, std::pair{QIcon::Disabled, grey}}) {
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    paint(p, c);
    p.end();
    icon.addPixmap(pm, mode);
  }
  return icon;
}

}  // namespace

QIcon QuestionGlyph() {
  return MakeGlyph(QColor(0, 128, 128), [](QPainter& p, QColor c) {
    QFont f("DejaVu Sans");
    f.setPixelSize(17);
    f.setBold(true);
    p.setFont(f);
    p.setPen(c);
    p.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, "?");
  });
}

QIcon CrossGlyph() {
  return MakeGlyph(QColor(255, 0, 0), [](QPainter& p, QColor c) {
    p.setPen(QPen(c, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(4, 4, 14, 14);
    p.drawLine(14, 4, 4, 14);
  });
}

}  // namespace vz
