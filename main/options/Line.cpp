#include "options/Line.h"

#include "meter/Commands.h"

namespace vx::options {

using meter::text;

Line lineOf(const Arguments& given, Index baud, Index term) {
    Line line;
    line.baudText = text(meter::kBaudRateItems[given.choice(baud).value_or(meter::kBaudRateStart)]);
    line.baud = line.baudText.toInt();
    const meter::Choice& t = meter::kTermChars[given.choice(term).value_or(meter::kTermCharStart)];
    line.terminator = text(t.word);
    line.terminatorName = text(t.caption);
    return line;
}

}  // namespace vx::options
