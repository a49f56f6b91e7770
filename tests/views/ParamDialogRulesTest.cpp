// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/ZoneParameters.h"

#include <gtest/gtest.h>

namespace hz70 {
namespace {

TEST(ParamDialogRules, AnyFailureOtherThanARefusalIsAWriteError) {
    using enum ExchangeResult;
    for (const ExchangeResult result :
         {kNoReply, kRefused, kPortNotOpen, kReadOk, ExceptionReplyTo(kReadHoldingRegisters)}) {
        EXPECT_STREQ(DescribeWrite(result, 3).status, "Błąd zapisu") << ToInt(result);
        EXPECT_FALSE(DescribeWrite(result, 3).written);
    }
}

} // namespace
} // namespace hz70
