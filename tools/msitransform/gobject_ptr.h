// An owning pointer to a GObject (libmsi's databases, queries, records and
// summaries, GIO streams), released with g_object_unref.
#pragma once

#include <glib-object.h>

#include <memory>

namespace setup::msi {

struct GObjectUnref {
  void operator()(void* object) const {
    if (object != nullptr) g_object_unref(object);
  }
};

template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

}  // namespace setup::msi
