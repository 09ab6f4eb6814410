#include "window/check_layout.h"

#include <QCheckBox>
#include <QHBoxLayout>

CheckLayout::CheckLayout(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout();
  check_box_ = new QCheckBox();
  layout->addWidget(check_box_, 0, Qt::AlignHCenter);
  // A table row is only about 30 px high: the default margins would squeeze the box.
  layout->setContentsMargins(0, 0, 0, 0);
  setLayout(layout);  // the widget now owns the layout and, through it, the box
}

bool CheckLayout::isChecked() const {
  return check_box_ && check_box_->isChecked();
}
