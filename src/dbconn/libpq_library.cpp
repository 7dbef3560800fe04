#include "dbconn/libpq_library.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace qj {

namespace {

std::string LoaderError() {
  const char* error = ::dlerror();
  return error != nullptr ? error : "unbekannter Fehler";
}

}  // namespace

// A loaded library is never unloaded: its functions may be called until the
// end of the run, and libpq keeps process-wide state of its own.
LibPq OpenLibPq(const char* fileName) {
  void* library = ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) throw std::runtime_error(std::string(fileName) + " nicht ladbar: " + LoaderError());
  LibPq functions;
#define QJ_LIBPQ_LOAD(name)                                                                                   \
  functions.name = reinterpret_cast<decltype(functions.name)>(::dlsym(library, #name));                        \
  if (functions.name == nullptr) {                                                                             \
    const std::string cause = LoaderError();                                                                   \
    ::dlclose(library);                                                                                        \
    throw std::runtime_error(std::string(fileName) + " ohne die Funktion " #name ": " + cause);               \
  }
  QJ_LIBPQ_FUNCTIONS(QJ_LIBPQ_LOAD)
#undef QJ_LIBPQ_LOAD
  return functions;
}

}  // namespace qj
