// The parts of the module asciify._asciify, each added by its own file.
#pragma once

#include <pybind11/pybind11.h>

namespace asciify::python {

// The class Reader: a reader of a file name, of bytes in memory or of a Python file object.
void add_reader(pybind11::module_& m);

// The classes Converter and Packer: the two programs fed piece by piece from Python.
void add_writers(pybind11::module_& m);

}  // namespace asciify::python
