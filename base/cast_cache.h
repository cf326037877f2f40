// CastCache: dynamic_cast with its answers kept for the last two
// most-derived types seen. Within a complete object of a given type, every
// base lies at the same offset, so once a type is known the cast is an
// addition; only a new type pays for the search through the class
// hierarchy, which for a cross cast compares type names.
// Tested by base/cast_cache_test.cpp.
#pragma once

#include <cstddef>
#include <typeinfo>
#include <utility>

template <typename To>
class CastCache {
  public:
    // dynamic_cast<To*>(object); null for null.
    template <typename From>
    To* Cast(From* object) {
        if (object == nullptr) return nullptr;
        const std::type_info* type = &typeid(*object);
        const char* whole = static_cast<const char*>(dynamic_cast<const void*>(object));
        if (type != seen[0].type) {
            if (type == seen[1].type) {
                std::swap(seen[0], seen[1]);
            } else {
                To* to = dynamic_cast<To*>(object);
                seen[1] = seen[0];
                seen[0].type = type;
                seen[0].found = to != nullptr;
                seen[0].offset = to != nullptr ? reinterpret_cast<const char*>(to) - whole : 0;
            }
        }
        return seen[0].found ? reinterpret_cast<To*>(const_cast<char*>(whole) + seen[0].offset)
                             : nullptr;
    }

  private:
    // The answers for the last two types, the latest first: a translation
    // passes objects of two types in turn (its own items and plain ones).
    struct Seen {
        const std::type_info* type = nullptr;
        bool found = false;
        std::ptrdiff_t offset = 0;
    };
    Seen seen[2];
};
