#pragma once

#include <array>
#include <string_view>

// Named groups of main-window controls that several handlers enable or
// disable together, in the order given.
namespace vx::meter {

// The measurement, logging and reading controls. Close Port and the reset
// both disable them, after their own first few.
inline constexpr std::array<std::string_view, 28> kMeasurementControls{"FuncBoxTwoStateOff",
                                                                       "FuncBoxTwoStateOn",
                                                                       "FuncBoxTwo",
                                                                       "SetFuncTwo",
                                                                       "RefStateOn",
                                                                       "RefStateOff",
                                                                       "RefMethod",
                                                                       "SetRefMethod",
                                                                       "AcqRef",
                                                                       "SetRef",
                                                                       "Ref",
                                                                       "RangeType",
                                                                       "SetRangeType",
                                                                       "Range",
                                                                       "SetRange",
                                                                       "SaveData",
                                                                       "EndLog",
                                                                       "Run",
                                                                       "StopBtn",
                                                                       "SingleRead",
                                                                       "Display",
                                                                       "SetDisp",
                                                                       "Hold",
                                                                       "Trigger",
                                                                       "SetTrig",
                                                                       "SendTrig",
                                                                       "Rate",
                                                                       "SetRate"};

}  // namespace vx::meter
