#include "platform/failure_reason.h"

#include <exception>
#include <new>

namespace asciify::platform {

std::string reason_of_current_exception() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "out of memory";
  } catch (const std::exception& e) {
    return e.what()[0] != '\0' ? e.what() : "unknown failure";
  } catch (...) {
    return "unknown failure";
  }
}

}  // namespace asciify::platform
