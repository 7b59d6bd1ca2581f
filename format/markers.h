// The marker texts that open, suspend, resume and end binary sections. In ASCII mode a marker
// is a line that begins with its text; in binary mode it is the text of a text-line record.
#pragma once

#include <string_view>

namespace asciify {

enum class marker_kind { start, suspend, resume, end };

inline constexpr std::string_view kStartMarker = "*START_BINARY";
inline constexpr std::string_view kSuspendMarker = "*SUSPEND_BINARY";
inline constexpr std::string_view kResumeMarker = "*RESUME_BINARY";
inline constexpr std::string_view kEndMarker = "*END_BINARY";

// In the order a reader tests them; each is compared over exactly its own length.
inline constexpr std::string_view kMarkers[] = {kStartMarker, kSuspendMarker, kResumeMarker,
                                                kEndMarker};
inline constexpr marker_kind kMarkerKinds[] = {marker_kind::start, marker_kind::suspend,
                                               marker_kind::resume, marker_kind::end};

constexpr std::string_view marker_text(marker_kind kind) {
  return kMarkers[static_cast<int>(kind)];
}

// *START_BINARY and *RESUME_BINARY open a binary section (and stand as ASCII lines); the other
// two close one (and stand as text-line records).
constexpr bool opens_binary_mode(marker_kind kind) {
  return kind == marker_kind::start || kind == marker_kind::resume;
}

}  // namespace asciify
