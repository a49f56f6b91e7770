// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace hz70 {

// The program's name: the main window's caption and that of most of its message boxes.
inline constexpr const char* kProgramCaption = "HZ70wiz";
// The shorter caption of the boxes about a zone's exchanges and of the port dialog's refusal.
inline constexpr const char* kShortCaption = "HZ70";

} // namespace hz70
