#include "platform/ApplicationDelegate.h"

namespace {
ApplicationDelegate *theDelegate = nullptr;
}

ApplicationDelegate *ApplicationDelegate::instance()
{
    return theDelegate;
}

ApplicationDelegate::ApplicationDelegate()
{
    theDelegate = this;
}

ApplicationDelegate::~ApplicationDelegate()
{
    if (theDelegate == this)
        theDelegate = nullptr;
}
