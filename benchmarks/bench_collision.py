"""Movement with collisions and ray queries against pymunk, in one run.

Run headless:  python benchmarks/bench_collision.py [--rounds N] [--bodies N]

The scene on both sides: a 64 x 64 level walled all round with 60 square blocks inside,
and 1000 moving circles of radius 0.25 (random velocities up to 2 cells per second in
each axis, placed on free cells). quorvelin moves them with one MovementSystem.update
(the impulse decay, the body pass against all bodies, the eight wall probes, each
contact fired as a CollisionEvent through an Engine with no handler subscribed);
pymunk with one space.step of the same time step over the same circles and a static
segment for every wall face. The ray query: CollisionBodySystem.traceEntities from a
random point in a random direction over 64 cells, against pymunk's segment_query over
the same segment with its hits sorted by distance.

Each round times every case on both sides, one after the other (a frame is timed as
the median of 20 steps; a ray as the median of 200 queries); a figure is the median of
the rounds, and a ratio (quorvelin / pymunk: below 1.0 quorvelin is faster) the median
of the rounds' ratios. Target: the update at most as slow as pymunk's step (ratio at
most 1.0); the ray query is reported beside it. A third line gives the update with a
handler subscribed to CollisionEvent (every contact then builds an event and calls it).
Without pymunk the script says so and exits.
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

try:
    import pymunk
except ImportError:
    pymunk = None

SIDE = 64
BLOCKS = 60
RADIUS = 0.25
STEP = 1 / 60


def scene(bodies, seed=1):
    """The solid cells and the circles: (x, y, vx, vy) each."""
    rng = random.Random(seed)
    solid = {(x, y) for x in range(SIDE) for y in range(SIDE)
             if x in (0, SIDE - 1) or y in (0, SIDE - 1)}
    while len(solid) < 4 * (SIDE - 1) + BLOCKS:
        solid.add((rng.randrange(2, SIDE - 2), rng.randrange(2, SIDE - 2)))
    free = [(x, y) for x in range(SIDE) for y in range(SIDE) if (x, y) not in solid]
    rng.shuffle(free)
    circles = []
    for i in range(bodies):
        x, y = free[i % len(free)]
        corner = (i // len(free)) % 4  # more than one circle in a cell: in different corners
        circles.append((x + 0.25 + 0.5 * (corner % 2), y + 0.25 + 0.5 * (corner // 2),
                        rng.uniform(-2, 2), rng.uniform(-2, 2)))
    return solid, circles


def engine_side(solid, circles):
    with contextlib.redirect_stdout(io.StringIO()):
        level = quorvelin.Level(None)
    level._loadMetadata("bench", '{"width": %d, "height": %d}' % (SIDE, SIDE))
    for x, y in solid:
        level.setBlock(quorvelin.BLOCK_SQUARE, x, y)
    engine = quorvelin.Engine()
    movement = quorvelin.MovementSystem(level)
    engine.ecs.addSystem(movement)
    for x, y, vx, vy in circles:
        engine.ecs.addEntity(quorvelin.Entity(
            -1, quorvelin.PositionComponent(quorvelin.Vector2(x, y)),
            quorvelin.VelocityComponent(quorvelin.Vector2(vx, vy)),
            quorvelin.CollisionComponent(RADIUS)))
    return engine, movement


def pymunk_side(solid, circles):
    space = pymunk.Space()
    faces = []
    for x, y in solid:
        for (ax, ay), (bx, by), beside in (((x, y), (x + 1, y), (x, y - 1)),
                                           ((x + 1, y), (x + 1, y + 1), (x + 1, y)),
                                           ((x, y + 1), (x + 1, y + 1), (x, y + 1)),
                                           ((x, y), (x, y + 1), (x - 1, y))):
            if beside not in solid and 0 <= beside[0] < SIDE and 0 <= beside[1] < SIDE:
                faces.append(pymunk.Segment(space.static_body, (ax, ay), (bx, by), 0.0))
    space.add(*faces)
    for x, y, vx, vy in circles:
        body = pymunk.Body(1.0, pymunk.moment_for_circle(1.0, 0, RADIUS))
        body.position = (x, y)
        body.velocity = (vx, vy)
        space.add(body, pymunk.Circle(body, RADIUS))
    return space


def median_time(call, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def rays(count, seed):
    rng = random.Random(seed)
    out = []
    for _ in range(count):
        angle = rng.uniform(0, 6.283185307179586)
        out.append((rng.uniform(1, SIDE - 1), rng.uniform(1, SIDE - 1), math.cos(angle),
                    math.sin(angle)))
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=15)
    parser.add_argument("--bodies", type=int, default=1000)
    args = parser.parse_args()
    if pymunk is None:
        print("pymunk is not installed: pip install pymunk (benchmark only)")
        return 0
    solid, circles = scene(args.bodies)
    Vector2 = quorvelin.Vector2
    everything = pymunk.ShapeFilter()
    contacts = []

    def count(event):
        contacts.append(1)

    def frame_times(movement, space, frames, handler=False):
        """Both worlds stepped `frames` times; the median step of each."""
        if handler:
            quorvelin.Engine.subscribeEvent(quorvelin.Engine(), quorvelin.CollisionEvent, count)
        ours = median_time(lambda: movement.update(STEP), frames)
        if handler:
            quorvelin.Engine.unsubscribeEvent(quorvelin.Engine(), quorvelin.CollisionEvent, count)
        theirs = median_time(lambda: space.step(STEP), frames)
        return ours, theirs

    figures = {name: ([], []) for name in ("update", "handler", "crowded", "trace")}

    def record(name, ours, theirs):
        figures[name][0].append(ours)
        figures[name][1].append(theirs)

    for round_number in range(args.rounds):
        # Fresh worlds each round: the circles still move freely.
        engine, movement = engine_side(solid, circles)
        space = pymunk_side(solid, circles)
        for _ in range(10):
            movement.update(STEP)
            space.step(STEP)
        record("update", *frame_times(movement, space, 20))
        record("handler", *frame_times(movement, space, 20, handler=True))
        bodies = movement.collisionBodySystem
        batch = rays(200, round_number)

        def ours():
            for x, y, dx, dy in batch:
                bodies.traceEntities(Vector2(x, y), Vector2(dx, dy), 64.0)

        def theirs():
            for x, y, dx, dy in batch:
                hits = space.segment_query((x, y), (x + dx * 64.0, y + dy * 64.0), 0.0,
                                           everything)
                hits.sort(key=lambda hit: hit.alpha)

        record("trace", median_time(ours, 1) / len(batch), median_time(theirs, 1) / len(batch))
        if round_number < 3:  # the same worlds much later, the circles pressed together
            for _ in range(600):
                movement.update(STEP)
                space.step(STEP)
            record("crowded", *frame_times(movement, space, 20))

    def us(values):
        return "%.1f us" % (statistics.median(values) * 1e6)

    def ratio(name):
        ours, theirs = figures[name]
        return statistics.median(a / b for a, b in zip(ours, theirs))

    print("%d circles, %d x %d level, %d rounds, pymunk %s, Python %s" % (
        args.bodies, SIDE, SIDE, args.rounds, pymunk.version, sys.version.split()[0]))
    print("| case | quorvelin | pymunk | quorvelin / pymunk |")
    print("|---|---|---|---|")
    rows = (("update", "MovementSystem.update against space.step"),
            ("handler", "the same with a CollisionEvent handler subscribed"),
            ("crowded", "update after 600 more frames, circles pressed together (3 rounds)"),
            ("trace", "traceEntities against a sorted segment_query, per ray"))
    for name, label in rows:
        print("| %s | %s | %s | %.2f |" % (label, us(figures[name][0]), us(figures[name][1]),
                                          ratio(name)))
    print("contacts per frame with the handler: %.0f" % (len(contacts) / (20.0 * args.rounds)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
