#include "core/bodyGrid.hpp"

#include "core/collision.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace collision {

namespace {

// Radii beyond this many times the median stay out of the cells: one huge body would
// widen every query.
constexpr double radiusSpread = 4.0;

constexpr uint32_t offGrid = UINT32_MAX;
constexpr double outOfCells = std::numeric_limits<double>::quiet_NaN();

} // namespace

void BodyGrid::build(const std::vector<GridBody>& bodies) {
    size_t count = bodies.size();
    at_.resize(count);
    radius_.resize(count);
    keptOut_.resize(count);
    for (size_t i = 0; i < count; ++i) {
        at_[i] = {bodies[i].x, bodies[i].y, outOfCells};
        radius_[i] = bodies[i].radius;
        keptOut_[i] = bodies[i].keptOut;
    }
    place();
}

bool BodyGrid::placeable(size_t i) const {
    return !keptOut_[i] && std::isfinite(at_[i].x) && std::isfinite(at_[i].y) &&
           std::fabs(radius_[i]) <= radiusCap_; // false for a radius that is not finite
}

void BodyGrid::place() {
    size_t count = at_.size();
    homeX_.resize(count);
    homeY_.resize(count);
    everyQuery_.clear();
    columns_ = rows_ = 0;
    largestRadius_ = 0.0;
    drift_ = 0.0;
    strays_ = 0;

    std::vector<double> radii;
    for (size_t i = 0; i < count; ++i) {
        at_[i].reach = outOfCells;
        homeX_[i] = at_[i].x;
        homeY_[i] = at_[i].y;
        if (!keptOut_[i] && std::isfinite(at_[i].x) && std::isfinite(at_[i].y) &&
            std::isfinite(radius_[i]))
            radii.push_back(std::fabs(radius_[i]));
    }
    radiusCap_ = 0.0;
    if (!radii.empty()) {
        auto middle = radii.begin() + ptrdiff_t(radii.size() / 2);
        std::nth_element(radii.begin(), middle, radii.end());
        radiusCap_ = *middle * radiusSpread;
    }

    double minX = 0.0, maxX = 0.0, minY = 0.0, maxY = 0.0;
    size_t placed = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!placeable(i)) continue;
        double x = at_[i].x, y = at_[i].y;
        if (placed++ == 0) {
            minX = maxX = x;
            minY = maxY = y;
        }
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
        largestRadius_ = std::max(largestRadius_, std::fabs(radius_[i]));
    }
    double width = maxX - minX, height = maxY - minY;
    if (placed > 0 && std::isfinite(width) && std::isfinite(height)) {
        // About one body per cell, and a cell no narrower than the widest body.
        side_ = std::max(2.0 * largestRadius_, std::sqrt(width * height / double(placed)));
        if (!(side_ > 0.0) || !std::isfinite(side_)) side_ = std::max(width, height);
        if (!(side_ > 0.0)) side_ = 1.0;
        // A spare row and column on every side, for bodies that move a little.
        double limit = 4.0 * double(placed) + 64.0;
        double columns, rows;
        for (;;) {
            columns = std::floor(width / side_) + 3.0;
            rows = std::floor(height / side_) + 3.0;
            if (columns * rows <= limit) break;
            side_ *= 2.0;
        }
        columns_ = int64_t(columns);
        rows_ = int64_t(rows);
        left_ = minX - side_;
        top_ = minY - side_;
    }
    perSide_ = 1.0 / side_;
    driftLimit_ = side_ / 4.0;
    sumSpanRoom();

    // Filed by a counting sort in index order: each cell's bodies come out ascending.
    size_t cells = size_t(columns_ * rows_);
    cellStart_.assign(cells + 1, 0);
    cellScratch_.resize(count);
    for (size_t i = 0; i < count; ++i) {
        int64_t cell = columns_ > 0 && placeable(i) ? cellOf(at_[i].x, at_[i].y) : -1;
        cellScratch_[i] = cell >= 0 ? uint32_t(cell) : offGrid;
        if (cell >= 0)
            ++cellStart_[size_t(cell) + 1];
        else
            everyQuery_.push_back(uint32_t(i));
    }
    for (size_t c = 0; c < cells; ++c)
        cellStart_[c + 1] += cellStart_[c];
    slots_.resize(cellStart_[cells]);
    slotOf_.assign(count, offGrid);
    for (size_t i = 0; i < count; ++i) {
        uint32_t cell = cellScratch_[i];
        if (cell == offGrid) continue;
        // cellStart_ of the next cell serves as the fill position of this one meanwhile.
        uint32_t slot = cellStart_[cell]++;
        at_[i].reach = std::fabs(radius_[i]);
        slots_[slot] = {at_[i].x, at_[i].y, at_[i].reach, uint32_t(i)};
        slotOf_[i] = slot;
    }
    for (size_t c = cells; c > 0; --c)
        cellStart_[c] = cellStart_[c - 1];
    cellStart_[0] = 0;
}

// Cell numbers are monotonic in the coordinate: a point of a query's span and a body filed
// within it land in the same order, whatever the rounding.
int64_t BodyGrid::cellOf(double x, double y) const {
    double column = floorOf((x - left_) * perSide_);
    double row = floorOf((y - top_) * perSide_);
    if (!(column >= 0.0 && column < double(columns_) && row >= 0.0 && row < double(rows_)))
        return -1;
    return int64_t(row) * columns_ + int64_t(column);
}

void BodyGrid::stray(size_t i) {
    at_[i].reach = outOfCells;
    slots_[slotOf_[i]].reach = outOfCells;
    slotOf_[i] = offGrid;
    auto at = std::lower_bound(everyQuery_.begin(), everyQuery_.end(), uint32_t(i));
    everyQuery_.insert(at, uint32_t(i));
    // Many bodies answered for every query cost more than filing them all again.
    if (++strays_ > 16 + size() / 16) place();
}

void BodyGrid::move(size_t i, double x, double y) {
    at_[i].x = x;
    at_[i].y = y;
    if (!inCell(i)) return;
    Slot& slot = slots_[slotOf_[i]];
    slot.x = x;
    slot.y = y;
    double drift = std::max(std::fabs(x - homeX_[i]), std::fabs(y - homeY_[i]));
    if (!(drift <= driftLimit_)) // true for NaN
        stray(i);
    else if (drift > drift_) {
        drift_ = drift;
        sumSpanRoom();
    }
}

void BodyGrid::sumSpanRoom() {
    spanRoom_ =
        drift_ * (1.0 + 1e-6) +
        (1e-14 * (std::fabs(left_) + std::fabs(top_) + side_ * double(columns_ + rows_)) + 2e-150);
}

void BodyGrid::settle() {
    if (strays_ > 0 || drift_ > driftLimit_ / 2.0) place();
}

// The cells from the one of `low` to the one of `high` along an axis of `cells` cells, in
// cell units (low and high are scaled offsets from the grid's edge, not NaN): first > last
// when the span misses the grid. Equal to clamping floorOf of each, without a branch.
inline void cellRange(double low, double high, int64_t cells, int64_t& first, int64_t& last) {
    // Whole numbers from zero on convert to integers exactly by truncation; below zero the
    // only value that matters is -1 (nothing), and truncation of a value in (-1, 0) gives 0:
    // one step down when it rounded up.
    first = int64_t(std::min(std::max(low, 0.0), double(cells)));
    double top = std::min(std::max(high, -1.0), double(cells - 1));
    last = int64_t(top);
    last -= int64_t(double(last) > top);
}

void BodyGrid::candidates(double x, double y, double reach, size_t from,
                          std::vector<uint32_t>& out) {
    const uint32_t* always = everyQuery_.data() + everyQuery_.size();
    if (!everyQuery_.empty())
        always = everyQuery_.data() +
                 (std::lower_bound(everyQuery_.begin(), everyQuery_.end(), uint32_t(from)) -
                  everyQuery_.begin());
    const uint32_t* alwaysEnd = everyQuery_.data() + everyQuery_.size();
    // A body in a cell has a finite centre: nothing finite is within reach of a point that
    // is not.
    if (columns_ == 0 || !std::isfinite(x) || !std::isfinite(y)) {
        out.assign(always, alwaysEnd);
        return;
    }
    // Wider than any offset that withinReach lets through for a body in a cell, from where
    // the body was filed, with room for the rounding of every step to a cell number (the
    // part that does not depend on the query is summed when the grid changes: spanRoom_).
    double span = (largestRadius_ + reach) * (1.0 + 2e-6) +
                  (1e-14 * (std::fabs(x) + std::fabs(y)) + spanRoom_);
    if (!std::isfinite(span)) {
        everyBody(x, y, reach, from, always, alwaysEnd, out);
        return;
    }
    // x - span and the like may overflow to an infinity, never to NaN.
    int64_t firstColumn, lastColumn, firstRow, lastRow;
    cellRange((x - span - left_) * perSide_, (x + span - left_) * perSide_, columns_, firstColumn,
              lastColumn);
    cellRange((y - span - top_) * perSide_, (y + span - top_) * perSide_, rows_, firstRow, lastRow);
    if (firstColumn > lastColumn || firstRow > lastRow) {
        out.assign(always, alwaysEnd);
        return;
    }
    if (double(lastColumn - firstColumn + 1) * double(lastRow - firstRow + 1) > double(size())) {
        everyBody(x, y, reach, from, always, alwaysEnd, out);
        return;
    }
    if (found_.size() < size()) found_.resize(size());
    uint32_t* found = found_.data();
    size_t count = 0;
    const Slot* slots = slots_.data();
    for (int64_t row = firstRow; row <= lastRow; ++row) {
        // The cells of one row lie side by side in slots_.
        const Slot* first = slots + cellStart_[size_t(row * columns_ + firstColumn)];
        const Slot* last = slots + cellStart_[size_t(row * columns_ + lastColumn) + 1];
        // Takes, without a branch per body, those from `from` on within reach (withinReach;
        // a body out of the cells has a NaN reach and is never within it).
        for (; first < last; ++first) {
            double bound = (first->reach + reach) * (1.0 + 1e-6) + 1e-150;
            bool near = (std::fabs(first->x - x) <= bound) & (std::fabs(first->y - y) <= bound);
            found[count] = first->body;
            count += size_t(near & (first->body >= from));
        }
    }
    // Few bodies answer a query: an insertion sort; a sort for many.
    if (count > 32)
        std::sort(found, found + count);
    else
        for (size_t i = 1; i < count; ++i)
            for (size_t j = i; j > 0 && found[j - 1] > found[j]; --j)
                std::swap(found[j - 1], found[j]);
    answer(always, alwaysEnd, count, out);
}

// The bodies from `from` on within reach, by index: for a query that spans more cells than
// there are bodies.
void BodyGrid::everyBody(double x, double y, double reach, size_t from, const uint32_t* always,
                         const uint32_t* alwaysEnd, std::vector<uint32_t>& out) {
    if (found_.size() < size()) found_.resize(size());
    size_t count = 0;
    for (size_t i = from; i < size(); ++i) {
        const Place& body = at_[i];
        found_[count] = uint32_t(i);
        // A body out of the cells has a NaN reach: never within it.
        count += size_t(withinReach(body.x - x, body.y - y, body.reach + reach));
    }
    answer(always, alwaysEnd, count, out);
}

// Into `out`: the bodies answered for every query from `always` on, and the `count` bodies
// of found_, both ascending, no body in both.
void BodyGrid::answer(const uint32_t* always, const uint32_t* alwaysEnd, size_t count,
                      std::vector<uint32_t>& out) {
    const uint32_t* found = found_.data();
    out.resize(size_t(alwaysEnd - always) + count);
    if (always == alwaysEnd) {
        // A handful of bodies: a plain copy costs less than a call to memmove.
        for (size_t k = 0; k < count; ++k)
            out[k] = found[k];
        return;
    }
    std::merge(always, alwaysEnd, found, found + count, out.begin());
}

} // namespace collision
