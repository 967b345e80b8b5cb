"""Entity-component system speed against esper (a pure-Python ECS from PyPI,
benchmark-only: pip install esper), on game-like systems over 10,000 entities.

Every entity has a position; velocities, rotations and sprites are spread over them.
Five systems run each frame, the same arithmetic on every side:

- move:    position += velocity x time step            (position, velocity)
- steer:   velocity turns towards its facing direction (velocity, rotation)
- spin:    the facing direction rotates a little       (rotation)
- wrap:    a position that left the 64 x 64 world comes back on the other side (position)
- animate: the sprite's animation percentage advances and wraps (sprite)

Three sides:
- quorvelin: AbstractSystem subclasses whose _updateEntity reads the entity's
  components with getComponent, Ecs.update calling them, the engine's components
  (their vectors' x and y, the sprite's animationPercentage);
- esper: processors iterating esper.get_components over dataclass components, as esper
  games are written;
- control: esper driving the engine's component classes (the same attribute reads and
  writes as the quorvelin side, the loop esper's). Against esper it measures what the
  engine's attribute access costs beside a dataclass's; against quorvelin, what the
  framework's per-entity calls cost beside esper's loop.

A frame with churn adds 100 component changes first (velocities taken off and put back),
after which esper rebuilds its query cache and quorvelin updates its member lists.

Rounds interleave the sides in an order that rotates from round to round; each side
runs one frame per round. Ratios are ours / esper (below 1: quorvelin is faster), the
median of the rounds' ratios with the lowest and highest. The attribute read row times
position.x on an engine PositionComponent against a dataclass.

    .venv/bin/python benchmarks/bench_ecs.py [--entities N] [--rounds R]
"""
import argparse
import math
import os
import statistics
import sys
import time
from dataclasses import dataclass

# Nothing here draws or plays: SDL starts on its dummy drivers.
os.environ.setdefault("SDL_VIDEODRIVER", "dummy")
os.environ.setdefault("SDL_AUDIODRIVER", "dummy")

try:
    import esper
except ImportError:
    esper = None

from quorvelin import (AbstractSystem, Ecs, Entity, PositionComponent, RotationComponent,  # noqa: E402
                       SpriteComponent, Vector2, VelocityComponent)

from rounds import order, show_ratio  # noqa: E402

STEP = 1 / 60
WORLD = 64.0
TURN = 0.02            # radians a frame
COS, SIN = math.cos(TURN), math.sin(TURN)
STEERING = 0.1         # the share of the way to the facing direction a frame
SPEED = 2.0
ANIMATION = 0.5        # animation percentage a second
CHANGES = 100


# --- esper's components -------------------------------------------------------------------------

@dataclass
class Position:
    x: float = 0.0
    y: float = 0.0


@dataclass
class Velocity:
    x: float = 0.0
    y: float = 0.0


@dataclass
class Rotation:
    x: float = 1.0
    y: float = 0.0


@dataclass
class Sprite:
    animationPercentage: float = 0.0


def holds(index):
    """What entity `index` holds: every one a position, the rest in a spread."""
    return ("velocity" if index % 4 else None, "rotation" if index % 3 == 0 else None,
            "sprite" if index % 2 == 0 else None)


def start(index):
    """Its position, velocity and facing direction."""
    angle = index * 0.618
    return ((index * 7.31) % WORLD, (index * 3.17) % WORLD, SPEED * math.cos(angle),
            SPEED * math.sin(angle), math.cos(angle + 1), math.sin(angle + 1))


# --- the systems' arithmetic, written once per kind of component access ---------------------------
# The engine's components hold vectors (position.pos, velocity.velocity, rotation.dir);
# esper's dataclasses hold the numbers themselves. Each function takes what its side's
# loop hands it.

def move(pos, vel):
    pos.x += vel.x * STEP
    pos.y += vel.y * STEP


def steer(vel, facing):
    vel.x += (facing.x * SPEED - vel.x) * STEERING
    vel.y += (facing.y * SPEED - vel.y) * STEERING


def spin(facing):
    x, y = facing.x, facing.y
    facing.x = x * COS - y * SIN
    facing.y = x * SIN + y * COS


def wrap(pos):
    if pos.x < 0.0:
        pos.x += WORLD
    elif pos.x >= WORLD:
        pos.x -= WORLD
    if pos.y < 0.0:
        pos.y += WORLD
    elif pos.y >= WORLD:
        pos.y -= WORLD


def animate(sprite):
    percentage = sprite.animationPercentage + ANIMATION * STEP
    sprite.animationPercentage = percentage - 1.0 if percentage >= 1.0 else percentage


# --- quorvelin ----------------------------------------------------------------------------------

class Move(AbstractSystem):
    def __init__(self):
        AbstractSystem.__init__(self, PositionComponent, VelocityComponent)

    def _updateEntity(self, entity, timeStep):
        move(entity.getComponent(PositionComponent).pos,
             entity.getComponent(VelocityComponent).velocity)


class Steer(AbstractSystem):
    def __init__(self):
        AbstractSystem.__init__(self, VelocityComponent, RotationComponent)

    def _updateEntity(self, entity, timeStep):
        steer(entity.getComponent(VelocityComponent).velocity,
              entity.getComponent(RotationComponent).dir)


class Spin(AbstractSystem):
    def __init__(self):
        AbstractSystem.__init__(self, RotationComponent)

    def _updateEntity(self, entity, timeStep):
        spin(entity.getComponent(RotationComponent).dir)


class Wrap(AbstractSystem):
    def __init__(self):
        AbstractSystem.__init__(self, PositionComponent)

    def _updateEntity(self, entity, timeStep):
        wrap(entity.getComponent(PositionComponent).pos)


class Animate(AbstractSystem):
    def __init__(self):
        AbstractSystem.__init__(self, SpriteComponent)

    def _updateEntity(self, entity, timeStep):
        animate(entity.getComponent(SpriteComponent))


def engine_parts(index):
    x, y, vx, vy, fx, fy = start(index)
    velocity, rotation, sprite = holds(index)
    parts = [PositionComponent(Vector2(x, y))]
    if velocity:
        parts.append(VelocityComponent(Vector2(vx, vy)))
    if rotation:
        rotation_component = RotationComponent()
        rotation_component.dir = Vector2(fx, fy)
        parts.append(rotation_component)
    if sprite:
        parts.append(SpriteComponent())
    return parts


def engine_world(count):
    ecs = Ecs(None)
    for system in (Move(), Steer(), Spin(), Wrap(), Animate()):
        ecs.addSystem(system)
    entities = []
    for index in range(count):
        entity = Entity(-1, *engine_parts(index))
        ecs.addEntity(entity)
        entities.append(entity)
    return ecs, entities


# --- esper, with its own components or with the engine's ---------------------------------------

if esper:
    def processors(engine_components):
        if engine_components:
            P, V, R, S = PositionComponent, VelocityComponent, RotationComponent, SpriteComponent

            class Moving(esper.Processor):
                def process(self, timeStep):
                    for _, (p, v) in esper.get_components(P, V):
                        move(p.pos, v.velocity)

            class Steering(esper.Processor):
                def process(self, timeStep):
                    for _, (v, r) in esper.get_components(V, R):
                        steer(v.velocity, r.dir)

            class Spinning(esper.Processor):
                def process(self, timeStep):
                    for _, (r,) in esper.get_components(R):
                        spin(r.dir)

            class Wrapping(esper.Processor):
                def process(self, timeStep):
                    for _, (p,) in esper.get_components(P):
                        wrap(p.pos)

            class Animating(esper.Processor):
                def process(self, timeStep):
                    for _, (s,) in esper.get_components(S):
                        animate(s)
        else:
            class Moving(esper.Processor):
                def process(self, timeStep):
                    for _, (p, v) in esper.get_components(Position, Velocity):
                        move(p, v)

            class Steering(esper.Processor):
                def process(self, timeStep):
                    for _, (v, r) in esper.get_components(Velocity, Rotation):
                        steer(v, r)

            class Spinning(esper.Processor):
                def process(self, timeStep):
                    for _, (r,) in esper.get_components(Rotation):
                        spin(r)

            class Wrapping(esper.Processor):
                def process(self, timeStep):
                    for _, (p,) in esper.get_components(Position):
                        wrap(p)

            class Animating(esper.Processor):
                def process(self, timeStep):
                    for _, (s,) in esper.get_components(Sprite):
                        animate(s)
        return [Moving(), Steering(), Spinning(), Wrapping(), Animating()]


def esper_parts(index):
    x, y, vx, vy, fx, fy = start(index)
    velocity, rotation, sprite = holds(index)
    parts = [Position(x, y)]
    if velocity:
        parts.append(Velocity(vx, vy))
    if rotation:
        parts.append(Rotation(fx, fy))
    if sprite:
        parts.append(Sprite())
    return parts


def esper_world(count, engine_components):
    name = f"bench-{count}-{engine_components}"
    esper.switch_world(name)
    esper.clear_database()
    for priority, processor in enumerate(processors(engine_components)):
        esper.add_processor(processor, priority=10 - priority)  # in the engine's order
    make = engine_parts if engine_components else esper_parts
    entities = [esper.create_entity(*make(index)) for index in range(count)]
    esper.process(STEP)  # fills the query cache
    return name, entities


# --- the sides: one frame each, and one frame with churn -------------------------------------------

def engine_side(count):
    ecs, entities = engine_world(count)
    movers = [e for e in entities if e.getComponent(VelocityComponent)]
    state = {"at": 0}

    def frame():
        ecs.update(STEP)

    def churn():
        batch = movers[state["at"]:state["at"] + CHANGES // 2]
        state["at"] = (state["at"] + CHANGES // 2) % (len(movers) - CHANGES // 2)
        for entity in batch:
            velocity = entity.getComponent(VelocityComponent)
            entity.removeComponentType(VelocityComponent)
            entity.addComponent(velocity)
        ecs.update(STEP)

    return frame, churn


def esper_side(count, engine_components):
    name, entities = esper_world(count, engine_components)
    kind = VelocityComponent if engine_components else Velocity
    movers = [e for e in entities if esper.has_component(e, kind)]
    state = {"at": 0}

    def frame():
        esper.switch_world(name)
        esper.process(STEP)

    def churn():
        esper.switch_world(name)
        batch = movers[state["at"]:state["at"] + CHANGES // 2]
        state["at"] = (state["at"] + CHANGES // 2) % (len(movers) - CHANGES // 2)
        for entity in batch:
            velocity = esper.component_for_entity(entity, kind)
            esper.remove_component(entity, kind)
            esper.add_component(entity, velocity)
        esper.process(STEP)

    return frame, churn


def race(sides, rounds):
    times = {name: [] for name in sides}
    for name, side in sides.items():  # warm-up
        side()
    names = list(sides)
    for index in range(rounds):
        for name in order(names, index):
            begin = time.perf_counter()
            sides[name]()
            times[name].append(time.perf_counter() - begin)
    return times


def read_race(rounds):
    position, plain = PositionComponent(Vector2(1.0, 2.0)), Position(1.0, 2.0)
    number = 100_000

    def reads(component):
        def loop():
            for _ in range(number):
                component.x
                component.x
                component.x
                component.x
                component.x
        return loop

    times = race({"ours": reads(position), "esper": reads(plain)}, rounds)
    return {name: [t / (5 * number) for t in values] for name, values in times.items()}


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--entities", type=int, default=10_000)
    parser.add_argument("--rounds", type=int, default=15)
    options = parser.parse_args()
    if esper is None:
        print("esper is not installed (pip install esper): nothing to compare against; skipped.")
        return 0
    count, rounds = options.entities, options.rounds
    ours_frame, ours_churn = engine_side(count)
    esper_frame, esper_churn = esper_side(count, False)
    control_frame, control_churn = esper_side(count, True)
    frames = race({"ours": ours_frame, "esper": esper_frame, "control": control_frame}, rounds)
    churns = race({"ours": ours_churn, "esper": esper_churn, "control": control_churn}, rounds)
    reads = read_race(rounds)

    def ms(values):
        return "%.2f ms" % (statistics.median(values) * 1e3)

    print(f"quorvelin against esper {getattr(esper, '__version__', '')}, {count} entities, "
          f"5 systems, {rounds} rounds; Python {sys.version.split()[0]}, "
          f"load {os.getloadavg()[0]:.1f}")
    print("ratios ours / esper: median [lowest-highest] of the rounds\n")
    print("| case | quorvelin | esper | control: esper on the engine's components | "
          "quorvelin / esper | control / esper | quorvelin / control |")
    print("|---|---|---|---|---|---|---|")
    for label, times in (("frame: move, steer, spin, wrap, animate", frames),
                         (f"frame after {CHANGES} component changes", churns)):
        print(f"| {label} | {ms(times['ours'])} | {ms(times['esper'])} | "
              f"{ms(times['control'])} | {show_ratio(times['ours'], times['esper'])} | "
              f"{show_ratio(times['control'], times['esper'])} | "
              f"{show_ratio(times['ours'], times['control'])} |")
    print(f"| attribute read position.x | {statistics.median(reads['ours']) * 1e9:.1f} ns | "
          f"{statistics.median(reads['esper']) * 1e9:.1f} ns | | "
          f"{show_ratio(reads['ours'], reads['esper'])} | | |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
