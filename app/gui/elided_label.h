// A one-line label that shows a text too long for it with "…" in the middle, so that both
// ends of a path stay visible. text() is the whole text.
#pragma once

#include <QLabel>

namespace durvane::gui {

class ElidedLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace durvane::gui
