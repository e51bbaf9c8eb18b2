// The GL capability set the drawing reads at each primitive.
#include "utils/gl_capabilities.h"

namespace {
GlCapabilities current;
}  // namespace

const GlCapabilities& glCapabilities() { return current; }
void setGlCapabilities(const GlCapabilities& capabilities) { current = capabilities; }
