// The converter and the packer as Python classes fed piece by piece: the library works without
// the interpreter lock and takes it back to hand its output to a Python write callable. The
// messages are kept for the caller to print.
#include <pybind11/stl.h>

#include <cerrno>
#include <string>
#include <utility>
#include <vector>

#include "asciify/converter.h"
#include "asciify/packer.h"
#include "input/input_stream.h"
#include "python/bindings.h"

namespace asciify::python {
namespace {

namespace py = pybind11;

// Output handed to a Python callable, and the exception it raised, if any.
struct python_output {
  py::object write;
  py::object error = py::none();
};

size_t write_to_python(void* context, const char* data, size_t size, int* error) {
  auto* output = static_cast<python_output*>(context);
  py::gil_scoped_acquire lock;
  try {
    // A view of the buffer, not a copy of it (a copy of each megabyte costs more than the
    // writing); released after the call, so that a writer that kept it cannot read the
    // buffer's later contents.
    py::memoryview view = py::memoryview::from_memory(data, static_cast<py::ssize_t>(size));
    output->write(view);
    view.attr("release")();
    return size;
  } catch (py::error_already_set& e) {
    output->error = e.value();
    *error = EIO;
    return 0;
  }
}

// The messages of a run, in order: whether each is an error (else a note), and its text.
struct message_list {
  std::vector<std::pair<bool, std::string>> messages;
};

void keep_message(void* context, message_kind kind, const char* text, size_t size) {
  static_cast<message_list*>(context)->messages.emplace_back(kind == message_kind::error,
                                                             std::string(text, size));
}

// The bytes of a Python bytes-like object, for the time of a call.
std::string_view bytes_of(const py::buffer_info& view) {
  return {static_cast<const char*>(view.ptr), static_cast<size_t>(view.size * view.itemsize)};
}

class python_converter {
 public:
  python_converter(const std::string& input_name, const std::string& output_name, bool quiet,
                   py::object write)
      : output_{std::move(write)} {
    convert_options options;
    options.input_name = input_name;
    options.output_name = output_name;
    options.quiet = quiet;
    converter_ = make_converter(options, {write_to_python, nullptr, nullptr, &output_},
                                {keep_message, &messages_});
  }
  bool feed(const py::buffer& piece) {
    const py::buffer_info view = piece.request();
    const std::string_view bytes = bytes_of(view);
    py::gil_scoped_release release;
    return convert_bytes(*converter_, bytes.data(), bytes.size());
  }
  int finish(const std::optional<std::string>& read_failure) {
    py::gil_scoped_release release;
    return finish_converting(*converter_, read_failure ? read_failure->c_str() : nullptr);
  }
  // The messages given since the last call.
  std::vector<std::pair<bool, std::string>> take_messages() {
    return std::exchange(messages_.messages, {});
  }
  py::tuple report() const {
    const convert_report& r = converting_report(*converter_);
    return py::make_tuple(r.lines_written, r.failure_message, r.failure_input_byte);
  }
  py::object write_error() const { return output_.error; }

 private:
  python_output output_;
  message_list messages_;
  converter_ptr converter_;
};

byte_order order_named(const std::string& name) {
  if (name == "native") return native_byte_order();
  if (name == "little") return byte_order::little;
  if (name == "big") return byte_order::big;
  throw py::value_error("byte_order must be \"native\", \"little\" or \"big\", not \"" + name +
                        "\"");
}

class python_packer {
 public:
  python_packer(const std::string& order, py::object write) : output_{std::move(write)} {
    pack_options options;
    options.order = order_named(order);
    packer_ = make_packer(options, {write_to_python, nullptr, nullptr, &output_});
  }
  bool feed(const py::buffer& piece) {
    const py::buffer_info view = piece.request();
    const std::string_view bytes = bytes_of(view);
    py::gil_scoped_release release;
    return pack_bytes(*packer_, bytes.data(), bytes.size());
  }
  bool finish() {
    py::gil_scoped_release release;
    return finish_packing(*packer_);
  }
  py::dict report() const;
  py::object write_error() const { return output_.error; }

 private:
  python_output output_;
  packer_ptr packer_;
};

const char* refusal_text(refusal why) {
  switch (why) {
    case refusal::zero_byte:
      return "holds a zero byte";
    case refusal::no_end_of_line:
      return "is the last line and has no end-of-line byte";
    case refusal::too_long:
    case refusal::none:
      break;
  }
  return "is too long for one record";
}

py::dict python_packer::report() const {
  const pack_report& r = packing_report(*packer_);
  py::dict d;
  d["lines_in"] = r.lines_in;
  d["bytes_out"] = r.bytes_out;
  d["refused_line"] = r.refused_line;
  d["refused_marker"] = r.refused_marker;
  d["refused_because"] = refusal_text(r.refused_because);
  d["extended_line"] = r.extended_line;
  d["long_line"] = r.extended_because == extension::long_line;
  return d;
}

// A named file read as binify reads it: decompressed when it is a gzip, xz or zstd file.
class python_decompressed {
 public:
  explicit python_decompressed(const std::string& name) : name_(name) {
    input_opening opening = open_input_file(name.c_str());
    if (opening.stream == nullptr) raise_os_error(opening.system_error, opening.reason);
    input_ = std::move(opening.stream);
  }
  // Fills the buffer as far as the file goes: the count, 0 at its end.
  size_t readinto(const py::buffer& buffer) {
    const py::buffer_info view = buffer.request(true);
    size_t got = 0;
    {
      py::gil_scoped_release release;
      got = read_input(*input_, static_cast<uint8_t*>(view.ptr),
                       static_cast<size_t>(view.size * view.itemsize));
    }
    if (got == 0 && input_failed(*input_)) raise_os_error(0, input_failure_reason(*input_));
    return got;
  }

 private:
  // OSError(errno, reason, name), the subclass of the errno; no errno for damaged data.
  [[noreturn]] void raise_os_error(int error_number, const std::string& reason) const {
    const py::object number = error_number != 0 ? py::object(py::int_(error_number)) : py::none();
    const py::tuple arguments = py::make_tuple(number, reason, name_);
    PyErr_SetObject(PyExc_OSError, arguments.ptr());
    throw py::error_already_set();
  }
  std::string name_;
  input_handle input_;
};

}  // namespace

void add_writers(py::module_& m) {
  py::class_<python_converter>(m, "Converter")
      .def(py::init<const std::string&, const std::string&, bool, py::object>())
      .def("feed", &python_converter::feed)
      .def("finish", &python_converter::finish)
      .def("take_messages", &python_converter::take_messages)
      .def("report", &python_converter::report)
      .def("write_error", &python_converter::write_error);
  py::class_<python_packer>(m, "Packer")
      .def(py::init<const std::string&, py::object>())
      .def("feed", &python_packer::feed)
      .def("finish", &python_packer::finish)
      .def("report", &python_packer::report)
      .def("write_error", &python_packer::write_error);
  py::class_<python_decompressed>(m, "Decompressed")
      .def(py::init<const std::string&>())
      .def("readinto", &python_decompressed::readinto);
}

}  // namespace asciify::python
