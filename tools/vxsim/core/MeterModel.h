#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "vxsim/core/LineSplitter.h"
#include "vxsim/core/NoiseSource.h"
#include "vxsim/core/Scpi.h"

namespace vxsim {

enum class Model { VX260, VX480 };

enum class Function {
    Continuity,
    Diode,
    Frequency,
    Period,
    Resistance,
    CurrentAc,
    CurrentDc,
    VoltageAc,
    VoltageDc,
};
inline constexpr std::size_t kFunctionCount = 9;

enum class Secondary { VoltageAc, VoltageDc, CurrentAc, CurrentDc, Frequency, DBm, DB };

enum class TriggerSource { Immediate, Bus, Manual };

// Reading of an input beyond a fixed range (SCPI's "positive infinity").
inline constexpr double kOverload = 9.9e37;

struct MeterConfig {
    Model model = Model::VX480;
    char terminator = '\n';
    // Ends every reply; empty means the command terminator.
    std::string replyTerminator;
    std::uint64_t noiseStart = 1;
    // Scales all noise; 0 gives exact, repeatable readings.
    double noiseScale = 1.0;
};

// Settings the meter keeps for each measurement function.
struct FunctionSettings {
    bool autoRange = true;
    double range = 0.0;  // fixed range (threshold range for frequency and period)
    double nplc = 1.0;
    bool referenceOn = false;
    double reference = 0.0;
};

// Everything *RST restores.
struct MeterState {
    Function function = Function::VoltageDc;
    std::array<FunctionSettings, kFunctionCount> settings{};
    bool secondaryOn = false;
    Secondary secondary = Secondary::VoltageAc;
    TriggerSource trigger = TriggerSource::Immediate;
    bool displayOn = true;
    bool hold = false;
};

struct Reply {
    std::string text;      // without terminator
    bool reading = false;  // answer to FETC? or READ?
};

// The meter: command lines in, reply lines out. No I/O and no clock; the simulated inputs are
// fixed values per function plus noise, and tests may change them with setInput().
class MeterModel {
public:
    explicit MeterModel(MeterConfig config = {});

    // Bytes as received; returns the reply bytes, each reply followed by the reply terminator.
    std::string feed(std::string_view bytes);

    // One command line without its terminator; a reply for queries, nothing for settings and
    // for lines in error (those go to the error queue).
    std::optional<Reply> execute(std::string_view line);

    // A line dropped for being longer than the input buffer.
    void reportOverrun();

    const MeterState& state() const { return state_; }
    const MeterConfig& config() const { return config_; }
    std::string_view replyTerminator() const;
    std::string identity() const;
    std::size_t pendingErrors() const { return errors_.size(); }

    void setInput(Function function, double value);
    double input(Function function) const;

    static constexpr std::size_t kErrorQueueSize = 20;

    // What a command handler gets: the parameter text, and for commands that begin with a
    // function mnemonic (VOLT:DC:RANG 2) the function they address.
    struct Call {
        std::string_view parameter;
        Function function = Function::VoltageDc;
    };
    using Handler = std::optional<std::string> (MeterModel::*)(const Call&);

private:
    friend struct CommandTables;

    struct Reading {
        double primary = 0.0;
        std::optional<double> secondary;
    };

    std::optional<std::string> idn(const Call& call);
    std::optional<std::string> reset(const Call& call);
    std::optional<std::string> trigger(const Call& call);
    std::optional<std::string> clearStatus(const Call& call);
    std::optional<std::string> operationComplete(const Call& call);
    std::optional<std::string> fetch(const Call& call);
    std::optional<std::string> read(const Call& call);
    std::optional<std::string> setFunction(const Call& call);
    std::optional<std::string> queryFunction(const Call& call);
    std::optional<std::string> setSecondary(const Call& call);
    std::optional<std::string> querySecondary(const Call& call);
    std::optional<std::string> setSecondaryState(const Call& call);
    std::optional<std::string> querySecondaryState(const Call& call);
    std::optional<std::string> setTriggerSource(const Call& call);
    std::optional<std::string> queryTriggerSource(const Call& call);
    std::optional<std::string> setDisplay(const Call& call);
    std::optional<std::string> queryDisplay(const Call& call);
    std::optional<std::string> setHold(const Call& call);
    std::optional<std::string> queryHold(const Call& call);
    std::optional<std::string> systemError(const Call& call);
    std::optional<std::string> setRange(const Call& call);
    std::optional<std::string> queryRange(const Call& call);
    std::optional<std::string> setAutoRange(const Call& call);
    std::optional<std::string> queryAutoRange(const Call& call);
    std::optional<std::string> setNplc(const Call& call);
    std::optional<std::string> queryNplc(const Call& call);
    std::optional<std::string> setReference(const Call& call);
    std::optional<std::string> queryReference(const Call& call);
    std::optional<std::string> setReferenceState(const Call& call);
    std::optional<std::string> queryReferenceState(const Call& call);
    std::optional<std::string> acquireReference(const Call& call);

    void pushError(ScpiError error);
    std::optional<bool> booleanParameter(const Call& call);
    std::optional<double> numericParameter(const Call& call, double min, double max,
                                           double defaultValue);
    FunctionSettings& settings(Function function);
    double effectiveRange(Function function) const;
    double noisy(Function function, double value);
    double measureRaw(Function function);
    double measureSecondary(double primaryRaw);
    Reading measure();
    const Reading& present();
    std::string formatted(const Reading& reading) const;
    void invalidate();

    MeterConfig config_;
    MeterState state_;
    LineSplitter splitter_;
    NoiseSource noise_;
    std::array<double, kFunctionCount> inputs_{};
    std::deque<ScpiError> errors_;
    std::optional<Reading> latest_;
    std::optional<Reading> held_;
};

}  // namespace vxsim
