#include "util/xml/entities.h"

#include "util/xml/xml.h"

namespace vorlo::xml_detail {

namespace {

struct Entity {
  std::u16string_view name;  // between "&" and ";" inclusive of the ";"
  char16_t character;
};
constexpr Entity kEntities[] = {
    {u"lt;", u'<'}, {u"gt;", u'>'}, {u"amp;", u'&'}, {u"apos;", u'\''}, {u"quot;", u'"'},
};

}  // namespace

bool decodeEntities(std::u16string_view raw, std::u16string& out, std::size_t& badOffset) {
  out.reserve(out.size() + raw.size());
  std::size_t copied = 0;
  for (std::size_t amp = raw.find(u'&'); amp != std::u16string_view::npos; amp = raw.find(u'&', copied)) {
    out.append(raw.substr(copied, amp - copied));
    std::u16string_view rest = raw.substr(amp + 1);
    const Entity* match = nullptr;
    for (const Entity& entity : kEntities) {
      if (rest.size() >= entity.name.size() &&
          xmlNameEquals(rest.substr(0, entity.name.size()), entity.name)) {
        match = &entity;
        break;
      }
    }
    if (!match) {
      badOffset = amp;
      return false;
    }
    out.push_back(match->character);
    copied = amp + 1 + match->name.size();
  }
  out.append(raw.substr(copied));
  return true;
}

}  // namespace vorlo::xml_detail
