// NamedObject: base of most engine containers and definitions, carrying a
// name and a description.
#pragma once

#include "base/otstr.h"

class NamedObject {
  public:
    NamedObject() = default;
    virtual ~NamedObject() = default;

    void SetName(const char* text) { name = text; }
    OTSTR& GetName() { return name; }
    const OTSTR& GetName() const { return name; }
    void SetDescription(const char* text) { description = text; }
    OTSTR& GetDescription() { return description; }
    const OTSTR& GetDescription() const { return description; }

  protected:
    OTSTR name;
    OTSTR description;
};
