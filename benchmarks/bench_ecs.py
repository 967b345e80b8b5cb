"""Entity-component system speed against esper (a pure-Python ECS from PyPI,
benchmark-only: pip install esper), the same workload on both sides:

- update: 10,000 entities with different component sets and 5 systems of different
  interests. quorvelin: Ecs.update, whose AbstractSystems walk their members with the
  engine's own per-entity hook; esper: esper.process with 5 processors iterating
  esper.get_components over the same sets with an empty loop body.
- update with a body: the same, each system running a small Python body per entity
  (read the position's x, add it up): a Python _updateEntity against the processor's
  loop body.
- churn: one entity loses a component or gets it back, then the next update runs
  (where esper rebuilds its query cache); also 100 and 1000 such changes before the
  update.
- attribute read: position.x from Python, on the engine's PositionComponent against
  a Python dataclass as esper games use.

Each round times both sides one after the other (interleaved), and the figure of a
case is the median of the rounds' ratios (esper time / quorvelin time: how many times
faster quorvelin is). Target: at least 3x per update and per churn operation.

    .venv/bin/python benchmarks/bench_ecs.py [--entities N] [--rounds R]
"""
import argparse
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

import quorvelin
from quorvelin import (AbstractSystem, CollisionComponent, Ecs, Entity, PositionComponent,
                       RotationComponent, SpriteComponent, VelocityComponent)

# --- the component sets: which entities hold what, and what each system wants --------------------

ENGINE_TYPES = {"position": PositionComponent, "velocity": VelocityComponent,
                "rotation": RotationComponent, "collision": CollisionComponent,
                "sprite": SpriteComponent}


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
class Collision:
    radius: float = 0.25


@dataclass
class Sprite:
    scale: float = 1.0


PYTHON_TYPES = {"position": Position, "velocity": Velocity, "rotation": Rotation,
                "collision": Collision, "sprite": Sprite}


def holds(index):
    """The components of entity `index`: every one a position, the rest in a spread."""
    names = ["position"]
    if index % 2 == 0:
        names.append("velocity")
    if index % 3 == 0:
        names.append("rotation")
    if index % 5 < 2:
        names.append("collision")
    if index % 4 == 1:
        names.append("sprite")
    return names


INTERESTS = [("position",), ("position", "velocity"), ("position", "rotation"),
             ("position", "velocity", "collision"), ("position", "sprite")]


# --- the two worlds --------------------------------------------------------------------------------

class Summing(AbstractSystem):
    """The small Python body: the position's x, added up."""

    total = 0.0

    def _updateEntity(self, entity, timeStep):
        self.total += entity.getComponent(PositionComponent).x


def engine_world(count, body):
    ecs = Ecs(None)
    system_class = Summing if body else AbstractSystem
    for interest in INTERESTS:
        ecs.addSystem(system_class(*(ENGINE_TYPES[name] for name in interest)))
    entities = []
    for index in range(count):
        entity = Entity(-1, *(ENGINE_TYPES[name]() for name in holds(index)))
        ecs.addEntity(entity)
        entities.append(entity)
    return ecs, entities


if esper:
    class Walking(esper.Processor):
        def __init__(self, types):
            self.types = types

        def process(self, timeStep):
            for entity, components in esper.get_components(*self.types):
                pass

    class SummingProcessor(esper.Processor):
        def __init__(self, types):
            self.types = types
            self.total = 0.0

        def process(self, timeStep):
            for entity, components in esper.get_components(*self.types):
                self.total += components[0].x


def esper_world(count, body):
    esper.switch_world(f"bench-{count}-{body}")
    esper.clear_database()
    processor_class = SummingProcessor if body else Walking
    for priority, interest in enumerate(INTERESTS):
        esper.add_processor(processor_class(tuple(PYTHON_TYPES[name] for name in interest)),
                            priority=len(INTERESTS) - priority)
    return [esper.create_entity(*(PYTHON_TYPES[name]() for name in holds(index)))
            for index in range(count)]


# --- the cases: each a pair of (set-up, timed call) per side -----------------------------------------

STEP = 1 / 60


def update_case(count, body):
    def engine():
        ecs, _ = engine_world(count, body)
        return lambda: ecs.update(STEP)

    def other():
        esper_world(count, body)
        esper.process(STEP)  # fills the query cache
        return lambda: esper.process(STEP)

    return engine, other


def churn_case(count, changes):
    """`changes` entities lose their velocity (or get it back), then one update runs."""
    def engine():
        ecs, entities = engine_world(count, False)
        movers = [e for e in entities if e.getComponent(VelocityComponent)]
        state = {"at": 0, "removed": True}

        def churn():
            at = state["at"]
            batch = movers[at:at + changes]
            if state["removed"]:
                for entity in batch:
                    entity.removeComponentType(VelocityComponent)
            else:
                for entity in batch:
                    entity.addComponent(VelocityComponent())
                state["at"] = (at + changes) % (len(movers) - changes)
            state["removed"] = not state["removed"]
            ecs.update(STEP)
        return churn

    def other():
        entities = esper_world(count, False)
        movers = [e for e in entities if esper.has_component(e, Velocity)]
        esper.process(STEP)
        state = {"at": 0, "removed": True}

        def churn():
            at = state["at"]
            batch = movers[at:at + changes]
            if state["removed"]:
                for entity in batch:
                    esper.remove_component(entity, Velocity)
            else:
                for entity in batch:
                    esper.add_component(entity, Velocity())
                state["at"] = (at + changes) % (len(movers) - changes)
            state["removed"] = not state["removed"]
            esper.process(STEP)
        return churn

    return engine, other


def read_case():
    def engine():
        position = PositionComponent()
        return lambda: (position.x, position.x, position.x, position.x, position.x,
                        position.x, position.x, position.x, position.x, position.x)

    def other():
        position = Position()
        return lambda: (position.x, position.x, position.x, position.x, position.x,
                        position.x, position.x, position.x, position.x, position.x)

    return engine, other


def per_call(call, number):
    start = time.perf_counter()
    for _ in range(number):
        call()
    return (time.perf_counter() - start) / number


def run(cases, rounds):
    print(f"{'case':<34}{'quorvelin':>12}{'esper':>12}{'esper/ours':>12}")
    results = {}
    for label, (make_engine, make_other), number, unit in cases:
        engine_call, other_call = make_engine(), make_other()
        per_call(engine_call, max(1, number // 10))  # warm-up
        per_call(other_call, max(1, number // 10))
        times = [(per_call(engine_call, number), per_call(other_call, number))
                 for _ in range(rounds)]
        ours = statistics.median(t[0] for t in times) / unit
        theirs = statistics.median(t[1] for t in times) / unit
        ratio = statistics.median(t[1] / t[0] for t in times)
        results[label] = ratio
        print(f"{label:<34}{ours * 1e6:>10.2f}us{theirs * 1e6:>10.2f}us{ratio:>11.1f}x")
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--entities", type=int, default=10_000)
    parser.add_argument("--rounds", type=int, default=7)
    options = parser.parse_args()
    if esper is None:
        print("esper is not installed (pip install esper): nothing to compare against; skipped.")
        return 0
    count = options.entities
    print(f"quorvelin against esper {getattr(esper, '__version__', '')}, {count} entities, "
          f"5 systems, median of {options.rounds} interleaved rounds; Python {sys.version.split()[0]}")
    cases = [
        ("update, empty body", update_case(count, False), 20, 1),
        ("update, Python body", update_case(count, True), 5, 1),
        ("churn: 1 change + update", churn_case(count, 1), 20, 1),
        ("churn per change, 100 + update", churn_case(count, 100), 5, 100),
        ("churn per change, 1000 + update", churn_case(count, 1000), 2, 1000),
        ("attribute read position.x", read_case(), 200_000, 10),
    ]
    run(cases, options.rounds)
    return 0


if __name__ == "__main__":
    sys.exit(main())
