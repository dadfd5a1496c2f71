#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace testing_support {

// Sets (or, with a null value, unsets) an environment variable for one scope and
// puts back what was there before: the old value, or no variable at all.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const QByteArray& value)
      : name_(name), old_(qgetenv(name)), was_set_(qEnvironmentVariableIsSet(name)) {
    if (value.isNull()) qunsetenv(name);
    else qputenv(name, value);
  }
  ~ScopedEnv() {
    if (was_set_) qputenv(name_, old_);
    else qunsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  QByteArray old_;
  bool was_set_;
};

}  // namespace testing_support
