#pragma once

#include <QStringList>

// The measurement, logging and reading controls, written out here as the
// tests expect them rather than taken from the window's own table, so that
// a wrong entry there shows up as a failure.
inline const QStringList kMeasurementControls{"FuncBoxTwoStateOff",
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

// Every control the configuration handlers enable or disable.
inline const QStringList kConfigControls =
    QStringList{"FuncBox", "SetFunc", "Reset", "Send"} + kMeasurementControls;
