#include "core/bodyGrid.hpp"

#include "core/collision.hpp"

#include <algorithm>
#include <cmath>

namespace collision {

namespace {

bool finite(const GridBody& body) {
    return std::isfinite(body.x) && std::isfinite(body.y) && std::isfinite(body.radius);
}

// Radii beyond this many times the median stay out of the cells: one huge body would
// widen every query.
constexpr double radiusSpread = 4.0;

} // namespace

void BodyGrid::build(const std::vector<GridBody>& bodies) {
    size_t count = bodies.size();
    x_.resize(count);
    y_.resize(count);
    radius_.resize(count);
    for (size_t i = 0; i < count; ++i) {
        x_[i] = bodies[i].x;
        y_[i] = bodies[i].y;
        radius_[i] = bodies[i].radius;
    }
    cell_.assign(count, -1);
    next_.assign(count, -1);
    previous_.assign(count, -1);
    head_.clear();
    everyQuery_.clear();
    columns_ = rows_ = 0;
    largestRadius_ = 0.0;

    std::vector<double> radii;
    for (const GridBody& body : bodies)
        if (!body.keptOut && finite(body)) radii.push_back(std::fabs(body.radius));
    double cap = 0.0;
    if (!radii.empty()) {
        auto middle = radii.begin() + ptrdiff_t(radii.size() / 2);
        std::nth_element(radii.begin(), middle, radii.end());
        cap = *middle * radiusSpread;
    }
    auto placeable = [&](const GridBody& body) {
        return !body.keptOut && finite(body) && std::fabs(body.radius) <= cap;
    };

    double minX = 0.0, maxX = 0.0, minY = 0.0, maxY = 0.0;
    size_t placed = 0;
    for (const GridBody& body : bodies) {
        if (!placeable(body)) continue;
        if (placed++ == 0) {
            minX = maxX = body.x;
            minY = maxY = body.y;
        }
        minX = std::min(minX, body.x);
        maxX = std::max(maxX, body.x);
        minY = std::min(minY, body.y);
        maxY = std::max(maxY, body.y);
        largestRadius_ = std::max(largestRadius_, std::fabs(body.radius));
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
        head_.assign(size_t(columns_ * rows_), -1);
    }
    for (size_t i = 0; i < count; ++i) {
        int64_t cell = columns_ > 0 && placeable(bodies[i]) ? cellOf(x_[i], y_[i]) : -1;
        if (cell >= 0)
            link(i, cell);
        else
            everyQuery_.push_back(uint32_t(i));
    }
}

int64_t BodyGrid::cellOf(double x, double y) const {
    double column = std::floor((x - left_) / side_);
    double row = std::floor((y - top_) / side_);
    if (!(column >= 0.0 && column < double(columns_) && row >= 0.0 && row < double(rows_)))
        return -1;
    return int64_t(row) * columns_ + int64_t(column);
}

void BodyGrid::link(size_t i, int64_t cell) {
    cell_[i] = cell;
    previous_[i] = -1;
    next_[i] = head_[size_t(cell)];
    if (next_[i] >= 0) previous_[size_t(next_[i])] = int64_t(i);
    head_[size_t(cell)] = int64_t(i);
}

void BodyGrid::unlink(size_t i) {
    int64_t cell = cell_[i];
    if (previous_[i] >= 0)
        next_[size_t(previous_[i])] = next_[i];
    else
        head_[size_t(cell)] = next_[i];
    if (next_[i] >= 0) previous_[size_t(next_[i])] = previous_[i];
    cell_[i] = next_[i] = previous_[i] = -1;
}

void BodyGrid::keepOut(size_t i) {
    auto at = std::lower_bound(everyQuery_.begin(), everyQuery_.end(), uint32_t(i));
    everyQuery_.insert(at, uint32_t(i));
}

void BodyGrid::move(size_t i, double x, double y) {
    x_[i] = x;
    y_[i] = y;
    if (cell_[i] < 0) return;
    int64_t cell = cellOf(x, y);
    if (cell == cell_[i]) return;
    unlink(i);
    if (cell >= 0)
        link(i, cell);
    else
        keepOut(i);
}

void BodyGrid::candidates(double x, double y, double reach, size_t from,
                          std::vector<uint32_t>& out) const {
    out.clear();
    if (!everyQuery_.empty()) {
        auto first = std::lower_bound(everyQuery_.begin(), everyQuery_.end(), uint32_t(from));
        out.insert(out.end(), first, everyQuery_.end());
    }
    // A body in a cell has a finite centre: nothing finite is within reach of a point that
    // is not.
    if (columns_ == 0 || !std::isfinite(x) || !std::isfinite(y)) return;
    size_t before = out.size();
    auto consider = [&](size_t i) {
        if (i >= from && withinReach(x_[i] - x, y_[i] - y, std::fabs(radius_[i]) + reach))
            out.push_back(uint32_t(i));
    };
    // Wider than any offset that withinReach lets through for a body in a cell.
    double span = (largestRadius_ + reach) * (1.0 + 2e-6) + 2e-150;
    double firstColumn = std::max(std::floor((x - span - left_) / side_), 0.0);
    double lastColumn = std::min(std::floor((x + span - left_) / side_), double(columns_ - 1));
    double firstRow = std::max(std::floor((y - span - top_) / side_), 0.0);
    double lastRow = std::min(std::floor((y + span - top_) / side_), double(rows_ - 1));
    if (!std::isfinite(span) ||
        (lastColumn - firstColumn + 1.0) * (lastRow - firstRow + 1.0) > double(size())) {
        for (size_t i = from; i < size(); ++i)
            if (cell_[i] >= 0) consider(i);
    } else if (firstColumn <= lastColumn && firstRow <= lastRow) {
        for (int64_t row = int64_t(firstRow); row <= int64_t(lastRow); ++row)
            for (int64_t column = int64_t(firstColumn); column <= int64_t(lastColumn); ++column)
                for (int64_t i = head_[size_t(row * columns_ + column)]; i >= 0;
                     i = next_[size_t(i)])
                    consider(size_t(i));
    }
    // Few bodies answer a query: an insertion sort of the new ones into place.
    for (size_t i = std::max<size_t>(before, 1); i < out.size(); ++i)
        for (size_t j = i; j > 0 && out[j - 1] > out[j]; --j)
            std::swap(out[j - 1], out[j]);
}

} // namespace collision
