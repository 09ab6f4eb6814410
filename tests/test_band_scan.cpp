// The band scanner: which rows it visits, its timer, pressing and editing rows.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QTableWidget>

#include "support/window_fixture.h"
#include "ui_mainwindow.h"

namespace {

constexpr int NOTHING = -1;

class BandScan : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.reset();
    use_settings("");
    window_ = std::make_unique<MainWindow>();
  }

  QTableWidget* table() { return window_->widgets()->tableWidget_bands; }

  // Rows as the table shows them, 1..10.
  void check_rows(std::initializer_list<int> rows) {
    for (int row : rows) table()->cellWidget(row - 1, 0)->findChild<QCheckBox*>()->setChecked(true);
  }

  // One scan step: the frequency it tuned, or NOTHING.
  int tick() {
    window_->tuned_frequency = NOTHING;
    window_->host_tuned = 1;
    EXPECT_TRUE(QMetaObject::invokeMethod(window_.get(), "Bands_Scan_Process"));
    if (window_->tuned_frequency != NOTHING) {
      EXPECT_EQ(window_->host_tuned, 0);
    }
    return window_->tuned_frequency;
  }

  void start_scan(const QString& dwell) {
    window_->widgets()->lineEdit_scan_delay->setText(dwell);
    QCheckBox* enable = window_->widgets()->checkBox_bands_scan_enable;
    if (enable->isChecked()) enable->click();
    enable->click();
  }

  std::unique_ptr<MainWindow> window_;
};

}  // namespace

TEST_F(BandScan, VisitsTheCheckedRowsAndWrapsWithAnIdleTick) {
  const struct {
    std::initializer_list<int> rows;
    std::vector<int> tuned;
  } cases[] = {
      {{}, {NOTHING, NOTHING, NOTHING}},
      {{4}, {14040000, NOTHING, 14040000, NOTHING}},
      {{2, 5}, {3540000, 21040000, NOTHING, 3540000, 21040000}},
      {{1, 10}, {1840000, 0, NOTHING, 1840000}},  // row 10 holds 0 kHz by default
  };
  for (const auto& c : cases) {
    SetUp();
    check_rows(c.rows);
    std::vector<int> tuned;
    for (size_t i = 0; i < c.tuned.size(); ++i) tuned.push_back(tick());
    EXPECT_EQ(tuned, c.tuned);
  }
}

TEST_F(BandScan, TheVisitedRowIsSelected) {
  check_rows({7});
  tick();
  EXPECT_EQ(table()->currentRow(), 6);
  EXPECT_EQ(window_->tuned_frequency, 10120000);
}

TEST_F(BandScan, DwellIsSecondsAndAnUnusableOneIsOneSecond) {
  const struct {
    const char* dwell;
    int interval_ms;
  } cases[] = {{"2", 2000}, {"0", 1000}, {"", 1000}, {"soon", 1000},
               {"-3", 1000}, {"3000000", 1000}};  // 3e9 ms does not fit a timer
  for (const auto& c : cases) {
    start_scan(c.dwell);
    EXPECT_TRUE(window_->band_scan_timer->isActive()) << c.dwell;
    EXPECT_EQ(window_->band_scan_timer->interval(), c.interval_ms) << c.dwell;
    EXPECT_EQ(window_->band_scan_interval, c.interval_ms) << c.dwell;
  }
  window_->widgets()->checkBox_bands_scan_enable->click();
  EXPECT_FALSE(window_->band_scan_timer->isActive());
}

TEST_F(BandScan, RunningTimerStepsAndAStoppedScanContinuesWhereItWas) {
  check_rows({1, 3});
  window_->tuned_frequency = 0;
  start_scan("0");
  EXPECT_TRUE(pump_until([&] { return window_->tuned_frequency == 1840000; }, 2500));
  window_->widgets()->checkBox_bands_scan_enable->click();
  EXPECT_EQ(window_->band_scan_row, 1);
  EXPECT_EQ(tick(), 7040000) << "row 3 follows row 1 after a restart";
}

TEST_F(BandScan, PressingAFrequencyTunesAtOnceAndTheScanGoesOnFromThere) {
  check_rows({3, 6});
  window_->host_tuned = 1;
  emit table()->cellPressed(2, 1);
  EXPECT_EQ(window_->tuned_frequency, 7040000);
  EXPECT_EQ(window_->host_tuned, 0);
  EXPECT_EQ(tick(), 7040000);
  EXPECT_EQ(tick(), 28040000);

  window_->tuned_frequency = NOTHING;
  emit table()->cellPressed(4, 0);  // the check-box cell
  EXPECT_EQ(window_->tuned_frequency, NOTHING);
}

TEST_F(BandScan, AnEditedRowIsStoredOnlyAfterTheStartUp) {
  ASSERT_EQ(window_->startup_pending, 1);
  table()->item(9, 1)->setText("50313");
  EXPECT_EQ(stored_settings().find("scan_band10=50313"), std::string::npos);
  window_->startup_pending = 0;
  table()->item(9, 1)->setText("50314");
  EXPECT_NE(stored_settings().find("scan_band10=50314\n"), std::string::npos) << stored_settings();
}

TEST_F(BandScan, ANonNumberTunesToZeroAndAHugeOneDoesNotWrap) {
  check_rows({1, 2});
  table()->item(0, 1)->setText("top band");
  table()->item(1, 1)->setText("3000000");  // 3e9 Hz is beyond int
  EXPECT_EQ(tick(), 0);
  EXPECT_EQ(tick(), INT32_MAX);
}

TEST_F(BandScan, DwellEntryIsStoredOnReturn) {
  window_->widgets()->lineEdit_scan_delay->setText("45");
  emit window_->widgets()->lineEdit_scan_delay->returnPressed();
  EXPECT_NE(stored_settings().find("scan_delay=45\n"), std::string::npos);
}
