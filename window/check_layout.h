#pragma once

#include <QPointer>
#include <QWidget>

class QCheckBox;

// A table cell holding one check box, centred horizontally. The band table puts
// one in column 0 of every row ("Scan Enable").
class CheckLayout : public QWidget {
  Q_OBJECT

 public:
  explicit CheckLayout(QWidget* parent = nullptr);

  // State of the cell's check box; false once the box is gone.
  bool isChecked() const;

 private:
  QPointer<QCheckBox> check_box_;
};
