// Maintenance tools: the "Command shell", "Filter tools" and "About" pages and
// the two link buttons of the main page. Each slot sends one or two device
// commands and reports in the console; the values come from usb/maintenance.h.
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTcpSocket>

#include "ui_mainwindow.h"
#include "usb/commands.h"
#include "usb/device_link.h"
#include "usb/maintenance.h"
#include "window/mainwindow.h"
#include "window/settings_store.h"

namespace {

SettingsStore& settings() { return settings_store(); }

// A decimal entry; blanks around it (the calibration result is right-aligned)
// are allowed, anything else is 0.
int entry_value(const QLineEdit* entry) {
  bool ok = false;
  const int value = entry->text().trimmed().toInt(&ok);
  return ok ? value : 0;
}

float float_entry(const QLineEdit* entry) {
  bool ok = false;
  const float value = entry->text().trimmed().toFloat(&ok);
  return ok ? value : 0.0f;
}

struct SaveTexts {
  const char* out_of_range;
  const char* saved;
  const char* failed;
  const char* disconnected;
  const char* settings_key;
};

const SaveTexts SAMPLE_RATE_TEXTS = {
    "Sample Rate is out of range!!!\n", "New Sample Rate was saved\n", "Cannot save Sample Rate!\n",
    "USB disconnected!\nSample Rate was saved to config file!\n", "sdr_sample_rate"};
const SaveTexts MAIN_CLOCK_TEXTS = {
    "Main clock frequency out of limit!\n", "New Main clock was saved\n",
    "Cannot save main clock parameters!\n",
    "USB disconnected!\nMain clock parameters was saved to config file!\n", "fe_main_clock_freq"};

const char* const USB_MODE_TEXTS[] = {
    "The new USB mode: MSD was saved, you should reboot SDR to make it active!\n\r",
    "The new USB mode: Audio was saved, you should reboot SDR to make it active!\n\r",
    "The new USB mode: HPSDR, please exit this application, SDR will be restarted into the new "
    "mode automatically\n\r"};

const char FIRMWARE_WARNING[] =
    "Warning! You are going to enter to firmware upgrade mode. Please be sure that network "
    "connection between SDR and PC was configured and working properly                   "
    "Without Network connection the SDR's firmware can be lost!";

// Shared by the sample-rate and main-clock saves: the range check, the pair
// of parameter saves (`save`), and the report in the console.
template <typename Save>
void save_to_receiver(QPlainTextEdit* console, bool in_range, int value, const SaveTexts& t,
                      Save save) {
  if (!in_range) {
    console->appendPlainText(t.out_of_range);
    return;
  }
  switch (save_outcome(save(static_cast<uint32_t>(value)), hid_device_handle() != nullptr)) {
    case SaveOutcome::Saved:
      console->appendPlainText(t.saved);
      break;
    case SaveOutcome::Failed:
      console->appendPlainText(t.failed);
      break;
    case SaveOutcome::Disconnected:
      console->appendPlainText(t.disconnected);
      settings().write_int(t.settings_key, value);
      break;
  }
}

}  // namespace

void MainWindow::on_lineEdit_command_input_returnPressed() {
  for (const QChar ch : ui->lineEdit_command_input->text())
    CMD_CONSOLE_CHAR(static_cast<char>(ch.unicode() & 0xFF));
  CMD_CONSOLE_CHAR('\n');
}

void MainWindow::on_checkBox_HID_console_on_toggled(bool checked) { CMD_ROUTE_CONSOLE_TO_HID(checked); }

void MainWindow::on_pushButton_SR_pressed() {
  const int rate = entry_value(ui->lineEdit_command_input);
  const int mode = rx_mode;
  save_to_receiver(ui->plainTextEdit, sample_rate_storable(rate), rate, SAMPLE_RATE_TEXTS,
                   [mode](uint32_t v) { return CMD_SAVE_SAMPLE_RATE(v, mode); });
}

void MainWindow::on_pushButton_main_clock_pressed() {
  const int hz = entry_value(ui->lineEdit_command_input);
  save_to_receiver(ui->plainTextEdit, main_clock_storable(hz), hz, MAIN_CLOCK_TEXTS,
                   [](uint32_t v) { return CMD_SAVE_MAIN_CLOCK(v); });
}

void MainWindow::on_pushButton_calibration_pressed() {
  const int clock = calibrated_main_clock(float_entry(ui->lineEdit_test_freq),
                                          float_entry(ui->lineEdit_measure_freq), main_clock);
  ui->lineEdit_command_input->setText(QString("%1").arg(clock, 9));
  QPlainTextEdit* console = ui->plainTextEdit;
  console->insertPlainText(
      "Please check now \"Command Input\" text box, it contains calculated real value of SDR's "
      "Main Clock Frequecy \n\r");
  console->insertPlainText(
      "If you want to save calibrated Main Clock Frequency parameter in SDR's internal EEPROM, "
      "press the button \"Save Main Clock\" \n\r");
  console->insertPlainText(
      "It is strongly recommended also to correct Sample Rate value to match the new Main Clock "
      "frequency\n\r");
}

void MainWindow::on_pushButton_VCO_save_pressed() {
  CMD_SAVE_VCO(ui->spinBox_VCO_comp->value());
  ui->plainTextEdit->appendPlainText("Default VCO voltage was saved\n");
}

void MainWindow::on_spinBox_VCO_comp_valueChanged(int value) {
  if (!startup_pending) CMD_SET_VCO_COMPENSATION(value);
  settings().write_int("sdr_vco_voltage", value);
}

void MainWindow::on_pushButton_gain_table_pressed() {
  const int rows_db[4] = {ui->spinBox_gain_table_0db->value(), ui->spinBox_gain_table_10db->value(),
                          ui->spinBox_gain_table_20db->value(), ui->spinBox_gain_table_30db->value()};
  CMD_SAVE_GAIN_TABLE(pack_gain_table(rows_db));
}

void MainWindow::on_pushButton_get_sync_state_pressed() { CMD_QUERY_SYNC_STATE(); }

void MainWindow::on_pushButton_usb_mode_pressed() {
  const int mode = ui->comboBox_USB_mode->currentIndex();
  CMD_SET_USB_MODE(static_cast<uint8_t>(mode));
  if (mode >= 0 && mode <= 2) ui->plainTextEdit->insertPlainText(USB_MODE_TEXTS[mode]);
}

void MainWindow::on_checkBox_LEDs_on_clicked(bool checked) { CMD_SET_LEDS_OFF(checked); }

void MainWindow::on_pushButton_choose_sdr_path_pressed() {
  QFileDialog dialog(this, "Choose SDR path ...", QDir::currentPath());
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  const QString path = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                           ? dialog.selectedFiles().first()
                           : QString();
  ui->lineEdit_sdr_drive_path->setText(path);
  drive_path = path;
  settings().write_text("sdr_path", QString::fromLocal8Bit(path.toLocal8Bit()));
  set_msd_path(path.toLocal8Bit().left(MSD_PATH_CAPACITY - 1).constData());
  char name[NAME_BUFFER_BYTES] = {};
  start_usb_link(name);
  startup_pending = 1;
}

void MainWindow::on_pushButton_choose_filter_pressed() {
  QFileDialog dialog(this, "Open Filter file", QDir::currentPath(),
                     "Filter files (*.txt);;All files (*.*)");
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
    ui->lineEdit_filter_file->setText(dialog.selectedFiles().first());
  else
    ui->lineEdit_filter_file->setText(QString());
}

void MainWindow::on_lineEdit_i2c_switch_returnPressed() {
  const QString text = ui->lineEdit_i2c_switch->text();
  CMD_SET_I2C_OUTPUT(parse_i2c_word(text.toStdString()));
  ui->comboBox_I2C_Switch->setItemText(0, text);
}

void MainWindow::Change_BPF(unsigned short word) { CMD_SET_I2C_OUTPUT(word); }

void MainWindow::on_checkBox_bypass_lpf_toggled(bool checked) {
  bypass_lpf = checked ? 1 : 0;
  CMD_SET_BYPASS_LPF(checked);
  settings().write_int("bypass_lpf", bypass_lpf);
}

void MainWindow::on_comboBox_Modulation_currentIndexChanged(int index) {
  CMD_SET_MODULATION(static_cast<uint8_t>(index));
}

void MainWindow::on_pushButton_LCD_cal_clicked() { CMD_LCD_CALIBRATION(); }

void MainWindow::on_pushButton_firmware_upgrade_pressed() {
  QMessageBox box(this);
  box.setText(FIRMWARE_WARNING);
  box.setInformativeText("Do you really want to make firmware upgrade?");
  box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
  box.setDefaultButton(QMessageBox::Cancel);
  if (box.exec() == QMessageBox::Ok) CMD_FIRMWARE_UPGRADE();
}

void MainWindow::on_pushButton_ResetSDR_pressed() { CMD_RESET(); }

void MainWindow::on_pushButton_clicked() {
  int result;
  if (network_mode == 1) {
    ui->radioButton->setText("SDR Network");
    result = !control_socket || control_socket->state() == QAbstractSocket::UnconnectedState ? 1 : 0;
  } else {
    char name[NAME_BUFFER_BYTES] = {};
    result = reopen_device_link(name);
    ui->radioButton->setText(QString::fromLatin1(name));
  }
  if (hid_device_handle() != nullptr || result == 0) CMD_SDR_INIT();
}
