"""A seeded fuzz of the entity-component classes, run in a child process by
test_ecs_fuzz: random pickled states (through __setstate__ and the unpickle functions)
and random level-file inputs, each followed by every read and operation that trusts
the restored fields (properties, the level form, the current animation's key,
membership in an Ecs, an update). Only Python exceptions may come out; SystemError is
the host reporting a C function that broke its error protocol, and a crash or a
sanitizer report ends the process.

Prints "BAD <case>: <error>" for each SystemError and "DONE <count>" at the end."""
import math
import random
import sys
from types import SimpleNamespace

import quorvelin
from quorvelin import (AbstractSystem, CollisionComponent, Ecs, Entity, PositionComponent,
                       RotationComponent, Sprite, SpriteAnimation, SpriteComponent, Texture,
                       Vector2, VelocityComponent)

CLASSES = [Entity, Ecs, AbstractSystem, PositionComponent, VelocityComponent, RotationComponent,
           CollisionComponent, SpriteComponent, Sprite, SpriteAnimation]
STATE_SIZES = {"Entity": 3, "Ecs": 3, "AbstractSystem": 4, "PositionComponent": 1,
               "VelocityComponent": 3, "RotationComponent": 1, "CollisionComponent": 4,
               "SpriteComponent": 13, "Sprite": 6, "SpriteAnimation": 6}
COMPONENTS = [PositionComponent, VelocityComponent, RotationComponent, CollisionComponent,
              SpriteComponent]
FORM_KEYS = ["x", "y", "impulse", "friction", "radius", "isOnlyTrigger", "hasFlags",
             "ignoreFlags", "sprite", "shadeless", "zOffset", "scale", "blendMode",
             "currentAnimation", "animationPercentage"]


class Values:
    """Random values of every kind the fields take, and of kinds they refuse."""

    def __init__(self, rng):
        self.rng = rng
        self.texture = Texture(8, 8)
        self.animations = [SpriteAnimation("walk", 4, True, 2.5, 0, 1),
                           SpriteAnimation("idle", 2**31 - 1, False, -1.0, 2**31 - 1, -5),
                           SpriteAnimation(None, 0, 0, math.nan, -2**31, 0)]
        self.sprites = [Sprite(self.texture, 2, 2, self.animations), Sprite(self.texture, 1, 1, []),
                        Sprite.__new__(Sprite)]

    def number(self):
        return self.rng.choice([0, 1, -1, 2, 2**31 - 1, -2**31, 2**31, -2**31 - 1, 2**32, 2**63,
                                -2**63 - 1, 2**64, 0.5, -7.9, math.nan, math.inf, -math.inf,
                                1e308, True, False])

    def engine_object(self):
        rng = self.rng
        kinds = [lambda: Vector2(rng.uniform(-9, 9), rng.uniform(-9, 9)), lambda: self.texture,
                 lambda: Texture.__new__(Texture), lambda: rng.choice(self.sprites),
                 lambda: rng.choice(self.animations), lambda: Ecs(None),
                 lambda: AbstractSystem(*rng.sample(COMPONENTS, 2)),
                 lambda: Entity(-1, PositionComponent()), lambda: rng.choice(COMPONENTS)(),
                 lambda: (lambda cls: cls.__new__(cls))(rng.choice(CLASSES))]
        return rng.choice(kinds)()

    def container(self, depth):
        rng = self.rng
        kinds = [lambda: [self.any(depth + 1) for _ in range(rng.randrange(4))],
                 lambda: tuple(self.any(depth + 1) for _ in range(rng.randrange(4))),
                 lambda: {rng.choice(["walk", "idle", None, 1]): self.any(depth + 1)
                          for _ in range(rng.randrange(4))},
                 lambda: {rng.choice(COMPONENTS): rng.choice(COMPONENTS)()
                          for _ in range(rng.randrange(4))},
                 lambda: tuple(rng.sample(COMPONENTS, rng.randrange(3))),
                 lambda: list(self.animations)]
        return rng.choice(kinds)()

    def any(self, depth=0):
        rng = self.rng
        kinds = [lambda: None, self.number, lambda: rng.choice(["walk", "idle", "", "add", "blend"]),
                 lambda: b"walk", self.engine_object]
        if depth < 2:
            kinds.append(lambda: self.container(depth))
        return rng.choice(kinds)()

    def form(self):
        """A level-file input: the components' keys with random values, some left out."""
        rng = self.rng
        form = {}
        for key in FORM_KEYS:
            if rng.random() < 0.7:
                form[key] = rng.choice([self.any(), rng.randrange(-3, 3),
                                        {"x": self.number(), "y": self.number()}])
        return form

    def level(self):
        rng = self.rng
        sprites = [rng.choice(self.sprites + [None, 5]) for _ in range(rng.randrange(4))]
        return rng.choice([SimpleNamespace(_sprites=sprites), SimpleNamespace(), None])


def exercise(obj, values):
    """Everything that reads the object's fields, each step on its own."""
    rng = values.rng
    steps = [lambda name=name: getattr(obj, name) for name in dir(type(obj))
             if type(getattr(type(obj), name, None)).__name__ == "getset_descriptor"]
    steps += [obj.__reduce__, lambda: quorvelin.__dict__["__pyx_unpickle_" + type(obj).__name__](
        type(obj), *obj.__reduce__()[1][1:])]
    if isinstance(obj, tuple(COMPONENTS)):
        steps += [lambda: obj.dumpToDict(values.level()),
                  lambda: obj.loadFromDict(values.level(), values.form())]
    if isinstance(obj, SpriteComponent):
        steps += [lambda: setattr(obj, "currentAnimationKey", rng.choice(["walk", "idle", None])),
                  lambda: setattr(obj, "currentAnimation", rng.choice(values.animations + [None])),
                  lambda: setattr(obj, "blendMode", rng.choice(["add", "alpha", None]))]
    if isinstance(obj, (PositionComponent, VelocityComponent)):
        steps += [lambda: setattr(obj, "x", values.number())]
    if isinstance(obj, Entity):
        ecs = Ecs(None)
        ecs.addSystem(AbstractSystem(PositionComponent))
        ecs.addSystem(AbstractSystem())
        steps += [lambda: ecs.addEntity(obj), lambda: obj.addComponent(RotationComponent()),
                  lambda: obj.removeComponentType(PositionComponent), obj.getComponents,
                  lambda: obj.getComponent(PositionComponent), lambda: ecs.update(0.016),
                  lambda: ecs.getEntityById(obj.id), lambda: list(ecs.getEntities(PositionComponent)),
                  lambda: ecs.removeEntity(obj)]
    if isinstance(obj, Ecs):
        steps += [lambda: obj.addEntity(Entity(-1, PositionComponent())),
                  lambda: obj.addSystem(AbstractSystem(PositionComponent)), lambda: obj.update(0.1),
                  obj.removeAllEntities, obj.getSystems, lambda: list(obj.getEntities(int))]
    if isinstance(obj, AbstractSystem):
        steps += [lambda: Ecs(None).addSystem(obj), lambda: obj.update(0.1),
                  lambda: obj._updateEntityMembership(Entity(-1, PositionComponent())),
                  lambda: obj._removeEntity(Entity())]
    if isinstance(obj, Sprite):
        steps += [lambda: SpriteComponent(obj),
                  lambda: SpriteComponent().loadFromDict(SimpleNamespace(_sprites=[obj]), {"sprite": 0})]
    for step in steps:
        yield step


def cases(seed, rounds):
    rng = random.Random(seed)
    values = Values(rng)
    for number in range(rounds):
        cls = rng.choice(CLASSES)
        size = STATE_SIZES[cls.__name__] + rng.choice([0, 0, 0, -1, 1])
        state = tuple(values.any() for _ in range(max(size, 0)))
        how = rng.choice(["__setstate__ on new", "__setstate__ on made", "unpickle"])
        label = f"{number} {cls.__name__} {how}"

        def restore(cls=cls, state=state, how=how):
            if how == "unpickle":
                checksum = cls.__new__(cls).__reduce__()[1][1]
                return quorvelin.__dict__["__pyx_unpickle_" + cls.__name__](cls, checksum, state)
            obj = cls.__new__(cls) if how == "__setstate__ on new" else made(cls, values)
            try:
                obj.__setstate__(state)
            except Exception:
                pass  # a partly filled object is exercised all the same
            return obj
        yield label, restore, values
        if cls in COMPONENTS:
            yield f"{number} {cls.__name__} form", \
                lambda cls=cls: load_form(made(cls, values), values), values


def made(cls, values):
    makers = {Entity: lambda: Entity(-1, PositionComponent()), Ecs: lambda: Ecs(None),
              AbstractSystem: lambda: AbstractSystem(PositionComponent),
              Sprite: lambda: Sprite(values.texture, 2, 2, values.animations),
              SpriteAnimation: lambda: SpriteAnimation("walk", 4, True, 2.5, 0, 1),
              SpriteComponent: lambda: SpriteComponent(values.sprites[0])}
    return makers.get(cls, cls)()


def load_form(component, values):
    try:
        component.loadFromDict(values.level(), values.form())
    except Exception:
        pass
    return component


def main(seed, rounds):
    count = 0
    for label, restore, values in cases(seed, rounds):
        try:
            obj = restore()
        except SystemError as error:
            print(f"BAD {label}: {error}", flush=True)
            continue
        except Exception:
            continue
        for step in exercise(obj, values):
            count += 1
            try:
                step()
            except SystemError as error:
                print(f"BAD {label}: {error}", flush=True)
            except Exception:
                pass
    print("DONE", count, flush=True)


if __name__ == "__main__":
    main(int(sys.argv[1]), int(sys.argv[2]))
