#include "client/ui/resource_bundle.h"

#include <QtGlobal>

// Q_INIT_RESOURCE names a global function, so it must be called outside any namespace.
static void RegisterBundle() { Q_INIT_RESOURCE(castora_ui); }

void InitUiResources() {
  static const bool registered = (RegisterBundle(), true);
  (void)registered;
}
