// UIImage: its size from the texture or the constructor, and the scaled drawing.
#include "ui/image.hpp"

#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"
#include "resources/texture.hpp"
#include "resources/texture/drawing.hpp"
#include "ui/draw.hpp"
#include "ui/widgetRenderer.hpp"

#include <algorithm>

namespace {

py::Name nSizeFixed("SIZE_FIXED");
py::Name nWidth("width");
py::Name nHeight("height");

// A size given as a number, or else the texture's (AttributeError for no texture).
bool sizeFrom(PyObject* given, PyObject* texture, py::Name& name, int32_t& out) {
    if (given && given != Py_None) return py::toInt32(given, out);
    py::Ref size = py::getAttr(texture, name);
    return size && py::toInt32(size.get(), out);
}

} // namespace

static int UIImage_init(PyObject* self, py::Arguments<3>& a) {
    if (!py::checkArgument(a[0], Texture::type, "texture", true) ||
        !initAsBase(UIWidget::type, self))
        return -1;
    UIImage* image = py::cast<UIImage>(self);
    py::assign(image->texture, a[0]);
    py::Ref fixed = py::moduleGlobal(nSizeFixed);
    if (!fixed || !py::toInt32(fixed.get(), image->sizePolicyX) ||
        !py::toInt32(fixed.get(), image->sizePolicyY) ||
        !sizeFrom(a[1], a[0], nWidth, image->width) ||
        !sizeFrom(a[2], a[0], nHeight, image->height))
        return -1;
    image->alpha = 255;
    return 0;
}

static PyObject* UIImage_getTexture(PyObject* self, void*) {
    return py::newRef(py::cast<UIImage>(self)->texture);
}

// A texture resizes the widget to its own size. No texture is refused before anything
// changes: the widget would have no size to take.
static int UIImage_setTexture(PyObject* self, PyObject* value, void*) {
    if (!value) return py::deleteRefused();
    if (value != Py_None && !isTexture(value))
        return py::argumentTypeError("texture", Texture::type, value);
    if (value == Py_None) {
        py::Ref width = py::getAttr(value, nWidth); // the AttributeError of None
        return -1;
    }
    UIImage* image = py::cast<UIImage>(self);
    py::assign(image->texture, value);
    return sizeFrom(nullptr, value, nWidth, image->width) &&
                   sizeFrom(nullptr, value, nHeight, image->height)
               ? 0
               : -1;
}

static PyObject* UIImage_getAlpha(PyObject* self, void*) {
    return PyLong_FromLong(py::cast<UIImage>(self)->alpha);
}

static int UIImage_setAlpha(PyObject* self, PyObject* value, void*) {
    if (!value) return py::deleteRefused();
    int32_t alpha;
    if (!py::toInt32(value, alpha)) return -1;
    py::cast<UIImage>(self)->alpha = std::clamp(alpha, 0, 255);
    return 0;
}

// The whole texture stretched over the widget's own rectangle (not the clipped one, so
// the picture keeps its scale) and cut to the clipped rectangle. The opacity is set on
// the texture's surface for the draw only: the texture may be drawn elsewhere too.
static bool drawImage(PyObject* self, ClipValues clip) {
    UIImage* image = py::cast<UIImage>(self);
    if (!image->isVisible) return true;
    layout::Rect area = image->ops->getClippedRect(image, clip);
    if (area.w <= 0 || area.h <= 0) return true;
    int ready = readyToDraw(image);
    if (ready <= 0) return ready == 0;
    py::Ref texture = py::Ref::borrow(image->texture);
    if (texture.get() == Py_None) return true; // nothing to show
    py::Ref renderer = py::Ref::borrow(image->renderer);
    py::Ref target = rendererTarget(renderer.get());
    if (!target) return false;
    ClipScope clipped(target.get(), area);
    SDL_Surface* picture = textureSurface(texture.get());
    SDL_Surface* destination = picture ? textureSurface(target.get()) : nullptr;
    if (!destination) return false;
    Uint8 previous = 255;
    SDL_GetSurfaceAlphaMod(picture, &previous);
    SDL_SetSurfaceAlphaMod(picture, Uint8(image->alpha));
    drawSurfaceScaled(destination, picture, {0, 0, picture->w, picture->h},
                      {image->x, image->y, image->width, image->height});
    SDL_SetSurfaceAlphaMod(picture, previous);
    return true;
}

static walk::Step UIImage_renderStep(UIWidget* self, ClipValues clip) {
    return drawImage(py::asObject(self), clip);
}

static UIWidgetOps makeImageTable() {
    UIWidgetOps table{UIWidget::table};
    table.render = UIImage_renderStep;
    return table;
}

const UIWidgetOps UIImage::table = makeImageTable();

static const PyMethodDef uiImageMethods[] = {
    renderMethod<drawImage>(py::doc<"Renders the image.">),
};

static const py::Member uiImageMembers[] = {
    py::member<&UIImage::texture>().typed<&Texture::type>(),
    py::member<&UIImage::alpha>(),
};

static const PyGetSetDef uiImageProperties[] = {
    py::property<UIImage_getTexture, UIImage_setTexture>("texture"),
    py::property<UIImage_getAlpha, UIImage_setAlpha>("alpha"),
};

py::ClassDef& uiImageClass() {
    return py::define<UIImage>(
        "UIImage", {.doc = py::classDoc<"A UIImage can be used to display images.">,
                    .members = uiImageMembers,
                    .init = py::init<UIImage_init, "texture", "width=None", "height=None">,
                    .methods = uiImageMethods,
                    .properties = uiImageProperties,
                    .initDoc = py::doc<"@param(parent, UIContainer)", "@param(texture, Texture)",
                                       "@param(width, int | None)", "@param(height, int | None)">});
}
