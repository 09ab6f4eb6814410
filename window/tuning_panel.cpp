// Frequency, tuning and gain controls of the "SDR Control" page, and the
// host's tuning and gain requests. The receiver is tuned by the status poll
// when it sees tuned_frequency differ from last_sent_frequency.
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QMutexLocker>
#include <cmath>
#include <cstdlib>

#include "plugin/host_requests.h"
#include "plugin/receiver_state.h"
#include "ui_mainwindow.h"
#include "usb/commands.h"
#include "usb/device_link.h"
#include "window/mainwindow.h"
#include "window/settings_store.h"

namespace {

const double FE_GAIN_FACTORS[7] = {1.0, 1.14, 1.33, 1.6, 2.0, 2.67, 4.0};

// Last position of the tuning knob (the knob wraps around 0..255).
int knob_position = 0;

int knob_direction(int p, int q) {
  if (p > q) return (q <= 9 && p > 240) ? -1 : +1;
  if (p < q) return (q > 240 && p <= 9) ? +1 : -1;
  return p > 240 ? +1 : -1;
}

// A decimal entry as a signed 32-bit frequency; anything else (including a
// number too large for 32 bits) is 0.
int parse_frequency(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  return ok ? value : 0;
}

// |f| for any 32-bit f: the most negative value has no positive twin.
int magnitude(int f) { return f == INT32_MIN ? INT32_MAX : std::abs(f); }

// tuned × inversion + heterodyne without signed overflow; wraps like the
// receiver's 32-bit arithmetic.
int lo_of(int tuned, int inversion, int heterodyne) {
  return static_cast<int>(static_cast<uint32_t>(static_cast<int64_t>(tuned) * inversion) +
                          static_cast<uint32_t>(heterodyne));
}

}  // namespace

void MainWindow::on_dial_valueChanged(int) {
  const int p = ui->dial->sliderPosition();
  const int direction = knob_direction(p, knob_position);
  knob_position = p;
  const double next = static_cast<double>(tuned_frequency) +
                      static_cast<double>(direction) * inversion * tune_step;
  tuned_frequency = static_cast<int>(std::fmax(std::fmin(std::trunc(next), INT32_MAX), INT32_MIN));
  host_tuned = 0;
}

void MainWindow::on_horizontalSlider_tune_step_valueChanged(int value) {
  tune_step = value < 6 ? static_cast<int>(std::pow(10, 6 - value)) : 1;
  ui->label_tune_step->setText(QString("Tune step x%1").arg(tune_step));
}

void MainWindow::on_lineEdit_returnPressed() {
  display_frequency = parse_frequency(ui->lineEdit->text());
  heterodyne = 0;
  alias_inversion = 1;
  inversion = 1;
  tuned_frequency = magnitude(display_frequency);
  last_sent_frequency = 0;
  host_tuned = 0;
}

void MainWindow::set_lo_from_host(int32_t frequency) {
  display_frequency = frequency;
  heterodyne = 0;
  alias_inversion = 1;
  inversion = 1;
  tuned_frequency = magnitude(frequency);
  host_tuned = 1;
}

void MainWindow::show_tune_frequency(int32_t frequency) { ui->lcdNumber_rx->display(frequency); }

void MainWindow::on_lineEdit_2_returnPressed() {
  heterodyne = parse_frequency(ui->lineEdit_2->text());
  settings_store().write_int("tcvr_heterodyne_frequency", heterodyne);
  display_frequency = lo_of(tuned_frequency, inversion, heterodyne);
  last_sent_frequency = 0;
}

void MainWindow::on_checkBox_toggled(bool checked) { set_transverter_mode(checked); }

void MainWindow::set_transverter_mode(bool on) {
  SettingsStore& settings = settings_store();
  if (on) {
    ui->lineEdit_2->show();
    ui->label_5->show();
    ui->checkBox_inversion_flag->show();
    if (settings.read_int("inversion_mode_flag", 0) == 1) {
      inversion = -1;
      ui->checkBox_inversion_flag->setChecked(true);
    } else {
      inversion = 1;
    }
    settings.write_int("transverter_mode_flag", 1);
    heterodyne = static_cast<int>(settings.read_unsigned("tcvr_heterodyne_frequency", 0));
    ui->lineEdit_2->setText(QString("%1").arg(heterodyne, 10));
    display_frequency = lo_of(tuned_frequency, inversion, heterodyne);
    last_sent_frequency = 0;
  } else {
    heterodyne = 0;
    ui->lineEdit_2->hide();
    ui->label_5->hide();
    ui->checkBox_inversion_flag->hide();
    last_sent_frequency = 0;
    inversion = 1;
    display_frequency = tuned_frequency;
    settings.write_int("transverter_mode_flag", 0);
  }
  host_tuned = 0;
}

void MainWindow::on_checkBox_inversion_flag_toggled(bool checked) {
  inversion = checked ? -1 : 1;
  settings_store().write_int("inversion_mode_flag", checked ? 1 : 0);
  display_frequency = lo_of(tuned_frequency, inversion, heterodyne);
  last_sent_frequency = 0;
}

void MainWindow::on_dial_FE_gain_sliderMoved(int value) { apply_fe_gain(value); }

void MainWindow::apply_fe_gain(int index) {
  if (index < 0 || index > 6) return;  // the dial's range; nothing else is a gain step
  ui->lcdNumber_FE_gain->display(QString("%1").arg(FE_GAIN_FACTORS[index], 0, 'f', 2));
  CMD_SET_FE_GAIN(index, channel);
  settings_store().write_int("fe_gain", index);
  fe_gain_index = index;
}

QLCDNumber* MainWindow::channel_gain_display() const {
  if (stream_number == 1) return ui->lcdNumber_rf_gain_ch1;
  if (stream_number == 2) return ui->lcdNumber_rf_gain_ch2;
  switch (channel) {
    case 0: return ui->lcdNumber_rf_gain_ch1;
    case 2: return ui->lcdNumber_rf_gain_ch2;
    case 3: return ui->lcdNumber_rf_gain_ch3;
    case 4: return ui->lcdNumber_rf_gain_ch4;
    default: return nullptr;
  }
}

QString MainWindow::show_rf_gain(int value) {
  rf_gain_db = static_cast<float>(::rf_gain_db(device_generation, value));
  window_gain_db = rf_gain_db;
  const QString text = QString("%1 db").arg(static_cast<double>(rf_gain_db), 0, 'f', 2);
  if (QLCDNumber* display = channel_gain_display()) display->display(text);
  return text;
}

void MainWindow::on_dial_2_valueChanged(int value) {
  ui->lcdNumber2->display(show_rf_gain(value));
  ui->dial_RF_Gain_ch2->setValue(value);
}

void MainWindow::on_dial_RF_Gain_ch2_valueChanged(int value) { show_rf_gain(value); }

void MainWindow::set_rf_gain(int channel_code, int gain) {
  QMutexLocker lock(&gain_lock);
  gain_from_host = 1;
  ui->dial_2->setValue(gain);
  if (!startup_pending) CMD_SET_RF_GAIN(gain, channel_code);
  if (channel_code >= 0 && channel_code < 5) rf_gain_code[channel_code] = gain;
  settings_store().write_int(channel_code == 0 ? "rf_gain" : "rf_gain_ch2", gain);
}

void MainWindow::sync_rf_gain_from_host() {
  QCheckBox* agc = agc_box_of(channel);
  if (agc && agc->isChecked()) return;
  const int step = receiver_state().att_index();
  const int code = (channel >= 0 && channel < 5) ? rf_gain_code[channel] : 0;
  if (step * 8 == (code & 0x78)) return;
  if (ui->checkBox_overload->isChecked()) return;
  set_rf_gain(channel, step * 8);
}
