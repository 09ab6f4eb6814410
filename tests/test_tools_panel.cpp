// The maintenance tools and the VHF/SHF page against the simulated HID
// receiver: the reports it gets, the console texts and what is stored.
#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest/QTest>

#include "support/receiver_window.h"
#include "ui_mainwindow.h"

namespace {

Report report(std::initializer_list<uint8_t> bytes) { return Report(bytes); }

void enter(QLineEdit* entry, const QString& text) {
  entry->setText(text);
  QTest::keyClick(entry, Qt::Key_Return);
}

bool console_has(MainWindow& w, const QString& text) {
  return w.widgets()->plainTextEdit->toPlainText().contains(text);
}

class ToolsPanel : public ReceiverWindowTest {};

}  // namespace

TEST_F(ToolsPanel, SampleRateIsStoredOnlyInsideItsRange) {
  open_window();
  Ui::MainWindow* ui = window().widgets();
  for (const char* rejected : {"16000", "1300000", "", "rate"}) {
    ui->lineEdit_command_input->setText(rejected);
    ui->pushButton_SR->click();
    EXPECT_TRUE(sent().empty()) << rejected;
  }
  EXPECT_TRUE(console_has(window(), "Sample Rate is out of range!!!\n"));

  ui->lineEdit_command_input->setText("16001");  // 0x3E81
  ui->pushButton_SR->click();
  EXPECT_EQ(sent(), (std::vector<Report>{report({1, 0x56, 6, 0x81, 0x3E, 0, 0}),
                                        report({1, 0x56, 7, 0, 0, 0, 0})}));
  mark();
  window().rx_mode = 2;  // a multichannel mode stores the other pair
  ui->lineEdit_command_input->setText("1299999");  // 0x13D61F
  ui->pushButton_SR->click();
  EXPECT_EQ(sent(), (std::vector<Report>{report({1, 0x56, 9, 0x1F, 0xD6, 0, 0}),
                                        report({1, 0x56, 10, 0x13, 0, 0, 0})}));
  EXPECT_TRUE(console_has(window(), "New Sample Rate was saved\n"));
}

TEST_F(ToolsPanel, MainClockIsStoredInTwoHalvesOnlyInsideItsRange) {
  open_window();
  Ui::MainWindow* ui = window().widgets();
  for (const char* rejected : {"0", "101000000"}) {
    ui->lineEdit_command_input->setText(rejected);
    ui->pushButton_main_clock->click();
  }
  EXPECT_TRUE(sent().empty());
  EXPECT_TRUE(console_has(window(), "Main clock frequency out of limit!\n"));

  ui->lineEdit_command_input->setText("100999999");  // 0x0605233F, low half first
  ui->pushButton_main_clock->click();
  EXPECT_EQ(sent(), (std::vector<Report>{report({1, 0x56, 0, 0x3F, 0x23, 0, 0}),
                                        report({1, 0x56, 1, 0x05, 0x06, 0, 0})}));
  EXPECT_TRUE(console_has(window(), "New Main clock was saved\n"));
}

TEST_F(ToolsPanel, WithNoReceiverTheValuesGoToTheSettings) {
  open_window("", /*receiver=*/false);
  Ui::MainWindow* ui = window().widgets();
  ui->lineEdit_command_input->setText("1000000");
  ui->pushButton_SR->click();
  ui->lineEdit_command_input->setText("80000123");
  ui->pushButton_main_clock->click();
  EXPECT_TRUE(console_has(window(), "USB disconnected!\nSample Rate was saved to config file!\n"));
  EXPECT_TRUE(
      console_has(window(), "USB disconnected!\nMain clock parameters was saved to config file!\n"));
  const std::string ini = stored_settings();
  EXPECT_NE(ini.find("sdr_sample_rate=1000000\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("fe_main_clock_freq=80000123\n"), std::string::npos) << ini;
}

TEST_F(ToolsPanel, ALostReceiverIsNotReportedAsSaved) {
  open_window();
  hid_sim::unplug();
  Ui::MainWindow* ui = window().widgets();
  ui->lineEdit_command_input->setText("1000000");
  ui->pushButton_SR->click();
  EXPECT_TRUE(console_has(window(), "Cannot save Sample Rate!\n"));
  EXPECT_FALSE(console_has(window(), "was saved"));
  EXPECT_EQ(stored_settings().find("sdr_sample_rate=1000000"), std::string::npos);
}

TEST_F(ToolsPanel, CalibrationFillsTheEntryThatSaveMainClockReads) {
  open_window();
  Ui::MainWindow* ui = window().widgets();
  window().main_clock = 80000000;
  ui->lineEdit_test_freq->setText("10000000");
  ui->lineEdit_measure_freq->setText("10000100");
  ui->pushButton_calibration->click();
  EXPECT_EQ(ui->lineEdit_command_input->text(), " 79999200");
  EXPECT_TRUE(sent().empty());
  for (const char* line : {"it contains calculated real value of SDR's Main Clock Frequecy",
                           "press the button \"Save Main Clock\"",
                           "correct Sample Rate value to match the new Main Clock frequency"})
    EXPECT_TRUE(console_has(window(), line)) << line;

  ui->pushButton_main_clock->click();  // 79999200 = 0x04C4B0E0
  EXPECT_EQ(sent(), (std::vector<Report>{report({1, 0x56, 0, 0xE0, 0xB0, 0, 0}),
                                        report({1, 0x56, 1, 0xC4, 0x04, 0, 0})}));

  // A test frequency of 0 gives 0, which the save then refuses.
  mark();
  ui->lineEdit_test_freq->setText("0");
  ui->pushButton_calibration->click();
  EXPECT_EQ(ui->lineEdit_command_input->text(), "        0");
  ui->pushButton_main_clock->click();
  EXPECT_TRUE(sent().empty());
}

TEST_F(ToolsPanel, ResetAtOnceFirmwareUpgradeOnlyAfterOk) {
  open_window();
  Ui::MainWindow* ui = window().widgets();
  ui->pushButton_ResetSDR->click();
  EXPECT_EQ(sent(), std::vector<Report>{report({2, 0x35, 0, 0, 0, 0, 0})});

  for (const auto answer : {QMessageBox::Cancel, QMessageBox::Ok}) {
    mark();
    QString text, informative;
    bool cancel_is_default = false;
    when_dialog_opens<QMessageBox>([&, answer](QMessageBox* box) {
      text = box->text();
      informative = box->informativeText();
      cancel_is_default = box->defaultButton() == box->button(QMessageBox::Cancel);
      box->button(answer)->click();
    });
    ui->pushButton_firmware_upgrade->click();
    EXPECT_TRUE(text.startsWith("Warning! You are going to enter to firmware upgrade mode."));
    EXPECT_EQ(informative, "Do you really want to make firmware upgrade?");
    EXPECT_TRUE(cancel_is_default);
    if (answer == QMessageBox::Cancel) {
      EXPECT_TRUE(sent().empty());
    } else {
      ASSERT_EQ(sent().size(), 1u);
      EXPECT_EQ(sent()[0][0], 2);
      EXPECT_EQ(sent()[0][1], 0x26);
    }
  }
}

TEST_F(ToolsPanel, ConsoleLineSendsEachCharacterThenALineFeed) {
  open_window();
  enter(window().widgets()->lineEdit_command_input, "ver");
  EXPECT_EQ(sent(), (std::vector<Report>{report({2, 0x0A, 'v', 0, 0, 0, 0}),
                                        report({2, 0x0A, 'e', 0, 0, 0, 0}),
                                        report({2, 0x0A, 'r', 0, 0, 0, 0}),
                                        report({2, 0x0A, '\n', 0, 0, 0, 0})}));
  EXPECT_EQ(window().widgets()->lineEdit_command_input->text(), "ver");
}

TEST_F(ToolsPanel, I2cOutputFromTheEntryAndThroughTheMetaObject) {
  open_window();
  Ui::MainWindow* ui = window().widgets();
  enter(ui->lineEdit_i2c_switch, "0x0001");
  EXPECT_EQ(sent(), std::vector<Report>{report({2, 0x23, 0x01, 0, 0, 0, 0})});
  EXPECT_EQ(ui->comboBox_I2C_Switch->itemText(0), "0x0001");

  mark();
  ASSERT_TRUE(QMetaObject::invokeMethod(&window(), "Change_BPF",
                                        Q_ARG(unsigned short, static_cast<unsigned short>(0xA55A))));
  EXPECT_EQ(sent(), std::vector<Report>{report({2, 0x23, 0x5A, 0xA5, 0, 0, 0})});
}

TEST_F(ToolsPanel, VcoCompensationWaitsForTheStartUpButIsAlwaysStored) {
  open_window();
  Ui::MainWindow* ui = window().widgets();
  ASSERT_EQ(window().startup_pending, 1);
  ui->spinBox_VCO_comp->setValue(-48);
  EXPECT_TRUE(sent().empty());
  EXPECT_NE(stored_settings().find("sdr_vco_voltage=-48\n"), std::string::npos);

  window().startup_pending = 0;
  ui->spinBox_VCO_comp->setValue(100);  // 2148 = 0x864
  EXPECT_EQ(sent(), std::vector<Report>{report({2, 0x1F, 0x64, 0x08, 0, 0, 0})});
  mark();
  ui->pushButton_VCO_save->click();
  EXPECT_EQ(sent(), std::vector<Report>{report({1, 0x56, 27, 0x64, 0x08, 0, 0})});
  EXPECT_TRUE(console_has(window(), "Default VCO voltage was saved\n"));
}

TEST_F(ToolsPanel, UsbModeTellsWhatHappensNext) {
  open_window();
  Ui::MainWindow* ui = window().widgets();
  ui->comboBox_USB_mode->setCurrentIndex(2);
  ui->pushButton_usb_mode->click();
  ASSERT_EQ(sent().size(), 1u);
  EXPECT_EQ(sent()[0][2], 2);
  EXPECT_TRUE(console_has(window(), "The new USB mode: HPSDR, please exit this application"));
}

TEST_F(ToolsPanel, BypassLpfIsSentKeptAndStored) {
  open_window();
  window().widgets()->checkBox_bypass_lpf->click();
  ASSERT_EQ(sent().size(), 1u);
  EXPECT_EQ(sent()[0][2], 1);
  EXPECT_EQ(window().bypass_lpf, 1);
  EXPECT_NE(stored_settings().find("bypass_lpf=1\n"), std::string::npos);
}

TEST_F(ToolsPanel, ChoosingTheDrivePathOpensTheLinkAndRestartsTheStartUp) {
  open_window();
  window().startup_pending = 0;
  const QString chosen = QDir::currentPath();
  when_dialog_opens<QFileDialog>([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Choose SDR path ...");
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    dialog->selectFile(chosen);
    static_cast<QDialog*>(dialog)->accept();
  });
  window().widgets()->pushButton_choose_sdr_path->click();
  EXPECT_EQ(window().widgets()->lineEdit_sdr_drive_path->text(), chosen);
  EXPECT_EQ(hid_status, LINK_HID);
  EXPECT_EQ(window().widgets()->comboBox_USB_mode->currentIndex(), 1);
  EXPECT_EQ(window().link_state, 3);
  EXPECT_EQ(window().startup_pending, 1);
  EXPECT_STREQ(msd_path, chosen.toLocal8Bit().constData());
  const std::string ini = stored_settings();
  EXPECT_NE(ini.find("sdr_path=" + chosen.toStdString()), std::string::npos) << ini;
  EXPECT_NE(ini.find("hid_status=1\n"), std::string::npos) << ini;

  // Cancelled: the path is emptied, and with the receiver gone no link opens.
  hid_sim::reset();
  when_dialog_opens<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
  window().widgets()->pushButton_choose_sdr_path->click();
  EXPECT_EQ(window().widgets()->lineEdit_sdr_drive_path->text(), "");
  EXPECT_EQ(hid_status, LINK_NONE);
  EXPECT_EQ(window().link_state, 0);
  EXPECT_EQ(window().widgets()->comboBox_USB_mode->currentIndex(), 0);
}

TEST_F(ToolsPanel, FilterFileIsOnlyShown) {
  open_window();
  write_file("lowpass.txt", "1 2 3\n");
  const QString file = QDir::current().absoluteFilePath("lowpass.txt");
  when_dialog_opens<QFileDialog>([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Open Filter file");
    EXPECT_EQ(dialog->nameFilters(), QStringList({"Filter files (*.txt)", "All files (*.*)"}));
    dialog->selectFile(file);
    static_cast<QDialog*>(dialog)->accept();
  });
  window().widgets()->pushButton_choose_filter->click();
  EXPECT_EQ(window().widgets()->lineEdit_filter_file->text(), file);
  EXPECT_TRUE(sent().empty());
}

TEST_F(ToolsPanel, SdrConnectReopensTheLinkAndInitialisesTheReceiver) {
  open_window();
  window().widgets()->radioButton->setText("");
  window().widgets()->pushButton->click();
  EXPECT_FALSE(window().widgets()->radioButton->text().isEmpty());
  ASSERT_FALSE(sent().empty());
  EXPECT_EQ(sent().back()[0], 2);
  EXPECT_EQ(hid_sim::open_handles(), 1) << "the old handle is closed";
}

// --- VHF/SHF page -------------------------------------------------------------

TEST_F(ToolsPanel, VhfControlsSendTheirCommands) {
  open_window("[General]\ndevel=1\n");
  Ui::MainWindow* ui = window().widgets();
  ui->dial_R820T_LNA_Gain->setValue(15);
  EXPECT_EQ(sent(), std::vector<Report>{report({2, 0x4F, 0x0F, 0, 0, 0, 0})});

  mark();
  ui->checkBox_R820T_PWR_ON->click();
  ui->checkBox_R820T_PWR_ON->click();
  ui->checkBox_R820T_PWR_ON->setChecked(true);  // set by the program: nothing sent
  EXPECT_EQ(sent(), (std::vector<Report>{report({2, 0x57, 1, 0, 0, 0, 0}),
                                        report({2, 0x57, 0, 0, 0, 0, 0})}));

  mark();
  enter(ui->lineEdit_R820T_frequency, "100000000");
  EXPECT_EQ(sent(), std::vector<Report>{report({2, 0x4E, 0x00, 0xE1, 0xF5, 0x05, 0})});

  mark();
  ui->spinBox_VHF_RefClock->setValue(28800000);
  ui->pushButton_save_vhf_ref_clock->click();
  EXPECT_EQ(sent(), std::vector<Report>{report({2, 0x5A, 0x00, 0x74, 0xB7, 0x01, 0})});
}

TEST_F(ToolsPanel, FilterDialsSendOnlyWhileDragged) {
  open_window("[General]\ndevel=1\n");
  QDial* lp = window().widgets()->dial_R820T_LP_BW;
  QTest::keyClick(lp, Qt::Key_Up);
  QTest::keyClick(lp, Qt::Key_PageUp);
  ASSERT_NE(lp->value(), 0) << "the keys moved the dial";
  EXPECT_TRUE(sent().empty());

  lp->setSliderDown(true);
  lp->setSliderPosition(4);
  lp->setSliderDown(false);
  ASSERT_EQ(sent().size(), 1u);
  EXPECT_EQ(sent()[0][2], 4);
}

TEST_F(ToolsPanel, DeveloperControlsNeedDevel) {
  open_window();
  Ui::MainWindow* ui = window().widgets();
  for (QWidget* w : std::initializer_list<QWidget*>{ui->lineEdit_R820T_frequency, ui->checkBox_R820T_PWR_ON,
                                                    ui->dial_R820T_IF_BW, ui->dial_R820T_LP_BW,
                                                    ui->dial_R820T_HP_BW})
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_TRUE(ui->dial_R820T_LNA_Gain->isEnabled());
}
