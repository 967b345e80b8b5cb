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

// The cells from the one of `low` to the one of `high` along an axis of `cells` cells, in
// cell units (low and high are scaled offsets from the grid's edge, not NaN): first > last
// when the span misses the grid. Equal to clamping floorOf of each, without a branch.
void cellRange(double low, double high, int64_t cells, int64_t& first, int64_t& last) {
    // From zero on, truncation is floorOf. Below zero the only value that matters is -1
    // (nothing), but truncation takes a value in (-1, 0) to 0: one step down where it
    // went up.
    first = int64_t(std::min(std::max(low, 0.0), double(cells)));
    double top = std::min(std::max(high, -1.0), double(cells - 1));
    last = int64_t(top);
    last -= int64_t(double(last) > top);
}

// The test of one body of the blocks along a segment: whether its centre may lie within
// its reach plus `reach` of the segment, by its offset across the segment's line and along
// it. The margin is far beyond the rounding of the products. A body out of the cells has a
// NaN reach and is never near: it is answered for every query.
class Segment {
  public:
    Segment(double x0, double y0, double x1, double y1)
        : x_(x0), y_(y0), dx_(x1 - x0), dy_(y1 - y0) {
        squared_ = dx_ * dx_ + dy_ * dy_;
        length_ = std::sqrt(squared_);
        // A segment so short, or so long, that the squares lose their precision, lets
        // every body of its blocks through.
        filters_ = length_ >= 1e-100 && length_ <= 1e100;
    }

    template <typename Place> bool near(const Place& body, double reach) const {
        bool inCell = body.reach == body.reach;
        if (!filters_) return inCell;
        double ex = body.x - x_, ey = body.y - y_;
        double bound = (body.reach + reach) * (1.0 + 1e-6) +
                       1e-9 * (std::fabs(ex) + std::fabs(ey) + length_) + 1e-150;
        double across = std::fabs(ex * dy_ - ey * dx_), along = ex * dx_ + ey * dy_;
        double room = bound * length_;
        // Written so that a product that overflowed (to an infinity, or NaN) lets it through.
        return inCell & !(across > room) & !(along < -room) & !(along > squared_ + room);
    }

  private:
    double x_, y_, dx_, dy_, squared_ = 0.0, length_ = 0.0;
    bool filters_ = false;
};

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
    // Every point of the grid, and some way around it, has |x| + |y| up to nearby_.
    nearby_ = std::fabs(left_) + std::fabs(top_) + side_ * double(columns_ + rows_);
    roundingRoom_ = 1e-14 * nearby_ + 2e-150;
    nearbyRounding_ = 1e-14 * nearby_;
    sumSpanRoom();

    // Filed by a counting sort in index order: each block's bodies come out ascending.
    size_t cells = size_t(columns_ * rows_);
    blockStart_.assign(cells + 1, 0);
    cellScratch_.resize(count);
    for (size_t i = 0; i < count; ++i) {
        int64_t cell = columns_ > 0 && placeable(i) ? cellOf(at_[i].x, at_[i].y) : -1;
        cellScratch_[i] = cell >= 0 ? uint32_t(cell) : offGrid;
        if (cell >= 0)
            forEachBlock(size_t(cell), [&](size_t block) { ++blockStart_[block + 1]; });
        else
            everyQuery_.push_back(uint32_t(i));
    }
    for (size_t b = 0; b < cells; ++b)
        blockStart_[b + 1] += blockStart_[b];
    blockBodies_.resize(blockStart_[cells]);
    for (size_t i = 0; i < count; ++i) {
        uint32_t cell = cellScratch_[i];
        if (cell == offGrid) continue;
        at_[i].reach = std::fabs(radius_[i]);
        // blockStart_ of the next block serves as the fill position of this one meanwhile.
        forEachBlock(cell, [&](size_t block) { blockBodies_[blockStart_[block]++] = uint32_t(i); });
    }
    for (size_t b = cells; b > 0; --b)
        blockStart_[b] = blockStart_[b - 1];
    blockStart_[0] = 0;
}

// The blocks that hold a cell: those of it and of its neighbours above and to the left.
template <typename Visit> void BodyGrid::forEachBlock(size_t cell, Visit visit) const {
    size_t column = cell % size_t(columns_);
    bool left = column > 0, above = cell >= size_t(columns_);
    if (above && left) visit(cell - size_t(columns_) - 1);
    if (above) visit(cell - size_t(columns_));
    if (left) visit(cell - 1);
    visit(cell);
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
    auto at = std::lower_bound(everyQuery_.begin(), everyQuery_.end(), uint32_t(i));
    everyQuery_.insert(at, uint32_t(i));
    // Many bodies answered for every query cost more than filing them all again.
    if (++strays_ > 16 + size() / 16) place();
}

void BodyGrid::move(size_t i, double x, double y) {
    at_[i].x = x;
    at_[i].y = y;
    if (!inCell(i)) return;
    double drift = std::max(std::fabs(x - homeX_[i]), std::fabs(y - homeY_[i]));
    if (!(drift <= driftLimit_)) // true for NaN
        stray(i);
    else if (drift > drift_) {
        drift_ = drift;
        sumSpanRoom();
    }
}

void BodyGrid::sumSpanRoom() {
    spanRoom_ = drift_ * (1.0 + 1e-6) + roundingRoom_;
    nearbyRoom_ = nearbyRounding_ + spanRoom_;
}

void BodyGrid::settle() {
    if (strays_ > 0 || drift_ > driftLimit_ / 2.0) place();
}

// Takes a body from `from` on within reach (withinReach; a body out of the cells has a NaN
// reach and is never within it) into taken[count], without a branch: the next count.
inline size_t BodyGrid::take(const Place& body, uint32_t i, double x, double y, double reach,
                             size_t from, uint32_t* taken, size_t count) {
    double bound = (body.reach + reach) * (1.0 + 1e-6) + 1e-150;
    bool near = (std::fabs(body.x - x) <= bound) & (std::fabs(body.y - y) <= bound);
    taken[count] = i;
    return count + size_t(near & (i >= from));
}

void BodyGrid::candidates(double x, double y, double reach, size_t from,
                          std::vector<uint32_t>& out) {
    // Mostly: no body answered for every query, a point near the grid, and a span inside
    // the grid that covers at most two cells each way. One block holds them all, in the
    // order of the answer: no sort. The span and the cells are those of anywhere below,
    // but for nearbyRoom_, which is at least what the room for rounding comes to there
    // (each step of the sum rounds monotonically, and |x| + |y| <= nearby_): fewer steps
    // wait for the point's coordinates.
    if (everyQuery_.empty() && std::fabs(x) + std::fabs(y) <= nearby_) { // false for NaN
        double span = (largestRadius_ + reach) * (1.0 + 2e-6) + nearbyRoom_;
        double lowX = (x - span - left_) * perSide_, highX = (x + span - left_) * perSide_;
        double lowY = (y - span - top_) * perSide_, highY = (y + span - top_) * perSide_;
        // Within these limits truncation is floorOf; false for NaN.
        if (lowX >= 0.0 && lowY >= 0.0 && highX < double(columns_) && highY < double(rows_)) {
            int64_t column = int64_t(lowX), row = int64_t(lowY);
            if (int64_t(highX) - column <= 1 && int64_t(highY) - row <= 1) {
                size_t block = size_t(row * columns_ + column);
                const uint32_t* first = blockBodies_.data() + blockStart_[block];
                size_t length = blockStart_[block + 1] - blockStart_[block];
                if (found_.size() < size()) found_.resize(size());
                uint32_t* found = found_.data();
                size_t count = 0;
                for (size_t k = 0; k < length; ++k)
                    count = take(at_[first[k]], first[k], x, y, reach, from, found, count);
                // A handful of bodies: appended one by one, where a resize would zero them
                // and an assign call memmove.
                out.clear();
                for (size_t k = 0; k < count; ++k)
                    out.push_back(found[k]);
                return;
            }
        }
    }
    anywhere(x, y, reach, from, out);
}

// Any query: the cells of the span in blocks side by side, and the bodies answered for
// every query.
void BodyGrid::anywhere(double x, double y, double reach, size_t from, std::vector<uint32_t>& out) {
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
    auto scan = [&](size_t block) {
        const uint32_t* first = blockBodies_.data() + blockStart_[block];
        const uint32_t* last = blockBodies_.data() + blockStart_[block + 1];
        for (; first < last; ++first)
            count = take(at_[*first], *first, x, y, reach, from, found, count);
    };
    if (lastColumn - firstColumn <= 1 && lastRow - firstRow <= 1) {
        // Mostly: one block holds every cell of the span, its bodies ascending.
        scan(size_t(firstRow * columns_ + firstColumn));
    } else {
        // Blocks side by side, which share no cell, and a sort.
        for (int64_t row = firstRow; row <= lastRow; row += 2)
            for (int64_t column = firstColumn; column <= lastColumn; column += 2)
                scan(size_t(row * columns_ + column));
        if (count > 32)
            std::sort(found, found + count);
        else
            for (size_t i = 1; i < count; ++i)
                for (size_t j = i; j > 0 && found[j - 1] > found[j]; --j)
                    std::swap(found[j - 1], found[j]);
    }
    answer(always, alwaysEnd, count, out);
}

void BodyGrid::alongSegment(double x0, double y0, double x1, double y1, double reach,
                            std::vector<uint32_t>& out) {
    const uint32_t* always = everyQuery_.data();
    const uint32_t* alwaysEnd = always + everyQuery_.size();
    if (columns_ == 0) {
        out.assign(always, alwaysEnd);
        return;
    }
    // In cell units from the grid's corner, as cellOf places the bodies. The span is the
    // one of a point query at the segment's farthest end, with room for the rounding of
    // the interpolation below.
    double extent = std::max(std::fabs(x0), std::fabs(x1)) + std::max(std::fabs(y0), std::fabs(y1));
    double span = (largestRadius_ + reach) * (1.0 + 2e-6) + (1e-14 * extent + spanRoom_);
    double u0 = (x0 - left_) * perSide_, u1 = (x1 - left_) * perSide_;
    double v0 = (y0 - top_) * perSide_, v1 = (y1 - top_) * perSide_;
    double width = span * perSide_ +
                   1e-12 * (1.0 + std::fabs(u0) + std::fabs(u1) + std::fabs(v0) + std::fabs(v1));
    if (!(std::isfinite(u0) && std::isfinite(u1) && std::isfinite(v0) && std::isfinite(v1) &&
          std::isfinite(width))) {
        out.resize(size());
        for (size_t i = 0; i < size(); ++i)
            out[i] = uint32_t(i);
        return;
    }
    // Walked across the blocks of the axis along which the segment goes further (u), so that
    // the other coordinate changes by at most one cell per cell; the blocks that start on
    // even cells hold every cell once.
    bool acrossColumns = std::fabs(u1 - u0) >= std::fabs(v1 - v0);
    if (!acrossColumns) {
        std::swap(u0, v0);
        std::swap(u1, v1);
    }
    int64_t major = acrossColumns ? columns_ : rows_, minor = acrossColumns ? rows_ : columns_;
    int64_t majorBlocks = (major + 1) / 2, minorBlocks = (minor + 1) / 2;
    double lowU = std::min(u0, u1), highU = std::max(u0, u1);
    double slope = u1 != u0 ? (v1 - v0) / (u1 - u0) : 0.0;
    Segment segment(x0, y0, x1, y1);
    if (found_.size() < size()) found_.resize(size());
    uint32_t* found = found_.data();
    size_t count = 0;
    int64_t first, last;
    cellRange((lowU - width) / 2.0, (highU + width) / 2.0, majorBlocks, first, last);
    for (int64_t along = first; along <= last; ++along) {
        // The part of the segment whose points may have a body within reach in this slab.
        double a = std::max(double(2 * along) - width, lowU);
        double b = std::min(double(2 * along + 2) + width, highU);
        if (a > b) continue;
        double va = v0 + (a - u0) * slope, vb = v0 + (b - u0) * slope;
        int64_t low, high;
        cellRange((std::min(va, vb) - width) / 2.0, (std::max(va, vb) + width) / 2.0, minorBlocks,
                  low, high);
        for (int64_t across = low; across <= high; ++across) {
            int64_t column = 2 * (acrossColumns ? along : across);
            int64_t row = 2 * (acrossColumns ? across : along);
            size_t block = size_t(row * columns_ + column);
            for (uint32_t k = blockStart_[block]; k < blockStart_[block + 1]; ++k) {
                uint32_t i = blockBodies_[k];
                found[count] = i;
                count += size_t(segment.near(at_[i], reach));
            }
        }
    }
    out.assign(found, found + count);
    out.insert(out.end(), always, alwaysEnd);
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
