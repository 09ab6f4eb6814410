// The band scanner: a table of frequencies (kHz), a check box per row, and a
// timer that steps the window's tuned frequency through the checked rows. It
// only sets tuned_frequency; the status poll tunes the receiver from there.
#include <QCheckBox>
#include <QLineEdit>
#include <QTableWidget>

#include "ui_mainwindow.h"
#include "window/check_layout.h"
#include "window/mainwindow.h"
#include "window/settings_store.h"

namespace {

constexpr int DEFAULT_DWELL_MS = 1000;

// A decimal entry; text that is not a number (or does not fit int) is 0.
int decimal_or_zero(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  return ok ? value : 0;
}

// kHz to Hz without overflow: a typed value beyond what int holds in Hz is
// clamped rather than wrapped into a negative or unrelated frequency.
int khz_to_hz(int khz) {
  const long long hz = static_cast<long long>(khz) * 1000;
  if (hz > INT32_MAX) return INT32_MAX;
  if (hz < INT32_MIN) return INT32_MIN;
  return static_cast<int>(hz);
}

bool row_checked(const QTableWidget* table, int row) {
  const auto* cell = qobject_cast<const CheckLayout*>(table->cellWidget(row, 0));
  return cell && cell->isChecked();
}

}  // namespace

void MainWindow::on_checkBox_bands_scan_enable_clicked(bool checked) {
  if (!checked) {
    band_scan_timer->stop();
    return;
  }
  const long long dwell_ms = static_cast<long long>(decimal_or_zero(ui->lineEdit_scan_delay->text())) * 1000;
  // 0 (empty or not a number) is one second; a negative or oversized dwell
  // would make QTimer refuse to start or fire at once, so it is one second too.
  band_scan_interval = dwell_ms > 0 && dwell_ms <= INT32_MAX ? static_cast<int>(dwell_ms) : DEFAULT_DWELL_MS;
  band_scan_timer->start(band_scan_interval);
}

void MainWindow::on_lineEdit_scan_delay_returnPressed() {
  settings_store().write_text("scan_delay", ui->lineEdit_scan_delay->text());
}

void MainWindow::Bands_Scan_Process() {
  QTableWidget* table = ui->tableWidget_bands;
  for (int row = band_scan_row; row < table->rowCount(); ++row) {
    if (!row_checked(table, row)) continue;
    const QTableWidgetItem* item = table->item(row, 1);
    if (!item) {
      band_scan_row = 0;
      return;
    }
    tuned_frequency = khz_to_hz(decimal_or_zero(item->text()));
    table->selectRow(row);
    band_scan_row = row + 1;
    host_tuned = 0;
    return;
  }
  band_scan_row = 0;
}

void MainWindow::on_tableWidget_bands_cellPressed(int row, int column) {
  QTableWidget* table = ui->tableWidget_bands;
  if (!table->item(row, column)) return;
  const QTableWidgetItem* frequency = table->item(row, 1);
  if (!frequency) return;
  band_scan_row = row;
  tuned_frequency = khz_to_hz(decimal_or_zero(frequency->text()));
  host_tuned = 0;
}

void MainWindow::on_tableWidget_bands_cellChanged(int row, int) {
  const QTableWidgetItem* frequency = ui->tableWidget_bands->item(row, 1);
  if (!frequency || startup_pending != 0) return;
  settings_store().write_text(QString("scan_band%1").arg(row + 1), frequency->text());
}
