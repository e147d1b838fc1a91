#include <windows.h>

#include <cstring>

#include "projector/resources.h"
#include "util/text.h"

namespace vorlo {
namespace {

class ModuleResources final : public ResourceSource {
 public:
  std::optional<std::vector<uint8_t>> find(std::string_view type, std::string_view name) const override {
    std::wstring t = toWide(type), n = toWide(name);
    HRSRC info = FindResourceW(nullptr, n.c_str(), t.c_str());
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
