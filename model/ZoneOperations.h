// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ChartSettings.h"
#include "model/Slohz70.h"
#include "model/ZoneList.h"

#include <cstdint>
#include <string>

namespace hz70 {

// What a window may do with the controllers. The main window provides it and outlives every window
// that uses it; the windows see neither the link nor the poll cycle behind it.
class ZoneOperations {
public:
    virtual ~ZoneOperations() = default;

    // The configured zones as the settings hold them (count, addresses, names).
    [[nodiscard]] virtual const ZoneList& zoneList() const = 0;
    // The records of the zones being polled, in slot order; a record stays put until the list is rebuilt.
    [[nodiscard]] virtual int zoneCount() const = 0;
    [[nodiscard]] virtual TRegulator* zone(int index) = 0;
    // The link the zones are on, for a reader: "COM1, 9600 bit/s, ascii-8n1".
    [[nodiscard]] virtual std::string DescribeLink() const = 0;

    // Blocking exchanges with one zone; they return what ReadSettings and WriteSetting return.
    [[nodiscard]] virtual ReadOutcome ReadZoneSettings(TRegulator& zone) = 0;
    [[nodiscard]] virtual ExchangeResult WriteZoneSetting(TRegulator& zone, std::uint16_t reg,
                                                          std::uint16_t value) = 0;

    // The chart's stored settings, and the mark that makes the program save its settings at exit.
    [[nodiscard]] virtual ChartSettings& chartSettings() = 0;
    virtual void MarkSettingsChanged() = 0;
};

} // namespace hz70
