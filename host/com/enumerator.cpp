// Enumerator: iteration over an automation collection through its _NewEnum enumerator. The position
// is counted here against the collection's Count; the COM enumerator advances only when `item`
// fetches. An enumerator handed to a script as a number (a VT_UNKNOWN result) can be given to
// `new Enumerator` too: the Enumerator takes over that reference, and with no count to go by it looks
// one element ahead to know where the end is.
#include <memory>

#include "engine/native.h"
#include "host/com/activex_data.h"
#include "host/com/com_bridge.h"
#include "host/com/dispatch_call.h"
#include "host/com/variant_convert.h"
#include "host/host_support.h"

namespace vorlo {
namespace com {
namespace {

struct EnumeratorData {
  ComPtr<IEnumVARIANT> items;
  int64_t count = -1;  // -1: not known
  int64_t position = 0;
  Variant ahead;
  bool hasAhead = false;

  bool fetch(VARIANT* out) {
    ULONG got = 0;
    return items && items->Next(1, out, &got) == S_OK && got == 1;
  }
};

// The collection's enumerator and count, asked late-bound (collections without type information
// answer them too).
bool openCollection(ScriptVM* vm, IDispatch* collection, EnumeratorData* d) {
  Variant enumerator, count;
  if (FAILED(invokeById(vm, collection, DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr, 0, enumerator.get(), false)))
    return false;
  VARIANT& e = *enumerator.get();
  IUnknown* unknown = e.vt == VT_UNKNOWN ? e.punkVal : e.vt == VT_DISPATCH ? e.pdispVal : nullptr;
  if (!unknown || FAILED(unknown->QueryInterface(IID_IEnumVARIANT, d->items.putVoid())) || !d->items) return false;
  DISPID countId;
  wchar_t countName[] = L"Count";
  LPOLESTR names[1] = {countName};
  if (FAILED(collection->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, &countId))) return false;
  if (FAILED(invokeById(vm, collection, countId, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr, 0, count.get(), false)))
    return false;
  Variant whole;
  if (FAILED(VariantChangeTypeEx(whole.get(), count.get(), kAutomationLcid, 0, VT_I4))) return false;
  d->count = whole.get()->lVal;
  return true;
}

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  MemberCall c{vm, cls, nullptr, result, args};
  *result = ScriptValue::null();
  auto data = std::make_unique<EnumeratorData>();
  ScriptValue source = c.arg(0);
  if (IDispatch* collection = dispatchOf(vm, source)) {
    if (!openCollection(vm, collection, data.get())) return;
  } else if (source.kind == KindInteger && source.asInt() != 0) {
    auto* p = reinterpret_cast<IEnumVARIANT*>(static_cast<uintptr_t>(source.asInt()));
    MEMORY_BASIC_INFORMATION info{};
    if (!VirtualQuery(p, &info, sizeof info) || info.State != MEM_COMMIT || (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)))
      return;
    data->items = ComPtr<IEnumVARIANT>::adopt(p);  // the reference the number stood for
  } else {
    return;
  }
  *result = makeInstance(vm, cls, std::move(data));
}

void callAsFunction(ScriptVM* vm, NativeClass* cls, void*, ScriptValue* result, const ScriptValue* args) {
  construct(vm, cls, args, result);
}

EnumeratorData* enumOf(MemberCall& c) { return dataOf<EnumeratorData>(c); }

void atEnd(MemberCall& c) {
  EnumeratorData* d = enumOf(c);
  if (!d) return;
  if (d->count >= 0) {
    *c.result = ScriptValue::boolean(d->position >= d->count);
    return;
  }
  if (!d->hasAhead) d->hasAhead = d->fetch(d->ahead.put());
  *c.result = ScriptValue::boolean(!d->hasAhead);
}

void item(MemberCall& c) {
  EnumeratorData* d = enumOf(c);
  if (!d) return;
  if (d->hasAhead) {
    d->hasAhead = false;
    Variant taken = std::move(d->ahead);
    *c.result = fromVariant(c.vm, *taken.get());
    return;
  }
  Variant next;
  if (d->fetch(next.get())) *c.result = fromVariant(c.vm, *next.get());
}

void moveFirst(MemberCall& c) {
  EnumeratorData* d = enumOf(c);
  if (!d || !d->items) return;
  if (SUCCEEDED(d->items->Reset())) {
    d->position = 0;
    d->hasAhead = false;
    d->ahead.put();
  }
}

void moveNext(MemberCall& c) {
  if (EnumeratorData* d = enumOf(c)) ++d->position;
}

void toText(MemberCall& c) { setClassText(c, u"[object Enumerator]"); }

constexpr Member kMembers[] = {
    instanceMethod("atEnd", atEnd),
    instanceMethod("item", item),
    instanceMethod("moveFirst", moveFirst),
    instanceMethod("moveNext", moveNext),
    {"toString", toText},
};

}  // namespace
}  // namespace com

void registerEnumerator(ScriptVM* vm) {
  using namespace com;
  registerClass(vm, ClassDef{.name = "Enumerator",
                             .members = kMembers,
                             .call = callAsFunction,
                             .construct = construct,
                             .finalize = finalizeData<EnumeratorData>,
                             .data = typeKey<EnumeratorData>()});
}

}  // namespace vorlo
