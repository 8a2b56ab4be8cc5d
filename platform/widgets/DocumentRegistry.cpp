#include "platform/widgets/DocumentRegistry.h"

namespace {
DocumentRegistry *theRegistry = nullptr;
}

DocumentRegistry *DocumentRegistry::instance()
{
    return theRegistry;
}

DocumentRegistry::DocumentRegistry()
{
    theRegistry = this;
}

DocumentRegistry::~DocumentRegistry()
{
    if (theRegistry == this)
        theRegistry = nullptr;
}
