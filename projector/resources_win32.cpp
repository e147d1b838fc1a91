#include <windows.h>

#include <cstring>

#include "projector/resources.h"
#include "util/text.h"

namespace vorlo {
namespace {

class ModuleResources final : public ResourceSource {
 public:
  std::optional<std::vector<uint8_t>> find(std::string_view type, std::string_view name) const override {
    std::u16string t = utf8ToUtf16(type), n = utf8ToUtf16(name);
    HRSRC info = FindResourceW(nullptr, reinterpret_cast<LPCWSTR>(n.c_str()), reinterpret_cast<LPCWSTR>(t.c_str()));
    if (!info) return std::nullopt;
    DWORD size = SizeofResource(nullptr, info);
    HGLOBAL loaded = size ? LoadResource(nullptr, info) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return std::nullopt;
    std::vector<uint8_t> out(size);
    std::memcpy(out.data(), data, size);
    return out;
  }
};

}  // namespace

std::unique_ptr<ResourceSource> moduleResources() { return std::make_unique<ModuleResources>(); }

}  // namespace vorlo
