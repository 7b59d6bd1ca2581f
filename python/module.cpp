// The extension module asciify._asciify, on which the package asciify is built.
#include <pybind11/pybind11.h>

#include "asciify/version.h"
#include "python/bindings.h"

PYBIND11_MODULE(_asciify, m) {
  m.doc() = "The asciify library's reader, converter and packer (used by the package asciify).";
  m.attr("version") = ASCIIFY_VERSION;
  asciify::python::add_reader(m);
  asciify::python::add_writers(m);
}
