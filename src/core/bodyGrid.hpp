// The broad phase of the movement pass: the collision bodies of one pass in a uniform
// grid, so that a moving circle looks only at the few bodies that could touch it instead
// of at every body. A query gives every body within reach of a point (core/collision.hpp:
// withinReach, the reach widened by each body's own radius), a superset of the bodies that
// bodyContact would find touching there, in the order of their indices, so the caller
// visits exactly the contacts of a walk over all bodies, in the same order.
//
// Bodies are numbered 0..count-1 (their places in the body list). A body that is "kept
// out" (one the caller must visit whatever its position), and one whose position or
// radius the grid cannot place (not finite, far larger than the others), is answered for
// every query.
//
// The cells are loose: each body is filed, in index order, under the place where it
// stood when the grid was built (see blockBodies_), and a body that moves stays
// filed there while it drifts less than a quarter of a cell; queries look that much
// further. A body that strays further is answered for every query until the grid is
// built again (settle, or by itself once too many have strayed).
//
// A ray query asks for the bodies along a segment instead: the cells it passes are read
// in blocks of two by two cells side by side, which share no body, so each body near the
// segment is read once. No Python, no SDL.
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
    size_t size() const { return at_.size(); }

    double x(size_t i) const { return at_[i].x; }
    double y(size_t i) const { return at_[i].y; }
    double radius(size_t i) const { return radius_[i]; }
    bool keptOut(size_t i) const { return keptOut_[i] != 0; }

    // Body i now stands at (x, y).
    void move(size_t i, double x, double y);
    // Files every body again where it stands now when the bodies have drifted far from
    // where they were filed: later queries look less far.
    void settle();

    // The bodies from `from` on within reach of (x, y) (withinReach of |radius| + reach),
    // with every body answered for all queries, in ascending order, into `out`.
    void candidates(double x, double y, double reach, size_t from, std::vector<uint32_t>& out);

    // Every body whose centre lies within |radius| + reach of a point of the closed segment
    // from (x0, y0) to (x1, y1), with every body answered for all queries, each once, in no
    // particular order, into `out` (a superset: whole blocks of cells along the segment).
    void alongSegment(double x0, double y0, double x1, double y1, double reach,
                      std::vector<uint32_t>& out);
    // The largest |radius| of a body in a cell; the others are answered for every query.
    double largestRadius() const { return largestRadius_; }

  private:
    // What a query reads of a body, side by side: where it stands and |radius|, or NaN
    // in place of |radius| while it is not in a cell (no offset is within a NaN reach).
    struct Place {
        double x, y, reach;
    };

    void place(); // files every body from x_, y_, radius_, keptOut_
    bool placeable(size_t i) const;
    bool inCell(size_t i) const { return at_[i].reach == at_[i].reach; }
    int64_t cellOf(double x, double y) const; // -1 off the grid
    template <typename Visit> void forEachBlock(size_t cell, Visit visit) const;
    void stray(size_t i);
    void sumSpanRoom();
    static size_t take(const Place& body, uint32_t i, double x, double y, double reach, size_t from,
                       uint32_t* taken, size_t count);
    // The queries that one block does not serve, kept out of the way of those it does.
    [[gnu::noinline]] void anywhere(double x, double y, double reach, size_t from,
                                    std::vector<uint32_t>& out);
    void everyBody(double x, double y, double reach, size_t from, const uint32_t* always,
                   const uint32_t* alwaysEnd, std::vector<uint32_t>& out);
    void answer(const uint32_t* always, const uint32_t* alwaysEnd, size_t count,
                std::vector<uint32_t>& out);

    std::vector<Place> at_;
    // The bodies in cells, block by block. A block is a square of two by two cells, named
    // after its top left cell, one for every cell; each body in a cell is listed in the four
    // blocks that hold its cell, in index order, so that a query that spans at most two
    // cells each way reads one short list that is already in the order of the answer.
    std::vector<uint32_t> blockBodies_;
    std::vector<uint32_t> blockStart_; // by block, and one past the last: into blockBodies_
    std::vector<double> radius_;
    std::vector<double> homeX_, homeY_; // where each body in a cell was filed
    std::vector<uint8_t> keptOut_;      // by body: asked to be answered for every query
    std::vector<uint32_t> everyQuery_;  // ascending
    std::vector<uint32_t> cellScratch_; // by body: its cell while filing
    std::vector<uint32_t> found_;       // a query's bodies in cells
    double left_ = 0.0, top_ = 0.0, side_ = 1.0, perSide_ = 1.0; // perSide_ = 1 / side_
    double largestRadius_ = 0.0;                                 // of the bodies in cells
    double radiusCap_ = 0.0;    // larger radii stay out of the cells
    double drift_ = 0.0;        // how far any body in a cell stands from where it was filed
    double driftLimit_ = 0.0;   // the farthest a body drifts before it strays
    double spanRoom_ = 0.0;     // how much further a query looks, for drift and rounding
    double roundingRoom_ = 0.0; // the part of spanRoom_ for rounding
    double nearby_ = 0.0;       // |x| + |y| at most for a point near the grid
    double nearbyRounding_ = 0.0, nearbyRoom_ = 0.0; // the same for a point near the grid
    size_t strays_ = 0; // bodies that left their cells since the last filing
    int64_t columns_ = 0, rows_ = 0;
};

} // namespace collision
