// Measurement configuration: one handler per setting. Each reads its list,
// builds its command line from the tables (Commands.h) and writes it.
//
// Handlers that trap failures stop at the first failed write and pass its
// number to ReportConnectionError. The others (secondary display, trigger
// button, display, reference on/off, primary function) have no error report
// of their own: a failed write ends the handler where it stands, SendCommand
// has already said in the status line what was not sent and why, and the
// window is never left busy.
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <optional>

#include "forms/Main/Main.h"
#include "link/Errors.h"
#include "meter/Commands.h"
#include "shell/Dialogs.h"
#include "shell/Latin1View.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"

namespace vx::forms {

namespace {

using shell::fromLatin1View;

constexpr double kSecondarySwitchSeconds = 0.5;
constexpr double kResetSeconds = 10.0;

// The custom reference text as a number. Accepted: a signed decimal number
// with '.' as the decimal point whatever the system's language, optionally
// with an exponent ("1.5e2"), optionally surrounded by blanks. Refused: empty
// text, digit grouping or a decimal comma ("1,000", "1,5"), trailing
// characters, and anything that is not a finite number ("nan", "inf",
// "1e999").
std::optional<double> referenceNumber(const QString& text) {
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = c.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

}  // namespace

void Main::SetFunc_Click() {
    SetControlsEnabled({Trigger, SetTrig, Display, SetDisp, Hold, FuncBoxTwoStateOn,
                        FuncBoxTwoStateOff, Run, SingleRead, SaveData, EndLog},
                       true);

    const int index = FuncBox->currentIndex();
    if (index >= 0 && index < static_cast<int>(meter::kFunctions.size())) {
        const auto& function = meter::kFunctions[static_cast<std::size_t>(index)];
        const auto& setup = function.rebuild;
        func = fromLatin1View(function.mnemonic);
        if (setup.secondaryButtons == meter::Enable::Off) {
            SecondaryUnit->clear();
        }
        if (setup.secondaryButtons != meter::Enable::Keep) {
            SetControlsEnabled({FuncBoxTwoStateOn, FuncBoxTwoStateOff},
                               setup.secondaryButtons == meter::Enable::On);
        }
        if (setup.secondList == meter::Refill::Replace) {
            ClearSecondaryList(static_cast<qint16>(FuncBoxTwo->count()));
            FuncBoxTwo->appendEntries(meter::captions(function.secondaries));
        }
        if (setup.rangeTypeControls != meter::Enable::Keep) {
            SetControlsEnabled({RangeType, SetRangeType},
                               setup.rangeTypeControls == meter::Enable::On);
        }
        if (setup.chooseManual) {
            RangeType->setCurrentIndex(meter::kRangeTypeManual);
        }
        if (setup.rangeControls != meter::Enable::Keep) {
            SetControlsEnabled({Range, SetRange}, setup.rangeControls == meter::Enable::On);
        }
        if (setup.rangeList == meter::Refill::Replace) {
            ClearRangeList(static_cast<qint16>(Range->count()));
            Range->appendEntries(meter::captions(function.ranges));
        }
        PrimaryUnit->setText(fromLatin1View(function.unit));
        SecondaryUnit->clear();
    }

    // Any other index resends the function already held in `func`.
    if (SendCommand(meter::functionLine(func)) != link::kNoError) {
        return;
    }
    SetControlsEnabled({RefStateOn, RefStateOff}, true);
    if (const auto header = meter::primaryHeader(func)) {
        func_selection = *header;
    }
    SetControlsEnabled({Rate, SetRate}, true);
}

void Main::FuncBoxTwoStateOn_Click() {
    BeginBusy();
    if (SendCommand(meter::secondaryStateLine(true)) == link::kNoError) {
        WaitSeconds(kSecondarySwitchSeconds);
        FuncTwoStat->setFillColor(shell::kLampGreen);
        SetControlsEnabled({FuncBoxTwo, SetFuncTwo}, true);
        // Continuous reading waits until a secondary function has been set.
        Run->setEnabled(false);
    }
    EndBusy();
}

void Main::FuncBoxTwoStateOff_Click() {
    BeginBusy();
    if (SendCommand(meter::secondaryStateLine(false)) == link::kNoError) {
        WaitSeconds(kSecondarySwitchSeconds);
        FuncTwoStat->setFillColor(shell::kLampRed);
        SetControlsEnabled({FuncBoxTwo, SetFuncTwo}, false);
        SecondaryDisplay->clear();
        SecondaryUnit->clear();
        Run->setEnabled(true);
    }
    EndBusy();
}

void Main::SetFuncTwo_Click() {
    Run->setEnabled(true);
    const std::optional<QString> text = meter::secondaryText(func, FuncBoxTwo->currentIndex());
    if (!text) {
        // Continuity, diode and resistance have no secondary function.
        return;
    }
    if (SendCommand(meter::secondaryLine(*text)) != link::kNoError) {
        return;
    }
    if (const meter::SecondaryUnit* row = meter::secondaryUnit(*text)) {
        SecondaryUnit->setText(fromLatin1View(row->unit));
        secondfunc_selection = fromLatin1View(row->header);
    }
}

void Main::SetRange_Click() {
    int error = link::kNoError;
    if (const auto line = meter::rangeLine(func, Range->currentIndex())) {
        error = SendCommand(*line);
    }
    ReportConnectionError(error);
}

void Main::SetRangeType_Click() {
    const int index = RangeType->currentIndex();
    if (index >= 0 && index < static_cast<int>(meter::kRangeTypes.size())) {
        SetControlsEnabled({Range, SetRange}, index == meter::kRangeTypeManual);
    }
    ReportConnectionError(SendCommand(meter::rangeTypeLine(func, index)));
}

void Main::SetRate_Click() {
    ReportConnectionError(SendCommand(meter::rateLine(func, Rate->currentIndex())));
}

void Main::SetTrig_Click() {
    const int index = Trigger->currentIndex();
    if (index >= 0 && index < static_cast<int>(meter::kTriggerSources.size())) {
        SendTrig->setEnabled(index == meter::kTriggerBus);
    }
    ReportConnectionError(SendCommand(meter::triggerLine(index)));
}

void Main::SendTrig_Click() {
    SendCommand(QStringLiteral("*TRG"));
}

void Main::SetDisp_Click() {
    SendCommand(meter::displayLine(Display->currentIndex()));
}

void Main::Hold_Click() {
    // The lamp is the only record of the hold state; it flips only once its
    // command has gone out.
    const bool holding = HoldStat->fillColor() == shell::kLampGreen;
    const int error = SendCommand(meter::holdLine(!holding));
    if (error == link::kNoError) {
        HoldStat->setFillColor(holding ? shell::kLampRed : shell::kLampGreen);
    }
    ReportConnectionError(error);
}

void Main::RefStateOn_Click() {
    if (SendCommand(func + QStringLiteral(":REF:STAT ON")) != link::kNoError) {
        return;
    }
    RefStat->setFillColor(shell::kLampGreen);
    SetControlsEnabled({RefMethod, SetRefMethod}, true);
}

void Main::RefStateOff_Click() {
    if (SendCommand(func + QStringLiteral(":REF:STAT OFF")) != link::kNoError) {
        return;
    }
    RefStat->setFillColor(shell::kLampRed);
    SetControlsEnabled({RefMethod, SetRefMethod, Ref, SetRef, AcqRef}, false);
}

void Main::SetRefMethod_Click() {
    switch (RefMethod->currentIndex()) {
        case 0:  // "Input": the meter takes the present input
            Ref->setEnabled(false);
            SetRef->setEnabled(false);
            AcqRef->setEnabled(true);
            break;
        case 1:  // "Custom": the operator types the value
            Ref->setEnabled(true);
            SetRef->setEnabled(true);
            AcqRef->setEnabled(false);
            break;
        default:
            break;
    }
    ReportConnectionError(link::kNoError);
}

void Main::AcqRef_Click() {
    ReportConnectionError(SendCommand(func + QStringLiteral(":REF:ACQ")));
}

void Main::SetRef_Click() {
    const std::optional<double> v = referenceNumber(Ref->text());
    if (!v) {
        // Nothing is sent and the text stays as typed.
        dialogs().message(this,
                          QStringLiteral("The reference value must be a number from -1010 to "
                                         "1010, such as 1.5 or -2.5e2."),
                          QStringLiteral("Reference Error"), shell::Dialogs::Icon::Exclamation);
        return;
    }
    if (*v > meter::kRefLimit) {
        Ref->setText(fromLatin1View(meter::kRefUpperText));
    } else if (*v < -meter::kRefLimit) {
        Ref->setText(fromLatin1View(meter::kRefLowerText));
    } else if (*v == 0.0) {
        Ref->setText(fromLatin1View(meter::kRefZeroText));
    }
    // A value within the bounds goes out as typed ("12.50" keeps its digits),
    // without the blanks around it.
    ReportConnectionError(SendCommand(func + QStringLiteral(":REF ") + Ref->text().trimmed()));
}

void Main::Reset_Click() {
    if (const int error = SendCommand(QStringLiteral("*RST")); error != link::kNoError) {
        ReportConnectionError(error);
        return;
    }
    StatusBox->setText(QStringLiteral("Resetting Instrument. Please wait.."));
    BeginBusy();
    // Only the primary function choice stays usable (and the reset button
    // itself, so the operator can reset again); the console's Send goes
    // before the measurement controls.
    SetControlsEnabled({FuncBox, SetFunc, Reset}, true);
    SetControlsEnabled({Send}, false);
    SetControlsEnabled(measurementControls(), false);
    for (QLineEdit* box : {PrimaryDisplay, SecondaryDisplay, PrimaryUnit, SecondaryUnit}) {
        box->clear();
    }
    WaitSeconds(kResetSeconds);
    EndBusy();
    StatusBox->setText(QStringLiteral("Ready"));
    ReportConnectionError(link::kNoError);
}

}  // namespace vx::forms
