"""Movement with collisions and ray queries against pymunk, in one run.

Run headless:  python benchmarks/bench_collision.py [--rounds N] [--bodies N]
               [--sizes N ...] [--size-rounds N] [--only-sizes]

The scene on both sides: a 64 x 64 level walled all round with a few inner walls (bars
of cells), and 1000 moving circles of radius 0.25 (random velocities up to 2 cells per
second in each axis, placed on free cells). quorvelin moves them with one
MovementSystem.update (the impulse decay, the body pass against all bodies, the eight
wall probes, each contact fired as a CollisionEvent through an Engine with no handler
subscribed); pymunk with one space.step of the same time step over the same circles and
a static segment for every run of wall faces in a line (the border's four sides are four
long segments), as a pymunk user would build the walls. pymunk is timed with each of its
two spatial indexes (its default tree, and a spatial hash of cell 0.5 tuned for many
circles of one size); the ratio that counts is against the faster.

The ray query: CollisionBodySystem.traceEntities over 20 cells from a random point in a
random direction, against pymunk's segment_query over the same segment, its walls
filtered out by a ShapeFilter (traceEntities ignores walls), its hits sorted by
distance. Before timing, the script checks on the untouched scene that both sides name
the same bodies in the same order.

Rounds interleave the sides, in alternating order: a step round steps every world four
times (fresh worlds every 20 rounds, after 10 untimed steps), a ray round casts the same
batch of 50 rays on both sides. Each ratio is ours / pymunk (below 1.0 quorvelin is faster), the
median of the rounds' ratios with the lowest and highest beside it. Targets: the update
and the ray query at most 1.0 against pymunk at its strongest. A row with a handler
subscribed to CollisionEvent (a Python call per contact) races pymunk with a pre_solve
callback (a Python call per touching pair). Without pymunk the script says so and exits.

Then the crowded worlds, one for each of --sizes (1000, 16000 and 32000 circles): a
square level walled round, 1.25 circles of radius 0.25 a free cell, random velocities up
to 3 cells a second in each axis. Each round steps every world twice, without a handler
and, up to 16000 circles, with one (on a second copy of each world: ours with a
CollisionEvent handler that counts its calls, pymunk with a pre_solve callback that does
the same), and casts 50 rays of 20 cells. The cost of a handler call is what the handler
adds to a step, divided by its calls a step. Targets: the step with a handler at most 3
times pymunk's with pre_solve, a handler call at most 2 us at both sizes and within 1.5
times the 1000-circle figure at 16000, the step without a handler at most 1.5 times
pymunk's at 16000 and 32000, the ray query at most 1.0.
"""

import argparse
import contextlib
import io
import math
import os
import random
import statistics
import sys
import time

os.environ.setdefault("SDL_VIDEODRIVER", "dummy")
os.environ.setdefault("SDL_AUDIODRIVER", "dummy")

import quorvelin  # noqa: E402

from rounds import order, show_ratio  # noqa: E402

try:
    import pymunk
except ImportError:
    pymunk = None

SIDE = 64
# Inner walls as (x, y, width, height) in cells.
BARS = [(10, 10, 8, 1), (40, 12, 1, 10), (20, 40, 12, 1), (50, 45, 1, 8), (30, 26, 2, 2)]
RADIUS = 0.25
STEP = 1 / 60
RAY = 20.0
EPOCH = 20  # step rounds before the worlds are made afresh
STEPS = 4  # steps of each world in a step round
CIRCLES, WALLS = 0b01, 0b10


def scene(bodies, seed=1):
    """The solid cells and the circles: (x, y, vx, vy) each."""
    rng = random.Random(seed)
    solid = {(x, y) for x in range(SIDE) for y in range(SIDE)
             if x in (0, SIDE - 1) or y in (0, SIDE - 1)}
    for left, top, width, height in BARS:
        solid.update((x, y) for x in range(left, left + width) for y in range(top, top + height))
    free = [(x, y) for x in range(SIDE) for y in range(SIDE) if (x, y) not in solid]
    rng.shuffle(free)
    circles = []
    for i in range(bodies):
        x, y = free[i % len(free)]
        corner = (i // len(free)) % 4  # more than one circle in a cell: in different corners
        circles.append((x + 0.25 + 0.5 * (corner % 2), y + 0.25 + 0.5 * (corner // 2),
                        rng.uniform(-2, 2), rng.uniform(-2, 2)))
    return solid, circles


def wall_segments(solid, side=SIDE):
    """The faces between a solid cell and a free one on the map, joined into the longest
    runs along each grid line: ((ax, ay), (bx, by)) each."""
    runs = {}  # (axis, line, side) -> positions along the line
    for x, y in solid:
        for dx, dy in ((0, -1), (1, 0), (0, 1), (-1, 0)):
            bx, by = x + dx, y + dy
            if (bx, by) in solid or not (0 <= bx < side and 0 <= by < side):
                continue
            if dy:  # a horizontal face on line y (or y + 1), from x to x + 1
                runs.setdefault(("h", y + max(dy, 0), dy), []).append(x)
            else:
                runs.setdefault(("v", x + max(dx, 0), dx), []).append(y)
    segments = []
    for (axis, line, _), starts in runs.items():
        starts.sort()
        first = previous = starts[0]
        for start in starts[1:] + [None]:
            if start is not None and start == previous + 1:
                previous = start
                continue
            if axis == "h":
                segments.append(((first, line), (previous + 1, line)))
            else:
                segments.append(((line, first), (line, previous + 1)))
            if start is not None:
                first = previous = start
    return segments


def engine_side(solid, circles, side=SIDE):
    with contextlib.redirect_stdout(io.StringIO()):
        level = quorvelin.Level(None)
    level._loadMetadata("bench", '{"width": %d, "height": %d}' % (side, side))
    for x, y in solid:
        level.setBlock(quorvelin.BLOCK_SQUARE, x, y)
    engine = quorvelin.Engine()
    movement = quorvelin.MovementSystem(level)
    engine.ecs.addSystem(movement)
    entities = []
    for x, y, vx, vy in circles:
        entity = quorvelin.Entity(
            -1, quorvelin.PositionComponent(quorvelin.Vector2(x, y)),
            quorvelin.VelocityComponent(quorvelin.Vector2(vx, vy)),
            quorvelin.CollisionComponent(RADIUS))
        engine.ecs.addEntity(entity)
        entities.append(entity)
    return movement, entities


def pymunk_side(solid, circles, spatial_hash, side=SIDE):
    space = pymunk.Space()
    if spatial_hash:
        space.use_spatial_hash(2 * RADIUS, 10 * len(circles))
    walls = [pymunk.Segment(space.static_body, a, b, 0.0) for a, b in wall_segments(solid, side)]
    for wall in walls:
        wall.filter = pymunk.ShapeFilter(categories=WALLS)
    space.add(*walls)
    shapes = []
    for x, y, vx, vy in circles:
        body = pymunk.Body(1.0, pymunk.moment_for_circle(1.0, 0, RADIUS))
        body.position = (x, y)
        body.velocity = (vx, vy)
        shape = pymunk.Circle(body, RADIUS)
        shape.filter = pymunk.ShapeFilter(categories=CIRCLES)
        space.add(body, shape)
        shapes.append(shape)
    return space, shapes


def fresh_worlds(solid, circles):
    """Our world and pymunk's two, each stepped 10 times."""
    movement, _ = engine_side(solid, circles)
    tree, _ = pymunk_side(solid, circles, False)
    grid, _ = pymunk_side(solid, circles, True)
    for step in stepping(movement, tree, grid).values():
        for _ in range(10):
            step()
    return movement, tree, grid


def stepping(movement, tree, grid):
    """One step of each world, by side."""
    return {"ours": lambda: movement.update(STEP), "tree": lambda: tree.step(STEP),
            "hash": lambda: grid.step(STEP)}


def rays(count, seed, side=SIDE):
    rng = random.Random(seed)
    out = []
    for _ in range(count):
        angle = rng.uniform(0, 2 * math.pi)
        out.append((rng.uniform(1, side - 1), rng.uniform(1, side - 1), math.cos(angle),
                    math.sin(angle)))
    return out


def crowded_scene(bodies, seed=1):
    """A square level walled round, 1.25 circles a free cell (one in every cell, a second
    one in a quarter of them, in another corner), random velocities up to 3 cells a second
    in each axis: (side, solid cells, circles)."""
    inner = math.ceil(math.sqrt(bodies / 1.25))
    side = inner + 2
    rng = random.Random(seed)
    solid = {(x, y) for x in range(side) for y in range(side)
             if x in (0, side - 1) or y in (0, side - 1)}
    free = [(x, y) for x in range(1, side - 1) for y in range(1, side - 1)]
    rng.shuffle(free)
    circles = []
    for i in range(bodies):
        x, y = free[i % len(free)]
        corner = (i // len(free)) % 4
        circles.append((x + 0.25 + 0.5 * (corner % 2), y + 0.25 + 0.5 * (corner // 2),
                        rng.uniform(-3, 3), rng.uniform(-3, 3)))
    return side, solid, circles


def ray_sides(batch, bodies, tree, grid):
    """The batch of rays (x, y, dx, dy) cast over RAY cells by each side: ours through the
    body system, pymunk's two spaces by segment_query without walls, sorted by distance."""
    only_circles = pymunk.ShapeFilter(mask=CIRCLES)

    def ours():
        for x, y, dx, dy in batch:
            bodies.traceEntities(quorvelin.Vector2(x, y), quorvelin.Vector2(dx, dy), RAY)

    def theirs(space):
        def cast():
            for x, y, dx, dy in batch:
                found = space.segment_query((x, y), (x + dx * RAY, y + dy * RAY), 0.0,
                                            only_circles)
                found.sort(key=lambda hit: hit.alpha)
        return cast

    return {"ours": ours, "tree": theirs(tree), "hash": theirs(grid)}


class Race:
    """The sides of one comparison and their times, one per round: the time of `repeat`
    calls of the side in a row, divided by `repeat`."""

    def __init__(self, sides, repeat=1):
        self.sides = sides
        self.repeat = repeat
        self.times = {name: [] for name in sides}

    def round(self, index):
        for name in order(list(self.sides), index):
            side = self.sides[name]
            start = time.perf_counter()
            for _ in range(self.repeat):
                side()
            self.times[name].append((time.perf_counter() - start) / self.repeat)


def strongest(times):
    """pymunk's faster index in these times: "tree" or "hash"."""
    return min(("tree", "hash"), key=lambda name: statistics.median(times[name]))


def world_sizes(rounds, sizes):
    """The same race on crowded worlds of several sizes: the step without and with a
    handler (pymunk with a pre_solve callback), the handlers' calls, and the ray query.
    Each side steps two copies of its world, one without and one with the handler, in
    turn within each round: the copies stay alike (a handler that only counts changes
    nothing), so the difference is the handlers' cost. The engine's handlers are
    subscribed for every engine at once: its copy with the handler has it subscribed
    only while it steps."""
    results = []
    for bodies in sizes:
        side, solid, circles = crowded_scene(bodies)
        handled = bodies <= 16000
        copies = 2 if handled else 1
        movements = [engine_side(solid, circles, side)[0] for _ in range(copies)]
        trees = [pymunk_side(solid, circles, False, side)[0] for _ in range(copies)]
        grids = [pymunk_side(solid, circles, True, side)[0] for _ in range(copies)]
        worlds = [stepping(movements[k], trees[k], grids[k]) for k in range(copies)]
        for copy in worlds:
            for step in copy.values():
                for _ in range(10):
                    step()
        sides = dict(worlds[0])
        calls = {name: 0 for name in sides}
        if handled:
            def counter(name):
                def count(*arguments):
                    calls[name] += 1
                return count

            ours = counter("ours")

            def ours_handled():
                quorvelin.Engine.subscribeEvent(quorvelin.Engine(), quorvelin.CollisionEvent, ours)
                worlds[1]["ours"]()
                quorvelin.Engine.unsubscribeEvent(quorvelin.Engine(), quorvelin.CollisionEvent,
                                                  ours)

            trees[1].on_collision(pre_solve=counter("tree"))
            grids[1].on_collision(pre_solve=counter("hash"))
            sides.update({"ours handled": ours_handled, "tree handled": worlds[1]["tree"],
                          "hash handled": worlds[1]["hash"]})
        race = Race(sides, 2)
        for index in range(rounds):
            race.round(index)
        names = ("ours", "tree", "hash")
        row = {"bodies": bodies, "plain": {name: race.times[name] for name in names}}
        if handled:
            row["handler"] = {name: race.times[name + " handled"] for name in names}
            row["calls"] = {name: calls[name] / (2 * rounds) for name in names}

            race = Race(ray_sides(rays(50, bodies, side), movements[0].collisionBodySystem,
                                  trees[0], grids[0]))
            for index in range(rounds):
                race.round(index)
            row["rays"] = race.times
        results.append(row)
    return results


def show_world_sizes(results, rounds):
    print("\nCrowded worlds: a square level walled round, 1.25 circles of radius 0.25 a free "
          "cell, velocities up to 3 cells a second; %d rounds, each stepping every world "
          "twice or casting 50 rays of 20 cells\n" % rounds)
    print("| circles | case | quorvelin us | pymunk tree us | pymunk hash us | ours / pymunk |")
    print("|---|---|---|---|---|---|")

    def us(values, per=1):
        return "%.1f" % (statistics.median(values) * 1e6 / per)

    def line(bodies, label, times, per=1):
        best = strongest(times)
        print("| %d | %s | %s | %s | %s | %s |" % (
            bodies, label, us(times["ours"], per), us(times["tree"], per),
            us(times["hash"], per), show_ratio(times["ours"], times[best])))

    for row in results:
        bodies = row["bodies"]
        line(bodies, "step", row["plain"])
        if "handler" in row:
            line(bodies, "step with a handler (pymunk: pre_solve)", row["handler"])
            line(bodies, "traceEntities against a sorted segment_query, per ray", row["rays"],
                 per=50)
    print("\n| circles | quorvelin us a body | pymunk us a body (faster index) | handler calls "
          "a step, ours / pymunk | cost of a handler call, ours us / pymunk us |")
    print("|---|---|---|---|---|")
    for row in results:
        bodies, plain = row["bodies"], row["plain"]
        best = strongest(plain)
        ours_body = statistics.median(plain["ours"]) * 1e6 / bodies
        theirs_body = statistics.median(plain[best]) * 1e6 / bodies
        calls = cost = "-"
        if "handler" in row:
            handled = row["handler"]
            calls = "%.0f / %.0f" % (row["calls"]["ours"], row["calls"][best])

            def per_call(name):
                extra = statistics.median(handled[name]) - statistics.median(plain[name])
                return extra * 1e6 / max(row["calls"][name], 1)

            cost = "%.2f / %.2f" % (per_call("ours"), per_call(best))
        print("| %d | %.3f | %.3f (%s) | %s | %s |" % (bodies, ours_body, theirs_body, best,
                                                      calls, cost))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=200, help="step rounds (and ray rounds)")
    parser.add_argument("--bodies", type=int, default=1000)
    parser.add_argument("--sizes", type=int, nargs="*", default=[1000, 16000, 32000],
                        help="circles of the crowded worlds (none: leave them out)")
    parser.add_argument("--size-rounds", type=int, default=15,
                        help="rounds of each race on the crowded worlds")
    parser.add_argument("--only-sizes", action="store_true",
                        help="only the crowded worlds")
    args = parser.parse_args()
    if pymunk is None:
        print("pymunk is not installed: pip install pymunk (benchmark only)")
        return 0
    if args.only_sizes:
        show_world_sizes(world_sizes(args.size_rounds, args.sizes), args.size_rounds)
        return 0
    solid, circles = scene(args.bodies)
    Vector2 = quorvelin.Vector2
    only_circles = pymunk.ShapeFilter(mask=CIRCLES)
    contacts = {"ours": 0, "pymunk": 0}

    def ours_counts(event):
        contacts["ours"] += 1

    def theirs_counts(arbiter, space, data):
        contacts["pymunk"] += 1

    # Like for like: on the untouched scene both sides name the same bodies in order.
    movement, entities = engine_side(solid, circles)
    space, shapes = pymunk_side(solid, circles, False)
    bodies = movement.collisionBodySystem
    place = {id(entity): i for i, entity in enumerate(entities)}
    shape_place = {id(shape): i for i, shape in enumerate(shapes)}
    agree = hits = 0
    checked = rays(500, 99)
    for x, y, dx, dy in checked:
        ours = [place[id(e)] for e, _ in bodies.traceEntities(Vector2(x, y), Vector2(dx, dy), RAY)]
        theirs = sorted(space.segment_query((x, y), (x + dx * RAY, y + dy * RAY), 0.0, only_circles),
                        key=lambda hit: hit.alpha)
        agree += ours == [shape_place[id(hit.shape)] for hit in theirs]
        hits += len(ours)

    steps = {}
    rays_race = None
    crowded = None
    step_rounds = 0
    epoch = 0
    while step_rounds < args.rounds:
        movement, tree, grid = fresh_worlds(solid, circles)
        race = Race(stepping(movement, tree, grid), STEPS)
        for index in range(min(EPOCH, args.rounds - step_rounds)):
            race.round(step_rounds + index)
        for name, values in race.times.items():
            steps.setdefault(name, []).extend(values)
        step_rounds += EPOCH

        # Rays on these worlds as they stand: pymunk's positions differ from ours by now,
        # but both scenes hold the same number of circles spread alike.
        sides = ray_sides(rays(50, epoch), movement.collisionBodySystem, tree, grid)
        rays_race = rays_race or Race(sides)
        rays_race.sides = sides
        for index in range(EPOCH):
            rays_race.round(epoch * EPOCH + index)

        if epoch < 3:  # the same worlds much later, the circles pressed together
            for step in stepping(movement, tree, grid).values():
                for _ in range(600):
                    step()
            late = Race(stepping(movement, tree, grid), STEPS)
            for index in range(20):
                late.round(index)
            crowded = crowded or {name: [] for name in late.times}
            for name, values in late.times.items():
                crowded[name].extend(values)
        epoch += 1

    # With a Python call per contact on both sides, on fresh worlds.
    movement, tree, grid = fresh_worlds(solid, circles)
    quorvelin.Engine.subscribeEvent(quorvelin.Engine(), quorvelin.CollisionEvent, ours_counts)
    tree.on_collision(pre_solve=theirs_counts)
    grid.on_collision(pre_solve=theirs_counts)
    handler = Race(stepping(movement, tree, grid), STEPS)
    handler_rounds = 20
    for index in range(handler_rounds):
        handler.round(index)
    quorvelin.Engine.unsubscribeEvent(quorvelin.Engine(), quorvelin.CollisionEvent, ours_counts)

    def us(values):
        return "%.1f" % (statistics.median(values) * 1e6)

    def row(label, times, per=1):
        strongest = min(("tree", "hash"), key=lambda name: statistics.median(times[name]))
        print("| %s | %s | %s | %s | %s | %s |" % (
            label, us([t / per for t in times["ours"]]), us([t / per for t in times["tree"]]),
            us([t / per for t in times["hash"]]),
            show_ratio(times["ours"], times[strongest]),
            "tree" if strongest == "tree" else "hash"))

    load = os.getloadavg()[0]
    print("%d circles, %d x %d level with %d inner walls, pymunk %s, Python %s, load %.1f" % (
        args.bodies, SIDE, SIDE, len(BARS), pymunk.version, sys.version.split()[0], load))
    print("ratios ours / pymunk at its strongest: median [lowest-highest] of the rounds\n")
    print("| case | quorvelin us | pymunk tree us | pymunk hash us | ours / pymunk | "
          "pymunk's faster index |")
    print("|---|---|---|---|---|---|")
    row("MovementSystem.update against space.step (%d rounds)" % args.rounds, steps)
    row("the same after 600 more steps, circles pressed together (%d rounds)"
        % len(crowded["ours"]), crowded)
    row("traceEntities, 20 cells, against a sorted segment_query without walls, per ray "
        "(%d rounds of 50)" % len(rays_race.times["ours"]), rays_race.times, per=50)
    row("update with a CollisionEvent handler against step with a pre_solve callback "
        "(%d rounds)" % handler_rounds, handler.times)
    print("\nsame bodies in the same order: %d of %d rays (%.1f bodies a ray)" % (
        agree, len(checked), hits / len(checked)))
    print("Python calls a step with the handlers: %.0f ours, %.0f pymunk (each of its two "
          "worlds)" % (contacts["ours"] / handler_rounds / STEPS,
                        contacts["pymunk"] / handler_rounds / STEPS / 2))
    if args.sizes:
        show_world_sizes(world_sizes(args.size_rounds, args.sizes), args.size_rounds)
    return 0


if __name__ == "__main__":
    sys.exit(main())
