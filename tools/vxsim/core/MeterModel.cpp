#include "vxsim/core/MeterModel.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace vxsim {

namespace {

// How a function's range commands work: measurement ranges (VOLT:DC:RANG 2), the voltage range
// of the input threshold (FREQ:THR:VOLT:RANG 2), or none at all (diode, continuity).
enum class RangeKind { None, Measurement, Threshold };

struct FunctionInfo {
    Function function;
    double input;  // the simulated signal at the terminals
    RangeKind rangeKind;
    std::array<double, 6> ranges;
    std::size_t rangeCount;
    double fullScale;       // noise scale of functions without ranges
    double noiseFraction;   // noise at 1 NPLC, as a fraction of the range (or the value)
    double referenceLimit;  // largest reference value the function takes
    bool hasNplc;
};

constexpr std::array kFunctionInfo{
    FunctionInfo{.function = Function::Continuity,
                 .input = 2.85,
                 .rangeKind = RangeKind::None,
                 .ranges = {},
                 .rangeCount = 0,
                 .fullScale = 1000.0,
                 .noiseFraction = 2e-5,
                 .referenceLimit = 1200.0,
                 .hasNplc = true},
    FunctionInfo{.function = Function::Diode,
                 .input = 0.6124,
                 .rangeKind = RangeKind::None,
                 .ranges = {},
                 .rangeCount = 0,
                 .fullScale = 2.0,
                 .noiseFraction = 1e-5,
                 .referenceLimit = 12.0,
                 .hasNplc = true},
    FunctionInfo{.function = Function::Frequency,
                 .input = 1000.02,
                 .rangeKind = RangeKind::Threshold,
                 .ranges = {0.2, 2, 20, 200, 750},
                 .rangeCount = 5,
                 .fullScale = 0.0,
                 .noiseFraction = 2e-6,
                 .referenceLimit = 1.2e6,
                 .hasNplc = false},
    FunctionInfo{.function = Function::Period,
                 .input = 9.9998e-4,
                 .rangeKind = RangeKind::Threshold,
                 .ranges = {0.2, 2, 20, 200, 750},
                 .rangeCount = 5,
                 .fullScale = 0.0,
                 .noiseFraction = 2e-6,
                 .referenceLimit = 12.0,
                 .hasNplc = false},
    FunctionInfo{.function = Function::Resistance,
                 .input = 1000.47,
                 .rangeKind = RangeKind::Measurement,
                 .ranges = {200, 2000, 20000, 200000, 2000000, 20000000},
                 .rangeCount = 6,
                 .fullScale = 0.0,
                 .noiseFraction = 1e-5,
                 .referenceLimit = 1.2e8,
                 .hasNplc = true},
    FunctionInfo{.function = Function::CurrentAc,
                 .input = 0.00851,
                 .rangeKind = RangeKind::Measurement,
                 .ranges = {0.002, 0.02, 0.2, 2, 20},
                 .rangeCount = 5,
                 .fullScale = 0.0,
                 .noiseFraction = 3e-5,
                 .referenceLimit = 24.0,
                 .hasNplc = true},
    FunctionInfo{.function = Function::CurrentDc,
                 .input = 0.01203,
                 .rangeKind = RangeKind::Measurement,
                 .ranges = {0.002, 0.02, 0.2, 2, 20},
                 .rangeCount = 5,
                 .fullScale = 0.0,
                 .noiseFraction = 1e-5,
                 .referenceLimit = 24.0,
                 .hasNplc = true},
    FunctionInfo{.function = Function::VoltageAc,
                 .input = 0.23105,
                 .rangeKind = RangeKind::Measurement,
                 .ranges = {0.2, 2, 20, 200, 750},
                 .rangeCount = 5,
                 .fullScale = 0.0,
                 .noiseFraction = 3e-5,
                 .referenceLimit = 900.0,
                 .hasNplc = true},
    FunctionInfo{.function = Function::VoltageDc,
                 .input = 1.50123,
                 .rangeKind = RangeKind::Measurement,
                 .ranges = {0.2, 2, 20, 200, 1000},
                 .rangeCount = 5,
                 .fullScale = 0.0,
                 .noiseFraction = 5e-6,
                 .referenceLimit = 1200.0,
                 .hasNplc = true},
};
static_assert(kFunctionInfo.size() == kFunctionCount);

constexpr const FunctionInfo& info(Function function) {
    return kFunctionInfo[static_cast<std::size_t>(function)];
}

std::span<const double> rangesOf(Function function) {
    const auto& entry = info(function);
    return {entry.ranges.data(), entry.rangeCount};
}

// Function mnemonics as headers and as parameters of FUNC. VOLT and CURR alone mean DC, as on
// most SCPI meters; the two-word forms come first so that VOLT:AC is not taken as VOLT.
struct FunctionName {
    std::string_view path;
    Function function;
    std::string_view query;  // FUNC? answer
};

constexpr std::array kFunctionNames{
    FunctionName{"VOLT:DC", Function::VoltageDc, "VOLT:DC"},
    FunctionName{"VOLT:AC", Function::VoltageAc, "VOLT:AC"},
    FunctionName{"CURR:DC", Function::CurrentDc, "CURR:DC"},
    FunctionName{"CURR:AC", Function::CurrentAc, "CURR:AC"},
    FunctionName{"RES", Function::Resistance, "RES"},
    FunctionName{"FREQ", Function::Frequency, "FREQ"},
    FunctionName{"PER", Function::Period, "PER"},
    FunctionName{"DIOD", Function::Diode, "DIOD"},
    FunctionName{"CONT", Function::Continuity, "CONT"},
    FunctionName{"VOLT", Function::VoltageDc, "VOLT:DC"},
    FunctionName{"CURR", Function::CurrentDc, "CURR:DC"},
};

// Parameters of FUNC2. The program sends mnemonics for the voltage and current functions and the
// words "AC VOLTAGE" / "AC CURRENT" (with the blank) under frequency and period.
struct SecondaryName {
    std::string_view text;
    Secondary secondary;
};

constexpr std::array kSecondaryNames{
    SecondaryName{"VOLT:AC", Secondary::VoltageAc},
    SecondaryName{"AC VOLTAGE", Secondary::VoltageAc},
    SecondaryName{"VOLT:DC", Secondary::VoltageDc},
    SecondaryName{"VOLT", Secondary::VoltageDc},
    SecondaryName{"DC VOLTAGE", Secondary::VoltageDc},
    SecondaryName{"CURR:AC", Secondary::CurrentAc},
    SecondaryName{"AC CURRENT", Secondary::CurrentAc},
    SecondaryName{"CURR:DC", Secondary::CurrentDc},
    SecondaryName{"CURR", Secondary::CurrentDc},
    SecondaryName{"DC CURRENT", Secondary::CurrentDc},
    SecondaryName{"FREQ", Secondary::Frequency},
    SecondaryName{"DBM", Secondary::DBm},
    SecondaryName{"DB", Secondary::DB},
};

// FUNC2? answers with the first name of each secondary function in the table above.
constexpr std::array kSecondaryQuery{"VOLT:AC", "VOLT:DC", "CURR:AC", "CURR:DC",
                                     "FREQ",    "DBM",     "DB"};

struct TriggerName {
    std::string_view text;
    TriggerSource source;
};

constexpr std::array kTriggerNames{
    TriggerName{"IMM", TriggerSource::Immediate},
    TriggerName{"IMMEDIATE", TriggerSource::Immediate},
    TriggerName{"BUS", TriggerSource::Bus},
    TriggerName{"MAN", TriggerSource::Manual},
    TriggerName{"MANUAL", TriggerSource::Manual},
};

constexpr std::array kTriggerQuery{"IMM", "BUS", "MAN"};

struct Identity {
    Model model;
    std::string_view name;
    std::string_view serial;
    std::string_view firmware;
};

constexpr std::array kIdentities{
    Identity{.model = Model::VX260, .name = "VX260", .serial = "260K31877", .firmware = "1.05"},
    Identity{.model = Model::VX480, .name = "VX480", .serial = "480K52106", .firmware = "2.14"},
};

// Reference level of the dB reading: 1 V. dBm is referred to 1 mW into 600 ohm.
constexpr double kDbReferenceVolts = 1.0;
constexpr double kDbmReferenceOhms = 600.0;

constexpr double kMinNplc = 0.02;
constexpr double kMaxNplc = 100.0;

std::string unquoted(std::string_view text) {
    text = trimmed(text);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front()) {
        text = trimmed(text.substr(1, text.size() - 2));
    }
    return std::string(text);
}

// A mnemonic parameter in canonical form: "volt:dc" -> "VOLT:DC", "Frequency" -> "FREQ";
// words separated by blanks are upper-cased and joined by one blank ("ac  voltage" ->
// "AC VOLTAGE").
std::string canonicalParameter(std::string_view text) {
    const std::string plain = unquoted(text);
    std::string out;
    if (plain.find_first_of(" \t") != std::string::npos) {
        std::size_t pos = 0;
        while (pos < plain.size()) {
            const auto start = plain.find_first_not_of(" \t", pos);
            if (start == std::string::npos) {
                break;
            }
            const auto end = std::min(plain.find_first_of(" \t", start), plain.size());
            if (!out.empty()) {
                out += ' ';
            }
            out += upper(std::string_view(plain).substr(start, end - start));
            pos = end;
        }
        return out;
    }
    std::size_t pos = 0;
    while (true) {
        const auto colon = plain.find(':', pos);
        if (!out.empty() || pos > 0) {
            out += ':';
        }
        out += canonicalKeyword(std::string_view(plain).substr(pos, colon - pos));
        if (colon == std::string::npos) {
            break;
        }
        pos = colon + 1;
    }
    return out;
}

std::string boolText(bool value) {
    return value ? "1" : "0";
}

}  // namespace

// Command tables. Commands without a function in front come first; the others are looked up
// after the function mnemonic at the start of the header has been taken off.
enum class Parameter { None, Required };
enum class Applies { All, Ranged, Threshold, RangedOrThreshold, Nplc };

struct Command {
    std::string_view path;
    bool query;
    MeterModel::Handler handler;
    Parameter parameter;
    bool reading = false;
};

struct Subcommand {
    std::string_view path;
    bool query;
    MeterModel::Handler handler;
    Parameter parameter;
    Applies applies;
};

// A friend of the model, so that the tables may name its private handlers.
struct CommandTables {
    static constexpr std::array kCommands{
        Command{"*IDN", true, &MeterModel::idn, Parameter::None},
        Command{"*RST", false, &MeterModel::reset, Parameter::None},
        Command{"*TRG", false, &MeterModel::trigger, Parameter::None},
        Command{"*CLS", false, &MeterModel::clearStatus, Parameter::None},
        Command{"*OPC", true, &MeterModel::operationComplete, Parameter::None},
        Command{"FETC", true, &MeterModel::fetch, Parameter::None, true},
        Command{"READ", true, &MeterModel::read, Parameter::None, true},
        Command{"FUNC", false, &MeterModel::setFunction, Parameter::Required},
        Command{"FUNC", true, &MeterModel::queryFunction, Parameter::None},
        Command{"FUNC2", false, &MeterModel::setSecondary, Parameter::Required},
        Command{"FUNC2", true, &MeterModel::querySecondary, Parameter::None},
        Command{"FUNC2:STAT", false, &MeterModel::setSecondaryState, Parameter::Required},
        Command{"FUNC2:STAT", true, &MeterModel::querySecondaryState, Parameter::None},
        Command{"TRIG:SOUR", false, &MeterModel::setTriggerSource, Parameter::Required},
        Command{"TRIG:SOUR", true, &MeterModel::queryTriggerSource, Parameter::None},
        Command{"DISP:ENAB", false, &MeterModel::setDisplay, Parameter::Required},
        Command{"DISP:ENAB", true, &MeterModel::queryDisplay, Parameter::None},
        Command{"HOLD:STAT", false, &MeterModel::setHold, Parameter::Required},
        Command{"HOLD:STAT", true, &MeterModel::queryHold, Parameter::None},
        Command{"SYST:ERR", true, &MeterModel::systemError, Parameter::None},
    };

    static constexpr std::array kSubcommands{
        Subcommand{"RANG", false, &MeterModel::setRange, Parameter::Required, Applies::Ranged},
        Subcommand{"RANG", true, &MeterModel::queryRange, Parameter::None, Applies::Ranged},
        Subcommand{"THR:VOLT:RANG", false, &MeterModel::setRange, Parameter::Required,
                   Applies::Threshold},
        Subcommand{"THR:VOLT:RANG", true, &MeterModel::queryRange, Parameter::None,
                   Applies::Threshold},
        Subcommand{"RANG:AUTO", false, &MeterModel::setAutoRange, Parameter::Required,
                   Applies::RangedOrThreshold},
        Subcommand{"RANG:AUTO", true, &MeterModel::queryAutoRange, Parameter::None,
                   Applies::RangedOrThreshold},
        Subcommand{"NPLC", false, &MeterModel::setNplc, Parameter::Required, Applies::Nplc},
        Subcommand{"NPLC", true, &MeterModel::queryNplc, Parameter::None, Applies::Nplc},
        Subcommand{"REF", false, &MeterModel::setReference, Parameter::Required, Applies::All},
        Subcommand{"REF", true, &MeterModel::queryReference, Parameter::None, Applies::All},
        Subcommand{"REF:STAT", false, &MeterModel::setReferenceState, Parameter::Required,
                   Applies::All},
        Subcommand{"REF:STAT", true, &MeterModel::queryReferenceState, Parameter::None,
                   Applies::All},
        Subcommand{"REF:ACQ", false, &MeterModel::acquireReference, Parameter::None, Applies::All},
    };

    static bool applies(Applies applies, Function function) {
        const RangeKind kind = info(function).rangeKind;
        switch (applies) {
            case Applies::All:
                return true;
            case Applies::Ranged:
                return kind == RangeKind::Measurement;
            case Applies::Threshold:
                return kind == RangeKind::Threshold;
            case Applies::RangedOrThreshold:
                return kind != RangeKind::None;
            case Applies::Nplc:
                return info(function).hasNplc;
        }
        return false;
    }
};

MeterModel::MeterModel(MeterConfig config)
    : config_(std::move(config)), splitter_(config_.terminator), noise_(config_.noiseStart) {
    for (const auto& entry : kFunctionInfo) {
        inputs_[static_cast<std::size_t>(entry.function)] = entry.input;
    }
}

std::string_view MeterModel::replyTerminator() const {
    if (config_.replyTerminator.empty()) {
        return {&config_.terminator, 1};
    }
    return config_.replyTerminator;
}

std::string MeterModel::identity() const {
    for (const auto& entry : kIdentities) {
        if (entry.model == config_.model) {
            std::string out = "Velmora,";
            out += entry.name;
            out += ',';
            out += entry.serial;
            out += ',';
            out += entry.firmware;
            return out;
        }
    }
    return "Velmora";
}

void MeterModel::setInput(Function function, double value) {
    inputs_[static_cast<std::size_t>(function)] = value;
}

double MeterModel::input(Function function) const {
    return inputs_[static_cast<std::size_t>(function)];
}

std::string MeterModel::feed(std::string_view bytes) {
    std::string out;
    for (const auto& line : splitter_.push(bytes)) {
        if (line.overrun) {
            reportOverrun();
            continue;
        }
        if (auto reply = execute(line.text)) {
            out += reply->text;
            out += replyTerminator();
        }
    }
    return out;
}

void MeterModel::reportOverrun() {
    pushError(ScpiError::InputOverrun);
}

std::optional<Reply> MeterModel::execute(std::string_view line) {
    const ParsedLine parsed = parseCommandLine(line);
    if (parsed.error != ScpiError::None) {
        pushError(parsed.error);
        return std::nullopt;
    }
    const CommandLine& command = parsed.command;
    if (command.path.empty()) {
        return std::nullopt;
    }

    auto dispatch = [&](Handler handler, Parameter parameter, Function function,
                        bool reading) -> std::optional<Reply> {
        if (parameter == Parameter::None && !command.parameter.empty()) {
            pushError(ScpiError::ParameterNotAllowed);
            return std::nullopt;
        }
        if (parameter == Parameter::Required && command.parameter.empty()) {
            pushError(ScpiError::MissingParameter);
            return std::nullopt;
        }
        auto text = (this->*handler)(Call{.parameter = command.parameter, .function = function});
        if (!text) {
            return std::nullopt;
        }
        return Reply{.text = std::move(*text), .reading = reading};
    };

    for (const auto& entry : CommandTables::kCommands) {
        if (entry.path == command.path && entry.query == command.query) {
            return dispatch(entry.handler, entry.parameter, state_.function, entry.reading);
        }
    }
    const std::string_view path = command.path;
    for (const auto& name : kFunctionNames) {
        if (path.size() <= name.path.size() + 1 || !path.starts_with(name.path) ||
            path[name.path.size()] != ':') {
            continue;
        }
        const std::string_view rest = path.substr(name.path.size() + 1);
        for (const auto& entry : CommandTables::kSubcommands) {
            if (entry.path == rest && entry.query == command.query &&
                CommandTables::applies(entry.applies, name.function)) {
                return dispatch(entry.handler, entry.parameter, name.function, false);
            }
        }
        break;
    }
    pushError(ScpiError::UndefinedHeader);
    return std::nullopt;
}

void MeterModel::pushError(ScpiError error) {
    // A full queue keeps its oldest entries; the newest one becomes "Queue overflow".
    if (errors_.size() >= kErrorQueueSize) {
        errors_.back() = ScpiError::QueueOverflow;
        return;
    }
    errors_.push_back(error);
}

std::optional<bool> MeterModel::booleanParameter(const Call& call) {
    const std::string word = upper(trimmed(call.parameter));
    if (word == "ON" || word == "1") {
        return true;
    }
    if (word == "OFF" || word == "0") {
        return false;
    }
    pushError(ScpiError::IllegalParameter);
    return std::nullopt;
}

std::optional<double> MeterModel::numericParameter(const Call& call, double min, double max,
                                                   double defaultValue) {
    const std::string word = upper(trimmed(call.parameter));
    if (word == "MIN" || word == "MINIMUM") {
        return min;
    }
    if (word == "MAX" || word == "MAXIMUM") {
        return max;
    }
    if (word == "DEF" || word == "DEFAULT") {
        return defaultValue;
    }
    const auto value = parseNumber(word);
    if (!value) {
        pushError(ScpiError::DataType);
        return std::nullopt;
    }
    if (*value < min || *value > max) {
        pushError(ScpiError::DataOutOfRange);
        return std::nullopt;
    }
    return value;
}

FunctionSettings& MeterModel::settings(Function function) {
    return state_.settings[static_cast<std::size_t>(function)];
}

// The range in force: the fixed one, or in auto range the smallest that holds the input.
// Frequency and period range the voltage of the signal (their input threshold).
double MeterModel::effectiveRange(Function function) const {
    const auto& entry = info(function);
    const auto ranges = rangesOf(function);
    if (ranges.empty()) {
        return entry.fullScale;
    }
    const auto& set = state_.settings[static_cast<std::size_t>(function)];
    if (!set.autoRange) {
        return set.range;
    }
    const double level = std::fabs(
        entry.rangeKind == RangeKind::Threshold ? input(Function::VoltageAc) : input(function));
    for (const double range : ranges) {
        if (level <= range) {
            return range;
        }
    }
    return ranges.back();
}

// Noise shrinks with the square root of the integration time. Frequency and period have a fixed
// gate and a noise relative to the reading.
double MeterModel::noisy(Function function, double value) {
    const auto& entry = info(function);
    const double scale =
        entry.rangeKind == RangeKind::Threshold ? std::fabs(value) : effectiveRange(function);
    const double nplc =
        entry.hasNplc ? state_.settings[static_cast<std::size_t>(function)].nplc : 1.0;
    const double sigma = entry.noiseFraction * scale / std::sqrt(nplc) * config_.noiseScale;
    return value + sigma * noise_.gaussian();
}

double MeterModel::measureRaw(Function function) {
    return noisy(function, input(function));
}

MeterModel::Reading MeterModel::measure() {
    const Function function = state_.function;
    const auto& entry = info(function);
    const auto& set = settings(function);
    const double raw = measureRaw(function);

    Reading reading;
    // A fixed range overloads when the input exceeds it; auto range never does. For frequency
    // and period it is the signal voltage that must fit the threshold range.
    const double level = entry.rangeKind == RangeKind::Threshold ? input(Function::VoltageAc) : raw;
    const bool overload =
        entry.rangeKind != RangeKind::None && !set.autoRange && std::fabs(level) > set.range;
    if (overload) {
        reading.primary = std::copysign(kOverload, level);
    } else {
        reading.primary = set.referenceOn ? raw - set.reference : raw;
    }
    if (state_.secondaryOn) {
        reading.secondary = measureSecondary(raw);
    }
    return reading;
}

double MeterModel::measureSecondary(double primaryRaw) {
    switch (state_.secondary) {
        case Secondary::VoltageAc:
            return measureRaw(Function::VoltageAc);
        case Secondary::VoltageDc:
            return measureRaw(Function::VoltageDc);
        case Secondary::CurrentAc:
            return measureRaw(Function::CurrentAc);
        case Secondary::CurrentDc:
            return measureRaw(Function::CurrentDc);
        case Secondary::Frequency:
            return measureRaw(Function::Frequency);
        case Secondary::DBm:
        case Secondary::DB:
            break;
    }
    // dB and dBm express the primary voltage; under other primary functions, the AC voltage.
    const bool voltage =
        state_.function == Function::VoltageDc || state_.function == Function::VoltageAc;
    const double volts = std::fabs(voltage ? primaryRaw : measureRaw(Function::VoltageAc));
    if (volts < 1e-12) {
        return -kOverload;
    }
    if (state_.secondary == Secondary::DB) {
        return 20.0 * std::log10(volts / kDbReferenceVolts);
    }
    return 10.0 * std::log10(volts * volts / kDbmReferenceOhms / 1e-3);
}

// The reading FETC? answers: frozen while hold is on; with the immediate trigger a new one each
// time; with the bus or manual trigger the last one taken, until *TRG takes the next.
const MeterModel::Reading& MeterModel::present() {
    if (state_.hold && held_) {
        return *held_;
    }
    if (state_.trigger == TriggerSource::Immediate || !latest_) {
        latest_ = measure();
    }
    return *latest_;
}

// A change of what is measured makes the last reading meaningless; a held display catches the
// first reading of the new setting.
void MeterModel::invalidate() {
    latest_.reset();
    if (state_.hold) {
        held_ = measure();
    }
}

std::string MeterModel::formatted(const Reading& reading) const {
    std::string out = formatReading(reading.primary);
    if (reading.secondary) {
        out += ',';
        out += formatReading(*reading.secondary);
    }
    return out;
}

std::optional<std::string> MeterModel::idn(const Call&) {
    return identity();
}

std::optional<std::string> MeterModel::reset(const Call&) {
    state_ = MeterState{};
    held_.reset();
    invalidate();
    return std::nullopt;
}

std::optional<std::string> MeterModel::trigger(const Call&) {
    if (state_.trigger != TriggerSource::Bus) {
        pushError(ScpiError::TriggerIgnored);
        return std::nullopt;
    }
    latest_ = measure();
    return std::nullopt;
}

std::optional<std::string> MeterModel::clearStatus(const Call&) {
    errors_.clear();
    return std::nullopt;
}

std::optional<std::string> MeterModel::operationComplete(const Call&) {
    return "1";
}

std::optional<std::string> MeterModel::fetch(const Call&) {
    return formatted(present());
}

std::optional<std::string> MeterModel::read(const Call&) {
    if (state_.hold && held_) {
        return formatted(*held_);
    }
    latest_ = measure();
    return formatted(*latest_);
}

std::optional<std::string> MeterModel::setFunction(const Call& call) {
    const std::string name = canonicalParameter(call.parameter);
    for (const auto& entry : kFunctionNames) {
        if (entry.path == name) {
            state_.function = entry.function;
            invalidate();
            return std::nullopt;
        }
    }
    pushError(ScpiError::IllegalParameter);
    return std::nullopt;
}

std::optional<std::string> MeterModel::queryFunction(const Call&) {
    for (const auto& entry : kFunctionNames) {
        if (entry.function == state_.function) {
            return '"' + std::string(entry.query) + '"';
        }
    }
    return std::nullopt;
}

std::optional<std::string> MeterModel::setSecondary(const Call& call) {
    const std::string name = canonicalParameter(call.parameter);
    for (const auto& entry : kSecondaryNames) {
        if (entry.text == name) {
            state_.secondary = entry.secondary;
            invalidate();
            return std::nullopt;
        }
    }
    pushError(ScpiError::IllegalParameter);
    return std::nullopt;
}

std::optional<std::string> MeterModel::querySecondary(const Call&) {
    return '"' + std::string(kSecondaryQuery[static_cast<std::size_t>(state_.secondary)]) + '"';
}

std::optional<std::string> MeterModel::setSecondaryState(const Call& call) {
    if (const auto on = booleanParameter(call)) {
        state_.secondaryOn = *on;
        invalidate();
    }
    return std::nullopt;
}

std::optional<std::string> MeterModel::querySecondaryState(const Call&) {
    return boolText(state_.secondaryOn);
}

std::optional<std::string> MeterModel::setTriggerSource(const Call& call) {
    const std::string word = upper(trimmed(call.parameter));
    for (const auto& entry : kTriggerNames) {
        if (entry.text == word) {
            state_.trigger = entry.source;
            return std::nullopt;
        }
    }
    pushError(ScpiError::IllegalParameter);
    return std::nullopt;
}

std::optional<std::string> MeterModel::queryTriggerSource(const Call&) {
    return std::string(kTriggerQuery[static_cast<std::size_t>(state_.trigger)]);
}

std::optional<std::string> MeterModel::setDisplay(const Call& call) {
    if (const auto on = booleanParameter(call)) {
        state_.displayOn = *on;
    }
    return std::nullopt;
}

std::optional<std::string> MeterModel::queryDisplay(const Call&) {
    return boolText(state_.displayOn);
}

std::optional<std::string> MeterModel::setHold(const Call& call) {
    const auto on = booleanParameter(call);
    if (!on) {
        return std::nullopt;
    }
    if (*on && !state_.hold) {
        held_ = latest_ ? *latest_ : measure();
    }
    if (!*on) {
        held_.reset();
    }
    state_.hold = *on;
    return std::nullopt;
}

std::optional<std::string> MeterModel::queryHold(const Call&) {
    return boolText(state_.hold);
}

std::optional<std::string> MeterModel::systemError(const Call&) {
    if (errors_.empty()) {
        return formatError(ScpiError::None);
    }
    const ScpiError error = errors_.front();
    errors_.pop_front();
    return formatError(error);
}

// RANG takes a value in the function's unit and picks the smallest range that holds it, as SCPI
// meters do: RANG 1.5 under VOLT:DC gives the 2 V range. Setting a range ends auto range.
std::optional<std::string> MeterModel::setRange(const Call& call) {
    const auto ranges = rangesOf(call.function);
    const auto value = numericParameter(call, -ranges.back(), ranges.back(), ranges.back());
    if (!value) {
        return std::nullopt;
    }
    const double wanted = std::fabs(*value);
    auto& set = settings(call.function);
    set.range = ranges.back();
    for (const double range : ranges) {
        if (wanted <= range * (1.0 + 1e-9)) {
            set.range = range;
            break;
        }
    }
    set.autoRange = false;
    invalidate();
    return std::nullopt;
}

std::optional<std::string> MeterModel::queryRange(const Call& call) {
    return formatReading(effectiveRange(call.function));
}

// Leaving auto range keeps the range that auto range had chosen.
std::optional<std::string> MeterModel::setAutoRange(const Call& call) {
    const auto on = booleanParameter(call);
    if (!on) {
        return std::nullopt;
    }
    auto& set = settings(call.function);
    if (!*on && set.autoRange) {
        set.range = effectiveRange(call.function);
    }
    set.autoRange = *on;
    invalidate();
    return std::nullopt;
}

std::optional<std::string> MeterModel::queryAutoRange(const Call& call) {
    return boolText(settings(call.function).autoRange);
}

std::optional<std::string> MeterModel::setNplc(const Call& call) {
    if (const auto value = numericParameter(call, kMinNplc, kMaxNplc, 1.0)) {
        settings(call.function).nplc = *value;
    }
    return std::nullopt;
}

std::optional<std::string> MeterModel::queryNplc(const Call& call) {
    return formatReading(settings(call.function).nplc);
}

std::optional<std::string> MeterModel::setReference(const Call& call) {
    const double limit = info(call.function).referenceLimit;
    if (const auto value = numericParameter(call, -limit, limit, 0.0)) {
        settings(call.function).reference = *value;
        invalidate();
    }
    return std::nullopt;
}

std::optional<std::string> MeterModel::queryReference(const Call& call) {
    return formatReading(settings(call.function).reference);
}

std::optional<std::string> MeterModel::setReferenceState(const Call& call) {
    if (const auto on = booleanParameter(call)) {
        settings(call.function).referenceOn = *on;
        invalidate();
    }
    return std::nullopt;
}

std::optional<std::string> MeterModel::queryReferenceState(const Call& call) {
    return boolText(settings(call.function).referenceOn);
}

std::optional<std::string> MeterModel::acquireReference(const Call& call) {
    settings(call.function).reference = measureRaw(call.function);
    invalidate();
    return std::nullopt;
}

}  // namespace vxsim
