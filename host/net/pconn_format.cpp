#include "host/net/pconn_format.h"

namespace vorlo::net {

std::string pconnRequest(std::string_view mapping, std::string_view function, std::string_view arguments) {
  std::string r;
  r.append(mapping).push_back('\0');
  r.append(function).push_back('\0');
  for (size_t pos = 0; pos <= arguments.size();) {
    size_t comma = arguments.find(',', pos);
    std::string_view item = arguments.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
    if (!item.empty()) r.append(item).push_back('\0');
    if (comma == std::string_view::npos) break;
    pos = comma + 1;
  }
  r.push_back('\0');
  return r;
}

std::optional<PConnRequest> parsePConnRequest(std::string_view data) {
  std::vector<std::string> texts;
  size_t pos = 0;
  for (;;) {
    size_t nul = data.find('\0', pos);
    if (nul == std::string_view::npos) return std::nullopt;  // no terminator inside the data
    if (nul == pos && texts.size() >= 2) break;              // the final NUL
    texts.emplace_back(data.substr(pos, nul - pos));
    pos = nul + 1;
  }
  if (texts[1].empty()) return std::nullopt;
  PConnRequest r{std::move(texts[0]), std::move(texts[1]), {}};
  r.arguments.assign(std::make_move_iterator(texts.begin() + 2), std::make_move_iterator(texts.end()));
  return r;
}

std::string pconnReply(const char* view, size_t viewSize, size_t length) {
  if (!view || viewSize <= kPConnReplyOffset) return {};
  size_t room = viewSize - kPConnReplyOffset;
  std::string_view area(view + kPConnReplyOffset, length < room ? length : room);
  return std::string(area.substr(0, area.find('\0')));
}

}  // namespace vorlo::net
