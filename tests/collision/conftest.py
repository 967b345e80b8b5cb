"""Fixtures of the collision tests: levels built through the levels API with walls where a
case needs them, bodies, and the contacts that handlers of CollisionEvent see."""
import contextlib
import io

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

