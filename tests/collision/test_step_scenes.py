"""Movement steps whose CollisionEvent handlers change the scene in the middle of the step.
The step keeps what it read of the bodies from one Python call to the next and reads again
only what those calls changed: its contacts, their order and the positions must be those of
the plain walk over every body, to the bit, and so must the ray queries made meanwhile.

Each scene is built twice, from the same numbers: once of Entity, which the step and the
queries read from their snapshots, and once of a Python subclass, which they visit the long
way, each body read anew at every visit (the plain walk). The same script of changes runs in
both, chosen by the same random numbers, each change made to the bodies at the same places:
as long as both see the same contacts they make the same changes."""
import gc
import math
import random

import pytest

from quorvelin import (BLOCK_SQUARE, CollisionComponent, CollisionEvent, Entity,
                       PositionComponent, Vector2, VelocityComponent)

from .conftest import World, body, level


class Own(Entity):
    """Answers getComponent by name: visited the long way."""


class Fussy:
    """A flag whose comparison is Python code, which moves a body now and then."""

    def __init__(self, script):
        self.script = script

    def __eq__(self, other):
        self.script.nudge()
        return other is self

    __hash__ = object.__hash__


class Script:
    """One world and the changes that its handler makes, drawn from a random sequence.
    With `keep`, the script holds the body list from the start and changes it directly;
    otherwise it reaches the list only when a change asks for it."""

    def __init__(self, cls, seed, keep):
        self.cls = cls
        self.rng = random.Random(seed)
        rng = random.Random(seed + 1000)
        blocks = [(x, y) for x in range(14) for y in range(14) if x in (0, 13) or y in (0, 13)]
        blocks += [(rng.randrange(3, 11), rng.randrange(3, 11)) for _ in range(6)]
        self.world = World(level(14, 14, blocks))
        self.bodies = self.world.movement.collisionBodySystem
        self.level = self.world.movement._level
        self.spare_level = level(14, 14, blocks[:52])
        self.shared_flags = ["team"]  # one list held by several bodies, and by this script
        self.held = []  # containers that the script keeps and changes later
        self.kept = self.bodies.entities if keep else None
        self.nested = False
        self.log = []  # what the handlers and the queries saw, by the bodies' numbers
        self.made = []  # every body made, in order: its number
        self.number = {}  # id -> number; every engine's handlers see every engine's events
        for i in range(70):
            self.world.add(self.new_body(rng, moving=i < 55))
        self.world.engine.subscribeEvent(CollisionEvent, self.on_contact)

    def new_body(self, rng, moving=True):
        kind = rng.randrange(8)
        flags = {}
        if kind == 0:
            flags = {"has": self.shared_flags}
        elif kind == 1:
            flags = {"ignore": ["team"]}
        elif kind == 2:
            flags = {"has": ["b", 3], "ignore": ["c"]}
        entity = body(rng.uniform(1.5, 12.5), rng.uniform(1.5, 12.5),
                      rng.choice([0.25, 0.25, 0.4, 0.15]), trigger=kind == 3, cls=self.cls,
                      velocity=(rng.uniform(-3, 3), rng.uniform(-3, 3)) if moving else None,
                      **flags)
        self.number[id(entity)] = len(self.made)
        self.made.append(entity)
        return entity

    def members(self):
        return self.kept if self.kept is not None else self.bodies._entities

    def name(self, entity):
        return None if entity is None else self.number.get(id(entity), -1)

    def pick(self):
        return self.made[self.rng.randrange(len(self.made))]

    def nudge(self):
        """A change from Python code that runs while the step compares flags."""
        target = self.pick()
        self.log.append(("nudge", self.name(target)))
        if self.rng.random() < 0.3 and vector_of(target) is not None:
            vector_of(target).x += 0.01

    def trace(self):
        x, y = self.rng.uniform(0, 14), self.rng.uniform(0, 14)
        angle = self.rng.uniform(0, 2 * math.pi)
        try:
            found = self.bodies.traceEntities(Vector2(x, y),
                                              Vector2(math.cos(angle), math.sin(angle)),
                                              self.rng.choice([3.0, 20.0]))
        except Exception as error:  # a body without its parts, as the plain walk finds it
            self.log.append(("trace failed", type(error), str(error)))
        else:
            self.log.append(("trace", [(self.name(e), d) for e, d in found]))

    def frame(self):
        """One update of the movement system (which a mover left without its position by
        a change behind the engine's back ends with an error), then a query."""
        try:
            self.world.step(1 / 30)
        except AttributeError as error:
            self.log.append(("step failed", str(error)))
        self.trace()

    def on_contact(self, event):
        if id(event.entity1) not in self.number:
            return
        self.log.append(("contact", self.name(event.entity1), self.name(event.entity2)))
        if self.rng.random() < 0.55:
            return
        change = self.rng.choice(CHANGES)
        target = self.pick()
        self.log.append((change.__name__, self.name(target)))
        change(self, target)
        if self.rng.random() < 0.15:
            self.trace()


def vector_of(entity):
    component = entity.getComponent(PositionComponent)
    return component.pos if component is not None else None


def collider_of(entity):
    return entity.getComponent(CollisionComponent)


def replace_component(entity, component):
    entity.removeComponentType(type(component))
    entity.addComponent(component)


def move_in_place(script, entity):
    pos, rng = vector_of(entity), script.rng
    if pos is None:
        return
    how = rng.randrange(9)
    if how == 0:
        pos.x = rng.uniform(1, 13)
    elif how == 1:
        pos._y = pos.y + rng.uniform(-0.3, 0.3)
    elif how == 2:
        pos.add(Vector2(rng.uniform(-0.2, 0.2), rng.uniform(-0.2, 0.2)))
    elif how == 3:
        pos.set(Vector2(rng.uniform(1, 13), rng.uniform(1, 13)))
    elif how == 4:
        pos.scale(rng.uniform(0.95, 1.05))
    elif how == 5:
        pos.__init__(rng.uniform(1, 13), rng.uniform(1, 13))
    elif how == 6:
        pos.rotate(rng.choice([0.5, -1.0, 180.0]))
    elif how == 7:
        entity.getComponent(PositionComponent).y = rng.uniform(1, 13)
    else:
        entity.getComponent(PositionComponent).loadFromDict(
            script.level, {"x": rng.uniform(1, 13), "y": pos.y})


def resize(script, entity):
    collider, rng = collider_of(entity), script.rng
    if collider is None:
        return
    how = rng.randrange(5)
    if how == 0:
        collider.radius = rng.choice([0.05, 0.3, 0.6, 1.5])
    elif how == 1:
        collider._isOnlyTrigger = not collider.isOnlyTrigger
    elif how == 2:
        collider.__init__(rng.uniform(0.1, 0.5))
    elif how == 3:
        collider.loadFromDict(script.level, {"radius": rng.uniform(0.1, 0.5)})
    else:
        state = list(collider.__reduce__()[2])
        state[2] = rng.uniform(0.1, 0.7)  # (_hasFlags, _ignoreFlags, _isOnlyTrigger, _radius)
        state[3] = rng.uniform(0.1, 0.7)
        collider.__setstate__(tuple(state[:2]) + (bool(state[2] > 0.4), state[3]))


def replace(script, entity):
    rng = script.rng
    if entity.getComponent(PositionComponent) is None:
        return
    how = rng.randrange(7)
    if how == 0:
        entity.getComponent(PositionComponent).pos = Vector2(rng.uniform(1, 13), rng.uniform(1, 13))
    elif how == 1:
        replace_component(entity, PositionComponent(Vector2(rng.uniform(1, 13), rng.uniform(1, 13))))
    elif how == 2:
        replace_component(entity, CollisionComponent(rng.uniform(0.1, 0.6)))
    elif how == 3:  # the dict written directly, and kept for later
        components = entity._components
        components[CollisionComponent] = CollisionComponent(rng.uniform(0.1, 0.6))
        script.held.append(components)
    elif how == 4:
        entity._components = dict(entity._components)
    elif how == 5:
        entity.getComponent(PositionComponent)._pos = None if rng.random() < 0.3 else Vector2(2, 2)
    else:
        entity.getComponent(PositionComponent).__init__(Vector2(rng.uniform(1, 13), 5.0))


def flags(script, entity):
    rng = script.rng
    how = rng.randrange(6)
    collider = collider_of(entity)
    if how == 0:
        script.shared_flags.append(rng.choice(["x", Fussy(script)]))
    elif how == 1 and script.shared_flags[1:]:
        script.shared_flags.pop()
    elif collider is None:
        return
    elif how == 2:
        collider.hasFlags.append(rng.choice(["team", "c", Fussy(script)]))
    elif how == 3:
        collider.ignoreFlags = rng.choice([[], ["team"], [Fussy(script)]])
    elif how == 4:
        collider.hasFlags = script.shared_flags
    else:  # the level form holds the list itself
        script.held.append(collider.dumpToDict(script.level)["hasFlags"])


def take_out(script, entity):
    how = script.rng.randrange(5)
    if how == 0:
        script.world.ecs.removeEntity(entity)
    elif how == 1:
        entity.removeComponentType(CollisionComponent)
    elif how == 2 and entity in script.members():
        script.members().remove(entity)
    elif how == 3 and script.members():
        del script.members()[script.rng.randrange(len(script.members()))]
    else:
        script.members().reverse()


def put_in(script, entity):
    how = script.rng.randrange(6)
    made = script.new_body(script.rng, moving=script.rng.random() < 0.5)
    if how == 0:
        script.world.add(made)
    elif how == 1:
        script.members().append(made)
    elif how == 2:
        script.members().insert(script.rng.randrange(len(script.members()) + 1), made)
    elif how == 3 and script.members():
        script.members()[script.rng.randrange(len(script.members()))] = made
    elif how == 4:  # in the list twice
        script.members().append(entity)
    elif vector_of(entity) is not None:  # two bodies at one vector
        made.getComponent(PositionComponent).pos = vector_of(entity)
        script.world.add(made)


def systems(script, entity):
    """The body system out of the Ecs and in again (its members cleared and offered
    again), or another step of a body from inside this one."""
    how = script.rng.randrange(2)
    if how == 0:
        script.world.ecs.removeSystem(script.bodies)
        script.world.ecs.addSystem(script.bodies)
    elif (not script.nested and entity.getComponent(VelocityComponent) is not None
          and entity.getComponent(PositionComponent) is not None):
        script.nested = True
        script.world.movement._updateEntity(entity, 1 / 60)
        script.nested = False


def cells(script, entity):
    if script.rng.random() < 0.1:  # another level
        movement = script.world.movement
        movement._level, script.spare_level = script.spare_level, movement._level
        return
    x, y = script.rng.randrange(1, 13), script.rng.randrange(1, 13)
    script.level.setBlock(script.rng.choice([BLOCK_SQUARE, 0]), x, y)


def behind_the_engine(script, entity):
    """Containers reached without the engine: through the collector; or kept from an
    earlier call (the member list, a components dict, a flag list) and changed now."""
    how = script.rng.randrange(3)
    if how == 0:
        members = next(o for o in gc.get_referents(script.bodies) if isinstance(o, list))
        members.append(members.pop(0))
        components = next(o for o in gc.get_referents(entity) if isinstance(o, dict))
        components.pop(script.rng.choice([PositionComponent, CollisionComponent]), None)
    elif how == 1:
        collider = collider_of(entity)
        script.held.append(script.rng.choice(
            [script.bodies.entities, entity._components] +
            ([collider.hasFlags] if collider is not None else [])))
    elif script.held:  # changed, then let go
        held = script.held.pop(script.rng.randrange(len(script.held)))
        if isinstance(held, dict):
            held.pop(PositionComponent, None)
        elif held and isinstance(held[0], Entity):  # a member list
            held[0], held[-1] = held[-1], held[0]
        else:  # a flag list
            held.append(Fussy(script))


CHANGES = [move_in_place, move_in_place, resize, replace, flags, take_out, put_in, systems,
           cells, behind_the_engine]


def where(entity):
    """Where the body stands, to the bit, as far as it has a position."""
    component = entity.getComponent(PositionComponent)
    pos = component.pos if component is not None else None
    return None if pos is None else (pos.x, pos.y)


def record(script):
    return [where(e) for e in script.made], script.log


@pytest.mark.parametrize("keep", [False, True], ids=["list reached by changes", "list kept"])
@pytest.mark.parametrize("seed", range(8))
def test_changes_in_the_middle_of_a_step_give_the_plain_walk(seed, keep, unraisable):
    fast, slow = Script(Entity, seed, keep), Script(Own, seed, keep)
    for frame in range(25):
        for script in (fast, slow):
            script.frame()
    assert record(fast) == record(slow)
    contacts = sum(1 for entry in fast.log if entry[0] == "contact")
    assert contacts > 100  # the handlers ran, and changed the scene many times
