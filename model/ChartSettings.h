// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace hz70 {

// The trend chart's axis settings; the chart window copies them in when shown and back at the end.
struct ChartSettings {
    int CheckL = 0; // left axis option bits
    int CheckR = 0; // right axis option bits
    int Okres = 1;  // tracking-period index
    int MaxL = 400;
    int MinL = 0;
    int MaxR = 100;
    int MinR = 0;
    std::string FormatL = "###0.###";
    std::string FormatR = "###0.###";

    friend bool operator==(const ChartSettings&, const ChartSettings&) = default;
};

} // namespace hz70
