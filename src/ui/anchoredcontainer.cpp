// UIAnchoredContainer: addChild records where the child goes, the position pass
// places every recorded child, removeChild drops the record with the child.
#include "ui/anchoredcontainer.hpp"

#include "py/args.hpp"
#include "py/cast.hpp"
#include "py/methods.hpp"
#include "py/module.hpp"

namespace {

py::Name nSizeGrow("SIZE_GROW");
py::Name nSetParent("_setParent");

// The defaults of addChild's anchors: ANCHOR_LEFT and ANCHOR_TOP as the import found them.
int32_t defaultAnchorX = layout::left;
int32_t defaultAnchorY = layout::top;

std::vector<AnchorRecord>& recordsOf(PyObject* object) {
    return py::cast<UIAnchoredContainer>(object)->native.records;
}

} // namespace

// --- the table -------------------------------------------------------------------------

static walk::Step UIAnchoredContainer_calculatePos(UIWidget* self) {
    // No Python code runs while the records are placed.
    for (const AnchorRecord& record : recordsOf(py::asObject(self))) {
        UIWidget* c = py::cast<UIWidget>(record.child.get());
        c->x = layout::add(self->x,
                           layout::anchored(record.anchorTypeX, layout::Axis::x, self->width,
                                            record.x, c->marginLeft, c->marginRight, c->width));
        c->y = layout::add(self->y,
                           layout::anchored(record.anchorTypeY, layout::Axis::y, self->height,
                                            record.y, c->marginTop, c->marginBottom, c->height));
    }
    return AbstractUIContainer::table.calculatePos(self);
}

static UIWidgetOps makeAnchoredTable() {
    UIWidgetOps table = containerTable();
    table.calculatePos = UIAnchoredContainer_calculatePos;
    return table;
}

const UIWidgetOps UIAnchoredContainer::table = makeAnchoredTable();

// --- construction and methods -------------------------------------------------------------

static int UIAnchoredContainer_init(PyObject* self, PyObject* args, PyObject* kwargs) {
    if (AbstractUIContainer::type->tp_init(self, args, kwargs) < 0) return -1;
    UIWidget* widget = py::cast<UIWidget>(self);
    py::Ref grow = py::moduleGlobal(nSizeGrow);
    return grow && py::toInt32(grow.get(), widget->sizePolicyX) &&
                   py::toInt32(grow.get(), widget->sizePolicyY)
               ? 0
               : -1;
}

static PyObject* UIAnchoredContainer_addChild(PyObject* self, py::Arguments<5>& a) {
    AnchorRecord record{py::Ref::borrow(a[0]), 0, 0, defaultAnchorX, defaultAnchorY};
    if (!py::toInt32(a[1], record.x) || !py::toInt32(a[2], record.y) ||
        (a[3] && !py::toInt32(a[3], record.anchorTypeX)) ||
        (a[4] && !py::toInt32(a[4], record.anchorTypeY)) ||
        !py::checkArgument(a[0], UIWidget::type, "child"))
        return nullptr;
    // A child added again keeps its place and its record.
    py::Ref children = py::Ref::borrow(py::cast<AbstractUIContainer>(self)->children);
    int present = PySequence_Contains(children.get(), a[0]);
    if (present != 0) return present < 0 ? nullptr : py::newRef(Py_None);
    if (!refuseCycle(self, a[0])) return nullptr;
    std::vector<AnchorRecord>& records = recordsOf(self);
    records.push_back(std::move(record));
    if (!py::append(children.get(), a[0])) {
        records.pop_back(); // nothing ran in between: it is still the last one
        return nullptr;
    }
    return py::noneOrFailed(bool(py::callMethod(a[0], nSetParent, self)));
}

// Drops the first record whose child equals `child`. The comparisons may run Python
// code that changes the records, so they compare a snapshot and the record then goes
// by identity.
static bool dropRecord(PyObject* self, PyObject* child) {
    std::vector<py::Ref> recorded;
    for (const AnchorRecord& record : recordsOf(self))
        recorded.push_back(py::Ref::borrow(record.child.get()));
    PyObject* match = nullptr;
    for (const py::Ref& candidate : recorded) {
        int equal = PyObject_RichCompareBool(candidate.get(), child, Py_EQ);
        if (equal < 0) return false;
        if (equal) {
            match = candidate.get();
            break;
        }
    }
    std::vector<AnchorRecord>& records = recordsOf(self);
    for (auto record = records.begin(); match && record != records.end(); ++record) {
        if (record->child.get() != match) continue;
        py::Ref dropped = std::move(record->child); // released once the list is whole again
        records.erase(record);
        break;
    }
    return true;
}

static PyObject* UIAnchoredContainer_removeChild(PyObject* self, PyObject* child) {
    if (!py::checkArgument(child, UIWidget::type, "child")) return nullptr;
    return py::noneOrFailed(dropRecord(self, child) && removeFromChildren(self, child));
}

static PyObject* UIAnchoredContainer_removeAllChildren(PyObject* self, PyObject*) {
    py::Ref children = py::Ref::borrow(py::cast<AbstractUIContainer>(self)->children);
    if (PyList_Check(children.get()) &&
        PyList_SetSlice(children.get(), 0, PY_SSIZE_T_MAX, nullptr) < 0)
        return nullptr;
    std::vector<AnchorRecord> dropped;
    dropped.swap(recordsOf(self)); // released once the records are empty
    Py_RETURN_NONE;
}

// The records hold their children as the child list does.
static int UIAnchoredContainer_visitRecords(PyObject* self, visitproc visit, void* arg) {
    for (const AnchorRecord& record : recordsOf(self))
        Py_VISIT(record.child.get());
    return 0;
}

static void UIAnchoredContainer_dropRecords(PyObject* self) {
    std::vector<AnchorRecord> dropped;
    dropped.swap(recordsOf(self));
}

static const PyMethodDef uiAnchoredContainerMethods[] = {
    // The anchors' defaults are ANCHOR_LEFT and ANCHOR_TOP.
    py::withKeywords<"addChild", UIAnchoredContainer_addChild, "child", "x", "y", "anchorTypeX=0",
                     "anchorTypeY=2">(
        py::doc<"@param(child, UIWidget)", "@param(x, int)", "@param(y, int)",
                "@param(anchorTypeX, int)", "@param(anchorTypeY, int)">),
    py::oneArg<"removeChild", UIAnchoredContainer_removeChild, "child">(
        py::doc<"@param(child, UIWidget)">),
    py::noArgs<"removeAllChildren", UIAnchoredContainer_removeAllChildren>(),
};

py::ClassDef& uiAnchoredContainerClass() {
    return py::define<UIAnchoredContainer>("UIAnchoredContainer",
                                           {.init = UIAnchoredContainer_init,
                                            .methods = uiAnchoredContainerMethods,
                                            .visitNative = UIAnchoredContainer_visitRecords,
                                            .clearNative = UIAnchoredContainer_dropRecords});
}

// --- _UIAnchorWrapper ---------------------------------------------------------------------

static const py::Member uiAnchorWrapperMembers[] = {
    py::member<&UIAnchorWrapper::child>().typed<&UIWidget::type>(),
    py::member<&UIAnchorWrapper::x>(),
    py::member<&UIAnchorWrapper::y>(),
    py::member<&UIAnchorWrapper::anchorTypeX>(),
    py::member<&UIAnchorWrapper::anchorTypeY>(),
};

// Stores the arguments in field order, each by its field's rule.
static int UIAnchorWrapper_init(PyObject* self, py::Arguments<5>& a) {
    for (size_t i = 0; i < 5; ++i)
        if (uiAnchorWrapperMembers[i].set(self, a[i], nullptr) < 0) return -1;
    return 0;
}

py::ClassDef& uiAnchorWrapperClass() {
    return py::define<UIAnchorWrapper>(
        "_UIAnchorWrapper",
        {.members = uiAnchorWrapperMembers,
         .init = py::init<UIAnchorWrapper_init, "child", "x", "y", "anchorTypeX", "anchorTypeY">});
}

// --- the module-level statements ----------------------------------------------------------

static bool anchoredContainerStatements() {
    if (!py::bindInt("ANCHOR_LEFT", layout::left) || !py::bindInt("ANCHOR_RIGHT", layout::right) ||
        !py::bindInt("ANCHOR_TOP", layout::top) || !py::bindInt("ANCHOR_BOTTOM", layout::bottom) ||
        !py::bindInt("ANCHOR_CENTER", layout::centre))
        return false;
    py::Ref left = py::moduleGlobal("ANCHOR_LEFT");
    py::Ref top = left ? py::moduleGlobal("ANCHOR_TOP") : py::Ref();
    return top && py::toInt32(left.get(), defaultAnchorX) && py::toInt32(top.get(), defaultAnchorY);
}

const py::Segment anchoredContainerSegment{anchoredContainerStatements};
