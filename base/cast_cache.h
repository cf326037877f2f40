// CastCache: dynamic_cast with its answer kept for the last most-derived
// type seen. Within a complete object of a given type, every base lies at
// the same offset, so once a type is known the cast is an addition; only a
// new type pays for the search through the class hierarchy, which for a
// cross cast compares type names.
// Tested by base/cast_cache_test.cpp.
#pragma once

#include <cstddef>
#include <typeinfo>

template <typename To>
class CastCache {
  public:
    // dynamic_cast<To*>(object); null for null.
    template <typename From>
    To* Cast(From* object) {
        if (object == nullptr) return nullptr;
        const std::type_info* type = &typeid(*object);
        const char* whole = static_cast<const char*>(dynamic_cast<const void*>(object));
        if (type != lastType) {
            To* to = dynamic_cast<To*>(object);
            lastType = type;
            found = to != nullptr;
            offset = found ? reinterpret_cast<const char*>(to) - whole : 0;
        }
        return found ? reinterpret_cast<To*>(const_cast<char*>(whole) + offset) : nullptr;
    }

  private:
    const std::type_info* lastType = nullptr;
    bool found = false;
    std::ptrdiff_t offset = 0;
};
