#pragma once

// The client's windows keep their images (":/image/"), style sheets (":/qss/") and
// translations (":/language/") in one resource bundle linked into client_ui. A static
// library's resources register only when something calls their initialiser, so every
// window calls this before it loads a resource; the first call registers the bundle.
void InitUiResources();
