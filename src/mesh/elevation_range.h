#pragma once
// The lowest and highest data values of a crop window, and the shift that
// centres its elevations ("Center Z values"): every Interpolated builder,
// simplified or not, centres with this one sum so that their vertices agree.

#include <cfloat>

namespace morvale {

struct ElevationRange {
    double low = DBL_MAX;
    double high = -DBL_MAX;

    void add(double value) {
        if (value < low) low = value;
        if (value > high) high = value;
    }
    // In output units. Without a data cell the bounds cancel out: no shift.
    double shift(double unitScale) const { return unitScale * (low + high) * 0.5; }
};

}  // namespace morvale
