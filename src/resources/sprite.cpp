// SpriteAnimation, Sprite and SpriteComponent. Choosing a component's animation copies
// the animation's frame range, directions and speed into the component, where the
// renderer reads and changes them; later changes of the animation are not followed.
#include "resources/sprite.hpp"

#include "core/spriteSheet.hpp"
#include "py/args.hpp"
#include "py/call.hpp"
#include "py/cast.hpp"
#include "py/errors.hpp"
#include "py/methods.hpp"
#include "resources/levelForm.hpp"

#include <algorithm>
#include <climits>

namespace {

py::Name nSprites("_sprites");
py::Name nIndex("index");
py::Name nSprite("sprite");
py::Name nShadeless("shadeless");
py::Name nZOffset("zOffset");
py::Name nScale("scale");
py::Name nBlendMode("blendMode");
py::Name nCurrentAnimation("currentAnimation");
py::Name nAnimationPercentage("animationPercentage");
py::Name nAdd("add");
py::Name nAlpha("alpha");
py::Name nBlend("blend");

} // namespace

// --- SpriteAnimation ------------------------------------------------------------------------

// The constructor's parameters are the fields, in order: (name, frameCount, oscillate,
// speed, startFrame, directions). No range is checked: readers check what they use.
static const py::Member spriteAnimationMembers[] = {
    py::member<&SpriteAnimation::name>("_name").argument("name").exactly<py::Str>(),
    py::member<&SpriteAnimation::frameCount>("_frameCount").argument("frameCount"),
    py::member<&SpriteAnimation::oscillate>("_oscillate").argument("oscillate"),
    py::member<&SpriteAnimation::speed>("_speed").argument("speed"),
    py::member<&SpriteAnimation::startFrame>("_startFrame").argument("startFrame"),
    py::member<&SpriteAnimation::directions>("_directions").argument("directions"),
};

py::ClassDef& spriteAnimationClass() {
    // Its one object field is a str or None, which cannot close a cycle.
    return py::define<SpriteAnimation>("SpriteAnimation",
                                       {.doc = "",
                                        .members = spriteAnimationMembers,
                                        .init = py::memberInit<SpriteAnimation>,
                                        .checksum = 0x7fe8901,
                                        .collect = py::Definition::Collect::never});
}

// --- Sprite -----------------------------------------------------------------------------------

static bool checkFrameCount(int32_t count, const char* name) {
    if (count >= 1) return true;
    PyErr_Format(PyExc_ValueError, "%s must be at least 1 (got %d)", name, count);
    return false;
}

static int Sprite_init(PyObject* self, py::Arguments<4>& a) {
    auto [texture, xFramesArgument, yFramesArgument, animations] = a;
    int32_t xFrames, yFrames;
    if (!py::toInt32(xFramesArgument, xFrames) || !py::toInt32(yFramesArgument, yFrames) ||
        !py::checkArgument(texture, Texture::type, "texture"))
        return -1;
    if (animations != Py_None && !PyList_CheckExact(animations))
        return py::argumentTypeError("spriteAnimations", &PyList_Type, animations);
    // The sheet is cut here, once: it must have a surface, and each count a frame.
    SDL_Surface* surface = py::cast<Texture>(texture)->surface;
    if (!surface) return py::raise(PyExc_ValueError, "Texture is not initialised.");
    if (!checkFrameCount(xFrames, "xFrames") || !checkFrameCount(yFrames, "yFrames")) return -1;
    py::Ref table(PyDict_New());
    if (!table) return -1;

    Sprite* sprite = py::cast<Sprite>(self);
    py::assign(sprite->texture, texture);
    sprites::Grid grid = sprites::gridOf(surface->w, surface->h, xFrames, yFrames);
    sprite->xFrames = xFrames;
    sprite->yFrames = yFrames;
    sprite->width = grid.frameWidth;
    sprite->height = grid.frameHeight;
    py::assign(sprite->animations, table.get());
    if (animations == Py_None)
        return py::raise(PyExc_TypeError, "'NoneType' object is not iterable");
    // Under each animation's name: a later one of the same name replaces the value and
    // keeps the first one's place. Entries before a refused one stay.
    py::Ref list = py::Ref::borrow(animations);
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(animations); ++i) {
        py::Ref entry = py::Ref::borrow(PyList_GET_ITEM(animations, i));
        if (!PyObject_TypeCheck(entry.get(), SpriteAnimation::type))
            return py::cannotConvert(entry.get(), SpriteAnimation::type);
        PyObject* name = py::cast<SpriteAnimation>(entry.get())->name;
        if (PyDict_SetItem(table.get(), name, entry.get()) < 0) return -1;
    }
    return 0;
}

static const py::Member spriteMembers[] = {
    py::member<&Sprite::texture>("_texture").readonly("texture").typed<&Texture::type>(),
    py::member<&Sprite::width>("_width").readonly("width"),
    py::member<&Sprite::height>("_height").readonly("height"),
    py::member<&Sprite::xFrames>("_xFrames"),
    py::member<&Sprite::yFrames>("_yFrames"),
    py::member<&Sprite::animations>("_animations").readonly("animations").exactly<py::Dict>(),
};

py::ClassDef& spriteClass() {
    return py::define<Sprite>(
        "Sprite",
        {.doc = py::classDoc<"A sprite can be used in an entity inside a level.",
                             "It contains information about animations and "
                             "directional frames">,
         .members = spriteMembers,
         .init = py::init<Sprite_init, "texture", "xFrames", "yFrames", "spriteAnimations">,
         .checksum = 0xbcd1b8e});
}

// --- SpriteComponent: the current animation -----------------------------------------------

namespace {

// An int sum that stays in range: a frame range past the last int ends at the last int.
int32_t saturatingSum(int32_t a, int32_t b) {
    return int32_t(std::clamp(int64_t(a) + b, int64_t(INT32_MIN), int64_t(INT32_MAX)));
}

// currentAnimation = value. The animation that is already current is kept as it is (the
// renderer may have flipped its copied speed); None clears it and keeps the copied
// frame fields; another animation is stored with its frame range, directions and speed.
bool setCurrentAnimation(PyObject* self, PyObject* value) {
    SpriteComponent* component = py::cast<SpriteComponent>(self);
    py::Ref current = py::Ref::borrow(component->currentAnimation);
    int same = PyObject_RichCompareBool(value, current.get(), Py_EQ);
    if (same != 0) return same > 0;
    if (value == Py_None) {
        py::assign(component->currentAnimation, Py_None);
        return true;
    }
    if (!PyObject_TypeCheck(value, SpriteAnimation::type))
        return py::cannotConvert(value, SpriteAnimation::type);
    auto* animation = py::cast<SpriteAnimation>(value);
    py::assign(component->currentAnimation, value);
    component->currentMinFrame = animation->startFrame;
    component->currentMaxFrame = saturatingSum(animation->startFrame, animation->frameCount);
    component->currentDirections = animation->directions;
    component->animationSpeed = animation->speed;
    return true;
}

// The sprite's animation dict (or None), held; null with the host's AttributeError for
// a component without a sprite.
py::Ref animationsOf(PyObject* self) {
    PyObject* held = py::cast<SpriteComponent>(self)->sprite;
    Sprite* sprite = py::instanceOf<Sprite>(held);
    if (!sprite) {
        py::noAttribute(held, "_animations");
        return py::Ref();
    }
    return py::Ref::borrow(sprite->animations);
}

// The sprite's first animation, or None for a sprite without any.
py::Ref firstAnimation(PyObject* self) {
    py::Ref animations = animationsOf(self);
    if (!animations) return animations;
    if (animations.get() == Py_None) {
        py::noAttribute(Py_None, "values");
        return py::Ref();
    }
    Py_ssize_t position = 0;
    PyObject *key, *value;
    return py::Ref::borrow(PyDict_Next(animations.get(), &position, &key, &value) ? value
                                                                                  : Py_None);
}

bool playFirstAnimation(PyObject* self) {
    py::Ref first = firstAnimation(self);
    return first && setCurrentAnimation(self, first.get());
}

// currentAnimationKey = name: the sprite's animation of that name becomes current.
bool setCurrentAnimationKey(PyObject* self, PyObject* name) {
    py::Ref animations = animationsOf(self);
    if (!animations) return false;
    if (animations.get() == Py_None)
        return py::raise(PyExc_TypeError, "'NoneType' object is not subscriptable");
    py::Ref animation(PyObject_GetItem(animations.get(), name));
    return animation && setCurrentAnimation(self, animation.get());
}

PyObject* blendModeWord(PyObject* self, py::Name& zero) {
    PyObject* word =
        py::cast<SpriteComponent>(self)->blendMode == BLENDMODE_ADD ? nAdd.get() : zero.get();
    return word ? py::newRef(word) : nullptr;
}

// "add" is additive; any other value is alpha blending.
bool blendModeOf(PyObject* value, BlendMode& out) {
    PyObject* add = nAdd.get();
    int additive = add ? PyObject_RichCompareBool(value, add, Py_EQ) : -1;
    if (additive < 0) return false;
    out = additive ? BLENDMODE_ADD : BLENDMODE_BLEND;
    return true;
}

} // namespace

static PyObject* SpriteComponent_getBlendMode(PyObject* self, void*) {
    // Any mode but 0 reads as "add".
    if (py::cast<SpriteComponent>(self)->blendMode != BLENDMODE_BLEND)
        return py::newRef(nAdd.get());
    return blendModeWord(self, nAlpha);
}

static int SpriteComponent_setBlendMode(PyObject* self, PyObject* value, void*) {
    if (!value) return py::deleteRefused();
    BlendMode mode;
    if (!blendModeOf(value, mode)) return -1;
    py::cast<SpriteComponent>(self)->blendMode = mode;
    return 0;
}

static PyObject* SpriteComponent_getCurrentAnimation(PyObject* self, void*) {
    return py::newRef(py::cast<SpriteComponent>(self)->currentAnimation);
}

static int SpriteComponent_setCurrentAnimation(PyObject* self, PyObject* value, void*) {
    if (!value) return py::deleteRefused();
    return setCurrentAnimation(self, value) ? 0 : -1;
}

static PyObject* SpriteComponent_getCurrentAnimationKey(PyObject* self, void*) {
    py::Ref animations = animationsOf(self);
    if (!animations) return nullptr;
    if (animations.get() == Py_None)
        return py::raise(PyExc_AttributeError, "'NoneType' object has no attribute 'items'");
    Py_ssize_t position = 0;
    PyObject *key, *value;
    while (PyDict_Next(animations.get(), &position, &key, &value))
        if (value == py::cast<SpriteComponent>(self)->currentAnimation) return py::newRef(key);
    PyErr_SetNone(PyExc_StopIteration);
    return nullptr;
}

static int SpriteComponent_setCurrentAnimationKey(PyObject* self, PyObject* value, void*) {
    if (!value) return py::deleteRefused();
    return setCurrentAnimationKey(self, value) ? 0 : -1;
}

// --- SpriteComponent: construction and the level form --------------------------------------

static int SpriteComponent_init(PyObject* self, py::Arguments<5>& a) {
    auto [sprite, shadeless, zOffsetArgument, scaleArgument, blendModeArgument] = a;
    double zOffset = 0.0, scale = 1.0;
    BlendMode mode = BLENDMODE_BLEND;
    if ((zOffsetArgument && !py::toDouble(zOffsetArgument, zOffset)) ||
        (scaleArgument && !py::toDouble(scaleArgument, scale)) ||
        (blendModeArgument && !py::fromPython(blendModeArgument, mode)) ||
        (sprite && !py::checkArgument(sprite, Sprite::type, "sprite", true)))
        return -1;
    SpriteComponent* component = py::cast<SpriteComponent>(self);
    py::assign(component->sprite, sprite ? sprite : Py_None);
    if (shadeless && !py::toFlag(shadeless, component->shadeless)) return -1;
    if (!shadeless) component->shadeless = false;
    component->blendMode = mode;
    component->zOffset = zOffset;
    component->scale = scale;
    component->angleToCam = 0.0;
    // A sprite plays its first animation; a sprite without any leaves none.
    return !sprite || sprite == Py_None || playFirstAnimation(self) ? 0 : -1;
}

static PyObject* SpriteComponent_loadFromDict(PyObject* self, py::Arguments<2>& a) {
    auto [level, input] = a;
    SpriteComponent* component = py::cast<SpriteComponent>(self);
    // Key by key in the form's order; what is stored before a failing key stays.
    py::Ref sprites = py::getAttr(level, nSprites);
    py::Ref index(sprites ? levelForm::item(input, nSprite) : py::Ref());
    py::Ref sprite(index ? PyObject_GetItem(sprites.get(), index.get()) : nullptr);
    if (!sprite) return nullptr;
    // Entries of the sprite list are sprites: any other (None too) names no animation.
    if (!PyObject_TypeCheck(sprite.get(), Sprite::type))
        return py::cannotConvert(sprite.get(), Sprite::type);
    py::assign(component->sprite, sprite.get());

    bool shadeless;
    if (!levelForm::readFlag(input, nShadeless, shadeless)) return nullptr;
    component->shadeless = shadeless;
    double value;
    if (!levelForm::readDouble(input, nZOffset, 0.0, value)) return nullptr;
    component->zOffset = value;
    if (!levelForm::readDouble(input, nScale, 1.0, value)) return nullptr;
    component->scale = value;
    int present = levelForm::has(input, nBlendMode);
    BlendMode mode = BLENDMODE_BLEND;
    py::Ref word(present > 0 ? levelForm::item(input, nBlendMode) : py::Ref::none());
    if (present < 0 || !word || (present && !blendModeOf(word.get(), mode))) return nullptr;
    component->blendMode = mode;

    present = levelForm::has(input, nCurrentAnimation);
    if (present < 0) return nullptr;
    if (present) {
        py::Ref name = levelForm::item(input, nCurrentAnimation);
        if (!name || !setCurrentAnimationKey(self, name.get())) return nullptr;
    } else if (!playFirstAnimation(self)) {
        return nullptr;
    }
    if (!levelForm::readDouble(input, nAnimationPercentage, 0.0, value)) return nullptr;
    component->animationPercentage = value;
    Py_RETURN_NONE;
}

static PyObject* SpriteComponent_dumpToDict(PyObject* self, PyObject* level) {
    SpriteComponent* component = py::cast<SpriteComponent>(self);
    py::Ref sprites = py::getAttr(level, nSprites);
    py::Ref sprite = py::Ref::borrow(component->sprite); // the search may run Python code
    py::Ref position(sprites ? py::callMethod(sprites.get(), nIndex, sprite.get()) : py::Ref());
    py::Ref dict(position ? PyDict_New() : nullptr);
    if (!dict || !levelForm::put(dict.get(), nSprite, std::move(position)) ||
        !levelForm::put(dict.get(), nShadeless, py::Ref(PyBool_FromLong(component->shadeless))) ||
        !levelForm::put(dict.get(), nZOffset, py::Ref(PyFloat_FromDouble(component->zOffset))) ||
        !levelForm::put(dict.get(), nScale, py::Ref(PyFloat_FromDouble(component->scale))) ||
        !levelForm::put(dict.get(), nBlendMode, py::Ref(blendModeWord(self, nBlend))) ||
        !levelForm::put(dict.get(), nCurrentAnimation,
                        py::Ref(SpriteComponent_getCurrentAnimationKey(self, nullptr))) ||
        !levelForm::put(dict.get(), nAnimationPercentage,
                        py::Ref(PyFloat_FromDouble(component->animationPercentage))))
        return nullptr;
    return dict.release();
}

static const PyMethodDef spriteComponentMethods[] = {
    py::withKeywords<"loadFromDict", SpriteComponent_loadFromDict, "level", "input">(
        py::doc<"@param(level, Level)", "@param(input, dict)">),
    py::oneArg<"dumpToDict", SpriteComponent_dumpToDict, "level">(
        py::doc<"@param(level, Level)", "@returns(dict)">),
};

static const py::Member spriteComponentMembers[] = {
    py::member<&SpriteComponent::sprite>("_sprite")
        .readwrite("sprite")
        .undeletable()
        .exposed()
        .typed<&Sprite::type>(),
    py::member<&SpriteComponent::shadeless>("_shadeless").readwrite("shadeless").exposed(),
    py::member<&SpriteComponent::blendMode>("_blendMode").exposed(),
    py::member<&SpriteComponent::zOffset>("_zOffset").readwrite("zOffset").exposed(),
    py::member<&SpriteComponent::scale>("_scale").readwrite("scale").exposed(),
    py::member<&SpriteComponent::dist>("_dist").exposed(),
    py::member<&SpriteComponent::currentAnimation>("_currentAnimation")
        .exposed()
        .typed<&SpriteAnimation::type>(),
    py::member<&SpriteComponent::animationPercentage>("_animationPercentage")
        .readwrite("animationPercentage")
        .exposed(),
    py::member<&SpriteComponent::currentMinFrame>("_currentMinFrame").exposed(),
    py::member<&SpriteComponent::currentMaxFrame>("_currentMaxFrame").exposed(),
    py::member<&SpriteComponent::currentDirections>("_currentDirections").exposed(),
    py::member<&SpriteComponent::animationSpeed>("_animationSpeed").exposed(),
    py::member<&SpriteComponent::angleToCam>("_angleToCam").exposed(),
};

static const PyGetSetDef spriteComponentProperties[] = {
    py::property<SpriteComponent_getBlendMode, SpriteComponent_setBlendMode>("blendMode"),
    py::property<SpriteComponent_getCurrentAnimation, SpriteComponent_setCurrentAnimation>(
        "currentAnimation"),
    py::property<SpriteComponent_getCurrentAnimationKey, SpriteComponent_setCurrentAnimationKey>(
        "currentAnimationKey"),
};

py::ClassDef& spriteComponentClass() {
    return py::define<SpriteComponent>(
        "SpriteComponent", {.members = spriteComponentMembers,
                            .init = py::init<SpriteComponent_init, "sprite=None", "shadeless=False",
                                             "zOffset=0.0", "scale=1.0", "blendMode=0">,
                            .methods = spriteComponentMethods,
                            .properties = spriteComponentProperties,
                            .checksum = 0x81c6caf});
}
