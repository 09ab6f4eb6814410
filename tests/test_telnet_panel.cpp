// The skimmer telnet client of the window against a simulated skimmer server
// on 127.0.0.1: login, the LO and QSY lines, the awaiting-reply rule, and the
// texts for a refused and a closed connection.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTcpServer>
#include <QtTest/QTest>

#include "plugin/receiver_state.h"
#include "sim/skimmer_server.h"
#include "support/window_fixture.h"
#include "ui_mainwindow.h"

namespace {

class TelnetClient : public ::testing::Test {
 protected:
  void SetUp() override {
    use_settings("");
    window_ = std::make_unique<MainWindow>();
    ASSERT_TRUE(server_.listen());
    ui()->lineEdit_telnet_port->setText(QString::number(server_.port()));
  }

  Ui::MainWindow* ui() { return window_->widgets(); }
  QString console() { return ui()->plainTextEdit_telnet->toPlainText(); }

  // Enables the client and waits until the login has reached the server.
  void log_in() {
    ui()->checkBox_skimmer_enable->click();
    ASSERT_TRUE(pump_until([&] { return server_.lines().size() >= 1; }));
    // The server's answer to the login clears the awaiting flag.
    ASSERT_TRUE(pump_until([&] { return window_->telnet_state == 0; }));
  }

  // What reaches the server within a moment after `act`.
  QByteArray written_by(const std::function<void()>& act) {
    const int before = server_.received().size();
    act();
    pump_events(150);
    return server_.received().mid(before);
  }

  std::unique_ptr<MainWindow> window_;
  SkimmerServer server_;
};

}  // namespace

TEST_F(TelnetClient, LogsInOnThePromptAndResendsTheFrequencyAfterwards) {
  ui()->lineEdit_callsign->setText("CA11SIGN");
  window_->last_sent_frequency = 7000000;
  log_in();
  EXPECT_EQ(server_.received(), QByteArray("CA11SIGN\r\n"));
  EXPECT_EQ(server_.connections(), 1);
  EXPECT_TRUE(console().contains("Telnet connected!"));
  EXPECT_TRUE(console().contains("Please enter your callsign:"));
  EXPECT_EQ(window_->last_sent_frequency, -1) << "the next poll tick sends the frequency again";

  // That tick retunes the receiver and tells the skimmer the new LO.
  window_->tuned_frequency = 7000000;
  EXPECT_EQ(written_by([&] { window_->skimmer_send_lo_freq(window_->tuned_frequency); }),
            QByteArray("SKIMMER/LO_FREQ 7000000\r\n"));
  EXPECT_TRUE(console().contains("SKIMMER/LO_FREQ 7000000"));
}

TEST_F(TelnetClient, NothingIsWrittenWhileAReplyIsAwaited) {
  ui()->checkBox_telnet_send_qsy->setChecked(true);
  log_in();
  server_.set_replies(false);
  EXPECT_EQ(written_by([&] { window_->skimmer_send_qsy(14025500); }),
            QByteArray("SKIMMER/QSY 14025.50\r\n"));
  EXPECT_EQ(window_->telnet_last_qsy, 14025500);

  // Both dropped; the QSY keeps its old last frequency, so the 200 ms tick,
  // seeing the tune frequency still differ, tries again.
  EXPECT_EQ(written_by([&] {
              window_->skimmer_send_lo_freq(7000000);
              window_->skimmer_send_qsy(7010000);
            }),
            QByteArray());
  EXPECT_EQ(window_->telnet_last_qsy, 14025500);

  server_.send("\r\n>");  // any text is the reply
  ASSERT_TRUE(pump_until([&] { return window_->telnet_state == 0; }));
  EXPECT_EQ(written_by([&] { window_->skimmer_send_qsy(7010000); }),
            QByteArray("SKIMMER/QSY 7010.00\r\n"));
  EXPECT_EQ(window_->telnet_last_qsy, 7010000);
}

TEST_F(TelnetClient, QsyNeedsItsBoxLoFrequencyDoesNot) {
  ASSERT_FALSE(ui()->checkBox_telnet_send_qsy->isChecked());
  log_in();
  EXPECT_EQ(written_by([&] { window_->skimmer_send_qsy(14025500); }), QByteArray());
  EXPECT_EQ(written_by([&] { window_->skimmer_send_lo_freq(14000000); }),
            QByteArray("SKIMMER/LO_FREQ 14000000\r\n"));
}

TEST_F(TelnetClient, NothingIsWrittenWhenTheClientIsOff) {
  ui()->checkBox_telnet_send_qsy->setChecked(true);
  log_in();
  ui()->checkBox_skimmer_enable->click();  // off: the connection is closed
  ASSERT_TRUE(pump_until([&] { return !server_.client_connected(); }));
  EXPECT_TRUE(console().contains("Telnet connection was closed!"));
  const QByteArray before = server_.received();
  window_->skimmer_send_lo_freq(3500000);
  window_->skimmer_send_qsy(3510000);
  pump_events(100);
  EXPECT_EQ(server_.received(), before);
}

TEST_F(TelnetClient, ClosedBySkimmerUnchecksTheBox) {
  log_in();
  server_.close_client();
  ASSERT_TRUE(pump_until([&] { return !ui()->checkBox_skimmer_enable->isChecked(); }));
  // The pane shows CR as a line break of its own.
  EXPECT_TRUE(console().endsWith("Telnet connection was closed!\n\n")) << console().toStdString();
}

TEST_F(TelnetClient, RefusedConnectionIsReportedAndTheBoxStaysChecked) {
  QTcpServer closed;
  ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
  const quint16 nobody = closed.serverPort();
  closed.close();
  ui()->lineEdit_telnet_port->setText(QString::number(nobody));
  ui()->checkBox_skimmer_enable->click();
  ASSERT_TRUE(pump_until([&] { return console().contains("Connection Error:"); }));
  EXPECT_TRUE(console().contains(QString("Connection Error:  %1\n")
                                     .arg(int(QAbstractSocket::ConnectionRefusedError), 8)));
  EXPECT_TRUE(console().contains("Connection Error:         0\n"));
  EXPECT_TRUE(ui()->checkBox_skimmer_enable->isChecked());

  // Unchecking and checking again retries, with the field's current port.
  ui()->lineEdit_telnet_port->setText(QString::number(server_.port()));
  ui()->checkBox_skimmer_enable->click();
  ui()->checkBox_skimmer_enable->click();
  EXPECT_TRUE(pump_until([&] { return server_.lines().size() == 1; }));
  EXPECT_EQ(stored_settings().find("telnet_port="), std::string::npos)
      << "the port is stored only on Return";
}

TEST_F(TelnetClient, ReEnablingReplacesTheConnectionQuietly) {
  log_in();
  ui()->checkBox_skimmer_enable->setChecked(false);
  ui()->checkBox_skimmer_enable->click();  // checked again: a new socket
  ASSERT_TRUE(pump_until([&] { return server_.connections() == 2 && server_.lines().size() == 2; }));
  pump_events(100);
  EXPECT_TRUE(ui()->checkBox_skimmer_enable->isChecked()) << "the old socket's close must not uncheck it";
}

TEST_F(TelnetClient, FieldsAreStored) {
  QTest::keyClicks(ui()->lineEdit_callsign, "X");
  QTest::keyClick(ui()->lineEdit_callsign, Qt::Key_Return);
  ui()->lineEdit_telnet_port->setText("7373");
  QTest::keyClick(ui()->lineEdit_telnet_port, Qt::Key_Return);
  ui()->checkBox_telnet_send_qsy->click();
  const std::string ini = stored_settings();
  EXPECT_NE(ini.find("callsign=CA11SIGNX\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("telnet_port=7373\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("telnet_send_qsy=true\n"), std::string::npos) << ini;
}

TEST_F(TelnetClient, ClosingTheWindowWithTheSkimmerConnectedIsSafe) {
  log_in();
  window_.reset();  // the socket goes with the window's children
  EXPECT_TRUE(pump_until([&] { return !server_.client_connected(); }));
}
