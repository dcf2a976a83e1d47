// Tests that change the process-wide DSP settings put them back afterwards,
// so the cases also hold when run together in one process.
#pragma once

#include "test_support.h"

namespace talvox::test {

class DspSettingsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetLPCNum(12);
    SetCeplen(50);
    SetMFCCVecLen(13);
    MFCCSetSampleingRate(16000);
  }
};

}  // namespace talvox::test
