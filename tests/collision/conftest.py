"""Fixtures of the collision tests: levels built through the levels API with walls where a
case needs them, bodies, and the contacts that handlers of CollisionEvent see."""
import contextlib
import io
import math
import struct

import pytest

from quorvelin import (BLOCK_SQUARE, CollisionComponent, CollisionEvent, Engine, Entity,
                       Level, MovementSystem, PositionComponent, Vector2, VelocityComponent)
from engine.conftest import engine, shared_state, unraisable  # noqa: F401 (fixtures)


def level(width=10, height=10, blocks=()):
    """An open level of that size with a block at each (x, y) or (x, y, type)."""
    with contextlib.redirect_stdout(io.StringIO()):
        made = Level(None)
    made._loadMetadata("test", '{"width": %d, "height": %d}' % (width, height))
    for block in blocks:
        x, y, kind = block if len(block) == 3 else (*block, BLOCK_SQUARE)
        made.setBlock(kind, x, y)
    return made


def body(x, y, radius=0.25, velocity=None, trigger=False, has=None, ignore=None, cls=Entity):
    """An entity with a position and a collision body, and a velocity when given."""
    flags = {name: value for name, value in (("hasFlags", has), ("ignoreFlags", ignore))
             if value is not None}
    components = [PositionComponent(Vector2(x, y)), CollisionComponent(radius, trigger, **flags)]
    if velocity is not None:
        components.append(VelocityComponent(Vector2(*velocity)))
    return cls(-1, *components)


def position(entity):
    pos = entity.getComponent(PositionComponent).pos
    return pos.x, pos.y


class World:
    """A movement system over a level, in the Ecs of an engine, with the contacts that a
    handler of CollisionEvent saw, as (entity1, entity2) pairs."""

    def __init__(self, walls=None, engine=None):
        self.engine = engine or Engine()
        self.ecs = self.engine.ecs
        self.movement = MovementSystem(walls)
        self.ecs.addSystem(self.movement)
        self.contacts = []
        self.engine.subscribeEvent(CollisionEvent, self.record)

    def record(self, event):
        self.contacts.append((event.entity1, event.entity2))

    def add(self, *entities):
        for entity in entities:
            self.ecs.addEntity(entity)
        return entities[0] if len(entities) == 1 else entities

    def step(self, timeStep=1.0):
        self.movement.update(timeStep)


@pytest.fixture
def world():
    return World(level())


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def reference_trace(bodies, pos, direction, max_dist):
    """The ray query worked out with single-precision values from struct: the pairs
    (index, distance) nearest first."""
    length = math.sqrt(direction[0] * direction[0] + direction[1] * direction[1])
    dx, dy = (direction[0] / length, direction[1] / length) if length else direction
    max_dist = f32(max_dist)
    end = (pos[0] + dx * max_dist, pos[1] + dy * max_dist)
    found = []
    for index, (cx, cy, radius) in enumerate(bodies):
        radius = f32(radius)
        ex, ey = f32(end[0] - pos[0]), f32(end[1] - pos[1])
        a = f32(f32(ex * ex) + f32(ey * ey))
        fx, fy = pos[0] - cx, pos[1] - cy
        b = f32(2 * (ex * fx + ey * fy))
        c = f32(fx * fx + fy * fy - f32(radius * radius))
        if a <= 1e-07:
            continue
        disc = f32(f32(b * b) - 4.0 * a * c)
        if disc < 0:
            continue
        if disc == 0:
            t = f32(-b / f32(2 * a))
            if not t > 0:
                continue
        else:
            root = math.sqrt(disc)
            exit_, entry = f32((-b + root) / (2.0 * a)), f32((-b - root) / (2.0 * a))
            if (entry > exit_ or entry < 0) and exit_ > 0:
                t = exit_
            elif entry > 0:
                t = entry
            else:
                continue
        hx, hy = pos[0] + f32(t * ex), pos[1] + f32(t * ey)
        dist = math.sqrt((hx - pos[0]) ** 2 + (hy - pos[1]) ** 2)
        if 0 < dist < max_dist:
            found.append((index, dist))
    return sorted(found, key=lambda pair: pair[1])
