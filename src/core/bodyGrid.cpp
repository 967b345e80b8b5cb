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

constexpr uint32_t notFiled = UINT32_MAX;
constexpr double outOfCells = std::numeric_limits<double>::quiet_NaN();
// Cells keep coordinates in single precision: the bodies farther out stay out of them.
constexpr double filedLimit = 1e30;

// The room a row of cells keeps beyond the bodies filed in it, for bodies that stray into
// it.
uint32_t roomFor(uint32_t bodies) {
    return 2 + bodies / 8;
}

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

// The test of one body of the cells along a segment: whether its centre may lie within
// its reach plus `reach` of the segment, by its offset across the segment's line and along
// it. The margin is far beyond the rounding of the products.
class Segment {
  public:
    Segment(double x0, double y0, double x1, double y1)
        : x_(x0), y_(y0), dx_(x1 - x0), dy_(y1 - y0) {
        squared_ = dx_ * dx_ + dy_ * dy_;
        length_ = std::sqrt(squared_);
        // A segment so short, or so long, that the squares lose their precision, lets
        // every body of its cells through.
        filters_ = length_ >= 1e-100 && length_ <= 1e100;
    }

    bool near(const BodyGrid::Filed& body, double reach) const {
        if (!filters_) return true;
        double ex = double(body.x) - x_, ey = double(body.y) - y_;
        double bound = (double(body.reach) + reach) * (1.0 + 1e-6) +
                       1e-9 * (std::fabs(ex) + std::fabs(ey) + length_) + 1e-150;
        double across = std::fabs(ex * dy_ - ey * dx_), along = ex * dx_ + ey * dy_;
        double room = bound * length_;
        // Written so that a product that overflowed (to an infinity, or NaN) lets it through.
        return !(across > room) & !(along < -room) & !(along > squared_ + room);
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
    living_.assign(count, 1);
    for (size_t i = 0; i < count; ++i) {
        at_[i] = {bodies[i].x, bodies[i].y, outOfCells};
        radius_[i] = bodies[i].radius;
        keptOut_[i] = bodies[i].keptOut;
    }
    place();
}

void BodyGrid::put(size_t id, const GridBody& body) {
    if (id < size() && living_[id] && inCell(id) && !body.keptOut &&
        std::fabs(body.radius) <= radiusCap_) {
        // In a cell and to stay in the cells (false for a radius that is not finite): its
        // reach where it is filed, then the move.
        double reach = std::fabs(body.radius);
        radius_[id] = body.radius;
        at_[id].reach = reach;
        cells_[filedAt_[id]].reach = float(reach);
        largestRadius_ = std::max(largestRadius_, reach);
        move(id, body.x, body.y);
        return;
    }
    if (id >= size()) {
        at_.resize(id + 1, {0.0, 0.0, outOfCells});
        radius_.resize(id + 1);
        keptOut_.resize(id + 1);
        living_.resize(id + 1);
        homeX_.resize(id + 1);
        homeY_.resize(id + 1);
        filedAt_.resize(id + 1, notFiled);
        filedCell_.resize(id + 1, notFiled);
    }
    if (living_[id]) forget(id);
    living_[id] = 1;
    at_[id] = {body.x, body.y, outOfCells};
    radius_[id] = body.radius;
    keptOut_[id] = body.keptOut;
    // Queries look as far as the widest body in a cell.
    if (placeable(id)) largestRadius_ = std::max(largestRadius_, std::fabs(body.radius));
    settleIn(id);
}

void BodyGrid::remove(size_t id) {
    if (id >= size() || !living_[id]) return;
    forget(id);
    living_[id] = 0;
}

// Out of the cells, and out of the bodies answered for every query.
void BodyGrid::forget(size_t id) {
    if (unfile(id)) return;
    auto at = std::find(everyQuery_.begin(), everyQuery_.end(), uint32_t(id));
    if (at != everyQuery_.end()) everyQuery_.erase(at);
}

bool BodyGrid::placeable(size_t id) const {
    // Within the range of single precision, where a cell keeps it (false for NaN).
    return living_[id] && !keptOut_[id] && std::fabs(at_[id].x) <= filedLimit &&
           std::fabs(at_[id].y) <= filedLimit &&
           std::fabs(radius_[id]) <= radiusCap_; // false for a radius that is not finite
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
    shifted_ = 0;

    std::vector<double> radii;
    for (size_t i = 0; i < count; ++i) {
        at_[i].reach = outOfCells;
        homeX_[i] = at_[i].x;
        homeY_[i] = at_[i].y;
        if (living_[i] && !keptOut_[i] && std::fabs(at_[i].x) <= filedLimit &&
            std::fabs(at_[i].y) <= filedLimit && std::isfinite(radius_[i]))
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
    // Every point of the grid, and some way around it, has |x| + |y| up to this.
    double nearby = std::fabs(left_) + std::fabs(top_) + side_ * double(columns_ + rows_);
    roundingRoom_ = 1e-14 * nearby + 2e-150;
    // A body in a cell stands within a drift of a cell of the grid: its coordinates, and
    // its reach, each single-precision value within 2^-24 of it (relative), and a little more.
    filedRoom_ = (nearby + side_ + radiusCap_) * 0x1p-22;
    sumSpanRoom();

    // Filed by a counting sort in index order, each row with room for a few more.
    size_t cells = size_t(columns_ * rows_);
    std::vector<uint32_t> filled(cells, 0);
    filedAt_.resize(count);
    filedCell_.resize(count);
    for (size_t i = 0; i < count; ++i) {
        int64_t cell = columns_ > 0 && placeable(i) ? cellOf(at_[i].x, at_[i].y) : -1;
        filedAt_[i] = notFiled;
        filedCell_[i] = cell >= 0 ? uint32_t(cell) : notFiled;
        if (cell >= 0)
            ++filled[size_t(cell)];
        else if (living_[i])
            everyQuery_.push_back(uint32_t(i));
    }
    cellEdge_.resize(size_t(rows_ * (columns_ + 1)));
    rowEnd_.resize(size_t(rows_));
    uint32_t at = 0;
    for (int64_t row = 0; row < rows_; ++row) {
        uint32_t* edge = cellEdge_.data() + row * (columns_ + 1);
        uint32_t rowStart = at;
        for (int64_t column = 0; column < columns_; ++column) {
            edge[column] = at;
            at += filled[size_t(row * columns_ + column)];
        }
        edge[columns_] = at;
        at += roomFor(at - rowStart);
        rowEnd_[size_t(row)] = at;
    }
    cells_.resize(at);
    std::fill(filled.begin(), filled.end(), 0);
    for (size_t i = 0; i < count; ++i) {
        uint32_t cell = filedCell_[i];
        if (cell == notFiled) continue;
        uint32_t slot =
            cellEdge_[cell / size_t(columns_) * size_t(columns_ + 1) + cell % size_t(columns_)] +
            filled[cell]++;
        at_[i].reach = std::fabs(radius_[i]);
        cells_[slot] = {float(at_[i].x), float(at_[i].y), float(at_[i].reach), uint32_t(i)};
        filedAt_[i] = slot;
    }
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

// The edges of the cells of the row that holds `cell`, and its column.
uint32_t* BodyGrid::edgesOf(size_t cell, size_t& column) {
    column = cell % size_t(columns_);
    return cellEdge_.data() + cell / size_t(columns_) * size_t(columns_ + 1);
}

// Into its cell, where it stands now, the later bodies of the row moved up by one; false
// when the row has no room left.
bool BodyGrid::file(size_t i, size_t cell) {
    size_t column;
    uint32_t* edge = edgesOf(cell, column);
    uint32_t end = edge[columns_];
    if (end == rowEnd_[cell / size_t(columns_)]) return false;
    uint32_t slot = edge[column + 1];
    for (uint32_t k = end; k > slot; --k) {
        cells_[k] = cells_[k - 1];
        filedAt_[cells_[k].body] = k;
    }
    for (size_t c = column + 1; c <= size_t(columns_); ++c)
        ++edge[c];
    shifted_ += end - slot + size_t(columns_);
    at_[i].reach = std::fabs(radius_[i]);
    cells_[slot] = {float(at_[i].x), float(at_[i].y), float(at_[i].reach), uint32_t(i)};
    filedAt_[i] = slot;
    filedCell_[i] = uint32_t(cell);
    homeX_[i] = at_[i].x;
    homeY_[i] = at_[i].y;
    return true;
}

// Out of its cell, the later bodies of the row moved down by one; false when it was in no
// cell.
bool BodyGrid::unfile(size_t id) {
    at_[id].reach = outOfCells;
    uint32_t slot = filedAt_[id];
    if (slot == notFiled) return false;
    filedAt_[id] = notFiled;
    size_t column;
    uint32_t* edge = edgesOf(filedCell_[id], column);
    uint32_t end = edge[columns_];
    for (uint32_t k = slot; k + 1 < end; ++k) {
        cells_[k] = cells_[k + 1];
        filedAt_[cells_[k].body] = k;
    }
    for (size_t c = column + 1; c <= size_t(columns_); ++c)
        --edge[c];
    shifted_ += end - slot + size_t(columns_);
    return true;
}

// Into the cell where it stands, where that cell's row has room; it is answered for every
// query otherwise.
void BodyGrid::settleIn(size_t id) {
    int64_t cell = columns_ > 0 && placeable(id) ? cellOf(at_[id].x, at_[id].y) : -1;
    if (cell >= 0 && file(id, size_t(cell))) {
        // Long rows cost more to shift than filing every body again.
        if (shifted_ > 8 * size() + 1024) place();
        return;
    }
    everyQuery_.push_back(uint32_t(id));
    // Many bodies answered for every query cost more than filing them all again.
    if (!keptOut_[id] && ++strays_ > 16) place();
}

// A body that drifted too far from where it was filed is filed again where it stands.
void BodyGrid::stray(size_t id) {
    unfile(id);
    settleIn(id);
}

void BodyGrid::move(size_t id, double x, double y) {
    at_[id].x = x;
    at_[id].y = y;
    if (!inCell(id)) return;
    cells_[filedAt_[id]].x = float(x);
    cells_[filedAt_[id]].y = float(y);
    double drift = std::max(std::fabs(x - homeX_[id]), std::fabs(y - homeY_[id]));
    if (!(drift <= driftLimit_)) // true for NaN
        stray(id);
    else if (drift > drift_) {
        drift_ = drift;
        sumSpanRoom();
    }
}

void BodyGrid::sumSpanRoom() {
    spanRoom_ = drift_ * (1.0 + 1e-6) + roundingRoom_;
}

void BodyGrid::settle() {
    if (strays_ > 0 || drift_ > driftLimit_ / 2.0) place();
}

// Takes a body within reach (withinReach; a body out of the cells has a NaN reach and is
// never within it) into taken[count], without a branch: the next count.
inline size_t BodyGrid::take(const Filed& body, double x, double y, double reach, uint32_t* taken,
                             size_t count) {
    double bound = (double(body.reach) + reach) * (1.0 + 1e-6) + 1e-150;
    bool near = (std::fabs(double(body.x) - x) <= bound) & (std::fabs(double(body.y) - y) <= bound);
    taken[count] = body.body;
    return count + size_t(near);
}

BodyGrid::Answer BodyGrid::candidates(double x, double y, double reach) {
    // A body in a cell has a finite centre: nothing finite is within reach of a point that
    // is not.
    if (columns_ == 0 || !std::isfinite(x) || !std::isfinite(y)) return answer(0);
    // Wider than any offset that withinReach lets through for a body in a cell, from where
    // the body was filed, with room for the rounding of every step to a cell number (the
    // part that does not depend on the query is summed when the grid changes: spanRoom_).
    double span = (largestRadius_ + reach) * (1.0 + 2e-6) +
                  (1e-14 * (std::fabs(x) + std::fabs(y)) + spanRoom_);
    if (!std::isfinite(span)) return everyBody(x, y, reach);
    // x - span and the like may overflow to an infinity, never to NaN.
    double lowX = (x - span - left_) * perSide_, highX = (x + span - left_) * perSide_;
    double lowY = (y - span - top_) * perSide_, highY = (y + span - top_) * perSide_;
    int64_t firstColumn, lastColumn, firstRow, lastRow;
    if (lowX >= 0.0 && lowY >= 0.0 && highX < double(columns_) && highY < double(rows_)) {
        // Mostly: the span lies inside the grid, where truncation is floorOf.
        firstColumn = int64_t(lowX), lastColumn = int64_t(highX);
        firstRow = int64_t(lowY), lastRow = int64_t(highY);
    } else {
        cellRange(lowX, highX, columns_, firstColumn, lastColumn);
        cellRange(lowY, highY, rows_, firstRow, lastRow);
        if (firstColumn > lastColumn || firstRow > lastRow) return answer(0);
    }
    if (double(lastColumn - firstColumn + 1) * double(lastRow - firstRow + 1) > double(size()))
        return everyBody(x, y, reach);
    uint32_t* found = foundRoom();
    size_t count = 0;
    // The cells of a row side by side: one run of places.
    double filedReach = reach + filedRoom_;
    for (int64_t row = firstRow; row <= lastRow; ++row) {
        const uint32_t* edge = cellEdge_.data() + row * (columns_ + 1);
        const Filed* first = cells_.data() + edge[firstColumn];
        const Filed* last = cells_.data() + edge[lastColumn + 1];
        for (; first < last; ++first)
            count = take(*first, x, y, filedReach, found, count);
    }
    return answer(count);
}

BodyGrid::Answer BodyGrid::alongSegment(double x0, double y0, double x1, double y1, double reach) {
    if (columns_ == 0) return answer(0);
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
        uint32_t* found = foundRoom();
        size_t count = 0;
        for (size_t id = 0; id < size(); ++id) // those out of the cells are answered anyway
            if (living_[id] && inCell(id)) found[count++] = uint32_t(id);
        return answer(count);
    }
    // Walked across the cells of the axis along which the segment goes further (u), so that
    // the other coordinate changes by at most one cell per cell: along rows, the cells of a
    // row that the segment passes lie side by side; along columns, each is read alone.
    bool alongRows = std::fabs(u1 - u0) < std::fabs(v1 - v0);
    if (alongRows) {
        std::swap(u0, v0);
        std::swap(u1, v1);
    }
    int64_t major = alongRows ? rows_ : columns_, minor = alongRows ? columns_ : rows_;
    double lowU = std::min(u0, u1), highU = std::max(u0, u1);
    double slope = u1 != u0 ? (v1 - v0) / (u1 - u0) : 0.0;
    Segment segment(x0, y0, x1, y1);
    uint32_t* found = foundRoom();
    size_t count = 0;
    double filedReach = reach + filedRoom_;
    // The cells from column `low` to column `high` of a row.
    auto scan = [&](int64_t row, int64_t low, int64_t high) {
        const uint32_t* edge = cellEdge_.data() + row * (columns_ + 1);
        const Filed* first = cells_.data() + edge[low];
        const Filed* last = cells_.data() + edge[high + 1];
        for (; first < last; ++first) {
            found[count] = first->body;
            count += size_t(segment.near(*first, filedReach));
        }
    };
    int64_t first, last;
    cellRange(lowU - width, highU + width, major, first, last);
    for (int64_t along = first; along <= last; ++along) {
        // The part of the segment whose points may have a body within reach in this slab.
        double a = std::max(double(along) - width, lowU);
        double b = std::min(double(along + 1) + width, highU);
        if (a > b) continue;
        double va = v0 + (a - u0) * slope, vb = v0 + (b - u0) * slope;
        int64_t low, high;
        cellRange(std::min(va, vb) - width, std::max(va, vb) + width, minor, low, high);
        if (low > high) continue;
        if (alongRows)
            scan(along, low, high);
        else
            for (int64_t across = low; across <= high; ++across)
                scan(across, along, along);
    }
    return answer(count);
}

// The bodies within reach, every one tested: for a query that spans more cells than there
// are bodies.
BodyGrid::Answer BodyGrid::everyBody(double x, double y, double reach) {
    uint32_t* found = foundRoom();
    size_t count = 0;
    for (size_t id = 0; id < size(); ++id) {
        // A body out of the cells has a NaN reach: never within it.
        found[count] = uint32_t(id);
        count += size_t(withinReach(at_[id].x - x, at_[id].y - y, at_[id].reach + reach));
    }
    return answer(count);
}

BodyGrid::Answer BodyGrid::answer(size_t count) const {
    return {found_.data(), count, everyQuery_.data(), everyQuery_.size()};
}

} // namespace collision
