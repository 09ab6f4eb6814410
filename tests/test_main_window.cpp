// The control window as construction builds it, and what it stores.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDial>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include "support/window_fixture.h"
#include "ui_mainwindow.h"

namespace {

QStringList items_of(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

bool shows_image(const QLabel* label, const char* resource) {
  const QImage shown = label->pixmap(Qt::ReturnByValue).toImage().convertToFormat(QImage::Format_ARGB32);
  return !shown.isNull() && shown == QImage(resource).convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

TEST(MainWindow, FirstStartBuildsTheWindowFromDefaults) {
  use_settings("");
  MainWindow window;
  Ui::MainWindow* ui = window.widgets();
  EXPECT_EQ(window.windowTitle(), "Wavedeck x4 (v.5.23)");
  const QStringList tabs = {"SDR Control", "Command shell", "Filter tools", "Network",
                            "Multy Channel RX", "Telnet", "VHF/SHF", "About"};
  ASSERT_EQ(ui->tabWidget->count(), tabs.size());
  for (int i = 0; i < tabs.size(); ++i) EXPECT_EQ(ui->tabWidget->tabText(i), tabs[i]);
  EXPECT_EQ(ui->tabWidget->currentIndex(), 0);

  EXPECT_EQ(items_of(ui->comboBox_stream_number),
            QStringList({"Off", "Stream 1", "Stream 2", "Stream 3", "Stream 4"}));
  EXPECT_EQ(items_of(ui->comboBox_SDR_ID),
            QStringList({"Tavrin-SDR", "Plovex", "TVN480x-SDR", "No SDR ID"}));
  EXPECT_EQ(ui->comboBox_SDR_ID->currentText(), "No SDR ID");
  EXPECT_EQ(ui->comboBox_RX_Channel->currentText(), "RX Channel 1");
  EXPECT_EQ(items_of(ui->comboBox_RX_mode).size(), 6);
  EXPECT_EQ(ui->comboBox_RX_mode->currentText(), "Single Channel Mode");
  EXPECT_EQ(items_of(ui->comboBox_Modulation),
            QStringList({"AM", "LSB", "USB", "CW", "NFM", "WFM", "LSB Alt", "USB Alt"}));
  EXPECT_EQ(items_of(ui->comboBox_USB_mode),
            QStringList({"USB MSD mode", "USB Audio mode", "HPSDR mode"}));
  EXPECT_EQ(ui->comboBox_I2C_Switch->itemText(0), "Test");

  EXPECT_EQ(ui->label_tune_step->text(), "Tune step x10");
  EXPECT_EQ(window.tune_step, 10);
  EXPECT_EQ(ui->radioButton->text(), "SDR was not found!");
  EXPECT_TRUE(shows_image(ui->led_1, ":/new/prefix1/red.png"));
  EXPECT_TRUE(shows_image(ui->led_2, ":/new/prefix1/red.png"));
  EXPECT_TRUE(shows_image(ui->led_network_link, ":/new/prefix1/usb.png"));
  EXPECT_EQ(ui->label_sr->text(), "Sample rate:  249999");
  EXPECT_EQ(ui->lineEdit_network_Sample_Rate->text(), " 249999");
  EXPECT_EQ(ui->lineEdit_sdr_drive_path->text(), "H:/");
  EXPECT_EQ(ui->lineEdit_callsign->text(), "CA11SIGN");
  EXPECT_EQ(ui->lineEdit_telnet_port->text(), "7300");
  EXPECT_EQ(ui->lineEdit_scan_delay->text(), "30");
  ASSERT_GE(ui->tableWidget_bands->rowCount(), 10);
  EXPECT_EQ(ui->tableWidget_bands->item(3, 1)->text(), "14040");
  EXPECT_EQ(ui->tableWidget_bands->item(9, 1)->text(), "0");
  EXPECT_NE(ui->tableWidget_bands->cellWidget(0, 0), nullptr);
  EXPECT_EQ(window.tuned_frequency, 28050000);
  EXPECT_EQ(window.display_frequency, 28050000);
  EXPECT_EQ(window.startup_pending, 1);
}

TEST(MainWindow, FirstStartStoresTheDefaultsAndTeardownStoresTheSession) {
  use_settings("[General]\nrx_channel_number=3\n");
  {
    MainWindow window;
    const std::string ini = stored_settings();
    for (const char* line :
         {"sdr_sample_rate=249999", "sdr_ip_address=192.168.0.8", "sdr_ip_mask=255.255.255.0",
          "gateway_ip_address=192.168.0.1", "udp_port=50000", "sdr_vco_voltage=1", "bypass_lpf=0",
          "inversion_mode_flag=0", "transverter_mode_flag=0", "tcvr_heterodyne_frequency=1268000000",
          "rx_channel_number=0"}) {
      EXPECT_NE(ini.find(line), std::string::npos) << line << " missing from\n" << ini;
    }
    EXPECT_EQ(ini.find("broadcast_slave"), std::string::npos) << "written in network mode only";
    EXPECT_EQ(ini.find("rf_gain="), std::string::npos) << "teardown keys wait for teardown";
  }
  const std::string ini = stored_settings();
  for (const char* line : {"diversity_mode=0", "enable_phase_shift=0", "rf_gain=32", "rf_gain_ch2=32",
                           "fe_gain=0", "hid_status=0", "heterodyne_frequency=0", "inversion_flag=1",
                           "alias_inversion_flag=1"}) {
    EXPECT_NE(ini.find(line), std::string::npos) << line << " missing from\n" << ini;
  }
}

TEST(MainWindow, DevelopersSwitchUnlocksTheVhfControls) {
  for (int devel : {0, 1}) {
    use_settings("[General]\ndevel=" + std::to_string(devel) + "\n");
    MainWindow window;
    Ui::MainWindow* ui = window.widgets();
    // The controls that the layout disables.
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui->checkBox_R820T_PWR_ON, ui->dial_R820T_IF_BW, ui->dial_R820T_LP_BW,
             ui->dial_R820T_HP_BW, ui->label_61, ui->label_62, ui->label_63}) {
      EXPECT_EQ(w->isEnabled(), devel == 1) << w->objectName().toStdString() << " devel=" << devel;
    }
    if (devel == 1) {
      EXPECT_TRUE(ui->pushButton_save_vhf_ref_clock->isEnabled());
      EXPECT_TRUE(ui->lineEdit_R820T_frequency->isEnabled());
      EXPECT_FALSE(ui->spinBox_VHF_RefClock->isReadOnly());
    }
  }
}

TEST(MainWindow, TransverterControlsShowOnlyInTransverterMode) {
  for (int flag : {0, 1}) {
    use_settings("[General]\ntransverter_mode_flag=" + std::to_string(flag) +
                 "\ntcvr_heterodyne_frequency=1268000000\nfrequency_ch1=28000000\n");
    MainWindow window;
    window.show();
    Ui::MainWindow* ui = window.widgets();
    for (QWidget* w : std::initializer_list<QWidget*>{ui->lineEdit_2, ui->label_5,
                                                      ui->checkBox_inversion_flag}) {
      EXPECT_EQ(w->isVisible(), flag == 1) << w->objectName().toStdString() << " flag=" << flag;
    }
    EXPECT_EQ(window.heterodyne, flag == 1 ? 1268000000 : 0);
    EXPECT_EQ(window.display_frequency, flag == 1 ? 1296000000 : 28000000);
  }
}

TEST(MainWindow, StoredChannelAndGainsAreRestored) {
  use_settings(
      "[General]\nmulti_stream_flag=2\nrf_gain=40\nrf_gain_ch2=100\nfe_gain=3\n"
      "inversion_flag=-1\nheterodyne_frequency=1000\nfrequency_ch1=7000000\n");
  MainWindow window;
  // Stream 2 starts on channel 2, but filling the channel selector selects channel 1.
  EXPECT_EQ(window.channel, 0);
  EXPECT_EQ(window.widgets()->dial_FE_gain->value(), 3);
  EXPECT_EQ(window.inversion, -1);
  EXPECT_EQ(window.display_frequency, -7000000 + 1000);
  EXPECT_NE(stored_settings().find("rx_channel_number=0"), std::string::npos);
}

// Every on_<object>_<signal> slot must be bound to a widget of the tree: a
// slot whose object name is misspelt would silently never run.
TEST(MainWindow, EverySlotNamedForAWidgetIsConnectedToIt) {
  use_settings("");
  MainWindow window;
  // These two have no signal of their name on the dial, by design.
  const QSet<QString> unbound = {"on_dial_2_dialMoved(int)", "on_dial_RF_Gain_ch2_dialMoved(int)"};
  const QMetaObject* meta = window.metaObject();
  int checked = 0;
  for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
    const QMetaMethod slot = meta->method(i);
    const QString signature = QString::fromLatin1(slot.methodSignature());
    if (slot.methodType() != QMetaMethod::Slot || !signature.startsWith("on_")) continue;
    if (unbound.contains(signature)) continue;
    const QString name = QString::fromLatin1(slot.name());
    const int split = name.lastIndexOf('_');
    const QString object_name = name.mid(3, split - 3);
    const QString signal_name = name.mid(split + 1);
    QObject* object = window.findChild<QObject*>(object_name);
    ASSERT_NE(object, nullptr) << "no widget " << object_name.toStdString() << " for "
                               << signature.toStdString();
    const QByteArray signal_signature =
        (signal_name + signature.mid(signature.indexOf('('))).toLatin1();
    const int signal_index = object->metaObject()->indexOfSignal(signal_signature.constData());
    ASSERT_GE(signal_index, 0) << signature.toStdString() << ": "
                               << object_name.toStdString() << " has no such signal";
    // Disconnecting succeeds only where a connection was made.
    EXPECT_TRUE(QObject::disconnect(object, object->metaObject()->method(signal_index), &window, slot))
        << signature.toStdString() << " is not connected";
    ++checked;
  }
  EXPECT_GT(checked, 80);
}
