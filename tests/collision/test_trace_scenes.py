"""Ray queries over crowded scenes. A query tests only the bodies that a grid finds near
the ray; its answer must be that of a walk over every body, to the bit and in the same
order, however the scene changes between queries and whatever the ray."""
import gc
import math
import random

import pytest

from quorvelin import CollisionBodySystem, CollisionComponent, Entity, PositionComponent, Vector2

from .conftest import body, reference_trace


def circles_of(system):
    """(x, y, radius) of each body of the list as it is now."""
    out = []
    for entity in system._entities:
        pos = entity.getComponent(PositionComponent).pos
        out.append((pos.x, pos.y, entity.getComponent(CollisionComponent).radius))
    return out


def check(system, pos, direction, max_dist):
    """The query against the plain walk, by the bodies' places in the list. The query comes
    first: reading the list for the plain walk tells the engine that game code holds it."""
    result = system.traceEntities(Vector2(*pos), Vector2(*direction), max_dist)
    expected = reference_trace(circles_of(system), pos, direction, max_dist)
    place = {id(entity): i for i, entity in reversed(list(enumerate(system._entities)))}
    assert [(place[id(entity)], dist) for entity, dist in result] == expected
    return len(expected)


def crowd(rng, count=200, side=12.0):
    """Overlapping bodies of several radii, some at the very same place."""
    system = CollisionBodySystem()
    for i in range(count):
        if i % 40 == 39:
            x, y, _ = circles_of(system)[-1]  # a twin of the one before
        else:
            x, y = rng.uniform(0, side), rng.uniform(0, side)
        system._entities.append(body(x, y, rng.choice([0.25, 0.25, 0.1, 0.5, 1.0])))
    return system


def rays(rng, system, count, side=12.0):
    """Rays from inside and around the scene; rays that graze a body, that start on its
    edge or at its centre, that end where they enter a body, that run along a row."""
    circles = circles_of(system)
    for k in range(count):
        kind = k % 6
        x, y, radius = rng.choice(circles)
        angle = rng.uniform(0, 2 * math.pi)
        c, s = math.cos(angle), math.sin(angle)
        if kind == 0:
            yield (rng.uniform(-2, side + 2), rng.uniform(-2, side + 2)), (c, s), 20.0
        elif kind == 1:  # the line touches the circle
            start = (x + radius * -s - 5 * c, y + radius * c - 5 * s)
            yield start, (c, s), rng.choice([20.0, 5.0])
        elif kind == 2:  # from its edge or its centre
            yield (x + radius * c * (k % 2), y + radius * s * (k % 2)), (s, -c), 20.0
        elif kind == 3:  # ends where it enters the circle
            yield (x - (radius + 3) * c, y - (radius + 3) * s), (c, s), 3.0
        elif kind == 4:  # along an axis, through many bodies
            yield (-1.0, y), (1.0, 0.0), 40.0
        else:  # long, from far outside
            yield (x - 60 * c, y - 60 * s), (2 * c, 2 * s), 80.0


@pytest.mark.parametrize("seed", range(4))
def test_queries_in_a_crowd_give_the_plain_walk(seed):
    rng = random.Random(seed)
    system = crowd(rng)
    found = 0
    for pos, direction, max_dist in rays(rng, system, 60):
        found += check(system, pos, direction, max_dist)
    assert found > 300  # the rays meet many bodies


@pytest.mark.parametrize("seed", range(3))
def test_queries_see_the_scene_change_between_them(seed):
    """Vectors moved in place, far or a little, vectors and components replaced, radii
    changed, components' dicts written or replaced, bodies added, taken out and
    reordered: each query after such a change answers for the scene as it is then."""
    rng = random.Random(seed)
    system = crowd(rng, count=120)
    changes = [
        lambda e: setattr(e.getComponent(PositionComponent).pos, "x", rng.uniform(0, 12)),
        lambda e: setattr(e.getComponent(PositionComponent).pos, "y",
                          e.getComponent(PositionComponent).pos.y + rng.uniform(-0.2, 0.2)),
        lambda e: setattr(e.getComponent(PositionComponent), "pos",
                          Vector2(rng.uniform(0, 12), rng.uniform(0, 12))),
        lambda e: setattr(e.getComponent(CollisionComponent), "radius", rng.uniform(0.05, 2.0)),
        lambda e: (e.removeComponentType(CollisionComponent),
                   e.addComponent(CollisionComponent(rng.uniform(0.05, 0.6)))),
        # The components' dict written directly, or replaced by a copy (which may take the
        # freed dict's place in memory) or by a dict of other components.
        lambda e: e._components.__setitem__(CollisionComponent,
                                            CollisionComponent(rng.uniform(0.05, 2.0))),
        lambda e: setattr(e, "_components", dict(e._components)),
        lambda e: setattr(e, "_components", {
            **e._components,
            PositionComponent: PositionComponent(Vector2(rng.uniform(0, 12), rng.uniform(0, 12)))}),
        lambda e: system._entities.append(body(rng.uniform(0, 12), rng.uniform(0, 12))),
        lambda e: system._entities.remove(e),
        lambda e: system._entities.reverse(),
        # Containers reached behind the engine's back: through the collector, or kept from
        # an earlier change and changed now.
        lambda e: next(o for o in gc.get_referents(system) if isinstance(o, list)).reverse(),
        lambda e: kept.append(e._components),
        lambda e: kept and kept.pop().__setitem__(CollisionComponent,
                                                  CollisionComponent(rng.uniform(0.05, 2.0))),
    ]
    kept = []
    for step in range(120):
        rng.choice(changes)(rng.choice(system._entities))
        if step % 10 == 0:  # many bodies move at once, as in a frame
            for entity in system._entities:
                pos = entity.getComponent(PositionComponent).pos
                pos.x, pos.y = pos.x + rng.uniform(-0.1, 0.1), pos.y + rng.uniform(-0.1, 0.1)
        pos, direction, max_dist = next(rays(rng, system, 6 + step % 6))
        check(system, pos, direction, max_dist)


@pytest.mark.parametrize("direction, max_dist", [
    ((0.0, 0.0), 20.0),
    ((2e-162, 0.0), 20.0),         # the normalised direction is shorter than 1
    ((1e-300, 1.0), 20.0),
    ((1.0, 1.0), 0.0),
    ((1.0, 1.0), -3.0),
    ((1.0, 1.0), 1e9),
    ((1.0, 1.0), math.nan),
    ((0.6, 0.8), 0.0002),
], ids=["zero", "tiny component", "tiny beside one", "no length", "negative", "huge",
        "nan", "below the least"])
def test_odd_rays_give_the_plain_walk(direction, max_dist):
    system = crowd(random.Random(7), count=80)
    check(system, (0.5, 0.5), direction, max_dist)


def test_odd_bodies_give_the_plain_walk():
    """Bodies the grid cannot place (a huge radius, a centre far away or not finite) and
    bodies of radius 0 or below take part like any other."""
    rng = random.Random(3)
    system = crowd(rng, count=60)
    for x, y, radius in [(3.0, 3.0, 500.0), (1e300, 2.0, 0.5), (math.inf, 1.0, 0.5),
                         (2.0, math.nan, 0.5), (4.0, 4.0, 0.0), (5.0, 5.0, -0.7),
                         (6.0, 6.0, math.inf)]:
        system._entities.insert(rng.randrange(len(system._entities)), body(x, y, radius))
    for pos, direction, max_dist in rays(rng, system, 30):
        check(system, pos, direction, max_dist)


class Spying(Entity):
    """Answers getComponent by name, and runs `act` the first time it is asked."""

    act = None

    def getComponent(self, componentType):
        act, self.act = self.act, None
        if act:
            act()
        return Entity.getComponent(self, componentType)


class TestPythonCodeDuringAQuery:
    """A body that answers getComponent by name runs Python code in the middle of the walk:
    the bodies after it are seen as that code left them."""

    def scene(self):
        system = CollisionBodySystem()
        spy = Spying(-1, PositionComponent(Vector2(2.0, 3.0)), CollisionComponent(0.5))
        near, far = body(4.0, 0.0, 0.5), body(8.0, 0.0, 0.5)
        system._entities.extend([body(1.0, 0.0, 0.25), spy, near, far])
        return system, spy, near, far

    def test_a_body_moved_into_the_ray(self):
        system, spy, near, far = self.scene()
        spy.act = lambda: setattr(far.getComponent(PositionComponent).pos, "y", 9.0)
        found = system.traceEntities(Vector2(0, 0), Vector2(1, 0), 20)
        assert [e for e, _ in found] == [system._entities[0], near]

    def test_a_body_taken_out_and_one_put_in(self):
        system, spy, near, far = self.scene()
        late = body(6.0, 0.0, 0.5)
        spy.act = lambda: (system._entities.remove(near), system._entities.append(late))
        found = system.traceEntities(Vector2(0, 0), Vector2(1, 0), 20)
        assert [e for e, _ in found] == [system._entities[0], late, far]

    def test_a_query_made_by_that_code(self):
        system, spy, near, far = self.scene()
        inner = []
        spy.act = lambda: inner.append(system.traceEntities(Vector2(0, 0), Vector2(1, 0), 20))
        outer = system.traceEntities(Vector2(0, 0), Vector2(1, 0), 20)
        assert outer == inner[0] and [e for e, _ in outer] == [system._entities[0], near, far]

    def test_an_error_raised_by_that_code(self):
        system, spy, near, far = self.scene()

        def fail():
            raise KeyError("spy")

        spy.act = fail
        with pytest.raises(KeyError, match="spy"):
            system.traceEntities(Vector2(0, 0), Vector2(1, 0), 20)
