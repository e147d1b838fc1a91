// The request and reply of a PConn call between two programs: the request is NUL-terminated texts
// (mapping name, function name, arguments) and one more NUL; the reply is NUL-terminated text at
// offset 4 of the caller's shared block.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlo::net {

inline constexpr size_t kPConnBlockSize = 0x10000;
inline constexpr size_t kPConnReplyOffset = 4;

// Arguments are the non-empty items of `arguments` split at ",".
std::string pconnRequest(std::string_view mapping, std::string_view function, std::string_view arguments);

struct PConnRequest {
  std::string mapping, function;
  std::vector<std::string> arguments;
};
// Reads only within `data`; nullopt unless every text and the final NUL lie inside it and the
// function name is not empty.
std::optional<PConnRequest> parsePConnRequest(std::string_view data);

// The reply text in a mapped view of `viewSize` bytes: at most `length` bytes from offset 4, never
// past the view's end nor past the first NUL.
std::string pconnReply(const char* view, size_t viewSize, size_t length);

}  // namespace vorlo::net
