// The five predefined entities of character data and attribute values.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vorlo::xml_detail {

// Appends raw with &lt; &gt; &amp; &apos; &quot; (any case) replaced to out. Any other "&" fails: the
// answer is false and badOffset is the offset of that "&" within raw.
bool decodeEntities(std::u16string_view raw, std::u16string& out, std::size_t& badOffset);

}  // namespace vorlo::xml_detail
