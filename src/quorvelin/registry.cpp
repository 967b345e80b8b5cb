// The registration order of the module's classes: the source files in their fixed
// order, every base before its subclasses. Adding a class adds its row here.
#include "quorvelin/registry.hpp"

#include "collision.hpp"
#include "events.hpp"
#include "geometryMath.hpp"
#include "gui.hpp"
#include "quorvelin.hpp"
#include "raycaster.hpp"
#include "renderer.hpp"
#include "resources.hpp"
#include "resources/entity.hpp"
#include "resources/font.hpp"
#include "resources/level.hpp"
#include "resources/motionComponents.hpp"
#include "resources/sound.hpp"
#include "resources/sprite.hpp"
#include "resources/texture.hpp"
#include "ui/abstractcontainer.hpp"
#include "ui/anchoredcontainer.hpp"
#include "ui/button.hpp"
#include "ui/image.hpp"
#include "ui/listcontainer.hpp"
#include "ui/panel.hpp"
#include "ui/scrollpanel.hpp"
#include "ui/slider.hpp"
#include "ui/text.hpp"
#include "ui/theme.hpp"
#include "ui/widget.hpp"

namespace {

// Every base precedes its subclasses.
constexpr py::ClassDefinition registrationOrder[] = {
    // src/events
    eventClass,
    keyEventClass,
    mouseClickEventClass,
    mouseWheelEventClass,
    fullscreenEventClass,
    joystickClass,
    joystickAddedEventClass,
    // src/geometryMath
    vector2Class,
    // src/resources
    resourceClass,
    // src/resources/texture
    textureClass,
    // src/resources/entity
    spriteAnimationClass,
    spriteClass,
    spriteComponentClass,
    entityClass,
    positionComponentClass,
    velocityComponentClass,
    rotationComponentClass,
    collisionComponentClass,
    ecsClass,
    abstractSystemClass,
    // src/resources/font
    fontClass,
    // src/resources/level
    levelClass,
    // src/resources/sound
    soundHandleClass,
    soundClass,
    musicStoppedEventClass,
    musicClass,
    // src/collision
    collisionEventClass,
    collisionBodySystemClass,
    movementSystemClass,
    // src/renderer
    rendererClass,
    // src/raycaster
    cameraClass,
    raycastingRendererClass,
    // src/gui, src/ui/theme, src/ui/widget
    uiThemeClass,
    uiRendererClass,
    uiWidgetClass,
    // src/ui/abstractcontainer
    abstractUIContainerClass,
    // src/ui/listcontainer
    uiListContainerClass,
    // src/ui/anchoredcontainer
    uiAnchorWrapperClass,
    uiAnchoredContainerClass,
    // src/ui/text
    uiTextClass,
    // src/ui/button
    buttonClickEventClass,
    uiButtonClass,
    // src/ui/image
    uiImageClass,
    // src/ui/panel
    uiPanelClass,
    // src/ui/slider
    sliderValueChangedEventClass,
    uiSliderClass,
    // src/ui/scrollpanel
    uiScrollPanelClass,
    // src/quorvelin
    engineClass,
};

} // namespace

std::span<const py::ClassDefinition> registeredClasses() {
    return registrationOrder;
}
