// The broad phase of the movement pass: the collision bodies of one pass in a uniform
// grid, so that a moving circle looks only at the few bodies that could touch it instead
// of at every body. A query gives every body within reach of a point (core/collision.hpp:
// withinReach, the reach widened by each body's own radius), a superset of the bodies that
// bodyContact would find touching there, in the order of their indices, so the caller
// visits exactly the contacts of a walk over all bodies, in the same order.
//
// Bodies are numbered 0..count-1 (their places in the body list). A body that is "kept
// out" (one the caller must visit whatever its position), and one whose position or
// radius the grid cannot place (not finite, far larger than the others, or moved off the
// grid), is answered for every query. No Python, no SDL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace collision {

struct GridBody {
    double x = 0.0;
    double y = 0.0;
    double radius = 0.0;
    bool keptOut = false;
};

class BodyGrid {
  public:
    // Places the bodies; the grid's cells are sized from their radii and spread.
    void build(const std::vector<GridBody>& bodies);
    size_t size() const { return x_.size(); }

    double x(size_t i) const { return x_[i]; }
    double y(size_t i) const { return y_[i]; }
    double radius(size_t i) const { return radius_[i]; }

    // Body i now stands at (x, y).
    void move(size_t i, double x, double y);

    // The bodies from `from` on within reach of (x, y) (withinReach of |radius| + reach),
    // with every body answered for all queries, in ascending order, into `out`.
    void candidates(double x, double y, double reach, size_t from,
                    std::vector<uint32_t>& out) const;

  private:
    int64_t cellOf(double x, double y) const; // -1 off the grid
    void link(size_t i, int64_t cell);
    void unlink(size_t i);
    void keepOut(size_t i);

    std::vector<double> x_, y_, radius_;
    std::vector<int64_t> cell_;        // by body: its cell, or -1 when answered for all queries
    std::vector<int64_t> next_;        // by body: the next body of its cell, or -1
    std::vector<int64_t> previous_;    // by body: the previous body of its cell, or -1
    std::vector<int64_t> head_;        // by cell: its first body, or -1
    std::vector<uint32_t> everyQuery_; // ascending
    double left_ = 0.0, top_ = 0.0, side_ = 1.0;
    double largestRadius_ = 0.0; // of the bodies in cells
    int64_t columns_ = 0, rows_ = 0;
};

} // namespace collision
