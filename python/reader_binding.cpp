// The reader as a Python class: lines in blocks, items one at a time, runs of one layout as
// numpy arrays. Every call into the library runs without the interpreter lock; a reader that
// reads a Python file object takes the lock back only to call its readinto.
#include <pybind11/numpy.h>
#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "asciify/reader.h"
#include "python/bindings.h"
#include "read/next_text.h"

namespace asciify::python {
namespace {

namespace py = pybind11;

// Text as Python sees it: UTF-8, with any other byte kept as a lone surrogate (as os.fsdecode).
py::str text_of(std::string_view text) {
  PyObject* s =
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
  if (s == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(s);
}

// Whether every byte is below 0x80: then each byte is its character.
bool is_ascii(std::string_view text) {
  uint64_t high = 0;
  size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + i, sizeof word);
    high |= word;
  }
  for (; i < text.size(); ++i) high |= static_cast<unsigned char>(text[i]);
  return (high & 0x8080808080808080u) == 0;
}

// A new str of ASCII text (what text_of gives for it), made without decoding.
PyObject* ascii_text_of(std::string_view text) {
  PyObject* s = PyUnicode_New(static_cast<Py_ssize_t>(text.size()), 127);
  if (s == nullptr) throw py::error_already_set();
  std::memcpy(PyUnicode_DATA(s), text.data(), text.size());
  return s;
}

// Lines handed over per call: enough that the lock is taken rarely.
constexpr size_t kBlockLines = 4096;
constexpr size_t kBlockBytes = size_t{1} << 18;

// A Python file object read through its readinto, and the exception that raised, if any.
struct stream_source {
  py::object readinto;
  py::object error = py::none();
};

// Raises `error`, an exception a Python call raised.
[[noreturn]] void raise_again(const py::object& error) {
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
  throw py::error_already_set();
}

class python_reader {
 public:
  python_reader(reader_opening opening, const std::string& name) {
    if (opening.reader == nullptr) raise_opening(opening, name);
    reader_ = std::move(opening.reader);
  }
  python_reader(const python_reader&) = delete;
  python_reader& operator=(const python_reader&) = delete;

  // The source a reader of memory or of a file object reads; kept alive with the reader.
  void keep(py::object source, std::unique_ptr<py::buffer_info> view) {
    source_ = std::move(source);
    view_ = std::move(view);
  }

  void keep_stream(std::unique_ptr<stream_source> stream) { stream_ = std::move(stream); }
  // The Python exception the file object's readinto raised, if any.
  py::object stream_error() const { return stream_ ? stream_->error : py::none(); }

  py::list next_lines();
  py::object next_item();
  py::object next_batch(int64_t max_rows);
  py::list tables(int64_t max_rows);
  py::object error() const;
  py::tuple progress() const;
  void close() {
    check_idle();
    reader_.reset();
    stream_.reset();
    view_.reset();
    source_ = py::none();
  }

 private:
  [[noreturn]] static void raise_opening(const reader_opening& opening, const std::string& name);
  reader& open_reader() const {
    if (reader_ == nullptr) throw py::value_error("the reader is closed");
    return *reader_;
  }
  void check_idle() const {
    if (busy_) throw std::runtime_error("the reader is in use by another thread");
  }
  // Runs `read` on the reader without the interpreter lock; one thread at a time.
  template <typename F>
  auto unlocked(F read) {
    check_idle();
    reader& r = open_reader();
    busy_ = true;
    struct idle_again {
      bool& busy;
      ~idle_again() { busy = false; }
    } again{busy_};
    py::gil_scoped_release release;
    return read(r);
  }

  // Released after the reader that reads them.
  py::object source_ = py::none();
  std::unique_ptr<py::buffer_info> view_;
  std::unique_ptr<stream_source> stream_;
  reader_ptr reader_;
  bool busy_ = false;
  std::string block_;  // the texts of a block of lines, one after the other
  std::vector<size_t> ends_;
};

void python_reader::raise_opening(const reader_opening& opening, const std::string& name) {
  // OSError(errno, reason, name) becomes the subclass for the errno (FileNotFoundError, ...).
  py::object error_number =
      opening.system_error != 0 ? py::object(py::int_(opening.system_error)) : py::none();
  py::tuple arguments = py::make_tuple(error_number, opening.reason, name);
  PyErr_SetObject(PyExc_OSError, arguments.ptr());
  throw py::error_already_set();
}

py::list python_reader::next_lines() {
  unlocked([this](reader& r) {
    block_.clear();
    ends_.clear();
    while (ends_.size() < kBlockLines && block_.size() < kBlockBytes) {
      const line_item* item = asciify::next_text_item(r);
      if (item == nullptr) break;
      block_.append(item->text);
      ends_.push_back(block_.size());
    }
    return 0;
  });
  py::list lines(ends_.size());
  size_t begin = 0;
  const bool ascii = is_ascii(block_);
  for (size_t i = 0; i < ends_.size(); ++i) {
    const std::string_view text = std::string_view(block_).substr(begin, ends_[i] - begin);
    // Set in the list as made: PyList_SET_ITEM takes the new reference.
    PyList_SET_ITEM(lines.ptr(), static_cast<Py_ssize_t>(i),
                    ascii ? ascii_text_of(text) : text_of(text).release().ptr());
    begin = ends_[i];
  }
  return lines;
}

py::object value_of(const field_value& field) {
  switch (field.type) {
    case value_type::int32:
    case value_type::int64:
      return py::int_(field.integer);
    case value_type::real32:
    case value_type::real64:
      return py::float_(field.real);
    case value_type::string:
      break;
  }
  return text_of(field.text);
}

py::object python_reader::next_item() {
  const line_item* item = unlocked([](reader& r) { return asciify::next_item(r); });
  if (item == nullptr) return py::none();
  py::object values = py::none();
  if (item->kind == item_kind::data_record) {
    py::tuple fields(item->fields.size());
    for (size_t i = 0; i < item->fields.size(); ++i) fields[i] = value_of(item->fields[i]);
    values = fields;
  }
  return py::make_tuple(static_cast<int>(item->kind), text_of(item->text), item->line_number,
                        item->input_byte, item->format_code, values);
}

template <typename T>
py::array numbers_of(const batch_column& column, int64_t rows) {
  py::array_t<T> values(static_cast<py::ssize_t>(rows));
  std::memcpy(values.mutable_data(), column.values, static_cast<size_t>(rows) * sizeof(T));
  return values;
}

// A string field as a numpy array of byte strings as wide as its longest value.
py::array strings_of(const batch_column& column, int64_t rows) {
  uint32_t width = 1;
  for (int64_t r = 0; r < rows; ++r)
    width = std::max(width, column.offsets[r + 1] - column.offsets[r]);
  py::array strings(py::dtype("S" + std::to_string(width)),
                    std::vector<py::ssize_t>{static_cast<py::ssize_t>(rows)});
  char* out = static_cast<char*>(strings.mutable_data());
  std::memset(out, 0, static_cast<size_t>(rows) * width);
  for (int64_t r = 0; r < rows; ++r) {
    std::memcpy(out + r * width, column.chars + column.offsets[r],
                column.offsets[r + 1] - column.offsets[r]);
  }
  return strings;
}

py::array column_of(const batch_column& column, int64_t rows) {
  switch (column.type) {
    case value_type::int32:
      return numbers_of<int32_t>(column, rows);
    case value_type::int64:
      return numbers_of<int64_t>(column, rows);
    case value_type::real32:
      return numbers_of<float>(column, rows);
    case value_type::real64:
      return numbers_of<double>(column, rows);
    case value_type::string:
      break;
  }
  return strings_of(column, rows);
}

py::object python_reader::next_batch(int64_t max_rows) {
  if (max_rows < 1) throw py::value_error("max_rows must be at least 1");
  const record_batch* batch =
      unlocked([max_rows](reader& r) { return asciify::next_batch(r, max_rows); });
  if (batch == nullptr) return py::none();
  py::list columns;
  for (const batch_column& column : batch->columns) columns.append(column_of(column, batch->rows));
  py::bytes layout(reinterpret_cast<const char*>(batch->layout.data()), batch->layout.size());
  return py::make_tuple(layout, batch->rows, columns, batch->first_line, batch->first_input_byte,
                        text_of(batch->heading));
}

// A block of memory that is handed to numpy: mapped or from the allocator.
struct owned_block {
  void* data = nullptr;
  size_t capacity = 0;
  bool mapped = false;
};

void free_block(const owned_block& block) {
#ifdef __linux__
  if (block.mapped) {
    munmap(block.data, block.capacity);
    return;
  }
#endif
  std::free(block.data);
}

#ifdef __linux__
size_t page_size() {
  static const size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return size;
}

size_t whole_pages(size_t bytes) {
  return (bytes + page_size() - 1) / page_size() * page_size();
}
#endif

// The block with room for `capacity` bytes, its first `used` kept. On Linux a large block is a
// mapping of its own, which grows without its bytes being copied (mremap); from the allocator
// it would be copied at each doubling into fresh heap pages, all faulted in anew.
owned_block grown_block(const owned_block& block, size_t used, size_t capacity) {
#ifdef __linux__
  constexpr size_t kMappedFrom = size_t{1} << 20;
  if (capacity >= kMappedFrom) {
    void* data = block.mapped ? mremap(block.data, block.capacity, capacity, MREMAP_MAYMOVE)
                              : mmap(nullptr, capacity, PROT_READ | PROT_WRITE,
                                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (data == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_POPULATE_WRITE
    // The new room is written next: its pages at once cost less than a fault for each.
    const size_t kept = block.mapped ? block.capacity : 0;
    const size_t page_start = whole_pages(kept);
    if (page_start < capacity) {
      madvise(static_cast<char*>(data) + page_start, capacity - page_start, MADV_POPULATE_WRITE);
    }
#endif
    if (!block.mapped) {
      if (used > 0) std::memcpy(data, block.data, used);
      std::free(block.data);
    }
    return {data, capacity, true};
  }
#endif
  void* data = std::realloc(block.data, capacity);
  if (data == nullptr) throw std::bad_alloc();
  return {data, capacity, false};
}

// The block cut down to the pages of its first `used` bytes: the room grown beyond them, its
// pages written in advance, is given back.
owned_block trimmed_block(const owned_block& block, size_t used) {
#ifdef __linux__
  const size_t pages = std::max(whole_pages(used), page_size());
  if (block.mapped && pages < block.capacity &&
      mremap(block.data, block.capacity, pages, 0) != MAP_FAILED) {
    return {block.data, pages, true};
  }
#endif
  return block;
}

// Bytes appended at the end of a block that grows by doubling, and then handed over whole.
class grown_bytes {
 public:
  grown_bytes() = default;
  grown_bytes(grown_bytes&& other) noexcept
      : block_(std::exchange(other.block_, {})), size_(std::exchange(other.size_, 0)) {}
  grown_bytes& operator=(grown_bytes&&) = delete;
  ~grown_bytes() { free_block(block_); }

  void append(const void* bytes, size_t count) {
    if (count > block_.capacity - size_) grow(count);
    std::memcpy(static_cast<uint8_t*>(block_.data) + size_, bytes, count);
    size_ += count;
  }
  // The block, now the caller's to free with free_block (its data never null).
  owned_block release() {
    if (block_.data == nullptr) grow(1);
    const owned_block block = trimmed_block(block_, size_);
    block_ = {};
    size_ = 0;
    return block;
  }

 private:
  void grow(size_t count) {
    const size_t capacity = std::max({2 * block_.capacity, size_ + count, size_t{1} << 16});
    block_ = grown_block(block_, size_, capacity);
  }
  owned_block block_;
  size_t size_ = 0;
};

// Every run of one layout joined, as the library gives them, gathered without the interpreter
// lock; they become numpy arrays once at the end.
struct column_store {
  value_type type = value_type::int32;
  grown_bytes numbers;       // the values one after the other
  std::string chars;         // of a string column: the characters of every row
  std::vector<size_t> ends;  // and where each row's end
  size_t width = 1;          // the longest string
};

struct table_store {
  std::vector<uint8_t> layout;
  int64_t rows = 0;
  std::vector<column_store> columns;
};

size_t size_of(value_type type) {
  return type == value_type::int64 || type == value_type::real64 ? 8 : 4;
}

void append_column(column_store& store, const batch_column& column, int64_t rows) {
  if (store.type != value_type::string) {
    store.numbers.append(column.values, static_cast<size_t>(rows) * size_of(store.type));
    return;
  }
  for (int64_t r = 0; r < rows; ++r) {
    const uint32_t begin = column.offsets[r], end = column.offsets[r + 1];
    store.chars.append(column.chars + begin, end - begin);
    store.ends.push_back(store.chars.size());
    store.width = std::max<size_t>(store.width, end - begin);
  }
}

// The table of the batch's layout (a file has few layouts: a scan finds it).
table_store& table_of(std::vector<table_store>& tables, const record_batch& batch) {
  for (table_store& table : tables) {
    if (std::ranges::equal(table.layout, batch.layout)) return table;
  }
  table_store& table = tables.emplace_back();
  table.layout.assign(batch.layout.begin(), batch.layout.end());
  for (const batch_column& column : batch.columns) {
    column_store store;
    store.type = column.type;
    table.columns.push_back(std::move(store));
  }
  return table;
}

py::dtype dtype_of(value_type type) {
  switch (type) {
    case value_type::int32:
      return py::dtype::of<int32_t>();
    case value_type::int64:
      return py::dtype::of<int64_t>();
    case value_type::real32:
      return py::dtype::of<float>();
    case value_type::real64:
    case value_type::string:
      break;
  }
  return py::dtype::of<double>();
}

// The column as a numpy array: numbers in the gathered memory itself, handed over.
py::array array_of(column_store& store, int64_t rows) {
  const std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(rows)};
  if (store.type != value_type::string) {
    auto block = std::make_unique<owned_block>(store.numbers.release());
    void* data = block->data;
    py::capsule owner(block.get(), [](void* v) {
      const std::unique_ptr<owned_block> owned(static_cast<owned_block*>(v));
      free_block(*owned);
    });
    block.release();
    return py::array(dtype_of(store.type), shape, data, owner);
  }
  py::array strings(py::dtype("S" + std::to_string(store.width)), shape);
  char* out = static_cast<char*>(strings.mutable_data());
  std::memset(out, 0, static_cast<size_t>(rows) * store.width);
  size_t begin = 0;
  for (int64_t r = 0; r < rows; ++r) {
    std::memcpy(out + r * store.width, store.chars.data() + begin, store.ends[r] - begin);
    begin = store.ends[r];
  }
  return strings;
}

py::list python_reader::tables(int64_t max_rows) {
  if (max_rows < 1) throw py::value_error("max_rows must be at least 1");
  std::vector<table_store> stores = unlocked([max_rows](reader& r) {
    std::vector<table_store> gathered;
    while (const record_batch* batch = asciify::next_batch(r, max_rows)) {
      table_store& table = table_of(gathered, *batch);
      for (size_t c = 0; c < table.columns.size(); ++c) {
        append_column(table.columns[c], batch->columns[c], batch->rows);
      }
      table.rows += batch->rows;
    }
    return gathered;
  });
  py::list result;
  for (table_store& table : stores) {
    py::list columns;
    for (column_store& column : table.columns) columns.append(array_of(column, table.rows));
    py::bytes layout(reinterpret_cast<const char*>(table.layout.data()), table.layout.size());
    result.append(py::make_tuple(layout, table.rows, columns));
  }
  return result;
}

py::object python_reader::error() const {
  const read_error* e = reader_ != nullptr ? reader_error(*reader_) : nullptr;
  if (e == nullptr) return py::none();
  return py::make_tuple(text_of(e->message), e->input_byte, e->line);
}

py::tuple python_reader::progress() const {
  const read_progress p = reader_progress(open_reader());
  return py::make_tuple(p.bytes_read,
                        p.total_bytes < 0 ? py::object(py::none()) : py::int_(p.total_bytes));
}

size_t read_stream(void* context, void* buffer, size_t capacity, int* error) {
  auto* source = static_cast<stream_source*>(context);
  py::gil_scoped_acquire lock;
  try {
    py::memoryview view = py::memoryview::from_memory(buffer, static_cast<py::ssize_t>(capacity));
    py::object got = source->readinto(view);
    view.attr("release")();
    const size_t count = got.is_none() ? 0 : got.cast<size_t>();
    if (count > capacity) throw py::value_error("readinto gave more bytes than asked for");
    return count;
  } catch (py::error_already_set& e) {
    source->error = e.value();
    *error = EIO;
    return 0;
  } catch (std::exception& e) {
    source->error = py::module_::import("builtins").attr("ValueError")(e.what());
    *error = EIO;
    return 0;
  }
}

std::unique_ptr<python_reader> open_file(const std::string& path) {
  reader_opening opening;
  {
    py::gil_scoped_release release;
    opening = open_reader_file(path);
  }
  return std::make_unique<python_reader>(std::move(opening), path);
}

std::unique_ptr<python_reader> open_memory(py::buffer source) {
  auto view = std::make_unique<py::buffer_info>(source.request());
  if (view->ndim > 1 && view->strides.back() != view->itemsize) {
    throw py::type_error("the bytes must lie one after the other");
  }
  const size_t size = static_cast<size_t>(view->size * view->itemsize);
  auto r = std::make_unique<python_reader>(open_reader_memory(view->ptr, size), "<bytes>");
  r->keep(source, std::move(view));
  return r;
}

std::unique_ptr<python_reader> open_stream(py::object readinto) {
  auto source = std::make_unique<stream_source>();
  source->readinto = std::move(readinto);
  reader_opening opening = open_reader_callback(read_stream, source.get());
  // Opening reads the first bytes: an exception of readinto is raised as it is.
  if (opening.reader == nullptr && !source->error.is_none()) raise_again(source->error);
  auto r = std::make_unique<python_reader>(std::move(opening), "<stream>");
  r->keep_stream(std::move(source));
  return r;
}

}  // namespace

void add_reader(py::module_& m) {
  py::class_<python_reader>(m, "Reader")
      .def_static("open_file", &open_file)
      .def_static("open_memory", &open_memory)
      .def_static("open_stream", &open_stream)
      .def("next_lines", &python_reader::next_lines)
      .def("next_item", &python_reader::next_item)
      .def("next_batch", &python_reader::next_batch)
      .def("tables", &python_reader::tables)
      .def("error", &python_reader::error)
      .def("stream_error", &python_reader::stream_error)
      .def("progress", &python_reader::progress)
      .def("close", &python_reader::close);
}

}  // namespace asciify::python
