#include "py/sequence.hpp"

#include "py/call.hpp"

namespace py {

Py_ssize_t indexIn(PyObject* list, PyObject* item) {
    bool itemByIdentity = comparesByIdentity(Py_TYPE(item));
    // The size is read again for every element: a Python comparison may change the list.
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(list); ++i) {
        PyObject* element = PyList_GET_ITEM(list, i);
        if (element == item) return i;
        if (itemByIdentity && comparesByIdentity(Py_TYPE(element))) continue;
        Ref held = Ref::borrow(element); // the comparison may drop it from the list
        int equal = PyObject_RichCompareBool(element, item, Py_EQ);
        if (equal != 0) return equal < 0 ? -2 : i;
    }
    return -1;
}

int contains(PyObject* sequence, PyObject* item) {
    if (!PyList_CheckExact(sequence)) return PySequence_Contains(sequence, item);
    Ref held = Ref::borrow(sequence);
    Py_ssize_t index = indexIn(sequence, item);
    return index == -2 ? -1 : index >= 0;
}

int removeFirst(PyObject* sequence, PyObject* item) {
    Ref held = Ref::borrow(sequence);
    if (PyList_CheckExact(sequence)) {
        Py_ssize_t index = indexIn(sequence, item);
        if (index < 0) return index == -1 ? 0 : -1;
        return PyList_SetSlice(sequence, index, index + 1, nullptr) < 0 ? -1 : 1;
    }
    int present = PySequence_Contains(sequence, item);
    if (present <= 0) return present;
    static Name removeName("remove");
    return callMethod(sequence, removeName, item) ? 1 : -1;
}

} // namespace py
