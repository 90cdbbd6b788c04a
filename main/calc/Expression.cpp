#include "calc/Expression.h"

#include <cmath>

namespace vx::calc {

namespace {

double finite(double v) {
    return std::isfinite(v) ? v : kNaN;
}

double divide(double a, double b) {
    return b == 0.0 ? kNaN : finite(a / b);
}

// The least or the greatest of `count` values; NaN when one of them is.
double extreme(std::span<const double> values, bool greatest) {
    double out = values[0];
    for (const double v : values) {
        if (std::isnan(v)) {
            return kNaN;
        }
        out = greatest ? std::max(out, v) : std::min(out, v);
    }
    return out;
}

double integrate(Integral& state, double time, double value) {
    const double dt = time - state.time;
    if (dt > 0.0) {
        // A NaN end makes the sum NaN, and an overflow infinite: either adds
        // nothing. Halved before adding so that two large ends cannot overflow.
        const double sum = state.sum + (value / 2 + state.value / 2) * dt;
        if (std::isfinite(sum)) {
            state.sum = sum;
        }
    }
    state.time = time;
    state.value = value;
    return state.sum;
}

}  // namespace

double evaluate(const Expression& expression, double time, std::span<const double> channels,
                std::span<double> stack, std::span<Integral> integrals) {
    std::size_t top = 0;  // values on the stack
    for (const Step& step : expression.steps) {
        switch (step.op) {
            case Op::Number:
                stack[top++] = step.number;
                break;
            case Op::Channel:
                stack[top++] = step.index < channels.size() ? finite(channels[step.index]) : kNaN;
                break;
            case Op::Negate:
                stack[top - 1] = -stack[top - 1];
                break;
            case Op::Abs:
                stack[top - 1] = std::fabs(stack[top - 1]);
                break;
            case Op::Sqrt:
                stack[top - 1] = stack[top - 1] < 0.0 ? kNaN : std::sqrt(stack[top - 1]);
                break;
            case Op::Integral:
                stack[top - 1] = integrate(integrals[step.index], time, stack[top - 1]);
                break;
            case Op::Min:
            case Op::Max:
                top -= step.index - 1;
                stack[top - 1] = extreme(stack.subspan(top - 1, step.index), step.op == Op::Max);
                break;
            case Op::Add:
            case Op::Subtract:
            case Op::Multiply:
            case Op::Divide:
            case Op::Power: {
                const double b = stack[--top];
                double& a = stack[top - 1];
                switch (step.op) {
                    case Op::Add:
                        a = finite(a + b);
                        break;
                    case Op::Subtract:
                        a = finite(a - b);
                        break;
                    case Op::Multiply:
                        a = finite(a * b);
                        break;
                    case Op::Divide:
                        a = divide(a, b);
                        break;
                    default:
                        // pow() takes NaN^0 and 1^NaN as 1; a missing value stays missing.
                        a = std::isnan(a) || std::isnan(b) ? kNaN : finite(std::pow(a, b));
                        break;
                }
                break;
            }
        }
    }
    return top == 1 ? stack[0] : kNaN;
}

}  // namespace vx::calc
